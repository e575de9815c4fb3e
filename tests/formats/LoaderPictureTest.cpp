// The four loaders reached the way the gallery reaches them: a picture
// object choosing the class by extension, then the 24-bit bitmap.

#include "formats/ImageFormatsLoaders.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

using namespace corpus;

namespace {

TEST(LoaderPicture, EachExtensionLoadsThroughThePictureObject)
{
    const std::string convert = FindTool("convert");
    if (convert.empty())
        GTEST_SKIP() << "convert is not installed";
    InitializeImageFormats();
    RgbImage pattern = MakePattern(33, 21, 16);
    WritePpm(ScratchPath("p.ppm"), pattern);
    ASSERT_TRUE(RunCommand(convert + " " + ScratchPath("p.ppm") + " " + ScratchPath("p.gif")));
    ASSERT_TRUE(RunCommand(convert + " " + ScratchPath("p.ppm") + " " + ScratchPath("p.PNG")));
    ASSERT_TRUE(RunCommand(convert + " " + ScratchPath("p.ppm") + " " + ScratchPath("p.pcx")));
    {
        TBitmap bitmap;
        bitmap.SetSize(pattern.Width, pattern.Height);
        for (int y = 0; y < pattern.Height; ++y)
            for (int x = 0; x < pattern.Width; ++x)
                bitmap.SetPixelColor(x, y, RGBColor(pattern.pixel(x, y)[0], pattern.pixel(x, y)[1], pattern.pixel(x, y)[2]));
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

} // namespace
