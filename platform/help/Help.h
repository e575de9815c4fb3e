#pragma once
// Context help: context n is the page help/<n>.htm in the program folder,
// shown in the web browser. Without that page the caller is told that no
// help is installed, and shows it however it shows messages.

#include <string>

enum class THelpResult { Opened, NotInstalled, OpenFailed };

extern const char* const NoHelpInstalledText;  // "No help is installed."

// program folder + "help/" + context + ".htm"
std::string HelpPageFile(int context);

// Opens the page of a context. message gets NoHelpInstalledText when the page
// is missing, or the shell's reason when it could not be opened.
THelpResult ShowHelpContext(int context, std::string* message = nullptr);
