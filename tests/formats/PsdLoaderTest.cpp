// Photoshop loader: files ImageMagick writes (RGB, grey, indexed, bitmap,
// CMYK, with alpha; raw and PackBits; 8 and 16 bits) decoded equal to
// ImageMagick's own reading; files of our own for the modes and channel
// counts no tool here writes; and a table of hostile files.
//
// 16-bit samples are reduced to 8 bits by truncation (v * 255 / 65535), as
// the reference reader of the test support does, so those compare exactly.

#include "formats/ImageFormatsPsd.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

using namespace corpus;

namespace {

// PackBits of one row: runs of three or more as run packets, the rest as literals.
Bytes packBits(const std::uint8_t* row, std::size_t size)
{
    return PackRuns(
        row, size, 3, 128, [](std::size_t n) { return std::uint8_t(257 - n); },
        [](std::size_t n) { return std::uint8_t(n - 1); });
}

// A Photoshop file of our own: planes of rowBytes × height bytes each.
struct PsdFile {
    std::uint16_t channels = 3, depth = 8, mode = 3;
    std::uint32_t width = 0, height = 0;
    Bytes colourData, resources{'8', 'B', 'I', 'M', 0, 0}, layers{0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<Bytes> planes;
    bool packed = false;
    std::vector<Bytes> packedRows;  // replaces the packed rows when not empty

    std::size_t rowBytes() const { return (std::size_t(width) * depth + 7) / 8; }

    Bytes build() const
    {
        Bytes out{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
        PutBE16(out, channels);
        PutBE32(out, height);
        PutBE32(out, width);
        PutBE16(out, depth);
        PutBE16(out, mode);
        for (const Bytes* section : {&colourData, &resources, &layers}) {
            PutBE32(out, std::uint32_t(section->size()));
            out.insert(out.end(), section->begin(), section->end());
        }
        PutBE16(out, packed ? 1 : 0);
        if (!packed) {
            for (const Bytes& plane : planes) out.insert(out.end(), plane.begin(), plane.end());
            return out;
        }
        std::vector<Bytes> rows = packedRows;
        if (rows.empty())
            for (const Bytes& plane : planes)
                for (std::uint32_t y = 0; y < height; ++y)
                    rows.push_back(packBits(plane.data() + y * rowBytes(), rowBytes()));
        for (const Bytes& row : rows) PutBE16(out, std::uint32_t(row.size()));
        for (const Bytes& row : rows) out.insert(out.end(), row.begin(), row.end());
        return out;
    }
};

PsdFile psd(std::uint16_t mode, std::uint16_t depth, std::uint32_t width, std::uint32_t height,
            std::vector<Bytes> planes)
{
    PsdFile f;
    f.mode = mode;
    f.depth = depth;
    f.width = width;
    f.height = height;
    f.channels = std::uint16_t(planes.size());
    f.planes = std::move(planes);
    return f;
}

class PsdCorpus : public ToolSuite<PsdCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (!NeedTools({"convert"})) return;
        WritePpm(ScratchPath("psd-rgb.ppm"), MakePattern(61, 37));
        WritePpm(ScratchPath("psd-c200.ppm"), MakePattern(61, 37, 200));
        WritePpm(ScratchPath("psd-c2.ppm"), MakePattern(61, 37, 2));
    }
};

TEST_F(PsdCorpus, ImageMagickFilesDecodeAsImageMagickReadsThem)
{
    struct Case {
        const char* name;
        const char* input;
        const char* options;
        TPixelFormat format;
        int tolerance = 0;
        bool fromInput = false;  // compared with the input: this ImageMagick cannot read the file back
    };
    const Case cases[] = {
        {"rgb", "rgb", "-compress none", pf24bit},
        {"rgb rle", "rgb", "-compress RLE", pf24bit},
        {"rgb 16", "rgb", "-depth 16 -compress none", pf24bit},
        {"rgb 16 rle", "rgb", "-depth 16 -compress RLE", pf24bit},
        {"rgba rle", "rgb", "-alpha set -channel A -fx i/w +channel -compress RLE", pf32bit},
        {"grey", "rgb", "-colorspace gray -compress none", pf8bit},
        {"grey rle", "rgb", "-colorspace gray -compress RLE", pf8bit},
        {"grey 16 rle", "rgb", "-colorspace gray -depth 16 -compress RLE", pf8bit},
        {"indexed", "c200", "-type Palette -compress none", pf8bit, 0, true},
        {"indexed rle", "c200", "-type Palette -compress RLE", pf8bit, 0, true},
        {"bitmap", "c2", "-monochrome -depth 1 -compress none", pf1bit},
        {"bitmap rle", "c2", "-monochrome -depth 1 -compress RLE", pf1bit},
        {"cmyk rle", "rgb", "-colorspace CMYK -compress RLE", pf24bit, 1},
    };
    const std::string convert = FindTool("convert");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = ScratchPath(std::string("psd ") + c.name + ".psd");
        std::replace(file.begin(), file.end(), ' ', '-');
        const std::string make =
            convert + " " + ScratchPath(std::string("psd-") + c.input + ".ppm") + " " + c.options + " " + file;
        ASSERT_TRUE(RunQuiet(make)) << make;
        // The merged image as stored: ImageMagick would otherwise unblend it from white.
        const std::string read = convert + " -define psd:alpha-unblend=off " + file + "[0] ";
        const std::string reference = file + ".ppm";
        if (c.fromInput)
            ASSERT_TRUE(
                RunQuiet(convert + " " + ScratchPath(std::string("psd-") + c.input + ".ppm") + " " + reference));
        else
            ASSERT_TRUE(RunQuiet(read + "-alpha off -depth 16 " + reference));
        const RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        TPSDGraphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.PixelFormat(), c.format);
        if (c.format == pf32bit) {
            ASSERT_TRUE(RunQuiet(read + "-alpha extract -depth 8 " + reference + ".pgm"));
            const RgbImage alpha = ReadNetpbm(reference + ".pgm");
            ASSERT_EQ(alpha.Width, int(loaded.Width()));
            for (int y = 0; y < alpha.Height; ++y)
                for (int x = 0; x < alpha.Width; ++x)
                    ASSERT_EQ(loaded.ScanLine(y)[4 * x + 3], alpha.pixel(x, y)[0]) << x << "," << y;
        }
        if (c.tolerance > 0)
            EXPECT_LE(MaxDifference(expected, ToRgb(loaded)), c.tolerance);
        else
            EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
    }
}

