#pragma once
// Small builders and readers for pixel tests: buffers on plain heap memory
// (so the sanitizer sees every byte past a row's end) and direct access to
// 24- and 32-bit pixels by memory row.

#include "raster/RasterDIB.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>

namespace pixeltest {

inline std::unique_ptr<TRasterDIB> makeDib(int width, int height, int bitCount)
{
    auto dib = std::make_unique<TRasterDIB>();
    dib->UseGDI = false;
    dib->SetSize(width, height, bitCount);
    return dib;
}

// 16-bit buffer with explicit channel widths (bit fields).
inline std::unique_ptr<TRasterDIB> makeDib16(int width, int height, int red, int green, int blue)
{
    auto dib = std::make_unique<TRasterDIB>();
    dib->UseGDI = false;
    dib->SetSizeEx(width, height, 16, red, green, blue);
    return dib;
}

using Bgr = std::array<int, 3>;  // blue, green, red

inline Bgr get24(const TRasterDIB& dib, int row, int x)
{
    const int bytes = dib.BitCount() / 8;
    const std::uint8_t* p = dib.Rows[row] + x * bytes;
    return {p[0], p[1], p[2]};
}

inline void set24(TRasterDIB& dib, int row, int x, Bgr c)
{
    const int bytes = dib.BitCount() / 8;
    std::uint8_t* p = dib.Rows[row] + x * bytes;
    p[0] = std::uint8_t(c[0]);
    p[1] = std::uint8_t(c[1]);
    p[2] = std::uint8_t(c[2]);
}

// A 24- or 32-bit buffer whose pixels, row after row in memory order, take
// the colours given.
inline std::unique_ptr<TRasterDIB> makeDibOf(int width, int height, int bitCount, std::initializer_list<Bgr> pixels)
{
    auto dib = makeDib(width, height, bitCount);
    int i = 0;
    for (const Bgr& c : pixels) {
        set24(*dib, i / width, i % width, c);
        ++i;
    }
    return dib;
}

// How many pixels of the buffer have the colour.
inline int countColour(const TRasterDIB& dib, const TColorTriple& colour)
{
    int count = 0;
    for (int row = 0; row < dib.AbsHeight; ++row)
        for (int x = 0; x < dib.Width(); ++x) {
            TColorTriple t;
            dib.GetPixelColor(row, x, t);
            count += t == colour;
        }
    return count;
}

inline std::uint16_t get16(const TRasterDIB& dib, int row, int x)
{
    const std::uint8_t* p = dib.Rows[row] + 2 * x;
    return std::uint16_t(p[0] | (p[1] << 8));
}

inline void set16(TRasterDIB& dib, int row, int x, std::uint16_t v)
{
    std::uint8_t* p = dib.Rows[row] + 2 * x;
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

inline void fillGrey(TRasterDIB& dib, int value)
{
    for (int y = 0; y < dib.AbsHeight; ++y)
        for (int x = 0; x < dib.Width(); ++x) set24(dib, y, x, {value, value, value});
}

// A grey ramp palette 0..255.
inline void greyPalette(TRasterDIB& dib)
{
    for (int i = 0; i < 256; ++i) dib.Colors[i] = RGBQUAD{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
}

// Every pixel byte of two buffers of the same geometry (padding excluded).
inline void expectSamePixels(const TRasterDIB& a, const TRasterDIB& b)
{
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.AbsHeight, b.AbsHeight);
    ASSERT_EQ(a.BitCount(), b.BitCount());
    const int bytes = a.Stride - a.RowGap;
    for (int y = 0; y < a.AbsHeight; ++y)
        for (int i = 0; i < bytes; ++i) ASSERT_EQ(a.Rows[y][i], b.Rows[y][i]) << "row " << y << " byte " << i;
}

}  // namespace pixeltest
