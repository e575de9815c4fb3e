#include "platform/help/Help.h"

#include "platform/shell/Shell.h"
#include "platform/system/System.h"

const char* const NoHelpInstalledText = "No help is installed.";

std::string HelpPageFile(int context) { return ProgramFolder() + "help/" + std::to_string(context) + ".htm"; }

THelpResult ShowHelpContext(int context, std::string* message)
{
    const std::string page = HelpPageFile(context);
    if (!FileExists(page)) {
        if (message) *message = NoHelpInstalledText;
        return THelpResult::NotInstalled;
    }
    std::string error;
    if (!ShellExecuteOpen(page, std::string(), std::string(), &error)) {
        if (message) *message = error;
        return THelpResult::OpenFailed;
    }
    return THelpResult::Opened;
}
