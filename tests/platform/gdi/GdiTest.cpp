// The GDI layer: DIB sections, blits and stretches, shapes, text, null DCs.

#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A memory DC holding a fresh 24-bit DIB section (top-down when height < 0).
struct Canvas {
    Canvas(int w, int h, int bits = 24)
    {
        BITMAPINFO info;
        info.bmiHeader.Width = w;
        info.bmiHeader.Height = h;
        info.bmiHeader.BitCount = std::uint16_t(bits);
        for (int i = 0; i < 256; ++i) info.bmiColors[i] = RGBQUAD{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
        void* raw = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw);
        bits_ = static_cast<std::uint8_t*>(raw);
        dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    int count(COLORREF c, int w, int h) const
    {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) n += GetPixel(dc, x, y) == c;
        return n;
    }
    HDC dc;
    HBITMAP bitmap;
    std::uint8_t* bits_;
};

TEST(GdiBitmaps, SectionsStartZeroAndReportThemselves)
{
    Canvas c(5, 3);
    ASSERT_NE(c.bits_, nullptr);
    for (int i = 0; i < 16 * 3; ++i) EXPECT_EQ(c.bits_[i], 0);
    DIBSECTION ds;
    ASSERT_EQ(GetObject(c.bitmap, sizeof(ds), &ds), int(sizeof(DIBSECTION)));
    EXPECT_EQ(ds.dsBmih.Width, 5);
    EXPECT_EQ(ds.dsBmih.ImageSize, 48u);
    EXPECT_EQ(ds.dsBm.bmBits, c.bits_);

    BITMAPINFO huge;
    huge.bmiHeader.Width = 1 << 16;
    huge.bmiHeader.Height = 1 << 13;
    huge.bmiHeader.BitCount = 24;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &huge, DIB_RGB_COLORS, &bits), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_FALSE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    EXPECT_FALSE(DeleteObject(c.bitmap)) << "a selected bitmap stays alive";
}

TEST(GdiBlits, CopyStretchMirrorAndPalettes)
{
    Canvas src(2, 2), dst(6, 4);
    SetPixel(src.dc, 0, 0, RGB(255, 0, 0));
    SetPixel(src.dc, 1, 1, RGB(0, 0, 255));
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 2, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 2, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), 0u);

    Canvas big(4, 4);
    StretchBlt(big.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY);  // each pixel becomes 2 x 2
    EXPECT_EQ(big.count(RGB(255, 0, 0), 4, 4), 4);
    EXPECT_EQ(GetPixel(big.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(big.dc, 3, 3), RGB(0, 0, 255));
    StretchBlt(big.dc, 3, 0, -4, 4, src.dc, 0, 0, 2, 2, SRCCOPY);  // mirrored
    EXPECT_EQ(GetPixel(big.dc, 3, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(big.dc, 0, 3), RGB(0, 0, 255));

    Canvas grey(2, 2, 8);  // grey palette: a colour maps to the nearest grey
    SetPixel(src.dc, 0, 0, RGB(200, 100, 0));
    BitBlt(grey.dc, 0, 0, 2, 2, src.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(grey.dc, 0, 0), RGB(100, 100, 100));
    EXPECT_EQ(grey.bits_[4], 100) << "top-left of a bottom-up bitmap lies in its last row";

    EXPECT_TRUE(BitBlt(dst.dc, -2147483647, 2147483647, 2147483647, -2147483647, src.dc, 0, 0, SRCCOPY));
    BitBlt(dst.dc, 0, 0, 6, 4, nullptr, 0, 0, WHITENESS);
    EXPECT_EQ(dst.count(0xFFFFFF, 6, 4), 24);
    // Overlapping copy within one bitmap reads the pixels as they were.
    SetPixel(dst.dc, 0, 0, 0);
    BitBlt(dst.dc, 1, 0, 5, 1, dst.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), 0u);
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), 0xFFFFFFu);
}

