// The real program: started under a virtual X display from a temporary
// program folder, closed by its test hook, it must leave a private pv.ini.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

TEST(Program, StartsShowsItsWindowAndWritesPrivateSettingsOnClose) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const fs::path exe = fs::path(PICTAVO_BINARY_DIR) / "pictavo";
    ASSERT_TRUE(fs::exists(exe)) << exe;
    char templ[] = "/tmp/pictavo-run-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    const fs::path dir = templ;
    fs::copy_file(exe, dir / "pictavo");
    fs::copy_file(fs::path(PICTAVO_SOURCE_DIR) / "data" / "pvcapt.pv", dir / "pvcapt.pv");

    // The program says on stderr when its window is exposed (a test hook), and
    // closes the window itself after a delay (another test hook).
    const std::string cmd = "cd '" + dir.string() +
                            "' && env -u QT_QPA_PLATFORM PICTAVO_AUTOCLOSE_MS=1500 PICTAVO_REPORT_SHOWN=1 "
                            "timeout 60 xvfb-run -a ./pictavo > run.log 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::ifstream log(dir / "run.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("main window shown"), std::string::npos) << text;

    struct stat st {};
    ASSERT_EQ(stat((dir / "pv.ini").c_str(), &st), 0) << text;
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    fs::remove_all(dir);
}
