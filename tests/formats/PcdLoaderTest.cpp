// Photo-CD: packs written by ImageMagick, turned by each rotation code, whose
// planes (after ImageMagick's own upsampling and turning) must equal ours;
// hand-built packs for the layout, overview packs and hostile files; the
// upsampling rules and the residual decoder on coded data of our own.

#include "formats/FormatCompressionPcd.h"
#include "formats/ImageFormatsPcd.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

using namespace corpus;

namespace {

constexpr std::size_t Sector = 2048;

// A pack of our own: header sectors, then the image data in pairs of luma
// rows followed by one half row of each chroma.
struct PcdSpec {
    bool overview = false;
    std::uint8_t rotation = 0;
    std::uint16_t imageCount = 1;
    std::function<std::uint8_t(int x, int y)> luma = [](int x, int y) { return std::uint8_t(x + 3 * y); };
    std::function<std::uint8_t(int x, int y)> chroma1 = [](int, int) { return std::uint8_t(156); };
    std::function<std::uint8_t(int x, int y)> chroma2 = [](int, int) { return std::uint8_t(137); };
};

Bytes buildPcd(const PcdSpec& s)
{
    const int width = s.overview ? 192 : 768, height = s.overview ? 128 : 512;
    Bytes out((s.overview ? 5 : 96) * Sector, 0);
    if (s.overview)
        std::memcpy(out.data(), "PCD_OPA", 7);
    else
        std::memcpy(out.data() + Sector, "PCD_IPI", 7);
    out[10] = static_cast<std::uint8_t>(s.imageCount >> 8);
    out[11] = static_cast<std::uint8_t>(s.imageCount);
    out[3586] = s.rotation;
    for (int y = 0; y < height; y += 2) {
        for (int r = 0; r < 2; ++r)
            for (int x = 0; x < width; ++x) out.push_back(s.luma(x, y + r));
        for (int x = 0; x < width / 2; ++x) out.push_back(s.chroma1(x, y / 2));
        for (int x = 0; x < width / 2; ++x) out.push_back(s.chroma2(x, y / 2));
    }
    out.resize((out.size() + Sector - 1) / Sector * Sector, 0);
    return out;
}

// The colour of one PhotoYCC sample triple through the colour manager, as
// the loader is to convert it.
TColor yccColour(std::uint8_t y, std::uint8_t c1, std::uint8_t c2)
{
    static TColorManager cm = [] {
        TColorManager m;
        m.SetSourceColorScheme(csPhotoYCC);
        m.SetTargetColorScheme(csBGR);
        const float k[] = {0.2125f, 0.7154f, 0.0721f};
        m.SetYCbCrParameters(k, 2, 2);
        return m;
    }();
    std::uint8_t source[3] = {y, c1, c2}, bgr[3];
    cm.ConvertRow({std::span<const std::uint8_t>(source)}, bgr, 1);
    return RGBColor(bgr[2], bgr[1], bgr[0]);
}

TEST(PcdLayout, UprightQuarterTurnsAndHalfTurn)
{
    PcdSpec s;
    TPCDGraphic upright;
    LoadBytes(upright, buildPcd(s));
    ASSERT_EQ(upright.Width(), 768);
    ASSERT_EQ(upright.Height(), 512);
    EXPECT_EQ(upright.PixelFormat(), pf24bit);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{5, 7}, std::pair{767, 511}})
        EXPECT_EQ(upright.PixelColor(x, y), yccColour(std::uint8_t(x + 3 * y), 156, 137)) << x << "," << y;

    // Rotation 1: the stored top row is the left column read from the
    // bottom up; rotation 3 the mirror of that.
    for (std::uint8_t rotation : {1, 3}) {
        s.rotation = rotation;
        TPCDGraphic turned;
        LoadBytes(turned, buildPcd(s));
        ASSERT_EQ(turned.Width(), 512);
        ASSERT_EQ(turned.Height(), 768);
        for (auto [i, r] : {std::pair{0, 0}, std::pair{10, 3}, std::pair{767, 511}}) {
            const int line = rotation == 1 ? 767 - i : i, column = rotation == 1 ? r : 511 - r;
            EXPECT_EQ(turned.PixelColor(column, line), upright.PixelColor(i, r))
                << int(rotation) << ": " << i << "," << r;
        }
    }
    // Sectors count from where the pack starts in the stream.
    s.rotation = 0;
    TPCDGraphic later;
    LoadBytesAt(later, buildPcd(s), 100);
    EXPECT_EQ(Compare(ToRgb(upright), ToRgb(later)), "");

    // Rotation 2 is left as stored, as ImageMagick leaves it.
    s.rotation = 2;
    TPCDGraphic half;
    LoadBytes(half, buildPcd(s));
    EXPECT_EQ(half.Width(), 768);
    EXPECT_EQ(Compare(ToRgb(upright), ToRgb(half)), "");
}

