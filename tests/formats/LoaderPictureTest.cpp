// The four loaders reached the way the gallery reaches them: a picture
// object choosing the class by extension, then the 24-bit bitmap.

#include "formats/ImageFormatsLoaders.h"
#include "formats/ImageFormatsTiff.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

using namespace corpus;

namespace {

TEST(LoaderPicture, EachExtensionLoadsThroughThePictureObject)
{
    const std::string convert = FindTool("convert");
    if (convert.empty()) GTEST_SKIP() << "convert is not installed";
    InitializeImageFormats();
    RgbImage pattern = MakePattern(33, 21, 16);
    WritePpm(ScratchPath("p.ppm"), pattern);
    ASSERT_TRUE(RunQuiet(convert + " " + ScratchPath("p.ppm") + " " + ScratchPath("p.gif")));
    ASSERT_TRUE(RunQuiet(convert + " " + ScratchPath("p.ppm") + " " + ScratchPath("p.PNG")));
    ASSERT_TRUE(RunQuiet(convert + " " + ScratchPath("p.ppm") + " " + ScratchPath("p.pcx")));
    {
        TBitmap bitmap;
        bitmap.SetSize(pattern.Width, pattern.Height);
        for (int y = 0; y < pattern.Height; ++y)
            for (int x = 0; x < pattern.Width; ++x)
                bitmap.SetPixelColor(x, y,
                                     RGBColor(pattern.pixel(x, y)[0], pattern.pixel(x, y)[1], pattern.pixel(x, y)[2]));
        TTargaGraphic tga;
        tga.Assign(bitmap);
        tga.SaveToFile(ScratchPath("p.tga"));
    }
    struct Case {
        const char* file;
        TGraphicClass cls;
    };
    for (const Case& c : {Case{"p.gif", TGIFGraphic::StaticClass()}, Case{"p.PNG", TPNGGraphic::StaticClass()},
                          Case{"p.pcx", TPCXGraphic::StaticClass()}, Case{"p.tga", TTargaGraphic::StaticClass()}}) {
        SCOPED_TRACE(c.file);
        TPicture picture;
        picture.LoadFromFile(ScratchPath(c.file));
        ASSERT_NE(picture.Graphic(), nullptr);
        EXPECT_EQ(picture.Graphic()->ClassType(), c.cls);
        // 16 colours survive every format unchanged.
        EXPECT_EQ(Compare(pattern, ToRgb(picture.Bitmap())), "");
    }
}

}  // namespace

namespace {

// Signature tests read from where the stream stands and put it back; a
// stream shorter than a format's minimum is never taken.
TEST(LoaderPicture, SignatureTestsKeepThePosition)
{
    Bytes gif{'g', 'i', 'f', '8', '9', 'a'};
    gif.resize(23, 0);
    Bytes png{137, 80, 78, 71, 13, 10, 26, 10, 0};
    Bytes tga(19, 0);
    tga[2] = 10;
    tga[7] = 24;
    tga[16] = 32;
    Bytes pcx(129, 0);
    pcx[0] = 10;
    pcx[1] = 5;
    pcx[2] = 1;
    // TIFF: "MM", 42 and a first directory inside the rest of the stream.
    Bytes tiff{'M', 'M', 0, 42, 0, 0, 0, 8, 0};
    // EPS: the magic, the TIFF section after the 30-byte header, a length.
    Bytes eps(31, 0);
    for (auto [at, value] : {std::pair{0, 0xC6D3D0C5u}, {20, 40u}, {24, 10u}})
        for (int i = 0; i < 4; ++i) eps[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    struct Case {
        const char* name;
        bool (*canLoad)(TStream&);
        Bytes bytes;
    };
    const Case cases[] = {
        {"GIF", [](TStream& s) { return TGIFGraphic::CanLoad(s); }, gif},
        {"PNG", [](TStream& s) { return TPNGGraphic::CanLoad(s); }, png},
        {"Targa", [](TStream& s) { return TTargaGraphic::CanLoad(s); }, tga},
        {"PCX", [](TStream& s) { return TPCXGraphic::CanLoad(s); }, pcx},
        {"TIFF", [](TStream& s) { return TTIFFGraphic::CanLoad(s); }, tiff},
        {"EPS", [](TStream& s) { return TEPSGraphic::CanLoad(s); }, eps},
    };
    for (const Case& c : cases) {
        Bytes inside{1, 2, 3};
        inside.insert(inside.end(), c.bytes.begin(), c.bytes.end());
        TMemoryStream stream(inside);
        stream.SetPosition(3);
        EXPECT_TRUE(c.canLoad(stream)) << c.name;
        EXPECT_EQ(stream.Position(), 3) << c.name;
        inside.pop_back();
        TMemoryStream shorter(inside);
        shorter.SetPosition(3);
        EXPECT_FALSE(c.canLoad(shorter)) << c.name << " one byte short";
        EXPECT_EQ(shorter.Position(), 3) << c.name;
    }
    // Targa: a colour-map type of 2, or a pixel size of 12, is not Targa.
    Bytes badMap = tga;
    badMap[1] = 2;
    TMemoryStream s1(badMap);
    EXPECT_FALSE(TTargaGraphic::CanLoad(s1));
    Bytes badDepth = tga;
    badDepth[16] = 12;
    TMemoryStream s2(badDepth);
    EXPECT_FALSE(TTargaGraphic::CanLoad(s2));
}

}  // namespace
