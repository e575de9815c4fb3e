// The pixel buffer: sizing, row order, channel layout, pixels, palettes,
// rectangles between buffers, GDI drawing on its own DC.

#include "PixelTestHelpers.h"
#include "raster/RasterDIB.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint32_t mask(const TRasterDIB& d, int i)
{
    std::uint32_t v;
    std::memcpy(&v, static_cast<const void*>(&d.Colors[i]), 4);
    return v;
}

TEST(RasterDIBSize, SameGeometryKeepsPixelsOtherwiseReallocates)
{
    for (bool gdi : {true, false}) {
        TRasterDIB d;
        d.UseGDI = gdi;
        d.SetSize(5, 4, 24);
        EXPECT_EQ(d.DC != nullptr, gdi);
        EXPECT_EQ(d.Handle != nullptr, gdi);
        d.Rows[2][3] = 77;
        d.SetSize(5, 4, 24);
        EXPECT_EQ(d.Rows[2][3], 77);
        d.SetSize(5, 4, 32);
        EXPECT_EQ(d.Rows[2][3], 0) << "new memory starts black";
        d.SetSize(6, 4, 32);
        EXPECT_EQ(d.Header.Width, 6);
    }
}

TEST(RasterDIBSize, RowOrderFollowsTheHeightsSign)
{
    TRasterDIB up, down;
    up.SetSize(3, 4, 8);
    down.SetSize(3, -4, 8);
    EXPECT_EQ(up.Header.Height, 4);
    EXPECT_EQ(down.Header.Height, -4);
    EXPECT_EQ(down.AbsHeight, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(up.Rows[i], up.Bits + i * up.Stride);
        EXPECT_EQ(down.Rows[i], down.Bits + i * down.Stride);
    }
    // GDI draws from the top: on a bottom-up buffer that is the last memory row.
    TRasterDIB up24, down24;
    up24.SetSize(3, 4, 24);
    down24.SetSize(3, -4, 24);
    SetPixel(up24.DC, 0, 0, 0xFFFFFF);
    SetPixel(down24.DC, 0, 0, 0xFFFFFF);
    EXPECT_EQ(up24.Rows[3][0], 255);
    EXPECT_EQ(up24.Rows[0][0], 0);
    EXPECT_EQ(down24.Rows[0][0], 255);
    // RowFromTop finds that row for either order.
    EXPECT_EQ(up24.Rows[up24.RowFromTop(0)][0], 255);
    EXPECT_EQ(down24.Rows[down24.RowFromTop(0)][0], 255);
    EXPECT_EQ(up.RowFromTop(3), 0);
    EXPECT_EQ(down.RowFromTop(3), 3);
}

TEST(RasterDIBSize, StrideGapAndMasks)
{
    TRasterDIB a, b, c, d;
    a.SetSize(1, 1, 24);
    EXPECT_EQ(a.Stride, 4);
    EXPECT_EQ(a.RowGap, 1);
    b.SetSize(3, 2, 1);
    EXPECT_EQ(b.Stride, 4);
    EXPECT_EQ(b.Header.ImageSize, 8u);
    c.SetSize(7, 2, 16);
    EXPECT_EQ(c.Header.Compression, BI_RGB);
    EXPECT_EQ(mask(c, 0), 0x7C00u);
    EXPECT_EQ(mask(c, 1), 0x03E0u);
    EXPECT_EQ(mask(c, 2), 0x001Fu);
    EXPECT_EQ(c.Stride, 16);
    EXPECT_EQ(c.RowGap, 2);
    d.SetSizeEx(2, 2, 16, 5, 6, 5);
    EXPECT_EQ(d.Header.Compression, BI_BITFIELDS);
    EXPECT_EQ(mask(d, 0), 0xF800u);
    EXPECT_EQ(mask(d, 1), 0x07E0u);
    EXPECT_EQ(d.GreenShift, 5);
    EXPECT_EQ(d.RedShift, 11);
    EXPECT_EQ(d.GreenLoss, 2);
    TRasterDIB screen;
    screen.SetSize(2, 2, 0);
    EXPECT_EQ(screen.Header.BitCount, 32);
    EXPECT_EQ(screen.Header.Compression, BI_BITFIELDS);
    EXPECT_EQ(mask(screen, 0), 0xFF0000u);
}