// A large document (version 2) named .psd has longer lengths and counts
// than a version-1 reader takes: refused, never shown as noise.
TEST_F(PsdCorpus, LargeDocumentIsRefused)
{
    for (const char* options : {"-compress none", "-compress RLE"}) {
        SCOPED_TRACE(options);
        const std::string file = ScratchPath("large.psd");
        ASSERT_TRUE(RunQuiet(FindTool("convert") + " " + ScratchPath("psd-rgb.ppm") + " " + options + " PSB:" + file));
        ASSERT_EQ(ReadFileBytes(file).at(5), 2);
        TPSDGraphic loaded;
        try {
            loaded.LoadFromFile(file);
            ADD_FAILURE() << "loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Cannot load image. Invalid or unexpected PSD or PDD image format.");
        }
        EXPECT_TRUE(loaded.Empty());
    }
}

TEST(PsdLoader, ModesAndChannelsOfOurOwn)
{
    // Five channels of RGB: alpha from the fourth, the fifth (a mask) unused.
    PsdFile five = psd(3, 8, 2, 1, {{10, 11}, {20, 21}, {30, 31}, {40, 41}, {99, 98}});
    five.packed = true;
    TPSDGraphic rgba;
    ASSERT_EQ(LoadError<TPSDGraphic>(five.build(), &rgba), "");
    EXPECT_EQ(rgba.PixelFormat(), pf32bit);
    EXPECT_EQ(Bytes(rgba.ScanLine(0), rgba.ScanLine(0) + 8), (Bytes{30, 20, 10, 40, 31, 21, 11, 41}));
    EXPECT_EQ(rgba.ImageProperties.Channels, 5);
    EXPECT_EQ(rgba.ImageProperties.SamplesPerPixel, 4);

    // CMYK planes of 255 hold no ink: white. 16-bit ink 0x0000 is full ink.
    TPSDGraphic cmyk;
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(4, 8, 3, 1, std::vector<Bytes>(4, Bytes(3, 255))).build(), &cmyk), "");
    EXPECT_EQ(Bytes(cmyk.ScanLine(0), cmyk.ScanLine(0) + 9), Bytes(9, 255));
    TPSDGraphic cmyk16;
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(4, 16, 1, 1, {{0, 0}, {255, 255}, {255, 255}, {255, 255}}).build(), &cmyk16),
              "");
    EXPECT_EQ(Bytes(cmyk16.ScanLine(0), cmyk16.ScanLine(0) + 3), (Bytes{255, 255, 0}));

    // Lab: L stored 0..255, a and b offset by 128.
    TPSDGraphic lab;
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(9, 8, 2, 1, {{255, 0}, {128, 128}, {128, 128}}).build(), &lab), "");
    EXPECT_EQ(Bytes(lab.ScanLine(0), lab.ScanLine(0) + 6), (Bytes{255, 255, 255, 0, 0, 0}));
    // 16-bit Lab reads as the 8-bit file it widens (each sample times 257).
    const std::vector<Bytes> lab8Planes = {{255, 0, 128, 200}, {128, 128, 128, 100}, {128, 128, 128, 160}};
    std::vector<Bytes> lab16Planes(3);
    for (int c = 0; c < 3; ++c)
        for (std::uint8_t v : lab8Planes[c]) lab16Planes[c].insert(lab16Planes[c].end(), {v, v});
    TPSDGraphic lab8, lab16;
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(9, 8, 4, 1, lab8Planes).build(), &lab8), "");
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(9, 16, 4, 1, lab16Planes).build(), &lab16), "");
    EXPECT_EQ(Bytes(lab16.ScanLine(0), lab16.ScanLine(0) + 12), Bytes(lab8.ScanLine(0), lab8.ScanLine(0) + 12));
    EXPECT_NE(lab8.ScanLine(0)[6], 255);

    // Indexed: the 768 bytes of colour data are planes of red, green, blue.
    PsdFile indexed = psd(2, 8, 3, 1, {{0, 1, 255}});
    indexed.colourData.assign(768, 0);
    indexed.colourData[1] = 200;        // red of colour 1
    indexed.colourData[256 + 1] = 100;  // green
    indexed.colourData[512 + 1] = 50;   // blue
    TPSDGraphic palette;
    ASSERT_EQ(LoadError<TPSDGraphic>(indexed.build(), &palette), "");
    EXPECT_EQ(palette.PixelColor(1, 0), RGBColor(200, 100, 50));
    EXPECT_EQ(palette.PixelColor(0, 0), RGBColor(0, 0, 0));

    // PackBits grey with an alpha channel: the second channel is never decoded.
    PsdFile greyAlpha = psd(1, 8, 4, 2, {{1, 2, 3, 4, 5, 6, 7, 8}, Bytes(8, 0)});
    greyAlpha.packed = true;
    greyAlpha.packedRows = {packBits(greyAlpha.planes[0].data(), 4), packBits(greyAlpha.planes[0].data() + 4, 4),
                            Bytes{0x7F}, Bytes{0x7F}};
    TPSDGraphic grey;
    ASSERT_EQ(LoadError<TPSDGraphic>(greyAlpha.build(), &grey), "");
    EXPECT_EQ(Bytes(grey.ScanLine(1), grey.ScanLine(1) + 4), (Bytes{5, 6, 7, 8}));

    // 1-bit rows of (width + 7) / 8 bytes, 1 is black; 16-bit grey rows of
    // two bytes a pixel, high byte first.
    TPSDGraphic bitmap;
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(0, 1, 10, 2, {{0xA5, 0x40, 0xFF, 0xC0}}).build(), &bitmap), "");
    EXPECT_EQ(bitmap.PixelFormat(), pf1bit);
    EXPECT_EQ(bitmap.PixelColor(0, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(bitmap.PixelColor(1, 0), RGBColor(255, 255, 255));
    EXPECT_EQ(bitmap.PixelColor(9, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(bitmap.PixelColor(9, 1), RGBColor(0, 0, 0));
    EXPECT_EQ(bitmap.PixelColor(8, 0), RGBColor(255, 255, 255));
    TPSDGraphic grey16;
    ASSERT_EQ(LoadError<TPSDGraphic>(psd(1, 16, 3, 1, {{0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF}}).build(), &grey16), "");
    EXPECT_EQ(Bytes(grey16.ScanLine(0), grey16.ScanLine(0) + 3), (Bytes{255, 127, 0}));

    // A 16-bit PackBits file is read to the end of its counts, no further.
    PsdFile wide = psd(3, 16, 5, 3, std::vector<Bytes>(3, Bytes(30, 7)));
    wide.packed = true;
    Bytes bytes = wide.build();
    const std::size_t end = bytes.size();
    bytes.insert(bytes.end(), 100, 0xEE);
    TMemoryStream stream(bytes);
    TPSDGraphic sixteen;
    sixteen.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), std::int64_t(end));
    EXPECT_EQ(sixteen.ScanLine(2)[14], 7);
}

TEST(PsdLoader, HostileFiles)
{
    const std::string colours = "Invalid color format in PSD or PDD file.";
    const std::string shortData = "Stream read error in PSD or PDD file.";
    const std::string size = "Cannot load image. Image size in PSD or PDD file is invalid.";
    const PsdFile rgb = psd(3, 8, 4, 2, std::vector<Bytes>(3, Bytes(8, 9)));
    const PsdFile packedRgb = With(rgb, [](PsdFile& f) { f.packed = true; });
    ExpectRefused<TPSDGraphic>({
        {"RGB of two channels", psd(3, 8, 4, 2, std::vector<Bytes>(2, Bytes(8, 9))).build(), colours},
        {"CMYK of three channels", psd(4, 8, 4, 2, std::vector<Bytes>(3, Bytes(8, 9))).build(), colours},
        {"Lab of one channel", psd(9, 8, 4, 2, {Bytes(8, 9)}).build(), colours},
        {"grey of no channel", psd(1, 8, 4, 2, {}).build(), colours},
        {"multichannel of two", psd(7, 8, 4, 2, std::vector<Bytes>(2, Bytes(8, 9))).build(), colours},
        {"32-bit samples", psd(1, 32, 1, 1, {Bytes(4, 0)}).build(), colours},
        {"16-bit indexed", psd(2, 16, 1, 1, {Bytes(2, 0)}).build(), colours},
        {"8-bit bitmap mode", psd(0, 8, 1, 1, {Bytes(1, 0)}).build(), colours},
        {"unknown mode", psd(5, 8, 1, 1, {Bytes(1, 0)}).build(), colours},
        {"width zero", psd(1, 8, 0, 1, {Bytes(1, 0)}).build(), size},
        {"version 2 (a large document)", With(rgb.build(), [](Bytes& b) { b[5] = 2; }),
         "Cannot load image. Invalid or unexpected PSD or PDD image format."},
        {"beyond the pixel cap", With(rgb, [](PsdFile& f) { f.width = f.height = 1u << 20; }).build(),
         "Cannot load image. The picture is too large."},
        {"a big packed picture from a small file",
         With(packedRgb,
              [](PsdFile& f) {
                  f.width = f.height = 8000;
                  f.packedRows.assign(3 * 8000, Bytes{});
              })
             .build(),
         size},
        {"raw planes short by a byte", With(rgb, [](PsdFile& f) { f.planes[2].pop_back(); }).build(), shortData},
        {"colour data longer than the file", With(rgb.build(), [](Bytes& b) { b[26] = 0x7F; }), shortData},
        {"packed row too short for its row",
         With(packedRgb,
              [](PsdFile& f) {
                  f.packedRows.assign(6, Bytes{0xFD, 1});  // four bytes of 1 a row
                  f.packedRows[3] = {0x01, 1, 2};
              })
             .build(),
         shortData},
        {"row counts past the end of the file",
         With(With(packedRgb,
                   [](PsdFile& f) {
                       f.packedRows.assign(6, Bytes{0xFD, 1});
                       f.packedRows[5] = Bytes(300, 0x7F);
                   })
                  .build(),
              [](Bytes& b) { b.resize(b.size() - 200); }),
         shortData},
        {"65535 channels of packed rows", With(packedRgb, [](PsdFile& f) { f.channels = 65535; }).build(), shortData},
    });

    // A run longer than its row keeps what fits; the next row starts at its own count.
    PsdFile overrun = psd(1, 8, 4, 2, {});
    overrun.channels = 1;
    overrun.packed = true;
    overrun.packedRows = {Bytes{0x81, 5}, Bytes{0x03, 1, 2, 3, 4}};
    TPSDGraphic cut;
    ASSERT_EQ(LoadError<TPSDGraphic>(overrun.build(), &cut), "");
    EXPECT_EQ(Bytes(cut.ScanLine(0), cut.ScanLine(0) + 4), Bytes(4, 5));
    EXPECT_EQ(Bytes(cut.ScanLine(1), cut.ScanLine(1) + 4), (Bytes{1, 2, 3, 4}));

    // Signatures: a wrong one is refused with the format's message; the
    // stream test accepts any letter case and wants version 1.
    Bytes good = rgb.build();
    Bytes wrong = good;
    wrong[0] = 'x';
    EXPECT_EQ(LoadError<TPSDGraphic>(wrong), "Cannot load image. Invalid or unexpected PSD or PDD image format.");
    EXPECT_TRUE(Recognised<TPSDGraphic>(With(good, [](Bytes& b) {
        b[1] = 'b';
        b[2] = 'p';
    })));
    EXPECT_FALSE(Recognised<TPSDGraphic>(With(good, [](Bytes& b) { b[5] = 2; })));
    EXPECT_FALSE(Recognised<TPSDGraphic>(Bytes(good.begin(), good.begin() + 26)));
}

}  // namespace
