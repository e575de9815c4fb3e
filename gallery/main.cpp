// The program block: the application, the main window, the message loop.
#include "formats/FormatCompressionTiff.h"
#include "formats/ImageFormats.h"
#include "gallery/mainwindow/pvu.h"
#include "widgets/kitapp.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>

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
    // Test hook: reports on stderr once the main window is on screen.
    QTimer shownProbe;
    if (std::getenv("PICTAVO_REPORT_SHOWN")) {
        QObject::connect(&shownProbe, &QTimer::timeout, [&form1, &shownProbe] {
            QWindow* window = form1.Window()->windowHandle();
            if (window && window->isExposed()) {
                std::fprintf(stderr, "main window shown\n");
                // A second copy runs as the first does; the flag is only reported.
                if (KitApplication && KitApplication->SecondInstance()) std::fprintf(stderr, "second instance\n");
                shownProbe.stop();
            }
        });
        shownProbe.start(20);
    }
    // Test hook: closes the main window after the given milliseconds, so a test
    // can start the real program under a virtual display and see it shut down.
    if (const char* delay = std::getenv("PICTAVO_AUTOCLOSE_MS")) {
        const int ms = std::atoi(delay);
        if (ms > 0) QTimer::singleShot(ms, [&form1] { form1.Close(); });
    }
    return application.Run(form1);
}
