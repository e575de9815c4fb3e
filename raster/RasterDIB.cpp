// The pixel buffer: sizing, pixels, colour helpers and GDI wrappers.

#include "raster/RasterDIB.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

TCPUInfo CPUInfo = ReadCPUInfo();

namespace {

bool supportedBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::uint32_t fieldMask(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (std::uint32_t(1) << bits) - 1; }

// Width of a channel mask: highest set bit minus lowest set bit plus one.
int maskWidth(std::uint32_t mask)
{
    if (mask == 0) return 0;
    int low = 0, high = 31;
    while (!((mask >> low) & 1)) ++low;
    while (!((mask >> high) & 1)) --high;
    return high - low + 1;
}

std::uint32_t loadWord(const RGBQUAD& q)
{
    std::uint32_t v;
    std::memcpy(&v, &q, 4);
    return v;
}
void storeWord(RGBQUAD& q, std::uint32_t v) { std::memcpy(static_cast<void*>(&q), &v, 4); }

std::uint8_t lossOf(int bits) { return std::uint8_t(bits < 8 ? 8 - bits : 0); }

}  // namespace

std::uint8_t ExpandField(std::uint32_t v, int bits)
{
    switch (bits) {
    case 1: return v ? 255 : 0;
    case 2: return std::uint8_t(v << 6 | v << 4 | v << 2 | v);
    case 3: return std::uint8_t(v << 5 | v << 2 | v >> 1);
    case 4: return std::uint8_t(v << 4 | v);
    case 5: return std::uint8_t(v << 3 | v >> 2);
    case 6: return std::uint8_t(v << 2 | v >> 4);
    case 7: return std::uint8_t(v << 1 | v >> 6);
    }
    return std::uint8_t(v);
}

std::uint32_t SwapRedBlue(std::uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

TColorTriple ColorToTriple(COLORREF c)
{
    return TColorTriple{std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)};
}

int NearestPaletteIndex(const RGBQUAD* colours, int maxIndex, const TColorTriple& t)
{
    int best = 765, index = 0;
    for (int i = 0; i <= maxIndex && i < 256; ++i) {
        const int d = std::abs(int(colours[i].rgbBlue) - t.Blue) + std::abs(int(colours[i].rgbGreen) - t.Green) +
                      std::abs(int(colours[i].rgbRed) - t.Red);
        if (d < best) {
            best = d;
            index = i;
        }
    }
    return index;
}

// --- life and size -----------------------------------------------------------

TRasterDIB::TRasterDIB() : ColorTable(Colors) {}

TRasterDIB::~TRasterDIB() { FreeHandles(); }

void TRasterDIB::releaseGdiObjects()
{
    if (DC && OwnsDC) DeleteDC(DC);
    DC = nullptr;
    OwnsDC = false;
    if (Handle && OwnsHandle) DeleteObject(Handle);
    Handle = nullptr;
    OwnsHandle = false;
    if (Pen) DeleteObject(Pen);
    if (Font) DeleteObject(Font);
    if (Brush) DeleteObject(Brush);
    Pen = nullptr;
    Font = nullptr;
    Brush = nullptr;
}

void TRasterDIB::FreeHandles()
{
    releaseGdiObjects();
    Rows.clear();
    if (OwnsBits) heap_ = {};
    OwnsBits = false;
    Bits = nullptr;
}

BITMAPINFO TRasterDIB::makeInfo() const
{
    BITMAPINFO info;
    info.bmiHeader = Header;
    std::copy(std::begin(Colors), std::end(Colors), info.bmiColors);
    return info;
}

void TRasterDIB::SetSize(std::int32_t width, std::int32_t height, int bitCount)
{
    SetSizeEx(width, height, bitCount, 0, 0, 0);
}

void TRasterDIB::SetSizeEx(std::int32_t width, std::int32_t height, int bitCount, int redBits, int greenBits,
                           int blueBits, std::uint8_t* externalBits)
{
    if (bitCount == 0) {
        // The screen's depth; ours is always 32 bits with 8-bit channels.
        bitCount = GetDeviceCaps(GetDC(nullptr), BITSPIXEL);
        if (bitCount == 32) redBits = greenBits = blueBits = 8;
    }
    if (!supportedBitCount(bitCount)) throw ERasterError("Unsupported bit count " + std::to_string(bitCount));
    if (width < 0 || height == INT32_MIN)
        throw ERasterError("Invalid picture size " + std::to_string(width) + " x " + std::to_string(height));
    const std::int64_t absHeight = height < 0 ? -std::int64_t(height) : height;
    if (std::int64_t(width) * absHeight > std::int64_t(MaxPixelCount))
        throw ERasterError("Picture too large: " + std::to_string(width) + " x " + std::to_string(absHeight));
    if (bitCount != 16 && bitCount != 32) redBits = greenBits = blueBits = 0;
    if (redBits < 0 || greenBits < 0 || blueBits < 0 || redBits + greenBits + blueBits > bitCount)
        throw ERasterError("Channel widths do not fit " + std::to_string(bitCount) + " bits");

    if (redBits || greenBits || blueBits) {
        Header.Compression = BI_BITFIELDS;
    } else {
        Header.Compression = BI_RGB;
        if (bitCount == 16) redBits = greenBits = blueBits = 5;
        if (bitCount == 32) redBits = greenBits = blueBits = 8;
    }
    if (bitCount == 16 || bitCount == 32) {
        const std::uint64_t blue = fieldMask(blueBits);
        const std::uint64_t green = std::uint64_t(fieldMask(greenBits)) << blueBits;
        const std::uint64_t red = std::uint64_t(fieldMask(redBits)) << (blueBits + greenBits);
        storeWord(Colors[0], std::uint32_t(red));
        storeWord(Colors[1], std::uint32_t(green));
        storeWord(Colors[2], std::uint32_t(blue));
    }
    if (!externalBits && width == Header.Width && height == Header.Height && bitCount == Header.BitCount &&
        redBits == RedBits && greenBits == GreenBits && blueBits == BlueBits && (Bits || width == 0 || height == 0))
        return;

    Header.Size = 40;
    Header.Planes = 1;
    // A colour count can only name entries of this depth's table.
    if (bitCount > 8) Header.ClrUsed = 0;
    Header.ClrUsed = std::min<std::uint32_t>(Header.ClrUsed, bitCount <= 8 ? 1u << bitCount : 0u);
    Header.ClrImportant = std::min(Header.ClrImportant, Header.ClrUsed);
    Header.Width = width;
    Header.Height = height;
    Header.BitCount = std::uint16_t(bitCount);
    AbsHeight = std::int32_t(absHeight);
    RedBits = std::uint8_t(redBits);
    GreenBits = std::uint8_t(greenBits);
    BlueBits = std::uint8_t(blueBits);
    RedLoss = lossOf(redBits);
    GreenLoss = lossOf(greenBits);
    BlueLoss = lossOf(blueBits);
    GreenShift = std::uint8_t(blueBits);
    RedShift = std::uint8_t(blueBits + greenBits);
    std::int64_t rowBits;
    if (bitCount == 1)
        rowBits = (std::int64_t(width) + 7) / 8 * 8;
    else if (bitCount == 4)
        rowBits = (std::int64_t(width) * 4 + 7) / 8 * 8;
    else
        rowBits = std::int64_t(width) * bitCount;
    Stride = std::int32_t((rowBits + 31) / 32 * 4);
    RowGap = Stride - std::int32_t((rowBits + 7) / 8);
    Header.ImageSize = std::uint32_t(std::int64_t(Stride) * absHeight);

    FreeHandles();
    if (externalBits) {
        Bits = externalBits;
    } else if (width > 0 && absHeight > 0) {
        if (UseGDI) {
            const BITMAPINFO info = makeInfo();
            void* bits = nullptr;
            HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits);
            if (!section || !bits) {
                AbsHeight = 0;
                throw ERasterError("Not enough memory for a picture of " + std::to_string(width) + " x " +
                                   std::to_string(absHeight));
            }
            Handle = section;
            OwnsHandle = true;
            DC = CreateCompatibleDC(GetDC(nullptr));
            OwnsDC = true;
            SelectObject(DC, Handle);
            Bits = static_cast<std::uint8_t*>(bits);
        } else {
            try {
                heap_ = TZeroedBytes(std::size_t(Header.ImageSize));
            } catch (const std::bad_alloc&) {
                AbsHeight = 0;
                throw ERasterError("Not enough memory for a picture of " + std::to_string(width) + " x " +
                                   std::to_string(absHeight));
            }
            Bits = heap_.data();
            OwnsBits = true;
        }
    }
    if (!Bits) AbsHeight = 0;  // an empty buffer has no rows to address
    Rows.resize(std::size_t(AbsHeight));
    for (std::int32_t i = 0; i < AbsHeight; ++i) Rows[std::size_t(i)] = Bits + std::int64_t(i) * Stride;
}

