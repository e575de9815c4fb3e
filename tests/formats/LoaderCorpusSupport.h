#pragma once
// Test pictures made at test time with Debian's tools, and the reference
// decodes those tools give, as plain 8-bit RGB rows (top row first).

#include "platform/picture/Picture.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corpus {

using Bytes = std::vector<std::uint8_t>;

struct RgbImage {
    int Width = 0;
    int Height = 0;
    Bytes Rgb;  // red, green, blue per pixel, rows top first

    const std::uint8_t* pixel(int x, int y) const { return &Rgb[(static_cast<std::size_t>(y) * Width + x) * 3]; }
};

// A scratch folder for this test program, removed at exit.
const std::string& ScratchDir();
std::string ScratchPath(const std::string& name);

// Tools and whole files: the shared test support's.
using testsupport::FindTool;
using testsupport::ReadFileBytes;
using testsupport::RunQuiet;
using testsupport::WriteFileBytes;

// Reads a binary PBM, PGM, PPM or PAM file (grey expanded to RGB, maxvals
// other than 255 scaled as value * 255 / maxval, truncated; an alpha plane
// dropped). Returns an empty image when the file cannot be parsed.
RgbImage ReadNetpbm(const std::string& path, int* maxval = nullptr);
void WritePpm(const std::string& path, const RgbImage& image);

// Packs codes of varying width into bytes, most significant bit first (TIFF
// LZW) or least (GIF LZW); finish() flushes the last partial byte.
struct CodePacker {
    bool msbFirst = false;
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0;
    void put(int code, int width);
    Bytes finish();
};
Bytes PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths, bool msbFirst);

// The T.4 code words of one run (make-up codes, then the terminating code)
// as '0' and '1' characters, from the fax decoder's own code table; and
// such a bit string packed into bytes, most significant bit first, the last
// byte filled with zeros.
std::string FaxRunBits(std::uint32_t run, bool white);
Bytes PackBitString(const std::string& bits);

// A colourful test pattern with gradients, edges and flat areas; colours
// restricts it to that many distinct colours (0 for no limit).
RgbImage MakePattern(int width, int height, int colours = 0);

// A loaded bitmap converted to 24 bits (the way the gallery takes it) and
// turned into RGB rows.
RgbImage ToRgb(const TBitmap& bitmap);

// Where two decodes differ; "" when they are equal. shift compares the top
// (8 - shift) bits only.
std::string Compare(const RgbImage& expected, const RgbImage& actual, int shift = 0);
// Peak signal-to-noise ratio of two decodes of the same size in dB (1000
// when they are equal, 0 when their sizes differ).
double Psnr(const RgbImage& expected, const RgbImage& actual);
// The largest difference of one channel between two decodes of the same
// size (256 when the sizes differ).
int MaxDifference(const RgbImage& expected, const RgbImage& actual);

}  // namespace corpus
