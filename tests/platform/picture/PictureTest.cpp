#include "platform/picture/Icon.h"
#include "platform/picture/JPEGImage.h"
#include "platform/picture/Picture.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"
#include "tests/support/Raises.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

using testsupport::RunQuiet;
using testsupport::TempDir;

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

// A small test picture with distinct colours everywhere (fewer than 256).
std::vector<Rgb> pattern(int width, int height)
{
    std::vector<Rgb> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(
                {std::uint8_t(x * 37 % 256), std::uint8_t(y * 53 % 256), std::uint8_t((x + y) * 11 % 256)});
    return pixels;
}

void writePpm(const std::string& file, int width, int height, const std::vector<Rgb>& pixels)
{
    std::ofstream out(file, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (const Rgb& p : pixels) out.put(char(p.r)).put(char(p.g)).put(char(p.b));
}

void expectPixels(const TBitmap& bitmap, int width, int height, const std::vector<Rgb>& pixels)
{
    ASSERT_EQ(bitmap.Width(), width);
    ASSERT_EQ(bitmap.Height(), height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb& p = pixels[std::size_t(y * width + x)];
            ASSERT_EQ(bitmap.PixelColor(x, y), RGBColor(p.r, p.g, p.b)) << "at " << x << "," << y;
        }
}

}  // namespace

TEST(PixelLimits, CheckedMultipliesCapPixelsAndOverflow)
{
    EXPECT_EQ(CheckedPixelCount(1 << 14, 1 << 14), std::uint64_t(1) << 28);
    EXPECT_THROW(CheckedPixelCount((1 << 14) + 1, 1 << 14), EImageTooLarge);
    EXPECT_THROW(CheckedPixelCount(std::uint64_t(1) << 40, std::uint64_t(1) << 40), EImageTooLarge);
    EXPECT_EQ(CheckedPixelCount(0, MaxPixelCount), 0u);
    EXPECT_THROW(CheckedPixelCount(0, MaxPixelCount + 1), EImageTooLarge);
    EXPECT_EQ(CheckedImageBytes(1000, 1000, 4), 4000000u);
    EXPECT_THROW(CheckedImageBytes(1 << 14, 1 << 14, ~std::uint64_t(0)), EImageTooLarge);
    EXPECT_EQ(CheckedRowBytes(9, 4), 5u);
    EXPECT_THROW(CheckedRowBytes(MaxPixelCount + 1, 1), EImageTooLarge);
    try {
        CheckedPixelCount(70000, 70000);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Cannot load image. The picture is too large.");
    }
}

TEST(PixelLimits, BufferBytesOfWholeRows)
{
    EXPECT_EQ(CheckedBufferBytes(12, 3), 36u);
    // A capped picture at 32 bits per pixel needs 4 bytes per pixel: allowed.
    EXPECT_EQ(CheckedBufferBytes(std::uint64_t(4) << 14, std::uint64_t(1) << 14), std::size_t(1) << 30);
    EXPECT_THROW(CheckedBufferBytes(std::uint64_t(1) << 40, std::uint64_t(1) << 40), EImageTooLarge);
    EXPECT_THROW(CheckedBufferBytes(~std::uint64_t(0), 2), EImageTooLarge);
}

TEST(Bitmap, SizesBeyondTheCapAreRefusedBeforeAllocatingAndKeepThePicture)
{
    TBitmap b;
    b.SetPixelFormat(pf32bit);
    b.SetSize(3, 2);
    EXPECT_THROW(b.SetSize(70000, 70000), EImageTooLarge);
    EXPECT_THROW(b.SetSize(1 << 30, 1), EImageTooLarge);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
}

