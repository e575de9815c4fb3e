// The decorations: blend weights, stamp and logo placement, the bevel's alpha
// ramp and ring order, frame expansion, outline growth, their order on a
// thumbnail, decoration files or numbers that must leave a picture as it
// was, and their pictures read once per build.

#include "gallery/pictures/pvutilsDecorations.h"

#include "gallery/pictures/pvutilsDecorationCache.h"
#include "gallery/records/PropertyRecords.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsMakers.h"
#include "platform/system/System.h"
#include "raster/RasterFiles.h"
#include "tests/raster/RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

using namespace filetest;

namespace {

constexpr TColorTriple Red{0, 0, 255}, Green{0, 255, 0}, Blue{255, 0, 0}, Silver{192, 192, 192}, Grey{100, 100, 100};
constexpr COLORREF GdiBlue = 0xFF0000, GdiRed = 0x0000FF, GdiWhite = 0xFFFFFF;

void fill(TRasterDIB& dib, int w, int h, TColorTriple c)
{
    dib.SetSize(w, h, 24);
    dib.Clear(c);
}

void setFromTop(TRasterDIB& dib, int x, int y, TColorTriple c) { dib.SetPixelColor(dib.AbsHeight - 1 - y, x, c); }

std::string writePicture(const TempDir& dir, const std::string& name, TRasterDIB& dib)
{
    WriteBmpFile(dib, dir / name);
    return dir / name;
}

// The bounding box (left, top, right, bottom inclusive) of one colour; all -1 when absent.
std::tuple<int, int, int, int> box(const TRasterDIB& dib, TColorTriple c)
{
    int l = -1, t = -1, r = -1, b = -1;
    for (int y = 0; y < dib.AbsHeight; ++y)
        for (int x = 0; x < dib.Width(); ++x)
            if (pixelFromTop(dib, x, y) == c) {
                if (l < 0 || x < l) l = x;
                if (t < 0) t = y;
                r = std::max(r, x);
                b = y;
            }
    return {l, t, r, b};
}

bool samePixels(const TRasterDIB& a, const TRasterDIB& b)
{
    if (a.Width() != b.Width() || a.AbsHeight != b.AbsHeight) return false;
    for (int y = 0; y < a.AbsHeight; ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (!(pixelFromTop(a, x, y) == pixelFromTop(b, x, y))) return false;
    return true;
}

// The stamp's text size in a font, measured as the stamp measures it.
std::pair<int, int> textSize(const TStampFont& font, const std::string& text)
{
    TRasterDIB scratch;
    scratch.SetSize(1, 1, 24);
    TGdiFontInfo info;
    info.Height = -int(std::lround(font.Size * 96.0 / 72.0));
    info.Bold = font.Bold;
    scratch.SetFontFrom(font.Name, info);
    return {scratch.TextWidth(text), scratch.TextHeight(text)};
}

}  // namespace

TEST(Decorations, BlendWeightsAreHeldToTheirRange)
{
    const std::pair<int, int> table[] = {{0, 0},     {50, 60},   {100, 120}, {106, 127},
                                         {107, 128}, {300, 128}, {-5, 0},    {INT32_MAX, 128}};
    for (auto [transparency, weight] : table) EXPECT_EQ(StampBlendWeight(transparency), weight) << transparency;
}

TEST(Decorations, TextStampPlacedByItsPositionAndOffsets)
{
    TStampFont font{"DejaVu Sans", false, false, false, false, 10, GdiBlue};
    const auto [tw, th] = textSize(font, "Hi");
    TTextStamp stamp;
    stamp.Background = sbGradient;
    for (COLORREF& c : stamp.Gradient) c = GdiBlue;  // a flat panel the colour of the text
    stamp.HorizontalMargin = 3;
    stamp.VerticalMargin = 2;
    const int pw = tw + 6, ph = th + 4;
    struct Case {
        int position, xOffset, yOffset;
        std::tuple<int, int, int, int> expected;
    };
    const Case cases[] = {
        {0, 0, 0, {0, 0, pw - 1, ph - 1}},
        {0, 10, 0, {0, 10, pw - 1, ph + 9}},  // the "X" offset moves the stamp down
        {0, 0, 10, {10, 0, pw + 9, ph - 1}},  // the "Y" offset moves it right
        {8, 0, 0, {200 - pw, 100 - ph, 199, 99}},
        {4, -3, 5, {(200 - pw) / 2 + 5, (100 - ph) / 2 - 3, (200 - pw) / 2 + 4 + pw, (100 - ph) / 2 + ph - 4}},
    };
    for (const Case& c : cases) {
        TRasterDIB image;
        fill(image, 200, 100, WhiteTriple);
        stamp.Position = c.position;
        stamp.XOffset = c.xOffset;
        stamp.YOffset = c.yOffset;
        DrawTextStamp(image, font, "Hi", stamp);
        EXPECT_EQ(box(image, Blue), c.expected) << c.position << " " << c.xOffset << " " << c.yOffset;
    }
    // Full border: the panel spans the picture less the margin, centred, moved by the "X" offset.
    TRasterDIB image;
    fill(image, 200, 100, WhiteTriple);
    stamp.Position = 6;
    stamp.FullBorder = true;
    stamp.XOffset = 4;
    stamp.YOffset = 0;
    DrawTextStamp(image, font, "Hi", stamp);
    EXPECT_EQ(box(image, Blue), std::make_tuple(5, 100 - ph + 4, 199, 99));
}

TEST(Decorations, TextOnSilverHasOnlyTheFontColourAndSilver)
{
    TStampFont font{"Verdana", true, false, false, false, 14, GdiRed};
    TTextStamp stamp;
    stamp.Position = 4;
    stamp.ExcludeTextFromOpacity = 1;
    for (auto [rotation, mirror] : {std::pair{0, 0}, {90, 2}, {-90, 1}, {180, 0}}) {
        stamp.Rotation = rotation;
        stamp.Mirror = mirror;
        TRasterDIB image;
        fill(image, 300, 300, Silver);
        DrawTextStamp(image, font, "Pictavo gallery", stamp);
        std::set<std::tuple<int, int, int>> colours;
        int red = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x) {
                const TColorTriple c = pixelFromTop(image, x, y);
                colours.insert({c.Red, c.Green, c.Blue});
                red += c == Red;
            }
        EXPECT_EQ(colours, (std::set<std::tuple<int, int, int>>{{255, 0, 0}, {192, 192, 192}})) << rotation;
        EXPECT_GT(red, 100) << rotation;
    }
}

