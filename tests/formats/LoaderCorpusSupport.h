#pragma once
// Test pictures made at test time with Debian's tools, and the reference
// decodes those tools give, as plain 8-bit RGB rows (top row first).

#include "platform/picture/Picture.h"
#include "platform/streams/Streams.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace corpus {

using Bytes = std::vector<std::uint8_t>;

struct RgbImage {
    int Width = 0;
    int Height = 0;
    Bytes Rgb;  // red, green, blue per pixel, rows top first

    const std::uint8_t* pixel(int x, int y) const { return &Rgb[(static_cast<std::size_t>(y) * Width + x) * 3]; }
};

// A scratch folder for this test program, removed at exit.
const std::string& ScratchDir();
std::string ScratchPath(const std::string& name);

// Tools and whole files: the shared test support's.
using testsupport::FindTool;
using testsupport::ReadFileBytes;
using testsupport::RunQuiet;
using testsupport::WriteFileBytes;

// Reads a binary PBM, PGM, PPM or PAM file (grey expanded to RGB, maxvals
// other than 255 scaled as value * 255 / maxval, truncated; an alpha plane
// dropped). Returns an empty image when the file cannot be parsed.
RgbImage ReadNetpbm(const std::string& path, int* maxval = nullptr);
void WritePpm(const std::string& path, const RgbImage& image);

// Packs codes of varying width into bytes, most significant bit first (TIFF
// LZW) or least (GIF LZW); finish() flushes the last partial byte.
struct CodePacker {
    bool msbFirst = false;
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0;
    void put(int code, int width);
    Bytes finish();
};
Bytes PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths, bool msbFirst);

// The T.4 code words of one run (make-up codes, then the terminating code)
// as '0' and '1' characters, from the fax decoder's own code table; and
// such a bit string packed into bytes, most significant bit first, the last
// byte filled with zeros.
std::string FaxRunBits(std::uint32_t run, bool white);
Bytes PackBitString(const std::string& bits);

// A colourful test pattern with gradients, edges and flat areas; colours
// restricts it to that many distinct colours (0 for no limit).
RgbImage MakePattern(int width, int height, int colours = 0);

// A loaded bitmap converted to 24 bits (the way the gallery takes it) and
// turned into RGB rows.
RgbImage ToRgb(const TBitmap& bitmap);

// Where two decodes differ; "" when they are equal. shift compares the top
// (8 - shift) bits only.
std::string Compare(const RgbImage& expected, const RgbImage& actual, int shift = 0);
// Peak signal-to-noise ratio of two decodes of the same size in dB (1000
// when they are equal, 0 when their sizes differ).
double Psnr(const RgbImage& expected, const RgbImage& actual);
// The largest difference of one channel between two decodes of the same
// size (256 when the sizes differ).
int MaxDifference(const RgbImage& expected, const RgbImage& actual);

// Integers appended to a file being built, low byte first (LE) or high (BE).
void PutLE16(Bytes& out, std::uint32_t v);
void PutLE32(Bytes& out, std::uint32_t v);
void PutBE16(Bytes& out, std::uint32_t v);
void PutBE32(Bytes& out, std::uint32_t v);

// Run-length packets the way the formats' own writers make them: each run of
// at least minRun equal bytes as runHeader(n) and the byte, the bytes between
// runs as literalHeader(n) and the bytes; no packet covers more than longest.
Bytes PackRuns(const std::uint8_t* data, std::size_t size, std::size_t minRun, std::size_t longest,
               std::uint8_t (*runHeader)(std::size_t), std::uint8_t (*literalHeader)(std::size_t));

// A copy of value with change applied: table rows made from one good file.
template <typename T, typename Change>
T With(T value, Change change)
{
    change(value);
    return value;
}

// A command line with each key (IN, OUT, ...) replaced by its value.
using Substitutions = std::vector<std::pair<std::string, std::string>>;
std::string Substitute(const std::string& command, const Substitutions& values);

// Loads bytes into graphic; what the loader throws goes to the caller.
template <typename Graphic>
void LoadBytes(Graphic& graphic, const Bytes& bytes)
{
    TMemoryStream stream(bytes);
    graphic.LoadFromStream(stream);
}

// The file after offset bytes of other data, loaded from where it starts:
// offsets inside it must count from there.
template <typename Graphic>
void LoadBytesAt(Graphic& graphic, const Bytes& bytes, std::size_t offset)
{
    Bytes inside(offset, 0xEE);
    inside.insert(inside.end(), bytes.begin(), bytes.end());
    TMemoryStream stream(inside);
    stream.SetPosition(std::int64_t(offset));
    graphic.LoadFromStream(stream);
}

// The format's signature test on bytes, which must leave the stream where it
// found it.
template <typename Graphic>
bool Recognised(const Bytes& bytes)
{
    TMemoryStream stream(bytes);
    const bool recognised = Graphic::CanLoad(stream);
    EXPECT_EQ(stream.Position(), 0);
    return recognised;
}

// Loads bytes into graphic (a fresh one when null); the error message, or ""
// when the load went through.
template <typename Graphic>
std::string LoadError(const Bytes& bytes, Graphic* into = nullptr)
{
    TMemoryStream stream(bytes);
    Graphic local;
    try {
        (into ? *into : local).LoadFromStream(stream);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

// A file a loader must refuse, with the message it must give ("" : any).
struct Hostile {
    std::string name;
    Bytes bytes;
    std::string message;
};

// Loads each file into a fresh Graphic: it must fail with the loader's
// error, EInvalidGraphic, with the message ("" : any), and leave the picture
// empty.
template <typename Graphic>
void ExpectRefused(const std::vector<Hostile>& cases)
{
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream stream(c.bytes);
        Graphic graphic;
        try {
            graphic.LoadFromStream(stream);
            ADD_FAILURE() << "no error";
        } catch (const EInvalidGraphic& e) {
            if (!c.message.empty()) {
                EXPECT_EQ(e.Message, c.message);
            }
        } catch (const Exception& e) {
            ADD_FAILURE() << "another error than the loader's: " << e.Message;
        }
        EXPECT_TRUE(graphic.Empty());
    }
}

// A suite that needs Debian's tools: Prepare-style set-up calls NeedTools
// from SetUpTestSuite; when one is missing every test of the suite skips.
template <typename Suite>
class ToolSuite : public ::testing::Test {
protected:
    static bool NeedTools(std::initializer_list<const char*> tools)
    {
        missing_.clear();
        for (const char* tool : tools)
            if (FindTool(tool).empty()) {
                missing_ = tool;
                return false;
            }
        return true;
    }
    void SetUp() override
    {
        if (!missing_.empty()) GTEST_SKIP() << missing_ << " is not installed";
    }

private:
    static inline std::string missing_;
};

}  // namespace corpus
