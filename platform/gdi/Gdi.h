#pragma once
// A small device layer in the manner of the Windows GDI, over plain memory:
// DIB sections (zero-filled), memory device contexts with a selected bitmap,
// pen, brush and font, blits and nearest-neighbour stretches, lines, polygons,
// rectangles and text through FreeType (monochrome glyphs at 96 DPI).
//
// Handles are opaque pointers owned by this layer; DeleteObject / DeleteDC
// release them. Every call that takes a null DC (or a DC without a bitmap)
// does nothing and returns 0 / false. Coordinates on a DC count from the top
// of the picture, whatever the row order of its bitmap.

#include "platform/core/Color.h"

#include <cstdint>
#include <string>

using COLORREF = TColor;  // 0x00BBGGRR

struct GdiObject;
struct GdiDC;
struct GdiBitmap;
struct GdiPen;
struct GdiBrush;
struct GdiFont;
using HGDIOBJ = GdiObject*;
using HDC = GdiDC*;
using HBITMAP = GdiBitmap*;
using HPEN = GdiPen*;
using HBRUSH = GdiBrush*;
using HFONT = GdiFont*;

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    std::uint32_t Size = 40;
    std::int32_t Width = 0;
    std::int32_t Height = 0;  // positive: rows stored bottom-up; negative: top-down
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;  // BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS
    std::uint32_t ImageSize = 0;
    std::int32_t XPelsPerMeter = 0;
    std::int32_t YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t ClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    std::uint8_t rgbBlue = 0;
    std::uint8_t rgbGreen = 0;
    std::uint8_t rgbRed = 0;
    std::uint8_t rgbReserved = 0;
};
static_assert(sizeof(RGBQUAD) == 4);

// Header plus a full 256-entry colour table (at 16/32 bpp with bit fields the
// first three entries are the red, green and blue masks).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};
#pragma pack(pop)

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr unsigned DIB_RGB_COLORS = 0;

// What GetObject fills for a bitmap.
struct BITMAP {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 1;
    std::uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr;
};
struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    std::uint32_t dsBitfields[3] = {0, 0, 0};
    void* dshSection = nullptr;
    std::uint32_t dsOffset = 0;
};

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};
struct SIZE {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};
struct RECT {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Raster operations understood by BitBlt / StretchBlt / StretchDIBits.
constexpr std::uint32_t SRCCOPY = 0x00CC0020;
constexpr std::uint32_t SRCPAINT = 0x00EE0086;   // dst | src
constexpr std::uint32_t SRCAND = 0x008800C6;     // dst & src
constexpr std::uint32_t SRCINVERT = 0x00660046;  // dst ^ src
constexpr std::uint32_t PATCOPY = 0x00F00021;    // the selected brush
constexpr std::uint32_t BLACKNESS = 0x00000042;
constexpr std::uint32_t WHITENESS = 0x00FF0062;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
// Brush styles and hatches.
constexpr std::uint32_t BS_SOLID = 0;
constexpr std::uint32_t BS_NULL = 1;
constexpr std::uint32_t BS_HOLLOW = 1;
constexpr std::uint32_t BS_HATCHED = 2;
constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

struct LOGBRUSH {
    std::uint32_t lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    std::intptr_t lbHatch = 0;
};

struct LOGFONT {
    std::int32_t lfHeight = 0;  // < 0: character (em) height in pixels; > 0: cell height
    std::int32_t lfWidth = 0;   // average character width; 0 = natural
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 0;  // 700 and above is bold
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};

// A LOGFONT-like description of a font: what SetFontFrom takes from a GUI
// font object.
struct TGdiFontInfo {
    std::int32_t Height = 0;  // as LOGFONT lfHeight
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::uint8_t Charset = 0;
};

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
// Stretch modes (every mode stretches by nearest neighbour here).
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
// GetDeviceCaps indexes.
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Colour helpers.
constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr std::uint8_t GetRValue(COLORREF c) { return std::uint8_t(c); }
constexpr std::uint8_t GetGValue(COLORREF c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t GetBValue(COLORREF c) { return std::uint8_t(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// --- device contexts -------------------------------------------------------
// The screen: a DC with no bitmap (drawing on it does nothing) reporting 32 bits per pixel.
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
// Selects a bitmap, pen, brush or font; returns the object it replaces
// (the DC's stock object the first time), or null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, int kind);  // kind: OBJ_PEN.. below
constexpr int OBJ_PEN = 1;
constexpr int OBJ_BRUSH = 2;
constexpr int OBJ_FONT = 6;
constexpr int OBJ_BITMAP = 7;
// Stock objects are never deleted by DeleteObject.
bool DeleteObject(HGDIOBJ object);
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int index);

// --- bitmaps ---------------------------------------------------------------
// A DIB section over zero-filled memory; *bits receives its first byte.
// Returns null (and *bits null) for unsupported depths, non-positive sizes,
// more than 2^28 pixels, or RLE compression.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, unsigned usage, void** bits, void* section = nullptr,
                         std::uint32_t offset = 0);
// A device-dependent bitmap: 32 bits per pixel, zero-filled; GetObject gives only a BITMAP.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Fills a BITMAP (size >= sizeof(BITMAP)) or, for a DIB section and
// size >= sizeof(DIBSECTION), a DIBSECTION; returns the bytes written (0 on failure).
int GetObject(HGDIOBJ object, int size, void* out);
// Copies `lines` rows starting at scan line `start` (counted from the bottom)
// of the bitmap into `bits` in the layout that `info` describes (1..32 bpp,
// BI_RGB or BI_BITFIELDS), filling the colour table of `info` at 8 bpp or less.
// With bits null only the header and colour table are filled. Returns the rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, unsigned start, unsigned lines, void* bits, BITMAPINFO* info, unsigned usage);
// Colour table of the DIB section selected into dc; return the entries moved.
unsigned SetDIBColorTable(HDC dc, unsigned start, unsigned count, const RGBQUAD* colors);
unsigned GetDIBColorTable(HDC dc, unsigned start, unsigned count, RGBQUAD* colors);

// --- blits -----------------------------------------------------------------
bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, std::uint32_t rop);
// Nearest neighbour; a negative width or height mirrors.
bool StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
                std::uint32_t rop);