TEST(Decorations, FullBorderPanelOfNoWidthSkipsTheStamp)
{
    TStampFont font{"DejaVu Sans", false, false, false, false, 10, GdiBlue};
    TTextStamp stamp;
    stamp.FullBorder = true;
    stamp.Background = sbGradient;
    for (COLORREF& c : stamp.Gradient) c = GdiBlue;
    for (int margin : {40, 41, 1000, INT32_MAX}) {
        TRasterDIB image, before;
        fill(image, 40, 30, Grey);
        fill(before, 40, 30, Grey);
        stamp.HorizontalMargin = margin;
        DrawTextStamp(image, font, "Hi", stamp);
        EXPECT_TRUE(samePixels(image, before)) << margin;
    }
}

TEST(Decorations, LogoInsetStretchAndKeys)
{
    TempDir dir;
    TRasterDIB logoPicture;
    fill(logoPicture, 10, 6, Green);
    const std::string logo = writePicture(dir, "logo.bmp", logoPicture);
    TLogoStamp stamp;
    stamp.File = logo;
    stamp.TransparentColour = GdiWhite;

    TRasterDIB image;
    fill(image, 50, 40, Grey);
    DrawLogoStamp(image, stamp);
    EXPECT_EQ(box(image, Green), std::make_tuple(1, 1, 10, 6)) << "top left sits one pixel in";

    // A top-down picture gets it in the same place.
    image.SetSize(50, -40, 24);
    image.Clear(Grey);
    DrawLogoStamp(image, stamp);
    EXPECT_EQ(box(image, Green), std::make_tuple(1, 1, 10, 6)) << "top-down";

    fill(image, 50, 40, Grey);
    stamp.FullBorder = lbWidth;
    DrawLogoStamp(image, stamp);
    EXPECT_EQ(box(image, Green), std::make_tuple(0, 1, 49, 6)) << "stretched over the whole width";

    fill(image, 50, 40, Grey);
    stamp.Position = 8;
    stamp.FullBorder = lbHeight;
    DrawLogoStamp(image, stamp);
    EXPECT_EQ(box(image, Green), std::make_tuple(40, 0, 49, 39));

    fill(image, 50, 40, Grey);
    stamp.Position = 0;
    stamp.FullBorder = lbWidth;
    stamp.Rotation = 15;  // turned: drawn at its own size
    DrawLogoStamp(image, stamp);
    EXPECT_LT(std::get<2>(box(image, Green)), 20);

    // A logo keyed on black: black around its white middle never blackens the picture.
    TRasterDIB keyed;
    fill(keyed, 12, 12, BlackTriple);
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x) setFromTop(keyed, x, y, WhiteTriple);
    TLogoStamp black;
    black.File = writePicture(dir, "black.bmp", keyed);
    black.Position = 4;
    black.TransparentColour = 0;
    fill(image, 40, 40, Grey);
    DrawLogoStamp(image, black);
    EXPECT_EQ(box(image, BlackTriple), std::make_tuple(-1, -1, -1, -1));
    EXPECT_EQ(box(image, WhiteTriple), std::make_tuple(18, 18, 21, 21));

    // Transparency 300 holds the weight at 128: the picture alone, no wrapped colours.
    fill(image, 50, 40, Grey);
    stamp.Rotation = 0;
    stamp.FullBorder = lbDefault;
    stamp.Transparency = 300;
    DrawLogoStamp(image, stamp);
    EXPECT_EQ(box(image, Grey), std::make_tuple(0, 0, 49, 39));
    EXPECT_EQ(box(image, Green), std::make_tuple(-1, -1, -1, -1));
}

