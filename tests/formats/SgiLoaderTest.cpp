// SGI files from netpbm and ImageMagick (verbatim and run-length, 8 and 16
// bits, grey, RGB and RGB with alpha) compared with sgitopnm's decode; hand
// built files for the layout rules; a table of hostile files.

#include "formats/ImageFormatsSgi.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corpus;

namespace {

struct SgiSpec {
    std::uint16_t magic = 474;
    std::uint8_t storage = 0, bytesPerSample = 1;
    std::uint16_t dimension = 3, width = 2, height = 2, channels = 1;
    // Verbatim: the data after the header. Run-length: one packed row per
    // channel × height + row, laid out after the tables.
    Bytes data;
    std::vector<Bytes> rows;
    std::function<void(std::vector<std::uint32_t>&, std::vector<std::uint32_t>&)> editTables;
};

Bytes buildSgi(const SgiSpec& s)
{
    Bytes out;
    PutBE16(out, s.magic);
    out.push_back(s.storage);
    out.push_back(s.bytesPerSample);
    PutBE16(out, s.dimension);
    PutBE16(out, s.width);
    PutBE16(out, s.height);
    PutBE16(out, s.channels);
    out.resize(512, 0);
    if (s.storage != 1) {
        out.insert(out.end(), s.data.begin(), s.data.end());
        return out;
    }
    std::vector<std::uint32_t> starts, sizes;
    std::uint32_t at = static_cast<std::uint32_t>(512 + 8 * s.rows.size());
    for (const Bytes& row : s.rows) {
        starts.push_back(at);
        sizes.push_back(static_cast<std::uint32_t>(row.size()));
        at += static_cast<std::uint32_t>(row.size());
    }
    if (s.editTables) s.editTables(starts, sizes);
    for (std::uint32_t v : starts) PutBE32(out, v);
    for (std::uint32_t v : sizes) PutBE32(out, v);
    for (const Bytes& row : s.rows) out.insert(out.end(), row.begin(), row.end());
    return out;
}

class SgiCorpus : public ToolSuite<SgiCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (NeedTools({"convert", "pnmtosgi", "sgitopnm", "ppmtopgm", "pamdepth", "pamtopnm"}))
            WritePpm(ScratchPath("photo.ppm"), MakePattern(131, 37));
    }

    // Makes OUT with the command and compares our decode with sgitopnm's;
    // checks the header says what the case is about.
    TSGIGraphic check(const std::string& name, const std::string& pipeline, int storage, int bytesPerSample,
                      int channels, int tolerance = 0)
    {
        SCOPED_TRACE(name);
        const std::string out = ScratchPath(name + ".sgi"), reference = ScratchPath(name + ".ref");
        const std::string command = Substitute(pipeline, {{"OUT", out}, {"IN", ScratchPath("photo.ppm")}});
        TSGIGraphic loaded;
        EXPECT_TRUE(RunQuiet(command)) << command;
        Bytes bytes = ReadFileBytes(out);
        if (bytes.size() < 12) {
            ADD_FAILURE() << "no file";
            return loaded;
        }
        EXPECT_EQ(bytes[2], storage);
        EXPECT_EQ(bytes[3], bytesPerSample);
        EXPECT_EQ(bytes[11], channels);
        EXPECT_TRUE(RunQuiet(FindTool("sgitopnm") + " " + out + " | " + FindTool("pamdepth") + " 255 | " +
                             FindTool("pamtopnm") + " > " + reference));
        RgbImage expected = ReadNetpbm(reference);
        EXPECT_GT(expected.Width, 0);
        loaded.LoadFromFile(out);
        if (tolerance == 0)
            EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
        else
            EXPECT_LE(MaxDifference(expected, ToRgb(loaded)), tolerance);
        return loaded;
    }
};

