#include "raster/RasterSize.h"

#include "PixelTestHelpers.h"

#include <cmath>
#include <cstring>
#include <vector>

using namespace pixeltest;

namespace {

std::unique_ptr<TRasterDIB> greyRow24(const std::vector<int>& values)
{
    auto dib = makeDib(int(values.size()), 1, 24);
    for (std::size_t x = 0; x < values.size(); ++x) set24(*dib, 0, int(x), {values[x], values[x], values[x]});
    return dib;
}

std::vector<int> blueRow(const TRasterDIB& dib, int row)
{
    std::vector<int> out;
    for (int x = 0; x < dib.Width(); ++x) out.push_back(get24(dib, row, x)[0]);
    return out;
}

}  // namespace

TEST(ResizeNearest, HalvingTakesEverySecondPixelDoublingRepeats)
{
    auto src = makeDib(8, 4, 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) set24(*src, y, x, {x, y, 9});
    auto half = makeDib(4, 2, 24);
    ResizeNearest(*src, *half);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(get24(*half, y, x), (Bgr{2 * x, 2 * y, 9}));
    auto twice = makeDib(16, 8, 24);
    ResizeNearest(*src, *twice);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(get24(*twice, y, x), (Bgr{x / 2, y / 2, 9}));
}

TEST(ResizeNearest, EveryDepthCopiesWholePixels)
{
    for (const int bitCount : {8, 16, 32}) {
        auto src = makeDib(3, 1, bitCount);
        const int bytes = bitCount / 8;
        for (int i = 0; i < 3 * bytes; ++i) src->Rows[0][i] = std::uint8_t(i + 1);
        auto dst = makeDib(6, 2, bitCount);
        ResizeNearest(*src, *dst);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 6; ++x)
                for (int k = 0; k < bytes; ++k)
                    EXPECT_EQ(dst->Rows[y][x * bytes + k], (x / 2) * bytes + k + 1) << bitCount;
    }
}

TEST(ResizeBilinear, HandComputedRow)
{
    // step = 2/4 pixel; one source row, so the bottom weight is 1 on the same row.
    auto src = greyRow24({0, 100, 200});
    auto dst = makeDib(4, 1, 24);
    ResizeBilinear(*src, *dst);
    EXPECT_EQ(blueRow(*dst, 0), (std::vector<int>{0, 50, 100, 150}));
}

TEST(ResizeBilinear, SameSizeDoesNotReproduceTheSource)
{
    auto src = greyRow24({0, 60, 120, 180});
    auto dst = makeDib(4, 1, 24);
    ResizeBilinear(*src, *dst);
    EXPECT_EQ(blueRow(*dst, 0), (std::vector<int>{0, 45, 90, 135}));
}

TEST(ResizeBilinear, HandComputedTwoByTwo)
{
    auto src = makeDibOf(2, 2, 24, {{0, 0, 0}, {100, 100, 100}, {200, 200, 200}, {255, 255, 255}});
    auto dst = makeDib(2, 2, 24);
    ResizeBilinear(*src, *dst);
    // Row 0: T 65536, B 1. Row 1: fy 32768, T 32768, B 32769.
    EXPECT_EQ(blueRow(*dst, 0), (std::vector<int>{0, 50}));
    EXPECT_EQ(blueRow(*dst, 1), (std::vector<int>{100, 138}));
}

TEST(ResizeBilinear, UniformStaysUniform)
{
    for (const int bitCount : {8, 16, 24, 32}) {
        auto src = makeDib(7, 5, bitCount);
        const int bytes = bitCount / 8;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7 * bytes; ++x) src->Rows[y][x] = 0xFF;
        if (bitCount == 16)
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x) set16(*src, y, x, 0x7FFF);
        auto dst = makeDib(19, 3, bitCount);
        ResizeBilinear(*src, *dst);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 19; ++x) {
                if (bitCount == 16) {
                    ASSERT_EQ(get16(*dst, y, x), 0x7FFF);
                } else {
                    const int channels = bitCount == 8 ? 1 : 3;
                    for (int k = 0; k < channels; ++k) ASSERT_EQ(dst->Rows[y][x * bytes + k], 255) << bitCount;
                }
            }
    }
}

