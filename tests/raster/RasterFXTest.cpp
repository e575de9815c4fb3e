#include "raster/RasterFX.h"

#include "PixelTestHelpers.h"

#include <cstring>
#include <vector>

using namespace pixeltest;

namespace {

// 256 x 1: pixel x has blue x, green 255 - x, red (x * 7) mod 256.
std::unique_ptr<TRasterDIB> allValues(int bitCount = 24)
{
    auto dib = makeDib(256, 1, bitCount);
    for (int x = 0; x < 256; ++x) set24(*dib, 0, x, {x, 255 - x, (x * 7) % 256});
    return dib;
}

std::unique_ptr<TRasterDIB> greyRow(const std::vector<int>& values, int bitCount = 24)
{
    auto dib = makeDib(int(values.size()), 1, bitCount);
    for (std::size_t x = 0; x < values.size(); ++x) set24(*dib, 0, int(x), {values[x], values[x], values[x]});
    return dib;
}

std::vector<int> channel(const TRasterDIB& dib, int k)
{
    std::vector<int> out;
    for (int x = 0; x < dib.Width(); ++x) out.push_back(get24(dib, 0, x)[k]);
    return out;
}

}  // namespace

TEST(RasterFX, ZeroAmountsLeavePixelsUnchanged)
{
    auto dib = allValues();
    auto original = allValues();
    ApplyBrightness(*dib, 0, 0, 0);
    expectSamePixels(*dib, *original);
    ApplyContrast(*dib, 0, 0, 0);
    expectSamePixels(*dib, *original);
    ApplyGamma(*dib, 1.0, 1.0, 1.0);
    expectSamePixels(*dib, *original);
}

TEST(RasterFX, BrightnessExtremes)
{
    auto dib = allValues();
    ApplyBrightness(*dib, 255, 255, 300);  // above 255 counts as 255
    for (int x = 0; x < 256; ++x) ASSERT_EQ(get24(*dib, 0, x), (Bgr{255, 255, 255}));
    dib = allValues();
    ApplyBrightness(*dib, -255, -255, -1000);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(get24(*dib, 0, x), (Bgr{0, 0, 0}));
    // Per channel: only red brightened by 100 (ramp from 100 to 255).
    dib = allValues();
    ApplyBrightness(*dib, 100, 0, 0);
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{0, 255, 100}));
    EXPECT_EQ(BrightnessTable(100)[255], 255);
    EXPECT_EQ(BrightnessTable(-55)[255], 200);
}

TEST(RasterFX, ContrastTables)
{
    const auto ten = ContrastTable(10);
    for (int i = 0; i <= 9; ++i) EXPECT_EQ(ten[i], 0) << i;
    for (int i = 246; i <= 255; ++i) EXPECT_EQ(ten[i], 255) << i;
    EXPECT_EQ(ten[10], 0);
    EXPECT_EQ(ten[128], 128);
    const auto flat = ContrastTable(-128);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(flat[i], 128) << i;
    const auto hard = ContrastTable(128);
    EXPECT_EQ(hard[127], 0);
    EXPECT_EQ(hard[128], 255);
    const auto harder = ContrastTable(200);
    EXPECT_EQ(harder[55], 0);
    EXPECT_EQ(harder[56], 255);
    EXPECT_EQ(ContrastTable(-300), ContrastTable(-255));  // below -255 counts as -255

    auto dib = allValues();
    ApplyContrast(*dib, 10, 10, 10);
    EXPECT_EQ(get24(*dib, 0, 9)[0], 0);
    EXPECT_EQ(get24(*dib, 0, 246)[0], 255);
}

TEST(RasterFX, RampRules)
{
    TChannelTable t{};
    FillRamp(t, 5, 5, 0, 255);  // n = 0: nothing
    FillRamp(t, 9, 3, 0, 255);  // n < 0: nothing
    EXPECT_EQ(t, TChannelTable{});
    FillRamp(t, 0, 1, 0, 255);  // the end reaches 256, stored as 255
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 255);
}

