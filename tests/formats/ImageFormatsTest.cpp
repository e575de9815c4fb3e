#include "formats/ImageFormats.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A loader of a made-up format ("XY" then width and height bytes, then one
// grey byte per pixel) that follows the common course of a load.
class TXYGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TXYGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream)
    {
        std::int64_t here = stream.Position();
        char magic[2] = {};
        bool ok = stream.Remaining() >= 4 && stream.Read(magic, 2) == 2 && magic[0] == 'X' && magic[1] == 'Y';
        stream.SetPosition(here);
        return ok;
    }

    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override
    {
        TFormatGraphic::ReadImageProperties(stream, imageIndex);
        if (!CanLoad(stream)) return false;
        stream.Seek(2, SeekOrigin::Current);
        ImageProperties.Width = stream.ReadByte();
        ImageProperties.Height = stream.ReadByte();
        ImageProperties.ColorScheme = csG;
        ImageProperties.BitsPerSample = 8;
        ImageProperties.SamplesPerPixel = 1;
        return true;
    }

    void LoadFromStream(TStream& stream) override
    {
        BeginLoad(stream);
        if (!ReadImageProperties(stream, 0)) ImageFormatsError(FormatStrings::gesInvalidImage, {"XY"});
        stream.SetPosition(BasePosition + 4);
        ColorManager->SetSourceColorScheme(csG);
        ColorManager->SetTargetColorScheme(csG);
        ColorManager->SetSourceSamplesPerPixel(1);
        ColorManager->SetTargetSamplesPerPixel(1);
        SetPixelFormat(ColorManager->PixelFormatFor(true));
        SetPalette(ColorManager->CreateGrayscalePalette(false));
        SetSize(int(ImageProperties.Width), int(ImageProperties.Height));
        ResetProgressRect(ImageProperties.Width);
        std::vector<std::uint8_t> row(ImageProperties.Width);
        for (std::uint32_t y = 0; y < ImageProperties.Height; ++y) {
            stream.ReadBuffer(row.data(), row.size());
            ColorManager->ConvertRow({row}, ScanLineSpan(int(y)), ImageProperties.Width);
            RowDone(y, ImageProperties.Height);
        }
    }
};

}  // namespace

TEST(FormatGraphic, ReadImagePropertiesOfTheBaseResetsTheRecord)
{
    TFormatGraphic g;
    g.ImageProperties.Width = 9;
    g.ImageProperties.FileGamma = 0.45f;
    g.ImageProperties.RowsPerStrip = {1, 2};
    g.ImageProperties.Compression = ctLZW;
    TMemoryStream s(std::vector<std::uint8_t>{'X', 'Y', 1, 1, 0});
    EXPECT_FALSE(g.ReadImageProperties(s, 0));
    EXPECT_EQ(g.ImageProperties.Width, 0u);
    EXPECT_FLOAT_EQ(g.ImageProperties.FileGamma, 1.0f);
    EXPECT_TRUE(g.ImageProperties.RowsPerStrip.empty());
    EXPECT_EQ(g.ImageProperties.Compression, ctUnknown);
    EXPECT_FALSE(TFormatGraphic::CanLoad(s));
    EXPECT_EQ(s.Position(), 0);
}