TEST(ResizeBilinear, DepthSpecificChannels)
{
    // 32 bpp: the fourth byte of the destination is left as it was.
    auto src32 = makeDib(2, 1, 32);
    src32->Rows[0][0] = 10;
    src32->Rows[0][4] = 30;
    auto dst32 = makeDib(2, 1, 32);
    dst32->Rows[0][3] = 0x55;
    dst32->Rows[0][7] = 0x66;
    ResizeBilinear(*src32, *dst32);
    EXPECT_EQ(dst32->Rows[0][4], 20);
    EXPECT_EQ(dst32->Rows[0][3], 0x55);
    EXPECT_EQ(dst32->Rows[0][7], 0x66);

    // 16 bpp: red 31 unpacks to 248, halfway is 124, packed back 15.
    auto src16 = makeDib(2, 1, 16);
    set16(*src16, 0, 1, 0x7C00);
    auto dst16 = makeDib(2, 1, 16);
    ResizeBilinear(*src16, *dst16);
    EXPECT_EQ(get16(*dst16, 0, 0), 0);
    EXPECT_EQ(get16(*dst16, 0, 1), 15 << 10);

    // 8 bpp interpolates the index; the palette is not touched.
    auto src8 = makeDib(3, 1, 8);
    src8->Rows[0][0] = 0;
    src8->Rows[0][1] = 100;
    src8->Rows[0][2] = 200;
    src8->Colors[5] = RGBQUAD{1, 2, 3, 0};
    auto dst8 = makeDib(4, 1, 8);
    ResizeBilinear(*src8, *dst8);
    EXPECT_EQ(dst8->Rows[0][1], 50);
    EXPECT_EQ(dst8->Rows[0][3], 150);
    EXPECT_EQ(dst8->Colors[5].rgbBlue, 0);
}

// One-pixel sources have a column or row step of 0; the right-hand and lower
// neighbours must not be read past the row (the sanitizer build checks).
TEST(Resize, OnePixelSourcesFillTheTarget)
{
    auto src = makeDib(1, 1, 24);
    set24(*src, 0, 0, {11, 22, 33});
    for (auto resize : {&ResizeBilinear, &ResizeNearest}) {
        auto dst = makeDib(5, 3, 24);
        resize(*src, *dst);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) ASSERT_EQ(get24(*dst, y, x), (Bgr{11, 22, 33}));
    }
    auto column = makeDib(1, 4, 32);
    for (int y = 0; y < 4; ++y) set24(*column, y, 0, {y * 60, 0, 0});
    auto wide = makeDib(3, 2, 32);
    ResizeBilinear(*column, *wide);
    EXPECT_EQ(get24(*wide, 0, 2)[0], 0);
    EXPECT_EQ(get24(*wide, 1, 2)[0], 90);  // row step 3/2: between source rows 1 and 2
    auto row16 = makeDib(1, 1, 16);
    set16(*row16, 0, 0, 0x1234);
    auto dst16 = makeDib(2, 2, 16);
    ResizeBilinear(*row16, *dst16);
    EXPECT_EQ(get16(*dst16, 1, 1), ((0x1234 >> 10) & 31) << 10 | (((0x1234 >> 5) & 31) << 5) | (0x1234 & 31));
}

TEST(Resize, ZeroSizesAndMismatchedDepthsDoNothing)
{
    auto src = makeDib(4, 4, 24);
    fillGrey(*src, 80);
    for (auto resize : {&ResizeBilinear, &ResizeNearest}) {
        auto none = makeDib(0, 0, 24);
        resize(*src, *none);
        auto flat = makeDib(5, 0, 24);
        resize(*src, *flat);
        auto thin = makeDib(0, 5, 24);
        resize(*src, *thin);
        // An empty source leaves the target as it was.
        auto target = makeDib(3, 3, 24);
        fillGrey(*target, 9);
        resize(*none, *target);
        EXPECT_EQ(get24(*target, 2, 2), (Bgr{9, 9, 9}));
        auto other = makeDib(3, 3, 32);
        resize(*src, *other);
        EXPECT_EQ(get24(*other, 1, 1), (Bgr{0, 0, 0}));
        auto fourBit = makeDib(4, 4, 4);
        auto fourBitDst = makeDib(2, 2, 4);
        fourBit->Rows[0][0] = 0xFF;
        resize(*fourBit, *fourBitDst);
        EXPECT_EQ(fourBitDst->Rows[0][0], 0);
    }
}