TEST(RasterFX, Gamma)
{
    const auto two = GammaTable(2.0);
    EXPECT_EQ(two[64], 128);
    EXPECT_EQ(two[0], 0);
    EXPECT_EQ(two[255], 255);
    const auto one = GammaTable(1.0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(one[i], i);
    // 0 or less builds no curve: the channel stays.
    auto dib = allValues();
    auto original = allValues();
    ApplyGamma(*dib, 0.0, -1.0, 1.0);
    expectSamePixels(*dib, *original);
    ApplyGamma(*dib, 2.0, 1.0, 1.0);
    EXPECT_EQ(get24(*dib, 0, 64)[0], 64);
    EXPECT_EQ(get24(*dib, 0, 64)[2], two[(64 * 7) % 256]);
}

TEST(RasterFX, NormalizeLevels)
{
    auto dib = allValues();
    auto original = allValues();
    NormalizeLevels(*dib);  // already 0..255 everywhere
    expectSamePixels(*dib, *original);

    auto narrow = greyRow({50, 100, 150});
    set24(*narrow, 0, 0, {50, 50, 77});
    set24(*narrow, 0, 1, {100, 100, 77});
    set24(*narrow, 0, 2, {150, 150, 77});
    NormalizeLevels(*narrow);
    EXPECT_EQ(channel(*narrow, 0), (std::vector<int>{0, 127, 255}));
    EXPECT_EQ(channel(*narrow, 1), (std::vector<int>{0, 127, 255}));
    // A flat channel has no range: it keeps its value.
    EXPECT_EQ(channel(*narrow, 2), (std::vector<int>{77, 77, 77}));

    // Palette depths stretch the palette entries.
    auto pal = makeDib(2, 1, 1);
    pal->Colors[0] = RGBQUAD{10, 10, 10, 0};
    pal->Colors[1] = RGBQUAD{20, 20, 20, 0};
    NormalizeLevels(*pal);
    EXPECT_EQ(pal->Colors[0].rgbBlue, 0);
    EXPECT_EQ(pal->Colors[1].rgbBlue, 255);
}

TEST(RasterFX, Saturation)
{
    auto dib = makeDib(2, 1, 24);
    set24(*dib, 0, 0, {10, 20, 60});
    set24(*dib, 0, 1, {255, 255, 250});
    ApplySaturation(*dib, 0);
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{31, 31, 31}));     // mean 30 plus 1
    EXPECT_EQ(get24(*dib, 0, 1), (Bgr{254, 254, 254}));  // 760 div 3 + 1

    set24(*dib, 0, 0, {10, 20, 60});
    set24(*dib, 0, 1, {255, 0, 100});
    ApplySaturation(*dib, 256);
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{11, 21, 61}));
    EXPECT_EQ(get24(*dib, 0, 1), (Bgr{255, 1, 101}));  // clamped

    set24(*dib, 0, 0, {10, 20, 60});
    ApplySaturation(*dib, 512);  // G = m - 2m = -31, W = 2 (v + 1)
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{0, 11, 91}));
    set24(*dib, 0, 0, {10, 20, 60});
    ApplySaturation(*dib, -40);  // negative counts as 0
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{31, 31, 31}));
}

TEST(RasterFX, InvertTwiceRestoresAndCoversPadding)
{
    auto dib = makeDib(3, 2, 24);  // stride 12, gap 3
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 12; ++i) dib->Rows[y][i] = std::uint8_t(y * 12 + i);
    InvertColors(*dib);
    EXPECT_EQ(dib->Rows[0][0], 0xFF);
    EXPECT_EQ(dib->Rows[1][11], std::uint8_t(~23));
    InvertColors(*dib);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 12; ++i) ASSERT_EQ(dib->Rows[y][i], y * 12 + i);
    // Palette depths complement the indices, not the palette.
    auto pal = makeDib(2, 1, 8);
    pal->Rows[0][0] = 3;
    pal->Colors[3].rgbRed = 9;
    InvertColors(*pal);
    EXPECT_EQ(pal->Rows[0][0], 252);
    EXPECT_EQ(pal->Colors[3].rgbRed, 9);
}

TEST(RasterFX, BlurFeedsItsOutputForward)
{
    auto dib = greyRow({0, 0, 255, 0, 0, 0});
    BlurHorizontal(*dib);
    EXPECT_EQ(channel(*dib, 0), (std::vector<int>{0, 127, 63, 31, 15, 7}));
    EXPECT_EQ(channel(*dib, 2), (std::vector<int>{0, 127, 63, 31, 15, 7}));
    auto first = greyRow({200, 100});
    BlurHorizontal(*first);
    EXPECT_EQ(channel(*first, 1), (std::vector<int>{150, 125}));
}

TEST(RasterFX, SharpenKeepsFlatAreasFlat)
{
    auto flat = greyRow({100, 100, 100, 100, 100, 100, 100});
    SharpenHorizontal(*flat);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(channel(*flat, c), std::vector<int>(7, 100));
    // A ramp has no edge to sharpen: inner pixels keep their values.
    auto ramp = greyRow({10, 20, 30, 40});
    SharpenHorizontal(*ramp);
    EXPECT_EQ(channel(*ramp, 0), (std::vector<int>{0, 20, 30, 50}));
    auto flatEight = makeDib(5, 1, 8);
    for (int x = 0; x < 5; ++x) flatEight->Rows[0][x] = 7;
    SharpenHorizontal(*flatEight);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(flatEight->Rows[0][x], 7);
}

