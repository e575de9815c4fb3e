// Targa loader and writer: files from ImageMagick, netpbm and our own hands
// compared with tgatoppm's decode; save and reload of every format the
// writer takes; a table of hostile files.
//
// ImageMagick 6 stores its top row first under a bottom-left origin; we and
// tgatoppm follow the header, so its files compare equal but upside down
// against the source picture. Orientation is checked against the source
// with files we write ourselves.
//
// Differences by design: 15- and 16-bit pixels and map entries are compared
// on their top five bits, since tgatoppm scales five bits to 0..255 one way
// and the 24-bit conversion of a 15-bit bitmap another.

#include "formats/ImageFormatsLoaders.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corpus;

namespace {

struct TargaSpec {
    std::uint8_t idLength = 0, mapType = 0, imageType = 2;
    std::uint16_t mapStart = 0, mapLength = 0;
    std::uint8_t mapEntrySize = 24;
    std::uint16_t width = 3, height = 2;
    std::uint8_t depth = 24, descriptor = 0;
    Bytes id, map, data;
};

Bytes buildTarga(const TargaSpec& s)
{
    Bytes out{s.idLength, s.mapType, s.imageType};
    auto put16 = [&](std::uint16_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(s.mapStart);
    put16(s.mapLength);
    out.push_back(s.mapEntrySize);
    put16(0);
    put16(0);
    put16(s.width);
    put16(s.height);
    out.push_back(s.depth);
    out.push_back(s.descriptor);
    out.insert(out.end(), s.id.begin(), s.id.end());
    out.insert(out.end(), s.map.begin(), s.map.end());
    out.insert(out.end(), s.data.begin(), s.data.end());
    return out;
}

// 5-5-5 words of a pattern, little-endian, rows in file order.
Bytes words555(int width, int height)
{
    Bytes data;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint16_t w = static_cast<std::uint16_t>(((x * 3) & 31) << 10 | ((y * 5) & 31) << 5 | ((x + y) & 31));
            if (x % 5 == 0) w = 0x7FFF;
            data.push_back(static_cast<std::uint8_t>(w));
            data.push_back(static_cast<std::uint8_t>(w >> 8));
        }
    return data;
}

class TargaCorpus : public ToolSuite<TargaCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (!NeedTools({"convert", "tgatoppm", "ppmtotga"})) return;
        WritePpm(ScratchPath("base.ppm"), MakePattern(40, 27));
        WritePpm(ScratchPath("wide.ppm"), MakePattern(300, 9));
        WritePpm(ScratchPath("odd.ppm"), MakePattern(37, 19, 12));
    }

    // Compares our decode of a file with tgatoppm's; checks the header's
    // image type and depth so the case tests what it says.
    void compareFile(const std::string& name, const std::string& tga, int imageType, int depth, int shift = 0)
    {
        SCOPED_TRACE(name);
        Bytes bytes = ReadFileBytes(tga);
        ASSERT_GE(bytes.size(), 18u);
        ASSERT_EQ(bytes[2], imageType) << "the tool wrote another image type";
        ASSERT_EQ(bytes[16], depth) << "the tool wrote another depth";
        std::string reference = ScratchPath(name + ".ppm");
        ASSERT_TRUE(RunQuiet(FindTool("tgatoppm") + " " + tga + " > " + reference));
        RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        TTargaGraphic loaded;
        loaded.LoadFromFile(tga);
        EXPECT_EQ(Compare(expected, ToRgb(loaded), shift), "");
    }

    void check(const std::string& name, std::string command, int imageType, int depth)
    {
        std::string tga = ScratchPath(name + ".tga");
        command = Substitute(command, {{"OUT", tga},
                                       {"DIR", ScratchDir()},
                                       {"CONVERT", FindTool("convert")},
                                       {"PPMTOTGA", FindTool("ppmtotga")}});
        ASSERT_TRUE(RunQuiet(command)) << command;
        compareFile(name, tga, imageType, depth);
    }

    void checkBytes(const std::string& name, const Bytes& bytes, int shift)
    {
        std::string tga = ScratchPath(name + ".tga");
        WriteFileBytes(tga, bytes);
        compareFile(name, tga, bytes[2], bytes[16], shift);
    }
};

