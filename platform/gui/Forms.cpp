#include "platform/gui/Gui.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

bool IsPlainButton(const QWidget* widget)
{
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    return button && !button->isCheckable();
}

// The frame as the window system reports it now (none before the window is made).
QMargins MarginsOf(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The window manager frames a window only once it is shown: until then its
// frame is taken to be like that of a window already on screen.
QMargins FrameMargins(const QWidget* window)
{
    const QMargins own = MarginsOf(window);
    if (!own.isNull() || (window->windowFlags() & Qt::FramelessWindowHint)) return own;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        const bool framed = other->windowType() == Qt::Window || other->windowType() == Qt::Dialog;
        if (other == window || !framed || !other->isVisible() || (other->windowFlags() & Qt::FramelessWindowHint))
            continue;
        if (const QMargins margins = MarginsOf(other); !margins.isNull()) return margins;
    }
    return own;
}

// Every component of kind T that owner owns, at any depth.
template <class T, class Visit>
void ForEach(const TComponent& owner, const Visit& visit)
{
    for (int i = 0; i < owner.ComponentCount(); ++i) {
        TComponent* component = owner.Component(i);
        if (auto* found = dynamic_cast<T*>(component)) visit(*found);
        ForEach<T>(*component, visit);
    }
}

}  // namespace

QRect FitFrameInArea(const QRect& frame, const QRect& area)
{
    const int x = std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
    const int y = std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
    return QRect(QPoint(x, y), frame.size());
}

class FormEventFilter : public QObject {
public:
    FormEventFilter(TForm* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == form_->window_.get()) {
            if (event->type() == QEvent::Show) {
                form_->HandleShow();
            } else if (event->type() == QEvent::Hide) {
                form_->placed_.reset();
            } else if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                       event->type() == QEvent::WindowActivate) {
                form_->FitPlacedFrame();
            } else if (event->type() == QEvent::Close) {
                form_->HandleClose();
            } else if (event->type() == QEvent::KeyPress) {
                // A key reaches the window itself when no control took it.
                if (form_->PressDialogButton(*static_cast<QKeyEvent*>(event))) return true;
            }
        }
        // The window manager has mapped the frame when the window is exposed.
        if (event->type() == QEvent::Expose && watched == form_->window_->windowHandle()) form_->FitPlacedFrame();
        // Number-pad keys are looked at where they are delivered first: at
        // the control with the focus.
        if (event->type() == QEvent::KeyPress) {
            auto* widget = qobject_cast<QWidget*>(watched);
            const auto* key = static_cast<QKeyEvent*>(event);
            if (widget && widget->window() == form_->window_.get() && (key->modifiers() & Qt::KeypadModifier) &&
                widget == (widget->window()->focusWidget() ? widget->window()->focusWidget() : widget->window()) &&
                form_->RunKeypadShortcut(widget, *key))
                return true;
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

void TForm::CenterOnScreen() { CenterOver(nullptr); }

void TForm::CenterOver(const TForm* other)
{
    window_->adjustSize();
    QRect around;
    if (other && other->Visible()) {
        around = other->FrameGeometry();
    } else {
        QScreen* screen = other ? other->Window()->screen() : nullptr;
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (!screen) return;
        around = screen->availableGeometry();
    }
    const QSize size = window_->size().grownBy(FrameMargins(window_.get()));
    PlaceFrame(around.x() + (around.width() - size.width()) / 2, around.y() + (around.height() - size.height()) / 2);
}

void TForm::PlaceFrame(int left, int top)
{
    const QMargins margins = FrameMargins(window_.get());
    QRect frame(QPoint(left, top), window_->size().grownBy(margins));
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen) screen = window_->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) frame = FitFrameInArea(frame, screen->availableGeometry());
    // The window itself goes inside that frame: a window not framed yet gets
    // its frame around it where it stands.
    placed_ = Placement{frame.marginsRemoved(margins).topLeft(), margins};
    window_->setGeometry(frame.marginsRemoved(margins));
}

