// Drawing and blending at and past the edges of buffers sized exactly (no
// row padding, so the sanitizer sees the first byte past the last row):
// what is inside is drawn, nothing outside is touched.

#include "raster/RasterDraw.h"
#include "raster/RasterFX.h"

#include "PixelTestHelpers.h"

#include <array>
#include <set>
#include <utility>

using namespace pixeltest;

namespace {

constexpr std::uint32_t kNoKey = 0xFF000000;

using Points = std::set<std::pair<int, int>>;

// Pixels (x, y from the top) that differ from grey 100.
Points changed(const TRasterDIB& dib)
{
    Points out;
    for (int row = 0; row < dib.AbsHeight; ++row)
        for (int x = 0; x < dib.Width(); ++x)
            if (get24(dib, row, x) != Bgr{100, 100, 100})
                out.insert({x, dib.Header.Height > 0 ? dib.AbsHeight - 1 - row : row});
    return out;
}

std::unique_ptr<TRasterDIB> greyCanvas(int width, int height, int bitCount)
{
    auto dib = makeDib(width, height, bitCount);
    fillGrey(*dib, 100);
    EXPECT_EQ(dib->RowGap, 0);
    return dib;
}

Points column(int x, int firstY, int lastY)
{
    Points p;
    for (int y = firstY; y <= lastY; ++y) p.insert({x, y});
    return p;
}
Points row(int y, int firstX, int lastX)
{
    Points p;
    for (int x = firstX; x <= lastX; ++x) p.insert({x, y});
    return p;
}

}  // namespace

// Width 4 at 24 bpp and 32 bpp: rows without padding; both row orders.
TEST(DrawingBounds, LinesAlongAndPastEveryEdge)
{
    for (const int bitCount : {24, 32})
        for (const int sign : {1, -1}) {
            SCOPED_TRACE(std::to_string(bitCount) + " bpp, sign " + std::to_string(sign));
            const int w = 4, h = 3;
            auto draw = [&](int x1, int y1, int x2, int y2) {
                auto dib = greyCanvas(w, h * sign, bitCount);
                AlphaLine(*dib, x1, y1, x2, y2, 0, 0x00203040);
                return changed(*dib);
            };
            // Along the edges, from outside to outside: every edge pixel.
            EXPECT_EQ(draw(-1, 0, w, 0), row(0, 0, w - 1));
            EXPECT_EQ(draw(w, h - 1, -1, h - 1), row(h - 1, 0, w - 1));
            EXPECT_EQ(draw(0, -1, 0, h), column(0, 0, h - 1));
            EXPECT_EQ(draw(w - 1, h, w - 1, -1), column(w - 1, 0, h - 1));
            // One past each edge, and far away: nothing.
            EXPECT_TRUE(draw(-5, -1, w + 5, -1).empty());
            EXPECT_TRUE(draw(-5, h, w + 5, h).empty());
            EXPECT_TRUE(draw(-1, -5, -1, h + 5).empty());
            EXPECT_TRUE(draw(w, -5, w, h + 5).empty());
            EXPECT_TRUE(draw(-100000, 50000, 100000, 50000).empty());
            // A long diagonal through the corner pixel at the end of memory.
            EXPECT_EQ(draw(-100000, -100000, 100000, 100000), (Points{{0, 0}, {1, 1}, {2, 2}}));
            // Steep and crossing the right edge the other way.
            EXPECT_EQ(draw(w - 1 + 10, -10, w - 1 - 10, 10), (Points{{3, 0}, {2, 1}, {1, 2}}));
        }
}

// Rings drawn inward from outside the picture, past its middle (the way a
// bevel wider than the picture is drawn): only pixels inside are touched and
// the outermost visible ring is complete.
TEST(DrawingBounds, FrameRingsWiderThanThePictureAreClipped)
{
    for (const int bitCount : {24, 32})
        for (const int sign : {1, -1}) {
            SCOPED_TRACE(std::to_string(bitCount) + " bpp, sign " + std::to_string(sign));
            const int w = 4, h = 5;
            auto dib = greyCanvas(w, h * sign, bitCount);
            // Rings whose lines all lie outside change nothing.
            DrawFrame3D(*dib, -1, -1, w + 1, h + 1, 0x0000FF, 0xFF0000, 0);
            DrawFrame3D(*dib, -8, -8, w + 8, h + 8, 0x0000FF, 0xFF0000, 0);
            DrawFrame3D(*dib, w, h, w + 3, h + 3, 0x0000FF, 0xFF0000, 0);
            EXPECT_TRUE(changed(*dib).empty());
            for (int i = -6; i <= 0; ++i) DrawFrame3D(*dib, i, i, w - i, h - i, 0x0000FF, 0xFF0000, 0);
            // Only the ring on the picture's edge shows: the border less the
            // bottom-left pixel, which neither the left nor the bottom line reaches.
            Points border = row(0, 0, w - 1);
            for (const auto& p : row(h - 1, 1, w - 1)) border.insert(p);
            for (const auto& p : column(0, 0, h - 2)) border.insert(p);
            for (const auto& p : column(w - 1, 0, h - 1)) border.insert(p);
            EXPECT_EQ(changed(*dib), border);
            const int top = sign > 0 ? h - 1 : 0, bottom = sign > 0 ? 0 : h - 1;
            EXPECT_EQ(get24(*dib, top, 1), (Bgr{0, 0, 255}));     // top: first colour
            EXPECT_EQ(get24(*dib, bottom, 2), (Bgr{255, 0, 0}));  // bottom: second colour
            // Rings on past the middle turn inside out; still nothing outside.
            for (int i = 1; i <= 9; ++i) DrawFrame3D(*dib, i, i, w - i, h - i, 0x0000FF, 0xFF0000, 0);
            EXPECT_EQ(changed(*dib).size(), std::size_t(w * h));
        }
}

