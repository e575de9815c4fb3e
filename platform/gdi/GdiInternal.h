#pragma once
// Objects behind the GDI handles, shared by the bitmap, drawing and text parts.

#include "platform/core/ZeroedBytes.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <vector>

enum class GdiKind { Bitmap, Pen, Brush, Font };

struct GdiObject {
    explicit GdiObject(GdiKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    GdiKind kind;
    bool stock = false;
    int selections = 0;  // DCs holding it; a selected object cannot be deleted
};

// A pixel surface: a DIB section, a compatible bitmap, or a view over memory
// that a caller hands to StretchDIBits / GetDIBits.
struct GdiBitmap : GdiObject {
    GdiBitmap() : GdiObject(GdiKind::Bitmap) {}
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue at 16/32 bpp
    int shift[3] = {0, 0, 0};
    int width[3] = {0, 0, 0};
    bool isDIBSection = true;
    TZeroedBytes storage;  // owned, zero-filled memory (empty for a view)
    std::uint8_t* bits = nullptr;
    std::int64_t stride = 0;
    int absHeight = 0;
    bool bottomUp = true;

    int w() const { return header.Width; }
    int h() const { return absHeight; }
    int bpp() const { return header.BitCount; }
    // Row counted from the top of the picture.
    std::uint8_t* rowFromTop(int y) const { return bits + (bottomUp ? absHeight - 1 - y : y) * stride; }
    COLORREF read(int x, int y) const;
    void write(int x, int y, COLORREF colour);
};

struct GdiPen : GdiObject {
    GdiPen() : GdiObject(GdiKind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct GdiBrush : GdiObject {
    GdiBrush() : GdiObject(GdiKind::Brush) {}
    LOGBRUSH brush;
};

struct FontFace;  // FreeType face, in GdiText.cpp
struct GdiFont : GdiObject {
    GdiFont();
    ~GdiFont() override;
    LOGFONT logFont;
    std::shared_ptr<FontFace> face;  // resolved on first use, shared by fonts of the same description
};

struct GdiDC {
    bool screen = false;
    GdiBitmap* bitmap = nullptr;
    GdiPen* pen = nullptr;
    GdiBrush* brush = nullptr;
    GdiFont* font = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    TPoint position;
};

// Sets up format fields (stride, masks, palette size) from header; false when unsupported.
bool prepareSurface(GdiBitmap& surface, const BITMAPINFOHEADER& header, const RGBQUAD* colors);
// Expands an n-bit field to 8 bits by repeating its bits.
std::uint8_t expandBits(std::uint32_t value, int bits);
int nearestColorIndex(const RGBQUAD* colors, int count, COLORREF colour);
// Brush colour at (x, y) or CLR_INVALID where the brush leaves the pixel alone.
COLORREF brushColorAt(const GdiDC& dc, const GdiBrush* brush, int x, int y);
// Fills a span [x1, x2) of row y with the brush.
void fillSpan(GdiDC& dc, const GdiBrush* brush, int y, int x1, int x2);
bool isLiveDC(HDC dc);
