// The 32-bit bitmap: its size state machine and notifications, orientation
// and alpha through the GDI layer (checked with ImageMagick), Assign, the
// "Data" stream and its malformed forms, and the rectangle helpers.
#include "compositing/Argb.h"
#include "raster/RasterDIB.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Counter {
    int changes = 0, resizes = 0;
    void watch(TArgbBitmap& b)
    {
        b.OnChange = [this](TPersistent*) { ++changes; };
        b.OnResize = [this](TPersistent*) { ++resizes; };
    }
};

std::vector<std::uint8_t> dataOf(TArgbBitmap& b)
{
    TMemoryStream s;
    b.WriteData(s);
    return s.Bytes();
}

std::vector<std::uint8_t> le32(std::initializer_list<std::int32_t> values)
{
    std::vector<std::uint8_t> out;
    for (std::int32_t v : values)
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(std::uint32_t(v) >> (8 * i)));
    return out;
}

}  // namespace

TEST(ArgbBitmap, SetSizeStatesAndNotifications)
{
    struct Step {
        int w, h;
        bool changed;
        int width, height;
        bool empty;
        int notifications;
    };
    // From 10 x 10: to 0 x 5, the same again, -3 x 4, 3 x 2, 3 x 2 again.
    const Step steps[] = {{0, 5, true, 0, 5, true, 1},
                          {0, 5, false, 0, 5, true, 0},
                          {-3, 4, true, 0, 4, true, 1},
                          {3, 2, true, 3, 2, false, 1},
                          {3, 2, false, 3, 2, false, 0}};
    TArgbBitmap b;
    b.SetSize(10, 10);
    Counter c;
    c.watch(b);
    for (const Step& s : steps) {
        c = Counter{};
        c.watch(b);
        EXPECT_EQ(b.SetSize(s.w, s.h), s.changed) << s.w << "x" << s.h;
        EXPECT_EQ(b.Width(), s.width);
        EXPECT_EQ(b.Height(), s.height);
        EXPECT_EQ(b.Empty(), s.empty);
        EXPECT_EQ(b.Bits() == nullptr, s.empty);
        EXPECT_EQ(c.changes, s.notifications);
        EXPECT_EQ(c.resizes, s.notifications);
    }
    // Fresh pixels are transparent black, rows top-down with no padding.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], 0u);
    EXPECT_EQ(b.RowPtr(1), b.Bits() + 3);
    EXPECT_EQ(b.BitmapInfo().bmiHeader.Height, -2);

    // Beyond the pixel cap: an error, an empty bitmap, and still both notifications.
    c = Counter{};
    c.watch(b);
    EXPECT_THROW(b.SetSize(1 << 15, 1 << 14), Exception);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(c.changes, 1);
    EXPECT_EQ(c.resizes, 1);
}

TEST(ArgbBitmap, UpdatesHoldBackChangesAndAnUnpairedEndFails)
{
    TArgbBitmap b;
    Counter c;
    c.watch(b);
    b.Clear(0xFF102030);  // empty: no notification
    EXPECT_EQ(c.changes, 0);
    b.SetSize(4, 4);
    b.BeginUpdate();
    b.Clear(0xFF102030);
    b.SetMasterAlpha(9);
    b.EndUpdate();
    EXPECT_EQ(c.changes, 1);  // the size change only; nothing is replayed
    b.SetMasterAlpha(9);      // unchanged value: no notification
    EXPECT_EQ(c.changes, 1);
    try {
        b.EndUpdate();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message, "Unpaired TThreadPersistent.EndUpdate (Argb, line 901)");
    }
    EXPECT_EQ(b.UpdateCount(), 0);
}

TEST(ArgbBitmap, FillsAndCheckedPixels)
{
    TArgbBitmap b;
    b.SetSize(4, 3);
    b.OuterColor = 0x12345678;
    b.FillRectClipped(-5, 1, 2, 99, 0xFF0000FF);
    b.FillRectClipped(3, 3, 9, 9, 0xFFFFFFFF);  // wholly outside
    b.FillRectClipped(2, 0, 1, 3, 0xFFFFFFFF);  // inverted
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(b.PixelAt(x, y), (y >= 1 && x < 2) ? 0xFF0000FFu : 0u) << x << "," << y;
    EXPECT_EQ(b.PixelAtChecked(-1, 0), 0x12345678u);
    EXPECT_EQ(b.PixelAtChecked(4, 0), 0x12345678u);
    EXPECT_EQ(b.PixelAtChecked(0, 2), 0xFF0000FFu);
    b.Clear(0x00112233);
    b.MakeOpaque();
    EXPECT_EQ(b.PixelAt(3, 2), 0xFF112233u);
}