TEST(DrawingBounds, GradientPastEveryEdgeFillsExactlyThePicture)
{
    for (const int bitCount : {8, 24, 32}) {
        SCOPED_TRACE(bitCount);
        auto dib = makeDib(4, 3, bitCount);
        greyPalette(*dib);
        const TColorTriple black{0, 0, 0}, white{255, 255, 255};
        // Wholly outside on each side: nothing written.
        for (const auto& r :
             {std::array{4, 0, 9, 3}, std::array{-9, 0, 0, 3}, std::array{0, 3, 4, 9}, std::array{0, -9, 4, 0}})
            GradientFill(*dib, r[0], r[1], r[2], r[3], white, white, white, white);
        for (int y = 0; y < 3; ++y)
            for (int i = 0; i < dib->Stride; ++i) ASSERT_EQ(dib->Rows[y][i], 0) << y << " " << i;
        // Overlapping every edge: every pixel written, nothing past them.
        GradientFill(*dib, -1, -1, 5, 4, white, white, white, white);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                if (bitCount == 8)
                    EXPECT_EQ(dib->Rows[y][x], 255);
                else
                    EXPECT_EQ(get24(*dib, y, x), (Bgr{255, 255, 255}));
            }
        GradientFill(*dib, 3, 2, 4000, 3000, black, black, black, black);
        if (bitCount == 8)
            EXPECT_EQ(dib->Rows[2][3], 0);
        else
            EXPECT_EQ(get24(*dib, 2, 3), (Bgr{0, 0, 0}));
    }
}

// Text drawn across each edge and corner of a small exactly sized buffer:
// visible parts are drawn, text wholly outside draws nothing.
TEST(DrawingBounds, TextAtTheEdges)
{
    TRasterDIB d;
    d.SetSize(8, 8, 24);  // stride 24: no padding
    d.SetFont("DejaVu Sans", 0, -16, 700, false, false, false);
    d.SetTextColor(0);
    d.SetTransparent(true);
    auto blackPixels = [&]() { return countColour(d, BlackTriple); };
    const std::pair<int, int> across[] = {{-4, -4}, {4, -4}, {-4, 2}, {4, 2}, {-4, 4}, {4, 4}, {2, -6}, {2, 1}};
    for (const auto& [x, y] : across) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        d.Clear(WhiteTriple);
        d.TextOut(x, y, "WMW");
        EXPECT_GT(blackPixels(), 0);
    }
    const std::pair<int, int> outside[] = {
        {8, 0}, {0, 8}, {-200, 0}, {0, -200}, {1000000, 1000000}, {-1000000, -1000000}};
    for (const auto& [x, y] : outside) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        d.Clear(WhiteTriple);
        d.TextOut(x, y, "WMW");
        EXPECT_EQ(blackPixels(), 0);
    }
    // Opaque text paints its background box, clipped the same way.
    d.SetTransparent(false);
    d.SetBkColor(RGB(255, 0, 0));
    d.Clear(WhiteTriple);
    d.TextOut(5, 5, "WWWW");
    TColorTriple corner;
    d.GetPixelColor(0, 7, corner);  // memory row 0 is the bottom
    EXPECT_FALSE(corner == WhiteTriple);
}

// 8 bpp with widths that fill whole words, and buffers of different sizes:
// only the area all three share is read and written.
TEST(BlendingBounds, EightBitsExactBuffersOfDifferentSizes)
{
    auto s1 = makeDib(8, 2, 8);
    auto s2 = makeDib(4, 5, 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) s1->Rows[y][x] = 200;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x) s2->Rows[y][x] = 100;
    auto dst = makeDib(12, 3, 8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 12; ++x) dst->Rows[y][x] = 7;
    BlendDIBs(*dst, *s1, *s2, 64, kNoKey, kNoKey, kNoKey);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(dst->Rows[y][x], y < 2 && x < 4 ? 150 : 7) << x << "," << y;
    // The destination smaller than both sources, and one of them.
    auto small = makeDib(4, 1, 8);
    BlendDIBs(*small, *s1, *s2, 0, kNoKey, kNoKey, kNoKey);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(small->Rows[0][x], 100);
    BlendDIBs(*s2, *s1, *s2, 128, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(s2->Rows[1][3], 200);
    EXPECT_EQ(s2->Rows[2][3], 100);
    // 32 bpp, the last pixel of memory included.
    auto a = makeDib(3, 2, 32), b = makeDib(3, 2, 32), out = makeDib(3, 2, 32);
    fillGrey(*a, 100);
    BlendDIBs(*out, *a, *b, 128, kNoKey, kNoKey, kNoKey);
    EXPECT_EQ(get24(*out, 1, 2), (Bgr{100, 100, 100}));
}
