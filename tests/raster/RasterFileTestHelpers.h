#pragma once
// Helpers for file tests: reading the PNM output of Debian's tools and
// comparing it with a pixel buffer.

#include "raster/RasterDIB.h"
#include "raster/RasterFiles.h"
#include "platform/streams/Streams.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace filetest {

// Scratch folders, tools and whole files: the shared test support's.
using testsupport::HaveTool;
using testsupport::ReadFileBytes;
using testsupport::RunQuiet;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

// Little-endian 32-bit numbers inside a file's bytes.
inline void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
inline std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// A BMP file's bytes read into a new buffer.
inline std::unique_ptr<TRasterDIB> bmpFromBytes(const std::vector<std::uint8_t>& bytes,
                                                TBmpShortData shortData = TBmpShortData::Keep, bool useGdi = true)
{
    auto dib = std::make_unique<TRasterDIB>();
    dib->UseGDI = useGdi;
    TByteViewStream stream(bytes.data(), bytes.size());
    ReadBmpStream(*dib, stream, shortData);
    return dib;
}

// ImageMagick's BMP files at each depth and compression: a name, and the
// convert arguments that make it from a picture.
inline const std::pair<std::string, std::string> MagickBmpCases[] = {
    {"v3_24", "-type truecolor BMP3:"},
    {"v5_24", "BMP:"},
    {"core_24", "BMP2:"},
    {"v5_565", "-define bmp:subtype=RGB565 BMP:"},
    {"v5_555", "-define bmp:subtype=RGB555 BMP:"},
    {"v5_32", "-alpha set -channel A -evaluate set 100% +channel BMP:"},
    {"rle8", "-colors 200 -compress RLE BMP3:"},
    {"pal8", "-colors 200 -compress none BMP3:"},
    {"pal4", "-colors 12 BMP3:"},
    {"pal1", "-monochrome BMP3:"},
    {"core_pal8", "-colors 100 BMP2:"},
};

// An 8-bit P5 (grey) or P6 (colour) picture.
struct Pnm {
    int width = 0, height = 0, channels = 0;
    std::vector<std::uint8_t> pixels;  // rows from the top
    // Red, green, blue at (x, y) from the top.
    TColorTriple at(int x, int y) const
    {
        const std::uint8_t* p = &pixels[(std::size_t(y) * width + x) * channels];
        return channels == 1 ? TColorTriple{p[0], p[0], p[0]} : TColorTriple{p[2], p[1], p[0]};
    }
};

inline Pnm readPnm(const std::string& path)
{
    Pnm pnm;
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    std::size_t pos = 0;
    auto token = [&]() {
        std::string t;
        while (pos < bytes.size()) {
            if (bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
            } else if (std::isspace(bytes[pos])) {
                if (!t.empty()) break;
                ++pos;
            } else {
                t += char(bytes[pos++]);
            }
        }
        return t;
    };
    const std::string magic = token();
    if (magic != "P5" && magic != "P6") return pnm;
    pnm.channels = magic == "P5" ? 1 : 3;
    pnm.width = std::stoi(token());
    pnm.height = std::stoi(token());
    if (std::stoi(token()) != 255) return Pnm{};
    ++pos;  // the single white-space byte after the maximum
    const std::size_t size = std::size_t(pnm.width) * pnm.height * pnm.channels;
    if (bytes.size() < pos + size) return Pnm{};
    pnm.pixels.assign(bytes.begin() + std::ptrdiff_t(pos), bytes.begin() + std::ptrdiff_t(pos + size));
    return pnm;
}

// The buffer's pixel at (x, y) counted from the top of the picture.
inline TColorTriple pixelFromTop(const TRasterDIB& dib, int x, int y)
{
    TColorTriple t;
    dib.GetPixelColor(dib.Header.Height > 0 ? dib.AbsHeight - 1 - y : y, x, t);
    return t;
}

// Counts pixels differing by more than `tolerance` in any channel.
inline int countDifferences(const TRasterDIB& dib, const Pnm& pnm, int tolerance = 0)
{
    if (dib.Header.Width != pnm.width || dib.AbsHeight != pnm.height) return -1;
    int differences = 0;
    for (int y = 0; y < pnm.height; ++y)
        for (int x = 0; x < pnm.width; ++x) {
            const TColorTriple a = pixelFromTop(dib, x, y), b = pnm.at(x, y);
            if (std::abs(a.Red - b.Red) > tolerance || std::abs(a.Green - b.Green) > tolerance ||
                std::abs(a.Blue - b.Blue) > tolerance)
                ++differences;
        }
    return differences;
}

// Mean absolute difference over every channel of every pixel.
inline double meanDifference(const TRasterDIB& dib, const Pnm& pnm)
{
    if (dib.Header.Width != pnm.width || dib.AbsHeight != pnm.height || pnm.width == 0) return 1e9;
    double sum = 0;
    for (int y = 0; y < pnm.height; ++y)
        for (int x = 0; x < pnm.width; ++x) {
            const TColorTriple a = pixelFromTop(dib, x, y), b = pnm.at(x, y);
            sum += std::abs(a.Red - b.Red) + std::abs(a.Green - b.Green) + std::abs(a.Blue - b.Blue);
        }
    return sum / (3.0 * pnm.width * pnm.height);
}

}  // namespace filetest