TEST(Bitmap, RowsArePaddedToFourBytesForEveryPixelFormat)
{
    struct Case {
        TPixelFormat format;
        int width;
        std::size_t stride;
    } cases[] = {{pf1bit, 1, 4},  {pf1bit, 33, 8},  {pf4bit, 9, 8},  {pf8bit, 5, 8},   {pf15bit, 3, 8},
                 {pf16bit, 2, 4}, {pf24bit, 3, 12}, {pf24bit, 1, 4}, {pf32bit, 3, 12}, {pf24bit, 0, 0}};
    for (const Case& c : cases) {
        TBitmap b;
        b.SetPixelFormat(c.format);
        b.SetSize(c.width, 2);
        EXPECT_EQ(b.BytesPerScanLine(), c.stride) << int(c.format) << " width " << c.width;
        EXPECT_EQ(TBitmap::BytesPerScanLineFor(c.width, c.format), c.stride);
        if (c.width > 0) {
            EXPECT_EQ(b.ScanLineSpan(1).size(), c.stride);
        }
    }
}

TEST(Bitmap, ScanLineZeroIsTheTopRowAndOutOfRangeRowsRaise)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(2, 3);
    b.ScanLine(0)[0] = 0xAA;  // blue of the top-left pixel
    EXPECT_EQ(b.PixelColor(0, 0), RGBColor(0, 0, 0xAA));
    EXPECT_EQ(b.Bits()[0], 0xAA);
    EXPECT_THROW(b.ScanLine(3), EInvalidGraphic);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphic);
    try {
        b.ScanLine(7);
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Scan line index out of range");
    }
    // (Its BMP file, top row written last, is tested with the BMP class in tests/formats.)
}

TEST(Bitmap, MovesHandThePixelsOverAndLeaveTheSourceEmpty)
{
    static_assert(std::is_nothrow_move_constructible_v<TBitmap> && std::is_nothrow_move_assignable_v<TBitmap>);
    TBitmap source;
    source.SetPixelFormat(pf8bit);
    source.SetSize(5, 4);
    source.SetPixelColor(4, 3, RGBColor(255, 255, 255));
    source.TransparentColor = RGBColor(1, 2, 3);
    const std::uint8_t* pixels = source.Bits().data();
    const std::size_t paletteSize = source.Palette().size();
    ASSERT_GT(paletteSize, 0u);

    auto expectHeld = [&](const TBitmap& b) {
        EXPECT_EQ(b.Bits().data(), pixels);  // the same memory: nothing was copied
        EXPECT_EQ(b.Width(), 5);
        EXPECT_EQ(b.Height(), 4);
        EXPECT_EQ(b.PixelFormat(), pf8bit);
        EXPECT_EQ(b.Palette().size(), paletteSize);
        EXPECT_EQ(b.PixelColor(4, 3), RGBColor(255, 255, 255));
        EXPECT_EQ(b.TransparentColor, RGBColor(1, 2, 3));
    };
    auto expectEmpty = [](const TBitmap& b) {
        EXPECT_TRUE(b.Empty());
        EXPECT_TRUE(b.Bits().empty());
        EXPECT_EQ(b.BytesPerScanLine(), 0u);
        EXPECT_EQ(b.PixelFormat(), pf24bit);
        EXPECT_TRUE(b.Palette().empty());
    };
    TBitmap constructed(std::move(source));
    expectHeld(constructed);
    expectEmpty(source);

    TBitmap assigned;
    assigned.SetSize(2, 2);
    assigned = std::move(constructed);
    expectHeld(assigned);
    expectEmpty(constructed);

    // A bitmap moved from is a working bitmap again.
    constructed.SetSize(3, 2);
    constructed.SetPixelColor(2, 1, RGBColor(9, 8, 7));
    EXPECT_EQ(constructed.PixelColor(2, 1), RGBColor(9, 8, 7));
}

