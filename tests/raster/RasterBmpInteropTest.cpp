// BMP files across writers: our own files written, read and written again
// byte for byte at every depth the writer makes; ImageMagick's files passed
// through our writer; netpbm's Windows and OS/2 files; and the 52- and
// 56-byte header variants.

#include "raster/RasterFiles.h"
#include "RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace filetest;

namespace {

std::vector<std::uint8_t> bmpBytes(const TRasterDIB& dib)
{
    TMemoryStream stream;
    WriteBmpStream(dib, stream);
    return stream.Bytes();
}

// Short files refused, and no GDI.
std::unique_ptr<TRasterDIB> readBmpBytes(const std::vector<std::uint8_t>& bytes)
{
    return bmpFromBytes(bytes, TBmpShortData::Refuse, false);
}

// Same size and the same colour at every pixel.
int countPixelDifferences(const TRasterDIB& a, const TRasterDIB& b)
{
    if (a.Header.Width != b.Header.Width || a.AbsHeight != b.AbsHeight) return -1;
    int differences = 0;
    for (int y = 0; y < a.AbsHeight; ++y)
        for (int x = 0; x < a.Header.Width; ++x) {
            const TColorTriple p = pixelFromTop(a, x, y), q = pixelFromTop(b, x, y);
            if (p.Red != q.Red || p.Green != q.Green || p.Blue != q.Blue) ++differences;
        }
    return differences;
}

}  // namespace

// Every depth and compression the writer makes (palette 1/4/8, 16 bits as
// 5-5-5 and as 5-6-5 bit fields, 24, 32 plain and as bit fields), both row
// orders, odd widths so every row has padding: write, read, write again.
TEST(BmpRoundTrip, WriteReadWriteGivesTheSameBytes)
{
    struct Case {
        int bits, red, green, blue;
        std::uint32_t compression;
    };
    const Case cases[] = {{1, 0, 0, 0, BI_RGB},  {4, 0, 0, 0, BI_RGB},        {8, 0, 0, 0, BI_RGB},
                          {16, 0, 0, 0, BI_RGB}, {16, 5, 6, 5, BI_BITFIELDS}, {24, 0, 0, 0, BI_RGB},
                          {32, 0, 0, 0, BI_RGB}, {32, 8, 8, 8, BI_BITFIELDS}};
    for (const Case& c : cases)
        for (const int width : {1, 13, 33})
            for (const int sign : {1, -1}) {
                SCOPED_TRACE(std::to_string(c.bits) + " bits, green " + std::to_string(c.green) + ", width " +
                             std::to_string(width) + ", sign " + std::to_string(sign));
                TRasterDIB dib;
                dib.UseGDI = false;
                dib.SetSizeEx(width, 5 * sign, c.bits, c.red, c.green, c.blue);
                EXPECT_EQ(dib.Header.Compression, c.compression);
                if (c.bits <= 8)
                    for (int i = 0; i < (1 << c.bits); ++i)
                        dib.Colors[i] = RGBQUAD{std::uint8_t(i * 29), std::uint8_t(250 - i), std::uint8_t(i * 7), 0};
                for (int y = 0; y < 5; ++y)
                    for (int x = 0; x < width; ++x) {
                        if (c.bits <= 8)
                            dib.SetPixelIndex(y, x, (x * 7 + y * 3) % (1 << c.bits));
                        else
                            dib.SetPixelColor(y, x,
                                              TColorTriple{std::uint8_t(x * 23 + y), std::uint8_t(y * 51),
                                                           std::uint8_t(255 - x * 5)});
                    }
                const std::vector<std::uint8_t> first = bmpBytes(dib);
                auto back = readBmpBytes(first);
                EXPECT_EQ(back->Header.BitCount, c.bits);
                EXPECT_EQ(back->Header.Compression, c.compression);
                EXPECT_EQ(countPixelDifferences(*back, dib), 0);
                const std::vector<std::uint8_t> second = bmpBytes(*back);
                EXPECT_EQ(second, first);
            }
}

