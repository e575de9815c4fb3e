// PNG loader: every colour type and depth made by ImageMagick and netpbm,
// compared with pngtopam's decode (alpha is not applied, gamma as the loader
// applies it); hand-built files for the chunk rules; a table of hostile files.

#include "formats/ImageFormatsLoaders.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <zlib.h>

using namespace corpus;

namespace {

Bytes chunk(const std::string& type, const Bytes& data)
{
    Bytes out;
    PutBE32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    PutBE32(out, static_cast<std::uint32_t>(crc));
    return out;
}

Bytes deflate(const Bytes& raw)
{
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
}

// A PNG built piece by piece: rows are given already filtered (filter byte first).
struct PngSpec {
    std::uint32_t width = 4, height = 2;
    std::uint8_t depth = 8, colorType = 2, compression = 0, interlace = 0;
    std::vector<Bytes> beforeData;  // chunks between IHDR and IDAT
    Bytes raw;                      // the filtered rows, inflated
    Bytes compressed;               // used instead of deflate(raw) when set
    int idatPieces = 1;
    std::string idatType = "IDAT";
    bool iend = true;
};

Bytes buildPng(const PngSpec& s)
{
    Bytes out{137, 80, 78, 71, 13, 10, 26, 10};
    Bytes ihdr;
    PutBE32(ihdr, s.width);
    PutBE32(ihdr, s.height);
    ihdr.insert(ihdr.end(), {s.depth, s.colorType, s.compression, 0, s.interlace});
    Bytes c = chunk("IHDR", ihdr);
    out.insert(out.end(), c.begin(), c.end());
    for (const Bytes& b : s.beforeData) out.insert(out.end(), b.begin(), b.end());
    Bytes data = s.compressed.empty() ? deflate(s.raw) : s.compressed;
    std::size_t piece = (data.size() + s.idatPieces - 1) / s.idatPieces;
    for (std::size_t at = 0; at < data.size(); at += piece) {
        Bytes part(data.begin() + static_cast<long>(at),
                   data.begin() + static_cast<long>(std::min(data.size(), at + piece)));
        c = chunk(s.idatType, part);
        out.insert(out.end(), c.begin(), c.end());
    }
    if (s.iend) {
        c = chunk("IEND", {});
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

Bytes rgbRows(std::uint32_t width, std::uint32_t height, std::uint8_t filter = 0)
{
    Bytes raw;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(filter);
        for (std::uint32_t x = 0; x < width; ++x)
            raw.insert(raw.end(), {static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 60), 99});
    }
    return raw;
}

class PngCorpus : public ToolSuite<PngCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (!NeedTools({"convert", "pngtopam", "pnmtopng"})) return;
        WritePpm(ScratchPath("base.ppm"), MakePattern(40, 27));
        WritePpm(ScratchPath("odd.ppm"), MakePattern(37, 19));
        WritePpm(ScratchPath("tall.ppm"), MakePattern(3, 70));
        WritePpm(ScratchPath("one.ppm"), MakePattern(1, 1));
        WritePpm(ScratchPath("c2.ppm"), MakePattern(37, 19, 2));
        WritePpm(ScratchPath("c4.ppm"), MakePattern(37, 19, 4));
        WritePpm(ScratchPath("c16.ppm"), MakePattern(37, 19, 16));
    }

    std::string expand(std::string cmd, const std::string& out)
    {
        return Substitute(cmd, {{"OUT", out},
                                {"DIR", ScratchDir()},
                                {"CONVERT", FindTool("convert")},
                                {"PNMTOPNG", FindTool("pnmtopng")}});
    }

    // Makes name.png, checks its header says colour type and depth, and
    // compares our decode (gamma table applied to pngtopam's when gamma is
    // given) with pngtopam's.
    void check(const std::string& name, const std::string& command, int colorType, int depth, TPixelFormat format,
               float gamma = 0)
    {
        SCOPED_TRACE(name);
        std::string png = ScratchPath(name + ".png");
        std::string cmd = expand(command, png);
        ASSERT_TRUE(RunQuiet(cmd)) << cmd;
        Bytes bytes = ReadFileBytes(png);
        ASSERT_GT(bytes.size(), 30u);
        ASSERT_EQ(bytes[25], colorType) << "the tool wrote another colour type";
        ASSERT_EQ(bytes[24], depth) << "the tool wrote another depth";
        std::string reference = ScratchPath(name + ".pam");
        ASSERT_TRUE(RunQuiet(FindTool("pngtopam") + " " + png + " > " + reference));
        RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        if (gamma > 0) {
            double exponent = 1.0 / (double(gamma) * 2.2);
            for (std::uint8_t& v : expected.Rgb)
                v = static_cast<std::uint8_t>(std::nearbyint(std::pow(v / 255.0, exponent) * 255.0));
        }

        TPNGGraphic loaded;
        loaded.LoadFromFile(png);
        EXPECT_EQ(loaded.PixelFormat(), format);
        EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
    }
};