TEST(PcdLayout, PropertiesPerResolutionAndOverviewPacks)
{
    PcdSpec s;
    s.imageCount = 0x0102;
    Bytes pack = buildPcd(s);
    TPCDGraphic pcd;
    TMemoryStream stream(pack);
    ASSERT_TRUE(pcd.ReadImageProperties(stream, 4));
    EXPECT_EQ(pcd.ImageProperties.Width, 3072u);
    EXPECT_EQ(pcd.ImageProperties.Height, 2048u);
    EXPECT_EQ(pcd.ImageProperties.Compression, ctPCDHuffmann);
    EXPECT_EQ(pcd.ImageProperties.ImageCount, 0x0102);
    EXPECT_EQ(pcd.ImageProperties.ColorScheme, csPhotoYCC);
    EXPECT_TRUE(Recognised<TPCDGraphic>(pack));

    s.overview = true;
    s.rotation = 1;
    Bytes overview = buildPcd(s);
    TMemoryStream overviewStream(overview);
    ASSERT_TRUE(pcd.ReadImageProperties(overviewStream, 4));
    EXPECT_EQ(pcd.ImageProperties.Width, 128u);  // turned
    EXPECT_EQ(pcd.ImageProperties.Height, 192u);
    EXPECT_EQ(pcd.ImageProperties.Compression, ctNone);
    // An overview pack loads its first 192 × 128 image from sector 5.
    s.rotation = 0;
    TPCDGraphic small;
    LoadBytes(small, buildPcd(s));
    ASSERT_EQ(small.Width(), 192);
    ASSERT_EQ(small.Height(), 128);
    EXPECT_EQ(small.PixelColor(191, 127), yccColour(std::uint8_t(191 + 3 * 127), 156, 137));
}

TEST(PcdUpsampling, MeansRoundUpAndEdgesRepeat)
{
    // 3 × 2 samples in a plane of stride 6, doubled to 6 × 4.
    std::uint8_t plane[6 * 4] = {10, 11, 20, 0, 0, 0, 30, 41, 50, 0, 0, 0};
    TPCDGraphic::UpsampleRow2x(3, 2, 6, plane);
    const std::uint8_t expected[6 * 4] = {
        10, 11, 11, 16, 20, 20,  // 10 and 11 give 11 between them
        20, 23, 26, 31, 35, 35,  // means of rows 0 and 1, and of four neighbours
        30, 36, 41, 46, 50, 50,  //
        30, 36, 41, 46, 50, 50,  // the last row repeats the one above
    };
    for (int i = 0; i < 24; ++i) EXPECT_EQ(plane[i], expected[i]) << i;

    std::vector<std::uint8_t> flat(64 * 32, 0);
    for (int y = 0; y < 16; ++y) std::memset(&flat[std::size_t(y) * 64], 77, 32);
    TPCDGraphic::UpsampleRow2x(32, 16, 64, flat.data());
    for (std::uint8_t v : flat) ASSERT_EQ(v, 77);
}

class PcdCorpus : public ToolSuite<PcdCorpus> {
protected:
    static void SetUpTestSuite() { NeedTools({"convert"}); }
};

