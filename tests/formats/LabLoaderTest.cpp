// CIE L*a*b* pictures, TIFF and Photoshop, 8 and 16 bits, decoded as
// ImageMagick decodes the same files (reference white D65, the sRGB curve).
// ImageMagick writes Lab TIFF files; it writes no Lab Photoshop file, so
// those are built here from its Lab samples and then read by both.

#include "formats/ImageFormatsPsd.h"
#include "formats/ImageFormatsTiff.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

using namespace corpus;

namespace {

class LabCorpus : public ToolSuite<LabCorpus> {
protected:
    static void SetUpTestSuite()
    {
        if (NeedTools({"convert"})) WritePpm(ScratchPath("lab-photo.ppm"), MakePattern(61, 37));
    }

    static std::string convert() { return FindTool("convert"); }

    // ImageMagick's decode of file, and ours, at least minimum dB apart.
    template <typename Graphic>
    static void expectLikeImageMagick(const std::string& file, double minimum)
    {
        const std::string reference = file + ".ppm";
        ASSERT_TRUE(RunQuiet(convert() + " " + file + " -depth 8 " + reference));
        const RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        Graphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.PixelFormat(), pf24bit);
        EXPECT_GE(Psnr(expected, ToRgb(loaded)), minimum);
    }
};

TEST_F(LabCorpus, TiffFilesLikeImageMagick)
{
    for (const char* options : {"-depth 8", "-depth 16 -endian LSB", "-depth 16 -endian MSB -compress lzw"}) {
        SCOPED_TRACE(options);
        const std::string file = ScratchPath("lab.tif");
        ASSERT_TRUE(
            RunQuiet(convert() + " " + ScratchPath("lab-photo.ppm") + " -colorspace Lab " + options + " " + file));
        expectLikeImageMagick<TTIFFGraphic>(file, 35);
    }
}

TEST_F(LabCorpus, PhotoshopFilesLikeImageMagick)
{
    const RgbImage photo = MakePattern(61, 37);
    for (int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        // ImageMagick's Lab samples as they are (L* and a*, b* offset by half
        // the range), one plane after another.
        const std::string raw = ScratchPath("lab.raw");
        ASSERT_TRUE(RunQuiet(convert() + " " + ScratchPath("lab-photo.ppm") +
                             " -colorspace Lab -set colorspace sRGB -endian MSB -depth " + std::to_string(depth) +
                             " rgb:" + raw));
        const Bytes samples = ReadFileBytes(raw);
        const std::size_t bytes = std::size_t(depth) / 8, pixels = std::size_t(photo.Width) * photo.Height;
        ASSERT_EQ(samples.size(), pixels * 3 * bytes);
        Bytes file{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
        PutBE16(file, 3);
        PutBE32(file, std::uint32_t(photo.Height));
        PutBE32(file, std::uint32_t(photo.Width));
        PutBE16(file, std::uint32_t(depth));
        PutBE16(file, 9);
        file.resize(file.size() + 3 * 4 + 2, 0);  // three empty sections, no compression
        for (std::size_t c = 0; c < 3; ++c)
            for (std::size_t i = 0; i < pixels; ++i)
                for (std::size_t b = 0; b < bytes; ++b) file.push_back(samples[(i * 3 + c) * bytes + b]);
        const std::string psd = ScratchPath("lab.psd");
        WriteFileBytes(psd, file);
        expectLikeImageMagick<TPSDGraphic>(psd, 35);
    }
}

}  // namespace