TEST(GdiBlits, StretchDIBitsCountsSourceRowsFromTheBottom)
{
    std::uint8_t bits[2 * 4] = {};  // 1 x 2, 24-bit, bottom-up: row 0 is the bottom
    bits[4] = 255;                  // top pixel blue
    BITMAPINFO info;
    info.bmiHeader.Width = 1;
    info.bmiHeader.Height = 2;
    info.bmiHeader.BitCount = 24;
    Canvas dst(3, 3);
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 1, 2, 0, 0, 1, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dst.dc, 0, 1), 0u);
}

TEST(GdiShapes, PolygonRectangleLines)
{
    Canvas c(20, 20);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HPEN none = static_cast<HPEN>(GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(c.dc, red);
    SelectObject(c.dc, none);
    const TPoint triangle[] = {{0, 0}, {10, 0}, {0, 10}};
    Polygon(c.dc, triangle, 3);
    const int filled = c.count(RGB(255, 0, 0), 20, 20);
    EXPECT_GT(filled, 40);
    EXPECT_LT(filled, 60);
    EXPECT_EQ(GetPixel(c.dc, 9, 9), 0u);

    HPEN white = CreatePen(PS_SOLID, 1, 0xFFFFFF);
    HGDIOBJ oldPen = SelectObject(c.dc, white);
    Rectangle(c.dc, 12, 12, 16, 16);
    EXPECT_EQ(GetPixel(c.dc, 12, 12), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(c.dc, 15, 15), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(c.dc, 13, 13), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 16, 16), 0u);
    MoveToEx(c.dc, 0, 19, nullptr);
    LineTo(c.dc, 5, 19);
    EXPECT_EQ(GetPixel(c.dc, 4, 19), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(c.dc, 5, 19), 0u) << "the end point is not drawn";
    LineTo(c.dc, 2000000000, -2000000000);  // clipped, not stepped through
    RECT r{18, 0, 25, 2};
    FillRect(c.dc, &r, red);
    EXPECT_EQ(GetPixel(c.dc, 19, 1), RGB(255, 0, 0));

    SelectObject(c.dc, oldPen);
    SelectObject(c.dc, oldBrush);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_TRUE(DeleteObject(red));
}

