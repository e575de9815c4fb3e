// The installed program: `cmake --install` into a scratch prefix puts the
// program folder under lib/pictavo, a launcher in bin and the desktop entry
// and icon under share. Started from the launcher with that folder read-only,
// the program finds its templates there and keeps its settings in the user's
// configuration folder; with the folder its user's to write, it keeps them
// there too, and writes nothing under the prefix.
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <vector>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::ReadFileText;
using testsupport::RunCapture;

namespace {

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The value of key in [section] of an INI file's text ("" when absent).
std::string iniValue(const std::string& text, const std::string& section, const std::string& key)
{
    const std::size_t start = text.find("[" + section + "]");
    if (start == std::string::npos) return "";
    const std::size_t end = text.find("\n[", start);
    const std::size_t at = text.find("\n" + key + "=", start);
    if (at == std::string::npos || at > end) return "";
    const std::size_t from = at + key.size() + 2;
    return text.substr(from, text.find_first_of("\r\n", from) - from);
}

// Makes a folder and everything in it read-only, as an installed one is.
void makeReadOnly(const fs::path& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// Installs the build into prefix; the installer's output when it failed.
std::string installInto(const fs::path& prefix)
{
    const auto install = RunCapture(std::string(PICTAVO_CMAKE_COMMAND) + " --install " + quoted(PICTAVO_BINARY_DIR) +
                                    " --prefix " + quoted(prefix) + " 2>&1");
    return install.ExitCode == 0 ? std::string() : install.Output;
}

// Every entry below folder with its mode, size and modification time: a file
// written, replaced or made and removed again changes it.
std::map<std::string, std::string> listing(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    auto add = [&](const fs::path& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return;
        entries[fs::relative(path, folder).string()] = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) +
                                                       " " + std::to_string(st.st_mtim.tv_sec) + "." +
                                                       std::to_string(st.st_mtim.tv_nsec);
    };
    add(folder);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) add(entry.path());
    return entries;
}

// Starts a program on the offscreen platform with a home of its own and
// closes its window at once; what it printed.
testsupport::CommandOutput runAndClose(const fs::path& program, const fs::path& home)
{
    fs::create_directories(home / "run");
    fs::permissions(home / "run", fs::perms::owner_all, fs::perm_options::replace);
    return RunCapture("cd / && env HOME=" + quoted(home) + " XDG_CONFIG_HOME=" + quoted(home / "config") +
                      " XDG_RUNTIME_DIR=" + quoted(home / "run") +
                      " QT_QPA_PLATFORM=offscreen PICTAVO_REPORT_SHOWN=1 PICTAVO_AUTOCLOSE_MS=0 " + quoted(program) +
                      " 2>&1");
}

// The entries that were added, removed or changed between two listings.
std::vector<std::string> changedEntries(const std::map<std::string, std::string>& before,
                                        const std::map<std::string, std::string>& after)
{
    std::vector<std::string> changed;
    for (const auto& [name, line] : before)
        if (!after.count(name) || after.at(name) != line) changed.push_back(name);
    for (const auto& [name, line] : after)
        if (!before.count(name)) changed.push_back(name + " (new)");
    return changed;
}