TEST_F(PngCorpus, GreyAtEveryDepth)
{
    check("g1",
          "CONVERT DIR/base.ppm -colorspace Gray -threshold 50% -define png:color-type=0 -define png:bit-depth=1 OUT",
          0, 1, pf1bit);
    check("g2",
          "CONVERT DIR/base.ppm -colorspace Gray -posterize 4 -define png:color-type=0 -define png:bit-depth=2 OUT", 0,
          2, pf4bit);
    check("g4",
          "CONVERT DIR/base.ppm -colorspace Gray -posterize 16 -define png:color-type=0 -define png:bit-depth=4 OUT", 0,
          4, pf4bit);
    check("g8", "CONVERT DIR/base.ppm -colorspace Gray -define png:color-type=0 -define png:bit-depth=8 OUT", 0, 8,
          pf8bit);
    check("g16", "CONVERT DIR/base.ppm -colorspace Gray -define png:color-type=0 -define png:bit-depth=16 OUT", 0, 16,
          pf8bit);
    check("ga8",
          "CONVERT DIR/base.ppm -colorspace Gray -alpha set -channel A -fx 0.5 +channel "
          "-define png:color-type=4 -define png:bit-depth=8 OUT",
          4, 8, pf8bit);
    check("ga16",
          "CONVERT DIR/base.ppm -colorspace Gray -alpha set -channel A -fx 0.5 +channel "
          "-define png:color-type=4 -define png:bit-depth=16 OUT",
          4, 16, pf8bit);
}

TEST_F(PngCorpus, ColourAndAlphaAt8And16Bits)
{
    check("rgb8", "CONVERT DIR/base.ppm -define png:color-type=2 -define png:bit-depth=8 OUT", 2, 8, pf24bit);
    check("rgb16", "CONVERT DIR/base.ppm -define png:color-type=2 -define png:bit-depth=16 OUT", 2, 16, pf24bit);
    check("rgba8",
          "CONVERT DIR/base.ppm -alpha set -channel A -fx 0.3 +channel -define png:color-type=6 "
          "-define png:bit-depth=8 OUT",
          6, 8, pf32bit);
    check("rgba16",
          "CONVERT DIR/base.ppm -alpha set -channel A -fx 0.3 +channel -define png:color-type=6 "
          "-define png:bit-depth=16 OUT",
          6, 16, pf32bit);
}

TEST_F(PngCorpus, PalettesWithTransparency)
{
    check("p1", "PNMTOPNG DIR/c2.ppm > OUT", 3, 1, pf1bit);
    check("p2", "PNMTOPNG DIR/c4.ppm > OUT", 3, 2, pf4bit);
    check("p4", "PNMTOPNG DIR/c16.ppm > OUT", 3, 4, pf4bit);
    check("p8", "CONVERT DIR/base.ppm -colors 200 -define png:color-type=3 -define png:bit-depth=8 OUT", 3, 8, pf8bit);
    check("p4t", "PNMTOPNG -transparent '=rgb:61/58/9e' DIR/c16.ppm > OUT", 3, 4, pf4bit);
}

