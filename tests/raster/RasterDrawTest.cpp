#include "raster/RasterDraw.h"

#include "PixelTestHelpers.h"

#include <set>
#include <utility>
#include <vector>

using namespace pixeltest;

namespace {

// Row y counted from the top, whatever the buffer's row order.
Bgr topPixel(const TRasterDIB& dib, int y, int x)
{
    const int row = dib.Header.Height > 0 ? dib.AbsHeight - 1 - y : y;
    return get24(dib, row, x);
}

// The set of pixels (x, y from the top) that are no longer grey 100.
std::set<std::pair<int, int>> changed(const TRasterDIB& dib)
{
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < dib.AbsHeight; ++y)
        for (int x = 0; x < dib.Width(); ++x)
            if (topPixel(dib, y, x) != Bgr{100, 100, 100}) out.insert({x, y});
    return out;
}

std::unique_ptr<TRasterDIB> greyCanvas(int width, int height, int bitCount = 24)
{
    auto dib = makeDib(width, height, bitCount);
    fillGrey(*dib, 100);
    return dib;
}

}  // namespace

TEST(AlphaLine, HorizontalSolidFromTheTop)
{
    auto dib = greyCanvas(12, 8);  // bottom-up
    AlphaLine(*dib, 0, 5, 10, 5, 0, 0x00112233);
    std::set<std::pair<int, int>> expected;
    for (int x = 1; x <= 10; ++x) expected.insert({x, 5});
    EXPECT_EQ(changed(*dib), expected);
    EXPECT_EQ(topPixel(*dib, 5, 10), (Bgr{0x33, 0x22, 0x11}));
    EXPECT_EQ(get24(*dib, 2, 1), (Bgr{0x33, 0x22, 0x11}));  // memory row 8 - 1 - 5
}

TEST(AlphaLine, BresenhamPixelsInBothRowOrders)
{
    for (const int height : {6, -6}) {
        auto shallow = greyCanvas(6, height);
        AlphaLine(*shallow, 0, 0, 4, 2, 0, 0);
        EXPECT_EQ(changed(*shallow), (std::set<std::pair<int, int>>{{1, 1}, {2, 1}, {3, 2}, {4, 2}}));
        auto steep = greyCanvas(6, height);
        AlphaLine(*steep, 0, 0, 1, 3, 0, 0);
        EXPECT_EQ(changed(*steep), (std::set<std::pair<int, int>>{{0, 1}, {1, 2}, {1, 3}}));
        auto backwards = greyCanvas(6, height);
        AlphaLine(*backwards, 4, 2, 0, 0, 0, 0);
        EXPECT_EQ(changed(*backwards), (std::set<std::pair<int, int>>{{3, 1}, {2, 1}, {1, 0}, {0, 0}}));
    }
}

TEST(AlphaLine, WeightsAndDegenerateLines)
{
    auto dib = greyCanvas(4, 4);
    AlphaLine(*dib, 0, 0, 3, 0, 64, 0x000000FF);          // blue 255 over grey 100
    EXPECT_EQ(topPixel(*dib, 0, 1), (Bgr{177, 50, 50}));  // c + floor((old - c) / 2)
    AlphaLine(*dib, 0, 1, 3, 1, 128, 0x000000FF);
    EXPECT_EQ(topPixel(*dib, 1, 2), (Bgr{100, 100, 100}));
    auto same = greyCanvas(4, 4);
    AlphaLine(*same, 2, 2, 2, 2, 0, 0);
    EXPECT_TRUE(changed(*same).empty());
}