void TRasterDIB::SetSizeIndirect(const BITMAPINFO& info)
{
    const BITMAPINFOHEADER& h = info.bmiHeader;
    std::uint32_t compression = h.Compression;
    if (compression == BI_RLE8 || compression == BI_RLE4)
        compression = (loadWord(info.bmiColors[0]) || loadWord(info.bmiColors[1]) || loadWord(info.bmiColors[2]))
                          ? BI_BITFIELDS
                          : BI_RGB;
    int red = 0, green = 0, blue = 0;
    if ((h.BitCount == 16 || h.BitCount == 32) && compression == BI_BITFIELDS) {
        red = maskWidth(loadWord(info.bmiColors[0]));
        green = maskWidth(loadWord(info.bmiColors[1]));
        blue = maskWidth(loadWord(info.bmiColors[2]));
    }
    if (h.BitCount <= 8) std::copy(std::begin(info.bmiColors), std::end(info.bmiColors), Colors);
    Header.XPelsPerMeter = h.XPelsPerMeter;
    Header.YPelsPerMeter = h.YPelsPerMeter;
    // A colour count past the table would make the writer read past Colors.
    const std::uint32_t tableSize = h.BitCount <= 8 ? (1u << h.BitCount) : 256u;
    Header.ClrUsed = std::min(h.ClrUsed, tableSize);
    Header.ClrImportant = std::min(h.ClrImportant, Header.ClrUsed ? Header.ClrUsed : tableSize);
    SetSizeEx(h.Width, h.Height, h.BitCount, red, green, blue);
}

void TRasterDIB::TakeOver(TRasterDIB& other)
{
    if (&other == this) return;
    FreeHandles();
    DC = other.DC;
    Brush = other.Brush;
    Pen = other.Pen;
    Font = other.Font;
    Handle = other.Handle;
    Stride = other.Stride;
    AbsHeight = other.AbsHeight;
    RowGap = other.RowGap;
    Bits = other.Bits;
    Header = other.Header;
    std::copy(std::begin(other.Colors), std::end(other.Colors), Colors);
    BlueBits = other.BlueBits;
    GreenBits = other.GreenBits;
    RedBits = other.RedBits;
    BlueLoss = other.BlueLoss;
    GreenLoss = other.GreenLoss;
    RedLoss = other.RedLoss;
    GreenShift = other.GreenShift;
    RedShift = other.RedShift;
    Rows = std::move(other.Rows);
    OwnsDC = other.OwnsDC;
    OwnsBits = other.OwnsBits;
    OwnsHandle = other.OwnsHandle;
    heap_ = std::move(other.heap_);  // moving keeps the memory where Bits points

    other.DC = nullptr;
    other.Brush = nullptr;
    other.Pen = nullptr;
    other.Font = nullptr;
    other.Handle = nullptr;
    other.Bits = nullptr;
    other.Rows.clear();
    other.heap_ = {};
    other.OwnsDC = other.OwnsBits = other.OwnsHandle = false;
    other.AbsHeight = 0;
    other.Header.Width = 0;
    other.Header.Height = 0;
    other.Header.ImageSize = 0;
}

