// The masked overlay through the main window's image maker, on pictures of
// odd and even sizes, against ImageMagick's masked composite and against the
// 32-bit compositor whose bytes it gives.

#include "WindowTestSupport.h"

#include "compositing/ArgbFilters.h"
#include "compositing/ArgbImage.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/records/PropertyRecords.h"
#include "raster/RasterDIB.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

const TColor Background = RGBColor(30, 140, 220);

// RGB bytes, top row first, whatever the buffer's row order.
std::vector<std::uint8_t> rgbOf(const TRasterDIB& dib)
{
    std::vector<std::uint8_t> out;
    const int h = dib.AbsHeight;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < dib.Width(); ++x) {
            TColorTriple t;
            dib.GetPixelColor(dib.Header.Height > 0 ? h - 1 - y : y, x, t);
            out.insert(out.end(), {t.Red, t.Green, t.Blue});
        }
    return out;
}

int largestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    if (a.size() != b.size()) return 1000;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

class MaskOverlay : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    void SetUp() override
    {
        std::tie(w, h) = GetParam();
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        source = folder.File("source.bmp");
        ASSERT_TRUE(
            testsupport::ImageMagick("-size " + size + " plasma:fractal -seed 5 -type TrueColor BMP3:" + source));
        for (const char* colour : {"white", "black"})
            ASSERT_TRUE(testsupport::ImageMagick("-size " + size + " xc:" + colour +
                                                 " -type TrueColor BMP3:" + folder.File(std::string(colour) + ".bmp")));
        // The black mask again under a name with a "|", which the record stores as "%line".
        std::filesystem::copy_file(folder.File("black.bmp"), folder.File("bl|ack.bmp"));
        // A horizontal ramp, white on the left.
        ASSERT_TRUE(testsupport::ImageMagick(
            "-size " + std::to_string(h) + "x" + std::to_string(w) +
            " gradient:black-white -rotate 90 -type TrueColor BMP3:" + folder.File("ramp.bmp")));
        form = std::make_unique<TForm1>();
        form->CheckBox3->SetChecked(false);  // no resize
        form->ComboBox18->SetItemIndex(0);
        form->CheckBox5->SetChecked(false);
        form->CheckBox6->SetChecked(false);
        form->CheckBox4->SetChecked(true);
    }

    void setMask(const std::string& file, int brightening = 0, int scale = 100, int invert = 0, int kind = 0,
                 TColor colour = Background)
    {
        form->SetPropertyRecord(
            prAddMaskImage,
            MakePropertyRecord({"1", file, std::to_string(brightening), std::to_string(scale), std::to_string(kind),
                                std::to_string(colour), std::to_string(invert), "0", "0", ""}));
    }

    std::vector<std::uint8_t> made()
    {
        TRasterDIB picture;
        int failed = -1;
        form->CreateImage(failed, source, picture);
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(picture.Width(), w);
        EXPECT_EQ(picture.AbsHeight, h);
        return rgbOf(picture);
    }

    // ImageMagick's composite of the source over the background through the
    // mask, read at 16 bits and rounded to 8 (its own 8-bit export truncates).
    std::vector<std::uint8_t> magick(const std::string& maskArguments)
    {
        const std::string out = folder.File("magick.rgb");
        const std::string bg = "'rgb(" + std::to_string(RedOf(Background)) + "," + std::to_string(GreenOf(Background)) +
                               "," + std::to_string(BlueOf(Background)) + ")'";
        EXPECT_TRUE(testsupport::ImageMagick("-size " + std::to_string(w) + "x" + std::to_string(h) + " xc:" + bg +
                                             " " + source + " " + maskArguments +
                                             " -composite -depth 16 -endian LSB rgb:" + out));
        const std::vector<std::uint8_t> wide = testsupport::ReadFileBytes(out);
        std::vector<std::uint8_t> rounded;
        for (std::size_t i = 0; i + 1 < wide.size(); i += 2)
            rounded.push_back(std::uint8_t(((wide[i] | (wide[i + 1] << 8)) * 255 + 32767) / 65535));
        return rounded;
    }

    std::vector<std::uint8_t> plain()
    {
        form->SetPropertyRecord(prAddMaskImage, PropertyRecordDefault(prAddMaskImage));
        return made();
    }

    TempProgramFolder folder;
    DialogScript dialogs;
    std::unique_ptr<TForm1> form;
    std::string source;
    int w = 0, h = 0;
};

}  // namespace

TEST_P(MaskOverlay, WhiteBlackAndGreyMasks)
{
    const std::vector<std::uint8_t> unmasked = plain();
    setMask(folder.File("white.bmp"));
    EXPECT_EQ(made(), unmasked);  // bit for bit: the layer covers the picture exactly

    setMask(folder.File("bl|ack.bmp"));
    std::vector<std::uint8_t> flat;
    for (int i = 0; i < w * h; ++i)
        flat.insert(flat.end(), {RedOf(Background), GreenOf(Background), BlueOf(Background)});
    EXPECT_EQ(made(), flat);
    setMask(folder.File("black.bmp"), 100);  // brightened by 300: white
    EXPECT_EQ(made(), unmasked);

    setMask(folder.File("ramp.bmp"));
    EXPECT_LE(largestDifference(made(), magick(folder.File("ramp.bmp"))), 1);
    setMask(folder.File("ramp.bmp"), 0, 100, 1);
    EXPECT_LE(largestDifference(made(), magick("\\( " + folder.File("ramp.bmp") + " -negate \\)")), 1);
}

