// The masked overlay through the main window's image maker, on pictures of
// odd and even sizes, against ImageMagick's masked composite.

#include "WindowTestSupport.h"

#include "compositing/Argb.h"
#include "gallery/records/PropertyRecords.h"
#include "raster/RasterDIB.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

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

// No state of one picture reaches the next, whatever the record's kind,
// and at most five picture-sized 32-bit buffers live at once, none after.
TEST_P(MaskOverlay, EachPictureStartsFreshAndReleasesItsBuffers)
{
    const std::vector<std::uint8_t> unmasked = plain();
    const std::int64_t before = TArgbBitmap::PixelBytesInUse();
    TArgbBitmap::ResetPeakPixelBytes();
    setMask(folder.File("ramp.bmp"), 0, 100, 0, 1, RGBColor(255, 0, 0));
    made();
    EXPECT_LE(TArgbBitmap::PeakPixelBytes() - before, 5 * std::int64_t(w) * h * 4);
    EXPECT_EQ(TArgbBitmap::PixelBytesInUse(), before);
    setMask(folder.File("white.bmp"), 0, 100, 0, 7);
    EXPECT_EQ(made(), unmasked);
    setMask(folder.File("black.bmp"), 0, 100, 0, 7);
    const std::vector<std::uint8_t> result = made();
    EXPECT_EQ(std::vector<std::uint8_t>(result.begin(), result.begin() + 3),
              (std::vector<std::uint8_t>{RedOf(Background), GreenOf(Background), BlueOf(Background)}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, MaskOverlay,
                         ::testing::Values(std::pair{300, 200}, std::pair{301, 201}, std::pair{300, 202}),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });
