// PCX loader: files from ImageMagick and ppmtopcx compared with pcxtoppm's
// decode; hand-built files for versions, palettes and plain data; a table
// of hostile files.
//
// Differences by design: a version-3 file takes the system's 16 colours
// (pcxtoppm reads the header palette), and a 1-bit file is black and white.

#include "formats/ImageFormatsLoaders.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corpus;

namespace {

struct PcxSpec {
    std::uint8_t manufacturer = 10, version = 5, encoding = 0, bits = 8, planes = 1;
    std::uint16_t width = 4, height = 2, bytesPerLine = 4, paletteInfo = 1;
    Bytes headerPalette = Bytes(48, 0);
    Bytes data;
    Bytes trailing;  // appended after the data
};

Bytes buildPcx(const PcxSpec& s)
{
    Bytes out(128, 0);
    auto put16 = [&](int at, std::uint16_t v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    out[0] = s.manufacturer;
    out[1] = s.version;
    out[2] = s.encoding;
    out[3] = s.bits;
    put16(8, static_cast<std::uint16_t>(s.width - 1));
    put16(10, static_cast<std::uint16_t>(s.height - 1));
    std::copy(s.headerPalette.begin(), s.headerPalette.end(), out.begin() + 16);
    out[65] = s.planes;
    put16(66, s.bytesPerLine);
    put16(68, s.paletteInfo);
    out.insert(out.end(), s.data.begin(), s.data.end());
    out.insert(out.end(), s.trailing.begin(), s.trailing.end());
    return out;
}

Bytes trailingPalette()
{
    Bytes p{12};
    for (int i = 0; i < 256; ++i)
        p.insert(p.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 2), 200});
    return p;
}

class PcxCorpus : public ToolSuite<PcxCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (!NeedTools({"convert", "pcxtoppm", "ppmtopcx"})) return;
        WritePpm(ScratchPath("base.ppm"), MakePattern(40, 27));
        WritePpm(ScratchPath("odd.ppm"), MakePattern(37, 19));
        WritePpm(ScratchPath("c2.ppm"), MakePattern(37, 19, 2));
        WritePpm(ScratchPath("c16.ppm"), MakePattern(37, 19, 16));
        WritePpm(ScratchPath("c200.ppm"), MakePattern(64, 40, 200));
    }

    void check(const std::string& name, std::string command, int bits, int planes, TPixelFormat format)
    {
        SCOPED_TRACE(name);
        std::string pcx = ScratchPath(name + ".pcx");
        command = Substitute(command, {{"OUT", pcx},
                                       {"DIR", ScratchDir()},
                                       {"CONVERT", FindTool("convert")},
                                       {"PPMTOPCX", FindTool("ppmtopcx")}});
        ASSERT_TRUE(RunQuiet(command)) << command;
        Bytes bytes = ReadFileBytes(pcx);
        ASSERT_GE(bytes.size(), 128u);
        ASSERT_EQ(bytes[3], bits) << "the tool wrote another depth";
        ASSERT_EQ(bytes[65], planes) << "the tool wrote another plane count";
        std::string reference = ScratchPath(name + ".ppm");
        ASSERT_TRUE(RunQuiet(FindTool("pcxtoppm") + " " + pcx + " > " + reference));
        RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        TPCXGraphic loaded;
        loaded.LoadFromFile(pcx);
        EXPECT_EQ(loaded.PixelFormat(), format);
        EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
    }
};

TEST_F(PcxCorpus, EveryPlaneLayoutFromTheTools)
{
    check("rgb", "CONVERT DIR/base.ppm OUT", 8, 3, pf24bit);
    check("rgb-odd", "PPMTOPCX -24bit DIR/odd.ppm > OUT", 8, 3, pf24bit);
    check("pal8", "CONVERT DIR/base.ppm -type Palette OUT", 8, 1, pf8bit);
    check("pal8-odd", "PPMTOPCX -8bit DIR/c200.ppm > OUT", 8, 1, pf8bit);
    check("planes16", "PPMTOPCX DIR/c16.ppm > OUT", 1, 4, pf4bit);
    check("packed16", "PPMTOPCX -packed DIR/c16.ppm > OUT", 4, 1, pf4bit);
    check("mono", "PPMTOPCX DIR/c2.ppm > OUT", 1, 1, pf1bit);
}