TEST(RasterDIBSize, HugeAndEmptySizes)
{
    TRasterDIB d;
    EXPECT_THROW(d.SetSize(1 << 15, 1 << 14, 24), ERasterError);
    EXPECT_THROW(d.SetSize(4, 4, 7), ERasterError);
    EXPECT_THROW(d.SetSizeEx(4, 4, 16, 8, 8, 8), ERasterError);
    d.SetSize(0, 0, 24);
    EXPECT_TRUE(d.Rows.empty());
    EXPECT_EQ(d.CountColors(), 0);
    d.Clear(WhiteTriple);  // nothing to do, nothing to crash
    TColorTriple t{1, 2, 3};
    d.GetPixelColor(0, 0, t);
    EXPECT_EQ(t, (TColorTriple{1, 2, 3}));
    d.SetSize(1, 1, 4);
    d.SetPixelIndex(0, 0, 9);
    EXPECT_EQ(d.GetPixelIndex(0, 0), 9);
    EXPECT_EQ(d.GetPixelIndex(0, 1), 0) << "outside the row reads nothing";
    d.SetPixelIndex(1, 0, 3);  // outside: ignored
}

TEST(RasterDIBPixels, EveryDepthStoresAndReadsColours)
{
    const TColorTriple colour{200, 100, 50};
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        TRasterDIB d;
        d.SetSize(9, 3, bits);
        if (bits <= 8) {
            d.Colors[0] = RGBQUAD{0, 0, 0, 0};
            d.Colors[1] = RGBQUAD{200, 100, 50, 0};
            d.UpdateColorTable();
        }
        d.SetPixelColor(1, 7, colour);
        TColorTriple t;
        d.GetPixelColor(1, 7, t);
        const TColorTriple expected = bits == 16 ? TColorTriple{206, 99, 49} : colour;  // 5-bit fields expanded
        EXPECT_EQ(t, expected);
        d.GetPixelColor(1, 6, t);
        EXPECT_EQ(t, BlackTriple);
        d.Clear(colour);
        d.GetPixelColor(2, 8, t);
        EXPECT_EQ(t, expected);
        EXPECT_EQ(d.CountColors(), 1);
    }
}

TEST(RasterDIBPixels, SixteenAndThirtyTwoBitFields)
{
    TRasterDIB d;
    d.SetSizeEx(4, 1, 16, 5, 6, 5);
    d.SetPixelColor(0, 1, TColorTriple{0xFF, 0x80, 0x08});
    EXPECT_EQ(d.Rows[0][2] | d.Rows[0][3] << 8, (0x08 >> 3) << 11 | (0x80 >> 2) << 5 | 0x1F);
    TColorTriple t;
    d.GetPixelColor(0, 1, t);
    EXPECT_EQ(t, (TColorTriple{0xFF, 0x82, 0x08}));
    EXPECT_EQ(ExpandField(1, 1), 255);
    EXPECT_EQ(ExpandField(2, 2), 0xAA);
    EXPECT_EQ(ExpandField(5, 3), 0xB6);
    EXPECT_EQ(ExpandField(0x1F, 5), 0xFF);
    EXPECT_EQ(ExpandField(0x3F, 6), 0xFF);
    EXPECT_EQ(ExpandField(0x40, 7), 0x81);
    TRasterDIB w;
    w.SetSizeEx(2, 1, 32, 10, 10, 10);
    w.SetPixelColor(0, 0, TColorTriple{1, 2, 3});
    std::uint32_t v;
    std::memcpy(&v, w.Rows[0], 4);
    EXPECT_EQ(v, 3u << 20 | 2u << 10 | 1u);
}

