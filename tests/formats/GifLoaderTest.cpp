// GIF loader: pictures made by ImageMagick and gifsicle, compared pixel for
// pixel with giftopnm's decode; hand-built files for the layout rules; a
// table of hostile files that must end with the loader's error.

#include "formats/ImageFormatsLoaders.h"
#include "LoaderCorpusSupport.h"
#include "tests/support/Raises.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corpus;

namespace {

// A small GIF writer for hand-built cases: 8-bit codes without compression
// (a clear code every 250 codes keeps the width at 9 bits).
struct GifSpec {
    int screenWidth = 0, screenHeight = 0;
    int width = 0, height = 0;
    std::vector<std::uint8_t> globalTable;  // rgb triples, size a power of two
    std::vector<std::uint8_t> localTable;
    bool interlaced = false;
    Bytes pixels;  // in stored order
    Bytes extensions;
    int codeSize = 8;
    Bytes rawData;  // used instead of coding the pixels when set
};

// Literal codes only, with a clear code whenever the width would grow: the
// widths follow what the decoder's table does with every code.
Bytes literalCodes(const Bytes& pixels, int codeSize)
{
    const int clear = 1 << codeSize;
    CodePacker w;
    int width = codeSize + 1;
    int nextFree = clear + 2;
    bool previous = false;
    w.put(clear, width);
    for (std::uint8_t pixel : pixels) {
        if (width > codeSize + 1) {
            w.put(clear, width);
            width = codeSize + 1;
            nextFree = clear + 2;
            previous = false;
        }
        w.put(pixel, width);
        if (previous && ++nextFree == (1 << width) && width < 12) ++width;
        previous = true;
    }
    w.put(clear + 1, width);
    return w.finish();
}

int tableBits(std::size_t bytes)
{
    int bits = 1;
    while ((3u << bits) < bytes) ++bits;
    return bits;
}

Bytes buildGif(const GifSpec& s)
{
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(s.screenWidth);
    put16(s.screenHeight);
    out.push_back(s.globalTable.empty() ? 0 : static_cast<std::uint8_t>(0x80 | (tableBits(s.globalTable.size()) - 1)));
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), s.globalTable.begin(), s.globalTable.end());
    out.insert(out.end(), s.extensions.begin(), s.extensions.end());
    out.push_back(',');
    put16(0);
    put16(0);
    put16(s.width);
    put16(s.height);
    std::uint8_t flags = s.interlaced ? 0x40 : 0;
    if (!s.localTable.empty()) flags |= static_cast<std::uint8_t>(0x80 | (tableBits(s.localTable.size()) - 1));
    out.push_back(flags);
    out.insert(out.end(), s.localTable.begin(), s.localTable.end());
    out.push_back(static_cast<std::uint8_t>(s.codeSize));
    Bytes data = s.rawData.empty() ? literalCodes(s.pixels, s.codeSize) : s.rawData;
    for (std::size_t at = 0; at < data.size(); at += 255) {
        std::size_t n = std::min<std::size_t>(255, data.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
    }
    out.push_back(0);
    out.push_back(';');
    return out;
}

std::vector<std::uint8_t> greyTable(int entries)
{
    std::vector<std::uint8_t> table;
    for (int i = 0; i < entries; ++i)
        for (int c = 0; c < 3; ++c) table.push_back(static_cast<std::uint8_t>(i * 255 / (entries - 1)));
    return table;
}

class GifCorpus : public ToolSuite<GifCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (!NeedTools({"convert", "giftopnm", "gifsicle"})) return;
        WritePpm(ScratchPath("base.ppm"), MakePattern(64, 48));
        WritePpm(ScratchPath("odd.ppm"), MakePattern(37, 19));
        WritePpm(ScratchPath("tall.ppm"), MakePattern(3, 200));
        WritePpm(ScratchPath("one.ppm"), MakePattern(1, 1));
        WritePpm(ScratchPath("two.ppm"), MakePattern(40, 30, 2));
    }

    // Makes name.gif with the command (IN and OUT stand for the paths), then
    // compares our decode with giftopnm's.
    void check(const std::string& name, const std::string& command)
    {
        SCOPED_TRACE(name);
        std::string gif = ScratchPath(name + ".gif");
        const std::string cmd = Substitute(command, {{"OUT", gif}, {"DIR", ScratchDir()}});
        ASSERT_TRUE(RunQuiet(cmd)) << cmd;
        std::string reference = ScratchPath(name + ".pnm");
        ASSERT_TRUE(RunQuiet(FindTool("giftopnm") + " " + gif + " > " + reference));
        RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);

        TGIFGraphic loaded;
        loaded.LoadFromFile(gif);
        EXPECT_EQ(loaded.PixelFormat(), pf8bit);
        EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
    }
};

TEST_F(GifCorpus, ColourCountsAndOddSizes)
{
    const std::string convert = FindTool("convert");
    check("c256", convert + " DIR/base.ppm -colors 256 OUT");
    check("c16", convert + " DIR/base.ppm -colors 16 OUT");
    check("c2", convert + " DIR/two.ppm OUT");
    check("odd", convert + " DIR/odd.ppm -colors 50 OUT");
    check("tall", convert + " DIR/tall.ppm -colors 8 OUT");
    check("one", convert + " DIR/one.ppm OUT");
}

TEST_F(GifCorpus, InterlacedTransparentCommentedAndAnimated)
{
    const std::string convert = FindTool("convert");
    const std::string gifsicle = FindTool("gifsicle");
    check("interlaced", convert + " DIR/base.ppm -colors 64 -interlace GIF OUT");
    check("interlaced-odd", convert + " DIR/odd.ppm -colors 64 -interlace GIF OUT");
    check("transparent", convert + " DIR/base.ppm -colors 16 DIR/t16.gif && " + gifsicle +
                             " --transparent 3 --comment 'made for a test' DIR/t16.gif -o OUT");
    check("frames", convert + " DIR/base.ppm -colors 32 DIR/f1.gif && " + convert +
                        " DIR/two.ppm -resize 64x48! DIR/f2.gif && " + gifsicle +
                        " --loopcount DIR/f1.gif DIR/f2.gif -o OUT");
}

