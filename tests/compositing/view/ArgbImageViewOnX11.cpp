// The image view as a window on a real X server (Xvfb): a picture larger
// than the view, both bars, the size grip and a half-transparent layer,
// checked on the screen's pixels. With PICTAVO_VIEW_SCREENSHOT set, the
// screen is also saved there as a PNG file.
#include "tests/support/X11Support.h"
#include "compositing/ArgbImage.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace {

using testsupport::PumpUntil;

class ImageViewOnX11 : public testsupport::X11Suite {
protected:
    static void SetUpTestSuite() { StartX11(); }
};

// The bitmap's colour at a point: red across, green down.
QRgb bitmapColour(int x, int y) { return qRgb(x * 255 / 599, y * 255 / 399, 128); }

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

TEST_F(ImageViewOnX11, PictureBarsGripAndLayerOnScreen)
{
    TForm form(nullptr, "ViewForm");
    form.SetCaption("Image view");
    form.SetFixedClientSize(300, 200);
    auto* view = form.Make<TArgbImgView>("ImgView1", form.Client());
    view->Align = alClient;
    view->SetBounds(0, 0, 300, 200);
    TArgbBitmap& bitmap = *view->Bitmap();
    bitmap.SetSize(600, 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 600; ++x) *bitmap.PixelPtr(x, y) = 0xFF000000u | bitmapColour(x, y);
    bitmap.Changed();
    auto* layer = view->Layers()->AddLayer<TBitmapLayer>();
    layer->Bitmap()->SetSize(100, 60);
    layer->Bitmap()->Clear(0x80FFFFFF);
    layer->Bitmap()->SetDrawMode(dmBlend);
    layer->SetLocation(TSingleRect{250, 170, 350, 230});
    layer->SetScaled(true);

    form.Show();
    QWidget* widget = view->Widget();
    const bool shown = PumpUntil([&] {
        QWindow* window = widget->window()->windowHandle();
        return widget->isVisible() && window && window->isExposed();
    });
    ASSERT_TRUE(shown) << widget->isVisible() << " " << (widget->window()->windowHandle() != nullptr);
    // The paint area is 283 x 183; the bitmap's middle lies under its middle.
    EXPECT_EQ(view->GetPaintArea(), (TRect{0, 0, 283, 183}));
    const TRect r = view->ComputeViewRect();
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    QImage screen;
    auto at = [&](int x, int y) { return screen.pixel(origin.x() + x, origin.y() + y); };
    const std::pair<int, int> picturePoints[] = {{5, 5}, {270, 10}, {20, 170}};
    const std::pair<int, int> greyPoints[] = {{5, 190}, {140, 190}, {290, 5}, {290, 90}, {291, 191}};
    auto pictureAt = [&](std::pair<int, int> p) {
        return near(at(p.first, p.second), bitmapColour(p.first - r.Left, p.second - r.Top), 0);
    };
    auto greyAt = [&](std::pair<int, int> p) {
        const QRgb c = at(p.first, p.second);
        return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
    };
    // The layer: white at half alpha over the middle of the bitmap.
    const QRgb under = bitmapColour(141 - r.Left, 91 - r.Top);
    auto layerShown = [&] {
        return near(at(141, 91), qRgb((qRed(under) + 255) / 2, (qGreen(under) + 255) / 2, (128 + 255) / 2), 2);
    };
    // Exposed is not yet painted: look at the screen until the window has reached it.
    PumpUntil([&] {
        screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        return std::all_of(std::begin(picturePoints), std::end(picturePoints), pictureAt) &&
               std::all_of(std::begin(greyPoints), std::end(greyPoints), greyAt) && layerShown();
    });
    if (const char* path = std::getenv("PICTAVO_VIEW_SCREENSHOT")) screen.save(path);
    for (auto point : picturePoints) EXPECT_TRUE(pictureAt(point)) << point.first << "," << point.second;
    EXPECT_TRUE(layerShown());
    // Both bars and the grip: greys of the button colours, not the picture.
    for (auto point : greyPoints)
        EXPECT_TRUE(greyAt(point)) << point.first << "," << point.second << " " << std::hex
                                   << at(point.first, point.second);
    EXPECT_TRUE(view->HorzBar->IsActive());
    EXPECT_TRUE(view->VertBar->IsActive());
    EXPECT_TRUE(view->GripShown());
    form.Hide();
}
