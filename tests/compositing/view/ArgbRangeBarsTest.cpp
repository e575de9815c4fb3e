// The range bars: button lengths, clamps, the handle, centring ratios and
// the mouse, offscreen.
#include "compositing/ArgbRangeBars.h"
#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <memory>

namespace {
struct BarFixture : testsupport::ControlUnderTest<TCustomRangeBar> {
    BarFixture() : ControlUnderTest("Bar") {}
    TCustomRangeBar* bar = control;
};
}  // namespace

TEST(RangeBar, ButtonLengthsAndZones)
{
    BarFixture f;
    TCustomRangeBar& b = *f.bar;
    EXPECT_EQ(b.Width(), 100);
    EXPECT_EQ(b.ButtonLength(), 16);
    b.SetBounds(0, 0, 20, 16);
    EXPECT_EQ(b.ButtonLength(), 10);
    b.SetBorderStyle(TBarBorderStyle::Single);
    b.SetBounds(0, 0, 100, 16);
    EXPECT_EQ(b.ButtonLength(), 14);
    b.SetShowArrows(false);
    EXPECT_EQ(b.ButtonLength(), 0);
    b.SetShowArrows(true);
    b.SetBorderStyle(TBarBorderStyle::None);
    b.SetRange(300);  // window 100 of 300: the handle is a third of the 68-pixel track
    EXPECT_EQ(b.HandleRect(), (TRect{16, 0, 39, 16}));
    EXPECT_EQ(b.GetZone(5, 5), 1);
    EXPECT_EQ(b.GetZone(95, 5), 2);
    EXPECT_EQ(b.GetZone(20, 5), 3);
    EXPECT_EQ(b.GetZone(60, 5), 5);
    EXPECT_EQ(b.GetZone(60, 16), 0);
}

TEST(RangeBar, PositionClampsAndCentring)
{
    BarFixture f;
    TCustomRangeBar& b = *f.bar;
    b.SetBounds(0, 0, 40, 16);
    b.SetRange(300);
    b.SetPosition(280);
    EXPECT_EQ(b.Position(), 260.0f);
    b.SetPosition(-5);
    EXPECT_EQ(b.Position(), 0.0f);
    b.SetIncrement(0);
    EXPECT_EQ(b.Increment(), 0.001f);

    b.Centered = true;
    b.SetRange(200);
    b.SetPosition(80);
    b.SetRange(400);
    EXPECT_EQ(b.Position(), 180.0f);  // 400 * (100 / 200) - 20
    // Resizing keeps the centre's ratio too: 60 wide, centre at 200 of 400.
    b.SetBounds(0, 0, 60, 16);
    EXPECT_EQ(b.Position(), 170.0f);

    // A track of 17 pixels or less has no handle.
    b.SetBounds(0, 0, 40, 16);
    EXPECT_TRUE(RectIsEmpty(b.HandleRect()));
}

TEST(RangeBar, InactiveWhenTheRangeFits)
{
    BarFixture f;
    TCustomRangeBar& b = *f.bar;
    b.SetRange(100);  // equal to the bar's length
    EXPECT_FALSE(b.IsActive());
    EXPECT_EQ(b.HandleRect(), (TRect{16, 0, 84, 16}));  // the whole track
    int changes = 0;
    b.OnChange = [&](TComponent*) { ++changes; };
    b.MouseDown(TMouseButton::Left, 95, 5);
    EXPECT_EQ(b.Zone(), 0);
    EXPECT_EQ(changes, 0);
}

TEST(RangeBar, MouseStepsPagesAndDrags)
{
    BarFixture f;
    TCustomRangeBar& b = *f.bar;
    b.SetRange(1000);  // window 100: the handle is 7 pixels, shown as 17
    int user = 0;
    b.OnUserChange = [&](TComponent*) { ++user; };
    b.MouseDown(TMouseButton::Left, 95, 5);  // right arrow
    EXPECT_EQ(b.Position(), 8.0f);
    EXPECT_TRUE(b.TimerActive());
    EXPECT_EQ(b.TimerInterval(), 600);
    b.TimerTick();
    EXPECT_EQ(b.Position(), 16.0f);
    EXPECT_EQ(b.TimerInterval(), 100);
    b.MouseUp(TMouseButton::Left, 95, 5);
    EXPECT_FALSE(b.TimerActive());
    EXPECT_EQ(user, 2);

    b.MouseDown(TMouseButton::Left, 70, 5);  // the track after the handle: a page
    EXPECT_EQ(b.Zone(), 5);
    EXPECT_EQ(b.Position(), 116.0f);
    b.MouseUp(TMouseButton::Left, 70, 5);

    // Dragging a small handle: the shift is Round(D * (Range - Window) / (Track - 17)).
    const TRect h = b.HandleRect();
    b.MouseDown(TMouseButton::Left, h.Left + 2, 5);
    EXPECT_EQ(b.Zone(), 3);
    EXPECT_FALSE(b.TimerActive());
    b.MouseMove(h.Left + 2 + 10, 5);
    EXPECT_EQ(b.Position(), 116.0f + 176.0f);  // 10 * 900 / 51 = 176.47
    b.MouseUp(TMouseButton::Left, 0, 0);
    EXPECT_EQ(b.Zone(), 0);
}

TEST(RangeBar, ColourHelpersAndSettingsForwarding)
{
    EXPECT_EQ(LightenColor(RGBColor(250, 10, 100), 32), RGBColor(255, 42, 132));
    EXPECT_EQ(LightenColor(RGBColor(20, 10, 100), -32), RGBColor(0, 0, 68));
    EXPECT_EQ(MixColors(RGBColor(255, 0, 100), RGBColor(0, 255, 100), 127), RGBColor(127, 128, 100));
    EXPECT_EQ(MixColors(RGBColor(255, 0, 0), 0, 400), RGBColor(255, 0, 0));

    BarFixture f, g;
    TArrowBarAccess access;
    access.Master = f.bar;
    access.Slave = g.bar;
    access.SetHandleColor(RGBColor(1, 2, 3));
    access.SetBackgnd(bgSolid);
    EXPECT_EQ(g.bar->HandleColor(), RGBColor(1, 2, 3));
    EXPECT_EQ(access.Backgnd(), bgSolid);
    EXPECT_EQ(g.bar->Pattern()[1], ColorToRGB(g.bar->Color()));
    access.SetBackgnd(bgPattern);
    EXPECT_EQ(f.bar->Pattern()[1], ColorToRGB(SystemColor(COLOR_BTNFACE)));  // x and y differ in parity
    EXPECT_EQ(f.bar->Pattern()[0], ColorToRGB(f.bar->Color()));
}
