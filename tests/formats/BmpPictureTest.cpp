// BMP files through the picture registry: the formats layer's bitmap class
// over the raster core's reader and writer, checked against ImageMagick.
#include "LoaderCorpusSupport.h"
#include "formats/ImageFormats.h"
#include "formats/ImageFormatsBmp.h"
#include "tests/support/Raises.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corpus;
using testsupport::ImageMagick;
using testsupport::TempDir;

namespace {

// ImageMagick's own reading of a picture as 8-bit RGB (empty when it fails).
RgbImage referenceOf(const std::string& file)
{
    const std::string ppm = file + ".ppm";
    return ImageMagick(file + " -depth 8 " + ppm) ? ReadNetpbm(ppm) : RgbImage{};
}

// The registry's class for BMP files, as the program sees it after start-up.
class BmpPicture : public ::testing::Test {
protected:
    void SetUp() override { InitializeImageFormats(); }
    void TearDown() override { FinalizeImageFormats(); }
};

}  // namespace

TEST_F(BmpPicture, TheRegistryGivesTheRasterBackedBitmapForEveryBmpExtension)
{
    for (const char* extension : {"bmp", "RLE", ".dib"}) {
        EXPECT_EQ(TPicture::FindGraphicClass(extension), TBmpBitmap::StaticClass()) << extension;
        EXPECT_TRUE(InheritsFrom(TBmpBitmap::StaticClass(), TBitmap::StaticClass()));
    }
    EXPECT_STREQ(TBmpBitmap::StaticClass()->ClassName, "TBitmap");
    EXPECT_EQ(TPicture::FileFormatDescription("bmp"), "Windows bitmaps");
    EXPECT_EQ(TPicture::FileFormatDescription("rle"), "Run length encoded Windows bitmaps");
    EXPECT_EQ(TPicture::FileFormatDescription("dib"), "Device independant Windows bitmaps");
    // The plain bitmap reads no files of its own.
    TMemoryStream empty;
    TBitmap plain;
    EXPECT_THROW(plain.LoadFromStream(empty), EInvalidGraphic);
    EXPECT_THROW(plain.SaveToStream(empty), EInvalidGraphic);
}

TEST_F(BmpPicture, ReadsBmpFilesMadeByImageMagickInEveryDepthAndHeader)
{
    TempDir dir("pictavo-bmp");
    WritePpm(dir / "in.ppm", MakePattern(13, 5));
    struct Case {
        const char* options;  // written before the output name
        TPixelFormat format;
        std::uint32_t headerSize;
        std::uint32_t compression;
    } cases[] = {
        {"BMP3:", pf24bit, 40, 0},
        {"BMP:", pf24bit, 124, 0},  // version 5 header
        {"-type palette -compress none BMP3:", pf8bit, 40, 0},
        {"-type palette -colors 16 BMP3:", pf4bit, 40, 0},
        {"-type palette -compress RLE BMP3:", pf8bit, 40, 1},
        {"-type palette -compress RLE BMP:", pf8bit, 124, 1},
        {"-define bmp:subtype=RGB565 BMP:", pf16bit, 124, 3},
        {"-define bmp:subtype=RGB555 BMP:", pf15bit, 124, 3},
        {"-type truecolormatte BMP:", pf32bit, 124, 3},
        {"-type bilevel BMP3:", pf1bit, 40, 0},
    };
    for (const Case& c : cases) {
        const std::string out = dir / "out.bmp";
        ASSERT_TRUE(ImageMagick(dir / "in.ppm" + " " + c.options + out)) << c.options;
        const std::vector<std::uint8_t> bytes = testsupport::ReadFileBytes(out);
        ASSERT_GT(bytes.size(), 34u);
        EXPECT_EQ(bytes[14] | bytes[15] << 8, int(c.headerSize)) << c.options;
        EXPECT_EQ(bytes[30], c.compression) << c.options;
        TPicture picture;
        picture.LoadFromFile(out);
        ASSERT_EQ(picture.Graphic()->ClassType(), TBmpBitmap::StaticClass()) << c.options;
        EXPECT_EQ(picture.Bitmap().PixelFormat(), c.format) << c.options;
        EXPECT_EQ(Compare(referenceOf(out), ToRgb(picture.Bitmap())), "") << c.options;
    }
}

