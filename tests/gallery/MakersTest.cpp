// The image copy and thumbnail makers and the fitting geometry they share:
// sizes for every size kind and resize method, crops, filters, decoration
// order, and the edge cases of empty and one-pixel pictures.

#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsMakers.h"
#include "gallery/pictures/pvutilsPictures.h"

#include "gallery/pictures/pvutilsSourceCache.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "raster/RasterFiles.h"
#include "tests/raster/RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <vector>

using namespace filetest;

namespace {

// A picture whose left half is red and right half blue, with a green middle
// column band, so crops and turns show where they cut.
void paintBands(TRasterDIB& dib, int width, int height)
{
    dib.SetSize(width, height, 24);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            TColorTriple c = x < width / 2 ? TColorTriple{0, 0, 255} : TColorTriple{255, 0, 0};
            if (std::abs(x - width / 2) < width / 20) c = TColorTriple{0, 255, 0};
            dib.SetPixelColor(row, x, c);
        }
}

std::string writeSource(const TempDir& dir, const std::string& name, int width, int height)
{
    TRasterDIB dib;
    paintBands(dib, width, height);
    WriteBmpFile(dib, dir / name);
    return dir / name;
}

// Turns (w, h) for a picture of pw x ph.
std::pair<int, int> scaled(int pw, int ph, int w, int h, int kind, bool lock, bool heightFirst)
{
    TRasterDIB picture;
    picture.SetSize(pw, ph, 24);
    ScaleSize(picture, w, h, kind, lock, heightFirst);
    return {w, h};
}

using Size = std::pair<int, int>;

}  // namespace

TEST(ScaleSize, KindsFromTheSettings)
{
    // Percent: the width value is the percentage of both sides.
    EXPECT_EQ(scaled(400, 300, 25, 999, 0, false, false), Size(100, 75));
    EXPECT_EQ(scaled(400, 300, 25, 0, 0, true, true), Size(100, 75));
    // Pixel with lock keeps the picture inside the box.
    EXPECT_EQ(scaled(400, 300, 100, 100, 1, true, false), Size(100, 75));
    EXPECT_EQ(scaled(300, 400, 100, 100, 1, true, false), Size(75, 100));
    EXPECT_EQ(scaled(300, 400, 100, 100, 3, false, false), Size(75, 100));
    // Without lock the width (or the height) decides, the other is ignored.
    EXPECT_EQ(scaled(400, 300, 100, 5, 1, false, false), Size(100, 75));
    EXPECT_EQ(scaled(400, 300, 5, 200, 1, false, true), Size(267, 200));
    // Crop: the shorter side matches its box side.
    EXPECT_EQ(scaled(400, 300, 100, 100, 2, false, false), Size(133, 100));
    EXPECT_EQ(scaled(300, 400, 100, 100, 2, false, false), Size(100, 133));
    // Unknown kinds leave the request.
    EXPECT_EQ(scaled(400, 300, 10, 20, -1, true, false), Size(10, 20));
    // A negative height counts as no limit in the locked compare.
    EXPECT_EQ(scaled(400, 300, 100, -1, 1, true, false), Size(100, 75));
}

TEST(ScaleSize, EmptyOneAndZeroNeverDivideByZero)
{
    TRasterDIB empty;
    int w = 100, h = 50;
    for (int kind = 0; kind < 4; ++kind) {
        ScaleSize(empty, w, h, kind, true, false);
        EXPECT_EQ(Size(w, h), Size(100, 50));
    }
    // One-pixel sources and thin pictures keep at least one pixel per side.
    EXPECT_EQ(scaled(1, 1, 25, 0, 0, false, false), Size(1, 1));
    EXPECT_EQ(scaled(1, 1, 100, 100, 1, true, false), Size(100, 100));
    EXPECT_EQ(scaled(1000, 1, 100, 100, 1, true, false), Size(100, 1));
    EXPECT_EQ(scaled(1, 1000, 100, 100, 1, true, false), Size(1, 100));
    EXPECT_EQ(scaled(1000, 1, 100, 100, 2, false, false), Size(100000, 100));
    // Zero boxes give zero sides (nothing to make), never a crash.
    EXPECT_EQ(scaled(400, 300, 0, 0, 1, true, false), Size(0, 0));
    EXPECT_EQ(scaled(400, 300, 0, 0, 2, false, false), Size(0, 0));
    EXPECT_EQ(scaled(400, 300, 0, 0, 0, false, false), Size(0, 0));
}