TEST(FormatGraphic, CommonLoadCourseWithProgressAndSignatureTests)
{
    std::vector<std::uint8_t> file = {'j', 'u', 'n', 'k', 'X', 'Y', 3, 2, 10, 20, 30, 40, 50, 60};
    TMemoryStream s(file);
    s.SetPosition(4);
    EXPECT_TRUE(TXYGraphic::CanLoad(s));
    EXPECT_EQ(s.Position(), 4);
    TMemoryStream tooShort(std::vector<std::uint8_t>{'X', 'Y', 1});
    EXPECT_FALSE(TXYGraphic::CanLoad(tooShort));
    EXPECT_EQ(tooShort.Position(), 0);

    TXYGraphic g;
    std::vector<std::pair<int, TRect>> progress;
    g.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect& r, std::string_view) {
        if (stage == TProgressStage::psRunning) progress.push_back({percent, r});
    };
    g.LoadFromStream(s);
    EXPECT_EQ(g.BasePosition, 4);
    EXPECT_EQ(g.Stream, &s);
    EXPECT_EQ(g.PixelFormat(), pf8bit);
    EXPECT_EQ(g.Width(), 3);
    EXPECT_EQ(g.ScanLine(1)[2], 60);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0], (std::pair<int, TRect>{0, TRect{0, 0, 3, 1}}));
    EXPECT_EQ(progress[1], (std::pair<int, TRect>{50, TRect{0, 1, 3, 2}}));

    // An unrecognised header empties the picture and names the format.
    TMemoryStream bad(std::vector<std::uint8_t>{'N', 'O', 1, 1, 0});
    try {
        g.LoadFromStream(bad);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Cannot load image. Invalid or unexpected XY image format.");
    }
    EXPECT_TRUE(g.Empty());

    // The class reference creates loaders and carries the signature test.
    TGraphicClass cls = TXYGraphic::StaticClass();
    EXPECT_TRUE(InheritsFrom(cls, TFormatGraphic::StaticClass()));
    EXPECT_TRUE(InheritsFrom(cls, TBitmap::StaticClass()));
    EXPECT_FALSE(InheritsFrom(TBitmap::StaticClass(), cls));
    s.SetPosition(4);
    EXPECT_TRUE(cls->CanLoadStream(s));
    EXPECT_NE(dynamic_cast<TXYGraphic*>(cls->Create().get()), nullptr);
    EXPECT_FALSE(TXYGraphic::CanLoad(std::string("/nonexistent/file.xy")));
}

TEST(FormatGraphic, AssignCopiesImagePropertiesWithTheirArraysAndThePixels)
{
    TXYGraphic a;
    TMemoryStream s(std::vector<std::uint8_t>{'X', 'Y', 2, 1, 7, 8});
    a.LoadFromStream(s);
    a.ImageProperties.RowsPerStrip = {4, 5, 6};
    a.ImageProperties.JPEGTables = {1, 2};
    TXYGraphic b;
    b.Assign(a);
    EXPECT_EQ(b.ImageProperties.RowsPerStrip, (TCardinalArray{4, 5, 6}));
    EXPECT_EQ(b.ImageProperties.JPEGTables, (TByteArray{1, 2}));
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.ScanLine(0)[1], 8);
    a.ImageProperties.RowsPerStrip[0] = 99;
    EXPECT_EQ(b.ImageProperties.RowsPerStrip[0], 4u);
    // A copy owns its own colour manager.
    TXYGraphic c(a);
    EXPECT_NE(c.ColorManager.get(), a.ColorManager.get());
    EXPECT_EQ(c.ColorManager->SourceColorScheme(), csG);
    // Assigning a plain bitmap keeps the properties.
    TBitmap plain;
    plain.SetSize(5, 5);
    b.Assign(plain);
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.ImageProperties.RowsPerStrip.size(), 3u);
}

TEST(FormatHelpers, TextsSwapsAndMulDiv)
{
    EXPECT_EQ(FormatText("Cannot load image. %s not supported for %s files.", {"The compression scheme is", "PNG"}),
              "Cannot load image. The compression scheme is not supported for PNG files.");
    EXPECT_EQ(FormatText("100%% of %s", {"GIF", "extra"}), "100% of GIF");
    EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and ");
    EXPECT_EQ(FormatText("trailing %", {}), "trailing %");
    try {
        ImageFormatsError(FormatStrings::gesInvalidCRC, {"PNG"});
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Cannot load image. CRC error found in PNG file.");
    }
    EXPECT_THROW(ImageFormatsError(std::string("plain")), EInvalidGraphic);

    std::uint16_t shorts[] = {0x1234, 0xABCD};
    SwapShorts(shorts, 2);
    EXPECT_EQ(shorts[0], 0x3412);
    EXPECT_EQ(shorts[1], 0xCDAB);
    std::uint32_t longs[] = {0x11223344};
    SwapLongs(longs, 1);
    EXPECT_EQ(longs[0], 0x44332211u);
    EXPECT_EQ(SwapLong(0x01020304), 0x04030201u);
    EXPECT_EQ(MulDiv(3, 100, 7), 42);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 100, 200), 0x7FFFFFFF / 2);
    EXPECT_EQ(MulDiv(5, 5, 0), 0);
}