// Not Qt's own frameGeometry() of the widget: that keeps the margins read at
// the window's last move or resize, which can be ones read while the window
// manager was still framing the window (under openbox none at the top and
// left, the whole title bar at the bottom), and a window framed without being
// moved keeps them. The margins are read anew here.
QRect TForm::FrameGeometry() const { return window_->geometry().marginsAdded(FrameMargins(window_.get())); }

void TForm::FitPlacedFrame()
{
    // The frame is known once the window is exposed: the window manager has
    // framed it then, and margins read before may be of a frame half made.
    const QWindow* handle = window_->windowHandle();
    if (!placed_ || !handle || !handle->isExposed()) return;
    const QMargins own = MarginsOf(window_.get());
    if (own.isNull() && !(window_->windowFlags() & Qt::FramelessWindowHint)) return;
    // Moved since it was placed (by the user or the window manager): that place stands.
    const bool moved = window_->geometry().topLeft() != placed_->client;
    const bool sameFrame = own == placed_->margins;
    placed_.reset();
    if (moved || sameFrame) return;
    const QPoint frame = window_->geometry().marginsAdded(own).topLeft();
    PlaceFrame(frame.x(), frame.y());
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
    if (IsDialog()) FocusFirstControl();
}

bool TForm::IsDialog() const
{
    bool dialog = false;
    ForEach<TButton>(*this, [&](const TButton& b) { dialog = dialog || b.Default() || b.Cancel(); });
    return dialog;
}

TButton* TForm::ShownButton(bool cancel) const
{
    TButton* found = nullptr;
    ForEach<TButton>(*this, [&](TButton& b) {
        const QWidget* w = b.Widget();
        if (!found && (cancel ? b.Cancel() : b.Default()) && w->isVisible() && w->isEnabled() &&
            w->window() == window_.get())
            found = &b;
    });
    return found;
}

void TForm::FocusFirstControl()
{
    const auto takesInput = [this](const QWidget* w) {
        return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && w->window() == window_.get() &&
               !IsPlainButton(w);
    };
    // A control the user left the focus in stays focused; a button does not.
    if (const QWidget* focus = window_->focusWidget(); focus && takesInput(focus)) return;
    for (QWidget* w = window_->nextInFocusChain(); w && w != window_.get(); w = w->nextInFocusChain())
        if (takesInput(w) && !w->focusProxy()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    if (TButton* ok = ShownButton(false)) ok->Widget()->setFocus(Qt::TabFocusReason);
}

bool TForm::RunKeypadShortcut(QWidget* focus, const QKeyEvent& key)
{
    const QKeySequence pressed(key.keyCombination());
    TMenuItem* entry = nullptr;
    ForEach<TMenuItem>(*this, [&](TMenuItem& m) {
        if (!entry && m.Enabled() && m.Visible() && !m.ShortCut().empty() && m.Action()->shortcut() == pressed)
            entry = &m;
    });
    if (!entry) return false;
    // A control that takes the key as input (a text field types it) keeps
    // it, as it keeps any shortcut's key.
    QKeyEvent claim(QEvent::ShortcutOverride, key.key(), key.modifiers(), key.text());
    claim.ignore();
    QCoreApplication::sendEvent(focus, &claim);
    if (claim.isAccepted()) return false;
    entry->Click();
    return true;
}

bool TForm::PressDialogButton(const QKeyEvent& key)
{
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    if (key.key() == Qt::Key_Escape) {
        TButton* cancel = ShownButton(true);
        if (cancel) cancel->Click();
        return cancel != nullptr;
    }
    if ((key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) || !IsDialog()) return false;
    // A focused button is pressed itself (the default one took its Enter already).
    if (QWidget* focus = window_->focusWidget(); focus && IsPlainButton(focus) && focus->isEnabled()) {
        static_cast<QAbstractButton*>(focus)->click();
        return true;
    }
    TButton* ok = ShownButton(false);
    if (ok) ok->Click();
    return ok != nullptr;
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
        CenterOver(ownerForm);
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
