#include "platform/shell/Shell.h"

#include "platform/system/System.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::mutex openerMutex;
std::string openerOverride;

void setError(std::string* error, const std::string& text)
{
    if (error) *error = text;
}

bool isExecutableFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The full path of a program: itself when it names a path, else the first
// executable of that name on PATH; empty when there is none.
std::string findProgram(const std::string& program)
{
    if (program.empty()) return std::string();
    if (program.find('/') != std::string::npos) return isExecutableFile(program) ? program : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        // An empty PATH entry means the current folder.
        const std::string candidate = end == start ? "./" + program : dirs.substr(start, end - start) + "/" + program;
        if (isExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::string();
}

// Starts a process; returns its id or -1 with the reason.
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
            std::string* error)
{
    std::vector<char*> argv;
    std::string arg0 = program;
    argv.push_back(arg0.data());
    std::vector<std::string> args = arguments;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        setError(error, "Cannot start " + program + ": " + std::strerror(rc));
        return -1;
    }
    return pid;
}

// The desktop program keeps running on its own; a small thread collects its
// exit so no zombie is left behind.
void reapLater(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool looksLikeAddress(const std::string& target)
{
    return target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0;
}

}  // namespace

void SetShellOpener(const std::string& program)
{
    std::lock_guard lock(openerMutex);
    openerOverride = program;
}

std::vector<std::string> SplitParameters(const std::string& parameters)
{
    std::vector<std::string> result;
    std::string current;
    bool inQuotes = false, have = false;
    for (char c : parameters) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (have) result.push_back(current);
            current.clear();
            have = false;
        } else {
            current += c;
            have = true;
        }
    }
    if (have) result.push_back(current);
    return result;
}

std::string FindProgramPath(const std::string& program) { return findProgram(program); }

bool ShellExecuteOpen(const std::string& target, const std::string& parameters, const std::string& folder,
                      std::string* error)
{
    if (target.empty()) {
        setError(error, "Nothing to open");
        return false;
    }
    const std::string workFolder = folder.empty() ? std::string() : ToFileSystemPath(folder);
    if (workFolder.size() && !DirectoryExists(workFolder)) {
        setError(error, "The folder " + workFolder + " does not exist");
        return false;
    }
    const bool address = looksLikeAddress(target);
    const std::string path = address ? target : ToFileSystemPath(target);

    if (!address) {
        std::string program;
        if (isExecutableFile(path))
            program = path.find('/') == std::string::npos ? "./" + path : path;
        else if (!parameters.empty() && path.find('/') == std::string::npos)
            program = findProgram(path);
        if (program.empty() && !parameters.empty() && !FileExists(path) && !DirectoryExists(path)) {
            // An editor path from another machine, or a program that is not installed.
            setError(error, "Cannot find " + path);
            return false;
        }
        if (!program.empty()) {
            const pid_t pid = spawn(program, SplitParameters(parameters), workFolder, error);
            if (pid > 0) {
                reapLater(pid);
                return true;
            }
            // Not a program after all (no interpreter line): let the desktop open it.
        }
    }

    std::string opener;
    {
        std::lock_guard lock(openerMutex);
        opener = openerOverride.empty() ? std::string("xdg-open") : openerOverride;
    }
    const std::string openerPath = findProgram(opener);
    if (openerPath.empty()) {
        setError(error, opener + " is not installed");
        return false;
    }
    const pid_t pid = spawn(openerPath, {path}, workFolder, error);
    if (pid < 0) return false;
    reapLater(pid);
    return true;
}

bool StartProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
                  std::string* error)
{
    const std::string path = findProgram(ToFileSystemPath(program));
    if (path.empty()) {
        setError(error, "Cannot find " + program);
        return false;
    }
    const pid_t pid = spawn(path, arguments, folder.empty() ? std::string() : ToFileSystemPath(folder), error);
    if (pid < 0) return false;
    reapLater(pid);
    return true;
}

int RunAndWait(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
               std::string* error)
{
    const std::string path = findProgram(ToFileSystemPath(program));
    if (path.empty()) {
        setError(error, program + " was not found");
        return -1;
    }
    const pid_t pid = spawn(path, arguments, folder.empty() ? std::string() : ToFileSystemPath(folder), error);
    if (pid < 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            setError(error, std::string("waitpid: ") + std::strerror(errno));
            return -1;
        }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    setError(error, program + " ended by a signal");
    return -1;
}