TEST(ResizeImage, ModesAndEdges)
{
    TRasterDIB picture;
    paintBands(picture, 400, 300);
    ResizeImage(picture, 0, 100, 75, 100, 75);
    EXPECT_EQ(picture.Width(), 100);
    EXPECT_EQ(picture.AbsHeight, 75);
    EXPECT_EQ(picture.BitCount(), 24);
    EXPECT_EQ(pixelFromTop(picture, 5, 5), (TColorTriple{0, 0, 255}));
    EXPECT_EQ(pixelFromTop(picture, 95, 70), (TColorTriple{255, 0, 0}));

    // Crop keeps the middle: both colours and the green band, which sits in
    // the centre of the cut.
    paintBands(picture, 400, 300);
    ResizeImage(picture, 2, 133, 100, 100, 100);
    ASSERT_EQ(picture.Width(), 100);
    ASSERT_EQ(picture.AbsHeight, 100);
    EXPECT_EQ(pixelFromTop(picture, 50, 50), (TColorTriple{0, 255, 0}));
    EXPECT_EQ(pixelFromTop(picture, 20, 50), (TColorTriple{0, 0, 255}));
    EXPECT_EQ(pixelFromTop(picture, 80, 50), (TColorTriple{255, 0, 0}));

    // Zero and negative sides give an empty picture.
    paintBands(picture, 40, 30);
    ResizeImage(picture, 0, 0, 10, 0, 10);
    EXPECT_EQ(picture.Width(), 0);
    paintBands(picture, 40, 30);
    ResizeImage(picture, 2, 10, 10, 0, -3);
    EXPECT_EQ(picture.Width(), 0);
    // A one-pixel source fills the new picture with its colour.
    picture.SetSize(1, 1, 24);
    picture.SetPixelColor(0, 0, TColorTriple{1, 2, 3});
    ResizeImage(picture, 1, 5, 4, 5, 4);
    ASSERT_EQ(picture.Width(), 5);
    EXPECT_EQ(pixelFromTop(picture, 4, 3), (TColorTriple{1, 2, 3}));
}

TEST(Geometry, MarginsTurnsAndAlignment)
{
    TRasterDIB picture;
    picture.SetSize(3, 2, 24);
    picture.Clear(WhiteTriple);
    AddMargin(picture, 2, 1);
    ASSERT_EQ(picture.Width(), 7);
    ASSERT_EQ(picture.AbsHeight, 4);
    EXPECT_EQ(pixelFromTop(picture, 1, 1), BlackTriple);
    EXPECT_EQ(pixelFromTop(picture, 2, 1), WhiteTriple);
    EXPECT_EQ(pixelFromTop(picture, 4, 2), WhiteTriple);
    EXPECT_EQ(pixelFromTop(picture, 5, 2), BlackTriple);
    EXPECT_EQ(pixelFromTop(picture, 3, 3), BlackTriple);

    // A quarter turn of even sides keeps every pixel.
    TRasterDIB turned;
    turned.SetSize(4, 2, 24);
    for (int x = 0; x < 4; ++x) {
        turned.SetPixelColor(0, x, TColorTriple{std::uint8_t(x * 10), 0, 0});
        turned.SetPixelColor(1, x, TColorTriple{0, std::uint8_t(x * 10 + 5), 0});
    }
    TRasterDIB original;
    original.SetSize(4, 2, 24);
    CopyDIBRect(original, turned, 0, 0, 4, 2, 0, 0);
    RotateMirror(turned, 90, 0, 0x0000FF);
    ASSERT_EQ(turned.Width(), 2);
    ASSERT_EQ(turned.AbsHeight, 4);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 2; ++x) {
            TColorTriple a, b;
            turned.GetPixelColor(row, x, a);
            original.GetPixelColor(x, 3 - row, b);
            EXPECT_EQ(a, b) << row << "," << x;
        }
    // Angle 0 with a mirror; 45 degrees shows the background in the corners.
    TRasterDIB mirrored;
    mirrored.SetSize(4, 2, 24);
    CopyDIBRect(mirrored, original, 0, 0, 4, 2, 0, 0);
    RotateMirror(mirrored, 0, 2, 0);
    EXPECT_EQ(pixelFromTop(mirrored, 0, 0), pixelFromTop(original, 3, 0));
    RotateMirror(mirrored, 0, 1, 0);
    EXPECT_EQ(pixelFromTop(mirrored, 0, 0), pixelFromTop(original, 3, 1));
    TRasterDIB square;
    square.SetSize(20, 20, 24);
    square.Clear(WhiteTriple);
    RotateMirror(square, 45, 0, 0x0000FF);
    EXPECT_EQ(square.Width(), 29);  // 20 cos 45 + 20 sin 45 + 0.4, rounded
    EXPECT_EQ(pixelFromTop(square, 0, 0), (TColorTriple{0, 0, 255}));
    EXPECT_EQ(pixelFromTop(square, 14, 14), WhiteTriple);

    int vertical = -7, horizontal = -7;
    const Size expected[9] = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}};
    for (int p = 0; p < 9; ++p) {
        PositionToAlign(p, vertical, horizontal);
        EXPECT_EQ(Size(vertical, horizontal), expected[p]) << p;
    }
    PositionToAlign(9, vertical, horizontal);
    PositionToAlign(-1, vertical, horizontal);
    EXPECT_EQ(Size(vertical, horizontal), Size(2, 2));

    for (const int angle : {90, 270, -90, -270}) EXPECT_TRUE(IsQuarterTurn(angle)) << angle;
    for (const int angle : {0, 180, -180, 360, 450, 45}) EXPECT_FALSE(IsQuarterTurn(angle)) << angle;
}

