#pragma once
// Small helpers shared by the pixel routines: channel masks of 16- and 32-bit
// pixels, the two ways a field becomes 8 bits, packing, and the common area
// of two buffers. Everything here is inline so inner loops stay flat.

#include "raster/RasterDIB.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace raster_layout {

inline std::uint32_t lowBits(int bits)
{
    return bits >= 32 ? 0xFFFFFFFFu : bits <= 0 ? 0u : (std::uint32_t(1) << bits) - 1;
}

// Where the three fields of a 16- or 32-bit pixel lie, and how far each is
// from 8 bits.
struct ChannelLayout {
    std::uint32_t blueMask = 0, greenMask = 0, redMask = 0;  // unshifted field masks
    int greenShift = 0, redShift = 0;
    int blueLoss = 0, greenLoss = 0, redLoss = 0;
    int blueBits = 0, greenBits = 0, redBits = 0;

    explicit ChannelLayout(const TRasterDIB& dib)
        : blueMask(lowBits(dib.BlueBits)),
          greenMask(lowBits(dib.GreenBits)),
          redMask(lowBits(dib.RedBits)),
          greenShift(dib.GreenShift),
          redShift(dib.RedShift),
          blueLoss(dib.BlueLoss),
          greenLoss(dib.GreenLoss),
          redLoss(dib.RedLoss),
          blueBits(dib.BlueBits),
          greenBits(dib.GreenBits),
          redBits(dib.RedBits)
    {
    }

    std::uint32_t blueField(std::uint32_t pixel) const { return pixel & blueMask; }
    std::uint32_t greenField(std::uint32_t pixel) const { return shiftDown(pixel, greenShift) & greenMask; }
    std::uint32_t redField(std::uint32_t pixel) const { return shiftDown(pixel, redShift) & redMask; }

    // Fields OR'ed together, in place: the bits a pixel value actually uses.
    std::uint32_t usedBits() const { return blueMask | shiftUp(greenMask, greenShift) | shiftUp(redMask, redShift); }

    // (value >> loss) << shift for each channel, OR'ed.
    std::uint32_t pack(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const
    {
        return shiftUp(std::uint32_t(red) >> redLoss, redShift) |
               shiftUp(std::uint32_t(green) >> greenLoss, greenShift) | (std::uint32_t(blue) >> blueLoss);
    }

    // The conversion rule: ((field + 1) << loss) - 1, cut to 8 bits, so a
    // 5-bit 0 gives 7 and 31 gives 255.
    std::uint8_t blueUp(std::uint32_t pixel) const { return upPlusOne(blueField(pixel), blueLoss); }
    std::uint8_t greenUp(std::uint32_t pixel) const { return upPlusOne(greenField(pixel), greenLoss); }
    std::uint8_t redUp(std::uint32_t pixel) const { return upPlusOne(redField(pixel), redLoss); }

    // Bit replication, as the pixel reader expands fields.
    std::uint8_t blueRep(std::uint32_t pixel) const { return ExpandField(blueField(pixel), blueBits); }
    std::uint8_t greenRep(std::uint32_t pixel) const { return ExpandField(greenField(pixel), greenBits); }
    std::uint8_t redRep(std::uint32_t pixel) const { return ExpandField(redField(pixel), redBits); }

    // The resampler's rule: field << loss, cut to 8 bits (31 gives 248).
    std::uint8_t blueShifted(std::uint32_t pixel) const { return std::uint8_t(blueField(pixel) << blueLoss); }
    std::uint8_t greenShifted(std::uint32_t pixel) const { return std::uint8_t(greenField(pixel) << greenLoss); }
    std::uint8_t redShifted(std::uint32_t pixel) const { return std::uint8_t(redField(pixel) << redLoss); }

    bool isEightEightEight() const { return blueBits == 8 && greenBits == 8 && redBits == 8; }

    static std::uint32_t shiftDown(std::uint32_t v, int s) { return s >= 32 ? 0 : v >> s; }
    static std::uint32_t shiftUp(std::uint32_t v, int s) { return s >= 32 ? 0 : v << s; }
    static std::uint8_t upPlusOne(std::uint32_t field, int loss) { return std::uint8_t(((field + 1) << loss) - 1); }
};

inline std::uint16_t load16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline void store16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void store32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// A buffer that has rows to work on: sized, with memory behind its rows.
inline bool hasPixels(const TRasterDIB& dib)
{
    return dib.Bits != nullptr && dib.Width() > 0 && dib.AbsHeight > 0 && dib.Rows.size() == std::size_t(dib.AbsHeight);
}

// Two-buffer routines work on the area both buffers have, so a caller that
// mismatched the sizes never makes us read or write outside a row.
struct Area {
    int width = 0;
    int rows = 0;
    bool empty() const { return width <= 0 || rows <= 0; }
};
inline Area commonArea(const TRasterDIB& a, const TRasterDIB& b)
{
    if (!hasPixels(a) || !hasPixels(b)) return {};
    return {std::min(a.Width(), b.Width()), std::min(a.AbsHeight, b.AbsHeight)};
}

// One index per byte from a 1-, 4- or 8-bpp row. A partial last byte is
// read pixel by pixel, so padding never counts as a pixel.
inline void unpackIndices(const std::uint8_t* row, int width, int bitCount, std::uint8_t* out)
{
    switch (bitCount) {
    case 8: std::memcpy(out, row, std::size_t(width)); break;
    case 4: {
        const int pairs = width / 2;
        for (int i = 0; i < pairs; ++i) {
            out[2 * i] = row[i] >> 4;
            out[2 * i + 1] = row[i] & 0x0F;
        }
        if (width & 1) out[width - 1] = row[pairs] >> 4;
        break;
    }
    case 1: {
        const int whole = width / 8;
        for (int i = 0; i < whole; ++i) {
            const std::uint8_t b = row[i];
            std::uint8_t* o = out + 8 * i;
            for (int k = 0; k < 8; ++k) o[k] = (b >> (7 - k)) & 1;
        }
        for (int x = whole * 8; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        break;
    }
    default: break;
    }
}

// Packs one index per byte into a 1-, 4- or 8-bpp row. The bits of a partial
// last byte that hold no pixel are left as they were.
inline void packIndices(const std::uint8_t* idx, int width, int bitCount, std::uint8_t* row)
{
    switch (bitCount) {
    case 8: std::memcpy(row, idx, std::size_t(width)); break;
    case 4: {
        const int pairs = width / 2;
        for (int i = 0; i < pairs; ++i) row[i] = std::uint8_t((idx[2 * i] << 4) | (idx[2 * i + 1] & 0x0F));
        if (width & 1) row[pairs] = std::uint8_t((row[pairs] & 0x0F) | (idx[width - 1] << 4));
        break;
    }
    case 1: {
        const int whole = width / 8;
        for (int i = 0; i < whole; ++i) {
            const std::uint8_t* s = idx + 8 * i;
            std::uint8_t b = 0;
            for (int k = 0; k < 8; ++k) b = std::uint8_t((b << 1) | (s[k] & 1));
            row[i] = b;
        }
        for (int x = whole * 8; x < width; ++x) {
            const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
            if (idx[x] & 1)
                row[x >> 3] |= bit;
            else
                row[x >> 3] &= std::uint8_t(~bit);
        }
        break;
    }
    default: break;
    }
}

}  // namespace raster_layout
