// Blending, mirroring, flipping and rotation.

#include "raster/RasterFX.h"

#include "PixelTestHelpers.h"

#include <cmath>
#include <cstring>
#include <vector>

using namespace pixeltest;

namespace {

constexpr std::uint32_t kSilver = 12632256;   // 0xC0C0C0
constexpr std::uint32_t kNoKey = 0xFF000000;  // a key no pixel colour can equal

std::unique_ptr<TRasterDIB> oneRow(const std::vector<Bgr>& pixels, int bitCount = 24)
{
    auto dib = makeDib(int(pixels.size()), 1, bitCount);
    for (std::size_t x = 0; x < pixels.size(); ++x) set24(*dib, 0, int(x), pixels[x]);
    return dib;
}

// Distinct bytes per pixel so any misplaced pixel shows.
std::unique_ptr<TRasterDIB> numbered(int width, int height, int bitCount)
{
    auto dib = makeDib(width, height, bitCount);
    const int bytes = bitCount / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < bytes; ++k) dib->Rows[y][x * bytes + k] = std::uint8_t(y * 32 + x * 5 + k + 1);
    return dib;
}

const std::uint8_t* pixelAt(const TRasterDIB& dib, int row, int x) { return dib.Rows[row] + x * (dib.BitCount() / 8); }

}  // namespace