TEST(Bitmap, ResizingKeepsWhatFitsAndZeroFillsTheRest)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(2, 2);
    b.FillColor(RGBColor(1, 2, 3));
    b.SetSize(3, 3);
    EXPECT_EQ(b.PixelColor(1, 1), RGBColor(1, 2, 3));
    EXPECT_EQ(b.PixelColor(2, 1), 0u);
    EXPECT_EQ(b.PixelColor(0, 2), 0u);
    b.SetWidth(1);
    EXPECT_EQ(b.Width(), 1);
    EXPECT_EQ(b.PixelColor(0, 0), RGBColor(1, 2, 3));
    b.SetHeight(-5);
    EXPECT_TRUE(b.Empty());
    b.SetHeight(2);
    EXPECT_EQ(b.PixelColor(0, 1), 0u);

    TBitmap packed;
    packed.SetPixelFormat(pf1bit);
    packed.SetSize(10, 1);
    packed.ScanLine(0)[0] = 0xFF;
    packed.ScanLine(0)[1] = 0xC0;
    packed.SetWidth(12);
    EXPECT_EQ(packed.ScanLine(0)[0], 0xFF);
    EXPECT_EQ(packed.ScanLine(0)[1] & 0xC0, 0xC0);
}

TEST(Bitmap, PaletteIsCappedAndIndicesPastItsEndReadBlackAlsoAfter24BitConversion)
{
    TBitmap b;
    b.SetPixelFormat(pf8bit);
    TLogPalette p;
    p.Entries = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
    b.SetPalette(p);
    b.SetSize(4, 1);
    std::uint8_t* row = b.ScanLine(0);
    row[0] = 0;
    row[1] = 2;
    row[2] = 3;    // one past the end
    row[3] = 255;  // far past the end
    EXPECT_EQ(b.PixelColor(2, 0), 0u);
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.PixelColor(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(b.PixelColor(1, 0), RGBColor(0, 0, 255));
    EXPECT_EQ(b.PixelColor(2, 0), 0u);
    EXPECT_EQ(b.PixelColor(3, 0), 0u);

    std::vector<TPaletteEntry> many(300, TPaletteEntry{1, 1, 1, 0});
    b.SetPaletteEntries(many);
    EXPECT_EQ(b.Palette().size(), 256u);
}

TEST(Bitmap, EveryPixelFormatConvertsTo24Bits)
{
    // One pixel value per format, with the colour it stands for.
    struct Case {
        TPixelFormat format;
        std::vector<std::uint8_t> row;
        TColor expected;
    } cases[] = {
        {pf1bit, {0x40}, RGBColor(255, 255, 255)},  // pixel 1 set, default palette black/white
        {pf4bit, {0x0C}, RGBColor(0, 0, 255)},      // pixel 1 = 12, VGA blue
        {pf15bit, {0x00, 0x00, 0x1F, 0x7C}, RGBColor(255, 0, 255)},
        {pf16bit, {0x00, 0x00, 0xE0, 0x07}, RGBColor(0, 255, 0)},
        {pf32bit, {0, 0, 0, 0, 10, 20, 30, 40}, RGBColor(30, 20, 10)},
    };
    for (const Case& c : cases) {
        TBitmap b;
        b.SetPixelFormat(c.format);
        b.SetSize(2, 1);
        std::copy(c.row.begin(), c.row.end(), b.ScanLine(0));
        b.SetPixelFormat(pf24bit);
        EXPECT_EQ(b.PixelFormat(), pf24bit);
        EXPECT_EQ(b.PixelColor(1, 0), c.expected) << int(c.format);
        EXPECT_EQ(b.ScanLine(0)[3], BlueOf(c.expected));
    }
    TBitmap device;
    device.SetPixelFormat(pfDevice);
    EXPECT_EQ(device.PixelFormat(), pf24bit);
    EXPECT_THROW(device.SetPixelFormat(pfCustom), EInvalidGraphic);
}

TEST(Bitmap, IndexedFormatsWidenKeepingIndicesAndFillUsesTheNearestEntry)
{
    TBitmap b;
    b.SetPixelFormat(pf4bit);
    b.SetSize(3, 1);
    b.ScanLine(0)[0] = 0x5A;
    b.SetPixelFormat(pf8bit);
    EXPECT_EQ(b.ScanLine(0)[0], 5);
    EXPECT_EQ(b.ScanLine(0)[1], 10);
    b.FillColor(RGBColor(250, 250, 250));
    EXPECT_EQ(b.ScanLine(0)[2], 15);  // white in the VGA palette
}

TEST(Icon, DecodesAnIconMadeByImageMagickPixelForPixel)
{
    TempDir dir;
    const int w = 16, h = 12;
    std::vector<Rgb> pixels = pattern(w, h);
    writePpm(dir / "in.ppm", w, h, pixels);
    ASSERT_TRUE(RunQuiet("convert " + dir / "in.ppm" + " " + dir / "in.ico"));
    TIcon icon;
    icon.LoadFromFile(dir / "in.ico");
    EXPECT_EQ(icon.Image().PixelFormat(), pf32bit);
    std::unique_ptr<TBitmap> rendered = icon.RenderBitmap();
    EXPECT_EQ(rendered->PixelFormat(), pf24bit);
    expectPixels(*rendered, w, h, pixels);
}

TEST(Icon, TakesTheLargestImageOfSeveral)
{
    TempDir dir;
    std::vector<Rgb> pixels = pattern(48, 48);
    writePpm(dir / "in.ppm", 48, 48, pixels);
    ASSERT_TRUE(RunQuiet("convert " + dir / "in.ppm" + " -define icon:auto-resize=16,32,48 " + dir / "multi.ico"));
    TPicture picture;
    picture.LoadFromFile(dir / "multi.ico");
    ASSERT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);
    EXPECT_EQ(picture.Width(), 48);
    TBitmap& bitmap = picture.Bitmap();
    bitmap.SetPixelFormat(pf24bit);
    expectPixels(bitmap, 48, 48, pixels);
}

