// Forms on a real X server (Xvfb) with a window manager (openbox), which
// frames a window only once it is shown: a window placed before its frame is
// known still ends up wholly on the screen.
#include "platform/gui/Gui.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

using testsupport::PumpUntil;

class FormsX11 : public testsupport::X11Suite {
protected:
    static void SetUpTestSuite()
    {
        if (StartX11({}, "640x480x24")) StartWindowManager();
    }
};

TEST_F(FormsX11, AWindowPlacedBeforeItsFrameIsKnownIsFittedOnceItIs)
{
    // No other window is shown, so nothing tells the frame this one gets: it
    // is placed as if it had none, each time, since hiding it unframes it.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    TForm form(nullptr, "Form1");
    form.SetFixedClientSize(200, 100);
    for (const QPoint asked : {QPoint(-500, -500), QPoint(5000, -500), QPoint(-500, 5000), QPoint(5000, 5000)}) {
        form.PlaceFrame(asked.x(), asked.y());
        form.Show();
        QWindow* window = form.Window()->windowHandle();
        // The frame as the window manager tells it, once it has framed the window.
        QRect frame;
        const bool fitted = PumpUntil(
            [&] {
                if (!window->isExposed() || window->frameMargins().isNull()) return false;
                frame = window->frameGeometry();
                return frame == FitFrameInArea(QRect(asked, frame.size()), area);
            },
            3000);
        EXPECT_TRUE(fitted) << "asked for " << asked.x() << "," << asked.y() << ": " << frame.x() << "," << frame.y()
                            << " " << frame.width() << "x" << frame.height();
        form.Hide();
        ASSERT_TRUE(PumpUntil([&] { return window->frameMargins().isNull(); })) << "still framed when hidden";
    }
}

// An X server or window manager that is installed but does not come up
// fails the suite's tests: a skip would read as a pass in the totals.
TEST(X11SuiteStart, ServerOrWindowManagerThatDoesNotComeUpFailsTheTests)
{
    if (!testsupport::ProgramOnPath("Xvfb") || !testsupport::ProgramOnPath("openbox"))
        GTEST_SKIP() << "Xvfb or openbox is not installed";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::pair<const char*, const char*> cases[] = {{"Xvfb", "Xvfb did not report a display"},
                                                         {"openbox", "openbox ended before it framed a window"}};
    for (const auto& [program, reason] : cases) {
        testsupport::TempDir bin;
        const std::string stand_in = bin.file(program, "#!/bin/sh\nexit 0\n");
        std::filesystem::permissions(stand_in, std::filesystem::perms::owner_all);
        const testsupport::CommandOutput run = testsupport::RunCapture("PATH='" + bin.path.string() + "':\"$PATH\" '" +
                                                                       self + "' --gtest_filter='FormsX11.*' 2>&1");
        // CTest takes GoogleTest's skip mark anywhere in the output for a
        // skip of this test, so the child's output is shown without it.
        std::string shown = run.Output;
        for (std::size_t at; (at = shown.find("[  SKIPPED ]")) != std::string::npos;)
            shown.replace(at, 12, "[ skipped ]");
        EXPECT_EQ(run.ExitCode, 1) << program << "\n" << shown;
        EXPECT_NE(run.Output.find(reason), std::string::npos) << shown;
        EXPECT_EQ(run.Output.find("SKIPPED"), std::string::npos) << shown;
    }
}

}  // namespace
