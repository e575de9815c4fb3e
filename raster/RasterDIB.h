#pragma once
// The pixel buffer every picture operation works on: a device-independent
// bitmap of 1, 4, 8, 16, 24 or 32 bits per pixel, either a DIB section
// selected into its own memory DC (so GDI can draw on it) or plain heap
// memory. Its fields are public: picture code reads them directly.

#include "platform/core/CheckedSizes.h"
#include "platform/core/Exception.h"
#include "platform/core/ZeroedBytes.h"
#include "platform/cpu/Cpu.h"
#include "platform/gdi/Gdi.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#pragma pack(push, 1)
// Three bytes blue, green, red: the layout of a 24-bit pixel.
struct TColorTriple {
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;

    friend bool operator==(const TColorTriple&, const TColorTriple&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TColorTriple) == 3);

inline constexpr TColorTriple BlackTriple{0, 0, 0};
inline constexpr TColorTriple WhiteTriple{255, 255, 255};

// Raised by the buffer when a size cannot be had (more than 2^28 pixels, or
// memory refused) and by the RLE decoders on malformed data.
class ERasterError : public Exception {
public:
    using Exception::Exception;
};

// The process's processor record, filled once when the program starts.
// Do not read it from other static initialisers.
extern TCPUInfo CPUInfo;

class TRasterDIB {
public:
    HDC DC = nullptr;              // own memory DC; null when UseGDI is false
    HBRUSH Brush = nullptr;        // last brush made by SetBrush (owned)
    HPEN Pen = nullptr;            // last pen made by SetPen (owned)
    HFONT Font = nullptr;          // last font made by SetFont / SetFontFrom (owned)
    HBITMAP Handle = nullptr;      // the DIB section; null when UseGDI is false
    std::int32_t Stride = 0;       // bytes per row, a multiple of 4
    std::int32_t AbsHeight = 0;    // |Header.Height|
    std::int32_t RowGap = 0;       // padding bytes at the end of each row
    std::uint8_t* Bits = nullptr;  // first byte of pixel memory (lowest row in memory)
    RGBQUAD* ColorTable;           // always &Colors[0]
    BITMAPINFOHEADER Header;       // Width, Height (sign kept), BitCount, Compression, ImageSize ...
    RGBQUAD Colors[256];           // palette; at 16/32 bpp entries 0..2 hold the red, green, blue masks
    std::uint8_t BlueBits = 0, GreenBits = 0, RedBits = 0;
    std::uint8_t BlueLoss = 0, GreenLoss = 0, RedLoss = 0;
    std::uint8_t GreenShift = 0, RedShift = 0;
    std::vector<std::uint8_t*> Rows;  // Rows[i] = Bits + i * Stride, memory order
    bool UseGDI = true;
    bool OwnsDC = false, OwnsBits = false, OwnsHandle = false;

    TRasterDIB();
    ~TRasterDIB();
    TRasterDIB(const TRasterDIB&) = delete;
    TRasterDIB& operator=(const TRasterDIB&) = delete;

    // Width and bit count, for readability at call sites.
    std::int32_t Width() const { return Header.Width; }
    int BitCount() const { return Header.BitCount; }
    // The index into Rows of row y counted from the top: a positive header
    // height keeps the bottom row first in memory.
    std::int64_t RowFromTop(std::int64_t y) const { return Header.Height > 0 ? std::int64_t(AbsHeight) - 1 - y : y; }

    // --- life and size -------------------------------------------------
    void FreeHandles();
    // bitCount 0 = the screen's depth. Height keeps its sign. Raises
    // ERasterError when width x height exceeds MaxPixelCount or memory is
    // refused; a width or height of 0 gives an empty buffer (no rows).
    void SetSize(std::int32_t width, std::int32_t height, int bitCount);
    void SetSizeIndirect(const BITMAPINFO& info);
    // The sizing routine itself; externalBits, when given, becomes Bits
    // (nothing is allocated or released for it).
    void SetSizeEx(std::int32_t width, std::int32_t height, int bitCount, int redBits, int greenBits, int blueBits,
                   std::uint8_t* externalBits = nullptr);
    // Takes every resource of other; other is left empty and owning nothing.
    void TakeOver(TRasterDIB& other);
    void TakeOver(std::unique_ptr<TRasterDIB> other);
    void LoadFromHandle(HBITMAP bitmap);
    void UpdateColorTable();

    // --- pixels (row = index into Rows, memory order) -------------------
    // Out-of-range rows and columns read nothing and write nothing.
    void GetPixelColor(int row, int column, TColorTriple& triple) const;
    void SetPixelColor(int row, int column, const TColorTriple& triple);
    int GetPixelIndex(int row, int column) const;  // 0 where there is none
    void SetPixelIndex(int row, int column, int index);
    void Clear(const TColorTriple& triple);

    // --- drawing on other DCs --------------------------------------------
    void Draw(HDC dc, int x, int y);
    void StretchDraw(HDC dc, int x, int y, int w, int h);
    void TileDraw(HDC dc, int x, int y, int w, int h);

    // --- GDI wrappers on the own DC ----------------------------------------
    void SetPen(int style, int width, COLORREF colour);
    void SetBrush(std::uint32_t style, COLORREF colour, int hatch);
    void SetFont(const std::string& face, int width, int height, int weight, bool italic, bool underline,
                 bool strikeOut);
    void SetFontFrom(const std::string& face, const TGdiFontInfo& font);
    void SetTextColor(COLORREF colour);
    void SetTransparent(bool transparent);
    void SetBkColor(COLORREF colour);
    void TextOut(int x, int y, const std::string& text);
    SIZE TextExtent(const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    // Polygon through points[0..n] (n + 1 points).
    void Polygon(const TPoint* points, int n);

    // --- whole buffer --------------------------------------------------------
    // Fills Colors[first..last] from at least two colours, then UpdateColorTable.
    void MakeGradientPalette(int first, int last, std::span<const TColorTriple> colours);
    int CountColors() const;
    // Writes the buffer as a BMP file (same layout as WriteBmpFile); raises on failure.
    void SaveToFile(const std::string& fileName) const;

    // RLE decoders into this buffer, already sized by its header. Runs,
    // deltas and literal groups are bounded by the row and the buffer;
    // data that would reach past them raises ERasterError. True when the
    // data reached its end code or the end of the last row, false when it
    // ran out before (the rows not reached stay as they were).
    bool DecodeRLE8(const std::uint8_t* data, std::size_t size);
    bool DecodeRLE4(const std::uint8_t* data, std::size_t size);

private:
    void releaseGdiObjects();
    // Selects object into DC (if any) and deletes what it replaces there.
    void replaceSelected(HGDIOBJ object, HGDIOBJ previousField);
    BITMAPINFO makeInfo() const;
    TZeroedBytes heap_;  // pixel memory when UseGDI is false
};

// Coordinates count from the top of each picture; see RasterDIB.cpp.
void CopyDIBRect(TRasterDIB& dst, const TRasterDIB& src, int dstX, int dstY, int width, int height, int srcX, int srcY);
// Exchanges bits 0-7 and 16-23; bits 24-31 of the result are 0.
std::uint32_t SwapRedBlue(std::uint32_t colour);
// From a GDI colour 0x00BBGGRR.
TColorTriple ColorToTriple(COLORREF colour);
// Over entries 0..maxIndex, the first of the nearest by |dB|+|dG|+|dR|.
int NearestPaletteIndex(const RGBQUAD* colours, int maxIndex, const TColorTriple& triple);
// Expands an n-bit channel field to 8 bits.
std::uint8_t ExpandField(std::uint32_t value, int bits);