void TRasterDIB::TakeOver(std::unique_ptr<TRasterDIB> other)
{
    if (other) TakeOver(*other);
}

void TRasterDIB::UpdateColorTable()
{
    if (DC && Header.BitCount <= 8) SetDIBColorTable(DC, 0, 1u << Header.BitCount, Colors);
}

void TRasterDIB::LoadFromHandle(HBITMAP bitmap)
{
    if (!bitmap) return;
    DIBSECTION ds;
    if (GetObject(bitmap, sizeof(DIBSECTION), &ds) == int(sizeof(DIBSECTION))) {
        BITMAPINFO info;
        info.bmiHeader = ds.dsBmih;
        for (int i = 0; i < 3; ++i) storeWord(info.bmiColors[i], ds.dsBitfields[i]);
        SetSizeIndirect(info);
        const auto* source = static_cast<const std::uint8_t*>(ds.dsBm.bmBits);
        if (!source) return;
        if (ds.dsBmih.Compression == BI_RLE8) {
            DecodeRLE8(source, ds.dsBmih.ImageSize);
        } else if (ds.dsBmih.Compression == BI_RLE4) {
            DecodeRLE4(source, ds.dsBmih.ImageSize);
        } else if (Bits) {
            std::memcpy(Bits, source, std::min(ds.dsBmih.ImageSize, Header.ImageSize));
        }
        if (Header.BitCount <= 8) {
            BITMAPINFO table = makeInfo();
            GetDIBits(DC, bitmap, 0, 0, nullptr, &table, DIB_RGB_COLORS);
            std::copy(table.bmiColors, table.bmiColors + 256, Colors);
            UpdateColorTable();
        }
        return;
    }
    BITMAP bm;
    if (GetObject(bitmap, sizeof(BITMAP), &bm) != int(sizeof(BITMAP))) return;
    SetSize(bm.bmWidth, bm.bmHeight, 0);
    if (!Bits) return;
    BITMAPINFO info = makeInfo();
    GetDIBits(GetDC(nullptr), bitmap, 0, unsigned(AbsHeight), Bits, &info, DIB_RGB_COLORS);
    if (Header.BitCount <= 8) {
        std::copy(info.bmiColors, info.bmiColors + 256, Colors);
        UpdateColorTable();
    }
}

// --- pixels ------------------------------------------------------------------

void TRasterDIB::GetPixelColor(int row, int column, TColorTriple& t) const
{
    if (unsigned(row) >= Rows.size() || unsigned(column) >= unsigned(Header.Width)) return;
    const std::uint8_t* p = Rows[std::size_t(row)];
    switch (Header.BitCount) {
    case 1:
    case 4:
    case 8: {
        const RGBQUAD& q = Colors[GetPixelIndex(row, column)];
        t = TColorTriple{q.rgbBlue, q.rgbGreen, q.rgbRed};
        return;
    }
    case 16: {
        const std::uint32_t v = std::uint32_t(p[2 * column]) | std::uint32_t(p[2 * column + 1]) << 8;
        t.Blue = ExpandField(v & fieldMask(BlueBits), BlueBits);
        t.Green = ExpandField((v >> GreenShift) & fieldMask(GreenBits), GreenBits);
        t.Red = ExpandField((std::uint64_t(v) >> RedShift) & fieldMask(RedBits), RedBits);
        return;
    }
    case 24:
        p += 3 * column;
        t = TColorTriple{p[0], p[1], p[2]};
        return;
    case 32:
        p += 4 * column;
        if (Header.Compression == BI_BITFIELDS) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            t.Blue = ExpandField(v & fieldMask(BlueBits), BlueBits);
            t.Green = ExpandField((v >> (GreenShift & 31)) & fieldMask(GreenBits), GreenBits);
            t.Red = ExpandField(RedShift >= 32 ? 0 : (v >> RedShift) & fieldMask(RedBits), RedBits);
        } else {
            t = TColorTriple{p[0], p[1], p[2]};
        }
        return;
    }
}