TEST(Decorations, BevelAlphaTable)
{
    // Transparency 50: T 60, D 60, the ramp falls by about 2 per ring.
    std::vector<std::uint32_t> half;
    for (std::uint32_t i = 0; i <= 10; ++i) half.push_back(((65536u - i * (65536u / 60u)) * 120u) >> 16);
    EXPECT_EQ(BevelAlphaTable(50, 10), half);
    EXPECT_EQ(half[1], 118u);
    // Transparency 100: T held at 115, D 5; five rings still fit the ramp.
    EXPECT_EQ(BevelAlphaTable(100, 5), (std::vector<std::uint32_t>{120, 96, 72, 48, 24, 0}));
    // Ten rings wrap it past zero, so the plain ramp 120 - i * 12 takes over.
    EXPECT_EQ(BevelAlphaTable(100, 10), (std::vector<std::uint32_t>{120, 108, 96, 84, 72, 60, 48, 36, 24, 12, 0}));
    EXPECT_EQ(BevelAlphaTable(0, 2), BevelAlphaTable(1, 2)) << "transparency 0 counts as 1";
    EXPECT_TRUE(BevelAlphaTable(50, 0).empty());

    // Flat: every ring alpha D = 5, whatever its depth.
    TRasterDIB image;
    fill(image, 20, 20, Grey);
    ButtonizeBevel(image, bsFlat, 100, 3, 0, GdiWhite, 0);
    const std::uint8_t lit = std::uint8_t(255 + (((100 - 255) * 2 * 5) >> 8));
    const std::uint8_t dark = std::uint8_t(((100 * 2 * 5) >> 8));
    for (int d = 0; d <= 3; ++d) {
        EXPECT_EQ(pixelFromTop(image, 10, d).Red, lit) << d;
        EXPECT_EQ(pixelFromTop(image, 10, 19 - d).Red, dark) << d;
    }
    EXPECT_EQ(pixelFromTop(image, 10, 4), Grey);
    // Button: the outermost ring gets the smallest alpha (the strongest colour).
    fill(image, 20, 20, Grey);
    ButtonizeBevel(image, bsButton, 50, 4, 0, GdiWhite, 0);
    EXPECT_GT(pixelFromTop(image, 10, 0).Red, pixelFromTop(image, 10, 3).Red);
    // Fades reverses the positions.
    fill(image, 20, 20, Grey);
    ButtonizeBevel(image, bsFades, 50, 4, 0, GdiWhite, 0);
    EXPECT_LT(pixelFromTop(image, 10, 0).Red, pixelFromTop(image, 10, 3).Red);
}

