#include "platform/system/DateTime.h"
#include "platform/system/Files.h"
#include "platform/system/FindFiles.h"
#include "platform/system/System.h"
#include "platform/system/Ticks.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <fstream>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace fs = std::filesystem;

namespace {

struct TempFolder : testsupport::TempDir {
    TempFolder() : TempDir("pictavo-sys") {}
    std::string str() const { return path.string() + "/"; }
};

std::vector<std::string> findAll(const std::string& pattern, int attr)
{
    std::vector<std::string> names;
    TSearchRec rec;
    for (int rc = FindFirst(pattern, attr, rec); rc == 0; rc = FindNext(rec)) names.push_back(rec.Name);
    FindClose(rec);
    return names;
}

}  // namespace

TEST(Folders, ProgramFolderIsTheExecutablesFolderUnlessSet)
{
    const std::string exe = fs::read_symlink("/proc/self/exe").parent_path().string() + "/";
    EXPECT_EQ(ProgramFolder(), exe);
    SetProgramFolder("/opt/pictavo");
    EXPECT_EQ(ProgramFolder(), "/opt/pictavo/");
    SetProgramFolder("");
    EXPECT_EQ(ProgramFolder(), exe);
}

TEST(Folders, WritableFolderFallsBackToTheUsersConfigFolder)
{
    // Program folder, installed copy, program folder writable, XDG_CONFIG_HOME, home.
    const std::tuple<bool, bool, const char*, const char*, const char*> cases[] = {
        {false, true, "/x", "/home/u", "/opt/p/"},
        {false, false, "/x/cfg", "/home/u", "/x/cfg/pictavo/"},
        {false, false, "", "/home/u", "/home/u/.config/pictavo/"},
        {false, false, "relative", "/home/u", "/home/u/.config/pictavo/"},
        // An installed copy keeps nothing in its folder, writable or not.
        {true, true, "/x/cfg", "/home/u", "/x/cfg/pictavo/"},
        {true, true, "", "/home/u", "/home/u/.config/pictavo/"},
        // Without a home there is no shared fallback such as /tmp.
        {false, false, "", "", "/opt/p/"},
        {true, true, "", "", "/opt/p/"},
    };
    for (const auto& [installed, writable, xdg, home, chosen] : cases)
        EXPECT_EQ(ChooseWritableFolder("/opt/p/", installed, writable, xdg, home), chosen)
            << installed << writable << " " << xdg << " " << home;
    TempFolder t;
    SetProgramFolder(t.path.string());
    EXPECT_EQ(WritableFolder(), t.str());
    SetProgramFolder("");
}

// Sets an environment variable for the life of the object.
using testsupport::ScopedEnv;

TEST(Folders, HomeComesFromTheAccountWhenHomeIsEmpty)
{
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    for (const char* home : {"", "relative/home"}) {
        ScopedEnv env("HOME", home);
        EXPECT_EQ(UserHomeFolder(), entry->pw_dir) << home;
    }
    ScopedEnv env("HOME", "/h/u");
    EXPECT_EQ(UserHomeFolder(), "/h/u");
}

