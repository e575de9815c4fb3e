#include "platform/gui/Gui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

class FormEventFilter : public QObject {
public:
    FormEventFilter(TForm* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == form_->window_.get()) {
            if (event->type() == QEvent::Show) {
                form_->HandleShow();
            } else if (event->type() == QEvent::Close) {
                form_->HandleClose();
            }
        } else if (event->type() == QEvent::ToolTip && !form_->ShowHint) {
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && w->window() == form_->window_.get()) return true;  // hints are off on this form
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm* form_;
};

TForm::TForm(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)), window_(std::make_unique<QWidget>())
{
    window_->setObjectName(ToQString(Name));
    auto* layout = new QVBoxLayout(window_.get());  // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    client_ = new QWidget(window_.get());
    layout->addWidget(client_);
    // One application-wide filter sees the window's own events and the tool
    // tips of its controls.
    qApp->installEventFilter(new FormEventFilter(this, window_.get()));
}

TForm::~TForm()
{
    // Widgets go first, while the control wrappers still exist; no handler runs meanwhile.
    MarkDestroying();
    window_.reset();
}

std::string TForm::Caption() const { return FromQString(window_->windowTitle()); }
void TForm::SetCaption(const std::string& caption) { window_->setWindowTitle(ToQString(caption)); }

void TForm::SetFixedClientSize(int width, int height)
{
    client_->setFixedSize(width, height);
    window_->layout()->setSizeConstraint(QLayout::SetFixedSize);
    window_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window_->adjustSize();
}

void TForm::CenterOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    window_->adjustSize();
    QRect area = screen->availableGeometry();
    QSize size = window_->frameGeometry().size();
    window_->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void TForm::SetShowHint(bool show) { ShowHint = show; }

TMainMenu* TForm::CreateMainMenu(const std::string& name)
{
    if (!menuBar_) {
        menuBar_ = new QMenuBar(window_.get());  // owned by the window
        static_cast<QVBoxLayout*>(window_->layout())->setMenuBar(menuBar_);
    }
    return Make<TMainMenu>(name, menuBar_);
}

void TForm::Show() { window_->show(); }
void TForm::Hide() { window_->hide(); }
bool TForm::Visible() const { return window_->isVisible(); }

void TForm::Close() { window_->close(); }

void TForm::HandleShow()
{
    Dispatch([this] { FormShow(); });
}

void TForm::HandleClose()
{
    if (closing_) return;
    closing_ = true;
    Dispatch([this] { FormClose(); });
    closing_ = false;
}

int TForm::ShowModal()
{
    ModalResult = TModal::None;
    window_->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(qApp, &QApplication::lastWindowClosed, &loop, &QEventLoop::quit);
    struct HideFilter : QObject {
        QEventLoop* loop;
        explicit HideFilter(QEventLoop* l) : loop(l) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Hide) loop->quit();
            return false;
        }
    };
    HideFilter hideFilter(&loop);
    window_->installEventFilter(&hideFilter);
    // A dialog owned by a shown form stays above it and opens over its middle.
    if (auto* ownerForm = dynamic_cast<TForm*>(Owner()); ownerForm && ownerForm->Visible()) {
        window_->winId();
        ownerForm->Window()->winId();
        if (window_->windowHandle() && ownerForm->Window()->windowHandle())
            window_->windowHandle()->setTransientParent(ownerForm->Window()->windowHandle());
        window_->adjustSize();
        const QRect o = ownerForm->Window()->frameGeometry();
        window_->move(o.x() + (o.width() - window_->width()) / 2, o.y() + (o.height() - window_->height()) / 2);
    }
    inModal_ = true;
    window_->show();
    loop.exec();
    inModal_ = false;
    window_->removeEventFilter(&hideFilter);
    window_->setWindowModality(Qt::NonModal);
    if (ModalResult == TModal::None) ModalResult = TModal::Cancel;
    return ModalResult;
}
