// The picture control's draw styles and size modes, probed pixel by pixel on
// pictures of every bit count in both row orders.
#include "raster/RasterView.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <memory>

namespace {

const std::array<QRgb, 4> QuadrantColours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
const TColor Background = 0x1E140A;  // rgb(10, 20, 30)
const QRgb BackgroundRgb = qRgb(10, 20, 30);
const QRgb Sentinel = qRgb(255, 0, 255);

// Quadrant colour as a picture of this bit count holds it (1 bit: top red, bottom blue).
QRgb QuadrantColour(int quadrant, int bits) { return QuadrantColours[bits == 1 ? quadrant & 2 : quadrant]; }

// Quadrants top-left red, top-right green, bottom-left blue, bottom-right
// white, counted from the top of the picture whatever its row order.
void MakeQuadrants(TRasterDIB& dib, int w, int h, int bits, bool topDown)
{
    dib.SetSize(w, topDown ? -h : h, bits);
    for (int i = 0; i < 4; ++i) {
        const QRgb c = QuadrantColours[bits == 1 ? (i % 2) * 2 : i];  // 1 bit: red and blue only
        dib.Colors[i] = RGBQUAD{std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c)), 0};
    }
    if (bits <= 8) dib.UpdateColorTable();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int quadrant = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            const int row = topDown ? y : h - 1 - y;
            if (bits <= 8) {
                dib.SetPixelIndex(row, x, bits == 1 ? quadrant / 2 : quadrant);
            } else {
                const QRgb c = QuadrantColours[quadrant];
                dib.SetPixelColor(row, x,
                                  TColorTriple{std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c))});
            }
        }
}

struct ViewFixture : testsupport::ControlUnderTest<TRasterView> {
    ViewFixture() : ControlUnderTest("RasterView1") { view->SetColor(Background); }
    // Paints the control over a sentinel colour; no pixel may keep it.
    QImage Paint(int width, int height)
    {
        view->Widget()->resize(width, height);
        QImage canvas(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
        canvas.fill(Sentinel);
        QPainter painter(&canvas);
        view->PaintTo(painter);
        painter.end();
        return canvas;
    }
    TRasterView* view = control;
};

bool Covered(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == Sentinel) return false;
    return true;
}

struct Probe {
    int x, y;
    int quadrant;  // -1: the control's colour
};
struct StyleCase {
    const char* what;
    TDrawStyle style;
    int controlWidth, controlHeight;
    std::vector<Probe> probes;
};

const StyleCase StyleCases[] = {
    {"draw leaves the rest in the control's colour",
     dsDraw,
     100,
     100,
     {{5, 5, 0}, {35, 5, 1}, {5, 25, 2}, {35, 25, 3}, {50, 5, -1}, {5, 50, -1}, {90, 90, -1}}},
    {"stretch fills the control", dsStretch, 100, 100, {{25, 25, 0}, {75, 25, 1}, {25, 75, 2}, {75, 75, 3}}},
    {"resize into a square: bands above and below",
     dsResize,
     200,
     200,
     {{50, 10, -1}, {50, 50, 0}, {150, 50, 1}, {50, 150, 2}, {150, 150, 3}, {50, 190, -1}}},
    {"resize into a wide control: bands left and right",
     dsResize,
     300,
     60,
     {{50, 30, -1}, {130, 15, 0}, {170, 15, 1}, {130, 45, 2}, {170, 45, 3}, {250, 30, -1}}},
    {"resize at the picture's own size", dsResize, 40, 30, {{5, 5, 0}, {35, 25, 3}}},
    {"tile repeats from the corner", dsTile, 100, 100, {{45, 5, 0}, {75, 5, 1}, {45, 35, 0}, {5, 55, 2}, {75, 85, 3}}},
    {"centre a larger picture shows its middle", dsCenter, 20, 10, {{0, 0, 0}, {19, 0, 1}, {0, 9, 2}, {19, 9, 3}}},
    {"centre a smaller picture", dsCenter, 100, 100, {{10, 10, -1}, {35, 40, 0}, {65, 60, 3}, {90, 90, -1}}},
};

TEST(RasterView, DrawStylesPlaceEveryQuadrantInEveryModeBitCountAndRowOrder)
{
    ViewFixture f;
    for (const StyleCase& c : StyleCases)
        for (TSizeMode mode : {smGDI, smFast, smBilinear})
            for (int bits : {1, 4, 8, 16, 24, 32})
                for (bool topDown : {false, true}) {
                    SCOPED_TRACE(std::string(c.what) + " mode " + std::to_string(mode) + " bits " +
                                 std::to_string(bits) + (topDown ? " top-down" : " bottom-up"));
                    MakeQuadrants(f.view->PictureDIB, 40, 30, bits, topDown);
                    f.view->SetSizeMode(mode);
                    f.view->SetDrawStyle(c.style);
                    const QImage shot = f.Paint(c.controlWidth, c.controlHeight);
                    EXPECT_TRUE(Covered(shot));
                    for (const Probe& p : c.probes) {
                        const QRgb want = p.quadrant < 0 ? BackgroundRgb : QuadrantColour(p.quadrant, bits);
                        EXPECT_EQ(shot.pixel(p.x, p.y), want) << "at " << p.x << "," << p.y;
                    }
                }
}