// ImageMagick writes a pack; we turn it by each rotation code and compare
// with ImageMagick's planes of the same file (its upsampling and turning,
// read without its colour conversion), converted by the colour manager.
TEST_F(PcdCorpus, PlanesEqualImageMagicksForEveryRotation)
{
    WritePpm(ScratchPath("pcd-src.ppm"), MakePattern(768, 512));
    const std::string pack = ScratchPath("photo.pcd");
    ASSERT_TRUE(RunQuiet(FindTool("convert") + " " + ScratchPath("pcd-src.ppm") + " pcd:" + pack));
    Bytes bytes = ReadFileBytes(pack);
    ASSERT_GT(bytes.size(), 96 * Sector);
    for (std::uint8_t rotation : {0, 1, 2, 3}) {
        SCOPED_TRACE(int(rotation));
        bytes[3586] = rotation;
        const std::string file = ScratchPath("turned.pcd"), planes = ScratchPath("planes.ppm");
        WriteFileBytes(file, bytes);
        ASSERT_TRUE(RunQuiet(FindTool("convert") + " " + file + " -set colorspace sRGB -depth 8 " + planes));
        RgbImage ycc = ReadNetpbm(planes);
        ASSERT_GT(ycc.Width, 0);
        RgbImage expected{ycc.Width, ycc.Height, {}};
        std::map<std::uint32_t, TColor> cache;
        for (std::size_t i = 0; i < ycc.Rgb.size(); i += 3) {
            const std::uint32_t key = ycc.Rgb[i] << 16 | ycc.Rgb[i + 1] << 8 | ycc.Rgb[i + 2];
            auto found = cache.find(key);
            if (found == cache.end())
                found = cache.emplace(key, yccColour(ycc.Rgb[i], ycc.Rgb[i + 1], ycc.Rgb[i + 2])).first;
            expected.Rgb.push_back(RedOf(found->second));
            expected.Rgb.push_back(GreenOf(found->second));
            expected.Rgb.push_back(BlueOf(found->second));
        }
        TPCDGraphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
    }
}

TEST(PcdHostile, EachEndsWithTheLoadersErrorOrEmpty)
{
    const Bytes valid = buildPcd(PcdSpec{});
    PcdSpec overviewSpec;
    overviewSpec.overview = true;
    const Bytes overview = buildPcd(overviewSpec);
    ExpectRefused<TPCDGraphic>({
        {"header cut", Bytes(valid.begin(), valid.begin() + 5000), "Stream read error in PCD file."},
        {"image data cut", Bytes(valid.begin(), valid.end() - 1), "Stream read error in PCD file."},
        {"image data missing", Bytes(valid.begin(), valid.begin() + 96 * Sector), "Stream read error in PCD file."},
        {"overview data cut", Bytes(overview.begin(), overview.begin() + 5 * Sector + 30000),
         "Stream read error in PCD file."},
        // An overview pack no longer than the image it is read as.
        {"overview header only", Bytes(overview.begin(), overview.begin() + 6145), "Stream read error in PCD file."},
    });
    // Not a pack: quietly empty.
    Bytes other = valid;
    other[Sector] = 'X';
    TPCDGraphic none;
    EXPECT_NO_THROW(LoadBytes(none, other));
    EXPECT_TRUE(none.Empty());
}

// --- the residual decoder ------------------------------------------------------------

// Coded data of our own: a table, then for each sync a row header and codes.
struct BitWriter {
    Bytes out;
    std::uint32_t acc = 0;
    int count = 0;
    void put(std::uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            acc = acc << 1 | ((value >> i) & 1);
            if (++count == 8) {
                out.push_back(static_cast<std::uint8_t>(acc));
                acc = 0;
                count = 0;
            }
        }
    }
    // A sync (a run of ones ending in 23 ones and a 0), then the row
    // header: the plane in 2 bits, the row in 13, one spare bit.
    void sync(std::uint32_t row, std::uint32_t plane)
    {
        put(0xFFFFFFFF, 32);
        put(0, 1);
        put(plane << 14 | row << 1, 16);
    }
    Bytes finish(std::size_t padTo)
    {
        while (count) put(0, 1);
        out.resize(std::max(out.size(), padTo), 0);
        return out;
    }
};

struct Code {
    std::uint32_t bits;
    int length;
    std::int8_t key;
};

Bytes codedData(const std::vector<Code>& table, int tables, const std::function<void(BitWriter&)>& body)
{
    BitWriter w;
    for (int t = 0; t < tables; ++t) {
        w.put(static_cast<std::uint32_t>(table.size() - 1), 8);
        for (const Code& c : table) {
            w.put(static_cast<std::uint32_t>(c.length - 1), 8);
            // A length past 16 keeps its top 16 bits: the table field has no room for more.
            w.put(c.length > 16 ? c.bits >> (c.length - 16) : c.bits << (16 - c.length), 16);
            w.put(static_cast<std::uint8_t>(c.key), 8);
        }
    }
    w.put(0, 32);
    body(w);
    return w.finish(16 * Sector);
}

