// The program block: the application, the main window, the message loop.
#include "formats/FormatCompressionTiff.h"
#include "formats/ImageFormats.h"
#include "gallery/mainwindow/pvu.h"
#include "platform/system/System.h"
#include "widgets/kitapp.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    // The picture registry must know every loader before the first picture is read.
    InitializeImageFormats();
    // A JPEG strip of a TIFF whose data ends early is shown once per file.
    SetJPEGWarningHook([](const std::string& caption, const std::string& text) {
        MessageDlg(caption, text, TMsgDlgType::Warning, TMsgButtons::OK);
    });
    application.Title = "";
    // The component kit's start-up (cursors, its application object with the
    // single-instance lock, the program-wide container) comes before the main
    // window and is undone after it.
    TKitStartup kitStartup;
    TForm1 form1;
    // The description editor is made right after the main window and kept.
    form1.DescriptionEditor();
    // Test hooks, for tests that start the real program. Each waits for the
    // main window to be on screen first, however slowly the program starts:
    // PICTAVO_REPORT_SHOWN says so on stderr; PICTAVO_AUTOCLOSE_MS=n closes the
    // window n ms later; PICTAVO_CLOSE_WHEN=file closes it once that file exists.
    const bool reportShown = std::getenv("PICTAVO_REPORT_SHOWN") != nullptr;
    const char* autoClose = std::getenv("PICTAVO_AUTOCLOSE_MS");
    const char* closeWhen = std::getenv("PICTAVO_CLOSE_WHEN");
    QTimer shownProbe;
    bool shown = false;
    if (reportShown || autoClose || closeWhen) {
        QObject::connect(&shownProbe, &QTimer::timeout, [&] {
            if (!shown) {
                QWindow* window = form1.Window()->windowHandle();
                if (!window || !window->isExposed()) return;
                shown = true;
                if (reportShown) {
                    std::fprintf(stderr, "main window shown\n");
                    // A second copy runs as the first does; the flag is only reported.
                    if (KitApplication && KitApplication->SecondInstance()) std::fprintf(stderr, "second instance\n");
                }
                if (autoClose) QTimer::singleShot(std::max(0, std::atoi(autoClose)), [&form1] { form1.Close(); });
            }
            if (!closeWhen) {
                shownProbe.stop();
            } else if (FileExists(closeWhen)) {
                shownProbe.stop();
                form1.Close();
            }
        });
        shownProbe.start(20);
    }
    return application.Run(form1);
}
