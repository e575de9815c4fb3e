#include "raster/RasterConvert.h"

#include "PixelTestHelpers.h"

#include <set>
#include <vector>

using namespace pixeltest;

namespace {

// Channel values of the form 8v + 7 survive 24 -> 5-bit field -> 24 (the
// conversion expands a field as ((v + 1) << 3) - 1), so a picture made of
// them must come back unchanged through every depth that holds its colours.
// (7, 7, 7) is avoided: it packs to the 16-bit value 0, which 16 -> 32 keeps black.
const std::vector<Bgr> kPaletteSafe = {
    {255, 255, 255}, {15, 23, 31},    {255, 7, 7},   {7, 255, 7},     {7, 7, 255},  {127, 63, 31},
    {31, 63, 127},   {199, 151, 103}, {55, 95, 135}, {247, 239, 231}, {87, 79, 71}, {15, 135, 255},
    {255, 135, 15},  {135, 15, 255},  {63, 63, 63},  {191, 191, 191},
};

// width x height, colours taken in turn from the first `colours` entries.
std::unique_ptr<TRasterDIB> patterned24(int width, int height, int colours)
{
    auto dib = makeDib(width, height, 24);
    int n = 0;
    for (int y = 0; y < dib->AbsHeight; ++y)
        for (int x = 0; x < width; ++x) set24(*dib, y, x, kPaletteSafe[(n++ * 7 + y) % colours]);
    return dib;
}

class EveryPairTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

}  // namespace

// 24 -> A -> B -> 24 gives back the picture for every pair A, B (widths that
// leave partial bytes at 1 and 4 bpp, both row orders).
TEST_P(EveryPairTest, ColoursSurviveEveryPath)
{
    const auto [a, b] = GetParam();
    const int colours = (a == 1 || b == 1) ? 2 : 16;
    for (const int height : {3, -3}) {
        auto original = patterned24(13, height, colours);
        auto dib = patterned24(13, height, colours);
        ChangeBitCount(*dib, a);
        ASSERT_EQ(dib->BitCount(), a);
        ChangeBitCount(*dib, b);
        ASSERT_EQ(dib->BitCount(), b);
        if (a == b && (a == 16 || a == 32)) {  // equal depths that still have a converter
            auto same = makeDib(13, height, a);
            ConvertDIB(*dib, *same);
            dib = std::move(same);
        }
        ChangeBitCount(*dib, 24);
        ASSERT_EQ(dib->BitCount(), 24);
        EXPECT_EQ(dib->Header.Height, height);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(get24(*dib, y, x), get24(*original, y, x))
                    << a << "->" << b << " height " << height << " at " << y << "," << x;
    }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, EveryPairTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32),
                                            ::testing::Values(1, 4, 8, 16, 24, 32)));

TEST(RasterConvert, FirstComePaletteOf256ThenIndexZero)
{
    // 300 colours in memory order, bottom row first.
    auto src = makeDib(20, 15, 24);
    for (int i = 0; i < 300; ++i) set24(*src, i / 20, i % 20, {i % 256, i / 256, 9});
    auto dst = makeDib(20, 15, 8);
    ConvertDIB(*src, *dst);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(dst->Colors[i].rgbBlue, i % 256);
        EXPECT_EQ(dst->Colors[i].rgbGreen, 0);
        EXPECT_EQ(dst->Colors[i].rgbRed, 9);
    }
    for (int i = 0; i < 300; ++i) EXPECT_EQ(dst->Rows[i / 20][i % 20], i < 256 ? i : 0) << i;
}

TEST(RasterConvert, OverflowIndexDependsOnSourceAndTarget)
{
    // 17 colours: the 17th gets 15 at 4 bpp; from 16 bpp at 8 bpp the
    // overflow index is 255.
    auto src = makeDib(17, 1, 24);
    for (int x = 0; x < 17; ++x) set24(*src, 0, x, {x * 10, 0, 0});
    auto four = makeDib(17, 1, 4);
    ConvertDIB(*src, *four);
    EXPECT_EQ(four->Rows[0][0], 0x01);     // indices 0, 1
    EXPECT_EQ(four->Rows[0][7], 0xEF);     // 14, 15
    EXPECT_EQ(four->Rows[0][8] >> 4, 15);  // overflow
    EXPECT_EQ(four->Colors[15].rgbBlue, 150);

    auto src16 = makeDib(300, 1, 16);
    for (int x = 0; x < 300; ++x) set16(*src16, 0, x, std::uint16_t(x));
    auto eight = makeDib(300, 1, 8);
    ConvertDIB(*src16, *eight);
    EXPECT_EQ(eight->Rows[0][255], 255);
    EXPECT_EQ(eight->Rows[0][256], 255);
    EXPECT_EQ(eight->Rows[0][299], 255);
    EXPECT_EQ(eight->Rows[0][3], 3);
    // Palette colours are expanded as ((v + 1) << loss) - 1.
    EXPECT_EQ(eight->Colors[3].rgbBlue, 31);
    EXPECT_EQ(eight->Colors[3].rgbGreen, 7);
    EXPECT_EQ(eight->Colors[32].rgbGreen, 15);
}