// Planes of four luma and two chroma rows of width samples, filled with
// the values given.
struct DecoderRun {
    DecoderRun(std::size_t width, std::uint8_t lumaValue, std::uint8_t chromaValue)
        : luma(width * 4, lumaValue), chroma1(width * 2, chromaValue), chroma2(width * 2, chromaValue)
    {
    }
    std::vector<std::uint8_t> luma, chroma1, chroma2;
    void run(const Bytes& coded, std::size_t width, std::size_t rows)
    {
        TMemoryStream stream(coded);
        TPCDDecoder decoder(stream);
        TPCDPlanes planes{luma.data(), chroma1.data(), chroma2.data(), luma.size(), chroma1.size()};
        const std::uint8_t* source = reinterpret_cast<const std::uint8_t*>(&planes);
        std::uint8_t* dest = nullptr;
        decoder.Decode(source, dest, width, rows);
    }
};

const std::vector<Code> table{{0b0, 1, 0}, {0b10, 2, 10}, {0b110, 3, -10}, {0b111, 3, -5}};

TEST(PcdDecoder, KeysClampAndRowsNameTheirPlace)
{
    DecoderRun d(8, 250, 3);
    d.luma[1 * 8 + 2] = 3;
    Bytes coded = codedData(table, 1, [](BitWriter& w) {
        w.sync(1, 0);
        // 250 + 10 → 255; 250 − 10 → 240; 3 − 5 → 0; 0 keeps.
        w.put(0b10, 2);
        w.put(0b110, 3);
        w.put(0b111, 3);
        w.put(0b0, 1);
        w.sync(4, 0);  // the row count: done
    });
    d.run(coded, 8, 4);
    EXPECT_EQ(d.luma[8 + 0], 255);
    EXPECT_EQ(d.luma[8 + 1], 240);
    EXPECT_EQ(d.luma[8 + 2], 0);
    EXPECT_EQ(d.luma[8 + 3], 250);
    EXPECT_EQ(d.luma[0], 250);
}

TEST(PcdDecoder, OneTableUpTo1536WideThreeAbove)
{
    // At 1536 wide one table is read: a chroma row has no codes and is
    // skipped to the next sync. At 3072, three tables: the chroma row is
    // corrected (row 2 is chroma row 1).
    for (std::size_t width : {1536u, 3072u}) {
        SCOPED_TRACE(width);
        DecoderRun d(width, 100, 100);
        Bytes coded = codedData(table, width > 1536 ? 3 : 1, [](BitWriter& w) {
            w.sync(2, 2);
            w.put(0b10, 2);
            w.put(0b10, 2);
            w.sync(3, 3);  // plane code 3: the second chroma, its row 1 too
            w.put(0b110, 3);
            w.sync(4, 0);
        });
        d.run(coded, width, 4);
        EXPECT_EQ(d.chroma1[width], width > 1536 ? 110 : 100);
        EXPECT_EQ(d.chroma1[width + 1], width > 1536 ? 110 : 100);
        EXPECT_EQ(d.chroma1[0], 100);
        EXPECT_EQ(d.chroma2[width], width > 1536 ? 90 : 100);
        EXPECT_EQ(d.chroma2[0], 100);
    }
}

TEST(PcdDecoder, HostileCodedData)
{
    // Rows past the planes, and rows longer than the width, write nothing
    // outside them.
    DecoderRun far(8, 100, 100);
    far.run(codedData(table, 1,
                      [](BitWriter& w) {
                          w.sync(8000, 0);
                          for (int i = 0; i < 40; ++i) w.put(0b10, 2);
                          w.sync(3, 0);
                          for (int i = 0; i < 40; ++i) w.put(0b10, 2);
                          w.sync(4, 0);
                      }),
            8, 4);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(far.luma[i], 100) << i;
    for (int i = 24; i < 32; ++i) EXPECT_EQ(far.luma[i], 110) << i;

    // A code length above 16 leaves the planes alone.
    DecoderRun longCode(8, 100, 100);
    longCode.run(codedData({{0, 17, 1}}, 1, [](BitWriter& w) { w.sync(4, 0); }), 8, 4);
    EXPECT_EQ(longCode.luma[0], 100);

    // Plane code 1 aborts silently.
    DecoderRun plane1(8, 100, 100);
    EXPECT_THROW(plane1.run(codedData(table, 1, [](BitWriter& w) { w.sync(0, 1); }), 8, 4), EAbort);

    // Coded data that ends before its last row: the stream's read error.
    DecoderRun cut(8, 100, 100);
    Bytes coded = codedData(table, 1, [](BitWriter& w) { w.sync(0, 0); });
    coded.resize(Sector + 100);
    EXPECT_THROW(cut.run(coded, 8, 4), EReadError);
}

}  // namespace
