#pragma once
// Running Debian's tools from tests: quietly, or capturing what they print.

#include <string>

namespace testsupport {

// Runs a shell command line with its output and errors discarded; true when
// it exited with 0.
bool RunQuiet(const std::string& command);

struct CommandOutput {
    int ExitCode = -1;   // -1 when the command could not be started or did not exit normally
    std::string Output;  // standard output (errors go where the test's go)
};
// Runs a shell command line and captures its standard output.
CommandOutput RunCapture(const std::string& command);

// The full path of an installed Debian tool ("" when absent). Debian's own
// folders are searched, not PATH: nothing else there stands in for the tools.
std::string FindTool(const std::string& name);
inline bool HaveTool(const std::string& name) { return !FindTool(name).empty(); }

// Makes or converts a picture with ImageMagick: "convert <arguments>"; true on success.
bool ImageMagick(const std::string& arguments);

}  // namespace testsupport
