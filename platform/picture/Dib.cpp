#include "platform/picture/Dib.h"

#include "platform/core/ByteOrder.h"

#include <cstring>

namespace dib {

namespace {

constexpr std::uint32_t BI_RGB = 0;

// Numbers of the header, checked against the entry's bytes.
std::uint32_t le32(std::span<const std::uint8_t> d, std::size_t at)
{
    if (at + 4 > d.size()) invalidBitmap();
    return GetLE32(d.data() + at);
}

std::uint16_t le16(std::span<const std::uint8_t> d, std::size_t at)
{
    if (at + 2 > d.size()) invalidBitmap();
    return GetLE16(d.data() + at);
}

}  // namespace

void invalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

std::size_t storedStride(int width, int bitCount)
{
    return (CheckedRowBytes(std::uint64_t(width), std::uint64_t(bitCount)) + 3) & ~std::size_t(3);
}

Header parseIconHeader(std::span<const std::uint8_t> data)
{
    Header h;
    h.headerSize = le32(data, 0);
    std::int64_t height = 0;
    std::size_t colourSize = 4;
    std::uint32_t coloursUsed = 0;
    if (h.headerSize == 12) {  // OS/2 core header
        h.width = le16(data, 4);
        height = le16(data, 6);
        h.bitCount = le16(data, 10);
        colourSize = 3;
    } else if (h.headerSize >= 40 && h.headerSize <= 124) {
        std::int32_t w = std::int32_t(le32(data, 4));
        std::int32_t ht = std::int32_t(le32(data, 8));
        if (w < 0 || ht == std::int32_t(0x80000000)) invalidBitmap();
        h.width = w;
        height = ht;
        h.bitCount = le16(data, 14);
        if (le32(data, 16) != BI_RGB) invalidBitmap();
        coloursUsed = le32(data, 32);
    } else {
        invalidBitmap();
    }
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    h.height = int(height / 2);  // colour image and mask
    if (h.width == 0 || h.height == 0) invalidBitmap();
    CheckedPixelCount(std::uint64_t(h.width), std::uint64_t(h.height));

    switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: invalidBitmap();
    }
    std::size_t pos = h.headerSize;
    if (h.bitCount <= 8) {
        std::size_t count = coloursUsed != 0 ? coloursUsed : (std::size_t(1) << h.bitCount);
        if (count > 256) invalidBitmap();
        if (pos + count * colourSize > data.size()) invalidBitmap();
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = data.data() + pos + i * colourSize;
            h.palette.push_back({e[2], e[1], e[0], 0});
        }
        pos += count * colourSize;
    }
    if (pos > data.size()) invalidBitmap();  // the header claims more than the data holds
    h.bytesUsed = pos;
    return h;
}

void decodePixels(const Header& h, std::span<const std::uint8_t> pixels, TBitmap& target)
{
    TPixelFormat format = h.bitCount == 1    ? pf1bit
                          : h.bitCount == 4  ? pf4bit
                          : h.bitCount == 8  ? pf8bit
                          : h.bitCount == 16 ? pf15bit
                          : h.bitCount == 24 ? pf24bit
                                             : pf32bit;
    // The data must hold every stored row before the picture is allocated.
    std::size_t stride = storedStride(h.width, h.bitCount);
    if (CheckedBufferBytes(stride, std::uint64_t(h.height)) > pixels.size()) invalidBitmap();
    target.ReleaseImage();
    target.SetPaletteEntries(h.palette);
    target.SetPixelFormat(format);
    target.SetPaletteEntries(h.palette);
    target.SetSize(h.width, h.height);
    std::size_t rowBytes = CheckedRowBytes(std::uint64_t(h.width), std::uint64_t(h.bitCount));
    for (int y = 0; y < h.height; ++y)
        std::memcpy(target.ScanLine(h.topDown ? y : h.height - 1 - y), pixels.data() + std::size_t(y) * stride,
                    rowBytes);
}

}  // namespace dib