TEST(AlphaLine, PointsOutsideAreSkipped)
{
    auto dib = greyCanvas(5, 5);
    AlphaLine(*dib, -3, -3, 8, 8, 0, 0);
    EXPECT_EQ(changed(*dib), (std::set<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    AlphaLine(*dib, 100, -50, -100, 3000, 0, 0);
    auto eight = makeDib(4, 4, 8);
    AlphaLine(*eight, 0, 0, 3, 3, 0, 0xFFFFFF);
    EXPECT_EQ(eight->Rows[3][1], 0);
    auto wide = makeDib(4, 1, 32);
    wide->Rows[0][7] = 0x99;
    AlphaLine(*wide, 0, 0, 3, 0, 0, 0x00010203);
    EXPECT_EQ(get24(*wide, 0, 1), (Bgr{3, 2, 1}));
    EXPECT_EQ(wide->Rows[0][7], 0x99);
}

TEST(DrawFrame3D, FirstColourTopLeftSecondBottomRight)
{
    auto dib = greyCanvas(6, 5);
    DrawFrame3D(*dib, 0, 0, 6, 5, 0x0000FF, 0xFF0000, 0);  // red, then blue (GDI colours)
    const Bgr first{0, 0, 255}, second{255, 0, 0}, grey{100, 100, 100};
    const char* expected[5] = {"FFFFFS", "F....S", "F....S", "F....S", ".SSSSS"};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const char c = expected[y][x];
            const Bgr want = c == 'F' ? first : c == 'S' ? second : grey;
            EXPECT_EQ(topPixel(*dib, y, x), want) << x << "," << y;
        }
}

TEST(GradientFill, HandComputedRows)
{
    auto dib = makeDib(4, 2, 24);
    GradientFill(*dib, 0, 0, 4, 2, {0, 0, 0}, {100, 100, 100}, {200, 200, 200}, {200, 200, 200});
    std::vector<int> row0, row1;
    for (int x = 0; x < 4; ++x) {
        row0.push_back(get24(*dib, 0, x)[0]);
        row1.push_back(get24(*dib, 1, x)[0]);
    }
    EXPECT_EQ(row0, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(row1, (std::vector<int>{112, 125, 137, 150}));
}

TEST(GradientFill, UniformAndSingleRow)
{
    auto dib = greyCanvas(6, 4);
    const TColorTriple c{10, 20, 30};
    GradientFill(*dib, 1, 1, 5, 3, c, c, c, c);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = y >= 1 && y < 3 && x >= 1 && x < 5;
            EXPECT_EQ(get24(*dib, y, x), inside ? (Bgr{10, 20, 30}) : (Bgr{100, 100, 100}));
        }
    auto one = greyCanvas(2, 2);
    GradientFill(*one, 0, 0, 2, 1, {50, 50, 50}, {50, 50, 50}, {250, 250, 250}, {250, 250, 250});
    EXPECT_EQ(get24(*one, 0, 0), (Bgr{50, 50, 50}));
    EXPECT_EQ(get24(*one, 1, 0), (Bgr{100, 100, 100}));
    // Empty rectangles draw nothing.
    GradientFill(*one, 0, 1, 2, 1, c, c, c, c);
    GradientFill(*one, 1, 0, 1, 2, c, c, c, c);
    GradientFill(*one, 2, 0, 0, 2, c, c, c, c);
    EXPECT_EQ(get24(*one, 1, 1), (Bgr{100, 100, 100}));
}

TEST(GradientFill, ClippedRectangleKeepsItsValues)
{
    const TColorTriple a{0, 0, 0}, b{240, 120, 60}, c{30, 60, 90}, d{255, 255, 255};
    auto full = makeDib(10, 10, 24);
    GradientFill(*full, 0, 0, 10, 10, a, b, c, d);
    auto clipped = makeDib(4, 4, 24);
    GradientFill(*clipped, -3, -5, 7, 5, a, b, c, d);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(get24(*clipped, y, x), get24(*full, y + 5, x + 3));
    // A huge rectangle costs only the visible pixels.
    GradientFill(*clipped, -2000000000, -2000000000, 2000000000, 2000000000, a, b, c, d);
}

TEST(GradientFill, EightAndThirtyTwoBits)
{
    auto eight = makeDib(4, 1, 8);
    greyPalette(*eight);
    GradientFill(*eight, 0, 0, 4, 1, {0, 0, 0}, {100, 100, 100}, {0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(eight->Rows[0][0], 25);
    EXPECT_EQ(eight->Rows[0][3], 100);
    auto wide = makeDib(4, 1, 32);
    wide->Rows[0][3] = 0x44;
    GradientFill(*wide, 0, 0, 4, 1, {0, 0, 0}, {100, 100, 100}, {0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(get24(*wide, 0, 0), (Bgr{25, 25, 25}));
    EXPECT_EQ(wide->Rows[0][3], 0x44);
    auto sixteen = makeDib(4, 1, 16);
    GradientFill(*sixteen, 0, 0, 4, 1, {0, 0, 0}, {100, 100, 100}, {0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(get16(*sixteen, 0, 3), 0);
}
