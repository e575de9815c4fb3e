// The block compressor: hand-computed blocks, round trips and damaged blocks.
#include "widgets/kitutils.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes RoundTrip(const Bytes& input)
{
    const Bytes block = CompressBlock(input);
    EXPECT_LE(block.size(), input.size() + 1);
    return DecompressBlock(block);
}
}  // namespace

TEST(KitCompress, TwentyEqualBytesAreOneRunItem)
{
    const Bytes block = CompressBlock(Bytes(20, 'x'));
    EXPECT_EQ(block, (Bytes{64, 0x80, 0x00, 0, 0, 4, 'x'}));
    EXPECT_EQ(DecompressBlock(block), Bytes(20, 'x'));
}

TEST(KitCompress, ThreeDistinctBytesAreStored)
{
    const Bytes block = CompressBlock(FromText("abc"));
    EXPECT_EQ(block, (Bytes{128, 'a', 'b', 'c'}));
    EXPECT_EQ(DecompressBlock(block), FromText("abc"));
}

TEST(KitCompress, RepeatedTripleBecomesLiteralsAndOneCopy)
{
    const Bytes block = CompressBlock(FromText("abcabcabc"));
    // Three literals, then a copy of distance 3 and length 6: 3 * 16 + (6 - 3).
    EXPECT_EQ(block, (Bytes{64, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x33}));
    EXPECT_EQ(DecompressBlock(block), FromText("abcabcabc"));
}

TEST(KitCompress, EmptyInputIsAStoredEmptyBlock)
{
    EXPECT_EQ(CompressBlock(Bytes{}), Bytes{128});
    EXPECT_TRUE(DecompressBlock(Bytes{128}).empty());
}

TEST(KitCompress, SeventeenItemsTakeASecondControlWord)
{
    // 16 equal-byte runs of 16 and one more literal: the 17th item opens a new group.
    Bytes input;
    for (int i = 0; i < 16; ++i) input.insert(input.end(), 16, static_cast<std::uint8_t>('A' + i));
    input.push_back('z');
    const Bytes block = CompressBlock(input);
    ASSERT_EQ(block.size(), 1u + 2 + 16 * 4 + 2 + 1);
    EXPECT_EQ(block[1], 0xFF);
    EXPECT_EQ(block[2], 0xFF);
    EXPECT_EQ(block[3 + 64], 0x00);  // second control word: one literal, high bit 0
    EXPECT_EQ(block[4 + 64], 0x00);
    EXPECT_EQ(block.back(), 'z');
    EXPECT_EQ(DecompressBlock(block), input);
}

TEST(KitCompress, LongestRunAndCopyLimits)
{
    Bytes input(4095 + 20, 0x55);
    const Bytes block = CompressBlock(input);
    // The first run item holds 4095 bytes: 4095 - 16 = 0x0FEF.
    EXPECT_EQ(block[3], 0);
    EXPECT_EQ(block[4], 0x0F);
    EXPECT_EQ(block[5], 0xEF);
    EXPECT_EQ(DecompressBlock(block), input);
}

TEST(KitCompress, RoundTripsRandomAndRepetitiveData)
{
    std::mt19937 random(1234);
    for (std::size_t size : {1u, 2u, 3u, 17u, 100u, 4096u, 32781u, 65535u}) {
        Bytes noise(size);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        EXPECT_EQ(RoundTrip(noise), noise) << size;

        Bytes text;
        const std::string words = "the quick brown fox jumps over the lazy dog ";
        while (text.size() < size) text.push_back(static_cast<std::uint8_t>(words[text.size() % words.size()]));
        const Bytes block = CompressBlock(text);
        if (size >= 4096) {
            EXPECT_LT(block.size(), size / 2) << size;
        }
        EXPECT_EQ(DecompressBlock(block), text) << size;

        Bytes mixed(size);
        for (std::size_t i = 0; i < size; ++i)
            mixed[i] = (i / 37) % 3 == 0 ? static_cast<std::uint8_t>(random() % 4) : static_cast<std::uint8_t>(i / 300);
        EXPECT_EQ(RoundTrip(mixed), mixed) << size;
    }
}

TEST(KitCompress, InputLargerThanABlockIsRefused) { EXPECT_THROW(CompressBlock(Bytes(65536, 1)), ELzrwError); }

TEST(KitCompress, DamagedBlocksRaise)
{
    const std::vector<Bytes> damaged = {
        {},                                 // no flag byte
        {7, 0, 0},                          // unknown flag
        {64, 0x80},                         // control word broken off
        {64, 0x80, 0x00, 0x00},             // copy item broken off
        {64, 0x80, 0x00, 0, 0, 4},          // run item broken off
        {64, 0x80, 0x00, 0x00, 0x33},       // copy reaches before the output's start
        {64, 0x40, 0x00, 'a', 0x00, 0x23},  // distance 2 with only one byte out
    };
    for (const auto& block : damaged) EXPECT_THROW(DecompressBlock(block), ELzrwError) << block.size();
}

TEST(KitCompress, OutputNeverGrowsPastItsLimit)
{
    // A run of 4095 bytes expands beyond a limit of 100.
    const Bytes run = {64, 0x80, 0x00, 0, 0x0F, 0xEF, 'r'};
    EXPECT_EQ(DecompressBlock(run).size(), 4095u);
    EXPECT_THROW(DecompressBlock(run, 100), ELzrwError);
    EXPECT_THROW(DecompressBlock(Bytes{128, 1, 2, 3}, 2), ELzrwError);
}

TEST(KitUtils, RectanglesPathsAndBlanks)
{
    EXPECT_EQ(AspectFitRect({0, 0, 200, 100}, {10, 20, 110, 220}), (TKitRect{10, 20, 110, 70}));
    EXPECT_EQ(AspectFitRect({0, 0, 3, 7}, {0, 0, 10, 10}), (TKitRect{0, 0, 4, 10}));
    EXPECT_EQ(AspectFitRect({0, 0, 0, 0}, {5, 5, 10, 10}), (TKitRect{5, 5, 5, 5}));

    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank("   "));
    EXPECT_FALSE(IsBlank(" a "));

    // A path, with the trailing separator added and removed.
    const std::tuple<const char*, const char*, const char*> paths[] = {
        {"/", "/", ""}, {"/apps/", "/apps/", "/apps"}, {"/apps", "/apps/", "/apps"}, {"  ", "/", "  "}, {"", "/", ""}};
    for (auto [path, added, removed] : paths) {
        EXPECT_EQ(AddBackSlash(path), added) << path;
        EXPECT_EQ(RemoveBackSlash(path), removed) << path;
    }
    EXPECT_EQ(KitSystemFolder(false), "/usr/lib");
    EXPECT_EQ(KitWindowsFolder(true), "/etc/");
    EXPECT_EQ(KitProgramFolder(true).back(), '/');
}