TEST_F(TargaCorpus, TrueColourGreyAndMappedFromTheTools)
{
    check("rgb-rle", "CONVERT DIR/base.ppm -compress RLE OUT", 10, 24);
    check("rgb", "CONVERT DIR/base.ppm -compress None OUT", 2, 24);
    check("rgb-wide-rle", "PPMTOTGA -rgb DIR/wide.ppm > OUT", 10, 24);
    check("rgba", "CONVERT DIR/base.ppm -alpha set -channel A -fx 0.5 +channel -compress None OUT", 2, 32);
    check("rgba-rle", "CONVERT DIR/base.ppm -alpha set -channel A -fx 0.5 +channel -compress RLE OUT", 10, 32);
    check("grey", "CONVERT DIR/base.ppm -colorspace Gray -compress None OUT", 3, 8);
    check("grey-rle",
          "CONVERT DIR/base.ppm -colorspace Gray -compress None DIR/g.pgm && "
          "PPMTOTGA -mono DIR/g.pgm > OUT",
          11, 8);
    check("mapped", "CONVERT DIR/odd.ppm -type Palette -compress None OUT", 1, 8);
    check("mapped-rle", "PPMTOTGA -cmap DIR/odd.ppm > OUT", 9, 8);
}

TEST_F(TargaCorpus, FifteenAndSixteenBitsAndTopOrigin)
{
    for (std::uint8_t depth : {15, 16}) {
        TargaSpec s;
        s.width = 13;
        s.height = 7;
        s.depth = depth;
        s.data = words555(13, 7);
        checkBytes("w" + std::to_string(depth), buildTarga(s), 3);
        s.descriptor = 0x20;  // the same rows read as top-down
        checkBytes("w" + std::to_string(depth) + "-top", buildTarga(s), 3);
    }
    // A 16-bit run-length file: one run and one literal packet per row.
    TargaSpec r;
    r.imageType = 10;
    r.width = 5;
    r.height = 2;
    r.depth = 16;
    r.data = {0x82, 0x1F, 0x00, 0x01, 0xE0, 0x03, 0x00, 0x7C, 0x84, 0xFF, 0x7F};
    checkBytes("w16-rle", buildTarga(r), 3);

    // A colour map of 16-bit entries.
    TargaSpec m;
    m.imageType = 1;
    m.mapType = 1;
    m.mapLength = 3;
    m.mapEntrySize = 16;
    m.map = {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C};
    m.depth = 8;
    m.data = {0, 1, 2, 2, 1, 0};
    checkBytes("map16", buildTarga(m), 3);

    // 24-bit top-left origin with an ID field, against its bottom-left twin.
    TargaSpec top;
    top.idLength = 3;
    top.id = {'a', 'b', 'c'};
    top.descriptor = 0x20;
    top.data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    TargaSpec bottom = top;
    bottom.descriptor = 0;
    bottom.data = {10, 11, 12, 13, 14, 15, 16, 17, 18, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    checkBytes("top", buildTarga(top), 0);
    TTargaGraphic a, b;
    LoadBytes(a, buildTarga(top));
    LoadBytes(b, buildTarga(bottom));
    EXPECT_EQ(Compare(ToRgb(a), ToRgb(b)), "");
    EXPECT_EQ(a.PixelColor(0, 0), RGBColor(3, 2, 1));
}

TEST_F(TargaCorpus, SavedFilesReadByTgatoppm)
{
    RgbImage pattern = MakePattern(300, 9);
    TBitmap bitmap;
    bitmap.SetSize(pattern.Width, pattern.Height);
    for (int y = 0; y < pattern.Height; ++y)
        for (int x = 0; x < pattern.Width; ++x) {
            const std::uint8_t* p = pattern.pixel(x, y);
            bitmap.SetPixelColor(x, y, RGBColor(p[0], p[1], p[2]));
        }
    TTargaGraphic tga;
    tga.Assign(bitmap);
    for (bool compressed : {true, false}) {
        TMemoryStream out;
        tga.SaveToStream(out, compressed);
        std::string name = compressed ? "saved-rle" : "saved";
        checkBytes(name, out.Bytes(), 0);
        RgbImage ours = ReadNetpbm(ScratchPath(name + ".ppm"));
        EXPECT_EQ(Compare(pattern, ours), "") << "tgatoppm sees the picture upside down or changed";
    }
}

// Every pixel format the writer takes comes back with the same colours,
// compressed and not.
TEST(TargaWriter, SaveAndReloadEveryFormat)
{
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(format);
        if (format == pf8bit) {
            TLogPalette palette;
            for (int i = 0; i < 256; ++i)
                palette.Entries.push_back(TPaletteEntry{static_cast<std::uint8_t>(i),
                                                        static_cast<std::uint8_t>(255 - i),
                                                        static_cast<std::uint8_t>(i * 7), 0});
            bitmap.SetPalette(palette);
        }
        bitmap.SetSize(150, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 150; ++x)
                bitmap.SetPixelColor(x, y, x < 60 ? RGBColor(255, 255, 255) : RGBColor(x * 3, y * 50, 200));
        // Targa has no 5-6-5 words: a 16-bit picture is written as 5-5-5.
        TBitmap stored;
        stored.Assign(bitmap);
        if (format == pf16bit) stored.SetPixelFormat(pf15bit);
        RgbImage before = ToRgb(stored);
        for (bool compressed : {true, false}) {
            SCOPED_TRACE(std::to_string(int(format)) + (compressed ? " compressed" : " plain"));
            TTargaGraphic tga;
            tga.Assign(bitmap);
            TMemoryStream out;
            tga.SaveToStream(out, compressed);
            const Bytes& bytes = out.Bytes();
            ASSERT_GE(bytes.size(), 18u);
            EXPECT_EQ(bytes[17] & 0x20, 0x20);  // rows stored top first
            TTargaGraphic back;
            out.SetPosition(0);
            back.LoadFromStream(out);
            EXPECT_EQ(Compare(before, ToRgb(back)), "");
        }
    }
}