TEST(GdiText, RendersGlyphsAndMeasures)
{
    Canvas c(200, 40, 24);
    BitBlt(c.dc, 0, 0, 200, 40, nullptr, 0, 0, WHITENESS);
    LOGFONT lf;
    lf.lfHeight = -24;
    lf.lfWeight = 400;
    std::snprintf(lf.lfFaceName, sizeof(lf.lfFaceName), "DejaVu Sans");
    HFONT font = CreateFontIndirect(&lf);
    HGDIOBJ old = SelectObject(c.dc, font);
    SetBkMode(c.dc, TRANSPARENT);
    SetTextColor(c.dc, 0);
    ASSERT_TRUE(TextOut(c.dc, 2, 2, "Gallery", 7));
    const int black = c.count(0, 200, 40);
    EXPECT_GT(black, 80);
    EXPECT_EQ(c.count(0, 200, 40) + c.count(0xFFFFFF, 200, 40), 200 * 40) << "no grey edges: glyphs are monochrome";
    SIZE shortText, longText;
    GetTextExtentPoint32(c.dc, "Ga", 2, &shortText);
    GetTextExtentPoint32(c.dc, "Gallery", 7, &longText);
    EXPECT_GT(longText.cx, shortText.cx);
    EXPECT_GE(longText.cy, 24);

    lf.lfUnderline = 1;
    lf.lfWeight = 700;
    HFONT bold = CreateFontIndirect(&lf);
    SelectObject(c.dc, bold);
    SIZE boldText;
    GetTextExtentPoint32(c.dc, "Gallery", 7, &boldText);
    EXPECT_GT(boldText.cx, longText.cx);
    BitBlt(c.dc, 0, 0, 200, 40, nullptr, 0, 0, WHITENESS);
    TextOut(c.dc, 0, 0, "_", 0);  // nothing
    TextOut(c.dc, 0, 0, "--", 2);
    SIZE dashes;
    GetTextExtentPoint32(c.dc, "--", 2, &dashes);
    int underlineRow = 0;
    for (int y = 0; y < 40; ++y) {
        int n = 0;
        for (int x = 0; x < dashes.cx; ++x) n += GetPixel(c.dc, x, y) == 0;
        if (n == dashes.cx && y > 18) underlineRow = y;
    }
    EXPECT_GT(underlineRow, 0) << "the underline runs under the whole text";

    // Opaque mode fills the text cell with the background colour first.
    BitBlt(c.dc, 0, 0, 200, 40, nullptr, 0, 0, WHITENESS);
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, RGB(255, 0, 0));
    TextOut(c.dc, 0, 0, "ab", 2);
    SIZE ab;
    GetTextExtentPoint32(c.dc, "ab", 2, &ab);
    EXPECT_GT(c.count(RGB(255, 0, 0), 200, 40), ab.cx * ab.cy / 3);
    EXPECT_EQ(GetPixel(c.dc, ab.cx + 2, 2), 0xFFFFFFu);
    SetBkMode(c.dc, TRANSPARENT);

    lf.lfUnderline = 0;
    lf.lfWeight = 400;
    lf.lfItalic = 1;
    HFONT italic = CreateFontIndirect(&lf);
    EXPECT_NE(ResolvedFontFile(italic), ResolvedFontFile(font)) << "an italic face is chosen";
    DeleteObject(italic);
    std::snprintf(lf.lfFaceName, sizeof(lf.lfFaceName), "No Such Face Anywhere");
    HFONT missing = CreateFontIndirect(&lf);
    EXPECT_FALSE(ResolvedFontFile(missing).empty());
    // A stored Windows face that is not installed draws with the named fallback.
    LOGFONT verdana;
    verdana.lfHeight = -19;
    std::snprintf(verdana.lfFaceName, sizeof(verdana.lfFaceName), "Verdana");
    HFONT stored = CreateFontIndirect(&verdana);
    LOGFONT named = verdana;
    std::snprintf(named.lfFaceName, sizeof(named.lfFaceName), "%s", FallbackFontFace);
    HFONT fallback = CreateFontIndirect(&named);
    if (ResolvedFontFile(stored).find("erdana") == std::string::npos) {
        EXPECT_EQ(ResolvedFontFile(stored), ResolvedFontFile(fallback));
    }
    EXPECT_NE(ResolvedFontFile(fallback).find("DejaVuSans"), std::string::npos);
    DeleteObject(stored);
    DeleteObject(fallback);
    SelectObject(c.dc, old);
    DeleteObject(font);
    DeleteObject(bold);
    DeleteObject(missing);
}

TEST(GdiNullDC, EveryCallDoesNothing)
{
    EXPECT_FALSE(BitBlt(nullptr, 0, 0, 5, 5, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(nullptr, 0, 0, 5, 5, nullptr, 0, 0, 1, 1, SRCCOPY));
    EXPECT_EQ(SetPixel(nullptr, 0, 0, 0), CLR_INVALID);
    EXPECT_FALSE(TextOut(nullptr, 0, 0, "x", 1));
    EXPECT_FALSE(Polygon(nullptr, nullptr, 3));
    EXPECT_EQ(SelectObject(nullptr, GetStockObject(BLACK_PEN)), nullptr);
    HDC empty = CreateCompatibleDC(nullptr);  // no bitmap selected yet
    EXPECT_FALSE(Rectangle(empty, 0, 0, 4, 4));
    EXPECT_EQ(GetPixel(empty, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetDeviceCaps(GetDC(nullptr), BITSPIXEL), 32);
    DeleteDC(empty);
}

}  // namespace