TEST_F(BmpPicture, FilesRoundTripInEveryPixelFormatAndImageMagickReadsThem)
{
    TempDir dir("pictavo-bmp");
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        TBmpBitmap b;
        b.SetPixelFormat(format);
        b.SetSize(7, 3);
        for (int y = 0; y < 3; ++y)
            for (std::size_t i = 0; i < b.BytesPerScanLine(); ++i) b.ScanLine(y)[i] = std::uint8_t(i * 31 + y * 7);
        TMemoryStream s;
        b.SaveToStream(s);
        s.SetPosition(0);
        TBmpBitmap back;
        back.LoadFromStream(s);
        EXPECT_EQ(back.PixelFormat(), format);
        ASSERT_EQ(back.Width(), 7);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(back.PixelColor(x, y), b.PixelColor(x, y)) << int(format) << " " << x << "," << y;
        // The same file as ImageMagick reads it (32 bits: its fourth byte is no alpha).
        const std::string file = dir / "ours.bmp";
        b.SaveToFile(file);
        if (format != pf32bit) {
            EXPECT_EQ(Compare(referenceOf(file), ToRgb(b)), "") << int(format);
        }
    }
}

TEST_F(BmpPicture, TheTopRowIsWrittenLastAndTheExtensionChoosesTheClassIgnoringCase)
{
    TBmpBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(2, 3);
    b.ScanLine(0)[0] = 0xAA;  // blue of the top-left pixel
    // Saved as BMP the top row is written last (bottom-up file).
    TMemoryStream s;
    b.SaveToStream(s);
    const auto& bytes = s.Bytes();
    EXPECT_EQ(bytes[bytes.size() - 8], 0xAA);

    TempDir dir("pictavo-bmp");
    TBmpBitmap photo;
    photo.SetPixelFormat(pf24bit);
    photo.SetSize(3, 2);
    photo.FillColor(RGBColor(9, 8, 7));
    photo.SaveToFile(dir / "PHOTO.BMP");
    TPicture picture;
    picture.LoadFromFile(dir / "PHOTO.BMP");
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->ClassType(), TBmpBitmap::StaticClass());
    EXPECT_EQ(picture.Bitmap().PixelColor(2, 1), RGBColor(9, 8, 7));
}

TEST_F(BmpPicture, LoadsFromAStreamByTheExtensionGivenUntilTheLibraryIsFinalized)
{
    TBmpBitmap b;
    b.SetPixelFormat(pf8bit);
    b.SetSize(2, 2);
    b.FillColor(RGBColor(255, 0, 0));  // VGA red is entry 9
    TMemoryStream s;
    b.SaveToStream(s);
    EXPECT_EQ(b.ScanLine(0)[0], 9);
    for (const char* extension : {".BMP", "bmp", "Dib", "rle"}) {
        s.SetPosition(0);
        TPicture picture;
        picture.LoadFromStream(s, extension);
        EXPECT_EQ(picture.Bitmap().PixelColor(1, 1), RGBColor(255, 0, 0)) << extension;
        EXPECT_EQ(picture.Bitmap().PixelFormat(), pf8bit) << extension;
    }
    FinalizeImageFormats();
    s.SetPosition(0);
    TPicture picture;
    EXPECT_THROW(picture.LoadFromStream(s, "bmp"), EInvalidGraphic);
}