TEST(BlendDIBs, WeightsAtTwentyFourBits)
{
    auto s1 = oneRow({{100, 51, 0}, {255, 0, 10}});
    auto s2 = oneRow({{51, 100, 255}, {0, 255, 10}});
    auto dst = makeDib(2, 1, 24);
    BlendDIBs(*dst, *s1, *s2, 64, kNoKey, kNoKey, kNoKey);
    // s2 + (s1 - s2) / 2 rounded down (towards minus infinity).
    EXPECT_EQ(get24(*dst, 0, 0), (Bgr{75, 75, 127}));
    EXPECT_EQ(get24(*dst, 0, 1), (Bgr{127, 127, 10}));
    BlendDIBs(*dst, *s1, *s2, 0, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(get24(*dst, 0, 0), (Bgr{51, 100, 255}));
    BlendDIBs(*dst, *s1, *s2, 128, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(get24(*dst, 0, 0), (Bgr{100, 51, 0}));
    BlendDIBs(*dst, *s1, *s2, 32, kNoKey, kNoKey, kNoKey);  // a quarter of the way
    EXPECT_EQ(get24(*dst, 0, 1), (Bgr{63, 191, 10}));
}

TEST(BlendDIBs, KeysChooseASource)
{
    // src2 pixels: silver, the second keep key, the show key, a colour that is
    // both keep key and show key, and an unkeyed one.
    const Bgr silver{192, 192, 192};
    const Bgr red{0, 0, 255};       // GDI 0x0000FF
    const Bgr blueish{200, 10, 5};  // GDI 0xC80A05
    auto s1 = oneRow({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {100, 100, 100}});
    auto s2 = oneRow({silver, red, blueish, silver, {50, 50, 50}});
    auto dst = makeDib(5, 1, 24);
    BlendDIBs(*dst, *s1, *s2, 64, kSilver, 0x0000FF, 0xC80A05);
    EXPECT_EQ(get24(*dst, 0, 0), (Bgr{1, 2, 3}));
    EXPECT_EQ(get24(*dst, 0, 1), (Bgr{4, 5, 6}));
    EXPECT_EQ(get24(*dst, 0, 2), blueish);
    EXPECT_EQ(get24(*dst, 0, 4), (Bgr{75, 75, 75}));
    // The show key wins over a keep key.
    BlendDIBs(*dst, *s1, *s2, 64, kSilver, kNoKey, kSilver);
    EXPECT_EQ(get24(*dst, 0, 0), silver);
    EXPECT_EQ(get24(*dst, 0, 3), silver);
}

TEST(BlendDIBs, DestinationMayBeASource)
{
    auto base = oneRow({{100, 100, 100}, {20, 20, 20}});
    auto overlay = oneRow({{192, 192, 192}, {60, 60, 60}});
    BlendDIBs(*base, *base, *overlay, 64, kSilver, kNoKey, kNoKey);
    EXPECT_EQ(get24(*base, 0, 0), (Bgr{100, 100, 100}));
    EXPECT_EQ(get24(*base, 0, 1), (Bgr{40, 40, 40}));
}

TEST(BlendDIBs, EightAndThirtyTwoBits)
{
    // 8 bpp: keys through src2's palette, the index blended.
    auto s1 = makeDib(3, 1, 8);
    auto s2 = makeDib(3, 1, 8);
    s2->Colors[7] = RGBQUAD{192, 192, 192, 0};
    s1->Rows[0][0] = 200;
    s1->Rows[0][1] = 200;
    s1->Rows[0][2] = 9;
    s2->Rows[0][0] = 7;
    s2->Rows[0][1] = 100;
    s2->Rows[0][2] = 7;
    auto dst = makeDib(3, 1, 8);
    BlendDIBs(*dst, *s1, *s2, 64, kSilver, kNoKey, kNoKey);
    EXPECT_EQ(dst->Rows[0][0], 200);
    EXPECT_EQ(dst->Rows[0][1], 150);
    EXPECT_EQ(dst->Rows[0][2], 9);

    // 32 bpp: four bytes per pixel, the fourth of dst untouched.
    auto a = makeDibOf(2, 1, 32, {{100, 100, 100}, {100, 100, 100}});
    auto b = makeDibOf(2, 1, 32, {{0, 0, 0}, {192, 192, 192}});
    auto out = makeDib(2, 1, 32);
    out->Rows[0][3] = 0x77;
    BlendDIBs(*out, *a, *b, 64, kSilver, kNoKey, kNoKey);
    EXPECT_EQ(get24(*out, 0, 0), (Bgr{50, 50, 50}));
    EXPECT_EQ(get24(*out, 0, 1), (Bgr{100, 100, 100}));
    EXPECT_EQ(out->Rows[0][3], 0x77);
}

TEST(BlendDIBs, SixteenBitsIgnoreKeys)
{
    auto a = makeDib(3, 1, 16);
    auto b = makeDib(3, 1, 16);
    set16(*a, 0, 0, (20 << 10) | (10 << 5) | 31);
    set16(*b, 0, 0, (10 << 10) | (20 << 5) | 0);
    set16(*a, 0, 1, 0x7FFF);
    set16(*b, 0, 1, 0x6318);  // 24,24,24 = silver packed: no key at 16 bpp
    auto dst = makeDib(3, 1, 16);
    BlendDIBs(*dst, *a, *b, 128, 0x00C6C6C6, kNoKey, kNoKey);
    // Halfway, differences rounded towards minus infinity.
    EXPECT_EQ(get16(*dst, 0, 0), (15 << 10) | (15 << 5) | 15);
    EXPECT_EQ(get16(*dst, 0, 1), (27 << 10) | (27 << 5) | 27);
    BlendDIBs(*dst, *a, *b, 256, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(get16(*dst, 0, 0), get16(*a, 0, 0));
    BlendDIBs(*dst, *a, *b, 0, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(get16(*dst, 0, 1), 0x6318);
}

TEST(BlendDIBs, MismatchedBuffersBlendOnlyTheShared)
{
    auto s1 = makeDib(4, 3, 24);
    auto s2 = makeDib(2, 5, 24);
    fillGrey(*s1, 100);
    fillGrey(*s2, 0);
    auto dst = makeDib(3, 3, 24);
    BlendDIBs(*dst, *s1, *s2, 64, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(get24(*dst, 2, 1), (Bgr{50, 50, 50}));
    EXPECT_EQ(get24(*dst, 2, 2), (Bgr{0, 0, 0}));
    auto other = makeDib(3, 3, 32);
    BlendDIBs(*other, *s1, *s2, 64, kNoKey, kNoKey, kNoKey);  // depths differ: nothing
    EXPECT_EQ(get24(*other, 0, 0), (Bgr{0, 0, 0}));
}

TEST(MirrorHorizontal, EveryDepthAndWidth)
{
    for (const int bitCount : {8, 16, 24, 32}) {
        for (const int width : {1, 4, 5}) {
            auto dib = numbered(width, 2, bitCount);
            auto original = numbered(width, 2, bitCount);
            MirrorHorizontal(*dib);
            const int bytes = bitCount / 8;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(0, std::memcmp(pixelAt(*dib, y, x), pixelAt(*original, y, width - 1 - x), bytes));
            MirrorHorizontal(*dib);
            expectSamePixels(*dib, *original);
        }
    }
}

TEST(MirrorHorizontal, OneAndFourBitsMirrorExactlyAtAnyWidth)
{
    auto one = makeDib(16, 1, 1);
    one->Rows[0][0] = 0b10000011;
    one->Rows[0][1] = 0b01000000;
    MirrorHorizontal(*one);
    EXPECT_EQ(one->Rows[0][0], 0b00000010);
    EXPECT_EQ(one->Rows[0][1], 0b11000001);
    // Width 5: pixels 10110 become 01101; the padding bits stay.
    auto five = makeDib(5, 1, 1);
    five->Rows[0][0] = 0b10110'101;
    MirrorHorizontal(*five);
    EXPECT_EQ(five->Rows[0][0], 0b01101'101);
    auto three = makeDib(3, 1, 4);
    three->Rows[0][0] = 0x12;
    three->Rows[0][1] = 0x3F;
    MirrorHorizontal(*three);
    EXPECT_EQ(three->Rows[0][0], 0x32);
    EXPECT_EQ(three->Rows[0][1], 0x1F);
    auto single = makeDib(1, 1, 4);
    single->Rows[0][0] = 0xA5;
    MirrorHorizontal(*single);
    EXPECT_EQ(single->Rows[0][0], 0xA5);
}

TEST(FlipVertical, ReversesRowsKeepsPadding)
{
    auto dib = numbered(3, 3, 24);  // stride 12, gap 3
    for (int y = 0; y < 3; ++y) dib->Rows[y][9] = std::uint8_t(0xE0 + y);
    FlipVertical(*dib);
    auto original = numbered(3, 3, 24);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(0, std::memcmp(dib->Rows[y], original->Rows[2 - y], 9)) << y;
        EXPECT_EQ(dib->Rows[y][9], 0xE0 + y);
    }
    auto single = numbered(4, 1, 8);
    FlipVertical(*single);
    EXPECT_EQ(single->Rows[0][2], 11);
    auto twoRows = makeDib(9, 2, 1);
    twoRows->Rows[0][0] = 0xAA;
    twoRows->Rows[0][1] = 0x80;
    FlipVertical(*twoRows);
    EXPECT_EQ(twoRows->Rows[1][0], 0xAA);
    EXPECT_EQ(twoRows->Rows[1][1], 0x80);
    EXPECT_EQ(twoRows->Rows[0][0], 0);
}

TEST(SizeForRotation, BoundingSizes)
{
    auto src = makeDib(100, 50, 24);
    auto dst = makeDib(1, 1, 24);
    SizeForRotation(*src, *dst, 90);
    EXPECT_EQ(dst->Width(), 50);
    EXPECT_EQ(dst->Header.Height, 100);
    SizeForRotation(*src, *dst, -90);
    EXPECT_EQ(dst->Width(), 50);
    SizeForRotation(*src, *dst, 0);
    EXPECT_EQ(dst->Width(), 100);
    EXPECT_EQ(dst->Header.Height, 50);
    auto square = makeDib(100, 100, 24);
    SizeForRotation(*square, *dst, 45);
    EXPECT_EQ(dst->Width(), 142);
    EXPECT_EQ(dst->AbsHeight, 142);
    // Bit count and palette come from the source; the height is positive.
    auto pal = makeDib(10, -20, 8);
    pal->Colors[3] = RGBQUAD{1, 2, 3, 0};
    SizeForRotation(*pal, *dst, 30);
    EXPECT_EQ(dst->BitCount(), 8);
    EXPECT_EQ(dst->Colors[3].rgbRed, 3);
    EXPECT_EQ(dst->Width(), 19);        // 10 + 8.66 + 0.4
    EXPECT_EQ(dst->Header.Height, 23);  // 17.32 + 5 + 0.4
}

TEST(RotateDIB, ZeroDegreesCopies)
{
    for (const int bitCount : {8, 16, 24, 32})
        for (const bool smooth : {false, true})
            for (const int height : {4, -4}) {
                auto src = numbered(6, height, bitCount);
                auto dst = makeDib(6, height, bitCount);
                RotateDIB(*src, *dst, smooth, 0);
                if (bitCount == 32 && smooth) {
                    // Bilinear sampling leaves the fourth byte of dst as it was.
                    for (int y = 0; y < 4; ++y)
                        for (int x = 0; x < 6; ++x) {
                            ASSERT_EQ(get24(*dst, y, x), get24(*src, y, x));
                            ASSERT_EQ(dst->Rows[y][4 * x + 3], 0);
                        }
                } else {
                    expectSamePixels(*dst, *src);
                }
            }
}

// With odd sides the centres fall on pixels and quarter turns are exact
// permutations (memory rows: a positive angle turns row 0 towards column 0).
TEST(RotateDIB, QuarterTurnsExact)
{
    for (const bool smooth : {false, true}) {
        auto src = numbered(5, 3, 24);
        auto r90 = makeDib(1, 1, 24);
        SizeForRotation(*src, *r90, 90);
        ASSERT_EQ(r90->Width(), 3);
        ASSERT_EQ(r90->AbsHeight, 5);
        RotateDIB(*src, *r90, smooth, 90);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x) ASSERT_EQ(get24(*r90, y, x), get24(*src, x, 4 - y)) << smooth;

        auto r180 = makeDib(5, 3, 24);
        RotateDIB(*src, *r180, smooth, 180);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) ASSERT_EQ(get24(*r180, y, x), get24(*src, 2 - y, 4 - x));

        auto r270 = makeDib(3, 5, 24);
        RotateDIB(*src, *r270, smooth, 270);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x) ASSERT_EQ(get24(*r270, y, x), get24(*src, 2 - x, y));

        // 90 then 270 gives the picture back.
        auto back = makeDib(5, 3, 24);
        RotateDIB(*r90, *back, smooth, 270);
        expectSamePixels(*back, *src);
    }
}

// Quarter turns are exact permutations whatever the parity of the sides:
// every destination pixel comes from one source pixel, none keeps the fill.
// Memory rows: a positive angle turns row 0 towards column 0.
TEST(RotateDIB, QuarterTurnsCoverEveryPixelForEvenAndOddSides)
{
    const int sizes[][2] = {{4, 4}, {6, 4}, {4, 6}, {5, 3}, {3, 5}, {6, 3}, {1, 4}, {2, 1}, {1, 1}};
    for (const int bitCount : {8, 24, 32})
        for (const bool smooth : {false, true})
            for (const auto& size : sizes)
                for (const int angle : {90, 180, 270, -90, -270, 450}) {
                    const int w = size[0], h = size[1];
                    const int bytes = bitCount / 8;
                    auto src = numbered(w, h, bitCount);
                    auto dst = makeDib(1, 1, bitCount);
                    SizeForRotation(*src, *dst, angle);
                    const int turn = ((angle % 360) + 360) % 360;
                    const int dw = dst->Width(), dh = dst->AbsHeight;
                    ASSERT_EQ(dw, turn == 180 ? w : h);
                    ASSERT_EQ(dh, turn == 180 ? h : w);
                    for (int y = 0; y < dh; ++y) std::memset(dst->Rows[y], 0xEE, std::size_t(dw) * bytes);
                    RotateDIB(*src, *dst, smooth, angle);
                    for (int y = 0; y < dh; ++y)
                        for (int x = 0; x < dw; ++x) {
                            int sy = 0, sx = 0;
                            if (turn == 90) {
                                sy = x;
                                sx = w - 1 - y;
                            } else if (turn == 180) {
                                sy = h - 1 - y;
                                sx = w - 1 - x;
                            } else {
                                sy = h - 1 - x;
                                sx = y;
                            }
                            // Smooth sampling leaves the fourth byte of a 32-bit pixel.
                            const int compared = (bitCount == 32 && smooth) ? 3 : bytes;
                            ASSERT_EQ(std::memcmp(pixelAt(*dst, y, x), pixelAt(*src, sy, sx), std::size_t(compared)), 0)
                                << bitCount << " bpp, smooth " << smooth << ", " << w << "x" << h << ", angle " << angle
                                << ", at " << y << "," << x;
                        }
                }
}

// A full turn and no turn copy the picture, even sides included.
TEST(RotateDIB, FullTurnsCopyEvenSides)
{
    for (const bool smooth : {false, true})
        for (const int angle : {0, 360, -360}) {
            auto src = numbered(4, 6, 24);
            auto dst = makeDib(4, 6, 24);
            RotateDIB(*src, *dst, smooth, angle);
            expectSamePixels(*dst, *src);
        }
}

TEST(RotateDIB, ArbitraryAngleKeepsUncoveredPixels)
{
    auto src = makeDib(9, 9, 24);
    fillGrey(*src, 200);
    auto dst = makeDib(1, 1, 24);
    SizeForRotation(*src, *dst, 30);
    ASSERT_EQ(dst->Width(), 13);
    for (int y = 0; y < dst->AbsHeight; ++y)
        for (int x = 0; x < dst->Width(); ++x) set24(*dst, y, x, {0, 0, 255});
    RotateDIB(*src, *dst, true, 30);
    EXPECT_EQ(get24(*dst, 6, 6), (Bgr{200, 200, 200}));
    EXPECT_EQ(get24(*dst, 0, 0), (Bgr{0, 0, 255}));
    EXPECT_EQ(get24(*dst, 12, 12), (Bgr{0, 0, 255}));
    // Along the edge the turned picture blends into what dst holds.
    bool blended = false;
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            const Bgr p = get24(*dst, y, x);
            blended = blended || (p[0] > 0 && p[0] < 200 && p[2] > 200);
        }
    EXPECT_TRUE(blended);
}

TEST(RotateDIB, SixteenBitsAndEdgeCases)
{
    auto src = makeDib(3, 3, 16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) set16(*src, y, x, 0x7FFF);
    auto dst = makeDib(3, 3, 16);
    RotateDIB(*src, *dst, true, 90);
    EXPECT_EQ(get16(*dst, 1, 1), 0x7FFF);

    // A one-pixel source and an empty one read nothing outside the source.
    auto dot = makeDib(1, 1, 24);
    set24(*dot, 0, 0, {9, 9, 9});
    auto target = makeDib(3, 3, 24);
    RotateDIB(*dot, *target, true, 45);
    RotateDIB(*dot, *target, false, 45);
    EXPECT_EQ(get24(*target, 1, 1), (Bgr{9, 9, 9}));
    auto empty = makeDib(0, 0, 24);
    RotateDIB(*empty, *target, true, 10);
    RotateDIB(*target, *empty, true, 10);
    EXPECT_EQ(get24(*target, 1, 1), (Bgr{9, 9, 9}));
    // Depths must match; the same buffer on both sides does nothing.
    auto other = makeDib(3, 3, 32);
    RotateDIB(*target, *other, false, 0);
    EXPECT_EQ(get24(*other, 1, 1), (Bgr{0, 0, 0}));
    RotateDIB(*target, *target, false, 90);
    EXPECT_EQ(get24(*target, 1, 1), (Bgr{9, 9, 9}));
}

// Offsets of 32,767 pixels times 65,536 pass 2^31: the source positions are
// kept in 64 bits.
TEST(RotateDIB, LongestSideHalfTurn)
{
    const int n = 65535;
    auto src = makeDib(n, 1, 8);
    for (int x = 0; x < n; ++x) src->Rows[0][x] = std::uint8_t(x * 7);
    auto dst = makeDib(n, 1, 8);
    RotateDIB(*src, *dst, false, 180);
    for (int x = 0; x < n; ++x) ASSERT_EQ(dst->Rows[0][x], std::uint8_t((n - 1 - x) * 7)) << x;
    auto smooth = makeDib(n, 1, 8);
    RotateDIB(*src, *smooth, true, 180);
    EXPECT_EQ(smooth->Rows[0][0], src->Rows[0][n - 1]);
    EXPECT_EQ(smooth->Rows[0][n - 1], src->Rows[0][0]);
}

TEST(RotateDIB, NonFiniteAnglesDoNothing)
{
    auto src = numbered(3, 3, 24);
    auto dst = makeDib(3, 3, 24);
    RotateDIB(*src, *dst, true, std::nan(""));
    RotateDIB(*src, *dst, false, INFINITY);
    EXPECT_EQ(get24(*dst, 1, 1), (Bgr{0, 0, 0}));
    SizeForRotation(*src, *dst, std::nan(""));
    EXPECT_EQ(dst->Width(), 3);
}
