// The full-screen viewer on a real X server (Xvfb): opened from the main
// window with the Return key and paged with PageDown, End, Home and PageUp as
// xdotool sends them, then closed with Esc.
#include "gallery/windows/Pvu2.h"
#include "gallery/mainwindow/pvu.h"
#include "platform/shell/Shell.h"
#include "platform/system/System.h"
#include "raster/RasterFiles.h"
#include "raster/RasterView.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <filesystem>
#include <tuple>

namespace {

using testsupport::PumpUntil;

class ViewerX11 : public testsupport::X11Suite {
protected:
    static void SetUpTestSuite() { StartX11({"xdotool"}, "1024x768x24"); }
    static bool Send(const std::string& key) { return RunAndWait("xdotool", {"key", key}) == 0; }
};

TEST_F(ViewerX11, ReturnOpensTheViewerAndKeysPageThroughTheList)
{
    testsupport::TempDir folder("pictavo-x11");
    SetProgramFolder(folder.path.string());
    const std::string pics = folder / "pics/";
    std::filesystem::create_directories(pics);
    // Smaller than the screen, larger than it, and one more.
    for (auto [name, w, h] :
         {std::tuple{"a.bmp", 300, 200}, std::tuple{"b.bmp", 2000, 1000}, std::tuple{"c.bmp", 640, 480}}) {
        TRasterDIB picture;
        picture.SetSize(w, h, 24);
        picture.Clear(TColorTriple{40, 80, 160});
        WriteBmpFile(picture, pics + name);
    }
    {
        TForm1 form;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) form.ListView1->Add(TForm1::MakeSourceItem(pics + name));
        form.ListView1->SetSelected(0, true);
        // The widths of the image copies the viewer shows.
        int widths[3] = {};
        for (int i = 0; i < 3; ++i) {
            TRasterDIB copy;
            int failed = 1;
            form.CreateImage(failed, form.ItemFullPath(i), copy);
            widths[i] = copy.Width();
        }

        struct Step {
            const char* key;
            int selected, width;
        };
        const Step steps[] = {{"Next", 1, widths[1]}, {"End", 2, widths[2]},   {"Next", 2, widths[2]},
                              {"Home", 0, widths[0]}, {"Prior", 0, widths[0]}, {"Next", 1, widths[1]}};
        std::vector<std::string> seen;
        bool opened = false, closed = false;
        form.ShowDialogWindow = [&](TForm& window) {
            auto& viewer = dynamic_cast<TForm3&>(window);
            opened = true;
            QTimer::singleShot(0, [&] {
                PumpUntil(
                    [&] { return viewer.Window()->windowHandle() && viewer.Window()->windowHandle()->isExposed(); });
                RunAndWait("xdotool", {"windowfocus", "--sync", std::to_string(viewer.Window()->winId())});
                if (!PumpUntil([&] { return viewer.Window()->isActiveWindow(); })) {
                    seen.push_back("viewer never active");
                    viewer.Close();
                    return;
                }
                for (const Step& step : steps) {
                    Send(step.key);
                    const bool moved = PumpUntil([&] {
                        return form.ListView1->FirstSelected() == step.selected &&
                               viewer.RasterView1->PictureDIB.Width() == step.width;
                    });
                    seen.push_back(std::string(step.key) + (moved ? " ok" : " failed"));
                }
                Send("Escape");
                closed = PumpUntil([&] { return !viewer.Visible(); });
                if (!closed) viewer.Close();
            });
            return viewer.ShowModal();
        };
        form.Show();
        // No window manager here: the focus is given as a user's click would.
        PumpUntil([&] { return form.Window()->windowHandle() && form.Window()->windowHandle()->isExposed(); });
        RunAndWait("xdotool", {"windowfocus", "--sync", std::to_string(form.Window()->winId())});
        ASSERT_TRUE(PumpUntil([&] { return form.Window()->isActiveWindow(); }))
            << "the main window never got the focus";
        // A click on the first row, then Return: "View image".
        const QPoint row = form.ListView1->Widget()->mapToGlobal(QPoint(30, 30));
        RunAndWait("xdotool", {"mousemove", "--sync", std::to_string(row.x()), std::to_string(row.y()), "click", "1"});
        PumpUntil(
            [&] {
                return form.ListView1->Widget()->hasFocus() ||
                       form.ListView1->Widget()->isAncestorOf(QApplication::focusWidget());
            },
            3000);
        form.ListView1->SetSelected(form.ListView1->FirstSelected() < 0 ? 0 : form.ListView1->FirstSelected(), true);
        Send("Return");
        ASSERT_TRUE(PumpUntil([&] { return opened && (closed || !seen.empty()); }, 30000));
        EXPECT_EQ(seen, (std::vector<std::string>{"Next ok", "End ok", "Next ok", "Home ok", "Prior ok", "Next ok"}));
        EXPECT_TRUE(closed);
        EXPECT_EQ(form.ListView1->FirstSelected(), 1);
        form.Hide();
    }
    SetProgramFolder("");
}

}  // namespace