TEST_F(PngCorpus, InterlacedAndOddSizes)
{
    check("i-rgb8", "CONVERT DIR/odd.ppm -interlace PNG -define png:color-type=2 -define png:bit-depth=8 OUT", 2, 8,
          pf24bit);
    check("i-rgb16", "CONVERT DIR/base.ppm -interlace PNG -define png:color-type=2 -define png:bit-depth=16 OUT", 2, 16,
          pf24bit);
    check("i-p1", "PNMTOPNG -interlace DIR/c2.ppm > OUT", 3, 1, pf1bit);
    check("i-p2", "PNMTOPNG -interlace -transparent '=rgb:61/58/9e' DIR/c4.ppm > OUT", 3, 2, pf4bit);
    check("i-tall", "CONVERT DIR/tall.ppm -interlace PNG -define png:color-type=2 -define png:bit-depth=8 OUT", 2, 8,
          pf24bit);
    check("i-one", "CONVERT DIR/one.ppm -interlace PNG -define png:color-type=6 -define png:bit-depth=8 OUT", 6, 8,
          pf32bit);
    check("i-ga",
          "CONVERT DIR/odd.ppm -colorspace Gray -alpha set -interlace PNG -define png:color-type=4 "
          "-define png:bit-depth=8 OUT",
          4, 8, pf8bit);
}

TEST_F(PngCorpus, GammaIsApplied)
{
    // gAMA 1.0 with a display gamma of 2.2: each colour through v^(1/2.2).
    check("gamma-rgb", "PNMTOPNG -gamma 1.0 DIR/base.ppm > OUT", 2, 8, pf24bit, 1.0f);
    check("gamma-rgb16",
          "CONVERT -size 40x27 gradient:red-blue -depth 16 DIR/base16.ppm && PNMTOPNG -gamma 1.0 DIR/base16.ppm > OUT",
          2, 16, pf24bit, 1.0f);
}

TEST(PngLayout, ChunkRulesAndEdges)
{
    PngSpec s;
    s.raw = rgbRows(4, 2);
    Bytes plain = buildPng(s);

    // Image data split over chunks, and chunk types compared without case.
    PngSpec split = s;
    split.idatPieces = 3;
    split.idatType = "idat";
    split.beforeData.push_back(chunk("teXt", {'a', 0, 'b'}));
    TPNGGraphic a, b;
    LoadBytes(a, plain);
    LoadBytes(b, buildPng(split));
    EXPECT_EQ(Compare(ToRgb(a), ToRgb(b)), "");
    EXPECT_EQ(a.PixelColor(3, 1), RGBColor(120, 60, 99));

    // The properties alone.
    TPNGGraphic props;
    TMemoryStream stream(plain);
    ASSERT_TRUE(props.ReadImageProperties(stream, 0));
    EXPECT_EQ(props.ImageProperties.ColorScheme, csRGB);
    EXPECT_EQ(props.ImageProperties.SamplesPerPixel, 3);
    EXPECT_EQ(props.ImageProperties.Compression, ctLZ77);
    EXPECT_FLOAT_EQ(props.ImageProperties.FileGamma, 1.0f);

    // A tRNS colour on an RGB picture makes it transparent with that colour.
    PngSpec trns = s;
    trns.beforeData.push_back(chunk("tRNS", {0, 40, 0, 60, 0, 99}));
    TPNGGraphic t;
    LoadBytes(t, buildPng(trns));
    EXPECT_TRUE(t.Transparent);
    EXPECT_EQ(t.TransparentColor, RGBColor(40, 60, 99));

    // Palette alpha values are kept (missing ones 255) but not applied.
    PngSpec indexed;
    indexed.width = 2;
    indexed.height = 1;
    indexed.colorType = 3;
    indexed.raw = {0, 0, 1};
    indexed.beforeData.push_back(chunk("PLTE", {10, 20, 30, 40, 50, 60}));
    indexed.beforeData.push_back(chunk("tRNS", {0, 128}));
    TPNGGraphic ix;
    LoadBytes(ix, buildPng(indexed));
    ASSERT_EQ(ix.Transparency().size(), 256u);
    EXPECT_EQ(ix.Transparency()[0], 0);
    EXPECT_EQ(ix.Transparency()[1], 128);
    EXPECT_EQ(ix.Transparency()[2], 255);
    EXPECT_FALSE(ix.Transparent);
    EXPECT_EQ(ix.PixelColor(1, 0), RGBColor(40, 50, 60));

    // A grey 2-bit picture loads as 4 bits with a 16-level grey palette.
    PngSpec grey;
    grey.width = 4;
    grey.height = 1;
    grey.colorType = 0;
    grey.depth = 2;
    grey.raw = {0, 0x1B};  // 0, 1, 2, 3
    TPNGGraphic g;
    LoadBytes(g, buildPng(grey));
    EXPECT_EQ(g.PixelFormat(), pf4bit);
    EXPECT_EQ(g.Palette().size(), 16u);
    EXPECT_EQ(g.PixelColor(1, 0), RGBColor(85, 85, 85));
    EXPECT_EQ(g.PixelColor(3, 0), RGBColor(255, 255, 255));

    // Filters: Sub, Up, Average and Paeth rows undo to the same picture.
    for (std::uint8_t filter = 1; filter <= 4; ++filter) {
        PngSpec f;
        f.width = 3;
        f.height = 2;
        f.colorType = 0;
        Bytes rows{0, 10, 20, 30, 0, 40, 50, 60};
        // Encode both rows with the filter.
        Bytes raw;
        const std::uint8_t* previous = nullptr;
        for (int y = 0; y < 2; ++y) {
            const std::uint8_t* row = &rows[y * 4 + 1];
            raw.push_back(filter);
            for (int x = 0; x < 3; ++x) {
                int a = x > 0 ? row[x - 1] : 0;
                int bb = previous ? previous[x] : 0;
                int c = previous && x > 0 ? previous[x - 1] : 0;
                int predicted = filter == 1   ? a
                                : filter == 2 ? bb
                                : filter == 3 ? (a + bb) / 2
                                              : TPNGGraphic::PaethPredictor(static_cast<std::uint8_t>(a),
                                                                            static_cast<std::uint8_t>(bb),
                                                                            static_cast<std::uint8_t>(c));
                raw.push_back(static_cast<std::uint8_t>(row[x] - predicted));
            }
            previous = row;
        }
        f.raw = raw;
        TPNGGraphic loaded;
        LoadBytes(loaded, buildPng(f));
        EXPECT_EQ(loaded.ScanLine(0)[2], 30) << int(filter);
        EXPECT_EQ(loaded.ScanLine(1)[1], 50) << int(filter);
    }
}