TEST_F(SgiCorpus, NetpbmAndImageMagickFiles)
{
    EXPECT_EQ(check("rgb-rle", "pnmtosgi -rle IN > OUT", 1, 1, 3).PixelFormat(), pf24bit);
    check("rgb", "pnmtosgi -verbatim IN > OUT", 0, 1, 3);
    EXPECT_EQ(check("grey-rle", "ppmtopgm IN | pnmtosgi -rle > OUT", 1, 1, 1).PixelFormat(), pf8bit);
    check("grey", "ppmtopgm IN | pnmtosgi -verbatim > OUT", 0, 1, 1);
    check("im-rgb", "convert IN -compress None OUT", 0, 1, 3);
    check("im-rgb-rle", "convert IN -compress RLE OUT", 1, 1, 3);
}

// 16-bit samples are scaled to 8 bits, grey ones too (once written raw
// into 8-bit rows).
TEST_F(SgiCorpus, SixteenBitSamples)
{
    check("rgb16-rle", "pamdepth 65535 IN | pamtopnm | pnmtosgi -rle > OUT", 1, 2, 3);
    check("rgb16", "pamdepth 65535 IN | pamtopnm | pnmtosgi -verbatim > OUT", 0, 2, 3);
    check("grey16-rle", "ppmtopgm IN | pamdepth 65535 | pamtopnm | pnmtosgi -rle > OUT", 1, 2, 1);
    check("grey16", "ppmtopgm IN | pamdepth 65535 | pamtopnm | pnmtosgi -verbatim > OUT", 0, 2, 1);
    check("im-rgb16", "convert IN -depth 16 -compress None OUT", 0, 2, 3);
    // Samples that are no multiple of 257: 16 to 8 bits truncates where
    // netpbm rounds.
    check("rgb16-odd", "pamdepth 1000 IN | pamdepth 65535 | pamtopnm | pnmtosgi -rle > OUT", 1, 2, 3, 1);
}

TEST_F(SgiCorpus, RunLengthWithAlphaLoadsAsBgra)
{
    TSGIGraphic sgi =
        check("rgba-rle", "convert IN -alpha set -channel A -fx 'i/w' +channel -compress RLE OUT", 1, 1, 4);
    ASSERT_EQ(sgi.PixelFormat(), pf32bit);
    const std::string alpha = ScratchPath("alpha.pgm");
    ASSERT_TRUE(
        RunQuiet(FindTool("convert") + " " + ScratchPath("rgba-rle.sgi") + " -alpha extract -depth 8 " + alpha));
    RgbImage expected = ReadNetpbm(alpha);
    ASSERT_EQ(expected.Width, sgi.Width());
    for (int y = 0; y < sgi.Height(); y += 5)
        for (int x = 0; x < sgi.Width(); x += 7)
            ASSERT_EQ(sgi.ScanLine(y)[4 * x + 3], expected.pixel(x, y)[0]) << x << "," << y;
}

// The file's first row is the bottom of the picture; one dimension is one
// row of one channel.
TEST(SgiLayout, BottomRowFirstAndDimensions)
{
    SgiSpec s;
    s.channels = 3;
    // Red plane, green plane, blue plane, each bottom row first.
    s.data = {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24};
    TSGIGraphic sgi;
    LoadBytes(sgi, buildSgi(s));
    EXPECT_EQ(sgi.PixelColor(0, 1), RGBColor(1, 11, 21));
    EXPECT_EQ(sgi.PixelColor(1, 0), RGBColor(4, 14, 24));

    SgiSpec row;
    row.dimension = 1;
    row.width = 3;
    row.height = 500;  // not used with one dimension
    row.channels = 7;  // nor this
    row.data = {9, 8, 7};
    TSGIGraphic one;
    LoadBytes(one, buildSgi(row));
    EXPECT_EQ(one.Height(), 1);
    EXPECT_EQ(one.PixelColor(2, 0), RGBColor(7, 7, 7));

    // Row lengths longer than the file are read up to its end.
    SgiSpec rle;
    rle.storage = 1;
    rle.width = 3;
    rle.height = 1;
    rle.rows = {{0x83, 5, 6, 7, 0}};
    rle.editTables = [](auto&, auto& sizes) { sizes[0] = 0xFFFFFFFF; };
    TSGIGraphic longRow;
    LoadBytes(longRow, buildSgi(rle));
    EXPECT_EQ(longRow.PixelColor(2, 0), RGBColor(7, 7, 7));

    // Table offsets count from where the image starts in the stream.
    TSGIGraphic later;
    LoadBytesAt(later, buildSgi(rle), 7);
    EXPECT_EQ(later.PixelColor(0, 0), RGBColor(5, 5, 5));

    TMemoryStream stream(buildSgi(s));
    TSGIGraphic props;
    ASSERT_TRUE(props.ReadImageProperties(stream, 0));
    EXPECT_EQ(props.ImageProperties.ColorScheme, csRGB);
    EXPECT_EQ(props.ImageProperties.Options, BigEndianOption);
    EXPECT_EQ(props.ImageProperties.Compression, ctNone);
}