TEST_P(MaskOverlay, HalfScaleMissingEmptyAndZeroScale)
{
    const std::vector<std::uint8_t> unmasked = plain();
    // At 50 % the white mask sits in the middle of a black field: a background border.
    setMask(folder.File("white.bmp"), 0, 50);
    const std::vector<std::uint8_t> half = made();
    auto at = [&](const std::vector<std::uint8_t>& rgb, int x, int y) {
        const std::size_t i = (std::size_t(y) * w + x) * 3;
        return std::vector<std::uint8_t>(rgb.begin() + i, rgb.begin() + i + 3);
    };
    const std::vector<std::uint8_t> bg = {RedOf(Background), GreenOf(Background), BlueOf(Background)};
    for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 8, h / 2}})
        EXPECT_EQ(at(half, x, y), bg) << x << "," << y;
    EXPECT_EQ(at(half, w / 2, h / 2), at(unmasked, w / 2, h / 2));

    folder.Write("empty.bmp", "");
    folder.Write("broken.bmp", "BM not a bitmap");
    for (const std::string& mask : {folder.File("missing.bmp"), folder.File("empty.bmp"), folder.File("broken.bmp")}) {
        setMask(mask);
        EXPECT_EQ(made(), unmasked) << mask;
    }
    setMask(folder.File("black.bmp"), 0, 0);
    EXPECT_EQ(made(), unmasked);
}

// The overlay as the 32-bit compositor makes it: the picture as a bitmap
// layer whose alpha is the stretched mask's intensity, blended over a bitmap
// of the background colour in an image view, and the rendering copied back.
std::vector<std::uint8_t> composited(const std::string& source, const std::string& maskFile, int scale, int invert,
                                     int brightening, TColor background)
{
    TRasterDIB picture, mask;
    LoadImageFile(picture, source);
    LoadScaledImage(mask, maskFile, scale, invert, brightening);
    const int w = picture.Width(), h = picture.AbsHeight;
    QWidget parent;
    TComponent root(nullptr, "root");
    auto* view = root.Make<TArgbImgView>("ImgView", &parent);
    view->SetBounds(0, 0, 57, 54);
    view->SetScale(1);
    view->Bitmap()->SetSize(w, h);
    view->Bitmap()->Clear(ArgbFromColor(background));
    auto* layer = view->Layers()->AddLayer<TBitmapLayer>();
    TArgbBitmap& layerBitmap = *layer->Bitmap();
    layerBitmap.SetSize(w, h);
    picture.Draw(layerBitmap.DC(), 0, 0);
    layerBitmap.SetDrawMode(dmBlend);
    TArgbBitmap grey, stretched;
    grey.SetSize(mask.Width(), mask.AbsHeight);
    mask.Draw(grey.DC(), 0, 0);
    GrayscaleFromColor(&grey, &grey);
    stretched.SetSize(w, h);
    grey.DrawTo(&stretched, TRect{0, 0, w, h});
    AlphaFromIntensity(&layerBitmap, &stretched);
    layer->SetLocation(TSingleRect{0, 0, float(w), float(h)});
    layer->SetScaled(true);
    TArgbBitmap rendering;
    rendering.SetSize(w, h);
    view->PaintTo(&rendering, TRect{0, 0, w, h});
    rendering.DrawToDC(picture.DC, 0, 0);
    return rgbOf(picture);
}

// Colour masks smaller than the picture, as large and larger, scaled,
// inverted and brightened: the same bytes as the compositor's, and no 32-bit
// bitmap made for them. No state of one picture reaches the next, whatever
// the record's kind.
TEST_P(MaskOverlay, SameBytesAsTheCompositor)
{
    struct Mask {
        int width, height, brightening, scale, invert, kind;
    };
    const Mask masks[] = {
        {w, h, 0, 100, 0, 0},        {w / 3 + 1, h / 2 + 3, 0, 100, 1, 1}, {2 * w - 1, h + 7, 20, 100, 0, 7},
        {w + 5, h / 4, 0, 50, 0, 0}, {w / 2, h - 1, 10, 137, 1, 0},        {1, 1, 0, 100, 0, 0}};
    int seed = 20;
    for (const Mask& m : masks) {
        const std::string file = folder.File("mask" + std::to_string(seed) + ".bmp");
        ASSERT_TRUE(testsupport::ImageMagick("-seed " + std::to_string(seed++) + " -size " + std::to_string(m.width) +
                                             "x" + std::to_string(m.height) +
                                             " plasma:fractal -type TrueColor BMP3:" + file));
        setMask(file, m.brightening, m.scale, m.invert, m.kind);
        const std::int64_t before = TArgbBitmap::PixelBytesInUse();
        TArgbBitmap::ResetPeakPixelBytes();
        const std::vector<std::uint8_t> result = made();
        EXPECT_EQ(TArgbBitmap::PeakPixelBytes(), before) << m.width << "x" << m.height;
        EXPECT_EQ(result, composited(source, file, m.scale, m.invert, m.brightening, Background))
            << m.width << "x" << m.height << " at " << m.scale << " %";
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MaskOverlay,
                         ::testing::Values(std::pair{300, 200}, std::pair{301, 201}, std::pair{300, 202}),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });
