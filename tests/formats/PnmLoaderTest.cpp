// Portable maps: every kind netpbm writes (plain and raw, 8 and 16 bits)
// compared with netpbm's own decode; headers netpbm accepts that a
// line-by-line reader would not; a table of hostile files.

#include "formats/ImageFormatsPnm.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

using namespace corpus;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class PnmCorpus : public ToolSuite<PnmCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (NeedTools({"ppmtopgm", "pgmtopbm", "pnmtoplainpnm", "pamdepth", "pamtopnm"}))
            WritePpm(ScratchPath("photo.ppm"), MakePattern(61, 23));
    }

    // Runs the command (IN is the photo, OUT the file made), then compares
    // our decode of OUT with netpbm's 8-bit raw decode of it.
    void check(const std::string& name, const std::string& pipeline, const std::string& magic)
    {
        SCOPED_TRACE(name);
        const std::string out = ScratchPath(name + ".pnm"), reference = ScratchPath(name + ".ref");
        const std::string command =
            Substitute(pipeline, {{"OUT", out}, {"IN", ScratchPath("photo.ppm")}, {"DIR", ScratchDir()}});
        ASSERT_TRUE(RunQuiet(command)) << command;
        Bytes bytes = ReadFileBytes(out);
        ASSERT_GE(bytes.size(), 2u);
        ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 2), magic) << "the tool wrote another kind";
        // netpbm's own decode, as raw 8-bit samples.
        ASSERT_TRUE(RunQuiet(FindTool("pamdepth") + " 255 " + out + " | " + FindTool("pamtopnm") + " > " + reference));
        RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        TPPMGraphic loaded;
        loaded.LoadFromFile(out);
        EXPECT_EQ(Compare(expected, ToRgb(loaded)), "");
    }
};

TEST_F(PnmCorpus, EveryKindPlainAndRaw)
{
    check("p6", "cat IN > OUT", "P6");
    check("p3", "pnmtoplainpnm IN > OUT", "P3");
    check("p5", "ppmtopgm IN > OUT", "P5");
    check("p2", "ppmtopgm IN | pnmtoplainpnm > OUT", "P2");
    check("p4", "ppmtopgm IN | pgmtopbm -threshold > OUT", "P4");
    check("p4-dither", "ppmtopgm IN | pgmtopbm > OUT", "P4");
    check("p1", "ppmtopgm IN | pgmtopbm -threshold | pnmtoplainpnm > OUT", "P1");
}

// Every maximum value but 255 is scaled to 8 bits, rounded as netpbm rounds:
// a 4-bit grey ramp spans black to white.
TEST_F(PnmCorpus, MaximumValuesAreScaled)
{
    check("p5-15", "ppmtopgm IN | pamdepth 15 | pamtopnm > OUT", "P5");
    check("p3-100", "pamdepth 100 IN | pamtopnm | pnmtoplainpnm > OUT", "P3");
    check("p6-7", "pamdepth 7 IN | pamtopnm > OUT", "P6");
    check("p6-16", "pamdepth 65535 IN | pamtopnm > OUT", "P6");
    check("p6-1000", "pamdepth 1000 IN | pamtopnm > OUT", "P6");
    check("p5-4095", "ppmtopgm IN | pamdepth 4095 | pamtopnm > OUT", "P5");
    check("p3-16", "pamdepth 65535 IN | pamtopnm | pnmtoplainpnm > OUT", "P3");
    check("p2-300", "ppmtopgm IN | pamdepth 300 | pamtopnm | pnmtoplainpnm > OUT", "P2");
}