TEST(SgiHostile, EachEndsWithTheLoadersError)
{
    const std::string invalid = "Cannot load image. Invalid or unexpected sgi, bw or rgb(a) image format.";
    const std::string readError = "Stream read error in sgi, bw or rgb(a) file.";
    const std::string compression = "Cannot load image. Compression error found in sgi, bw or rgb(a) file.";
    const std::string size = "Cannot load image. Image size in sgi, bw or rgb(a) file is invalid.";
    SgiSpec rle;
    rle.storage = 1;
    rle.width = 4;
    rle.height = 2;
    rle.rows = {{0x84, 1, 2, 3, 4, 0}, {0x04, 9, 0}};
    auto with = [](SgiSpec s, std::function<void(SgiSpec&)> change) {
        change(s);
        return buildSgi(s);
    };
    SgiSpec plain;
    plain.data = {1, 2, 3, 4};
    const Bytes validRle = buildSgi(rle);
    auto secondRow = [&](Bytes row) { return with(rle, [&](SgiSpec& s) { s.rows[1] = row; }); };
    ExpectRefused<TSGIGraphic>({
        {"wrong magic", with(plain, [](SgiSpec& s) { s.magic = 475; }), invalid},
        {"three bytes per sample", with(plain, [](SgiSpec& s) { s.bytesPerSample = 3; }), invalid},
        {"no channels", with(plain, [](SgiSpec& s) { s.channels = 0; }), invalid},
        {"header cut", Bytes(300, 1), readError},
        {"stored rows cut", with(plain, [](SgiSpec& s) { s.data.pop_back(); }), readError},
        {"16-bit stored rows cut", with(plain, [](SgiSpec& s) { s.bytesPerSample = 2; }), readError},
        {"tables cut", Bytes(validRle.begin(), validRle.begin() + 520), readError},
        {"row offset past the end",
         with(rle, [](SgiSpec& s) { s.editTables = [](auto& starts, auto&) { starts[1] = 100000; }; }), readError},
        {"row offset past 32 bits",
         with(rle, [](SgiSpec& s) { s.editTables = [](auto& starts, auto&) { starts[0] = 0xFFFFFFF0; }; }), readError},
        {"run past the row", secondRow({0x05, 9, 0}), compression},
        {"copy past the data", secondRow({0x84, 9, 9}), compression},
        {"row shorter than the width", secondRow({0x02, 9, 0}), compression},
        {"16-bit row cut inside a sample",
         with(rle,
              [](SgiSpec& s) {
                  s.bytesPerSample = 2;
                  s.rows = {{0x00, 0x84, 0, 1, 0, 2, 0, 3, 0, 4, 0, 0}, {0x00, 0x04, 0}};
              }),
         compression},
        {"size the runs cannot fill",
         with(rle,
              [](SgiSpec& s) {
                  s.width = 16000;
                  s.height = 16000;
                  s.rows.resize(16000, Bytes{0x7F, 1, 0});
              }),
         size},
        {"size past the pixel cap", with(plain, [](SgiSpec& s) { s.width = s.height = 65535; }), ""},
        {"RGB at the pixel cap from a few bytes",  // the cap counts pixels, not samples
         with(plain,
              [](SgiSpec& s) {
                  s.width = s.height = 16384;
                  s.channels = 3;
              }),
         size},
    });
    TSGIGraphic fine;
    EXPECT_NO_THROW(LoadBytes(fine, buildSgi(rle)));
    EXPECT_EQ(fine.PixelColor(3, 1), RGBColor(4, 4, 4));
}

}  // namespace