TEST(PcxLayout, VersionsPalettesAndPlainData)
{
    // Four 1-bit planes: plane 0 is the lowest bit of each pixel.
    PcxSpec planes;
    planes.bits = 1;
    planes.planes = 4;
    planes.width = 8;
    planes.height = 1;
    planes.bytesPerLine = 1;
    planes.data = {0b10000001, 0b01000001, 0b00100001, 0b00010001};
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) planes.headerPalette[i * 3 + c] = static_cast<std::uint8_t>(i * 16 + c);
    TPCXGraphic p;
    LoadBytes(p, buildPcx(planes));
    ASSERT_EQ(p.PixelFormat(), pf4bit);
    const std::uint8_t* line = p.ScanLine(0);
    EXPECT_EQ(line[0], 0x12);  // pixels 0 and 1: values 1 and 2
    EXPECT_EQ(line[1], 0x48);
    EXPECT_EQ(line[3] & 0x0F, 0x0F);
    EXPECT_EQ(p.PixelColor(1, 0), RGBColor(32, 33, 34));

    // Version 3 takes the system's 16 colours.
    planes.version = 3;
    TPCXGraphic v3;
    LoadBytes(v3, buildPcx(planes));
    EXPECT_EQ(v3.Palette(), SystemPalette16().Entries);

    // An uncompressed 8-bit file with and without its trailing palette.
    PcxSpec plain;
    plain.data = {0, 1, 2, 3, 250, 251, 252, 12};
    plain.trailing = trailingPalette();
    TPCXGraphic withPalette;
    LoadBytes(withPalette, buildPcx(plain));
    EXPECT_EQ(withPalette.PixelColor(3, 0), RGBColor(3, 1, 200));
    EXPECT_EQ(withPalette.PixelColor(3, 1), RGBColor(12, 6, 200));

    // No palette behind the data: nothing is cut from it, and palette
    // information 2 makes it grey.
    plain.trailing.clear();
    plain.paletteInfo = 2;
    TPCXGraphic grey;
    LoadBytes(grey, buildPcx(plain));
    ASSERT_EQ(grey.Height(), 2);
    EXPECT_EQ(grey.PixelColor(0, 1), RGBColor(250, 250, 250));
    EXPECT_EQ(grey.PixelColor(3, 1), RGBColor(12, 12, 12));

    // A larger picture without a trailing palette keeps all its rows.
    PcxSpec big;
    big.width = big.bytesPerLine = 40;
    big.height = 40;
    big.paletteInfo = 2;
    for (int i = 0; i < 1600; ++i) big.data.push_back(static_cast<std::uint8_t>(i % 7 == 0 ? 200 : i / 40));
    TPCXGraphic whole;
    LoadBytes(whole, buildPcx(big));
    EXPECT_EQ(whole.PixelColor(2, 39), RGBColor(39, 39, 39));
    EXPECT_EQ(whole.PixelColor(1, 39), RGBColor(200, 200, 200));

    // Run-length rows, and a first byte of 205 reads like 10.
    PcxSpec rle = plain;
    rle.encoding = 1;
    rle.manufacturer = 205;
    rle.data = {0xC4, 7, 0xC1, 9, 0xC3, 0xC0, 0xC0};
    TPCXGraphic r;
    LoadBytes(r, buildPcx(rle));
    EXPECT_EQ(r.ScanLine(0)[3], 7);
    EXPECT_EQ(r.ScanLine(1)[0], 9);
    EXPECT_EQ(r.ScanLine(1)[3], 0xC0);
    Bytes bytes = buildPcx(rle);
    TMemoryStream stream(bytes);
    EXPECT_FALSE(TPCXGraphic::CanLoad(stream));
    bytes[0] = 12;
    TMemoryStream twelve(bytes);
    EXPECT_TRUE(TPCXGraphic::CanLoad(twelve));
    EXPECT_EQ(twelve.Position(), 0);

    // Another first byte is no PCX file: the picture stays empty, quietly.
    bytes[0] = 99;
    TPCXGraphic none;
    EXPECT_NO_THROW(LoadBytes(none, bytes));
    EXPECT_TRUE(none.Empty());
}

TEST(PcxHostile, EachEndsWithTheLoadersError)
{
    PcxSpec good;
    good.encoding = 1;
    good.data = {0xC4, 1, 0xC4, 2};
    auto with = [&](std::function<void(PcxSpec&)> change) {
        PcxSpec s = good;
        change(s);
        return buildPcx(s);
    };
    const Bytes valid = buildPcx(good);
    ExpectRefused<TPCXGraphic>({
        {"header cut", Bytes(valid.begin(), valid.begin() + 100), ""},
        {"data cut between packets", Bytes(valid.begin(), valid.end() - 2), ""},
        {"data cut inside a packet", Bytes(valid.begin(), valid.end() - 1), ""},
        {"plain data cut", with([](PcxSpec& s) {
             s.encoding = 0;
             s.data.assign(5, 1);
         }),
         ""},
        {"run past the picture", with([](PcxSpec& s) {
             s.data = {0xC4, 1, 0xFF, 2};
         }),
         "Cannot load image. Compression error found in PCX file."},
        {"huge size", with([](PcxSpec& s) {
             s.width = s.height = 65535;
             s.bytesPerLine = 65535;
         }),
         ""},
        {"size the data cannot fill", with([](PcxSpec& s) {
             s.width = s.height = 9000;
             s.bytesPerLine = 9000;
         }),
         ""},
        {"width field wraps", with([](PcxSpec& s) { s.width = 0; }), ""},
        {"line shorter than the row", with([](PcxSpec& s) { s.bytesPerLine = 2; }), ""},
        {"two 1-bit planes", with([](PcxSpec& s) {
             s.bits = 1;
             s.planes = 2;
         }),
         "Invalid color format in PCX file."},
        {"no planes", with([](PcxSpec& s) { s.planes = 0; }), "Invalid color format in PCX file."},
        {"16 bits per plane", with([](PcxSpec& s) { s.bits = 16; }), "Invalid color format in PCX file."},
    });
    TPCXGraphic fine;
    EXPECT_NO_THROW(LoadBytes(fine, valid));
}

}  // namespace