TEST(RasterConvert, SingleColourToOneBit)
{
    auto src = makeDib(11, 2, 24);
    fillGrey(*src, 77);
    auto dst = makeDib(11, 2, 1);
    ConvertDIB(*src, *dst);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(dst->Colors[i].rgbBlue, 77);
        EXPECT_EQ(dst->Colors[i].rgbRed, 77);
    }
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(dst->Rows[y][0], 0xFF);
        EXPECT_EQ(dst->Rows[y][1] & 0xE0, 0xE0);  // the three pixels of the partial byte
        EXPECT_EQ(dst->Rows[y][1] & 0x1F, 0);     // padding bits untouched
    }
}

TEST(RasterConvert, TwoColourRules)
{
    // Rule B (24 bpp): entry 0 = first pixel P, entry 1 = first differing Q;
    // only pixels equal to Q are 1, a third colour is 0.
    auto src = makeDibOf(4, 1, 24, {{1, 1, 1}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    auto dst = makeDib(4, 1, 1);
    ConvertDIB(*src, *dst);
    EXPECT_EQ(dst->Colors[0].rgbBlue, 1);
    EXPECT_EQ(dst->Colors[1].rgbBlue, 2);
    EXPECT_EQ(dst->Rows[0][0] >> 4, 0b0010);

    // Rule A (16 bpp): entry 1 = P, entry 0 = Q; pixels equal to P are 1.
    auto src16 = makeDib(4, 1, 16);
    set16(*src16, 0, 0, 0x001F);
    set16(*src16, 0, 1, 0x03E0);
    set16(*src16, 0, 2, 0x001F);
    set16(*src16, 0, 3, 0x7C00);
    auto dst16 = makeDib(4, 1, 1);
    ConvertDIB(*src16, *dst16);
    EXPECT_EQ(dst16->Colors[1].rgbBlue, 255);
    EXPECT_EQ(dst16->Colors[1].rgbGreen, 7);
    EXPECT_EQ(dst16->Colors[0].rgbGreen, 255);
    EXPECT_EQ(dst16->Colors[0].rgbBlue, 7);
    EXPECT_EQ(dst16->Rows[0][0] >> 4, 0b1010);

    // From 32 bpp whole words are compared: the fourth byte tells pixels apart.
    auto src32 = makeDib(3, 1, 32);
    src32->Rows[0][3] = 0;
    src32->Rows[0][7] = 1;
    src32->Rows[0][11] = 0;
    auto dst32 = makeDib(3, 1, 1);
    ConvertDIB(*src32, *dst32);
    EXPECT_EQ(dst32->Rows[0][0] >> 5, 0b010);
}

TEST(RasterConvert, SixteenBitExpansion)
{
    auto src = makeDib(2, 1, 16);
    set16(*src, 0, 0, 0x7FFF);
    set16(*src, 0, 1, 0);
    auto to24 = makeDib(2, 1, 24);
    ConvertDIB(*src, *to24);
    EXPECT_EQ(get24(*to24, 0, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(get24(*to24, 0, 1), (Bgr{7, 7, 7}));
    auto to32 = makeDib(2, 1, 32);
    ConvertDIB(*src, *to32);
    EXPECT_EQ(get24(*to32, 0, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(get24(*to32, 0, 1), (Bgr{0, 0, 0}));  // black stays black

    // 5-6-5 bit fields: green has 6 bits, loss 2.
    auto src565 = makeDib16(1, 1, 5, 6, 5);
    set16(*src565, 0, 0, 0x07E0);
    auto wide = makeDib(1, 1, 24);
    ConvertDIB(*src565, *wide);
    EXPECT_EQ(get24(*wide, 0, 0), (Bgr{7, 255, 7}));
    // and packed back into 5-5-5: green 255 >> 3 = 31
    auto narrow = makeDib(1, 1, 16);
    ConvertDIB(*src565, *narrow);
    EXPECT_EQ(get16(*narrow, 0, 0), 0x03E0);
}

TEST(RasterConvert, TrueColourPairsByRule)
{
    // 24 -> 32 (8-8-8): three bytes written, the fourth left as it was.
    auto src = makeDib(2, 1, 24);
    set24(*src, 0, 0, {1, 2, 3});
    set24(*src, 0, 1, {4, 5, 6});
    auto dst = makeDib(2, 1, 32);
    dst->Rows[0][3] = 0xAA;
    dst->Rows[0][7] = 0xBB;
    ConvertDIB(*src, *dst);
    EXPECT_EQ(get24(*dst, 0, 0), (Bgr{1, 2, 3}));
    EXPECT_EQ(dst->Rows[0][3], 0xAA);
    EXPECT_EQ(dst->Rows[0][7], 0xBB);
    // 32 -> 32 with equal widths copies rows, fourth byte included.
    auto copy = makeDib(2, 1, 32);
    ConvertDIB(*dst, *copy);
    EXPECT_EQ(copy->Rows[0][3], 0xAA);
    // 24 -> 16: bytes packed
    auto packed = makeDib(2, 1, 16);
    ConvertDIB(*src, *packed);
    EXPECT_EQ(get16(*packed, 0, 0), 0);
    set24(*src, 0, 0, {255, 8, 16});
    ConvertDIB(*src, *packed);
    EXPECT_EQ(get16(*packed, 0, 0), (2 << 10) | (1 << 5) | 31);
}

TEST(RasterConvert, PaletteToPaletteRules)
{
    // 8 -> 1: index 0 gives 0, any other 1; two entries copied.
    auto src = makeDib(10, 1, 8);
    for (int x = 0; x < 10; ++x) src->Rows[0][x] = std::uint8_t(x % 3);
    src->Colors[0] = RGBQUAD{10, 20, 30, 0};
    src->Colors[1] = RGBQUAD{40, 50, 60, 0};
    auto one = makeDib(10, 1, 1);
    ConvertDIB(*src, *one);
    EXPECT_EQ(one->Rows[0][0], 0b01101101);
    EXPECT_EQ(one->Rows[0][1] >> 6, 0b10);
    EXPECT_EQ(one->Colors[1].rgbBlue, 40);
    // 1 -> 8: bits become indices 0 and 1, padding bits never read.
    one->Rows[0][1] |= 0x3F;
    auto back = makeDib(10, 1, 8);
    ConvertDIB(*one, *back);
    const std::uint8_t expected[10] = {0, 1, 1, 0, 1, 1, 0, 1, 1, 0};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(back->Rows[0][x], expected[x]) << x;
    // 4 -> 8 keeps nibbles as indices (odd width: last pixel from a high nibble).
    auto four = makeDib(3, 1, 4);
    four->Rows[0][0] = 0xA5;
    four->Rows[0][1] = 0x7F;
    auto eight = makeDib(3, 1, 8);
    ConvertDIB(*four, *eight);
    EXPECT_EQ(eight->Rows[0][0], 0xA);
    EXPECT_EQ(eight->Rows[0][1], 0x5);
    EXPECT_EQ(eight->Rows[0][2], 0x7);
}

TEST(RasterConvert, EightToFourMapsHighIndicesToNearestOfFirstSixteen)
{
    auto src = makeDib(3, 1, 8);
    for (int i = 0; i < 16; ++i) src->Colors[i] = RGBQUAD{std::uint8_t(i * 16), 0, 0, 0};
    src->Colors[200] = RGBQUAD{50, 0, 0, 0};  // nearest is entry 3 (48)
    src->Rows[0][0] = 7;
    src->Rows[0][1] = 200;
    src->Rows[0][2] = 15;
    auto dst = makeDib(3, 1, 4);
    ConvertDIB(*src, *dst);
    EXPECT_EQ(dst->Rows[0][0], 0x73);
    EXPECT_EQ(dst->Rows[0][1] >> 4, 15);
    EXPECT_EQ(dst->Colors[3].rgbBlue, 48);
}

TEST(RasterConvert, ChangeBitCountKeepsObjectAndSign)
{
    auto dib = makeDib(5, -4, 24);
    set24(*dib, 0, 0, {9, 8, 7});
    std::uint8_t* bits = dib->Bits;
    ChangeBitCount(*dib, 24);
    EXPECT_EQ(dib->Bits, bits);  // untouched
    ChangeBitCount(*dib, 7);     // unknown depth: untouched
    EXPECT_EQ(dib->Bits, bits);
    ChangeBitCount(*dib, 32);
    EXPECT_EQ(dib->BitCount(), 32);
    EXPECT_EQ(dib->Header.Height, -4);
    EXPECT_EQ(dib->AbsHeight, 4);
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{9, 8, 7}));
}

TEST(RasterConvert, MismatchedSizesConvertOnlyTheOverlap)
{
    auto src = makeDib(3, 2, 24);
    fillGrey(*src, 200);
    auto wide = makeDib(9, 5, 8);
    ConvertDIB(*src, *wide);
    EXPECT_EQ(wide->Rows[1][2], 0);
    auto small = makeDib(2, 1, 32);
    ConvertDIB(*src, *small);
    EXPECT_EQ(get24(*small, 0, 1), (Bgr{200, 200, 200}));
    // Empty buffers on either side do nothing.
    auto empty = makeDib(0, 0, 24);
    ConvertDIB(*empty, *small);
    ConvertDIB(*src, *empty);
    ChangeBitCount(*empty, 8);
    EXPECT_EQ(empty->AbsHeight, 0);
    EXPECT_EQ(wide->Colors[0].rgbBlue, 200);
}