TEST(RasterDIBPalette, NearestEntryAndGradient)
{
    RGBQUAD colours[4] = {{10, 10, 10, 0}, {20, 20, 20, 0}, {20, 20, 20, 0}, {0, 0, 0, 0}};
    EXPECT_EQ(NearestPaletteIndex(colours, 3, TColorTriple{15, 15, 15}), 0);
    EXPECT_EQ(NearestPaletteIndex(colours, 3, TColorTriple{22, 22, 22}), 1);
    EXPECT_EQ(NearestPaletteIndex(colours, 3, TColorTriple{0, 0, 1}), 3);
    RGBQUAD white[2] = {{255, 255, 255, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(NearestPaletteIndex(white, 1, BlackTriple), 0);

    TRasterDIB d;
    d.SetSize(4, 4, 8);
    const TColorTriple ramp[] = {BlackTriple, WhiteTriple};
    d.MakeGradientPalette(0, 255, ramp);
    EXPECT_EQ(d.Colors[0].rgbRed, 0);
    EXPECT_EQ(d.Colors[1].rgbRed, 0);
    for (int i = 1; i <= 254; ++i) EXPECT_EQ(d.Colors[i].rgbBlue, i - 1) << i;
    EXPECT_EQ(d.Colors[255].rgbGreen, 255);
    RGBQUAD table[256];
    EXPECT_EQ(GetDIBColorTable(d.DC, 0, 256, table), 256u);
    EXPECT_EQ(table[200].rgbRed, 199) << "the DIB section got the new palette";

    const TColorTriple three[] = {TColorTriple{0, 0, 255}, TColorTriple{0, 255, 0}, TColorTriple{255, 0, 0}};
    d.MakeGradientPalette(10, 20, three);
    EXPECT_EQ(d.Colors[10].rgbRed, 255);
    EXPECT_EQ(d.Colors[20].rgbBlue, 255);
    EXPECT_EQ(d.Colors[15].rgbGreen, 255);
}

TEST(RasterDIBColours, Conversions)
{
    EXPECT_EQ(SwapRedBlue(0xAA112233u), 0x00332211u);
    EXPECT_EQ(ColorToTriple(0x00112233u), (TColorTriple{0x11, 0x22, 0x33}));
}

TEST(RasterDIBColours, CountColors)
{
    TRasterDIB d;
    d.SetSize(300, 300, 24);
    EXPECT_EQ(d.CountColors(), 1);
    for (int r = 0; r < 300; ++r)
        for (int x = 0; x < 300; ++x) d.SetPixelColor(r, x, TColorTriple{std::uint8_t(x), std::uint8_t(r), 0});
    EXPECT_EQ(d.CountColors(), 256 * 256);
    TRasterDIB one;
    one.SetSize(3, 2, 1);  // padding bits must not count
    one.Bits[1] = 0xFF;
    EXPECT_EQ(one.CountColors(), 1);
    one.SetPixelIndex(1, 2, 1);
    EXPECT_EQ(one.CountColors(), 2);
    TRasterDIB sixteen;
    sixteen.SetSize(4, 4, 4);
    for (int i = 0; i < 16; ++i) sixteen.SetPixelIndex(i / 4, i % 4, i);
    EXPECT_EQ(sixteen.CountColors(), 16);
}

TEST(RasterDIBRects, CopyClipsAndMapsToThePalette)
{
    TRasterDIB src, dst;
    src.SetSize(4, 4, 24);
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < 4; ++x)
            src.SetPixelColor(r, x, TColorTriple{std::uint8_t(x * 60), 0, std::uint8_t(r * 60)});
    dst.SetSize(4, 4, 8);
    for (int i = 0; i < 256; ++i) dst.Colors[i] = RGBQUAD{std::uint8_t(i), 0, 0, 0};
    CopyDIBRect(dst, src, 0, 0, 4, 4, 0, 0);
    EXPECT_EQ(dst.GetPixelIndex(0, 3), 180 - 60 * 0 + 0) << "nearest by blue (red counts too)";

    TRasterDIB a, b;
    a.SetSize(5, 5, 24);
    b.SetSize(5, 5, 24);
    a.Clear(WhiteTriple);
    CopyDIBRect(b, a, 3, 3, 4, 4, 0, 0);  // only a 2 x 2 corner fits
    EXPECT_EQ(pixeltest::countColour(b, WhiteTriple), 4);
    TColorTriple t;
    b.GetPixelColor(0, 4, t);  // bottom-right from the top is memory row 0
    EXPECT_EQ(t, WhiteTriple);
    CopyDIBRect(b, a, -3, -3, 5, 5, 0, 0);  // negative destination moves the source
    b.GetPixelColor(4, 0, t);
    EXPECT_EQ(t, WhiteTriple);
}

TEST(RasterDIBRects, OppositeRowOrdersDoNotTurnThePictureOver)
{
    TRasterDIB up, down;
    up.SetSize(2, 3, 24);
    down.SetSize(2, -3, 24);
    up.SetPixelColor(up.AbsHeight - 1, 0, WhiteTriple);  // top-left of the picture
    CopyDIBRect(down, up, 0, 0, 2, 3, 0, 0);
    TColorTriple t;
    down.GetPixelColor(0, 0, t);  // top row of a top-down buffer
    EXPECT_EQ(t, WhiteTriple);
}

TEST(RasterDIBLife, TakeOverMovesEverything)
{
    auto other = std::make_unique<TRasterDIB>();
    other->SetSize(3, 3, 8);
    other->Colors[5] = RGBQUAD{1, 2, 3, 0};
    other->SetPixelIndex(1, 1, 5);
    other->SetPen(PS_SOLID, 1, 0);
    HDC dc = other->DC;
    TRasterDIB mine;
    mine.SetSize(10, 10, 24);
    mine.TakeOver(std::move(other));
    EXPECT_EQ(mine.DC, dc);
    EXPECT_EQ(mine.ColorTable, mine.Colors);
    EXPECT_EQ(mine.Colors[5].rgbRed, 3);
    EXPECT_EQ(mine.GetPixelIndex(1, 1), 5);
    EXPECT_EQ(mine.Header.BitCount, 8);

    TRasterDIB heap;
    heap.UseGDI = false;
    heap.SetSize(2, 2, 24);
    heap.Rows[1][0] = 9;
    TRasterDIB taker;
    taker.TakeOver(heap);
    EXPECT_EQ(taker.Rows[1][0], 9);
    EXPECT_TRUE(taker.OwnsBits);
    EXPECT_EQ(heap.Bits, nullptr);
    EXPECT_FALSE(heap.OwnsBits);
}

TEST(RasterDIBLife, LoadFromHandleCopiesSectionsAndCompatibleBitmaps)
{
    TRasterDIB src;
    src.SetSize(5, -3, 8);
    src.Colors[7] = RGBQUAD{10, 20, 30, 0};
    src.UpdateColorTable();
    src.SetPixelIndex(2, 4, 7);
    TRasterDIB copy;
    copy.LoadFromHandle(src.Handle);
    EXPECT_EQ(copy.Header.Height, -3);
    EXPECT_EQ(copy.GetPixelIndex(2, 4), 7);
    EXPECT_EQ(copy.Colors[7].rgbRed, 30);

    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(dc, 4, 2);
    HGDIOBJ old = SelectObject(dc, ddb);
    SetPixel(dc, 3, 0, RGB(1, 2, 3));  // top-right
    SelectObject(dc, old);
    TRasterDIB fromDdb;
    fromDdb.LoadFromHandle(ddb);
    EXPECT_EQ(fromDdb.Header.BitCount, 32);
    TColorTriple t;
    fromDdb.GetPixelColor(fromDdb.AbsHeight - 1, 3, t);
    EXPECT_EQ(t, (TColorTriple{3, 2, 1}));
    DeleteObject(ddb);
    DeleteDC(dc);
}

TEST(RasterDIBDrawing, DrawStretchAndTileOnAnotherBuffer)
{
    TRasterDIB tile, target;
    tile.UseGDI = false;  // drawn through StretchDIBits
    tile.SetSize(2, 2, 24);
    tile.SetPixelColor(tile.AbsHeight - 1, 0, WhiteTriple);  // top-left white
    target.SetSize(7, 5, 24);
    tile.TileDraw(target.DC, 0, 0, 7, 5);
    int white = 0;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) white += GetPixel(target.DC, x, y) == 0xFFFFFF;
    EXPECT_EQ(white, 4 * 3);
    EXPECT_EQ(GetPixel(target.DC, 4, 2), 0xFFFFFFu);
    target.Clear(BlackTriple);
    tile.StretchDraw(target.DC, 1, 1, 4, 4);
    EXPECT_EQ(GetPixel(target.DC, 2, 2), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(target.DC, 3, 2), 0u);
    target.Clear(BlackTriple);
    tile.Draw(target.DC, 5, 3);
    EXPECT_EQ(GetPixel(target.DC, 5, 3), 0xFFFFFFu);
}

