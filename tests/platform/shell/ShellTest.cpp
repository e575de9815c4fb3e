#include "platform/shell/Shell.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TempFolder : testsupport::TempDir {
    TempFolder() : TempDir("pictavo-shell") {}
};

std::string readFile(const std::string& path) { return testsupport::ReadFileText(path); }

// The opener and programs run on their own; wait for what they leave behind.
std::string waitForFile(const std::string& path)
{
    EXPECT_TRUE(testsupport::WaitForFile(path)) << path;
    return readFile(path);
}

// A stand-in for xdg-open that writes its argument and working folder.
std::string makeRecorder(const TempFolder& t, const std::string& name, const std::string& out)
{
    const std::string script = t.file(
        name, "#!/bin/sh\nprintf '%s|%s\\n' \"$PWD\" \"$*\" > '" + out + ".tmp'; mv '" + out + ".tmp' '" + out + "'\n");
    ::chmod(script.c_str(), 0755);
    return script;
}

}  // namespace

TEST(ShellOpen, FilesAndAddressesGoToTheOpener)
{
    TempFolder t;
    const std::string out = t / "opened.txt";
    SetShellOpener(makeRecorder(t, "opener.sh", out));
    const std::string page = t.file("site/index.htm", "<html>");
    std::string error;
    std::string windowsStyle = page;
    windowsStyle[windowsStyle.rfind('/')] = '\\';
    ASSERT_TRUE(ShellExecuteOpen(windowsStyle, "", t.path.string(), &error)) << error;
    EXPECT_EQ(waitForFile(out), t.path.string() + "|" + page + "\n");
    fs::remove(out);
    ASSERT_TRUE(ShellExecuteOpen("http://example.com/a\\b", "", "", &error)) << error;
    EXPECT_NE(waitForFile(out).find("|http://example.com/a\\b"), std::string::npos);  // addresses stay as typed
    SetShellOpener("");
}

TEST(ShellOpen, MissingOpenerIsReportedNotHidden)
{
    TempFolder t;
    SetShellOpener("no-such-opener-program");
    std::string error;
    EXPECT_FALSE(ShellExecuteOpen(t.file("a.htm"), "", "", &error));
    EXPECT_EQ(error, "no-such-opener-program is not installed");
    EXPECT_FALSE(ShellExecuteOpen(t.file("a.htm"), "", t / "missing-folder", &error));
    SetShellOpener("");
}

TEST(ShellOpen, ProgramsStartWithTheirParameters)
{
    TempFolder t;
    const std::string out = t / "ran.txt";
    const std::string editor = makeRecorder(t, "editor", out);
    std::string error;
    ASSERT_TRUE(ShellExecuteOpen(editor, "\"my page.htm\" second", t.path.string(), &error)) << error;
    EXPECT_EQ(waitForFile(out), t.path.string() + "|my page.htm second\n");
    // A program that is not there (an editor path from Windows) is reported.
    EXPECT_FALSE(ShellExecuteOpen("C:\\PROGRA~1\\frontpg.exe", "page.htm", "", &error));
    EXPECT_EQ(error, "Cannot find C:/PROGRA~1/frontpg.exe");
    EXPECT_FALSE(ShellExecuteOpen("no-such-editor-program", "page.htm", "", &error));
}

TEST(RunAndWait, ReturnsTheExitStatus)
{
    EXPECT_EQ(RunAndWait("sh", {"-c", "exit 3"}), 3);
    TempFolder t;
    EXPECT_EQ(RunAndWait("/bin/sh", {"-c", "pwd > here.txt"}, t.path.string()), 0);
    EXPECT_EQ(readFile(t / "here.txt"), t.path.string() + "\n");
    std::string error;
    EXPECT_EQ(RunAndWait("no-such-program-here", {}, "", &error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(SplitParameters(" a  \"b c\" d\"e\" "), (std::vector<std::string>{"a", "b c", "de"}));
}

TEST(FileOperation, CopyIntoFoldersOntoNamesAndKeepTheDate)
{
    TempFolder t;
    const std::string src = t.file("buttons/next.gif", "GIF89a");
    const auto old = fs::last_write_time(src) - std::chrono::hours(48);
    fs::last_write_time(src, old);
    fs::create_directory(t.path / "dest");
    ASSERT_TRUE(FileOperation(TFileOperation::Copy, src, t / "dest"));
    EXPECT_EQ(readFile(t / "dest/next.gif"), "GIF89a");
    EXPECT_EQ(fs::last_write_time(t / "dest/next.gif"), old);
    // A new name in folders that do not exist yet; an existing file is replaced.
    t.file("web/img/prev.gif", "old");
    ASSERT_TRUE(FileOperation(TFileOperation::Copy, src, t / "web/img/prev.gif"));
    EXPECT_EQ(readFile(t / "web/img/prev.gif"), "GIF89a");
    ASSERT_TRUE(FileOperation(TFileOperation::Copy, src, t / "new\\deep/"));
    EXPECT_TRUE(fs::exists(t / "new/deep/next.gif"));
    std::string error;
    EXPECT_FALSE(FileOperation(TFileOperation::Copy, src, src, &error));
    EXPECT_EQ(readFile(src), "GIF89a");  // not truncated by copying onto itself
    EXPECT_FALSE(FileOperation(TFileOperation::Copy, t / "missing.gif", t / "dest", &error));
    EXPECT_FALSE(FileOperation(TFileOperation::Copy, "", t / "dest"));
    EXPECT_FALSE(FileOperation(TFileOperation::Copy, t / "buttons", t / "buttons/inner"));
}

TEST(FileOperation, MoveDeleteAndRename)
{
    TempFolder t;
    const std::string a = t.file("a.txt", "A");
    ASSERT_TRUE(FileOperation(TFileOperation::Move, a, t / "sub/b.txt"));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(readFile(t / "sub/b.txt"), "A");
    ASSERT_TRUE(FileOperation(TFileOperation::Rename, t / "sub/b.txt", "c.txt"));  // stays in its folder
    EXPECT_TRUE(fs::exists(t / "sub/c.txt"));
    t.file("sub/d.txt", "D");
    EXPECT_FALSE(FileOperation(TFileOperation::Rename, t / "sub/c.txt", t / "sub/d.txt"));
    EXPECT_EQ(readFile(t / "sub/d.txt"), "D");
    t.file("folder/x/y.txt");
    ASSERT_TRUE(FileOperation(TFileOperation::Delete, t / "folder", ""));
    EXPECT_FALSE(fs::exists(t / "folder"));
    EXPECT_FALSE(FileOperation(TFileOperation::Delete, t / "folder", ""));
    const fs::path cwd = fs::current_path();
    ASSERT_TRUE(FileOperation(TFileOperation::Move, t / "sub", t / "moved/"));
    EXPECT_TRUE(fs::exists(t / "moved/sub/c.txt"));
    EXPECT_EQ(fs::current_path(), cwd);
}