TEST(Folders, SettingsFolderIsMadePrivateAndNeverAFolderEveryUserMayWrite)
{
    ::umask(022);
    TempFolder t;
    ScopedEnv xdg("XDG_CONFIG_HOME", (t / "config").c_str());
    // A program folder that cannot be written, then one that every user may write.
    SetProgramFolder(t / "missing");
    EXPECT_EQ(WritableFolder(), t / "config/pictavo/");
    SetProgramFolder(t / "shared");
    fs::create_directory(t / "shared");
    ::chmod((t / "shared").c_str(), 0777);
    EXPECT_EQ(WritableFolder(), t / "config/pictavo/");
    // A folder its user may write, but an installed copy's: not used either.
    SetProgramFolder(t / "installed");
    fs::create_directory(t / "installed");
    std::ofstream(t.path / "installed" / InstalledCopyMarker) << "installed\n";
    EXPECT_TRUE(IsInstalledCopy());
    EXPECT_EQ(WritableFolder(), t / "config/pictavo/");
    SetProgramFolder("");
    EXPECT_FALSE(IsInstalledCopy());
    for (const char* made : {"config", "config/pictavo"}) {
        struct stat st {};
        ASSERT_EQ(::stat((t / made).c_str(), &st), 0) << made;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
}

TEST(Folders, NamePiecesAcceptBothSeparators)
{
    EXPECT_EQ(ToFileSystemPath("frames\\bar1.gif"), "frames/bar1.gif");
    // A name, its folder, its file name and its extension.
    const std::tuple<const char*, const char*, const char*, const char*> names[] = {
        {"/a/b\\c.jpg", "/a/b\\", "c.jpg", ".jpg"}, {"/a.b/c", "/a.b/", "c", ""}, {"x.tar.GZ", "", "x.tar.GZ", ".GZ"}};
    for (auto [name, path, file, ext] : names) {
        EXPECT_EQ(ExtractFilePath(name), path) << name;
        EXPECT_EQ(ExtractFileName(name), file) << name;
        EXPECT_EQ(ExtractFileExt(name), ext) << name;
    }
    EXPECT_EQ(ChangeFileExt("/a/b.jpeg", ".htm"), "/a/b.htm");
    for (auto [folder, with, without] : {std::tuple{"/a", "/a/", "/a"}, {"/a/", "/a/", "/a"}, {"/", "/", "/"}}) {
        EXPECT_EQ(IncludeTrailingPathDelimiter(folder), with) << folder;
        EXPECT_EQ(ExcludeTrailingPathDelimiter(folder), without) << folder;
    }
}

TEST(Files, PrivateFilesAre0600AndRefuseALinkInTheirPlace)
{
    ::umask(022);
    TempFolder t;
    const std::string file = t / "pvftp.pv";
    ASSERT_EQ(WritePrivateFile(file, "secret\r\n"), 0);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(testsupport::ReadFileText(file), "secret\r\n");
    ::chmod(file.c_str(), 0644);
    ASSERT_EQ(WritePrivateFile(file, "again"), 0);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A link planted in the file's place is neither followed nor replaced.
    const std::string elsewhere = t.file("elsewhere", "theirs");
    const std::string link = t / "pv.ini";
    ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
    EXPECT_EQ(WritePrivateFile(link, "secret"), ELOOP);
    EXPECT_EQ(testsupport::ReadFileText(elsewhere), "theirs");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path), fs::directory_iterator()), 3);  // no temporary left
}

TEST(Files, DatesAreReadWithoutWriteAccessAndClampBefore1980)
{
    TempFolder t;
    const std::string f = t.file("a.jpg");
    const std::int32_t packed = DateTimeToFileDate(EncodeDateTime(TDateParts{2010, 5, 6, 7, 8, 10, 0}));
    ASSERT_EQ(FileSetDate(f, packed), 0);
    ::chmod(f.c_str(), 0444);
    EXPECT_EQ(FileAge(f), packed);
    EXPECT_EQ(FileAge(t.str() + "missing.jpg"), -1);
    EXPECT_NE(FileSetDate(t.str() + "missing.jpg", packed), 0);
    EXPECT_NE(FileSetDate(f, 0), 0);  // not a date

    const std::string old = t.file("old.jpg");
    struct utimbuf times {
        100000, 100000
    };  // January 1970
    ASSERT_EQ(::utime(old.c_str(), &times), 0);
    EXPECT_EQ(FileAge(old), 0x00210000);
}

TEST(Files, AttributesMapOntoPermissionsAndNames)
{
    TempFolder t;
    const std::string f = t.file("plain.txt");
    const std::string h = t.file(".hidden");
    fs::create_directory(t.path / "sub");
    EXPECT_EQ(FileGetAttr(f), faArchive);
    EXPECT_EQ(FileGetAttr(h), faArchive | faHidden);
    EXPECT_EQ(FileGetAttr(t.str() + "sub"), faDirectory);
    EXPECT_EQ(FileGetAttr(t.str() + "none"), -1);
    ASSERT_EQ(FileSetAttr(f, faReadOnly | faHidden), 0);
    EXPECT_EQ(FileGetAttr(f), faReadOnly | faArchive);
    struct stat st {};
    ::stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_EQ(FileSetAttr(f, faArchive), 0);
    ::stat(f.c_str(), &st);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    EXPECT_EQ(FileSizeOfPath(t.file("five", "12345")), 5);
    EXPECT_TRUE(FileExists(f));
    EXPECT_FALSE(FileExists(t.str() + "sub"));
    EXPECT_TRUE(DirectoryExists(t.str() + "sub"));
    EXPECT_TRUE(ForceDirectories(t.str() + "x\\y/z"));
    EXPECT_TRUE(DirectoryExists(t.str() + "x/y/z"));
}