// Sides of 65,535 pixels: (65,534 << 16) does not fit in 32 bits, so the
// steps must be computed in 64 bits.
TEST(Resize, LongestSidesDoNotOverflow)
{
    const int n = 65535;
    auto src = makeDib(n, 1, 24);
    for (int x = 0; x < n; ++x) {
        const int v = int(std::int64_t(x) * 255 / (n - 1));
        set24(*src, 0, x, {v, v, v});
    }
    auto dst = makeDib(7, 1, 24);
    ResizeBilinear(*src, *dst);
    for (int x = 0; x < 7; ++x) EXPECT_NEAR(get24(*dst, 0, x)[0], x * 255.0 / 7, 1.0) << x;
    auto near = makeDib(3, 1, 24);
    ResizeNearest(*src, *near);
    EXPECT_EQ(get24(*near, 0, 1)[0], 21845 * 255 / (n - 1));
    EXPECT_EQ(get24(*near, 0, 2)[0], 43690 * 255 / (n - 1));

    auto column = makeDib(1, n, 8);
    for (int y = 0; y < n; ++y) column->Rows[y][0] = std::uint8_t(std::int64_t(y) * 255 / (n - 1));
    auto four = makeDib(1, 4, 8);
    ResizeBilinear(*column, *four);
    for (int y = 0; y < 4; ++y) EXPECT_NEAR(four->Rows[y][0], y * 255.0 / 4, 1.0) << y;
}

// A reduction against bilinear interpolation in double precision at the same
// sample positions (x (w - 1) / W); the fixed-point result stays within one level.
TEST(ResizeBilinear, ReductionMatchesDoubleReferenceWithinOneLevel)
{
    const int sw = 400, sh = 300, dw = 123, dh = 77;
    auto src = makeDib(sw, sh, 24);
    auto value = [](int x, int y, int k) {
        return int(127.5 + 120 * std::sin(x * 0.021 + k) * std::cos(y * 0.017 - k));
    };
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) set24(*src, y, x, {value(x, y, 0), value(x, y, 1), value(x, y, 2)});
    auto dst = makeDib(dw, dh, 24);
    ResizeBilinear(*src, *dst);
    int worst = 0;
    for (int y = 0; y < dh; ++y) {
        const double sy = double(y) * (sh - 1) / dh;
        const int y0 = int(sy);
        const int y1 = std::min(y0 + 1, sh - 1);
        const double fy = sy - y0;
        for (int x = 0; x < dw; ++x) {
            const double sx = double(x) * (sw - 1) / dw;
            const int x0 = int(sx);
            const int x1 = std::min(x0 + 1, sw - 1);
            const double fx = sx - x0;
            const Bgr got = get24(*dst, y, x);
            for (int k = 0; k < 3; ++k) {
                const double ref = (1 - fy) * ((1 - fx) * get24(*src, y0, x0)[k] + fx * get24(*src, y0, x1)[k]) +
                                   fy * ((1 - fx) * get24(*src, y1, x0)[k] + fx * get24(*src, y1, x1)[k]);
                worst = std::max(worst, int(std::ceil(std::fabs(got[k] - ref))));
            }
        }
    }
    EXPECT_LE(worst, 1);
}

// The vector path gives the same bytes as the plain one: random pictures at
// 24 and 32 bpp, widths with and without row padding, reductions,
// enlargements and one-pixel sources, and the fourth byte of 32-bit targets.
TEST(ResizeBilinear, VectorAndPlainPathsAgree)
{
    const bool vector = SetResizeVectorPath(true);
    if (!vector) GTEST_SKIP() << "no vector path on this processor";
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return std::uint8_t(seed >> 16);
    };
    const int sizes[][4] = {{40, 30, 8, 6}, {41, 29, 13, 7}, {4, 4, 17, 9}, {1, 1, 5, 3},
                            {1, 7, 3, 20},  {7, 1, 20, 3},   {8, 8, 8, 8},  {333, 5, 40, 2}};
    for (const int bitCount : {24, 32})
        for (const auto& size : sizes) {
            auto src = makeDib(size[0], size[1], bitCount);
            for (int y = 0; y < src->AbsHeight; ++y)
                for (int i = 0; i < src->Stride; ++i) src->Rows[y][i] = next();
            auto plain = makeDib(size[2], size[3], bitCount);
            auto fast = makeDib(size[2], size[3], bitCount);
            for (int y = 0; y < plain->AbsHeight; ++y)
                for (int i = 0; i < plain->Stride; ++i) plain->Rows[y][i] = fast->Rows[y][i] = next();
            SetResizeVectorPath(false);
            ResizeBilinear(*src, *plain);
            SetResizeVectorPath(true);
            ResizeBilinear(*src, *fast);
            for (int y = 0; y < plain->AbsHeight; ++y)
                ASSERT_EQ(0, std::memcmp(plain->Rows[y], fast->Rows[y], std::size_t(plain->Stride)))
                    << bitCount << " bpp " << size[0] << "x" << size[1] << " -> " << size[2] << "x" << size[3]
                    << " row " << y;
        }
}
