#include "platform/streams/Streams.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(MemoryStream, ExactReadRaisesOnShortDataAndKeepsLittleAndBigEndianApart)
{
    TMemoryStream s({0x01, 0x02, 0x03, 0x04, 0x05});
    EXPECT_EQ(s.ReadLE16(), 0x0201);
    EXPECT_EQ(s.ReadBE16(), 0x0304);
    EXPECT_EQ(s.Remaining(), 1);
    EXPECT_THROW(s.ReadLE32(), EReadError);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadLE32(), 0x04030201u);
    s.SetPosition(1);
    EXPECT_EQ(s.ReadBE32(), 0x02030405u);
}

TEST(MemoryStream, SeekPastEndReadsNothingAndWriteExtends)
{
    TMemoryStream s;
    s.Seek(4, SeekOrigin::Beginning);
    std::uint8_t b = 7;
    EXPECT_EQ(s.Read(&b, 1), 0u);
    s.WriteBuffer(&b, 1);
    ASSERT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Bytes()[0], 0);
    EXPECT_EQ(s.Bytes()[4], 7);
    EXPECT_EQ(s.Seek(-100, SeekOrigin::Current), 0);
}

TEST(FileStream, RoundTripAndErrorsNameTheFile)
{
    const testsupport::TempDir scratch("pictavo-streams");
    const fs::path& dir = scratch.path;
    std::string name = (dir / "a.bin").string();
    {
        TFileStream out(name, FileMode::Create);
        out.WriteBuffer("hello", 5);
    }
    TMemoryStream copy;
    copy.LoadFromFile(name);
    EXPECT_EQ(std::string(copy.Bytes().begin(), copy.Bytes().end()), "hello");

    try {
        TFileStream missing((dir / "missing.bin").string(), FileMode::OpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message.find("Cannot open file \"" + (dir / "missing.bin").string() + "\""), std::string::npos);
    }
    EXPECT_THROW(TFileStream(dir.string(), FileMode::OpenRead), EFOpenError);
}