// Headers netpbm reads: one line, comments between any two numbers and
// right after the magic, text bitmaps with touching digits.
TEST(PnmHeaders, OneLineCommentsAndTouchingDigits)
{
    TPPMGraphic oneLine;
    LoadBytes(oneLine, concat(text("P6 2 1 255\n"), {10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(oneLine.PixelFormat(), pf24bit);
    EXPECT_EQ(oneLine.PixelColor(0, 0), RGBColor(10, 20, 30));
    EXPECT_EQ(oneLine.PixelColor(1, 0), RGBColor(40, 50, 60));

    TPPMGraphic comments;
    LoadBytes(comments, concat(text("P5#a\n# b\n2#c\n#d\n 2 # e\n255#f\n"), {1, 2, 3, 4}));
    ASSERT_EQ(comments.Width(), 2);
    EXPECT_EQ(comments.ScanLine(1)[1], 4);

    TPPMGraphic plainComments;
    LoadBytes(plainComments, text("P3\n# made by hand\n2 1 255\n1 2 3 # a pixel\n4\n# between samples\n5 6\n"));
    EXPECT_EQ(plainComments.PixelColor(1, 0), RGBColor(4, 5, 6));

    // A comment line between width and height, and a 10-pixel row packed
    // into 2 bytes with its last two pixels in the top bits.
    TPPMGraphic bits;
    LoadBytes(bits, text("P1\n10\n# comment\n2\n1010101011\n0 0 0 0 0 0 0 0 0 1\n"));
    EXPECT_EQ(bits.PixelFormat(), pf1bit);
    EXPECT_EQ(bits.ScanLine(0)[0], 0xAA);
    EXPECT_EQ(bits.ScanLine(0)[1], 0xC0);
    EXPECT_EQ(bits.ScanLine(1)[1], 0x40);
    EXPECT_EQ(bits.PixelColor(0, 0), RGBColor(0, 0, 0));  // 1 is black
    EXPECT_EQ(bits.PixelColor(1, 0), RGBColor(255, 255, 255));

    // A raw grey map with maximum value 15 spans 0..255; samples past the
    // maximum count as the maximum.
    TPPMGraphic ramp;
    LoadBytes(ramp, concat(text("P5\n4 1\n15\n"), {0, 7, 15, 200}));
    EXPECT_EQ(ramp.MaxValue(), 15u);
    EXPECT_EQ(Bytes(ramp.ScanLine(0), ramp.ScanLine(0) + 4), (Bytes{0, 119, 255, 255}));

    // No pixels at all: an empty picture.
    for (const char* empty : {"P4 0 1\n", "P6 3 0 255\n", "P1 0 0\n"}) {
        TPPMGraphic none;
        LoadBytes(none, text(empty));
        EXPECT_TRUE(none.Empty()) << empty;
    }

    // The properties alone, without loading.
    TPPMGraphic props;
    TMemoryStream stream(text("P2 640 480 65535\n"));
    ASSERT_TRUE(props.ReadImageProperties(stream, 0));
    EXPECT_EQ(props.ImageProperties.Width, 640u);
    EXPECT_EQ(props.ImageProperties.Height, 480u);
    EXPECT_EQ(props.ImageProperties.ColorScheme, csIndexed);
    EXPECT_EQ(props.ImageProperties.BitsPerPixel, 8);
}

TEST(PnmHostile, EachEndsWithTheLoadersError)
{
    const std::string readError = "Stream read error in PPM file.";
    const std::string invalid = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";
    const std::string size = "Cannot load image. Image size in PPM file is invalid.";
    ExpectRefused<TPPMGraphic>({
        {"not a portable map", text("Q6 1 1 255\n\1\2\3"), invalid},
        {"empty", Bytes{}, invalid},
        {"magic without a digit", text("Px 1 1 255\n"), invalid},
        {"raw data ends early", concat(text("P6\n2 2\n255\n"), Bytes(11, 7)), readError},
        {"16-bit data ends early", concat(text("P5 2 1 65535\n"), Bytes(3, 7)), readError},
        {"bitmap rows end early", concat(text("P4 9 2\n"), Bytes(3, 0)), readError},
        {"text samples end early", text("P2 2 2 255\n1 2 3"), readError},
        {"header ends early", text("P6 2 2"), readError},
        {"size the data cannot fill", concat(text("P6 16000 16000 255\n"), Bytes(100, 0)), size},
        {"size past the pixel cap", text("P5 100000 100000 255\n"), ""},
        {"text size the data cannot fill", text("P1 4000 4000\n0101"), size},
        {"maximum value 0", concat(text("P5 1 1 0\n"), Bytes(1, 0)), invalid},
        {"maximum value past 16 bits", concat(text("P5 1 1 70000\n"), Bytes(2, 0)), invalid},
        {"width past 32 bits", text("P5 99999999999 1 255\n"), invalid},
        {"letter where the height stands", text("P5 2 x 255\n"), invalid},
        {"text bitmap digit 2", text("P1 3 1\n012"), invalid},
        {"letter among text samples", text("P2 2 1 255\n1 z\n"), invalid},
    });
}

}  // namespace

// The corpus commands' paths lie in a folder with a random name, which may
// hold a key: what is put in is never replaced again.
TEST(CorpusCommands, ValuesHoldingKeysArePutInOnce)
{
    EXPECT_EQ(Substitute("cat IN > OUT", {{"OUT", "/tmp/f-xINy/o"}, {"IN", "/tmp/f-OUTz/i"}}),
              "cat /tmp/f-OUTz/i > /tmp/f-xINy/o");
    EXPECT_EQ(Substitute("DIR/aDIR", {{"DIR", "DIRDIR"}}), "DIRDIR/aDIRDIR");
}