TEST(Geometry, Filters)
{
    TRasterDIB picture;
    picture.SetSize(4, 1, 24);
    for (int x = 0; x < 4; ++x)
        picture.SetPixelColor(
            0, x, TColorTriple{std::uint8_t(100 + x * 10), std::uint8_t(100 + x * 10), std::uint8_t(100 + x * 10)});
    ApplyFilter(picture, 3);  // auto contrast stretches 100..130 to 0..255
    EXPECT_EQ(pixelFromTop(picture, 0, 0), BlackTriple);
    EXPECT_EQ(pixelFromTop(picture, 3, 0), WhiteTriple);
    TRasterDIB before;
    before.SetSize(4, 1, 24);
    CopyDIBRect(before, picture, 0, 0, 4, 1, 0, 0);
    for (const int none : {0, 4, -1}) {
        ApplyFilter(picture, none);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelFromTop(picture, x, 0), pixelFromTop(before, x, 0));
    }
    ApplyFilter(picture, 1);
    EXPECT_NE(pixelFromTop(picture, 1, 0), pixelFromTop(before, 1, 0));
    // Sharpening leaves an even ramp alone and overshoots both sides of an edge.
    CopyDIBRect(picture, before, 0, 0, 4, 1, 0, 0);
    ApplyFilter(picture, 2);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixelFromTop(picture, x, 0), pixelFromTop(before, x, 0));
    const std::uint8_t edge[4] = {100, 100, 200, 200};
    const std::uint8_t sharpened[4] = {100, 0, 255, 200};
    for (int x = 0; x < 4; ++x) picture.SetPixelColor(0, x, TColorTriple{edge[x], edge[x], edge[x]});
    ApplyFilter(picture, 2);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(pixelFromTop(picture, x, 0), (TColorTriple{sharpened[x], sharpened[x], sharpened[x]})) << x;
}

class Makers : public ::testing::Test {
protected:
    void SetUp() override
    {
        landscape = writeSource(dir, "land.bmp", 400, 300);
        portrait = writeSource(dir, "port.bmp", 300, 400);
        settings.ImageWidth = 200;
        settings.ImageHeight = 200;
        settings.ThumbWidth = 100;
        settings.ThumbHeight = 100;
        settings.ThumbSize = 1;
        settings.LockDimension = true;
        settings.BevelImage = settings.BevelThumb = "0|0|0|0|0|0|0|0|0|0|0|";
    }
    Size thumbnail(const std::string& file)
    {
        TRasterDIB target;
        int failed = -1;
        MakeThumbnail(failed, file, target, settings, hooks);
        EXPECT_EQ(failed, 0);
        EXPECT_EQ(target.BitCount(), 24);
        return {target.Width(), target.AbsHeight};
    }
    Size image(const std::string& file)
    {
        TRasterDIB target;
        int failed = -1;
        MakeImageCopy(failed, file, target, settings, hooks);
        EXPECT_EQ(failed, 0);
        return {target.Width(), target.AbsHeight};
    }

    TempDir dir;
    std::string landscape, portrait;
    TMakerSettings settings;
    TDecorationHooks hooks;
};

