// The main window's fixed size and the placement of the controls on its pages.
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QLabel>
#include <QPixmap>
#include <QStyle>
#include <QToolButton>
#include <QImage>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>

#include <cstdlib>

TEST(Layout, FixedClientSizeAndEveryControlInsideItsPage)
{
    TempProgramFolder folder;
    TForm1 form;
    form.Show();
    TestApplication().ProcessMessages();
    EXPECT_EQ(form.Client()->width(), 370);
    EXPECT_EQ(form.Client()->height(), 360);
    EXPECT_EQ(form.Window()->minimumSize(), form.Window()->maximumSize());
    auto* tabs = static_cast<QTabWidget*>(form.PageControl1->Widget());
    ASSERT_EQ(tabs->count(), 5);
    const char* captions[] = {"Source Images", "Destination", "Index pages", "Image pages", "Images"};
    const char* shotDir = std::getenv("PICTAVO_SHOT_DIR");  // to look at the pages by eye
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tabs->tabText(i).toStdString(), captions[i]);
        form.PageControl1->SetActivePageIndex(i);
        TestApplication().ProcessMessages();
        QWidget* page = tabs->widget(i);
        // The page must lie inside the visible part of the page control.
        const QRect pageInTabs(page->mapTo(tabs, QPoint(0, 0)), page->size());
        EXPECT_TRUE(tabs->rect().contains(pageInTabs)) << captions[i];
        EXPECT_TRUE(page->visibleRegion().boundingRect() == page->rect() || !page->isVisible()) << captions[i];
        for (QWidget* child : page->findChildren<QWidget*>()) {
            if (child->isHidden() || !child->isVisibleTo(page)) continue;
            const QRect area = child->parentWidget()->rect();
            EXPECT_TRUE(area.contains(child->geometry())) << captions[i] << ": " << child->objectName().toStdString();
            // A label shows its whole caption.
            if (auto* label = qobject_cast<QLabel*>(child)) {
                EXPECT_LE(label->sizeHint().width(), label->width() + 2)
                    << captions[i] << ": " << label->text().toStdString();
                // ... and leaves a gap before the control beside it.
                const int textEnd = label->x() + label->sizeHint().width();
                for (QWidget* next : label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    const QRect box = next->geometry();
                    if (next == label || next->isHidden() || box.x() <= label->x()) continue;
                    if (box.bottom() < label->y() || box.y() > label->geometry().bottom()) continue;
                    EXPECT_GE(box.x() - textEnd, 2) << captions[i] << ": " << label->text().toStdString() << " / "
                                                    << next->objectName().toStdString();
                }
            }
            // So does a check box.
            if (auto* check = qobject_cast<QCheckBox*>(child)) {
                EXPECT_LE(check->sizeHint().width(), check->width() + 2)
                    << captions[i] << ": " << check->text().toStdString();
            }
        }
        // All five tabs are in sight at once.
        EXPECT_LE(tabs->tabBar()->tabRect(i).right(), tabs->width()) << captions[i];
        if (shotDir) form.Window()->grab().save(QString("%1/page%2.png").arg(shotDir).arg(i));
    }
    form.Hide();
}

TEST(Layout, AddButtonsHaveTheirOwnPictures)
{
    TempProgramFolder folder;
    TForm1 form;
    auto image = [](TToolButton* button) {
        return static_cast<QToolButton*>(button->Widget())->icon().pixmap(24, 24).toImage();
    };
    const QImage directory = image(form.ToolButton2);
    const QImage files = image(form.ToolButton3);
    ASSERT_FALSE(directory.isNull());
    ASSERT_FALSE(files.isNull());
    // Different pictures, neither the style's folder icons, both with the "add" plus.
    EXPECT_NE(directory, files);
    const QImage styleFolder = form.Window()->style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(24, 24).toImage();
    EXPECT_NE(directory, styleFolder);
    for (const QImage& picture : {directory, files}) {
        const QColor plus = picture.pixelColor(17, 16);
        EXPECT_GT(plus.green(), 2 * plus.red());
    }
    if (const char* shotDir = std::getenv("PICTAVO_SHOT_DIR")) {
        directory.save(QString("%1/add-directory.png").arg(shotDir));
        files.save(QString("%1/add-files.png").arg(shotDir));
    }
}

// With the main window pushed into a corner of the screen (its middle on the
// corner), the windows it opens over itself still open wholly on the screen.
TEST(Layout, WindowsOpenOnTheScreenWithTheMainWindowInAnyCorner)
{
    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    WriteFile(folder.File("a.jpg"), "x");
    form.ListView1->Add(TForm1::MakeSourceItem(folder.File("a.jpg")));
    form.Show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize main = form.Window()->frameGeometry().size();
    for (const QPoint corner : {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()})
        for (const char* opener : {"Button6", "Button13"}) {  // "Add Text", "Descrip&tion"
            form.Window()->move(corner - QPoint(main.width() / 2, main.height() / 2));
            QRect opened;
            form.ShowDialogWindow = [&](TForm& window) {
                QTimer::singleShot(0, [&] {
                    opened = window.Window()->frameGeometry();
                    window.Close();
                });
                return window.ShowModal();
            };
            form.Find<TButton>(opener)->Click();
            EXPECT_FALSE(opened.isEmpty()) << opener;
            EXPECT_TRUE(area.contains(opened))
                << opener << " at " << corner.x() << "," << corner.y() << ": " << opened.x() << "," << opened.y() << " "
                << opened.width() << "x" << opened.height();
        }
    form.Hide();
}