TEST(Icon, MaskedPixelsAreTransparentBlackAndBadIconsRaise)
{
    // A 2 × 2, 24-bit icon: all pixels white, the AND mask hides the top-left one.
    std::vector<std::uint8_t> ico = {0, 0, 1, 0, 1,  0,          // header
                                     2, 2, 0, 0, 1,  0, 24, 0,   // entry
                                     0, 0, 0, 0, 22, 0, 0,  0};  // size (patched), offset 22
    std::vector<std::uint8_t> dibBytes = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                          0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
    for (int row = 0; row < 2; ++row)  // colour rows, 6 bytes + 2 padding
        dibBytes.insert(dibBytes.end(), {255, 255, 255, 255, 255, 255, 0, 0});
    dibBytes.insert(dibBytes.end(), {0x00, 0, 0, 0});  // mask, bottom row: visible
    dibBytes.insert(dibBytes.end(), {0x80, 0, 0, 0});  // mask, top row: pixel 0 hidden
    ico[14] = std::uint8_t(dibBytes.size());
    ico.insert(ico.end(), dibBytes.begin(), dibBytes.end());
    TMemoryStream s(ico);
    TIcon icon;
    icon.LoadFromStream(s);
    ASSERT_EQ(icon.Width(), 2);
    ASSERT_EQ(icon.Height(), 2);
    EXPECT_EQ(icon.Image().ScanLine(0)[3], 0);
    EXPECT_EQ(icon.Image().ScanLine(0)[7], 255);
    auto rendered = icon.RenderBitmap();
    EXPECT_EQ(rendered->PixelColor(0, 0), 0u);
    EXPECT_EQ(rendered->PixelColor(1, 0), RGBColor(255, 255, 255));
    EXPECT_EQ(rendered->PixelColor(0, 1), RGBColor(255, 255, 255));

    std::vector<std::uint8_t> pointsPastEnd = ico;
    pointsPastEnd[18] = 200;
    // A 124-byte header size in a 44-byte image.
    std::vector<std::uint8_t> headerPastData = {0, 0, 1, 0,   1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 44, 0, 0, 0,  22,
                                                0, 0, 0, 124, 0, 0, 0, 1, 0, 0, 0, 2, 0,  0, 0,  1, 0, 32, 0};
    headerPastData.resize(22 + 44, 0);
    std::vector<std::uint8_t> noImages = {0, 0, 1, 0, 0, 0};
    std::vector<std::uint8_t> cutDirectory = {0, 0, 1, 0, 3, 0, 1, 2, 3};
    for (auto* bytes : {&pointsPastEnd, &headerPastData, &noImages, &cutDirectory}) {
        TMemoryStream bad(*bytes);
        TIcon i;
        EXPECT_THROW(i.LoadFromStream(bad), EInvalidGraphic);
    }
}