TEST(Decorations, FrameExpansionAndKeys)
{
    TempDir dir;
    TRasterDIB framePicture;
    fill(framePicture, 20, 10, WhiteTriple);  // all transparent
    const std::string clear = writePicture(dir, "clear.bmp", framePicture);
    TRasterDIB image;
    fill(image, 200, 100, Grey);
    DrawFrameImage(image, clear, 0, 0, 10, GdiWhite);
    ASSERT_EQ(std::make_pair(image.Width(), image.AbsHeight), std::make_pair(220, 100));
    EXPECT_EQ(box(image, BlackTriple), std::make_tuple(0, 0, 219, 99));
    EXPECT_EQ(box(image, Grey), std::make_tuple(10, 0, 209, 99));
    EXPECT_EQ(pixelFromTop(image, 209, 50), Grey);
    EXPECT_EQ(pixelFromTop(image, 210, 50), BlackTriple);

    // Transparency 0: the frame replaces the picture except on its keys; black stays black.
    fill(framePicture, 10, 10, Silver);
    for (int x = 0; x < 10; ++x) {
        setFromTop(framePicture, x, 0, Red);
        setFromTop(framePicture, x, 9, BlackTriple);
    }
    setFromTop(framePicture, 5, 5, WhiteTriple);
    const std::string edged = writePicture(dir, "edged.bmp", framePicture);
    fill(image, 100, 100, Grey);
    DrawFrameImage(image, edged, 0, 0, 0, GdiWhite);
    EXPECT_EQ(pixelFromTop(image, 50, 5), Red);
    EXPECT_EQ(pixelFromTop(image, 50, 95), BlackTriple);
    EXPECT_EQ(pixelFromTop(image, 50, 50), Grey);
    EXPECT_EQ(pixelFromTop(image, 20, 30), Grey);
}

TEST(Decorations, OutlineGrowsThePictureAtTransparencyZero)
{
    TempDir dir;
    TRasterDIB strip;
    fill(strip, 4, 4, Blue);
    setFromTop(strip, 0, 0, Red);
    const std::string file = writePicture(dir, "strip.bmp", strip);
    TRasterDIB image;
    fill(image, 100, 80, Grey);
    DrawOutlineImage(image, file, 0, GdiWhite, 6);
    ASSERT_EQ(std::make_pair(image.Width(), image.AbsHeight), std::make_pair(112, 92));
    // The outline covers the new margin on every side, and not the picture.
    for (auto [x, y] : {std::pair{0, 0}, {111, 0}, {0, 91}, {111, 91}, {56, 2}, {56, 89}, {2, 46}, {109, 46}})
        EXPECT_NE(pixelFromTop(image, x, y), BlackTriple) << x << "," << y;
    EXPECT_EQ(box(image, Grey), std::make_tuple(6, 6, 105, 85));
    // Other transparencies keep the size and blend over the edges.
    fill(image, 100, 80, Grey);
    DrawOutlineImage(image, file, 50, GdiWhite, 6);
    EXPECT_EQ(std::make_pair(image.Width(), image.AbsHeight), std::make_pair(100, 80));
    EXPECT_NE(pixelFromTop(image, 50, 2), Grey);
    EXPECT_EQ(pixelFromTop(image, 50, 40), Grey);
}

