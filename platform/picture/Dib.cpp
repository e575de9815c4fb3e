#include "platform/picture/Dib.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace dib {

namespace {

std::uint32_t le32(std::span<const std::uint8_t> d, std::size_t at)
{
    if (at + 4 > d.size())
        invalidBitmap();
    return std::uint32_t(d[at]) | (std::uint32_t(d[at + 1]) << 8) | (std::uint32_t(d[at + 2]) << 16) |
           (std::uint32_t(d[at + 3]) << 24);
}

std::uint16_t le16(std::span<const std::uint8_t> d, std::size_t at)
{
    if (at + 2 > d.size())
        invalidBitmap();
    return std::uint16_t(d[at] | (d[at + 1] << 8));
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t maximum = 0;
    explicit Field(std::uint32_t m) : mask(m)
    {
        if (m != 0) {
            shift = std::countr_zero(m);
            maximum = m >> shift;
        }
    }
    std::uint8_t operator()(std::uint32_t pixel) const
    {
        if (maximum == 0)
            return 0;
        return std::uint8_t(std::uint64_t((pixel & mask) >> shift) * 255 / maximum);
    }
};

void decodeRle(const Header& h, std::span<const std::uint8_t> data, TBitmap& target)
{
    const bool four = h.compression == BI_RLE4;
    std::size_t pos = 0;
    int x = 0;
    int y = 0; // stored row, 0 = bottom
    auto put = [&](unsigned index) {
        if (x < h.width && y < h.height) {
            std::uint8_t* row = target.ScanLine(h.height - 1 - y);
            if (four) {
                if (x & 1)
                    row[x >> 1] = std::uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F));
                else
                    row[x >> 1] = std::uint8_t((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
            } else {
                row[x] = std::uint8_t(index);
            }
        }
        ++x;
    };
    while (pos + 2 <= data.size() && y < h.height) {
        unsigned count = data[pos];
        unsigned value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < h.width; ++i)
                put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta
            if (pos + 2 > data.size())
                return;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            break;
        default: { // absolute run of value pixels
            std::size_t bytes = four ? (value + 1) / 2 : value;
            if (pos + bytes > data.size())
                invalidBitmap();
            for (unsigned i = 0; i < value; ++i) {
                unsigned index = four ? ((i & 1) ? (data[pos + i / 2] & 0x0F) : (data[pos + i / 2] >> 4))
                                      : data[pos + i];
                if (x < h.width)
                    put(index);
            }
            pos += (bytes + 1) & ~std::size_t(1); // runs are word-aligned
        }
        }
    }
}

} // namespace

void invalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

std::size_t storedStride(int width, int bitCount)
{
    return (CheckedRowBytes(std::uint64_t(width), std::uint64_t(bitCount)) + 3) & ~std::size_t(3);
}