TEST(Picture, ChoosesTheClassByExtensionIgnoringCase)
{
    // Loading "PHOTO.BMP" through the registry is tested with the BMP class in tests/formats.
    EXPECT_EQ(TPicture::FindGraphicClass(".Ico"), TIcon::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass("EMF"), TMetafile::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass(""), nullptr);
    EXPECT_EQ(ExtensionOf("/a.b/c"), "");
    EXPECT_EQ(ExtensionOf("/x/photo.JPeG"), "jpeg");
}

TEST(Picture, UnknownExtensionsAndMetafilesAreRefusedKeepingThePicture)
{
    TempDir dir;
    std::ofstream(dir / "a.xyz") << "data";
    std::ofstream(dir / "a.wmf") << "data";
    std::ofstream(dir / "b.EMF") << "data";
    TPicture picture;
    try {
        picture.LoadFromFile(dir / "a.xyz");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
    }
    try {
        picture.LoadFromFile(dir / "noextension");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.)");
    }
    for (const char* name : {"a.wmf", "b.EMF"}) {
        try {
            picture.LoadFromFile(dir / name);
            FAIL() << name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Cannot load image. Windows metafiles are not supported.");
            EXPECT_EQ(e.Message.rfind("Cannot load image.", 0), 0u);
        }
    }
    EXPECT_EQ(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Bitmap().Width(), 0);
}

TEST(Picture, RegistryRegistersAndUnregistersWholeClasses)
{
    TPicture::RegisterFileFormat(".zz", "Zed pictures", TBitmap::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass("ZZ"), TBitmap::StaticClass());
    EXPECT_EQ(TPicture::FileFormatDescription("zz"), "Zed pictures");
    // A later registration of the same extension wins.
    TPicture::RegisterFileFormat("zz", "Icons too", TIcon::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass("zz"), TIcon::StaticClass());
    TPicture::UnregisterGraphicClass(TIcon::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass("zz"), TBitmap::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass("ico"), nullptr);
    TPicture::UnregisterGraphicClass(TBitmap::StaticClass());
    EXPECT_EQ(TPicture::FindGraphicClass("zz"), nullptr);
    EXPECT_EQ(TPicture::FindGraphicClass("bmp"), nullptr);
    // Leave the registry as the other tests of this program expect it.
    TPicture::RegisterFileFormat("ico", "Icons", TIcon::StaticClass());
}

TEST(Picture, ProgressReachesTheListenerAndCostsNothingWithoutOne)
{
    TBitmap b;
    b.Progress(TProgressStage::psStarting, 0, false, TRect{}, "Preparing...");  // nobody listens
    int calls = 0;
    std::string text;
    b.OnProgress = [&](TGraphic& sender, TProgressStage stage, std::uint8_t percent, bool, const TRect& r,
                       std::string_view message) {
        ++calls;
        EXPECT_EQ(&sender, &b);
        EXPECT_EQ(stage, TProgressStage::psRunning);
        EXPECT_EQ(percent, 50);
        EXPECT_EQ(r, (TRect{0, 1, 4, 2}));
        text = message;
    };
    b.Progress(TProgressStage::psRunning, 50, true, TRect{0, 1, 4, 2}, "Transfering...");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(text, "Transfering...");
}

