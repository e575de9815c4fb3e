#include "platform/registry/Registry.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(Registry, WritesReadsAndKeepsOtherValues)
{
    const testsupport::TempDir scratch("pictavo-registry");
    const std::string dir = scratch.path.string();
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    SetRegistryFile("");
    EXPECT_EQ(RegistryFile(), dir + "/pictavo/registry.ini");
    {
        std::filesystem::create_directories(dir + "/pictavo");
        std::ofstream out(dir + "/pictavo/registry.ini");
        out << "[Other]\r\nKeep=1\r\n";
    }
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Intel Corporation\\PLSuite\\IJLib";
    EXPECT_FALSE(RegistryReadDWord(key, "USECPU").has_value());
    ASSERT_TRUE(RegistryWriteDWord(key, "USECPU", 5));
    ASSERT_TRUE(RegistryWriteDWord(key, "usecpu", 6));  // names match without regard to case
    EXPECT_EQ(RegistryReadDWord(key, "USECPU"), 6u);
    EXPECT_EQ(RegistryReadDWord("hkey_local_machine\\software\\intel corporation\\plsuite\\ijlib", "UseCpu"), 6u);
    EXPECT_EQ(RegistryReadDWord("Other", "Keep"), 1u);
    std::ifstream in(dir + "/pictavo/registry.ini");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("usecpu=6") != std::string::npos, true);
    EXPECT_EQ(text.str().find("USECPU=5"), std::string::npos);

    SetRegistryFile(dir + "/elsewhere/r.ini");
    ASSERT_TRUE(RegistryWriteDWord("K", "V", 42));
    EXPECT_TRUE(std::filesystem::exists(dir + "/elsewhere/r.ini"));
    SetRegistryFile("/proc/no-such-place/r.ini");
    EXPECT_FALSE(RegistryWriteDWord("K", "V", 1));
    SetRegistryFile("");
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
