#include "platform/help/Help.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <iterator>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(Help, ContextsOpenTheirPageOrSayNoHelpIsInstalled)
{
    const testsupport::TempDir scratch("pictavo-help");
    const fs::path& folder = scratch.path;
    SetProgramFolder(folder.string());
    EXPECT_EQ(HelpPageFile(41), folder.string() + "/help/41.htm");

    std::string message;
    EXPECT_EQ(ShowHelpContext(41, &message), THelpResult::NotInstalled);
    EXPECT_EQ(message, "No help is installed.");

    fs::create_directories(folder / "help");
    std::ofstream(folder / "help/41.htm") << "<html>";
    const fs::path out = folder / "opened.txt";
    std::ofstream(folder / "opener.sh") << "#!/bin/sh\necho \"$1\" > '" << out.string() << ".tmp' && mv '"
                                        << out.string() << ".tmp' '" << out.string() << "'\n";
    ::chmod((folder / "opener.sh").c_str(), 0755);
    SetShellOpener((folder / "opener.sh").string());
    EXPECT_EQ(ShowHelpContext(41, &message), THelpResult::Opened);
    ASSERT_TRUE(testsupport::WaitForFile(out.string()));
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, folder.string() + "/help/41.htm");

    SetShellOpener("no-such-opener");
    EXPECT_EQ(ShowHelpContext(41, &message), THelpResult::OpenFailed);
    EXPECT_EQ(message, "no-such-opener is not installed");
    SetShellOpener("");
    SetProgramFolder("");
}

TEST(Help, EveryContextTheProgramUsesHasAPage)
{
    SetProgramFolder(std::string(PICTAVO_SOURCE_DIR) + "/data");
    std::vector<int> contexts = {1, 6, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51};
    for (int c = 601; c <= 606; ++c) contexts.push_back(c);
    for (int context : contexts) {
        std::ifstream page(HelpPageFile(context));
        ASSERT_TRUE(page.good()) << context;
        std::string text((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("<title>"), std::string::npos) << context;
        EXPECT_NE(text.find("</html>"), std::string::npos) << context;
    }
    SetProgramFolder("");
}