// Missing, empty and unreadable files, and numbers past the picture, on
// pictures of one pixel, two and a long strip: the picture stays as it was.
TEST(Decorations, GuardsLeaveThePictureAsItWas)
{
    TempDir dir;
    const std::string missing = dir / "missing.bmp";
    WriteFileBytes(dir / "empty.bmp", {});
    WriteFileBytes(dir / "garbage.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3});
    WriteFileBytes(dir / "garbage.bmp", {'B', 'M', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0});
    WriteFileBytes(dir / "strange.xyz", {1, 2, 3});
    const std::string files[] = {
        missing, dir / "empty.bmp", dir / "garbage.gif", dir / "garbage.bmp", dir / "strange.xyz", ""};
    TStampFont font{"DejaVu Sans", false, false, false, false, 10, GdiBlue};
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {5000, 20}}) {
        TRasterDIB before;
        fill(before, w, h, Grey);
        auto unchanged = [&](const std::function<void(TRasterDIB&)>& draw, const std::string& what) {
            TRasterDIB image;
            fill(image, w, h, Grey);
            draw(image);
            EXPECT_TRUE(samePixels(image, before)) << what << " on " << w << "x" << h;
        };
        for (const std::string& file : files) {
            unchanged([&](TRasterDIB& i) { DrawFrameImage(i, file, 0, 5, 5, GdiWhite); }, "frame " + file);
            unchanged([&](TRasterDIB& i) { DrawOutlineImage(i, file, 0, GdiWhite, 5); }, "outline " + file);
            unchanged([&](TRasterDIB& i) { DrawLogoStamp(i, TLogoStamp{file}); }, "logo " + file);
        }
        unchanged([&](TRasterDIB& i) { ButtonizeImage(i, bsButton, GdiWhite, 0, 0, 0, 50, 0, 0, 0, 0, 0); },
                  "bevel of width 0");
        unchanged([&](TRasterDIB& i) { ButtonizeBevel(i, bsFlat, 50, 1000000, INT32_MAX - 10, GdiWhite, 0); },
                  "rings inside out");
        unchanged([&](TRasterDIB& i) { ButtonizeBevel(i, bsFades, 50, 10, -1000000000, GdiWhite, 0); },
                  "rings outside");
        // Drawing that reaches past the picture stays inside it (the sanitizers watch).
        TRasterDIB image;
        fill(image, w, h, Grey);
        ButtonizeImage(image, bsFades, GdiWhite, 0, INT32_MAX, INT32_MAX, -50, 1, INT32_MAX, INT32_MIN, 50, 0);
        ButtonizeBevel(image, bsButton, 100, 300, 0, GdiWhite, 0);
        TTextStamp stamp;
        stamp.Rotation = 90;
        stamp.Position = 8;
        stamp.XOffset = INT32_MAX;
        DrawTextStamp(image, font, "Pictavo", stamp);
        stamp.FullBorder = true;
        DrawTextStamp(image, font, "Pictavo", stamp);
        EXPECT_EQ(image.Width(), w);
    }
    // A real outline and frame on the smallest pictures.
    TRasterDIB strip;
    fill(strip, 3, 3, Blue);
    const std::string file = writePicture(dir, "strip.bmp", strip);
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {5000, 20}}) {
        TRasterDIB image;
        fill(image, w, h, Grey);
        DrawOutlineImage(image, file, 30, GdiWhite, 0);
        DrawOutlineImage(image, file, 0, GdiWhite, 40);
        EXPECT_EQ(image.Width(), w + 80);
        DrawFrameImage(image, file, 50, 0, 0, GdiWhite);
        TLogoStamp logo{file};
        logo.Position = 8;
        logo.FullBorder = lbHeight;
        DrawLogoStamp(image, logo);
    }
}

