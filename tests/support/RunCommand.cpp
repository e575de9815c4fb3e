#include "tests/support/RunCommand.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool RunQuiet(const std::string& command) { return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0; }

CommandOutput RunCapture(const std::string& command)
{
    CommandOutput result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
    return result;
}

std::string FindTool(const std::string& name)
{
    for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        std::string path = std::string(folder) + name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return "";
}

bool ImageMagick(const std::string& arguments) { return RunQuiet(FindTool("convert") + " " + arguments); }

}  // namespace testsupport
