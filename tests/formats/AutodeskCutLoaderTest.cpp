// Autodesk cel/pic and Dr. Halo CUT files written by our own writers below
// (no Debian tool writes either), loaded and compared with the pixels and
// palettes written; the CUT palette file's block layout and its search in
// any letter case; hostile files for both.

#include "formats/ImageFormatsAutodesk.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace corpus;

namespace {

struct Indexed {
    int width = 0, height = 0;
    Bytes pixels;   // one index per pixel, rows top first
    Bytes palette;  // red, green, blue per entry
};

Indexed makeIndexed(int width, int height)
{
    Indexed p{width, height, {}, {}};
    RgbImage pattern = MakePattern(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Long runs and single pixels both.
            const std::uint8_t* c = pattern.pixel(x, y);
            p.pixels.push_back(x % 17 < 9 ? static_cast<std::uint8_t>(y * 3) : static_cast<std::uint8_t>(c[0] ^ c[2]));
        }
    for (int i = 0; i < 256; ++i)
        for (int k = 0; k < 3; ++k) p.palette.push_back(static_cast<std::uint8_t>((i * (k + 3) + k * 40) & 0xFF));
    return p;
}

// --- Autodesk writer ---------------------------------------------------------------

Bytes buildCel(const Indexed& p, std::uint8_t bits = 8, std::uint8_t compression = 0)
{
    Bytes out;
    PutLE16(out, 0x9119);
    PutLE16(out, static_cast<std::uint16_t>(p.width));
    PutLE16(out, static_cast<std::uint16_t>(p.height));
    PutLE16(out, 0);
    PutLE16(out, 0);
    out.push_back(bits);
    out.push_back(compression);
    const std::uint32_t size = static_cast<std::uint32_t>(p.pixels.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    out.resize(32, 0);
    for (std::uint8_t c : p.palette) out.push_back(c >> 2);
    out.insert(out.end(), p.pixels.begin(), p.pixels.end());
    return out;
}

// --- CUT writer --------------------------------------------------------------------

// One row: its length word, runs (0x80 | n, value) where at least three
// equal bytes follow, literals (n, bytes) elsewhere, the end byte 0.
Bytes encodeCutRow(const std::uint8_t* row, int width)
{
    Bytes packets = PackRuns(
        row, std::size_t(width), 3, 127, [](std::size_t n) { return std::uint8_t(0x80 | n); },
        [](std::size_t n) { return std::uint8_t(n); });
    packets.push_back(0);
    Bytes out;
    PutLE16(out, static_cast<std::uint16_t>(packets.size()));
    out.insert(out.end(), packets.begin(), packets.end());
    return out;
}

Bytes buildCut(const Indexed& p)
{
    Bytes out;
    PutLE16(out, static_cast<std::uint16_t>(p.width));
    PutLE16(out, static_cast<std::uint16_t>(p.height));
    PutLE16(out, 0);
    for (int y = 0; y < p.height; ++y) {
        Bytes row = encodeCutRow(&p.pixels[static_cast<std::size_t>(y) * p.width], p.width);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// A palette file: entry count less one at 12, entries of three 16-bit
// values from 40, an entry that would start past 506 moves to the next
// 512-byte block.
Bytes buildPal(const Bytes& palette)
{
    const std::size_t count = palette.size() / 3;
    Bytes out(512, 0);
    out[0] = 'A';
    out[1] = 'H';
    out[12] = static_cast<std::uint8_t>(count - 1);
    out[13] = static_cast<std::uint8_t>((count - 1) >> 8);
    std::size_t block = 0, at = 40;
    for (std::size_t i = 0; i < count; ++i) {
        if (at > 506) {
            ++block;
            at = 0;
            out.resize((block + 1) * 512, 0);
        }
        for (int k = 0; k < 3; ++k) {
            out[block * 512 + at + 2 * k] = palette[3 * i + k];
            out[block * 512 + at + 2 * k + 1] = 0x5A;  // high bytes are not used
        }
        at += 6;
    }
    return out;
}

RgbImage expectedRgb(const Indexed& p, int shift)
{
    RgbImage image{p.width, p.height, {}};
    for (std::uint8_t index : p.pixels)
        for (int k = 0; k < 3; ++k)
            image.Rgb.push_back(static_cast<std::uint8_t>((p.palette[3 * index + k] >> shift) << shift));
    return image;
}

RgbImage greyRgb(const Indexed& p)
{
    RgbImage image{p.width, p.height, {}};
    for (std::uint8_t index : p.pixels)
        for (int k = 0; k < 3; ++k) image.Rgb.push_back(index);
    return image;
}

TEST(AutodeskLoader, PixelsAndSixBitPaletteRoundTrip)
{
    for (auto [w, h] : {std::pair{1, 1}, std::pair{64, 40}, std::pair{333, 7}}) {
        Indexed p = makeIndexed(w, h);
        TAutodeskGraphic cel;
        LoadBytes(cel, buildCel(p));
        EXPECT_EQ(cel.PixelFormat(), pf8bit);
        EXPECT_EQ(Compare(expectedRgb(p, 2), ToRgb(cel)), "") << w << "x" << h;
    }
    // (63, 0, 32) becomes (252, 0, 128).
    Indexed one{1, 1, {5}, Bytes(768, 0)};
    one.palette[15] = 63 << 2;
    one.palette[17] = 32 << 2;
    TAutodeskGraphic cel;
    LoadBytes(cel, buildCel(one));
    EXPECT_EQ(cel.PixelColor(0, 0), RGBColor(252, 0, 128));

    const Bytes bytes = buildCel(makeIndexed(2, 2));
    EXPECT_TRUE(Recognised<TAutodeskGraphic>(bytes));
    EXPECT_FALSE(Recognised<TAutodeskGraphic>(With(bytes, [](Bytes& b) { b[10] = 16; })));
}

TEST(AutodeskHostile, EachEndsWithTheLoadersError)
{
    const Indexed p = makeIndexed(20, 10);
    const Bytes valid = buildCel(p);
    Bytes wrongMagic = valid;
    wrongMagic[0] = 0x18;
    Indexed huge = p;
    huge.width = huge.height = 16000;
    Indexed capped{60000, 5000, {}, p.palette};
    ExpectRefused<TAutodeskGraphic>({
        {"wrong magic", wrongMagic, "Cannot load image. Invalid or unexpected Autodesk image format."},
        {"16 bits per pixel", buildCel(p, 16), "Cannot load image. Invalid or unexpected Autodesk image format."},
        {"compressed", buildCel(p, 8, 1), "Cannot load image. Invalid or unexpected Autodesk image format."},
        {"header cut", Bytes(valid.begin(), valid.begin() + 20), "Stream read error in Autodesk file."},
        {"palette cut", Bytes(valid.begin(), valid.begin() + 500), "Stream read error in Autodesk file."},
        {"rows cut", Bytes(valid.begin(), valid.end() - 1), "Stream read error in Autodesk file."},
        {"size the data cannot fill", buildCel(huge), "Cannot load image. Image size in Autodesk file is invalid."},
        {"size past the pixel cap", buildCel(capped), ""},
    });
}

class CutFiles : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name)
    {
        std::filesystem::create_directories(dir_);
        return (dir_ / name).string();
    }
    std::filesystem::path dir_ = std::filesystem::path(ScratchDir()) / "cut";
};

TEST_F(CutFiles, PaletteFileBesideTheFileInAnyLetterCase)
{
    Indexed p = makeIndexed(300, 11);
    WriteFileBytes(path("photo.cut"), buildCut(p));

    // Without a palette file the picture is grey.
    TCUTGraphic grey;
    grey.LoadFromFile(path("photo.cut"));
    EXPECT_EQ(Compare(greyRgb(p), ToRgb(grey)), "");

    WriteFileBytes(path("PHOTO.PAL"), buildPal(p.palette));
    TCUTGraphic cut;
    cut.LoadFromFile(path("photo.cut"));
    EXPECT_EQ(cut.PaletteFile, path("PHOTO.PAL"));
    EXPECT_EQ(cut.PixelFormat(), pf8bit);
    EXPECT_EQ(Compare(expectedRgb(p, 0), ToRgb(cut)), "");

    // The exact name wins over another case.
    WriteFileBytes(path("photo.pal"), buildPal(Bytes(p.palette.rbegin(), p.palette.rend())));
    EXPECT_EQ(TCUTGraphic::FindPaletteFile(path("photo.cut")), path("photo.pal"));

    // From a stream without a file name: grey.
    TCUTGraphic fromStream;
    LoadBytes(fromStream, buildCut(p));
    EXPECT_EQ(Compare(greyRgb(p), ToRgb(fromStream)), "");
    EXPECT_FALSE(Recognised<TCUTGraphic>(buildCut(p)));
}

TEST_F(CutFiles, PaletteEntriesCrossIntoTheNextBlockAfterEntry77)
{
    Bytes pal = buildPal(makeIndexed(1, 1).palette);
    ASSERT_EQ(pal.size(), 2048u);                            // 78 entries, then 85 per block
    EXPECT_EQ(pal[502], makeIndexed(1, 1).palette[3 * 77]);  // entry 77 still in the first block
    EXPECT_EQ(pal[512], makeIndexed(1, 1).palette[3 * 78]);  // entry 78 at the second block's start
    // Pixels 77 and 78 against their entries.
    Indexed p{2, 1, {77, 78}, makeIndexed(1, 1).palette};
    WriteFileBytes(path("two.cut"), buildCut(p));
    WriteFileBytes(path("two.pal"), pal);
    TCUTGraphic cut;
    cut.LoadFromFile(path("two.cut"));
    EXPECT_EQ(Compare(expectedRgb(p, 0), ToRgb(cut)), "");

    // A short palette file is a read error; fewer entries than 256 are fine.
    Indexed few{3, 1, {0, 1, 2}, Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1}};
    WriteFileBytes(path("few.cut"), buildCut(few));
    WriteFileBytes(path("few.pal"), buildPal(few.palette));
    TCUTGraphic small;
    small.LoadFromFile(path("few.cut"));
    EXPECT_EQ(Compare(expectedRgb(few, 0), ToRgb(small)), "");
    WriteFileBytes(path("few.pal"), Bytes(pal.begin(), pal.begin() + 300));
    TCUTGraphic cutShort;
    try {
        cutShort.LoadFromFile(path("few.cut"));
        ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Stream read error in CUT file.");
    }
}

TEST(CutHostile, EachEndsWithTheLoadersError)
{
    const Indexed p = makeIndexed(40, 6);
    const Bytes valid = buildCut(p);
    auto header = [](std::uint16_t w, std::uint16_t h, Bytes rest) {
        Bytes out;
        PutLE16(out, w);
        PutLE16(out, h);
        PutLE16(out, 0);
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    };
    ExpectRefused<TCUTGraphic>({
        {"header cut", Bytes(valid.begin(), valid.begin() + 4), "Stream read error in CUT file."},
        {"rows missing", Bytes(valid.begin(), valid.begin() + 60), "Stream read error in CUT file."},
        {"row cut inside a packet", header(4, 1, {5, 0, 4, 1, 2}),
         "Cannot load image. Compression error found in CUT file."},
        {"row cut between packets", header(4, 1, {5, 0, 2, 1, 2}), "Stream read error in CUT file."},
        {"run past the row", header(4, 1, {3, 0, 0x85, 1, 0}),
         "Cannot load image. Compression error found in CUT file."},
        {"size the runs cannot fill", header(60000, 4000, Bytes(100, 0xFF)),
         "Cannot load image. Image size in CUT file is invalid."},
        {"no rows at all", header(3, 3, {}), ""},
    });
}

}  // namespace