// ImageMagick's files at each depth and compression: read, written by us and
// read again give the same pixels as ImageMagick's decode; our second write
// of that file is byte-identical to the first.
TEST(BmpRoundTrip, ImageMagickFilesSurviveOurWriter)
{
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    ASSERT_TRUE(RunQuiet("convert -size 29x17 -seed 11 plasma: " + (dir / "src.png")));
    for (const auto& [name, args] : MagickBmpCases) {
        SCOPED_TRACE(name);
        const std::string bmp = dir / (name + ".bmp");
        ASSERT_TRUE(RunQuiet("convert " + (dir / "src.png") + " " + args + bmp));
        ASSERT_TRUE(RunQuiet("convert " + bmp + " -depth 8 ppm:" + (dir / "ref.ppm")));
        const Pnm ref = readPnm(dir / "ref.ppm");
        auto first = readBmpBytes(ReadFileBytes(bmp));
        const std::vector<std::uint8_t> ours = bmpBytes(*first);
        auto second = readBmpBytes(ours);
        EXPECT_EQ(countDifferences(*second, ref), 0);
        EXPECT_EQ(bmpBytes(*second), ours);
        // And ImageMagick reads our copy as it read its own file.
        WriteFileBytes(dir / "ours.bmp", ours);
        ASSERT_TRUE(RunQuiet("convert " + (dir / "ours.bmp") + " -depth 8 ppm:" + (dir / "ours.ppm")));
        EXPECT_EQ(countDifferences(*second, readPnm(dir / "ours.ppm")), 0);
    }
}

// ppmtobmp writes Windows (40-byte header) and OS/2 1.x (12-byte header,
// 3-byte palette entries) files at 1, 4, 8 and 24 bits.
TEST(BmpReader, NetpbmWindowsAndOs2FilesMatchImageMagick)
{
    if (!HaveTool("convert") || !HaveTool("ppmtobmp")) GTEST_SKIP() << "tools missing";
    TempDir dir;
    ASSERT_TRUE(RunQuiet("convert -size 23x13 -seed 4 plasma: " + (dir / "src.png")));
    struct Case {
        int bpp;
        std::string reduce;
    };
    const Case cases[] = {{1, "-monochrome"}, {4, "-colors 16"}, {8, "-colors 150"}, {24, ""}};
    for (const Case& c : cases)
        for (const std::string format : {"-windows", "-os2"}) {
            SCOPED_TRACE(std::to_string(c.bpp) + " " + format);
            ASSERT_TRUE(
                RunQuiet("convert " + (dir / "src.png") + " " + c.reduce + " -depth 8 ppm:" + (dir / "in.ppm")));
            const std::string bmp = dir / "nb.bmp";
            ASSERT_TRUE(RunQuiet("ppmtobmp " + format + " -bpp " + std::to_string(c.bpp) + " " + (dir / "in.ppm") +
                                 " > " + bmp));
            const std::vector<std::uint8_t> bytes = ReadFileBytes(bmp);
            ASSERT_GE(bytes.size(), 30u);
            EXPECT_EQ(get32(bytes, 14), format == "-os2" ? 12u : 40u);
            ASSERT_TRUE(RunQuiet("convert " + bmp + " -depth 8 ppm:" + (dir / "ref.ppm")));
            auto dib = readBmpBytes(bytes);
            EXPECT_EQ(dib->Header.BitCount, c.bpp);
            const Pnm ref = readPnm(dir / "ref.ppm");
            EXPECT_EQ(countDifferences(*dib, ref), 0);
            // The source itself, as a check that both decoders saw the picture.
            EXPECT_EQ(countDifferences(*dib, readPnm(dir / "in.ppm")), 0);
        }
}

// V5 files cut down to the 52-byte (masks for red, green, blue) and 56-byte
// (plus alpha) headers: the masks live in the header, the palette follows it,
// and the pixels are found at the moved data offset.
TEST(BmpReader, Reads52And56ByteHeaders)
{
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const std::pair<std::string, std::string> sources[] = {
        {"565", "-define bmp:subtype=RGB565 BMP:"},
        {"32", "-alpha set -channel A -evaluate set 100% +channel BMP:"},
        {"pal8", "-colors 60 -compress none -type palette BMP:"},
        {"24", "-type truecolor BMP:"},
    };
    for (const auto& [name, args] : sources) {
        ASSERT_TRUE(RunQuiet("convert -size 21x9 -seed 8 plasma: " + args + (dir / "v5.bmp")));
        ASSERT_TRUE(RunQuiet("convert " + (dir / "v5.bmp") + " -depth 8 ppm:" + (dir / "ref.ppm")));
        const Pnm ref = readPnm(dir / "ref.ppm");
        const std::vector<std::uint8_t> v5 = ReadFileBytes(dir / "v5.bmp");
        ASSERT_EQ(get32(v5, 14), 124u) << name;
        for (const std::uint32_t size : {52u, 56u}) {
            SCOPED_TRACE(name + " header " + std::to_string(size));
            std::vector<std::uint8_t> cut(v5.begin(), v5.begin() + 14 + size);
            cut.insert(cut.end(), v5.begin() + 14 + 124, v5.end());
            put32(cut, 14, size);
            put32(cut, 10, get32(v5, 10) - (124 - size));
            put32(cut, 2, std::uint32_t(cut.size()));
            auto dib = readBmpBytes(cut);
            EXPECT_EQ(dib->Header.Width, 21);
            EXPECT_EQ(countDifferences(*dib, ref), 0);
        }
    }
}