TEST(PngLayout, EachInterlacePassStartsFromZeroRows)
{
    // 8 x 1 grey: pass 1 has column 0, pass 2 column 4 (Up filter: the row
    // above counts as zeros), pass 4 columns 2 and 6, pass 6 the odd ones.
    PngSpec s;
    s.width = 8;
    s.height = 1;
    s.colorType = 0;
    s.interlace = 1;
    s.raw = {0, 10, 2, 77, 0, 20, 30, 0, 1, 2, 3, 4};
    TPNGGraphic png;
    LoadBytes(png, buildPng(s));
    const std::uint8_t* line = png.ScanLine(0);
    EXPECT_EQ(Bytes(line, line + 8), (Bytes{10, 1, 20, 2, 77, 3, 30, 4}));
}

TEST(PngLayout, ImageDataEndingEarlyLeavesTheBackground)
{
    // The zlib stream is cut after the first row; bKGD red fills the rest.
    PngSpec s;
    s.width = 4;
    s.height = 3;
    s.raw = rgbRows(4, 3);
    Bytes whole = deflate(s.raw);
    z_stream z{};
    deflateInit(&z, 9);
    Bytes partial(200);
    z.next_in = s.raw.data();
    z.avail_in = 13;  // one row
    z.next_out = partial.data();
    z.avail_out = static_cast<uInt>(partial.size());
    deflate(&z, Z_SYNC_FLUSH);
    partial.resize(partial.size() - z.avail_out);
    deflateEnd(&z);
    s.compressed = partial;
    s.beforeData.push_back(chunk("bKGD", {0, 255, 0, 0, 0, 0}));
    TPNGGraphic png;
    LoadBytes(png, buildPng(s));
    EXPECT_EQ(png.PixelColor(3, 0), RGBColor(120, 0, 99));
    EXPECT_EQ(png.PixelColor(0, 1), RGBColor(255, 0, 0));
    EXPECT_EQ(png.PixelColor(3, 2), RGBColor(255, 0, 0));
}

