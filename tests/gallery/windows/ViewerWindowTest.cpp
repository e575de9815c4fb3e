// The full-screen viewer (pictures, keys, clamping) and the drop target
// (drops, duplicates in other letter cases, long paths, its place).
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/windows/Pvu2.h"
#include "gallery/windows/pvu4.h"
#include "raster/RasterFiles.h"
#include "raster/RasterView.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QUrl>

#include <filesystem>
#include <tuple>

namespace {

class Viewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        pics = folder.Path() + "pics/";
        std::filesystem::create_directories(pics);
        // Smaller than the screen, larger than it, and one whose fitted height rounds to nothing.
        for (auto [name, w, h] :
             {std::tuple{"small.bmp", 300, 200}, std::tuple{"big.bmp", 2000, 1000}, std::tuple{"thin.bmp", 20000, 5}}) {
            TRasterDIB picture;
            picture.SetSize(w, h, 24);
            picture.Clear(TColorTriple{40, 80, 160});
            WriteBmpFile(picture, pics + name);
        }
        for (const char* name : {"small.bmp", "big.bmp", "thin.bmp"})
            form.ListView1->Add(TForm1::MakeSourceItem(pics + name));
        form.ListView1->SetSelected(0, true);
        viewer.Label1->SetCaption("3");
        viewer.ScreenWidth = 1024;
        viewer.ScreenHeight = 768;
    }
    void Press(Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(viewer.Window(), &event);
    }
    int ShownWidth() const { return viewer.RasterView1->PictureDIB.Width(); }

    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    TForm3 viewer{form};
    std::string pics;
};

TEST_F(Viewer, KeysPageThroughTheListAndStopAtItsEnds)
{
    ASSERT_TRUE(viewer.ShowItemPicture(0));
    EXPECT_EQ(viewer.RasterView1->DrawStyle(), dsCenter);
    struct Step {
        Qt::Key key;
        int selected, width;
        TDrawStyle style;
    };
    const Step steps[] = {
        {Qt::Key_Home, 0, 300, dsCenter},       {Qt::Key_PageUp, 0, 300, dsCenter},
        {Qt::Key_PageDown, 1, 2000, dsResize},  {Qt::Key_End, 2, 20000, dsResize},
        {Qt::Key_PageDown, 2, 20000, dsResize}, {Qt::Key_PageUp, 1, 2000, dsResize},
        {Qt::Key_A, 1, 2000, dsResize},
    };
    for (const Step& step : steps) {
        Press(step.key);
        EXPECT_EQ(form.ListView1->FirstSelected(), step.selected) << step.key;
        EXPECT_EQ(form.ListView1->SelCount(), 1);
        EXPECT_EQ(ShownWidth(), step.width) << step.key;
        EXPECT_EQ(viewer.RasterView1->DrawStyle(), step.style) << step.key;
    }
    // The 20000 x 5 picture fitted to the screen is nothing but black.
    Press(Qt::Key_End);
    viewer.RasterView1->Widget()->resize(1024, 768);
    QImage screen(1024, 768, QImage::Format_RGB32);
    screen.fill(Qt::magenta);
    QPainter painter(&screen);
    viewer.RasterView1->PaintTo(painter);
    painter.end();
    EXPECT_EQ(screen.pixel(512, 384), qRgb(0, 0, 0));
    EXPECT_EQ(screen.pixel(0, 0), qRgb(0, 0, 0));
    // A picture that cannot be made leaves the one shown.
    std::filesystem::remove(pics + "small.bmp");
    Press(Qt::Key_Home);
    EXPECT_EQ(ShownWidth(), 20000);
    // Esc closes.
    viewer.Show();
    Press(Qt::Key_Escape);
    EXPECT_FALSE(viewer.Visible());
}

TEST_F(Viewer, ModesShowWhatTheBuildWouldMake)
{
    form.ComboBox6->SetItemIndex(1);  // thumbnails in pixels
    form.SpinEdit6->SetValue(120);
    form.SpinEdit7->SetValue(90);
    for (auto [mode, width] : {std::pair{"1", 120}, std::pair{"3", 300}}) {
        viewer.Label1->SetCaption(mode);
        ASSERT_TRUE(viewer.ShowItemPicture(0)) << mode;
        EXPECT_EQ(ShownWidth(), width) << mode;
    }
    viewer.Label1->SetCaption("2");
    TRasterDIB image;
    int failed = 1;
    form.CreateImage(failed, pics + "big.bmp", image);
    ASSERT_TRUE(viewer.ShowItemPicture(1));
    EXPECT_EQ(ShownWidth(), image.Width());
}