namespace {

// Reads a binary PPM (P6) or PGM (P5) as colours.
std::vector<Rgb> readPnm(const std::string& file, int& width, int& height)
{
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maximum;
    in >> magic >> width >> height >> maximum;
    in.get();
    std::vector<Rgb> pixels;
    for (int i = 0; i < width * height; ++i) {
        if (magic == "P5") {
            std::uint8_t v = std::uint8_t(in.get());
            pixels.push_back({v, v, v});
        } else {
            std::uint8_t r = std::uint8_t(in.get()), g = std::uint8_t(in.get()), b = std::uint8_t(in.get());
            pixels.push_back({r, g, b});
        }
    }
    return pixels;
}

}  // namespace

TEST(JPEGImage, DecodesLikeDjpegForColourAndGreyPictures)
{
    TempDir dir;
    const int w = 21, h = 9;
    writePpm(dir / "in.ppm", w, h, pattern(w, h));
    ASSERT_TRUE(RunQuiet("cjpeg -quality 80 -outfile " + dir / "colour.jpg" + " " + dir / "in.ppm"));
    ASSERT_TRUE(RunQuiet("cjpeg -grayscale -outfile " + dir / "grey.jpg" + " " + dir / "in.ppm"));
    for (const char* name : {"colour", "grey"}) {
        ASSERT_TRUE(RunQuiet("djpeg -outfile " + dir / (std::string(name) + ".pnm") + " " +
                             dir / (std::string(name) + ".jpg")));
        int rw = 0, rh = 0;
        std::vector<Rgb> reference = readPnm(dir / (std::string(name) + ".pnm"), rw, rh);
        TPicture picture;
        picture.LoadFromFile(dir / (std::string(name) + ".jpg"));
        ASSERT_NE(dynamic_cast<TJPEGImage*>(picture.Graphic()), nullptr) << name;
        TBitmap& bitmap = picture.Bitmap();
        EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
        expectPixels(bitmap, rw, rh, reference);
    }
}