// On a thumbnail: the mask slot first, then the frame, the bevel over the
// frame, and the outline round all of it.
TEST(Decorations, OrderOnAThumbnail)
{
    TempDir dir;
    TRasterDIB source;
    fill(source, 400, 300, WhiteTriple);
    const std::string sourceFile = writePicture(dir, "source.bmp", source);
    TRasterDIB framePicture;
    fill(framePicture, 12, 9, Silver);
    for (int x = 0; x < 12; ++x) setFromTop(framePicture, x, 0, Red), setFromTop(framePicture, x, 8, Red);
    for (int y = 0; y < 9; ++y) setFromTop(framePicture, 0, y, Red), setFromTop(framePicture, 11, y, Red);
    const std::string frame = writePicture(dir, "frame.bmp", framePicture);
    TRasterDIB strip;
    fill(strip, 4, 4, TColorTriple{0, 255, 255});
    const std::string outline = writePicture(dir, "outline.bmp", strip);

    TMakerSettings settings;
    settings.ThumbSize = skPixel;
    settings.LockDimension = true;
    settings.ThumbWidth = 120;
    settings.ThumbHeight = 90;
    settings.ThumbUseFrame = true;
    settings.MaskThumb = "1|mask|";
    settings.FrameThumb = MakePropertyRecord({"1", frame, "0", "16777215", "0", "0"});
    settings.BevelThumb = "1|2|0|100|16777215|16711680|0|0|0|0|0|";
    settings.OutlineThumb = MakePropertyRecord({"1", outline, "0", "16777215", "4"});
    TDecorationHooks hooks = StandardDecorationHooks();
    hooks.ApplyOverlay = [](TRasterDIB& picture, const std::string&, const std::string&) { picture.Clear(Green); };
    TRasterDIB thumb;
    int failed = -1;
    MakeThumbnail(failed, sourceFile, thumb, settings, hooks);
    ASSERT_EQ(failed, 0);
    ASSERT_EQ(std::make_pair(thumb.Width(), thumb.AbsHeight), std::make_pair(128, 98));
    const TColorTriple yellow{0, 255, 255};
    EXPECT_EQ(pixelFromTop(thumb, 0, 0), yellow);
    EXPECT_EQ(pixelFromTop(thumb, 60, 97), yellow);
    // The bevel's top ring lies on the frame's red band, inside the outline.
    const TColorTriple ring = pixelFromTop(thumb, 60, 4);
    EXPECT_GT(ring.Green, 200);
    EXPECT_GT(ring.Red, 240);
    EXPECT_EQ(pixelFromTop(thumb, 60, 4 + 6), Red);
    EXPECT_EQ(pixelFromTop(thumb, 64, 49), Green);
}

// The records' fields reach the decorations in their stored order.
TEST(Decorations, RecordsDrawAsTheirFields)
{
    TempDir dir;
    TRasterDIB source, expected, drawn;
    fill(source, 10, 6, Green);
    const std::string logo = writePicture(dir, "logo.bmp", source);
    fill(expected, 60, 40, Grey);
    fill(drawn, 60, 40, Grey);
    TLogoStamp stamp{logo, 8, -5, -3, 20, 0, miHorizontal, GdiWhite, lbDefault};
    DrawLogoStamp(expected, stamp);
    DrawLogoRecord(drawn, MakePropertyRecord({logo, "8", "-5", "-3", "20", "0", "2", "16777215", "0"}));
    EXPECT_TRUE(samePixels(expected, drawn));
    EXPECT_EQ(box(drawn, Grey), std::make_tuple(0, 0, 59, 39));

    // The text: font, styles and size, the picture's variables, then the placement fields.
    TStampFont font{"DejaVu Sans", true, false, true, false, 12, GdiBlue};
    TTextStamp text;
    text.Position = 7;
    text.XOffset = -4;
    text.YOffset = 6;
    text.Background = sbGradient;
    text.Gradient[0] = text.Gradient[3] = GdiWhite;
    text.HorizontalMargin = 5;
    text.VerticalMargin = 3;
    text.SecondTransparentKey = 255;
    fill(expected, 200, 80, Grey);
    fill(drawn, 200, 80, Grey);
    DrawTextStamp(expected, font, "sunset | 2", text);
    const std::string record = MakePropertyRecord({"DejaVu Sans",
                                                   "bu",
                                                   "12",
                                                   "12",
                                                   std::to_string(GdiBlue),
                                                   "%filenoext | 2",
                                                   "7",
                                                   "-4",
                                                   "6",
                                                   "0",
                                                   "0",
                                                   "0",
                                                   "1",
                                                   "0",
                                                   "16777215",
                                                   std::to_string(DecorationSilver),
                                                   std::to_string(DecorationSilver),
                                                   "16777215",
                                                   "0",
                                                   "",
                                                   "0",
                                                   "0",
                                                   "0",
                                                   "5",
                                                   "3",
                                                   "255",
                                                   "0",
                                                   "255"});
    DrawTextRecord(drawn, record, dir / "sunset.jpg");
    EXPECT_TRUE(samePixels(expected, drawn));
    TRasterDIB plain;
    fill(plain, 200, 80, Grey);
    EXPECT_FALSE(samePixels(plain, drawn)) << "a stamp was drawn";
    EXPECT_THROW(DrawTextRecord(drawn, "DejaVu Sans|b|big|", ""), EConvertError);
}