TEST(FindFiles, MasksIgnoreCaseAndSpecialEntriesNeedTheirBits)
{
    TempFolder t;
    t.file("a.jpg");
    t.file("B.JPG");
    t.file("c.Jpg");
    t.file("d.gif");
    t.file("noext");
    t.file(".hidden.jpg");
    fs::create_directory(t.path / "folder.jpg");
    EXPECT_EQ(findAll(t.str() + "*.jpg", 0), (std::vector<std::string>{"B.JPG", "a.jpg", "c.Jpg"}));
    EXPECT_EQ(findAll(t.str() + "*.JPG", faHidden),
              (std::vector<std::string>{".hidden.jpg", "B.JPG", "a.jpg", "c.Jpg"}));
    EXPECT_EQ(findAll(t.str() + "*.jpg", faDirectory),
              (std::vector<std::string>{"B.JPG", "a.jpg", "c.Jpg", "folder.jpg"}));
    EXPECT_EQ(findAll(t.str() + "*.*", 0).size(), 5u);  // "*.*" takes names without a dot too
    EXPECT_EQ(findAll(t.str() + "?.gif", 0), (std::vector<std::string>{"d.gif"}));
    // A '\' in the pattern is a separator.
    std::string windowsStyle = t.str() + "*.gif";
    windowsStyle[windowsStyle.size() - 6] = '\\';
    EXPECT_EQ(findAll(windowsStyle, 0), (std::vector<std::string>{"d.gif"}));
    TSearchRec rec;
    EXPECT_NE(FindFirst(t.str() + "*.png", 0, rec), 0);
    EXPECT_NE(FindFirst(t.str() + "nowhere/*.*", 0, rec), 0);
}

TEST(FindFiles, WalkFolderSurvivesSymlinkLoopsAndKeepsTheCurrentFolder)
{
    TempFolder t;
    t.file("top/a.jpg");
    t.file("top/sub/b.jpg");
    t.file("top/sub/deeper/c.jpg");
    fs::create_directory_symlink("..", t.path / "top/sub/up");  // loop back to top
    fs::create_directory_symlink(t.path / "top", t.path / "top/sub/deeper/again");
    const fs::path before = fs::current_path();
    std::map<std::string, int> files;
    int folders = 0;
    ASSERT_TRUE(WalkFolder(t.str() + "top", true, [&](const std::string& folder, const TSearchRec& e) {
        EXPECT_EQ(folder.back(), '/');
        if (e.Attr & faDirectory)
            ++folders;
        else
            ++files[e.Name];
        return true;
    }));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_EQ(files, (std::map<std::string, int>{{"a.jpg", 1}, {"b.jpg", 1}, {"c.jpg", 1}}));
    EXPECT_EQ(folders, 4);  // sub, deeper, and the two links, each seen but not entered again
    int shallow = 0;
    WalkFolder(t.str() + "top", false, [&](const std::string&, const TSearchRec&) { return ++shallow, true; });
    EXPECT_EQ(shallow, 2);
    EXPECT_FALSE(WalkFolder(t.str() + "absent", true, [](const std::string&, const TSearchRec&) { return true; }));
}

TEST(Ticks, CountersMoveForward)
{
    const std::uint64_t a = MonotonicMilliseconds();
    Sleep(15);
    const std::uint64_t b = MonotonicMilliseconds();
    EXPECT_GE(b - a, 15u);
    // The 32-bit counter is the low half of the same clock: read between two
    // readings of it, it lies between them (counted with wrap-around).
    const auto before = static_cast<std::uint32_t>(MonotonicMilliseconds());
    const std::uint32_t ticks = GetTickCount();
    const auto after = static_cast<std::uint32_t>(MonotonicMilliseconds());
    EXPECT_LE(ticks - before, after - before);
}