TEST(JPEGImage, MalformedAndOversizedFilesRaise)
{
    TempDir dir;
    writePpm(dir / "in.ppm", 8, 8, pattern(8, 8));
    ASSERT_TRUE(RunQuiet("cjpeg -outfile " + dir / "ok.jpg" + " " + dir / "in.ppm"));
    std::ifstream in(dir / "ok.jpg", std::ios::binary);
    std::vector<std::uint8_t> good{std::istreambuf_iterator<char>(in), {}};
    // The frame header's height and width (after FF C0, length, precision).
    std::size_t sof = 0;
    for (std::size_t i = 0; i + 1 < good.size(); ++i)
        if (good[i] == 0xFF && good[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    ASSERT_GT(sof, 0u);
    std::vector<std::uint8_t> huge = good;
    huge[sof + 5] = huge[sof + 7] = 0xFF;  // 65280 × 65280
    huge[sof + 6] = huge[sof + 8] = 0x00;
    std::vector<std::uint8_t> truncatedHeader(good.begin(), good.begin() + std::ptrdiff_t(sof + 4));
    std::vector<std::uint8_t> notJpeg = {'h', 'e', 'l', 'l', 'o', 0, 1, 2, 3};
    {
        TMemoryStream s(huge);
        TJPEGImage j;
        EXPECT_THROW(j.LoadFromStream(s), EImageTooLarge);
    }
    for (auto* bytes : {&truncatedHeader, &notJpeg}) {
        TMemoryStream s(*bytes);
        TJPEGImage j;
        try {
            j.LoadFromStream(s);
            FAIL();
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message.rfind("JPEG error #", 0), 0u) << e.Message;
        }
    }
    TMemoryStream empty;
    TJPEGImage j;
    EXPECT_THROW(j.LoadFromStream(empty), EInvalidGraphic);
    // Cut in the middle of the scan: corrupt data, refused rather than padded
    // with grey; without only its end marker the picture is whole and loads.
    std::vector<std::uint8_t> cut(good.begin(), good.end() - 40);
    TMemoryStream s(cut);
    EXPECT_THROW(j.LoadFromStream(s), EInvalidGraphic);
    std::vector<std::uint8_t> unended(good.begin(), good.end() - 2);
    TMemoryStream whole(unended);
    j.LoadFromStream(whole);
    EXPECT_EQ(j.Width(), 8);
}

TEST(Picture, BmpFilesAreNotTheFrameworksOwnAndTheBitmapReadsNoFiles)
{
    // BMP, RLE and DIB files are registered by the image-format library (its
    // stream loading is tested in tests/formats); the framework alone refuses them.
    TMemoryStream s(std::vector<std::uint8_t>{'B', 'M', 0, 0});
    for (const char* extension : {".BMP", "Dib", "rle"}) {
        EXPECT_EQ(TPicture::FindGraphicClass(extension), nullptr) << extension;
        s.SetPosition(0);
        TPicture picture;
        EXPECT_THROW(picture.LoadFromStream(s, extension), EInvalidGraphic) << extension;
    }
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(2, 2);
    s.SetPosition(0);
    EXPECT_EQ(testsupport::MessageOf<EInvalidGraphic>([&] { b.LoadFromStream(s); }),
              "Cannot load a picture of class TBitmap.");
    EXPECT_EQ(b.Width(), 2);
    TMemoryStream out;
    EXPECT_EQ(testsupport::MessageOf<EInvalidGraphic>([&] { b.SaveToStream(out); }),
              "Cannot save a picture of class TBitmap.");
}

TEST(Bitmap, TrueColourToIndexedTakesTheNearestPaletteEntry)
{
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(3, 1);
    b.SetPixelColor(0, 0, RGBColor(250, 5, 5));
    b.SetPixelColor(1, 0, RGBColor(10, 10, 10));
    b.SetPixelColor(2, 0, RGBColor(0, 0, 140));
    b.SetPixelFormat(pf4bit);  // the default 16-colour palette
    EXPECT_EQ(b.Palette().size(), 16u);
    EXPECT_EQ(b.PixelColor(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(b.PixelColor(1, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(b.PixelColor(2, 0), RGBColor(0, 0, 128));
    b.SetPixelFormat(pf1bit);  // keeps its palette; two entries are reachable
    EXPECT_EQ(b.PixelColor(0, 0), RGBColor(128, 0, 0));
}

// The registry's JPEG class shows a photo upright, as ImageMagick's
// -auto-orient does, and refuses a frame its data could never fill before
// making the bitmap.
TEST(JPEGImage, PhotosStandUprightAndEmptyHugeFramesRaise)
{
    if (!testsupport::HaveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    TempDir dir;
    writePpm(dir / "in.ppm", 21, 9, pattern(21, 9));
    ASSERT_TRUE(RunQuiet("cjpeg -quality 95 -outfile " + dir / "p.jpg" + " " + dir / "in.ppm"));
    ASSERT_TRUE(RunQuiet("exiftool -q -n -overwrite_original -Orientation=8 " + dir / "p.jpg"));
    ASSERT_TRUE(RunQuiet("convert " + dir / "p.jpg" + " -auto-orient -depth 8 ppm:" + dir / "ref.ppm"));
    int rw = 0, rh = 0;
    const std::vector<Rgb> reference = readPnm(dir / "ref.ppm", rw, rh);
    EXPECT_EQ(rw, 9);
    TPicture picture;
    picture.LoadFromFile(dir / "p.jpg");
    expectPixels(picture.Bitmap(), rw, rh, reference);

    std::ifstream in(dir / "p.jpg", std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    for (std::size_t i = 0; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = bytes[i + 7] = 16000 >> 8;  // 16000 x 16000 from a few hundred bytes
            bytes[i + 6] = bytes[i + 8] = 16000 & 0xFF;
            break;
        }
    TMemoryStream s(bytes);
    TJPEGImage j;
    EXPECT_THROW(j.LoadFromStream(s), EImageTooLarge);
    // Bytes after the end marker fill nothing: 900 KB of zeros there are no
    // reason to make a 768 MB bitmap.
    bytes.insert(bytes.end(), 900 * 1024, 0);
    TMemoryStream padded(bytes);
    EXPECT_THROW(j.LoadFromStream(padded), EImageTooLarge);
}
