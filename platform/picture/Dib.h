#pragma once
// The device-independent bitmaps inside icon files: info header, colour table
// and uncompressed pixel rows. BMP files are read by the raster core (the
// image-format library registers that reader); icons stay here because the
// framework's icon class is part of this layer, which the raster core builds on.

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
    int height = 0;  // always positive here
    bool topDown = false;
    int bitCount = 0;
    std::vector<TPaletteEntry> palette;
    std::size_t bytesUsed = 0;  // header and colour table
};

// Parses the info header and colour table at the start of an icon entry,
// whose stored height counts the colour and mask images together (halved
// here). Only uncompressed entries are accepted; others raise.
Header parseIconHeader(std::span<const std::uint8_t> data);

// Decodes the rows (bottom-up unless topDown) into target, which gets the
// matching pixel format, size and palette.
void decodePixels(const Header& header, std::span<const std::uint8_t> pixels, TBitmap& target);

// Bytes of one stored row, padded to 4.
std::size_t storedStride(int width, int bitCount);

}  // namespace dib