// From packed rows in memory described by info (srcY counts from the bottom
// row of the source, as on Windows); returns the rows drawn.
int StretchDIBits(HDC dst, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, unsigned usage, std::uint32_t rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);

// --- pixels and shapes -----------------------------------------------------
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HBRUSH CreateSolidBrush(COLORREF color);
bool MoveToEx(HDC dc, int x, int y, TPoint* previous);
// Line from the current position to (x, y), the end point excluded.
bool LineTo(HDC dc, int x, int y);
bool Polyline(HDC dc, const TPoint* points, int count);
// Filled with the brush (alternate fill rule), outlined with the pen.
bool Polygon(HDC dc, const TPoint* points, int count);
// Brush inside, pen around; right and bottom edges excluded.
bool Rectangle(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// The dotted focus frame: every other pixel along the rectangle's edges
// inverted (XOR), so drawing it twice restores the picture.
bool DrawFocusRect(HDC dc, const RECT* rect);

// --- system colours and metrics (the desktop's classic defaults) -----------
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
// A colour number with the top bit set names a system colour by its index.
constexpr COLORREF SystemColor(int index) { return 0x80000000u | COLORREF(index); }
// The colour of a system colour index (0 for an unknown index).
COLORREF GetSysColor(int index);
// A system colour resolved to its RGB value; other colours as they are.
COLORREF ColorToRGB(COLORREF color);
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
// Scroll-bar thickness 17; 0 for metrics this layer does not know.
int GetSystemMetrics(int index);

// --- text ------------------------------------------------------------------
HFONT CreateFontIndirect(const LOGFONT* font);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
// (x, y) is the top-left corner of the text cell. Bytes are read as UTF-8
// where they form valid UTF-8, otherwise as Latin-1.
bool TextOut(HDC dc, int x, int y, const char* text, int length);
bool GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size);
// Ascent and descent of the selected font in pixels.
bool GetTextMetricsPixels(HDC dc, int* ascent, int* descent);
// The face a font whose own face is not installed draws with (fonts-dejavu-core).
inline constexpr const char* FallbackFontFace = "DejaVu Sans";
// File name of the font face that a LOGFONT resolves to (for diagnostics and tests).
std::string ResolvedFontFile(HFONT font);

// The objects behind the handles (so that every handle converts to HGDIOBJ).
#include "platform/gdi/GdiInternal.h"