// While a cache lives (a build) each decoration picture is read once, and a
// file that changes meanwhile is not read again; without one every picture
// reads it. Masks are kept per scale, inversion and brightening.
TEST(Decorations, PicturesReadOncePerBuild)
{
    TempDir dir;
    TRasterDIB framePicture;
    fill(framePicture, 10, 10, Red);
    const std::string file = writePicture(dir, "frame.bmp", framePicture);
    const std::string record = MakePropertyRecord({"1", file, "0", "16777215", "0", "0"});
    TRasterDIB mask;
    fill(mask, 4, 4, WhiteTriple);
    const std::string maskFile = writePicture(dir, "mask.bmp", mask);
    auto maskRecord = [&](int scale) {
        return MakePropertyRecord({"1", maskFile, "0", std::to_string(scale), "0", "0", "0", "0", "0", ""});
    };
    // Reads for three pictures, and the colour the last one shows.
    auto drawThree = [&](const std::string& frame, TColorTriple& shown) {
        const int before = DecorationPictureReads();
        for (int i = 0; i < 3; ++i) {
            TRasterDIB image;
            fill(image, 30, 20, Grey);
            DrawFrameRecord(image, frame);
            shown = pixelFromTop(image, 15, 10);
        }
        return DecorationPictureReads() - before;
    };
    TColorTriple shown;
    EXPECT_EQ(drawThree(record, shown), 3);
    {
        TDecorationPictureCache build;
        EXPECT_EQ(drawThree(record, shown), 1);
        EXPECT_EQ(shown, Red);
        fill(framePicture, 10, 10, Blue);
        writePicture(dir, "frame.bmp", framePicture);
        EXPECT_EQ(drawThree(record, shown), 0);
        EXPECT_EQ(shown, Red);
        EXPECT_EQ(drawThree(MakePropertyRecord({"1", dir / "missing.bmp", "0", "255", "0", "0"}), shown), 1);
        const int before = DecorationPictureReads();
        for (int scale : {100, 50, 100, 50}) {
            TRasterDIB image;
            fill(image, 8, 8, Grey);
            DrawMaskRecord(image, maskRecord(scale));
        }
        EXPECT_EQ(DecorationPictureReads() - before, 2);
    }
    EXPECT_EQ(drawThree(record, shown), 3);
    EXPECT_EQ(shown, Blue);
}

// A mask stored relative to the program folder ("masks\\oval.bmp", as a
// template may hold it) is found there, whatever the working folder.
TEST(Decorations, RelativeMaskLiesInTheProgramFolder)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path / "masks");
    TRasterDIB black;
    fill(black, 4, 4, TColorTriple{0, 0, 0});
    writePicture(dir, "masks/oval.bmp", black);
    const std::string previous = ProgramFolder();
    SetProgramFolder(dir.path.string() + "/");
    TRasterDIB image;
    fill(image, 8, 8, Grey);
    DrawMaskRecord(image, MakePropertyRecord({"1", "masks\\oval.bmp", "0", "100", "0", "16777215", "0", "0", "0", ""}));
    SetProgramFolder(previous);
    // A black mask leaves only the background colour (white).
    EXPECT_EQ(pixelFromTop(image, 4, 4), WhiteTriple);
}