namespace {
std::uint32_t packPixel(const TRasterDIB& d, const TColorTriple& t)
{
    const std::uint64_t v = (std::uint64_t(t.Red >> d.RedLoss) << d.RedShift) |
                            (std::uint64_t(t.Green >> d.GreenLoss) << d.GreenShift) | (t.Blue >> d.BlueLoss);
    return std::uint32_t(v);
}
}  // namespace

void TRasterDIB::SetPixelColor(int row, int column, const TColorTriple& t)
{
    if (unsigned(row) >= Rows.size() || unsigned(column) >= unsigned(Header.Width)) return;
    std::uint8_t* p = Rows[std::size_t(row)];
    switch (Header.BitCount) {
    case 1:
    case 4:
    case 8: SetPixelIndex(row, column, NearestPaletteIndex(Colors, (1 << Header.BitCount) - 1, t)); return;
    case 16: {
        const std::uint32_t v = packPixel(*this, t);
        p[2 * column] = std::uint8_t(v);
        p[2 * column + 1] = std::uint8_t(v >> 8);
        return;
    }
    case 24:
        p += 3 * column;
        p[0] = t.Blue;
        p[1] = t.Green;
        p[2] = t.Red;
        return;
    case 32:
        p += 4 * column;
        if (Header.Compression == BI_BITFIELDS) {
            const std::uint32_t v = packPixel(*this, t);
            std::memcpy(p, &v, 4);
        } else {
            p[0] = t.Blue;
            p[1] = t.Green;
            p[2] = t.Red;
        }
        return;
    }
}

int TRasterDIB::GetPixelIndex(int row, int column) const
{
    if (unsigned(row) >= Rows.size() || unsigned(column) >= unsigned(Header.Width)) return 0;
    const std::uint8_t* p = Rows[std::size_t(row)];
    switch (Header.BitCount) {
    case 1: return (p[column >> 3] >> (7 - (column & 7))) & 1;
    case 4: return (column & 1) ? p[column >> 1] & 15 : p[column >> 1] >> 4;
    case 8: return p[column];
    }
    return 0;
}

void TRasterDIB::SetPixelIndex(int row, int column, int index)
{
    if (unsigned(row) >= Rows.size() || unsigned(column) >= unsigned(Header.Width)) return;
    std::uint8_t* p = Rows[std::size_t(row)];
    switch (Header.BitCount) {
    case 1: {
        const std::uint8_t bit = std::uint8_t(0x80 >> (column & 7));
        p[column >> 3] = (index & 1) ? (p[column >> 3] | bit) : (p[column >> 3] & ~bit);
        return;
    }
    case 4: {
        std::uint8_t& b = p[column >> 1];
        b = (column & 1) ? std::uint8_t((b & 0xF0) | (index & 15)) : std::uint8_t((b & 0x0F) | ((index & 15) << 4));
        return;
    }
    case 8: p[column] = std::uint8_t(index); return;
    }
}

void TRasterDIB::Clear(const TColorTriple& t)
{
    if (!Bits || Rows.empty()) return;
    const int bits = Header.BitCount;
    if (bits == 24) {
        std::uint8_t* first = Rows[0];
        for (std::int32_t x = 0; x < Header.Width; ++x) {
            first[3 * x] = t.Blue;
            first[3 * x + 1] = t.Green;
            first[3 * x + 2] = t.Red;
        }
        for (std::size_t r = 1; r < Rows.size(); ++r) std::memcpy(Rows[r], first, std::size_t(Header.Width) * 3);
        return;
    }
    std::uint32_t pattern;
    switch (bits) {
    case 1: pattern = NearestPaletteIndex(Colors, 1, t) ? 0xFFFFFFFFu : 0u; break;
    case 4: pattern = 0x11111111u * std::uint32_t(NearestPaletteIndex(Colors, 15, t)); break;
    case 8: pattern = 0x01010101u * std::uint32_t(NearestPaletteIndex(Colors, 255, t)); break;
    case 16: {
        const std::uint32_t v = packPixel(*this, t) & 0xFFFF;
        pattern = v | (v << 16);
        break;
    }
    case 32:
        // The fourth byte of a plain 32-bit pixel is cleared to 0.
        pattern = Header.Compression == BI_BITFIELDS
                      ? packPixel(*this, t)
                      : std::uint32_t(t.Blue) | std::uint32_t(t.Green) << 8 | std::uint32_t(t.Red) << 16;
        break;
    default: return;
    }
    const std::size_t size = Header.ImageSize;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) std::memcpy(Bits + i, &pattern, 4);
    for (std::size_t k = 0; i < size; ++i, ++k) Bits[i] = std::uint8_t(pattern >> (8 * k));
}

// --- drawing on other DCs ------------------------------------------------------

void TRasterDIB::Draw(HDC dc, int x, int y)
{
    if (!Bits) return;
    if (DC) {
        BitBlt(dc, x, y, Header.Width, AbsHeight, DC, 0, 0, SRCCOPY);
    } else {
        const BITMAPINFO info = makeInfo();
        StretchDIBits(dc, x, y, Header.Width, AbsHeight, 0, 0, Header.Width, AbsHeight, Bits, &info, DIB_RGB_COLORS,
                      SRCCOPY);
    }
}

void TRasterDIB::StretchDraw(HDC dc, int x, int y, int w, int h)
{
    if (!Bits) return;
    if (DC) {
        StretchBlt(dc, x, y, w, h, DC, 0, 0, Header.Width, AbsHeight, SRCCOPY);
    } else {
        const BITMAPINFO info = makeInfo();
        StretchDIBits(dc, x, y, w, h, 0, 0, Header.Width, AbsHeight, Bits, &info, DIB_RGB_COLORS, SRCCOPY);
    }
}

void TRasterDIB::TileDraw(HDC dc, int x, int y, int w, int h)
{
    if (!dc || !Bits || Header.Width <= 0 || AbsHeight <= 0 || w <= 0 || h <= 0) return;
    HDC scratch = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, w, h);
    if (!canvas) {
        DeleteDC(scratch);
        return;
    }
    HGDIOBJ previous = SelectObject(scratch, canvas);
    Draw(scratch, 0, 0);
    // Double the filled strip to the right, then the filled band downwards.
    for (std::int64_t filled = Header.Width; filled < w; filled *= 2)
        BitBlt(scratch, int(filled), 0, int(filled), AbsHeight, scratch, 0, 0, SRCCOPY);
    for (std::int64_t filled = AbsHeight; filled < h; filled *= 2)
        BitBlt(scratch, 0, int(filled), w, int(filled), scratch, 0, 0, SRCCOPY);
    BitBlt(dc, x, y, w, h, scratch, 0, 0, SRCCOPY);
    SelectObject(scratch, previous);
    DeleteObject(canvas);
    DeleteDC(scratch);
}

// --- GDI wrappers ----------------------------------------------------------------

void TRasterDIB::replaceSelected(HGDIOBJ object, HGDIOBJ previousField)
{
    if (DC) {
        HGDIOBJ replaced = SelectObject(DC, object);
        if (replaced) DeleteObject(replaced);  // stock objects survive DeleteObject
        if (previousField && previousField != replaced) DeleteObject(previousField);
    } else if (previousField) {
        DeleteObject(previousField);
    }
}

void TRasterDIB::SetPen(int style, int width, COLORREF colour)
{
    HPEN pen = CreatePen(style, width, colour);
    replaceSelected(pen, Pen);
    Pen = pen;
}

void TRasterDIB::SetBrush(std::uint32_t style, COLORREF colour, int hatch)
{
    LOGBRUSH lb;
    lb.lbStyle = style;
    lb.lbColor = colour;
    lb.lbHatch = hatch;
    HBRUSH brush = CreateBrushIndirect(&lb);
    replaceSelected(brush, Brush);
    Brush = brush;
}

