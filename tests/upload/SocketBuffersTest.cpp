#include "upload/SocketBuffers.h"

#include <gtest/gtest.h>

#include <string>

TEST(SocketBuffers, SizeDefaultsToOneFrame)
{
    EXPECT_EQ(TBuffer(0).Size(), 1514);
    EXPECT_EQ(TBuffer(-5).Size(), 1514);
    EXPECT_EQ(TBuffer(16).Size(), 16);
}

TEST(SocketBuffers, WriteStopsAtTheEnd)
{
    TBuffer buffer(8);
    EXPECT_EQ(buffer.Write("abcdef", 6), 6);
    EXPECT_EQ(buffer.Write("ghijk", 5), 2);
    EXPECT_EQ(buffer.Write("x", 1), 0);
    EXPECT_EQ(buffer.Write("x", -1), 0);
    int count = 0;
    const std::uint8_t* data = buffer.Peek(count);
    ASSERT_EQ(count, 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 8), "abcdefgh");
}

TEST(SocketBuffers, RemoveNeverPassesTheUnreadBytes)
{
    TBuffer buffer(8);
    buffer.Write("abcd", 4);
    EXPECT_EQ(buffer.Remove(3), 3);
    int count = 0;
    const std::uint8_t* data = buffer.Peek(count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(*data, 'd');
    EXPECT_EQ(buffer.Remove(100), 1);
    EXPECT_EQ(buffer.Peek(count), nullptr);
    EXPECT_EQ(count, 0);
    // Drained: reused from the start, so the whole area is free again.
    EXPECT_EQ(buffer.WrCount(), 0);
    EXPECT_EQ(buffer.Write("12345678", 8), 8);
    EXPECT_EQ(buffer.Remove(-1), 0);
}

TEST(SocketBuffers, ResizeKeepsWhatFits)
{
    TBuffer buffer(8);
    buffer.Write("abcdefgh", 8);
    buffer.Remove(2);
    buffer.SetSize(4);
    EXPECT_EQ(buffer.Size(), 4);
    int count = 0;
    const std::uint8_t* data = buffer.Peek(count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 2), "cd");
    buffer.SetSize(16);
    data = buffer.Peek(count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(buffer.Write("0123456789abcdef", 16), 12);
}