TEST_F(Makers, ThumbnailSizes)
{
    settings.ThumbSize = 0;
    settings.ThumbWidth = 25;
    settings.ThumbHeight = 3;
    EXPECT_EQ(thumbnail(landscape), Size(100, 75));
    settings.ThumbSize = 1;
    settings.ThumbWidth = settings.ThumbHeight = 100;
    EXPECT_EQ(thumbnail(landscape), Size(100, 75));
    EXPECT_EQ(thumbnail(portrait), Size(75, 100));
    settings.LockDimension = false;
    settings.ThumbHeight = 7;
    EXPECT_EQ(thumbnail(landscape), Size(100, 75));
    settings.ThumbSize = 2;
    settings.ThumbHeight = 100;
    EXPECT_EQ(thumbnail(landscape), Size(100, 100));
    EXPECT_EQ(thumbnail(portrait), Size(100, 100));
    // No size kind chosen: the typed box, resampled (not a black picture).
    settings.ThumbSize = -1;
    settings.ThumbWidth = 40;
    settings.ThumbHeight = 30;
    TRasterDIB target;
    int failed = -1;
    MakeThumbnail(failed, landscape, target, settings, hooks);
    ASSERT_EQ(Size(target.Width(), target.AbsHeight), Size(40, 30));
    EXPECT_EQ(pixelFromTop(target, 2, 2), (TColorTriple{0, 0, 255}));
}

TEST_F(Makers, ImageSizes)
{
    EXPECT_EQ(image(landscape), Size(400, 300)) << "Resize off keeps the source size";
    settings.Resize = true;
    settings.ResizeMethod = 0;
    EXPECT_EQ(image(landscape), Size(200, 150));
    EXPECT_EQ(image(portrait), Size(150, 200));
    settings.ResizeMethod = 1;
    settings.ImageHeight = 5;
    EXPECT_EQ(image(landscape), Size(200, 150));
    settings.ResizeMethod = 2;
    settings.ImageWidth = 5;
    settings.ImageHeight = 200;
    EXPECT_EQ(image(landscape), Size(267, 200));
    settings.ResizeMethod = -1;
    settings.ImageWidth = 64;
    settings.ImageHeight = 48;
    EXPECT_EQ(image(landscape), Size(64, 48));
}

TEST_F(Makers, FiltersFollowTheSettings)
{
    // A flat grey picture: auto contrast leaves a flat channel alone, blur
    // keeps a flat row; a step shows the blur.
    TRasterDIB step;
    step.SetSize(8, 2, 24);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 8; ++x) step.SetPixelColor(row, x, x < 4 ? BlackTriple : WhiteTriple);
    WriteBmpFile(step, dir / "step.bmp");
    settings.ThumbSize = 0;
    settings.ThumbWidth = 100;
    settings.ThumbFilter = 1;
    TRasterDIB blurred;
    int failed = -1;
    MakeThumbnail(failed, dir / "step.bmp", blurred, settings, hooks);
    ASSERT_EQ(failed, 0);
    const TColorTriple edge = pixelFromTop(blurred, 4, 0);
    EXPECT_GT(edge.Red, 0);
    EXPECT_LT(edge.Red, 255);
    settings.ImageFilter = 0;
    TRasterDIB plain;
    MakeImageCopy(failed, dir / "step.bmp", plain, settings, hooks);
    EXPECT_EQ(pixelFromTop(plain, 4, 0), WhiteTriple);
    // Sharpening a grey step overshoots its upper side.
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 8; ++x)
            step.SetPixelColor(row, x, x < 4 ? TColorTriple{64, 64, 64} : TColorTriple{192, 192, 192});
    WriteBmpFile(step, dir / "grey.bmp");
    settings.ImageFilter = 2;
    TRasterDIB sharp;
    MakeImageCopy(failed, dir / "grey.bmp", sharp, settings, hooks);
    EXPECT_GT(pixelFromTop(sharp, 4, 0).Red, 192);
}

TEST_F(Makers, PicturesThatDoNotLoadLeaveTheTargetUnchanged)
{
    WriteFileBytes(dir / "bad.bmp", std::vector<std::uint8_t>(100, 7));
    for (const std::string& file : {dir / "bad.bmp", dir / "missing.bmp"}) {
        TRasterDIB target;
        target.SetSize(9, 9, 24);
        int failed = -1;
        MakeImageCopy(failed, file, target, settings, hooks);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(target.Width(), 9);
        failed = -1;
        MakeThumbnail(failed, file, target, settings, hooks);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(target.Width(), 9);
        failed = -1;
        LoadOriginalPicture(failed, file, target);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(target.Width(), 9);
    }
    TRasterDIB original;
    int failed = -1;
    LoadOriginalPicture(failed, landscape, original);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(Size(original.Width(), original.AbsHeight), Size(400, 300));
}

TEST_F(Makers, DecorationsRunInOrderOnlyWhenOn)
{
    std::vector<std::string> calls;
    auto recorder = [&calls](const std::string& name) {
        return [&calls, name](TRasterDIB& picture, const std::string& record, const std::string& source) {
            calls.push_back(name + " " + std::to_string(picture.Width()) + " " + record.substr(0, 2) + " " +
                            ExtractFileNameNoExt(source));
        };
    };
    hooks.ApplyOverlay = recorder("mask");
    hooks.DrawFrameImage = recorder("frame");
    hooks.ButtonizeImage = recorder("bevel");
    hooks.DrawOutlineImage = recorder("outline");
    hooks.DrawLogoStamp = recorder("logo");
    hooks.DrawTextStamp = recorder("text");
    settings.MaskImage = "1|m.png|0|0|0|0|0|x|";
    settings.FrameImage = "1|f.png|0|0|0|0|";
    settings.BevelImage = "2|5|0|50|0|0|0|0|0|0|0|";
    settings.OutlineImage = "1|o.png|0|0|0|";
    settings.Logo = "l.png|";
    settings.Text = "Sans|";
    settings.Resize = true;
    settings.ImageWidth = settings.ImageHeight = 200;

    // Frame group off: only logo and text, at the source size.
    settings.AddLogo = settings.AddText = true;
    EXPECT_EQ(image(landscape), Size(200, 150));
    EXPECT_EQ(calls, (std::vector<std::string>{"logo 400 l. land", "text 400 Sa land"}));

    calls.clear();
    settings.ImageUseFrame = true;
    image(landscape);
    EXPECT_EQ(calls, (std::vector<std::string>{"mask 400 1| land", "frame 400 1| land", "bevel 400 2| land",
                                               "outline 400 1| land", "logo 400 l. land", "text 400 Sa land"}));

    // Records that are off are skipped; a bevel of shape 0 too.
    calls.clear();
    settings.MaskImage = "0|m.png|";
    settings.FrameImage = "";
    settings.BevelImage = "0|5|0|100|0|0|0|0|0|0|0|";
    settings.OutlineImage = "0|";
    settings.AddLogo = settings.AddText = false;
    image(landscape);
    EXPECT_TRUE(calls.empty());

    // A flat, fully transparent bevel without margin grows the image copy by
    // its width on each side first; the thumbnail's never.
    settings.BevelImage = "1|5|0|100|0|0|0|0|0|0|0|";
    settings.Resize = false;
    EXPECT_EQ(image(landscape), Size(410, 310));
    EXPECT_EQ(calls, (std::vector<std::string>{"bevel 410 1| land"}));
    calls.clear();
    settings.ThumbUseFrame = true;
    settings.BevelThumb = "1|5|0|100|0|0|0|0|0|0|0|";
    EXPECT_EQ(thumbnail(landscape), Size(100, 75));
    EXPECT_EQ(calls, (std::vector<std::string>{"bevel 100 1| land"}));

    // Thumbnail decorations run after the resize; no logo or text ever.
    calls.clear();
    settings.MaskThumb = "1|m.png|";
    settings.AddLogo = settings.AddText = true;
    thumbnail(landscape);
    EXPECT_EQ(calls, (std::vector<std::string>{"mask 100 1| land", "bevel 100 1| land"}));

    // A non-numeric bevel field ends the maker with the conversion error.
    settings.BevelImage = "1|wide|0|100|0|0|0|0|0|0|0|";
    TRasterDIB target;
    int failed = -1;
    EXPECT_THROW(MakeImageCopy(failed, landscape, target, settings, hooks), EConvertError);
}

TEST_F(Makers, EmptyHooksAreSkipped)
{
    settings.ImageUseFrame = settings.ThumbUseFrame = settings.AddLogo = settings.AddText = true;
    settings.MaskImage = settings.FrameImage = settings.OutlineImage = "1|x.png|";
    settings.BevelImage = "1|5|0|100|0|0|0|0|0|0|0|";
    EXPECT_EQ(image(landscape), Size(400, 300));
    EXPECT_EQ(thumbnail(landscape), Size(100, 75));
}

// The thumbnail continued from the start the image copy made is the thumbnail
// made alone, for every sizing (the same size too), while the image copy
// filters and resizes its own source in place.
TEST_F(Makers, ThumbnailFromTheImageCopysStartMatchesOneMadeAlone)
{
    settings.Resize = true;
    settings.ResizeMethod = 0;
    settings.ImageFilter = 1;
    settings.ThumbFilter = 2;
    struct Sizing {
        int kind;
        bool lock;
        int width, height;
    };
    const Sizing sizings[] = {
        {0, false, 30, 0}, {1, true, 120, 120}, {1, false, 90, 40}, {2, false, 60, 60}, {1, false, 400, 300}};
    for (const std::string& file : {landscape, portrait}) {
        for (const Sizing& sizing : sizings) {
            settings.ThumbSize = sizing.kind;
            settings.LockDimension = sizing.lock;
            settings.ThumbWidth = sizing.width;
            settings.ThumbHeight = sizing.height;
            TRasterDIB alone, image, thumb;
            int failed = -1;
            MakeThumbnail(failed, file, alone, settings, hooks);
            ASSERT_EQ(failed, 0);
            const int hitsBefore = CachedSourcePictureHits();
            {
                TSourcePictureCache cache;
                MakeImageCopy(failed, file, image, settings, hooks);
                MakeThumbnail(failed, file, thumb, settings, hooks);
            }
            ASSERT_EQ(failed, 0);
            EXPECT_EQ(CachedSourcePictureHits(), hitsBefore + 1);
            const std::string where = file + " sizing " + std::to_string(sizing.kind) + " " +
                                      std::to_string(sizing.width) + "x" + std::to_string(sizing.height);
            ASSERT_EQ(thumb.Width(), alone.Width()) << where;
            ASSERT_EQ(thumb.AbsHeight, alone.AbsHeight) << where;
            ASSERT_EQ(thumb.Header.Height, alone.Header.Height) << where;
            for (int y = 0; y < thumb.AbsHeight; ++y)
                for (int x = 0; x < thumb.Width(); ++x)
                    ASSERT_EQ(pixelFromTop(thumb, x, y), pixelFromTop(alone, x, y)) << where << " at " << x << "," << y;
        }
    }
    // A start made for other thumbnail settings is not taken.
    TRasterDIB image, thumb;
    int failed = -1;
    const int hitsBefore = CachedSourcePictureHits();
    {
        TSourcePictureCache cache;
        MakeImageCopy(failed, landscape, image, settings, hooks);
        settings.ThumbWidth = 50;
        MakeThumbnail(failed, landscape, thumb, settings, hooks);
    }
    EXPECT_EQ(CachedSourcePictureHits(), hitsBefore);
    EXPECT_EQ(thumb.Width(), 50);
}

// Inside a build item the thumbnail takes the picture the image copy decoded,
// and comes out the same as when it decodes the file itself.
TEST_F(Makers, ThumbnailReusesTheSourceDecodedForTheImage)
{
    settings.Resize = true;
    settings.ResizeMethod = 0;
    TRasterDIB alone;
    int failed = -1;
    MakeThumbnail(failed, landscape, alone, settings, hooks);
    const int hitsBefore = CachedSourcePictureHits();
    TRasterDIB image, thumb;
    {
        TSourcePictureCache cache;
        MakeImageCopy(failed, landscape, image, settings, hooks);
        MakeThumbnail(failed, landscape, thumb, settings, hooks);
    }
    EXPECT_EQ(CachedSourcePictureHits(), hitsBefore + 1);
    ASSERT_EQ(thumb.Width(), alone.Width());
    ASSERT_EQ(thumb.AbsHeight, alone.AbsHeight);
    for (int y = 0; y < thumb.AbsHeight; ++y)
        for (int x = 0; x < thumb.Width(); ++x) ASSERT_EQ(pixelFromTop(thumb, x, y), pixelFromTop(alone, x, y));
    // Same-size resampling keeps the picture as it is.
    TRasterDIB same;
    paintBands(same, 30, 20);
    TRasterDIB copy;
    paintBands(copy, 30, 20);
    ResizeImage(same, 0, 30, 20, 30, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(pixelFromTop(same, x, y), pixelFromTop(copy, x, y));
}
