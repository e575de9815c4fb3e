#include "platform/gui/Gui.h"

#include <QApplication>

#include <cstdio>

TApplication* Application = nullptr;

namespace {
// Exceptions that escape a handler stop at the message loop: shown, then the loop goes on.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const EAbort&) {
        } catch (const std::exception& error) {
            if (Application) Application->HandleException(error);
        }
        return false;
    }
};
}  // namespace

TApplication::TApplication(int& argc, char** argv)
{
    if (QApplication::instance()) {
        std::fprintf(stderr, "TApplication: a Qt application exists already\n");
    } else {
        app_ = std::make_unique<GuardedApplication>(argc, argv);
    }
    Application = this;
}

TApplication::~TApplication()
{
    if (Application == this) Application = nullptr;
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TApplication::HandleException(const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error)) return;
    std::string title = Title.empty() ? FromQString(QCoreApplication::applicationName()) : Title;
    MessageDlg(title, error.what(), TMsgDlgType::Error, TMsgButtons::OK);
}

int TApplication::Run(TForm& mainForm)
{
    mainForm.Show();
    if (terminated_) return 0;
    return QApplication::exec();
}

void TApplication::Terminate()
{
    terminated_ = true;
    QCoreApplication::quit();
}