void TRasterDIB::SetFont(const std::string& face, int width, int height, int weight, bool italic, bool underline,
                         bool strikeOut)
{
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfStrikeOut = strikeOut;
    const std::size_t n = std::min<std::size_t>(face.size(), 31);
    std::memcpy(lf.lfFaceName, face.data(), n);
    lf.lfFaceName[n] = 0;
    HFONT font = CreateFontIndirect(&lf);
    replaceSelected(font, Font);
    Font = font;
}

void TRasterDIB::SetFontFrom(const std::string& face, const TGdiFontInfo& info)
{
    LOGFONT lf;
    lf.lfHeight = info.Height;
    lf.lfWeight = info.Bold ? 700 : 400;
    lf.lfItalic = info.Italic;
    lf.lfUnderline = info.Underline;
    lf.lfStrikeOut = info.StrikeOut;
    lf.lfCharSet = info.Charset;
    const std::size_t n = std::min<std::size_t>(face.size(), 31);
    std::memcpy(lf.lfFaceName, face.data(), n);
    lf.lfFaceName[n] = 0;
    HFONT font = CreateFontIndirect(&lf);
    replaceSelected(font, Font);
    Font = font;
}

void TRasterDIB::SetTextColor(COLORREF colour) { ::SetTextColor(DC, colour); }
void TRasterDIB::SetTransparent(bool transparent) { SetBkMode(DC, transparent ? TRANSPARENT : OPAQUE); }
void TRasterDIB::SetBkColor(COLORREF colour) { ::SetBkColor(DC, colour); }

void TRasterDIB::TextOut(int x, int y, const std::string& text) { ::TextOut(DC, x, y, text.data(), int(text.size())); }

SIZE TRasterDIB::TextExtent(const std::string& text)
{
    SIZE size;
    ::GetTextExtentPoint32(DC, text.data(), int(text.size()), &size);
    return size;
}
int TRasterDIB::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TRasterDIB::TextHeight(const std::string& text) { return TextExtent(text).cy; }

void TRasterDIB::Polygon(const TPoint* points, int n)
{
    if (points && n >= 0) ::Polygon(DC, points, n + 1);
}

// --- whole buffer ------------------------------------------------------------------

void TRasterDIB::MakeGradientPalette(int first, int last, std::span<const TColorTriple> colours)
{
    const std::int64_t k = std::int64_t(colours.size());
    if (k < 2 || first < 0 || last > 255 || first >= last) return;
    const std::int64_t n = last - first;
    const std::int64_t step = ((k - 1) * 65536) / n;
    auto put = [&](int index, const TColorTriple& t) {
        Colors[index].rgbBlue = t.Blue;
        Colors[index].rgbGreen = t.Green;
        Colors[index].rgbRed = t.Red;
    };
    TColorTriple next = colours[0];
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t p = i * step;
        const std::int64_t c = std::min<std::int64_t>(p >> 16, k - 1);
        const TColorTriple current = colours[std::size_t(c)];
        next = c + 1 < k ? colours[std::size_t(c + 1)] : current;
        const std::int64_t frac = p & 65535;
        const std::int64_t f = 65536 - frac;
        TColorTriple entry;
        if (f < step - f) {
            entry = next;
        } else if (frac < step - frac) {
            entry = current;
        } else {
            entry.Blue = std::uint8_t((current.Blue * f + next.Blue * frac) >> 16);
            entry.Green = std::uint8_t((current.Green * f + next.Green * frac) >> 16);
            entry.Red = std::uint8_t((current.Red * f + next.Red * frac) >> 16);
        }
        put(first + int(i), entry);
    }
    put(last, next);
    UpdateColorTable();
}

