// The real program: started under a virtual X display from a temporary
// program folder, closed by its test hook, it must leave a private pv.ini.
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// A copy of the program in a scratch folder, so that folder is its program folder.
void copyProgramInto(const fs::path& dir)
{
    const fs::path exe = fs::path(PICTAVO_BINARY_DIR) / "pictavo";
    ASSERT_TRUE(fs::exists(exe)) << exe;
    fs::copy_file(exe, dir / "pictavo");
    fs::copy_file(fs::path(PICTAVO_SOURCE_DIR) / "data" / "pvcapt.pv", dir / "pvcapt.pv");
}

std::string readText(const fs::path& file) { return testsupport::ReadFileText(file.string()); }

}  // namespace

TEST(Program, StartsShowsItsWindowAndWritesPrivateSettingsOnClose)
{
    if (!testsupport::HaveTool("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    const testsupport::TempDir scratch("pictavo-run");
    const fs::path dir = scratch.path;
    ASSERT_NO_FATAL_FAILURE(copyProgramInto(dir));

    // The program says on stderr when its window is exposed (a test hook), and
    // closes the window itself a while after that (another test hook).
    const std::string cmd = "cd '" + dir.string() +
                            "' && env -u QT_QPA_PLATFORM PICTAVO_AUTOCLOSE_MS=1500 PICTAVO_REPORT_SHOWN=1 "
                            "timeout 60 xvfb-run -a ./pictavo > run.log 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::string text = readText(dir / "run.log");
    EXPECT_NE(text.find("main window shown"), std::string::npos) << text;

    struct stat st {};
    ASSERT_EQ(stat((dir / "pv.ini").c_str(), &st), 0) << text;
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// The kit's single-instance lock only marks a second copy: both copies show
// their windows and end normally, and only the later one reports itself second.
TEST(Program, TwoCopiesRunSideBySide)
{
    if (!testsupport::HaveTool("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    const testsupport::TempDir scratch("pictavo-two");
    const fs::path dir = scratch.path;
    ASSERT_NO_FATAL_FAILURE(copyProgramInto(dir));
    fs::create_directory(dir / "run");
    fs::permissions(dir / "run", fs::perms::owner_all, fs::perm_options::replace);

    // The first copy stays open until the second has started, shown its window
    // and closed while the first still holds the lock.
    std::ofstream(dir / "two.sh") << "PICTAVO_CLOSE_WHEN=second.done ./pictavo > first.log 2>&1 & first=$!\n"
                                     "until grep -q 'main window shown' first.log; do\n"
                                     "  kill -0 $first 2>/dev/null || break; sleep 0.1\n"
                                     "done\n"
                                     "PICTAVO_AUTOCLOSE_MS=0 ./pictavo > second.log 2>&1; second=$?\n"
                                     "touch second.done; wait $first; echo \"$? $second\" > codes\n";
    const std::string cmd = "cd '" + dir.string() + "' && env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR='" +
                            (dir / "run").string() +
                            "' PICTAVO_REPORT_SHOWN=1 timeout 90 xvfb-run -a sh ./two.sh > run.log 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    auto readAll = [&](const char* name) { return readText(dir / name); };
    EXPECT_EQ(readAll("codes"), "0 0\n") << readAll("run.log");
    const std::string first = readAll("first.log");
    const std::string second = readAll("second.log");
    EXPECT_NE(first.find("main window shown"), std::string::npos) << first;
    EXPECT_EQ(first.find("second instance"), std::string::npos) << first;
    EXPECT_NE(second.find("main window shown"), std::string::npos) << second;
    EXPECT_NE(second.find("second instance"), std::string::npos) << second;
    // The lock lies where the kit keeps it, named after the program.
    EXPECT_TRUE(fs::exists(dir / "run" / "pictavo.lock"));
}
