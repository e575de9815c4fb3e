// Mirroring, flipping and quarter turns compared pixel for pixel with
// ImageMagick's -flop, -flip and -rotate on pictures made at test time, at
// every depth the operations take.

#include "raster/RasterFX.h"
#include "raster/RasterFiles.h"
#include "RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace filetest;

namespace {

struct Source {
    std::string name, args;
    int bits;
};
void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }

// ImageMagick output formats giving each depth (it picks the palette depth
// from the colours present, so the pictures are large enough to have them).
// Rotation takes 8 bits and more.
const Source kSmallPalettes[] = {
    {"pal1", "-monochrome BMP3:", 1},
    {"pal4", "-colors 12 BMP3:", 4},
};
const Source kRotatable[] = {
    {"pal8", "-colors 120 -compress none BMP3:", 8},
    {"rgb565", "-define bmp:subtype=RGB565 BMP:", 16},
    {"rgb24", "-type truecolor BMP3:", 24},
    {"rgb32", "-alpha set -channel A -evaluate set 100% +channel BMP:", 32},
};

class MagickGeometry : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override
    {
        if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    }
    // The picture (made by ImageMagick from plasma) and ImageMagick's result
    // of `operation` on that same file.
    void load(const std::string& size, const std::string& operation, TRasterDIB& dib, Pnm& expected)
    {
        const std::string bmp = dir / "src.bmp";
        ASSERT_TRUE(RunQuiet("convert -size " + size + " -seed 9 plasma: " + GetParam().args + bmp));
        ReadBmpFile(dib, bmp);
        ASSERT_EQ(dib.Header.BitCount, GetParam().bits) << "ImageMagick chose another depth";
        ASSERT_TRUE(RunQuiet("convert " + bmp + " " + operation + " -depth 8 ppm:" + (dir / "ref.ppm")));
        expected = readPnm(dir / "ref.ppm");
        ASSERT_GT(expected.width, 0);
    }
    TempDir dir;
};
class MagickRotation : public MagickGeometry {};

}  // namespace

TEST_P(MagickGeometry, MirrorMatchesFlop)
{
    for (const std::string size : {"17x6", "8x3", "1x40"}) {
        SCOPED_TRACE(size);
        TRasterDIB dib;
        Pnm expected;
        load(size, "-flop", dib, expected);
        MirrorHorizontal(dib);
        EXPECT_EQ(countDifferences(dib, expected), 0);
    }
}

TEST_P(MagickGeometry, FlipMatchesFlip)
{
    for (const std::string size : {"17x6", "9x5", "40x1"}) {
        SCOPED_TRACE(size);
        TRasterDIB dib;
        Pnm expected;
        load(size, "-flip", dib, expected);
        FlipVertical(dib);
        EXPECT_EQ(countDifferences(dib, expected), 0);
    }
}

// A positive angle turns the picture clockwise on the screen, as -rotate does.
TEST_P(MagickRotation, QuarterTurnsMatchRotate)
{
    for (const std::string size : {"17x6", "8x5", "1x37"})
        for (const int angle : {90, 180, 270})
            for (const bool smooth : {false, true}) {
                SCOPED_TRACE(size + " angle " + std::to_string(angle) + (smooth ? " smooth" : ""));
                TRasterDIB src;
                Pnm expected;
                load(size, "-rotate " + std::to_string(angle), src, expected);
                TRasterDIB dst;
                dst.UseGDI = false;
                SizeForRotation(src, dst, angle);
                ASSERT_EQ(dst.Header.Width, expected.width);
                ASSERT_EQ(dst.AbsHeight, expected.height);
                RotateDIB(src, dst, smooth, angle);
                EXPECT_EQ(countDifferences(dst, expected), 0);
            }
}

const auto kName = [](const auto& info) { return info.param.name; };
INSTANTIATE_TEST_SUITE_P(SmallPalettes, MagickGeometry, ::testing::ValuesIn(kSmallPalettes), kName);
INSTANTIATE_TEST_SUITE_P(Rotatable, MagickGeometry, ::testing::ValuesIn(kRotatable), kName);
INSTANTIATE_TEST_SUITE_P(Rotatable, MagickRotation, ::testing::ValuesIn(kRotatable), kName);