TEST(TargaWriter, HeaderOf24And8BitPictures)
{
    TBitmap rgb;
    rgb.SetSize(4, 3);
    TTargaGraphic tga;
    tga.Assign(rgb);
    TMemoryStream out;
    tga.SaveToStream(out);
    EXPECT_EQ(out.Bytes()[1], 0);   // no colour map
    EXPECT_EQ(out.Bytes()[2], 10);  // run-length true colour
    EXPECT_EQ(out.Bytes()[16], 24);

    TBitmap indexed;
    indexed.SetPixelFormat(pf8bit);
    indexed.SetSize(4, 3);
    TTargaGraphic mapped;
    mapped.Assign(indexed);
    TMemoryStream out8;
    mapped.SaveToStream(out8);
    const Bytes& b = out8.Bytes();
    EXPECT_EQ(b[1], 1);
    EXPECT_EQ(b[2], 9);
    EXPECT_EQ(b[5] | (b[6] << 8), 256);
    EXPECT_EQ(b[7], 24);
    EXPECT_EQ(b[16], 8);
    // 256 map entries of three bytes, then 3 rows of one run packet each.
    EXPECT_EQ(b.size(), 18u + 768u + 3u * 2u);

    TTargaGraphic empty;
    TMemoryStream nothing;
    empty.SaveToStream(nothing);
    EXPECT_EQ(nothing.Size(), 0);
}

TEST(TargaHostile, EachEndsWithTheLoadersError)
{
    TargaSpec good;
    good.imageType = 10;
    good.width = 4;
    good.height = 2;
    good.data = {0x83, 1, 2, 3, 0x83, 4, 5, 6};
    auto with = [&](std::function<void(TargaSpec&)> change) {
        TargaSpec s = good;
        change(s);
        return buildTarga(s);
    };
    const Bytes valid = buildTarga(good);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases{
        {"header cut", Bytes(valid.begin(), valid.begin() + 10)},
        {"run-length data cut between packets", Bytes(valid.begin(), valid.end() - 4)},
        {"run-length data cut inside a packet", Bytes(valid.begin(), valid.end() - 2)},
        {"plain rows cut", with([](TargaSpec& s) {
             s.imageType = 2;
             s.data.assign(20, 1);
         })},
        {"packet past the row", with([](TargaSpec& s) {
             s.data = {0x87, 1, 2, 3};
         })},
        {"literal past the row",
         with([](TargaSpec& s) { s.data = {0x05, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9}; })},
        {"huge size", with([](TargaSpec& s) { s.width = s.height = 65535; })},
        {"size the data cannot fill", with([](TargaSpec& s) { s.width = s.height = 10000; })},
        {"index past the map", with([](TargaSpec& s) {
             s.imageType = 1;
             s.depth = 8;
             s.mapType = 1;
             s.mapLength = 2;
             s.map.assign(6, 50);
             s.data = {0, 1, 0, 1, 1, 0, 5, 0};
         })},
        {"map longer than the file", with([](TargaSpec& s) {
             s.imageType = 1;
             s.depth = 8;
             s.mapType = 1;
             s.mapLength = 60000;
             s.data.assign(8, 0);
         })},
        {"mapped picture of 16-bit pixels", with([](TargaSpec& s) {
             s.imageType = 1;
             s.depth = 16;
             s.data.assign(16, 0);
         })},
        {"unknown image type", with([](TargaSpec& s) { s.imageType = 5; })},
        {"unknown depth", with([](TargaSpec& s) { s.depth = 7; })},
    };
    for (const Case& c : cases) {
        TTargaGraphic tga;
        EXPECT_THROW(LoadBytes(tga, c.bytes), EInvalidGraphic) << c.name;
    }
    TTargaGraphic fine;
    EXPECT_NO_THROW(LoadBytes(fine, valid));
    EXPECT_EQ(fine.PixelColor(0, 1), RGBColor(3, 2, 1));  // bottom-left origin: the first row is the bottom
}

}  // namespace
