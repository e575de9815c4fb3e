#include "platform/gui/Gui.h"

#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <vector>

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

namespace {

// A status panel asks the bar's layout for the width the row gave it, not
// for its text's.
class StatusPanel : public QLabel {
public:
    explicit StatusPanel(QWidget* parent, int width) : QLabel(parent), set_(width)
    {
        setSizePolicy(width > 0 ? QSizePolicy::Fixed : QSizePolicy::Expanding, QSizePolicy::Preferred);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setIndent(3);  // a framed label's own indent (half an "x") is wasted room in a bar this narrow
    }
    int SetWidth() const { return set_; }
    int TextWidth() const { return QLabel::sizeHint().width(); }
    void Give(int width)
    {
        if (width == given_) return;
        given_ = width;
        updateGeometry();
    }
    QSize sizeHint() const override { return {given_, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {given_, QLabel::minimumSizeHint().height()}; }

private:
    int set_;
    int given_ = 0;
};

}  // namespace

// The widths of a status bar's panels, set again whenever a text, the bar's
// width or its font changes. Panels keep their widths from the left, as the
// Windows bar's panels do, and a long text never runs over the next panel;
// the last panel (and one without a width) is as wide as its text, up to its
// width. A text longer than its panel takes the room the bar has free, then
// what other panels hold beyond their own texts (the last one's first); only
// then is it cut at its panel's edge. A bar too narrow for the panels takes
// back first what they hold beyond their texts, then cuts texts from the
// last panel on.
class StatusPanelRow : public QObject {
public:
    explicit StatusPanelRow(QStatusBar* bar) : QObject(bar), bar_(bar) { bar->installEventFilter(this); }

    QLabel* Add(int width)
    {
        auto* panel = new StatusPanel(bar_, width);  // owned by the status bar
        bar_->addWidget(panel, width > 0 ? 0 : 1);
        panels_.push_back(panel);
        Arrange();
        return panel;
    }

    void Arrange()
    {
        const std::size_t count = panels_.size();
        std::vector<int> need(count), width(count);
        int used = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const StatusPanel* panel = panels_[i];
            if (panel->isHidden()) continue;
            need[i] = panel->TextWidth();
            const int set = panel->SetWidth();
            if (set <= 0)
                width[i] = need[i];
            else
                width[i] = i + 1 == count ? std::min(set, need[i]) : set;
            used += width[i];
        }
        const int room = Room();
        // What other panels hold beyond their texts, the last one's first,
        // up to `wanted`; taken from them and returned.
        auto takeSpare = [&](std::size_t except, int wanted) {
            int taken = 0;
            for (std::size_t j = count; j-- > 0 && taken < wanted;) {
                const int spare = j == except ? 0 : std::min(wanted - taken, width[j] - need[j]);
                if (spare <= 0) continue;
                width[j] -= spare;
                taken += spare;
            }
            return taken;
        };
        for (std::size_t i = 0; i < count; ++i) {
            const int missing = need[i] - width[i];
            if (missing <= 0) continue;
            const int free = std::min(missing, std::max(0, room - used));
            width[i] += free;
            used += free;
            width[i] += takeSpare(i, missing - free);
        }
        if (used > room) used -= takeSpare(count, used - room);
        for (std::size_t j = count; j-- > 0 && used > room;) {
            const int cut = std::min(width[j], used - room);
            width[j] -= cut;
            used -= cut;
        }
        for (std::size_t i = 0; i < count; ++i)
            if (!panels_[i]->isHidden()) panels_[i]->Give(width[i]);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == bar_ && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange ||
                                event->type() == QEvent::StyleChange))
            Arrange();
        return QObject::eventFilter(watched, event);
    }

private:
    // The bar's width less what its row of items spends besides the panels:
    // QStatusBar puts a small spacer before them and a gap between each two.
    int Room() const
    {
        int room = bar_->contentsRect().width();
        QLayout* outer = bar_->layout();
        if (outer == nullptr) return room;
        room -= outer->contentsMargins().left() + outer->contentsMargins().right();
        for (int i = 0; i < outer->count(); ++i) {
            auto* row = qobject_cast<QBoxLayout*>(outer->itemAt(i)->layout());
            if (row == nullptr) continue;
            room -= row->contentsMargins().left() + row->contentsMargins().right();
            int shown = 0;
            for (int j = 0; j < row->count(); ++j) {
                QLayoutItem* item = row->itemAt(j);
                if (item->spacerItem() != nullptr)
                    room -= item->spacerItem()->sizeHint().width();
                else if (!item->isEmpty())
                    ++shown;
            }
            if (shown > 1) room -= row->spacing() * (shown - 1);
            break;
        }
        return room;
    }

    QStatusBar* bar_;
    std::vector<StatusPanel*> panels_;
};

TStatusBar::TStatusBar(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QStatusBar(parent))
{
    auto* bar = static_cast<QStatusBar*>(Widget());
    bar->setSizeGripEnabled(false);
    row_ = new StatusPanelRow(bar);  // owned by the bar
}

void TStatusBar::AddPanel(int width) { panels_.push_back(row_->Add(width)); }

std::string TStatusBar::PanelText(int index) const
{
    return panels_.at(static_cast<std::size_t>(index))->property("bytes").toByteArray().toStdString();
}

void TStatusBar::SetPanelText(int index, const std::string& text)
{
    QLabel* label = panels_.at(static_cast<std::size_t>(index));
    label->setProperty("bytes", QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    label->setText(ToQString(text));
    row_->Arrange();
}
