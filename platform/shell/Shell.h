#pragma once
// Opening files and addresses with the desktop's programs, running a program
// and waiting for it, and file operations with a plain yes/no result.
// Nothing here changes the current folder or shows a dialog.

#include <string>
#include <vector>

// Opens a file, folder or address the way the desktop does:
// - a target that is an executable file, or a program name found on PATH
//   while parameters are given, is started with the parameters (split at
//   blanks, double quotes group) in the given folder;
// - with parameters, a target that is neither a program nor an existing
//   file fails with "Cannot find <target>";
// - anything else goes to the opener (xdg-open) as one argument.
// Does not wait. Returns false with a reason when nothing could be started,
// e.g. "xdg-open is not installed". '\' in a file target counts as '/'.
bool ShellExecuteOpen(const std::string& target, const std::string& parameters, const std::string& folder,
                      std::string* error = nullptr);

// Tests (and unusual desktops) replace the opener program; empty restores
// "xdg-open" looked up on PATH.
void SetShellOpener(const std::string& program);

// Starts program (a path, or a name looked up on PATH) with its arguments in
// folder (empty: the current one) and waits. Returns its exit status, or -1
// when it could not be started or ended by a signal.
int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& folder = std::string(), std::string* error = nullptr);

// Starts program (a path, or a name looked up on PATH) with its arguments,
// each passed as it is, in folder (empty: the current one), and does not
// wait. False with the reason when it could not be started.
bool StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& folder = std::string(), std::string* error = nullptr);

// The full path of a program: itself when it names an executable file, else
// the first executable of that name on PATH; empty when there is none.
std::string FindProgramPath(const std::string& program);

// Splits a parameter text at blanks; double quotes group and are dropped.
std::vector<std::string> SplitParameters(const std::string& parameters);

enum class TFileOperation { Copy, Move, Delete, Rename };

// One file operation, silently, answering "yes" to everything:
// - Copy and Move: source is a file or a folder (copied whole). When target
//   is an existing folder, or ends in '/' or '\', the source goes into it
//   under its own name; otherwise target is the new name. Missing folders on
//   the way are created; an existing file of that name is replaced. Copies
//   keep the source's modification time. A source copied or moved onto itself
//   fails and leaves it untouched.
// - Delete: the source file, or the folder with everything in it; target is
//   not used.
// - Rename: the source gets the target name (a bare name stays in the source's
//   folder); fails when the target exists.
// Returns true when the whole operation succeeded; error gets the reason otherwise.
bool FileOperation(TFileOperation operation, const std::string& source, const std::string& target,
                   std::string* error = nullptr);