TEST(RasterDIBDrawing, TextPolygonAndObjects)
{
    TRasterDIB d;
    d.SetSize(120, 40, 24);
    d.Clear(WhiteTriple);
    d.SetFont("DejaVu Sans", 0, -20, 400, false, false, false);
    d.SetTextColor(0);
    d.SetTransparent(true);
    d.TextOut(2, 2, "Hello");
    int black = 0;
    for (int r = 0; r < d.AbsHeight; ++r)
        for (int x = 0; x < 120; ++x) {
            TColorTriple t;
            d.GetPixelColor(r, x, t);
            black += t == BlackTriple;
        }
    EXPECT_GT(black, 40);
    EXPECT_LT(d.TextWidth("ab"), d.TextWidth("abcd"));
    EXPECT_GT(d.TextHeight("x"), 18);
    d.SetFontFrom("No Such Face At All", TGdiFontInfo{-20, true, false, false, false, 0});
    EXPECT_GT(d.TextWidth("abcd"), 0) << "a missing face falls back";

    d.SetBrush(BS_SOLID, RGB(255, 0, 0), 0);
    d.SetPen(PS_NULL, 1, 0);
    const TPoint square[] = {{60, 10}, {80, 10}, {80, 30}, {60, 30}};
    d.Polygon(square, 3);
    EXPECT_EQ(GetPixel(d.DC, 70, 20), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(d.DC, 85, 20), RGB(255, 255, 255));
}