TEST_F(BmpPicture, RunLengthDataDecodesAndRunsPastARowAreRefused)
{
    // 4 × 2, RLE8: bottom row "run of 4 × index 1", then the top row the
    // same in two runs, then end of bitmap.
    std::vector<std::uint8_t> file =
        {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 14 + 40 + 8, 0, 0, 0, 40, 0, 0, 0, 4,   0, 0,
         0,   2,   0, 0, 0, 1, 0, 8, 0, 1, 0,           0, 0, 0, 0,  0, 0, 0, 0,   0, 0,
         0,   0,   0, 0, 2, 0, 0, 0, 0, 0, 0,           0, 0, 0, 0,  0, 0, 0, 255, 0,  // palette: 0 black, 1 red
         4,   1,   0, 0, 2, 1, 2, 1, 0, 1};
    TMemoryStream s(file);
    TBmpBitmap b;
    b.LoadFromStream(s);
    EXPECT_EQ(b.PixelFormat(), pf8bit);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(b.PixelColor(x, 0), RGBColor(255, 0, 0));
        EXPECT_EQ(b.PixelColor(x, 1), RGBColor(255, 0, 0));
    }
    // A run that claims 200 pixels on a row of 4 would write past the row.
    file[14 + 40 + 8 + 4] = 200;
    TMemoryStream overlong(file);
    TBmpBitmap refused;
    EXPECT_EQ(testsupport::MessageOf<EInvalidGraphic>([&] { refused.LoadFromStream(overlong); }),
              "Invalid BMP file: RLE run past the end of a row");
}

TEST_F(BmpPicture, MalformedAndHostileFilesRaiseInvalidGraphicWithTheReasonAndKeepThePicture)
{
    std::vector<std::uint8_t> good;
    {
        TBmpBitmap b;
        b.SetPixelFormat(pf8bit);
        b.SetSize(4, 4);
        TMemoryStream s;
        b.SaveToStream(s);
        good = s.Bytes();
    }
    auto patched = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
        std::vector<std::uint8_t> f = good;
        std::copy(bytes.begin(), bytes.end(), f.begin() + std::ptrdiff_t(at));
        return f;
    };
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 5);
    std::vector<std::uint8_t> headerOnly(good.begin(), good.begin() + 20);
    std::vector<std::uint8_t> shortTable(good.begin(), good.begin() + 14 + 40 + 100);
    // A 60-byte RLE8 file claiming 16384 × 16384 pixels: refused before the
    // picture is allocated.
    std::vector<std::uint8_t> hugeRle = good;
    hugeRle[18] = hugeRle[22] = 0;
    hugeRle[19] = hugeRle[23] = 0x40;  // width and height 0x4000
    hugeRle[30] = 1;
    hugeRle.resize(14 + 40 + 1024 + 4);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "the file is too short"},
        {"not BM", patched(0, {'X'}), "no BM signature"},
        {"header only", headerOnly, "the file is too short"},
        {"truncated pixels", truncated, "the pixel data is cut short"},
        {"odd header size", patched(14, {41}), "unsupported header size 41"},
        {"bit count 3", patched(28, {3}), "unsupported bit count 3"},
        {"huge size", patched(18, {0xFF, 0xFF, 0xFF, 0x7F}), "the picture is too large"},
        {"colour count past 256", patched(46, {0x01, 0x02}), "too many colours (513)"},
        {"pixels before headers", patched(10, {10, 0, 0, 0}), "bad pixel data offset"},
        {"compression 9", patched(30, {9}), "unsupported compression 9"},
        {"width 0", patched(18, {0, 0, 0, 0}), "bad picture size"},
        {"rows the data cannot hold", patched(22, {0, 0, 0, 1}), "the pixel data is cut short"},
        {"colour table cut short", shortTable, "the colour table is cut short"},
        {"run-length data for a huge picture", hugeRle, "the run-length data cannot fill the picture"},
    };
    for (const Case& c : cases) {
        TMemoryStream s(c.bytes);
        TBmpBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(1, 1);
        b.FillColor(RGBColor(1, 2, 3));
        try {
            b.LoadFromStream(s);
            ADD_FAILURE() << c.name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, std::string("Invalid BMP file: ") + c.reason) << c.name;
        }
        EXPECT_EQ(b.PixelColor(0, 0), RGBColor(1, 2, 3)) << c.name;
        TMemoryStream again(c.bytes);
        TPicture picture;
        EXPECT_THROW(picture.LoadFromStream(again, "bmp"), EInvalidGraphic) << c.name;
    }
}
