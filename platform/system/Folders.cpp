#include "platform/system/System.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::mutex folderMutex;
std::string programFolderOverride;

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// $XDG_CONFIG_HOME/pictavo/, else <home>/.config/pictavo/; empty without either.
std::string configFolderOf(const std::string& xdgConfigHome, const std::string& home)
{
    // XDG says a relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (!xdgConfigHome.empty() && xdgConfigHome[0] == '/') return withSlash(xdgConfigHome) + "pictavo/";
    if (home.size() > 1 && home[0] == '/') return withSlash(home) + ".config/pictavo/";
    return "";
}

std::string executableFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return withSlash(fs::current_path(ec).string());
    return withSlash(exe.parent_path().string());
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string ProgramFolder()
{
    std::lock_guard lock(folderMutex);
    if (!programFolderOverride.empty()) return programFolderOverride;
    static const std::string folder = executableFolder();
    return folder;
}

void SetProgramFolder(const std::string& folder)
{
    std::lock_guard lock(folderMutex);
    programFolderOverride = folder.empty() ? std::string() : withSlash(ToFileSystemPath(folder));
}

std::string UserHomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir && entry->pw_dir[0] == '/' ? entry->pw_dir : "";
}

std::string UserConfigFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    return configFolderOf(xdg ? xdg : "", UserHomeFolder());
}

bool ForcePrivateDirectories(const std::string& folder)
{
    const std::string path = ToFileSystemPath(folder);
    if (path.empty() || path[0] != '/') return false;
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (end == std::string::npos) break;
    }
    return DirectoryExists(path);
}

const char* const InstalledCopyMarker = "installed-copy";

bool IsInstalledCopy() { return FileExists(ProgramFolder() + InstalledCopyMarker); }

std::string ChooseWritableFolder(const std::string& programFolder, bool installedCopy, bool programFolderWritable,
                                 const std::string& xdgConfigHome, const std::string& home)
{
    // An installed program folder may happen to be ours to write (a prefix
    // such as ~/.local), but it is no place for settings.
    if (programFolderWritable && !installedCopy) return withSlash(programFolder);
    const std::string config = configFolderOf(xdgConfigHome, home);
    // Never a folder that other users share (such as /tmp): the settings hold
    // passwords. Writing into the program folder fails, and says so.
    return config.empty() ? withSlash(programFolder) : config;
}

std::string EditableDataFile(const std::string& name)
{
    const std::string own = WritableFolder() + name;
    return FileExists(own) ? own : ProgramFolder() + name;
}

std::string WritableFolder()
{
    const std::string program = ProgramFolder();
    const bool installed = IsInstalledCopy();
    // A program folder every user may write (unpacked into /tmp, say) is
    // shared, not ours to keep settings in.
    struct stat st {};
    const bool writable =
        ::access(program.c_str(), W_OK) == 0 && ::stat(program.c_str(), &st) == 0 && (st.st_mode & S_IWOTH) == 0;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string folder = ChooseWritableFolder(program, installed, writable, xdg ? xdg : "", UserHomeFolder());
    if (folder != withSlash(program)) ForcePrivateDirectories(folder);
    return folder;
}

std::string ToFileSystemPath(const std::string& name)
{
    std::string result = name;
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

std::string ExtractFilePath(const std::string& name)
{
    for (std::size_t i = name.size(); i > 0; --i)
        if (isSeparator(name[i - 1])) return name.substr(0, i);
    return std::string();
}

std::string ExtractFileName(const std::string& name)
{
    for (std::size_t i = name.size(); i > 0; --i)
        if (isSeparator(name[i - 1])) return name.substr(i);
    return name;
}

std::string ExtractFileExt(const std::string& name)
{
    for (std::size_t i = name.size(); i > 0; --i) {
        if (isSeparator(name[i - 1])) break;
        if (name[i - 1] == '.') return name.substr(i - 1);
    }
    return std::string();
}

std::string ChangeFileExt(const std::string& name, const std::string& ext)
{
    const std::string old = ExtractFileExt(name);
    return name.substr(0, name.size() - old.size()) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& folder)
{
    if (!folder.empty() && isSeparator(folder.back())) return folder;
    return folder + '/';
}

std::string ExcludeTrailingPathDelimiter(const std::string& folder)
{
    if (folder.size() > 1 && isSeparator(folder.back())) return folder.substr(0, folder.size() - 1);
    return folder;
}

bool FileExists(const std::string& name)
{
    struct stat st {};
    return ::stat(ToFileSystemPath(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name)
{
    struct stat st {};
    return ::stat(ToFileSystemPath(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& folder)
{
    if (folder.empty()) return false;
    std::error_code ec;
    const fs::path path(ToFileSystemPath(folder));
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}