// A 24-bit bottom-up picture drawn in through the DC lands top row first
// with alpha 0; the bitmap file written from it reads back the same way in
// ImageMagick, alpha included; and drawn back out, the alpha is dropped.
TEST(ArgbBitmap, OrientationAndAlphaThroughTheDeviceLayer)
{
    TRasterDIB picture;
    picture.SetSize(3, 2, 24);  // positive height: the bottom row is first in memory
    const TColorTriple top{10, 20, 30}, bottom{200, 100, 50};
    for (int x = 0; x < 3; ++x) {
        picture.SetPixelColor(1, x, top);
        picture.SetPixelColor(0, x, bottom);
    }
    TArgbBitmap b;
    b.SetSize(3, 2);
    b.Clear(0xFFFFFFFF);
    picture.Draw(b.DC(), 0, 0);
    EXPECT_EQ(b.PixelAt(0, 0), 0x001E140Au);  // alpha 0: a 24-bit source has none
    EXPECT_EQ(b.PixelAt(2, 1), 0x003264C8u);
    *b.PixelPtr(1, 0) = 0x80FF0000;
    *b.PixelPtr(2, 1) = 0x10FFFFFF;

    testsupport::TempDir dir;
    {
        TFileStream file(dir / "a.bmp", FileMode::Create);
        b.SaveAsBitmapStream(file);
    }
    const auto out = testsupport::RunCapture(testsupport::FindTool("convert") + " " + (dir / "a.bmp") +
                                             " -depth 8 rgba:- | od -An -tu1 -v");
    ASSERT_EQ(out.ExitCode, 0);
    std::vector<int> bytes;
    for (std::size_t i = 0; i < out.Output.size();) {
        char* end = nullptr;
        const long v = std::strtol(out.Output.c_str() + i, &end, 10);
        if (end == out.Output.c_str() + i) {
            ++i;
            continue;
        }
        bytes.push_back(int(v));
        i = std::size_t(end - out.Output.c_str());
    }
    const std::vector<int> expected = {30, 20,  10,  0, 255, 0,   0,   128, 30,  20,  10,  0,
                                       50, 100, 200, 0, 50,  100, 200, 0,   255, 255, 255, 16};
    EXPECT_EQ(bytes, expected);

    TRasterDIB back;
    back.SetSize(3, 2, 24);
    b.DrawToDC(back.DC, 0, 0);
    TColorTriple t;
    back.GetPixelColor(1, 1, t);  // memory row 1 is the top row
    EXPECT_EQ(t, (TColorTriple{0, 0, 255}));
    back.GetPixelColor(0, 2, t);
    EXPECT_EQ(t, (TColorTriple{255, 255, 255}));
}

TEST(ArgbBitmap, AssignBetweenBitmapsAndFrameworkPictures)
{
    TArgbBitmap a, b;
    a.SetSize(2, 2);
    a.Clear(0x7F010203);
    a.SetMasterAlpha(77);
    a.SetStretchFilter(sfSpline);
    a.SetDrawMode(dmBlend);
    a.OuterColor = 5;
    a.OnPixelCombine = [](TArgbColor, TArgbColor&, TArgbColor) {};
    Counter c;
    c.watch(b);
    b.Assign(&a);
    EXPECT_EQ(c.changes, 1);  // one notification for the whole copy
    EXPECT_EQ(b.PixelAt(1, 1), 0x7F010203u);
    EXPECT_EQ(b.MasterAlpha(), 77u);
    EXPECT_EQ(b.StretchFilter(), sfSpline);
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.OuterColor, 5u);
    EXPECT_FALSE(b.OnPixelCombine);

    TBitmap rgb;
    rgb.SetPixelFormat(pf24bit);
    rgb.SetSize(2, 1);
    rgb.SetPixelColor(1, 0, RGBColor(1, 2, 3));
    b.Assign(rgb);
    EXPECT_EQ(b.PixelAt(1, 0), 0xFF010203u);
    TBitmap argb;
    a.AssignTo(argb);  // 32 bits, alpha kept both ways
    EXPECT_EQ(argb.PixelFormat(), pf32bit);
    b.Assign(argb);
    EXPECT_EQ(b.PixelAt(0, 1), 0x7F010203u);
    TPicture picture;
    a.AssignTo(picture);
    b.Assign(picture);
    EXPECT_EQ(b.PixelAt(1, 1), 0x7F010203u);

    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
    TThreadPersistent other;
    try {
        b.Assign(&other);
        FAIL() << "assigned";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "Cannot assign a TThreadPersistent to a TArgbBitmap");
    }
}

namespace {
struct RecordingFiler : TFiler {
    std::string name;
    bool hasData = false;
    std::function<void(TStream&)> read, write;
    void DefineBinaryProperty(const std::string& n, const std::function<void(TStream&)>& r,
                              const std::function<void(TStream&)>& w, bool has) override
    {
        name = n;
        read = r;
        write = w;
        hasData = has;
    }
};
}  // namespace

TEST(ArgbBitmap, DataRoundTripAndWhenItIsWritten)
{
    TArgbBitmap a;
    RecordingFiler filer;
    a.DefineProperties(filer);
    EXPECT_EQ(filer.name, "Data");
    EXPECT_FALSE(filer.hasData);  // 0 x 0, no ancestor
    a.SetSize(3, 2);
    for (int i = 0; i < 6; ++i) a.Bits()[i] = 0x01020304u * std::uint32_t(i + 1) + 0x40000000u * std::uint32_t(i);
    a.DefineProperties(filer);
    EXPECT_TRUE(filer.hasData);

    TMemoryStream stream;
    filer.write(stream);
    const auto bytes = stream.Bytes();
    ASSERT_EQ(bytes.size(), 8u + 24u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8), le32({3, 2}));
    TArgbBitmap b;
    stream.SetPosition(0);
    b.ReadData(stream);
    EXPECT_EQ(dataOf(b), bytes);
    EXPECT_TRUE(a.SameContent(b));

    // With an ancestor, only a difference is written.
    filer.Ancestor = &b;
    a.DefineProperties(filer);
    EXPECT_FALSE(filer.hasData);
    *b.PixelPtr(2, 1) ^= 0x01000000;  // the alpha alone differs
    a.DefineProperties(filer);
    EXPECT_TRUE(filer.hasData);
}

TEST(ArgbBitmap, MalformedDataLeavesTheBitmapEmpty)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"short header", {1, 0, 0}},
        {"pixels missing", le32({2, 2, 7, 7, 7})},
        {"size past the bytes", le32({0x7FFFFFFF, 0x7FFFFFFF})},
        {"past the pixel cap", le32({1 << 15, 1 << 14})},
        {"product wraps at 32 bits", le32({0x10000, 0x10000, 0})},
    };
    for (const Case& c : cases) {
        TArgbBitmap b;
        b.SetSize(5, 5);
        Counter n;
        n.watch(b);
        TMemoryStream s(c.bytes);
        EXPECT_THROW(b.ReadData(s), EReadError) << c.what;
        EXPECT_TRUE(b.Empty()) << c.what;
        EXPECT_GE(n.changes, 1) << c.what;
    }
    // Sizes below 1 are no error: an empty bitmap of the width and height SetSize keeps.
    TArgbBitmap b;
    TMemoryStream s(le32({-4, 5}));
    b.ReadData(s);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Height(), 5);
}

TEST(ArgbGeometry, RoundingAndIntersection)
{
    const TSingleRect r{-0.5f, 1.5f, 2.5f, 3.2f};
    EXPECT_EQ(RoundSingleRect(r, rmRound), (TRect{0, 2, 2, 3}));
    EXPECT_EQ(RoundSingleRect(r, rmExpand), (TRect{-1, 1, 3, 4}));
    EXPECT_EQ(RoundSingleRect(r, rmShrink), (TRect{0, 2, 2, 3}));
    EXPECT_EQ(RoundSingleRect(TSingleRect{1.2f, 1.2f, 1.8f, 1.8f}, rmShrink), (TRect{2, 2, 2, 2}));
    TRect out;
    EXPECT_TRUE(IntersectRects(out, TRect{0, 0, 10, 10}, TRect{5, -5, 20, 5}));
    EXPECT_EQ(out, (TRect{5, 0, 10, 5}));
    EXPECT_FALSE(IntersectRects(out, TRect{0, 0, 2, 2}, TRect{5, 5, 9, 9}));
    EXPECT_EQ(out, (TRect{0, 0, 0, 0}));  // inverted both ways
    EXPECT_FALSE(IntersectRects(out, TRect{0, 0, 2, 9}, TRect{5, 0, 9, 9}));
    EXPECT_EQ(out, (TRect{5, 0, 2, 9}));  // inverted one way only: kept
}