Header parseHeader(std::span<const std::uint8_t> data, bool iconMode)
{
    Header h;
    h.headerSize = le32(data, 0);
    std::int64_t height = 0;
    std::size_t colourSize = 4;
    std::uint32_t coloursUsed = 0;
    if (h.headerSize == 12) { // OS/2 core header
        h.width = le16(data, 4);
        height = le16(data, 6);
        h.bitCount = le16(data, 10);
        colourSize = 3;
    } else if (h.headerSize >= 40 && h.headerSize <= 124) {
        std::int32_t w = std::int32_t(le32(data, 4));
        std::int32_t ht = std::int32_t(le32(data, 8));
        if (w < 0 || ht == std::int32_t(0x80000000))
            invalidBitmap();
        h.width = w;
        height = ht;
        h.bitCount = le16(data, 14);
        h.compression = le32(data, 16);
        coloursUsed = le32(data, 32);
    } else {
        invalidBitmap();
    }
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    if (iconMode)
        height /= 2;
    h.height = int(height);
    if (h.width == 0 || h.height == 0)
        invalidBitmap();
    CheckedPixelCount(std::uint64_t(h.width), std::uint64_t(h.height));

    std::size_t pos = h.headerSize;
    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: invalidBitmap();
    }
    if (h.compression == BI_RLE8 && h.bitCount != 8)
        invalidBitmap();
    if (h.compression == BI_RLE4 && h.bitCount != 4)
        invalidBitmap();
    if ((h.compression == BI_RLE8 || h.compression == BI_RLE4) && h.topDown)
        invalidBitmap();
    if (h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) {
        if (h.bitCount != 16 && h.bitCount != 32)
            invalidBitmap();
        int count = h.compression == BI_ALPHABITFIELDS ? 4 : 3;
        // Version 4 and 5 headers hold the masks themselves.
        std::size_t at = h.headerSize >= 52 ? 40 : pos;
        for (int i = 0; i < count; ++i)
            h.masks[i] = le32(data, at + 4 * std::size_t(i));
        if (h.headerSize >= 56)
            h.masks[3] = le32(data, 52);
        if (h.headerSize < 52)
            pos += 4 * std::size_t(count);
    } else if (h.compression != BI_RGB && h.compression != BI_RLE8 && h.compression != BI_RLE4) {
        invalidBitmap();
    }
    if (h.bitCount <= 8) {
        std::size_t count = coloursUsed != 0 ? coloursUsed : (std::size_t(1) << h.bitCount);
        if (count > 256)
            invalidBitmap();
        if (pos + count * colourSize > data.size())
            invalidBitmap();
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = data.data() + pos + i * colourSize;
            h.palette.push_back({e[2], e[1], e[0], 0});
        }
        pos += count * colourSize;
    }
    if (pos > data.size())
        invalidBitmap(); // the header claims more than the data holds
    h.bytesUsed = pos;
    return h;
}

void decodePixels(const Header& h, std::span<const std::uint8_t> pixels, TBitmap& target)
{
    TPixelFormat format = pf24bit;
    bool copyRows = true;
    if (h.bitCount <= 8) {
        format = h.bitCount == 1 ? pf1bit : h.bitCount == 4 ? pf4bit : pf8bit;
    } else if (h.bitCount == 16) {
        if (h.compression == BI_RGB || (h.masks[0] == 0x7C00 && h.masks[1] == 0x3E0 && h.masks[2] == 0x1F)) {
            format = pf15bit;
        } else if (h.masks[0] == 0xF800 && h.masks[1] == 0x7E0 && h.masks[2] == 0x1F) {
            format = pf16bit;
        } else {
            format = pf24bit;
            copyRows = false;
        }
    } else if (h.bitCount == 24) {
        format = pf24bit;
    } else {
        format = pf32bit;
        copyRows = h.compression == BI_RGB ||
                   (h.masks[0] == 0xFF0000 && h.masks[1] == 0xFF00 && h.masks[2] == 0xFF &&
                    (h.masks[3] == 0 || h.masks[3] == 0xFF000000));
    }
    // The data must be able to describe the picture before it is allocated:
    // every stored row, or for run-length data a plausible packing density.
    bool runLength = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    std::uint64_t pixelCount = CheckedPixelCount(std::uint64_t(h.width), std::uint64_t(h.height));
    if (runLength ? pixelCount > (std::uint64_t(pixels.size()) + 2) * 4096
                  : CheckedBufferBytes(storedStride(h.width, h.bitCount), std::uint64_t(h.height)) > pixels.size())
        invalidBitmap();
    target.ReleaseImage();
    target.SetPaletteEntries(h.palette);
    target.SetPixelFormat(format);
    target.SetPaletteEntries(h.palette);
    target.SetSize(h.width, h.height);
    if (target.Empty())
        return;

    if (h.compression == BI_RLE8 || h.compression == BI_RLE4) {
        decodeRle(h, pixels, target);
        return;
    }
    std::size_t stride = storedStride(h.width, h.bitCount);
    if (CheckedBufferBytes(stride, std::uint64_t(h.height)) > pixels.size())
        invalidBitmap();
    std::size_t rowBytes = CheckedRowBytes(std::uint64_t(h.width), std::uint64_t(h.bitCount));
    Field red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
    for (int y = 0; y < h.height; ++y) {
        const std::uint8_t* from = pixels.data() + std::size_t(y) * stride;
        std::uint8_t* to = target.ScanLine(h.topDown ? y : h.height - 1 - y);
        if (copyRows) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        for (int x = 0; x < h.width; ++x) {
            std::uint32_t p = h.bitCount == 16 ? std::uint32_t(from[2 * x] | (from[2 * x + 1] << 8))
                                               : std::uint32_t(from[4 * x]) | (std::uint32_t(from[4 * x + 1]) << 8) |
                                                     (std::uint32_t(from[4 * x + 2]) << 16) |
                                                     (std::uint32_t(from[4 * x + 3]) << 24);
            std::size_t bpp = format == pf32bit ? 4 : 3;
            to[bpp * x] = blue(p);
            to[bpp * x + 1] = green(p);
            to[bpp * x + 2] = red(p);
            if (bpp == 4)
                to[4 * x + 3] = h.masks[3] ? alpha(p) : 0;
        }
    }
}

} // namespace dib

