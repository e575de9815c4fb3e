// The image view offscreen: defaults, the worked example of the paint area,
// bars and offsets, centring, ControlToBitmap, PaintTo and the scaled layers.
#include "compositing/ArgbClipboard.h"
#include "compositing/ArgbImage.h"
#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <cstring>
#include <memory>

namespace {

struct ViewFixture : testsupport::ControlUnderTest<TArgbImgView> {
    ViewFixture() : ControlUnderTest("ImgView1") {}
    TArgbImgView* view = control;
};

void fillPattern(TArgbBitmap& b)
{
    std::uint32_t seed = 7;
    for (int i = 0; i < b.Width() * b.Height(); ++i) b.Bits()[i] = seed = seed * 1103515245u + 12345u;
}

}  // namespace

TEST(ArgbImgView, Defaults)
{
    ViewFixture f;
    TArgbImgView& v = *f.view;
    EXPECT_TRUE(v.Centered());
    EXPECT_EQ(v.SizingMode(), szScale);
    EXPECT_EQ(v.Placement(), plOffset);
    EXPECT_EQ(v.Scale(), 1.0f);
    const unsigned kinds[] = {psBackground, psControlFrame, psBitmap, psBitmapFrame, psLayers};
    ASSERT_EQ(v.Stages().Count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(v.Stages()[i].Kind, kinds[i]) << i;
    EXPECT_FALSE(v.Stages()[1].AtRun);
    EXPECT_EQ(v.Stages()[4].Parameter, LOB_VISIBLE);
    v.SetScale(0);
    EXPECT_EQ(v.Scale(), 0.001f);
    v.SetScale(-3);
    EXPECT_EQ(v.Scale(), 0.001f);
    EXPECT_EQ(v.BarThickness(), 17);
    EXPECT_EQ(v.ScrollBars()->Increment(), 8);
}

// 57 x 54 with 17-pixel bars and a 300 x 200 bitmap.
TEST(ArgbImgView, WorkedExampleOfPaintAreaBarsAndOffsets)
{
    ViewFixture f;
    TArgbImgView& v = *f.view;
    v.SetBounds(0, 0, 57, 54);
    int resized = 0;
    v.OnBitmapResize = [&](TComponent*) { ++resized; };
    v.Bitmap()->SetSize(300, 200);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(v.GetPaintArea(), (TRect{0, 0, 40, 37}));
    EXPECT_EQ(v.HorzBar->Range(), 300.0f);
    EXPECT_EQ(v.VertBar->Range(), 200.0f);
    EXPECT_EQ(v.HorzBar->Position(), 130.0f);
    EXPECT_EQ(v.VertBar->Position(), 81.5f);
    EXPECT_EQ(v.OffsetX(), -130.0f);
    EXPECT_EQ(v.OffsetY(), -81.5f);
    EXPECT_EQ(v.ComputeViewRect(), (TRect{-130, -82, 170, 118}));  // -81.5 rounds to even
    // The middle of the paint area lies over the bitmap's middle.
    EXPECT_EQ(v.ControlToBitmap(TPoint{20, 18}), (TPoint{150, 100}));
    EXPECT_EQ(v.HorzBar->Widget()->geometry(), QRect(0, 37, 40, 17));
    EXPECT_EQ(v.VertBar->Widget()->geometry(), QRect(40, 0, 17, 37));

    // Scrolling by the user moves the bitmap and tells OnScroll.
    int scrolled = 0;
    v.OnScroll = [&](TComponent*) { ++scrolled; };
    v.HorzBar->MouseDown(TMouseButton::Left, 39, 8);  // the right arrow: + Increment
    v.HorzBar->MouseUp(TMouseButton::Left, 39, 8);
    EXPECT_EQ(v.HorzBar->Position(), 138.0f);
    EXPECT_EQ(v.OffsetX(), -138.0f);
    EXPECT_EQ(scrolled, 1);
}

TEST(ArgbImgView, SmallBitmapIsCentredAndPointsLeftTruncate)
{
    ViewFixture f;
    TArgbImgView& v = *f.view;
    v.SetBounds(0, 0, 57, 54);
    v.Bitmap()->SetSize(25, 20);
    EXPECT_EQ(v.OffsetX(), 7.5f);
    EXPECT_EQ(v.OffsetY(), 8.5f);
    EXPECT_EQ(v.ComputeViewRect(), (TRect{8, 8, 33, 28}));
    // At scale 2 a control pixel is half a bitmap pixel: left of the bitmap, toward zero.
    v.Bitmap()->SetSize(10, 8);
    v.SetScale(2);
    EXPECT_EQ(v.ComputeViewSize(), (TPoint{20, 16}));
    EXPECT_EQ(v.ComputeViewRect(), (TRect{10, 10, 30, 26}));  // offsets 10 and 10.5
    EXPECT_EQ(v.ControlToBitmap(TPoint{9, 10}).X, 0);
    EXPECT_EQ(v.ControlToBitmap(TPoint{7, 10}).X, -1);
    EXPECT_EQ(v.ControlToBitmap(TPoint{29, 25}), (TPoint{9, 7}));
}

// PaintTo of the opaque view bitmap alone is an exact copy; with a scaled
// layer, the layer follows the destination rectangle's mapping.
TEST(ArgbImgView, PaintToReproducesAndMapsLayers)
{
    ViewFixture f;
    TArgbImgView& v = *f.view;
    v.SetBounds(0, 0, 57, 54);
    v.Bitmap()->SetSize(31, 23);
    fillPattern(*v.Bitmap());
    TArgbBitmap out;
    out.SetSize(31, 23);
    v.PaintTo(&out, TRect{0, 0, 31, 23});
    EXPECT_EQ(std::memcmp(out.Bits(), v.Bitmap()->Bits(), 31 * 23 * 4), 0);

    auto* layer = v.Layers()->AddLayer<TBitmapLayer>();
    layer->Bitmap()->SetSize(1, 1);
    layer->Bitmap()->Clear(0xFFFF0000);
    layer->SetLocation(TSingleRect{10, 5, 12, 6});
    layer->SetScaled(true);
    TArgbBitmap twice;
    twice.SetSize(62, 46);
    v.PaintTo(&twice, TRect{0, 0, 62, 46});
    for (int y = 0; y < 46; ++y)
        for (int x = 0; x < 62; ++x) {
            const bool inLayer = x >= 20 && x < 24 && y >= 10 && y < 12;
            const std::uint32_t expected = inLayer ? 0xFFFF0000u : v.Bitmap()->PixelAt(x / 2, y / 2);
            ASSERT_EQ(twice.PixelAt(x, y), expected) << x << "," << y;
        }
    // The control's own transform is back afterwards.
    EXPECT_EQ(v.ControlToBitmap(TPoint{20, 18}), (TPoint{16, 11}));
}

TEST(ArgbImgView, EmptyBitmapAndUpdates)
{
    ViewFixture f;
    TArgbImgView& v = *f.view;
    v.SetColor(0x00332211);
    TArgbBitmap out;
    out.SetSize(4, 4);
    v.PaintTo(&out, TRect{0, 0, 4, 4});
    EXPECT_EQ(out.PixelAt(3, 3), 0xFF112233u);  // an empty bitmap: background everywhere
    EXPECT_EQ(v.ComputeViewRect(), (TRect{0, 0, 0, 0}));
    EXPECT_THROW(v.EndImageUpdate(), EAssertionFailed);
    int changes = 0;
    v.OnChange = [&](TComponent*) { ++changes; };
    v.BeginImageUpdate();
    v.Bitmap()->Clear(1);
    v.SetOffsetX(3);
    v.EndImageUpdate();
    EXPECT_EQ(changes, 0);
}

// Through the clipboard a bitmap keeps its colours; it comes back as a
// picture, opaque.
TEST(ArgbClipboard, RoundTrip)
{
    testsupport::TestApplication();
    TArgbBitmap a, b;
    a.SetSize(3, 2);
    fillPattern(a);
    TArgbClipboard clipboard;
    a.AssignTo(clipboard);
    b.Assign(clipboard);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], a.Bits()[i] | 0xFF000000u) << i;
}
