#pragma once
// Device-independent bitmaps as BMP and icon files store them: the info
// header, the colour table and the pixel rows. Shared by the BMP and icon
// readers of this folder.

#include "platform/picture/Picture.h"

#include <cstdint>
#include <span>
#include <vector>

namespace dib {

// Raised for any malformed bitmap: the framework's text.
[[noreturn]] void invalidBitmap();

struct Header {
    std::uint32_t headerSize = 0;
    int width = 0;
    int height = 0; // always positive here
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    std::vector<TPaletteEntry> palette;
    std::size_t bytesUsed = 0; // header, masks and colour table
};

constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

// Parses the info header and colour table at the start of data. In icon mode
// the stored height counts the colour and mask images together and is halved.
Header parseHeader(std::span<const std::uint8_t> data, bool iconMode);

// Decodes the rows (bottom-up unless topDown) into target, which gets the
// matching pixel format, size and palette.
void decodePixels(const Header& header, std::span<const std::uint8_t> pixels, TBitmap& target);

// Bytes of one stored row, padded to 4.
std::size_t storedStride(int width, int bitCount);

} // namespace dib