TEST(RasterView, EmptyPicturesAndSidesThatRoundToNothingPaintTheBackground)
{
    ViewFixture f;
    f.view->SetDrawStyle(dsResize);
    // No picture at all.
    QImage shot = f.Paint(50, 40);
    EXPECT_EQ(shot.pixel(0, 0), BackgroundRgb);
    EXPECT_EQ(shot.pixel(49, 39), BackgroundRgb);
    // A drawn side of 0.256 or 0.192 pixels rounds to 0.
    for (TSizeMode mode : {smGDI, smFast, smBilinear})
        for (auto [w, h] : {std::pair{20000, 5}, std::pair{5, 20000}}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " mode " + std::to_string(mode));
            f.view->PictureDIB.SetSize(w, h, 24);
            f.view->PictureDIB.Clear(WhiteTriple);
            f.view->SetSizeMode(mode);
            shot = f.Paint(1024, 768);
            EXPECT_TRUE(Covered(shot));
            EXPECT_EQ(shot.pixel(512, 384), BackgroundRgb);
        }
    // A control of no size paints nothing and survives.
    for (TDrawStyle style : {dsDraw, dsStretch, dsResize, dsTile, dsCenter}) {
        f.view->SetDrawStyle(style);
        f.Paint(0, 0);
        f.Paint(0, 50);
    }
}

TEST(RasterView, PaintEventsCoverTheWindowWithoutErasing)
{
    ViewFixture f;
    MakeQuadrants(f.view->PictureDIB, 40, 30, 24, true);
    f.view->SetDrawStyle(dsCenter);
    f.view->Widget()->resize(60, 50);
    const QImage shot = f.view->Widget()->grab().toImage();
    EXPECT_TRUE(f.view->Widget()->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_EQ(shot.pixel(0, 0), BackgroundRgb);
    EXPECT_EQ(shot.pixel(12, 12), QuadrantColours[0]);
    EXPECT_EQ(shot.pixel(47, 37), QuadrantColours[3]);
}

TEST(RasterView, PictureFileAutoSizeAlignAndDibData)
{
    ViewFixture f;
    testsupport::TempDir folder("rasterview");
    // Setting a missing file: "(None)" and both buffers empty.
    MakeQuadrants(f.view->PictureDIB, 40, 30, 24, false);
    f.view->SetPicture(folder / "missing.bmp");
    EXPECT_EQ(f.view->Picture(), "(None)");
    EXPECT_EQ(f.view->PictureDIB.Width(), 0);
    EXPECT_EQ(f.view->WorkDIB.Width(), 0);
    // DIB data written and read again, and read from a file by name.
    MakeQuadrants(f.view->PictureDIB, 40, 30, 8, false);
    TMemoryStream stream;
    f.view->WriteDIBData(stream);
    f.view->PictureDIB.SetSize(0, 0, 0);
    stream.SetPosition(0);
    f.view->ReadDIBData(stream);
    EXPECT_EQ(RasterToImage(f.view->PictureDIB).pixel(35, 25), QuadrantColours[3]);
    stream.SaveToFile(folder / "q.bmp");
    f.view->PictureDIB.SetSize(0, 0, 0);
    f.view->SetPicture(folder / "q.bmp");
    EXPECT_EQ(f.view->Picture(), "(TRasterDIB)");
    EXPECT_EQ(f.view->PictureDIB.Width(), 40);
    // A file that is not a picture empties the control like a missing one.
    TMemoryStream junk(std::vector<std::uint8_t>(64, 'x'));
    junk.SaveToFile(folder / "junk.bmp");
    f.view->SetPicture(folder / "junk.bmp");
    EXPECT_EQ(f.view->Picture(), "(None)");
    EXPECT_EQ(f.view->PictureDIB.Width(), 0);

    // alClient follows the parent; AutoSize takes the picture's size and drops the alignment.
    f.parent->show();
    f.view->SetAlign(alClient);
    f.parent->resize(300, 200);
    EXPECT_EQ(f.view->Widget()->size(), QSize(300, 200));
    f.view->PictureDIB.SetSize(640, 480, 24);
    f.view->SetAutoSize(true);
    EXPECT_EQ(f.view->Align(), alNone);
    EXPECT_EQ(f.view->Widget()->size(), QSize(640, 480));
    f.parent->resize(320, 240);
    EXPECT_EQ(f.view->Widget()->size(), QSize(640, 480));
}

}  // namespace