// --- BMP files -------------------------------------------------------------------------

void TBitmap::LoadFromStream(TStream& stream)
{
    std::int64_t start = stream.Position();
    std::int64_t available = stream.Size() - start;
    std::uint8_t fileHeader[14];
    if (available < 14 || stream.Read(fileHeader, 14) != 14 || fileHeader[0] != 'B' || fileHeader[1] != 'M')
        dib::invalidBitmap();
    std::uint32_t offBits = std::uint32_t(fileHeader[10]) | (std::uint32_t(fileHeader[11]) << 8) |
                            (std::uint32_t(fileHeader[12]) << 16) | (std::uint32_t(fileHeader[13]) << 24);
    // Read the headers first, so the size is checked before the pixels are read.
    std::size_t headerBytes = std::size_t(std::min<std::int64_t>(available - 14, 124 + 16 + 256 * 4));
    std::vector<std::uint8_t> headers(headerBytes);
    stream.ReadBuffer(headers.data(), headers.size());
    dib::Header h = dib::parseHeader(headers, false);
    if (offBits < 14 + h.bytesUsed || std::int64_t(offBits) > available)
        dib::invalidBitmap();
    std::size_t wanted;
    if (h.compression == dib::BI_RLE8 || h.compression == dib::BI_RLE4)
        wanted = std::size_t(available - offBits);
    else
        wanted = std::min<std::size_t>(std::size_t(available - offBits),
                                       CheckedBufferBytes(dib::storedStride(h.width, h.bitCount), std::uint64_t(h.height)));
    std::vector<std::uint8_t> pixels(wanted);
    stream.SetPosition(start + offBits);
    stream.ReadBuffer(pixels.data(), pixels.size());
    TBitmap loaded;
    dib::decodePixels(h, pixels, loaded);
    Assign(loaded);
}

namespace {

void putLE16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void putLE32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

} // namespace

void TBitmap::SaveToStream(TStream& stream)
{
    int bits = BitsPerPixel();
    bool indexed = bits <= 8;
    std::size_t colours = indexed ? std::max<std::size_t>(palette_.size(), 1) : 0;
    bool fields = format_ == pf16bit;
    std::uint32_t infoSize = 40 + (fields ? 12 : 0) + std::uint32_t(colours * 4);
    std::uint32_t imageSize = std::uint32_t(stride_ * std::size_t(height_));
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    putLE32(out, 14 + infoSize + imageSize);
    putLE32(out, 0);
    putLE32(out, 14 + infoSize);
    putLE32(out, 40);
    putLE32(out, std::uint32_t(width_));
    putLE32(out, std::uint32_t(height_));
    putLE16(out, 1);
    putLE16(out, unsigned(bits));
    putLE32(out, fields ? dib::BI_BITFIELDS : dib::BI_RGB);
    putLE32(out, imageSize);
    putLE32(out, 3780);
    putLE32(out, 3780);
    putLE32(out, std::uint32_t(colours));
    putLE32(out, 0);
    if (fields) {
        putLE32(out, 0xF800);
        putLE32(out, 0x7E0);
        putLE32(out, 0x1F);
    }
    for (std::size_t i = 0; i < colours; ++i) {
        TPaletteEntry e = i < palette_.size() ? palette_[i] : TPaletteEntry{};
        out.insert(out.end(), {e.peBlue, e.peGreen, e.peRed, 0});
    }
    stream.WriteBuffer(out.data(), out.size());
    for (int y = height_ - 1; y >= 0; --y)
        stream.WriteBuffer(ScanLine(y), stride_);
}