TEST(CPUInfoRecord, DecodesCpuidWords)
{
    TCPUIDWords w;
    w.MaxLeaf = 1;
    w.VendorEBX = 0x756E6547;  // "Genu"
    w.VendorEDX = 0x49656E69;  // "ineI"
    w.VendorECX = 0x6C65746E;  // "ntel"
    w.Leaf1EAX = (6 << 8) | (9 << 4);
    w.Leaf1EDX = (1u << 15) | (1u << 23) | (1u << 25) | (1u << 26);
    w.MaxExtendedLeaf = 0x80000001u;
    w.Ext1EDX = (1u << 22) | (1u << 31);
    const TCPUInfo info = DecodeCPUID(w, 0x104);
    EXPECT_EQ(info.VendorID, "GenuineIntel");
    EXPECT_EQ(info.Family, 6);
    EXPECT_EQ(info.Model, 9);
    EXPECT_EQ(info.Count, 4);
    EXPECT_TRUE(info.Has(cfCMOV) && info.Has(cfMMX) && info.Has(cfSSE) && info.Has(cfSSE2));
    EXPECT_TRUE(info.Has(cfMMXExt) && info.Has(cf3DNow));
    EXPECT_FALSE(info.Has(cf3DNowExt));
    EXPECT_TRUE(DecodeCPUID(TCPUIDWords{}, 2).VendorID.empty());
#if defined(__x86_64__)
    EXPECT_FALSE(CPUInfo.VendorID.empty());
    EXPECT_TRUE(CPUInfo.Has(cfSSE2)) << "every x86-64 processor has SSE2";
#endif
}

}  // namespace
