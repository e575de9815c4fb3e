#include "platform/gui/Gui.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

TMenuItem::TMenuItem(TComponent* owner, std::string name, const std::string& caption)
    : TComponent(owner, std::move(name)), caption_(caption), action_(std::make_unique<QAction>())
{
    action_->setObjectName(ToQString(Name));
    if (caption == "-")
        action_->setSeparator(true);
    else
        action_->setText(ToQString(caption));
    QObject::connect(action_.get(), &QAction::triggered, action_.get(), [this] {
        // Entries do not toggle themselves; their handlers decide.
        if (action_->isCheckable()) action_->setChecked(checked_);
        Click();
    });
}

TMenuItem::~TMenuItem() = default;

void TMenuItem::SetCaption(const std::string& caption)
{
    caption_ = caption;
    action_->setText(ToQString(caption));
}

void TMenuItem::SetChecked(bool checked)
{
    checked_ = checked;
    action_->setCheckable(true);
    action_->setChecked(checked);
}

void TMenuItem::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    action_->setEnabled(enabled);
}

void TMenuItem::SetVisible(bool visible)
{
    visible_ = visible;
    action_->setVisible(visible);
}

void TMenuItem::SetShortCut(const std::string& keys)
{
    shortcut_ = keys;
    action_->setShortcut(QKeySequence(ToQString(keys)));
}

QMenu* TMenuItem::SubMenu()
{
    if (!submenu_) {
        submenu_ = std::make_unique<QMenu>();
        submenu_->setTitle(action_->text());
        action_->setMenu(submenu_.get());
    }
    return submenu_.get();
}

TMenuItem* TMenuItem::Add(const std::string& name, const std::string& caption)
{
    TMenuItem* child = Owner()->Make<TMenuItem>(name, caption);
    children_.push_back(child);
    SubMenu()->addAction(child->Action());
    return child;
}

void TMenuItem::Click()
{
    if (OnClick && enabled_) Dispatch([this] { OnClick(this); });
}

// ---------------------------------------------------------------------------

TMainMenu::TMainMenu(TComponent* owner, std::string name, QMenuBar* bar) : TComponent(owner, std::move(name)), bar_(bar)
{
}

TMenuItem* TMainMenu::Add(const std::string& name, const std::string& caption)
{
    TMenuItem* item = Owner()->Make<TMenuItem>(name, caption);
    item->SubMenu();
    bar_->addAction(item->Action());
    return item;
}

TPopupMenu::TPopupMenu(TComponent* owner, std::string name, QWidget* parent)
    : TComponent(owner, std::move(name)), menu_(new QMenu(parent))
{
}

TPopupMenu::~TPopupMenu() = default;

TMenuItem* TPopupMenu::Add(const std::string& name, const std::string& caption)
{
    TMenuItem* item = Owner()->Make<TMenuItem>(name, caption);
    items_.push_back(item);
    menu_->addAction(item->Action());
    return item;
}

void TPopupMenu::Popup(int screenX, int screenY) { menu_->popup(QPoint(screenX, screenY)); }

// ---------------------------------------------------------------------------

TToolButton::TToolButton(TComponent* owner, std::string name, QToolButton* button, const std::string& caption)
    : TControl(owner, std::move(name), button), button_(button)
{
    button_->setText(ToQString(caption));
    button_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QObject::connect(button_, &QToolButton::clicked, button_, [this] { Click(); });
    // OnMouseMove reports the mouse passing over the button, not only moves
    // with a button held: a drop-down opens on the press, before any such move.
    button_->setMouseTracking(true);
    WatchEvents(button_);
}

void TToolButton::SetDropdownMenu(TPopupMenu* menu)
{
    button_->setMenu(menu->Menu());
    button_->setPopupMode(QToolButton::MenuButtonPopup);
}

std::string TToolButton::Caption() const { return FromQString(button_->text()); }

TToolBar::TToolBar(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QToolBar(parent))
{
    bar_ = static_cast<QToolBar*>(Widget());
    bar_->setMovable(false);
    bar_->setFloatable(false);
}

TToolButton* TToolBar::AddButton(const std::string& name, const std::string& caption, const std::string& hint)
{
    auto* button = new QToolButton(bar_);  // owned by the tool bar
    bar_->addWidget(button);
    TToolButton* tool = Owner()->Make<TToolButton>(name, button, caption);
    tool->SetHint(hint);
    return tool;
}

void TToolBar::AddSeparator() { bar_->addSeparator(); }

TStatusBar::TStatusBar(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QStatusBar(parent))
{
    static_cast<QStatusBar*>(Widget())->setSizeGripEnabled(false);
}

void TStatusBar::AddPanel(int width)
{
    auto* bar = static_cast<QStatusBar*>(Widget());
    auto* label = new QLabel(bar);  // owned by the status bar
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(3);  // a framed label's own indent (half an "x") is wasted room in a bar this narrow
    // Panels keep their widths from the left, as the Windows bar's panels do:
    // a long text is cut at its panel's edge instead of running over the next
    // panel. Only the last panel may be narrower than its width (as wide as
    // its text), so it gives way where the bar is too narrow.
    if (!panels_.empty() && panels_.back()->maximumWidth() < QWIDGETSIZE_MAX)
        panels_.back()->setMinimumWidth(panels_.back()->maximumWidth());
    if (width > 0) {
        label->setMinimumWidth(0);
        label->setMaximumWidth(width);
    }
    bar->addWidget(label, width > 0 ? 0 : 1);
    panels_.push_back(label);
}

std::string TStatusBar::PanelText(int index) const
{
    return panels_.at(static_cast<std::size_t>(index))->property("bytes").toByteArray().toStdString();
}

void TStatusBar::SetPanelText(int index, const std::string& text)
{
    QLabel* label = panels_.at(static_cast<std::size_t>(index));
    label->setProperty("bytes", QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    label->setText(ToQString(text));
}