int TRasterDIB::CountColors() const
{
    if (!Bits || Rows.empty() || Header.Width <= 0) return 0;
    const int width = Header.Width;
    switch (Header.BitCount) {
    case 1: {
        const int firstPixel = GetPixelIndex(0, 0);
        for (int r = 0; r < AbsHeight; ++r)
            for (int x = 0; x < width; ++x)
                if (GetPixelIndex(r, x) != firstPixel) return 2;
        return 1;
    }
    case 4:
    case 8: {
        const int limit = 1 << Header.BitCount;
        bool seen[256] = {};
        int count = 0;
        for (int r = 0; r < AbsHeight; ++r)
            for (int x = 0; x < width; ++x) {
                const int i = GetPixelIndex(r, x);
                if (!seen[i]) {
                    seen[i] = true;
                    if (++count == limit) return count;
                }
            }
        return count;
    }
    case 16: {
        std::vector<bool> seen(65536);
        int count = 0;
        for (int r = 0; r < AbsHeight; ++r) {
            const std::uint8_t* p = Rows[std::size_t(r)];
            for (int x = 0; x < width; ++x) {
                const unsigned v = p[2 * x] | unsigned(p[2 * x + 1]) << 8;
                if (!seen[v]) {
                    seen[v] = true;
                    ++count;
                }
            }
        }
        return count;
    }
    case 24:
    case 32: {
        const int bytes = Header.BitCount / 8;
        std::vector<std::uint64_t> seen(std::size_t(1) << 18);
        int count = 0;
        for (int r = 0; r < AbsHeight; ++r) {
            const std::uint8_t* p = Rows[std::size_t(r)];
            for (int x = 0; x < width; ++x, p += bytes) {
                const std::uint32_t key = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                std::uint64_t& word = seen[key >> 6];
                const std::uint64_t bit = std::uint64_t(1) << (key & 63);
                if (!(word & bit)) {
                    word |= bit;
                    ++count;
                }
            }
        }
        return count;
    }
    }
    return 0;
}

// --- rectangles between buffers -------------------------------------------------------

void CopyDIBRect(TRasterDIB& dst, const TRasterDIB& src, int dstX, int dstY, int width, int height, int srcX, int srcY)
{
    if (!dst.Bits || !src.Bits || width <= 0 || height <= 0) return;
    // Work in rows counted from the top of each picture, so buffers of
    // opposite row order pair their rows without turning the picture over.
    std::int64_t dx = dstX, dy = dstY, sx = srcX, sy = srcY, w = width, h = height;
    // A start before 0 moves both starts on and shortens the run by as much.
    auto clip = [](std::int64_t& start, std::int64_t& other, std::int64_t& length) {
        if (start >= 0) return;
        other -= start;
        length += start;
        start = 0;
    };
    clip(dx, sx, w);
    clip(dy, sy, h);
    clip(sx, dx, w);
    clip(sy, dy, h);
    if (sx >= src.Header.Width || sy >= src.AbsHeight || dx >= dst.Header.Width || dy >= dst.AbsHeight) return;
    w = std::min({w, std::int64_t(src.Header.Width) - sx, std::int64_t(dst.Header.Width) - dx});
    h = std::min({h, std::int64_t(src.AbsHeight) - sy, std::int64_t(dst.AbsHeight) - dy});
    if (w <= 0 || h <= 0) return;
    const bool bytewise = src.Header.BitCount == dst.Header.BitCount && src.Header.BitCount >= 8;
    const int bytes = src.Header.BitCount / 8;
    // Within one buffer, walk the rows in the order that does not overwrite unread ones.
    const bool sameBuffer = &dst == &src;
    const bool backwards = sameBuffer && dy > sy;
    for (std::int64_t k = 0; k < h; ++k) {
        const std::int64_t i = backwards ? h - 1 - k : k;
        const std::int64_t sr = src.RowFromTop(sy + i), dr = dst.RowFromTop(dy + i);
        if (bytewise) {
            std::memmove(dst.Rows[std::size_t(dr)] + dx * bytes, src.Rows[std::size_t(sr)] + sx * bytes,
                         std::size_t(w * bytes));
        } else {
            for (std::int64_t x = 0; x < w; ++x) {
                const std::int64_t xi = sameBuffer && dx > sx ? w - 1 - x : x;
                TColorTriple t;
                src.GetPixelColor(int(sr), int(sx + xi), t);
                dst.SetPixelColor(int(dr), int(dx + xi), t);
            }
        }
    }
}