// The bevel draws its rings' rows first and then their columns row by row;
// every pixel must still get the blends of ring after ring that drawing each
// ring whole gives (what a 32-bit picture gets), also where rings of one inset
// meet and on odd sizes where a ring's sides or its top and bottom meet.
TEST(Decorations, BevelRingsBlendInTheirOrder)
{
    for (auto [w, h] : {std::pair{7, 5}, {9, 9}, {5, 12}, {41, 30}, {1, 1}, {2, 3}, {64, 7}}) {
        TRasterDIB picture, wide;
        picture.SetSize(w, h, 24);
        wide.SetSize(w, -h, 32);
        std::uint32_t seed = 11;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                seed = seed * 1103515245u + 12345u;
                const TColorTriple c{std::uint8_t(seed >> 8), std::uint8_t(seed >> 16), std::uint8_t(seed >> 24)};
                setFromTop(picture, x, y, c);
                wide.SetPixelColor(y, x, c);
            }
        // A double frame: the band between shares its insets with both frames.
        ButtonizeImage(picture, bsButton, GdiWhite, 0x404040, 3, 1, 40, 1, 0, -30, 60, GdiBlue);
        ButtonizeImage(wide, bsButton, GdiWhite, 0x404040, 3, 1, 40, 1, 0, -30, 60, GdiBlue);
        ButtonizeImage(picture, bsFades, GdiRed, GdiBlue, 2, 0, 20, 0, 0, 0, 0, 0);
        ButtonizeImage(wide, bsFades, GdiRed, GdiBlue, 2, 0, 20, 0, 0, 0, 0, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                TColorTriple c;
                wide.GetPixelColor(y, x, c);
                ASSERT_EQ(pixelFromTop(picture, x, y), c) << w << "x" << h << " at " << x << "," << y;
            }
    }
}

// A decoration file whose name holds a "|" (stored as "%line") is found and
// drawn as the same picture under a plain name.
TEST(Decorations, FileNamesWithABarAreFound)
{
    TempDir dir;
    TRasterDIB strip;
    fill(strip, 6, 6, Green);  // no key of any decoration (the stamp keys out red)
    const std::string plain = writePicture(dir, "deco.bmp", strip);
    const std::string barred = writePicture(dir, "de|co.bmp", strip);
    // Named in Windows-1252 in the record, on disk under the name's reading.
    writePicture(dir, "\xc3\xa9t\xc3\xa9.bmp", strip);
    const std::string windows = dir / "\xe9t\xe9.bmp";
    auto stampRecord = [](const std::string& file) {
        std::vector<std::string> fields = {"DejaVu Sans", "",  "12", "12", "0", "x",   "4", "0",  "0", "0",
                                           "0",           "0", "2",  "0",  "0", "0",   "0", "0",  "0", file,
                                           "16777215",    "0", "0",  "5",  "3", "255", "0", "255"};
        return MakePropertyRecord(fields);
    };
    const std::vector<std::pair<const char*, std::function<void(TRasterDIB&, const std::string&)>>> cases = {
        {"frame",
         [](TRasterDIB& p, const std::string& f) {
             DrawFrameRecord(p, MakePropertyRecord({"1", f, "0", "16777215", "0", "0"}));
         }},
        {"outline",
         [](TRasterDIB& p, const std::string& f) {
             DrawOutlineRecord(p, MakePropertyRecord({"1", f, "0", "16777215", "4"}));
         }},
        {"logo",
         [](TRasterDIB& p, const std::string& f) {
             DrawLogoRecord(p, MakePropertyRecord({f, "4", "0", "0", "0", "0", "0", "16777215", "0"}));
         }},
        {"stamp background", [&](TRasterDIB& p, const std::string& f) { DrawTextRecord(p, stampRecord(f), ""); }},
    };
    for (const auto& [what, draw] : cases) {
        TRasterDIB withPlain, withBar, withWindows, withNone;
        for (TRasterDIB* p : {&withPlain, &withBar, &withWindows, &withNone}) fill(*p, 40, 30, Grey);
        draw(withPlain, plain);
        draw(withBar, barred);
        draw(withWindows, windows);
        draw(withNone, dir / "missing.bmp");
        EXPECT_TRUE(samePixels(withPlain, withBar)) << what;
        EXPECT_TRUE(samePixels(withPlain, withWindows)) << what;
        EXPECT_FALSE(samePixels(withPlain, withNone)) << what << ": the picture was drawn";
    }
}