TEST(GifLayout, LocalTableWinsAndSizesReported)
{
    GifSpec s;
    s.screenWidth = s.width = 4;
    s.screenHeight = s.height = 2;
    s.globalTable = greyTable(4);
    s.localTable = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    for (int i = 0; i < 12; ++i) s.localTable.push_back(0);  // 8 entries: BitsPerSample 3
    s.codeSize = 3;
    s.pixels = {0, 1, 2, 3, 3, 2, 1, 0};
    Bytes bytes = buildGif(s);

    TGIFGraphic gif;
    TMemoryStream stream(bytes);
    ASSERT_TRUE(gif.ReadImageProperties(stream, 0));
    EXPECT_EQ(gif.ImageProperties.Version, 89u);
    EXPECT_TRUE(gif.ImageProperties.LocalColorTable);
    EXPECT_EQ(gif.ImageProperties.BitsPerSample, 3);
    LoadBytes(gif, bytes);
    EXPECT_EQ(gif.PixelColor(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(gif.PixelColor(2, 0), RGBColor(0, 0, 255));
    EXPECT_EQ(gif.PixelColor(0, 1), RGBColor(9, 9, 9));
}

TEST(GifLayout, ZeroDescriptorSizeTakesTheScreen)
{
    GifSpec s;
    s.screenWidth = 3;
    s.screenHeight = 2;
    s.globalTable = greyTable(2);
    s.codeSize = 2;
    s.pixels = {1, 0, 1, 0, 1, 0};
    TGIFGraphic gif;
    LoadBytes(gif, buildGif(s));
    EXPECT_EQ(gif.Width(), 3);
    EXPECT_EQ(gif.Height(), 2);
    EXPECT_EQ(gif.PixelColor(0, 0), RGBColor(255, 255, 255));
    EXPECT_EQ(gif.PixelColor(1, 1), RGBColor(255, 255, 255));
}

TEST(GifLayout, ImageOfNoPixelsLeavesAnEmptyPicture)
{
    GifSpec s;
    s.globalTable = greyTable(2);
    s.codeSize = 2;
    TGIFGraphic gif;
    EXPECT_NO_THROW(LoadBytes(gif, buildGif(s)));
    EXPECT_TRUE(gif.Empty());
}

TEST(GifLayout, InterlacedRowsGoToTheirPasses)
{
    GifSpec s;
    s.screenWidth = s.width = 1;
    s.screenHeight = s.height = 8;
    s.globalTable = greyTable(8);
    s.codeSize = 3;
    s.interlaced = true;
    s.pixels = {0, 1, 2, 3, 4, 5, 6, 7};  // buffer row k holds index k
    TGIFGraphic gif;
    LoadBytes(gif, buildGif(s));
    const int expectedRow[8] = {0, 4, 2, 6, 1, 3, 5, 7};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(gif.ScanLine(expectedRow[k])[0], k) << "buffer row " << k;
}

TEST(GifLayout, ProgressPerRowAndOnlyInTheLastPass)
{
    GifSpec s;
    s.screenWidth = s.width = 2;
    s.screenHeight = s.height = 8;
    s.globalTable = greyTable(2);
    s.codeSize = 2;
    s.pixels.assign(16, 1);
    for (bool interlaced : {false, true}) {
        s.interlaced = interlaced;
        TGIFGraphic gif;
        std::vector<std::string> messages;
        int running = 0;
        TProgressStage last = TProgressStage::psRunning;
        gif.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t, bool, const TRect&, std::string_view text) {
            if (stage == TProgressStage::psRunning) ++running;
            if (stage == TProgressStage::psStarting) messages.emplace_back(text);
            last = stage;
        };
        LoadBytes(gif, buildGif(s));
        EXPECT_EQ(running, interlaced ? 4 : 8);
        EXPECT_EQ(messages, (std::vector<std::string>{"Preparing...", "Loading data...", "Transfering..."}));
        EXPECT_EQ(last, TProgressStage::psEnding);
    }
}

TEST(GifLayout, NoImageGivesAnEmptyPicture)
{
    Bytes bytes{'G', 'I', 'F', '8', '7', 'a', 2,   0,    2, 0,   0x80, 0, 0,
                0,   0,   0,   255, 255, 255, '!', 0xFE, 2, 'h', 'i',  0, ';'};
    bytes.resize(bytes.size() + 4, 0);  // CanLoad wants 23 bytes
    TMemoryStream stream(bytes);
    EXPECT_TRUE(TGIFGraphic::CanLoad(stream));
    EXPECT_EQ(stream.Position(), 0);
    TGIFGraphic gif;
    LoadBytes(gif, bytes);
    EXPECT_TRUE(gif.Empty());
    EXPECT_EQ(gif.PixelFormat(), pf8bit);
}

TEST(GifLayout, TruncatedDataGivesAPartialPictureOfIndexZero)
{
    GifSpec s;
    s.screenWidth = s.width = 100;
    s.screenHeight = s.height = 10;
    s.globalTable = greyTable(4);
    s.globalTable[0] = 7;  // index 0 is (7, 0, 0)
    s.codeSize = 2;
    s.pixels.assign(1000, 3);
    Bytes bytes = buildGif(s);
    bytes.resize(bytes.size() / 2);  // cut inside the data sub-blocks
    TGIFGraphic gif;
    LoadBytes(gif, bytes);
    ASSERT_EQ(gif.Height(), 10);
    EXPECT_EQ(gif.PixelColor(0, 0), RGBColor(255, 255, 255));
    EXPECT_EQ(gif.PixelColor(99, 9), RGBColor(7, 0, 0));

    // A caller that refuses cut data gets the loader's error; the whole file still loads.
    TGIFGraphic strict;
    strict.RefuseCutData = true;
    TMemoryStream cut(bytes);
    EXPECT_EQ(testsupport::MessageOf<EInvalidGraphic>([&] { strict.LoadFromStream(cut); }, "a cut file loaded"),
              "Stream read error in GIF file.");
    LoadBytes(strict, buildGif(s));
    EXPECT_EQ(strict.PixelColor(99, 9), RGBColor(255, 255, 255));
}

TEST(GifHostile, EachEndsWithTheLoadersError)
{
    GifSpec good;
    good.screenWidth = good.width = 5;
    good.screenHeight = good.height = 4;
    good.globalTable = greyTable(4);
    good.codeSize = 2;
    good.pixels.assign(20, 1);
    const Bytes valid = buildGif(good);

    auto with = [&](std::function<void(GifSpec&)> change) {
        GifSpec s = good;
        change(s);
        return buildGif(s);
    };
    auto cut = [&](std::size_t size) { return Bytes(valid.begin(), valid.begin() + static_cast<long>(size)); };
    Bytes hugeScreen = with([](GifSpec& s) { s.width = s.height = 65535; });
    // Under the pixel cap, but far more than 20 bytes of codes can fill.
    Bytes bigDescriptor = with([](GifSpec& s) {
        s.width = 16000;
        s.height = 16000;
    });
    // Clear, 1, then the two-pixel string "1 1" into a picture of two pixels.
    Bytes overrun = with([](GifSpec& s) {
        s.width = 2;
        s.height = 1;
        CodePacker w;
        for (int code : {4, 1, 6, 5}) w.put(code, 3);
        s.rawData = w.finish();
    });
    Bytes badIndex = with([](GifSpec& s) {
        s.globalTable.resize(2 * 3);
        s.pixels.assign(20, 0);
        s.pixels[7] = 2;
    });
    Bytes noTrailer{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, '!', 0xFE, 1, 'x', 0};

    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases{
        {"signature only", cut(6)},
        {"inside the screen descriptor", cut(9)},
        {"inside the colour table", cut(15)},
        {"inside the image descriptor", cut(13 + 12 + 4)},
        {"no image and no trailer", noTrailer},
        {"not a GIF", Bytes{'G', 'I', 'X', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, ';'}},
        {"version not a number", Bytes{'G', 'I', 'F', 'x', 'y', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}},
        {"huge screen, tiny data", hugeScreen},
        {"huge image descriptor", bigDescriptor},
        {"more pixels than the image", overrun},
        {"index past the colour table", badIndex},
    };
    for (int size : {0, 1, 9, 12}) {
        Bytes b = valid;
        b[13 + 12 + 10] = static_cast<std::uint8_t>(size);  // the LZW minimum code size
        cases.push_back({"bad code size", b});
    }
    for (const Case& c : cases) {
        TGIFGraphic gif;
        EXPECT_THROW(LoadBytes(gif, c.bytes), EInvalidGraphic) << c.name;
    }
    TGIFGraphic fine;
    EXPECT_NO_THROW(LoadBytes(fine, valid));
}

}  // namespace
