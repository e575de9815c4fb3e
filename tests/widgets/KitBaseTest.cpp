// Base classes, system information and the bitmap drawing procedures.
#include "widgets/kitcompo.h"
#include "widgets/kitprocs.h"
#include "widgets/kitsysin.h"

#include <QPainter>

#include <gtest/gtest.h>

TEST(KitBase, ChangeNotificationsWaitForTheEndOfAnUpdate)
{
    TKitComponent component(nullptr, "Component");
    int changes = 0;
    component.OnChange = [&](TComponent* sender) {
        EXPECT_EQ(sender, &component);
        ++changes;
    };
    component.Changed();
    EXPECT_EQ(changes, 1);
    component.BeginUpdate();
    EXPECT_TRUE(component.Updating());
    component.Changed();
    EXPECT_EQ(changes, 1);
    component.EndUpdate(false);
    EXPECT_EQ(changes, 1);
    component.BeginUpdate();
    component.EndUpdate();
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(component.About.empty());

    TKitObject object;
    int objectChanges = 0;
    object.OnChange = [&](TKitObject*) { ++objectChanges; };
    object.BeginUpdate();
    object.Changed();
    object.EndUpdate();
    EXPECT_EQ(objectChanges, 1);
}

TEST(KitBase, SystemInformation)
{
    const std::string user = KitUserName();
    EXPECT_FALSE(user.empty());
    EXPECT_LE(user.size(), 63u);
    EXPECT_GE(OsMinorVersion(), 0);
    EXPECT_EQ(DisplayColorDepth(), 0);  // no GUI application in this test
    EXPECT_TRUE(KitPlatformFlags().NT);
    EXPECT_FALSE(KitPlatformFlags().Windows95Family);
}

namespace {
QImage Canvas()
{
    QImage canvas(40, 30, QImage::Format_RGB32);
    canvas.fill(qRgb(255, 255, 255));
    return canvas;
}

QImage Picture()
{
    // 4 x 2: red with a blue pixel in its top-left corner.
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    picture.setPixel(0, 0, qRgb(0, 0, 255));
    return picture;
}
}  // namespace

TEST(KitDraw, PlainCentredAndStretched)
{
    QImage canvas = Canvas();
    {
        QPainter painter(&canvas);
        EXPECT_EQ(DrawBitmapInRect(painter, {2, 3, 20, 20}, Picture(), 0, 0, 0), (TKitRect{2, 3, 6, 5}));
        EXPECT_EQ(DrawBitmapInRect(painter, {20, 0, 40, 10}, Picture(), 0, 0, KitDraw::Center),
                  (TKitRect{28, 4, 32, 6}));
    }
    EXPECT_EQ(canvas.pixel(2, 3), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(5, 4), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(6, 4), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(28, 4), qRgb(0, 0, 255));

    QPainter painter(&canvas);
    EXPECT_EQ(DrawBitmapInRect(painter, {0, 0, 8, 8}, Picture(), 0, 0, KitDraw::Stretch), (TKitRect{0, 0, 8, 8}));
    // Both keep bits: fitted by AspectFitRect (scale 2 here).
    EXPECT_EQ(DrawBitmapInRect(painter, {0, 10, 8, 18}, Picture(), 0, 0,
                               KitDraw::Stretch | KitDraw::KeepWidthScale | KitDraw::KeepHeightScale),
              (TKitRect{0, 10, 8, 14}));
    // 0x400: the height follows the width's scale.
    EXPECT_EQ(DrawBitmapInRect(painter, {0, 20, 12, 30}, Picture(), 0, 0, KitDraw::Stretch | KitDraw::KeepHeightScale),
              (TKitRect{0, 20, 12, 26}));
    // 0x200: the width follows the height's scale.
    EXPECT_EQ(DrawBitmapInRect(painter, {20, 20, 40, 24}, Picture(), 0, 0, KitDraw::Stretch | KitDraw::KeepWidthScale),
              (TKitRect{20, 20, 28, 24}));
}

TEST(KitDraw, TiledClippedAndTransparent)
{
    QImage canvas = Canvas();
    {
        QPainter painter(&canvas);
        // 10 x 5 area: 10 div 4 + 1 = 3 columns, 5 div 2 + 1 = 3 rows; clipped to the area.
        EXPECT_EQ(DrawBitmapInRect(painter, {0, 0, 10, 5}, Picture(), 0, 0, KitDraw::Tile | KitDraw::Clip),
                  (TKitRect{0, 0, 12, 6}));
    }
    EXPECT_EQ(canvas.pixel(4, 2), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(8, 4), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(10, 0), qRgb(255, 255, 255));  // outside the clip
    EXPECT_EQ(canvas.pixel(0, 5), qRgb(255, 255, 255));

    QImage second = Canvas();
    {
        QPainter painter(&second);
        // Red is the transparent colour (GDI 0x0000FF): only the blue pixel lands.
        DrawBitmapInRect(painter, {0, 0, 10, 10}, Picture(), 0x0000FF, 0, KitDraw::Transparent);
    }
    EXPECT_EQ(second.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(second.pixel(1, 0), qRgb(255, 255, 255));

    const QImage mask = MakeTransparencyMask(Picture(), 0x0000FF);
    EXPECT_EQ(mask.pixel(0, 0) & 0xFFFFFF, 0u);         // opaque
    EXPECT_EQ(mask.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);  // transparent
    QImage third = Canvas();
    {
        QPainter painter(&third);
        DrawBitmapInRect(painter, {5, 5, 10, 10}, Picture(), 0, 0, KitDraw::Masked, &mask);
    }
    EXPECT_EQ(third.pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_EQ(third.pixel(6, 5), qRgb(255, 255, 255));

    const QImage filled = FillBitmap({0, 0, 3, 2}, 0x00FF0000);  // GDI blue
    EXPECT_EQ(filled.size(), QSize(3, 2));
    EXPECT_EQ(filled.pixel(2, 1), qRgb(0, 0, 255));
}

TEST(KitDraw, OffsetShiftsTheClip)
{
    QImage canvas = Canvas();
    {
        QPainter painter(&canvas);
        // Clip (0,0)-(2,2) moved by x 1, y 1 (low and high words).
        DrawBitmapInRect(painter, {0, 0, 2, 2}, Picture(), 0, 0x00010001u, KitDraw::Clip);
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 255, 255));  // outside the moved clip
    EXPECT_EQ(canvas.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(3, 1), qRgb(255, 255, 255));
}
