// The main window and the windows it opens on a real X server (Xvfb) with a
// window manager (openbox), driven by xdotool as a user's keyboard: keypad
// keys on the list, Enter right after a dialog opens, and the place of the
// dialogs when the main window stands in a corner of the screen.
#include "gallery/mainwindow/pvu.h"
#include "gallery/properties/pvu1.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <filesystem>
#include <fstream>

namespace {

using testsupport::PumpUntil;

class MainWindowX11 : public testsupport::X11Suite {
protected:
    static void SetUpTestSuite()
    {
        if (StartX11({"xdotool"}, "1024x768x24")) StartWindowManager();
    }
    static bool Send(const std::string& key) { return RunAndWait("xdotool", {"key", key}) == 0; }
    // Shown, framed by the window manager and active.
    static bool Framed(QWidget* window)
    {
        return PumpUntil([&] {
            return window->windowHandle() && window->windowHandle()->isExposed() &&
                   !window->windowHandle()->frameMargins().isNull() && window->isActiveWindow();
        });
    }

    void SetUp() override
    {
        X11Suite::SetUp();
        if (IsSkipped()) return;
        SetProgramFolder(folder.path.string());
        const std::string pics = folder / "pics/";
        std::filesystem::create_directories(pics);
        form = std::make_unique<TForm1>();
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
            std::ofstream(pics + name) << "x";
            form->ListView1->Add(TForm1::MakeSourceItem(pics + name));
        }
        form->Show();
        ASSERT_TRUE(Framed(form->Window())) << "the main window was never framed and activated";
    }
    void TearDown() override
    {
        form.reset();
        SetProgramFolder("");
    }

    std::vector<int> Selected() const
    {
        std::vector<int> rows;
        for (int i = 0; i < form->ListView1->Count(); ++i)
            if (form->ListView1->Selected(i)) rows.push_back(i);
        return rows;
    }

    testsupport::TempDir folder{"pictavo-x11"};
    std::unique_ptr<TForm1> form;
};

TEST_F(MainWindowX11, KeypadKeysSelectDeselectAndInvertFromTheList)
{
    // A click on the second row gives the list the focus and selects that row.
    const QPoint row = form->ListView1->Widget()->mapToGlobal(QPoint(30, 50));
    RunAndWait("xdotool", {"mousemove", "--sync", std::to_string(row.x()), std::to_string(row.y()), "click", "1"});
    ASSERT_TRUE(PumpUntil([&] { return form->ListView1->SelCount() == 1; }));
    ASSERT_TRUE(form->ListView1->Widget()->hasFocus());
    const int clicked = form->ListView1->FirstSelected();
    struct Press {
        const char* key;
        std::vector<int> selected;
    };
    std::vector<int> inverted;
    for (int i = 0; i < 4; ++i)
        if (i != clicked) inverted.push_back(i);
    const Press presses[] = {{"KP_Multiply", inverted}, {"KP_Add", {0, 1, 2, 3}}, {"KP_Subtract", {}}};
    for (const Press& press : presses) {
        Send(press.key);
        EXPECT_TRUE(PumpUntil([&] { return Selected() == press.selected; }, 3000)) << press.key;
    }
}

TEST_F(MainWindowX11, EnterRightAfterADialogOpensIsOk)
{
    int helps = 0, result = -1;
    form->ShowDialogWindow = [&](TForm& dialog) {
        auto& properties = dynamic_cast<TForm2&>(dialog);
        properties.Button33->OnClick = [&](TComponent*) { ++helps; };
        QTimer::singleShot(0, [&] {
            if (Framed(properties.Window())) Send("Return");
            if (!PumpUntil([&] { return !properties.Visible(); }, 3000)) properties.Close();
        });
        return result = properties.ShowModal();
    };
    form->Find<TButton>("Button6")->Click();  // "Add Text"
    EXPECT_EQ(result, TModal::Ok);
    EXPECT_EQ(helps, 0);
}

// Frames are read as the window system tells them now: a widget's own
// frameGeometry() can keep the margins openbox showed half made while it
// framed the window, the window at the frame's corner.
QRect FrameOf(const QWidget* window) { return window->windowHandle()->frameGeometry(); }

TEST_F(MainWindowX11, DialogsOpenOnTheScreenWithTheMainWindowInACorner)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize main = FrameOf(form->Window()).size();
    for (const QPoint corner : {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()})
        for (const char* opener : {"Button6", "Button13"}) {  // "Add Text", "Descrip&tion"
            // The main window's middle on the corner: half of it off the screen.
            const QPoint place = corner - QPoint(main.width() / 2, main.height() / 2);
            form->Window()->move(place);
            ASSERT_TRUE(PumpUntil([&] { return FrameOf(form->Window()).topLeft() == place; }));
            QRect opened;
            form->ShowDialogWindow = [&](TForm& window) {
                QTimer::singleShot(0, [&] {
                    if (Framed(window.Window())) opened = FrameOf(window.Window());
                    window.Close();
                });
                return window.ShowModal();
            };
            form->Find<TButton>(opener)->Click();
            EXPECT_FALSE(opened.isEmpty()) << opener;
            EXPECT_TRUE(area.contains(opened))
                << opener << " with the main window's middle at " << corner.x() << "," << corner.y() << ": "
                << opened.x() << "," << opened.y() << " " << opened.width() << "x" << opened.height();
        }
}

}  // namespace