// ---------------------------------------------------------------------------

class DropTarget : public ::testing::Test {
protected:
    void SetUp() override
    {
        pics = folder.Path() + "pics/";
        // A path of more than 300 characters, each folder name within the file system's limit.
        longPath = pics + std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(60, 'f') + ".jpg";
        ASSERT_GT(longPath.size(), 300u);
        for (const std::string& p : {pics + "one.jpg", pics + "ONE.jpg", pics + "Two.jpg", longPath}) WriteFile(p, "x");
        form.ListView1->Add(TForm1::MakeSourceItem(pics + "one.jpg"));
        form.Show();
    }
    // Sends the files as the desktop drops them.
    static void Drop(TForm6& target, const std::vector<std::string>& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& p : paths)
            urls.push_back(p.find("://") != std::string::npos ? QUrl(QString::fromStdString(p))
                                                              : QUrl::fromLocalFile(QString::fromStdString(p)));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target.Window(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target.Window(), &drop);
    }

    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    std::string pics, longPath;
};

TEST_F(DropTarget, DroppedFilesJoinTheListOnceEachAndThePlaceIsKept)
{
    form.SetPropertyRecord(prDropTargetXY, "70|80|");
    bool mainHidden = false;
    form.ShowDialogWindow = [&](TForm& window) {
        auto& target = dynamic_cast<TForm6&>(window);
        mainHidden = !form.Visible();
        target.Show();
        EXPECT_EQ(target.Window()->pos(), QPoint(70, 80));
        Drop(target, {pics + "Two.jpg", pics + "ONE.jpg", longPath});
        Drop(target, {pics + "Two.jpg", pics + "one.jpg", "http://example.com/remote.jpg"});
        target.Window()->move(120, 130);

        target.Image1DblClick(target.Image1);
        return target.ModalResult;
    };
    form.AddDropTarget1Click(form.AddDropTarget1);
    EXPECT_TRUE(mainHidden);
    EXPECT_TRUE(form.Visible());
    std::vector<std::string> items;
    for (int i = 0; i < form.ListView1->Count(); ++i) items.push_back(form.ItemFullPath(i));
    // A path dropped again, or already listed, comes once; names that differ
    // only in case are different files here and both stay.
    EXPECT_EQ(items, (std::vector<std::string>{longPath, pics + "ONE.jpg", pics + "one.jpg", pics + "Two.jpg"}));
    EXPECT_EQ(form.GetPropertyRecord(prDropTargetXY), "120|130");
    EXPECT_EQ(form.ListView1->FirstSelected(), 0);
}

TEST_F(DropTarget, CancelChangesNothingAndAPlaceOffTheDesktopOpensOnIt)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    struct PlaceCase {
        const char* record;
        QPoint expected;
    };
    const PlaceCase cases[] = {
        {"-5000|99999|", QPoint(area.left(), area.bottom() + 1 - 48)},
        {"99999|-3|", QPoint(area.right() + 1 - 48, area.top())},
        {"abc|def|", QPoint(50, 50)},
        {"", QPoint(50, 50)},
    };
    for (const PlaceCase& c : cases) {
        form.SetPropertyRecord(prDropTargetXY, c.record);
        QPoint opened;
        form.ShowDialogWindow = [&](TForm& window) {
            auto& target = dynamic_cast<TForm6&>(window);
            target.Show();
            opened = target.Window()->pos();
            Drop(target, {pics + "Two.jpg"});
            target.Close();
            return target.ModalResult;
        };
        form.AddDropTarget1Click(form.AddDropTarget1);
        EXPECT_EQ(opened, c.expected) << c.record;
        EXPECT_EQ(form.GetPropertyRecord(prDropTargetXY), c.record);
        EXPECT_EQ(form.ListView1->Count(), 1);
        EXPECT_TRUE(form.Visible());
    }
}

}  // namespace