TEST(RasterFX, SharpenOvershootsBothSidesOfAnEdge)
{
    // 3 x own - left - right on the old values: 3*100-100-150 = 50 and
    // 3*150-100-150 = 200, the flat parts unchanged.
    auto edge = greyRow({100, 100, 100, 150, 150, 150});
    SharpenHorizontal(*edge);
    EXPECT_EQ(channel(*edge, 1), (std::vector<int>{100, 100, 50, 200, 150, 150}));
    // Clamped at both ends of the range.
    auto hard = greyRow({0, 0, 255, 255});
    SharpenHorizontal(*hard);
    EXPECT_EQ(channel(*hard, 2), (std::vector<int>{0, 0, 255, 255}));
    auto spike = greyRow({50, 50, 200, 50, 50});
    SharpenHorizontal(*spike);
    EXPECT_EQ(channel(*spike, 0), (std::vector<int>{50, 0, 255, 0, 50}));
    // Row ends: 2 x own - neighbour.
    auto ends = greyRow({100, 60, 60, 20});
    SharpenHorizontal(*ends);
    EXPECT_EQ(channel(*ends, 0), (std::vector<int>{140, 20, 100, 0}));
    // 8 bpp works on the index bytes.
    auto eight = makeDib(4, 1, 8);
    const std::uint8_t indices[4] = {10, 10, 30, 30};
    std::memcpy(eight->Rows[0], indices, 4);
    SharpenHorizontal(*eight);
    EXPECT_EQ((std::vector<int>{eight->Rows[0][0], eight->Rows[0][1], eight->Rows[0][2], eight->Rows[0][3]}),
              (std::vector<int>{10, 0, 50, 30}));
    // 32 bpp: each channel on its own, the fourth byte untouched.
    auto wide = makeDib(3, 1, 32);
    set24(*wide, 0, 0, {40, 90, 200});
    set24(*wide, 0, 1, {40, 90, 100});
    set24(*wide, 0, 2, {40, 60, 100});
    for (int x = 0; x < 3; ++x) wide->Rows[0][4 * x + 3] = std::uint8_t(0x70 + x);
    SharpenHorizontal(*wide);
    EXPECT_EQ(get24(*wide, 0, 0), (Bgr{40, 90, 255}));
    EXPECT_EQ(get24(*wide, 0, 1), (Bgr{40, 120, 0}));
    EXPECT_EQ(get24(*wide, 0, 2), (Bgr{40, 30, 100}));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(wide->Rows[0][4 * x + 3], 0x70 + x);
}

TEST(RasterFX, FiltersLeaveNarrowRowsAndOtherDepthsAlone)
{
    for (auto filter : {&BlurHorizontal, &SharpenHorizontal}) {
        auto one = greyRow({90});
        filter(*one);
        EXPECT_EQ(get24(*one, 0, 0), (Bgr{90, 90, 90}));
        auto sixteen = makeDib(3, 1, 16);
        set16(*sixteen, 0, 1, 0x7FFF);
        filter(*sixteen);
        EXPECT_EQ(get16(*sixteen, 0, 0), 0);
        auto empty = makeDib(0, 0, 24);
        filter(*empty);
    }
}

TEST(RasterFX, ThirtyTwoBitFourthByteUntouched)
{
    auto dib = makeDib(2, 1, 32);
    dib->Rows[0][3] = 0x42;
    dib->Rows[0][7] = 0x43;
    ApplyBrightness(*dib, 255, 255, 255);
    BlurHorizontal(*dib);
    ApplySaturation(*dib, 100);
    EXPECT_EQ(get24(*dib, 0, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(dib->Rows[0][3], 0x42);
    EXPECT_EQ(dib->Rows[0][7], 0x43);
}

TEST(RasterFX, SixteenBitGoesThroughPackedTable)
{
    auto dib = makeDib(3, 1, 16);
    set16(*dib, 0, 0, 0x0000);
    set16(*dib, 0, 1, 0x8000 | (10 << 10) | (20 << 5) | 30);  // bit 15 outside the fields
    set16(*dib, 0, 2, 0x7FFF);
    ApplyBrightness(*dib, 255, 0, 0);
    EXPECT_EQ(get16(*dib, 0, 0), 31 << 10);
    EXPECT_EQ(get16(*dib, 0, 1), 0x8000 | (31 << 10) | (20 << 5) | 30);
    EXPECT_EQ(get16(*dib, 0, 2), 0x7FFF);
    // Fields expand by bit replication (10 -> 82), pass the table and pack back.
    set16(*dib, 0, 0, 10 << 10);
    const auto half = GammaTable(0.5);
    ApplyGamma(*dib, 0.5, 1.0, 1.0);
    EXPECT_EQ(get16(*dib, 0, 0), (half[82] >> 3) << 10);
    // Inverting complements the whole word.
    InvertColors(*dib);
    EXPECT_EQ(get16(*dib, 0, 2), 0x8000);
}

TEST(RasterFX, PaletteEffectsChangeEntriesNotIndices)
{
    auto dib = makeDib(2, 1, 4);
    dib->Rows[0][0] = 0x12;
    dib->Colors[1] = RGBQUAD{10, 20, 30, 0};
    dib->Colors[15] = RGBQUAD{1, 1, 1, 0};
    dib->Colors[16] = RGBQUAD{5, 5, 5, 0};  // past the 16 entries a 4-bpp buffer uses
    ApplyBrightness(*dib, -255, -255, -255);
    EXPECT_EQ(dib->Colors[1].rgbRed, 0);
    EXPECT_EQ(dib->Colors[15].rgbRed, 0);
    EXPECT_EQ(dib->Colors[16].rgbRed, 5);
    EXPECT_EQ(dib->Rows[0][0], 0x12);
}