mode_t modeOf(const fs::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

// Installed into a prefix its user may write (as ~/.local is), the program
// keeps its settings in the user's folder, started from its launcher or
// directly, and writes nothing under the prefix. The build's own program,
// which carries no installed mark, keeps them beside itself.
TEST(Install, CopyInAPrefixItsUserMayWriteKeepsSettingsWithTheUser)
{
    const testsupport::TempDir scratch("pictavo-install-own");
    const fs::path prefix = scratch.path / "prefix";
    ASSERT_EQ(installInto(prefix), "");
    ASSERT_TRUE(fs::is_regular_file(prefix / "lib/pictavo/installed-copy"));
    ASSERT_FALSE(fs::exists(fs::path(PICTAVO_BINARY_DIR) / "installed-copy"));

    const std::map<std::string, std::string> before = listing(prefix);
    int n = 0;
    for (const fs::path& program : {prefix / "bin/pictavo", prefix / "lib/pictavo/pictavo"}) {
        SCOPED_TRACE(program.string());
        const fs::path home = scratch.path / ("home" + std::to_string(++n));
        const auto run = runAndClose(program, home);
        EXPECT_EQ(run.ExitCode, 0) << run.Output;
        EXPECT_NE(run.Output.find("main window shown"), std::string::npos) << run.Output;
        EXPECT_EQ(iniValue(ReadFileText((home / "config/pictavo/pv.ini").string()), "IndexPage", "Style"), "0");
        EXPECT_EQ(modeOf(home / "config/pictavo/pv.ini"), 0600u);
        EXPECT_EQ(modeOf(home / "config/pictavo"), 0700u);
        EXPECT_EQ(changedEntries(before, listing(prefix)), std::vector<std::string>());
    }

    // A copy of the build's program, as the build folder holds it (its JPEG
    // library found through the build's run path).
    const fs::path copy = scratch.path / "buildcopy";
    fs::create_directories(copy);
    fs::copy_file(fs::path(PICTAVO_BINARY_DIR) / "pictavo", copy / "pictavo");
    fs::copy_file(fs::path(PICTAVO_SOURCE_DIR) / "data/pvcapt.pv", copy / "pvcapt.pv");
    const fs::path home = scratch.path / "home-build";
    const auto run = runAndClose(copy / "pictavo", home);
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(modeOf(copy / "pv.ini"), 0600u) << run.Output;
    EXPECT_FALSE(fs::exists(home / "config/pictavo/pv.ini"));
}

TEST(Install, LauncherStartsTheProgramWhichFindsItsDataAndKeepsSettingsWithTheUser)
{
    const testsupport::TempDir scratch("pictavo-install");
    const fs::path prefix = scratch.path / "prefix";
    ASSERT_EQ(installInto(prefix), "");

    const fs::path folder = prefix / "lib/pictavo";
    for (const char* file : {"pictavo", "libijl15.so", "pvmk1.pvs", "pvcapt.pv", "indexpg/classic.htm",
                             "imagepg/classic.htm", "framepg/left.htm", "buttons/next.gif", "help/41.htm"})
        EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
    // The program folder holds the program, its library, the installed-copy
    // mark and data/, all but data/'s map, which stays in the source tree.
    const fs::path data = fs::path(PICTAVO_SOURCE_DIR) / "data";
    std::set<std::string> expected{"pictavo", "libijl15.so", "installed-copy"}, installed;
    for (const auto& entry : fs::recursive_directory_iterator(data))
        if (entry.is_regular_file() && entry.path() != data / "README.md")
            expected.insert(entry.path().lexically_relative(data).string());
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory()) installed.insert(entry.path().lexically_relative(folder).string());
    EXPECT_EQ(installed, expected);
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/icons/hicolor/scalable/apps/pictavo.svg"));
    const fs::path entry = prefix / "share/applications/pictavo.desktop";
    EXPECT_NE(ReadFileText(entry.string()).find("\nExec=" + (prefix / "bin/pictavo").string() + "\n"),
              std::string::npos);
    if (testsupport::HaveTool("desktop-file-validate")) {
        const auto valid = RunCapture("desktop-file-validate " + quoted(entry) + " 2>&1");
        EXPECT_EQ(valid.ExitCode, 0) << valid.Output;
        EXPECT_EQ(valid.Output, "");
    } else {
        ADD_FAILURE() << "desktop-file-validate is not installed (package desktop-file-utils)";
    }
    const fs::path launcher = prefix / "bin/pictavo";
    ASSERT_EQ(::access(launcher.c_str(), X_OK), 0);

    // The user: a home of their own. Root may write anywhere, so as root the
    // program runs as nobody, for whom the read-only folder is read-only.
    makeReadOnly(folder);
    const fs::path home = scratch.path / "home";
    fs::create_directories(home / "run");
    std::string asUser;
    if (::geteuid() == 0) {
        const std::string setpriv = testsupport::FindTool("setpriv");
        ASSERT_FALSE(setpriv.empty()) << "setpriv is not installed (package util-linux)";
        asUser = setpriv + " --reuid=nobody --regid=nogroup --clear-groups ";
        fs::permissions(scratch.path, fs::perms::all, fs::perm_options::add);
        fs::permissions(prefix, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
        for (const fs::path& p : {home, home / "run"}) ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
    }
    fs::permissions(home / "run", fs::perms::owner_all, fs::perm_options::replace);
    const auto run = RunCapture(
        "cd / && " + asUser + "env HOME=" + quoted(home) + " XDG_CONFIG_HOME=" + quoted(home / "config") +
        " XDG_RUNTIME_DIR=" + quoted(home / "run") +
        " QT_QPA_PLATFORM=offscreen PICTAVO_REPORT_SHOWN=1 PICTAVO_AUTOCLOSE_MS=0 " + quoted(launcher) + " 2>&1");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("main window shown"), std::string::npos) << run.Output;

    EXPECT_FALSE(fs::exists(folder / "pv.ini"));
    const std::string settings = ReadFileText((home / "config/pictavo/pv.ini").string());
    ASSERT_FALSE(settings.empty()) << run.Output;
    // The template and caption lists came from the program folder: with none
    // found, nothing would be chosen (-1).
    EXPECT_EQ(iniValue(settings, "IndexPage", "Style"), "0");
    EXPECT_EQ(iniValue(settings, "ImagePage", "Style"), "0");
    EXPECT_EQ(iniValue(settings, "IndexPage", "CaptionPosition"), "1");
}