TEST(PngHostile, EachEndsWithTheLoadersError)
{
    PngSpec good;
    good.raw = rgbRows(4, 2);
    const Bytes valid = buildPng(good);
    auto with = [&](std::function<void(PngSpec&)> change) {
        PngSpec s = good;
        change(s);
        return buildPng(s);
    };
    auto cut = [&](std::size_t size) { return Bytes(valid.begin(), valid.begin() + static_cast<long>(size)); };
    Bytes badCrc = valid;
    badCrc[8 + 8 + 13] ^= 1;  // IHDR's CRC
    Bytes hugeLength = valid;
    hugeLength[33] = 0x7F;  // the IDAT length's top byte
    Bytes extra = with([](PngSpec& s) {
        s.compressed = deflate(s.raw);
        s.compressed.insert(s.compressed.end(), {1, 2, 3});
    });
    Bytes badPalette = with([](PngSpec& s) {
        s.colorType = 3;
        s.raw = {0, 0, 1, 2, 0, 0, 0, 1, 3, 0};
        s.beforeData.push_back(chunk("PLTE", {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    });

    struct Case {
        const char* name;
        Bytes bytes;
        std::string message;
    };
    const std::vector<Case> cases{
        {"cut in the signature", cut(5), "Stream read error in PNG file."},
        {"cut in IHDR", cut(20), "Stream read error in PNG file."},
        {"cut in IDAT", cut(valid.size() - 20), "Stream read error in PNG file."},
        {"no IEND", with([](PngSpec& s) { s.iend = false; }), "Stream read error in PNG file."},
        {"CRC error", badCrc, "Cannot load image. CRC error found in PNG file."},
        {"chunk longer than the file", hugeLength, "Stream read error in PNG file."},
        {"huge size", with([](PngSpec& s) { s.width = s.height = 100000; }),
         "Cannot load image. The picture is too large."},
        {"size the data cannot fill", with([](PngSpec& s) { s.width = s.height = 15000; }),
         "Cannot load image. Image size in PNG file is invalid."},
        {"zero width", with([](PngSpec& s) { s.width = 0; }),
         "Cannot load image. Invalid or unexpected PNG image format."},
        {"RGB at 4 bits", with([](PngSpec& s) { s.depth = 4; }), "Invalid color format in PNG file."},
        {"colour type 7", with([](PngSpec& s) { s.colorType = 7; }), "Invalid color format in PNG file."},
        {"compression method 1", with([](PngSpec& s) { s.compression = 1; }),
         "Cannot load image. The compression scheme is not supported for PNG files."},
        {"PLTE of 10 bytes", with([](PngSpec& s) { s.beforeData.push_back(chunk("PLTE", Bytes(10, 1))); }),
         "Cannot load image. Palette in PNG file is invalid."},
        {"index past the palette", badPalette, "Cannot load image. Palette in PNG file is invalid."},
        {"palette picture without PLTE", with([](PngSpec& s) {
             s.colorType = 3;
             s.raw = {0, 0, 0, 0, 0, 0, 0, 0, 0};
         }),
         "Cannot load image. Palette in PNG file is invalid."},
        {"unknown critical chunk", with([](PngSpec& s) { s.beforeData.push_back(chunk("ABCD", {1})); }),
         "Cannot load PNG image. Unexpected but critical chunk detected."},
        {"broken deflate data", with([](PngSpec& s) { s.compressed = {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0x00}; }),
         "Cannot load image. Compression error found in PNG file."},
        {"data behind the zlib stream", extra, "Cannot load image. Extra compressed data found in PNG file."},
        {"interlace method 2", with([](PngSpec& s) { s.interlace = 2; }),
         "Cannot load image. Invalid or unexpected PNG image format."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadError<TPNGGraphic>(c.bytes), c.message) << c.name;
    }
    EXPECT_EQ(LoadError<TPNGGraphic>(valid), "");
    // An ancillary chunk nobody knows is skipped.
    EXPECT_EQ(LoadError<TPNGGraphic>(with([](PngSpec& s) { s.beforeData.push_back(chunk("abCD", {1})); })), "");
}

}  // namespace
