#include "platform/gui/Gui.h"
#include "platform/gui/QtBridge.h"
#include "platform/core/Split.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QRadioButton>
#include <QScrollArea>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>

#include <climits>

namespace {

// Windows virtual-key numbers for the Qt keys our handlers look at.
int VirtualKeyOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Up: return 38;
    case Qt::Key_Down: return 40;
    case Qt::Key_Left: return 37;
    case Qt::Key_Right: return 39;
    case Qt::Key_Home: return 36;
    case Qt::Key_End: return 35;
    default: return (qtKey >= 0x20 && qtKey < 0x80) ? qtKey : 0;
    }
}

class ControlEventFilter : public QObject {
public:
    ControlEventFilter(TControl* control, QObject* parent) : QObject(parent), control_(control) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::FocusOut:
            if (control_->OnExit) {
                auto reason = static_cast<QFocusEvent*>(event)->reason();
                // A pop-up of the control's own (the combo list) is not leaving it.
                if (reason != Qt::PopupFocusReason) control_->Dispatch([this] { control_->OnExit(control_); });
            }
            break;
        case QEvent::KeyRelease:
            if (control_->OnKeyUp) {
                int key = VirtualKeyOf(static_cast<QKeyEvent*>(event)->key());
                control_->Dispatch([this, &key] { control_->OnKeyUp(control_, key); });
            }
            break;
        case QEvent::MouseMove:
            if (control_->OnMouseMove) {
                auto* m = static_cast<QMouseEvent*>(event);
                bool left = (m->buttons() & Qt::LeftButton) != 0;
                QPoint p = m->position().toPoint();
                control_->Dispatch([&] { control_->OnMouseMove(control_, TMouseButton::None, left, p.x(), p.y()); });
            }
            break;
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(event);
            QPoint p = m->position().toPoint();
            if (control_->OnMouseUp) {
                TMouseButton b = MouseButtonOf(m->button());
                control_->Dispatch([&] { control_->OnMouseUp(control_, b, false, p.x(), p.y()); });
            }
            auto* w = static_cast<QWidget*>(watched);
            if (control_->ClicksOnRelease() && m->button() == Qt::LeftButton && w->rect().contains(p) &&
                control_->Enabled())
                control_->Click();
            break;
        }
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TControl* control_;
};

// Items of a list widget or combo box keep their exact bytes beside the shown text.
QVariant BytesOf(const std::string& text)
{
    return QVariant(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

class ComboItems : public TStrings {
public:
    ComboItems(QComboBox* box, bool sorted) : box_(box), sorted_(sorted) {}
    int Count() const override { return box_->count(); }
    std::string Get(int index) const override
    {
        CheckIndex(index, Count());
        return box_->itemData(index).toByteArray().toStdString();
    }
    void Insert(int index, const std::string& text) override
    {
        if (index < 0 || index > Count()) CheckIndex(index, Count());
        if (sorted_) {
            index = 0;
            while (index < Count() && CompareText(Get(index), text) <= 0) ++index;
        }
        QString edit = box_->isEditable() ? box_->currentText() : QString();
        QSignalBlocker block(box_);
        box_->insertItem(index, ToQString(text), BytesOf(text));
        if (box_->isEditable()) box_->setEditText(edit);
    }
    void Delete(int index) override
    {
        CheckIndex(index, Count());
        QString edit = box_->isEditable() ? box_->currentText() : QString();
        QSignalBlocker block(box_);
        box_->removeItem(index);
        if (box_->isEditable()) box_->setEditText(edit);
    }
    void Clear() override
    {
        QSignalBlocker block(box_);
        box_->clear();
    }

private:
    QComboBox* box_;
    bool sorted_;
};

class ListWidgetItems : public TStrings {
public:
    explicit ListWidgetItems(QListWidget* list) : list_(list) {}
    int Count() const override { return list_->count(); }
    std::string Get(int index) const override
    {
        CheckIndex(index, Count());
        return list_->item(index)->data(Qt::UserRole).toByteArray().toStdString();
    }
    void Insert(int index, const std::string& text) override
    {
        if (index < 0 || index > Count()) CheckIndex(index, Count());
        auto* item = new QListWidgetItem(ToQString(text));  // owned by the list widget
        item->setData(Qt::UserRole, BytesOf(text));
        list_->insertItem(index, item);
    }
    void Delete(int index) override
    {
        CheckIndex(index, Count());
        delete list_->takeItem(index);  // takeItem hands ownership back to us
    }
    void Clear() override { list_->clear(); }

private:
    QListWidget* list_;
};

class MemoLines : public TStrings {
public:
    explicit MemoLines(QPlainTextEdit* edit) : edit_(edit)
    {
        // What the user types (or a caller appends to the view) becomes the
        // lines. The text is read back only when the lines are asked for:
        // reading the whole document at every change makes a growing log
        // quadratic. A memo not on screen is redrawn only when it is shown
        // (a hidden memo is a store of lines).
        QObject::connect(edit_, &QPlainTextEdit::textChanged, edit_, [this] {
            if (!syncing_) viewChanged_ = true;
        });
        edit_->installEventFilter(new ShowFilter(this, edit_));
    }
    int Count() const override { return static_cast<int>(Current().size()); }
    std::string Get(int index) const override
    {
        CheckIndex(index, Count());
        return Current()[static_cast<std::size_t>(index)];
    }
    void Insert(int index, const std::string& text) override
    {
        if (index < 0 || index > Count()) CheckIndex(index, Count());
        lines_.insert(lines_.begin() + index, text);
        Sync();
    }
    void Delete(int index) override
    {
        CheckIndex(index, Count());
        lines_.erase(lines_.begin() + index);
        Sync();
    }
    void Clear() override
    {
        lines_.clear();
        viewChanged_ = false;
        Sync();
    }

private:
    class ShowFilter : public QObject {
    public:
        ShowFilter(MemoLines* lines, QObject* parent) : QObject(parent), lines_(lines) {}
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Show && lines_->stale_) lines_->Sync();
            return QObject::eventFilter(watched, event);
        }

    private:
        MemoLines* lines_;
    };

    void Sync()
    {
        stale_ = !edit_->isVisible();
        if (stale_) return;
        std::string all;
        for (std::size_t i = 0; i < lines_.size(); ++i) all += (i ? "\n" : "") + lines_[i];
        syncing_ = true;
        edit_->setPlainText(ToQString(all));
        syncing_ = false;
    }
    // The text's lines; a last line break ends the last line, it starts none.
    const std::vector<std::string>& Current() const
    {
        if (viewChanged_) {
            viewChanged_ = false;
            stale_ = false;
            const std::string all = FromQString(edit_->toPlainText());
            lines_ = all.empty() ? std::vector<std::string>() : SplitText(all, '\n');
            if (!all.empty() && all.back() == '\n') lines_.pop_back();
        }
        return lines_;
    }
    QPlainTextEdit* edit_;
    mutable std::vector<std::string> lines_;
    mutable bool viewChanged_ = false;  // the view holds text the lines do not have yet
    bool syncing_ = false;
    mutable bool stale_ = false;  // the lines hold text the hidden view does not have yet
};

}  // namespace

// ---------------------------------------------------------------------------

TControl::TControl(TComponent* owner, std::string name, QWidget* widget)
    : TComponent(owner, std::move(name)), widget_(widget)
{
    widget_->setObjectName(ToQString(Name));
}

TControl::~TControl() = default;

bool TControl::Visible() const { return !widget_->isHidden(); }
void TControl::SetVisible(bool visible) { widget_->setVisible(visible); }
void TControl::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    widget_->setEnabled(enabled);
}
void TControl::SetBounds(int left, int top, int width, int height) { widget_->setGeometry(left, top, width, height); }
void TControl::SetHint(const std::string& hint) { widget_->setToolTip(ToQString(hint)); }

void TControl::SetColor(TColor color)
{
    color_ = color;
    QPalette pal = widget_->palette();
    pal.setColor(QPalette::Base, ToQColor(color));
    // A panel paints its background in its colour.
    if (widget_->metaObject() == &QFrame::staticMetaObject) {
        pal.setColor(QPalette::Window, ToQColor(color));
        widget_->setAutoFillBackground(true);
    }
    widget_->setPalette(pal);
}

TFontInfo TControl::Font() const
{
    TFontInfo info;
    QFont f = widget_->font();
    info.Name = FromQString(f.family());
    info.Size = f.pointSize();
    info.Bold = f.bold();
    info.Italic = f.italic();
    info.Underline = f.underline();
    info.StrikeOut = f.strikeOut();
    info.Color = fontColor_;
    return info;
}

void TControl::SetFont(const TFontInfo& info)
{
    QFont f = widget_->font();
    f.setFamily(ToQString(info.Name));
    if (info.Size > 0) f.setPointSize(info.Size);
    f.setBold(info.Bold);
    f.setItalic(info.Italic);
    f.setUnderline(info.Underline);
    f.setStrikeOut(info.StrikeOut);
    widget_->setFont(f);
    fontColor_ = info.Color;
    QPalette pal = widget_->palette();
    pal.setColor(QPalette::Text, ToQColor(info.Color));
    pal.setColor(QPalette::WindowText, ToQColor(info.Color));
    widget_->setPalette(pal);
}

void TControl::SetFocus() { widget_->setFocus(Qt::OtherFocusReason); }

void TControl::Click()
{
    if (OnClick) Dispatch([this] { OnClick(this); });
}

void TControl::WatchEvents(QWidget* target) { target->installEventFilter(new ControlEventFilter(this, target)); }

void TControl::ClickOnRelease()
{
    clicksOnRelease_ = true;
    widget_->setMouseTracking(true);
    WatchEvents(widget_);
}

// ---------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner, std::string name, QWidget* parent, const std::string& caption)
    : TControl(owner, std::move(name), new QLabel(parent))
{
    label_ = static_cast<QLabel*>(Widget());
    SetCaption(caption);
}
std::string TLabel::Caption() const { return label_->property("bytes").toByteArray().toStdString(); }
void TLabel::SetCaption(const std::string& caption)
{
    label_->setProperty("bytes", BytesOf(caption));
    // A label shows its accelerator mark as an underline, not as "&"; "&&" is a literal "&".
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') shown += '&', ++i;
            continue;
        }
        shown += caption[i];
    }
    label_->setText(ToQString(shown));
}

TEdit::TEdit(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QLineEdit(parent))
{
    edit_ = static_cast<QLineEdit*>(Widget());
    QObject::connect(edit_, &QLineEdit::textEdited, edit_, [this] {
        if (OnChange) Dispatch([this] { OnChange(this); });
    });
    WatchEvents(edit_);
}
std::string TEdit::Text() const { return FromQString(edit_->text()); }
void TEdit::SetText(const std::string& text)
{
    edit_->setText(ToQString(text));
    // A long text shows its beginning, as an edit set from code does on Windows.
    edit_->setCursorPosition(0);
}

TComboBox::TComboBox(TComponent* owner, std::string name, QWidget* parent, bool editable, bool sorted)
    : TControl(owner, std::move(name), new QComboBox(parent)), sorted_(sorted)
{
    box_ = static_cast<QComboBox*>(Widget());
    box_->setEditable(editable);
    if (editable) {
        box_->setInsertPolicy(QComboBox::NoInsert);
        box_->setCompleter(nullptr);
        QObject::connect(box_->lineEdit(), &QLineEdit::textEdited, box_, [this] {
            if (OnChange) Dispatch([this] { OnChange(this); });
        });
        WatchEvents(box_->lineEdit());
    }
    items_ = std::make_unique<ComboItems>(box_, sorted);
    QObject::connect(box_, &QComboBox::activated, box_, [this] {
        if (OnChange) Dispatch([this] { OnChange(this); });
        if (OnClick) Dispatch([this] { OnClick(this); });
    });
    WatchEvents(box_);
}
TComboBox::~TComboBox() = default;
bool TComboBox::Editable() const { return box_->isEditable(); }
int TComboBox::ItemIndex() const { return box_->currentIndex(); }
void TComboBox::SetItemIndex(int index)
{
    QSignalBlocker block(box_);
    box_->setCurrentIndex(index >= 0 && index < box_->count() ? index : -1);
}
std::string TComboBox::Text() const
{
    if (box_->isEditable()) return FromQString(box_->currentText());
    int i = box_->currentIndex();
    return i >= 0 ? items_->Get(i) : std::string();
}
void TComboBox::SetText(const std::string& text)
{
    QSignalBlocker block(box_);
    if (box_->isEditable()) {
        box_->setEditText(ToQString(text));
    } else {
        box_->setCurrentIndex(items_->IndexOf(text));
    }
}

TSpinEdit::TSpinEdit(TComponent* owner, std::string name, QWidget* parent, int minValue, int maxValue)
    : TControl(owner, std::move(name), new QSpinBox(parent)), min_(minValue), max_(maxValue)
{
    spin_ = static_cast<QSpinBox*>(Widget());
    QObject::connect(spin_, &QSpinBox::valueChanged, spin_, [this] {
        if (OnChange) Dispatch([this] { OnChange(this); });
    });
    if (min_ == max_)
        spin_->setRange(INT_MIN, INT_MAX);
    else
        spin_->setRange(min_, max_);
    WatchEvents(spin_);
}
int TSpinEdit::Value() const { return spin_->value(); }
void TSpinEdit::SetValue(int value)
{
    if (min_ != max_) value = value < min_ ? min_ : (value > max_ ? max_ : value);
    spin_->setValue(value);
}

TCheckBox::TCheckBox(TComponent* owner, std::string name, QWidget* parent, const std::string& caption)
    : TControl(owner, std::move(name), new QCheckBox(parent))
{
    check_ = static_cast<QCheckBox*>(Widget());
    check_->setText(ToQString(caption));
    QObject::connect(check_, &QCheckBox::clicked, check_, [this] { Click(); });
}
bool TCheckBox::Checked() const { return check_->isChecked(); }
void TCheckBox::SetChecked(bool checked) { check_->setChecked(checked); }
std::string TCheckBox::Caption() const { return FromQString(check_->text()); }

TButton::TButton(TComponent* owner, std::string name, QWidget* parent, const std::string& caption)
    : TControl(owner, std::move(name), new QPushButton(parent))
{
    button_ = static_cast<QPushButton*>(Widget());
    SetCaption(caption);
    QObject::connect(button_, &QPushButton::clicked, button_, [this] { Click(); });
}
std::string TButton::Caption() const { return FromQString(button_->text()); }
void TButton::SetCaption(const std::string& caption) { button_->setText(ToQString(caption)); }
void TButton::SetDefault(bool isDefault)
{
    default_ = isDefault;
    // Drawn as the default button.
    button_->setDefault(isDefault);
}

TListBox::TListBox(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QListWidget(parent))
{
    list_ = static_cast<QListWidget*>(Widget());
    items_ = std::make_unique<ListWidgetItems>(list_);
}
TListBox::~TListBox() = default;
int TListBox::ItemIndex() const { return list_->currentRow(); }
void TListBox::SetItemIndex(int index) { list_->setCurrentRow(index >= 0 && index < list_->count() ? index : -1); }

TMemo::TMemo(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QPlainTextEdit(parent))
{
    lines_ = std::make_unique<MemoLines>(static_cast<QPlainTextEdit*>(Widget()));
}
TMemo::~TMemo() = default;

TGroupBox::TGroupBox(TComponent* owner, std::string name, QWidget* parent, const std::string& caption)
    : TControl(owner, std::move(name), new QGroupBox(ToQString(caption), parent))
{
}

TPanel::TPanel(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QFrame(parent))
{
}
void TPanel::SetBevel(bool edged)
{
    auto* frame = static_cast<QFrame*>(Widget());
    // A plain dark edge shows a white swatch on a white page too.
    frame->setFrameShape(edged ? QFrame::Box : QFrame::NoFrame);
    frame->setFrameShadow(QFrame::Plain);
}

TRadioButton::TRadioButton(TComponent* owner, std::string name, QWidget* parent, const std::string& caption)
    : TControl(owner, std::move(name), new QRadioButton(parent))
{
    radio_ = static_cast<QRadioButton*>(Widget());
    radio_->setText(ToQString(caption));
    QObject::connect(radio_, &QRadioButton::clicked, radio_, [this] { Click(); });
}
bool TRadioButton::Checked() const { return radio_->isChecked(); }
void TRadioButton::SetChecked(bool checked)
{
    // Unchecking a button of a group takes exclusivity off for the moment, so
    // both buttons of a pair can stand unchecked.
    if (!checked && radio_->isChecked()) {
        radio_->setAutoExclusive(false);
        radio_->setChecked(false);
        radio_->setAutoExclusive(true);
        return;
    }
    radio_->setChecked(checked);
}
std::string TRadioButton::Caption() const { return FromQString(radio_->text()); }

TScrollBox::TScrollBox(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QScrollArea(parent))
{
    auto* area = static_cast<QScrollArea*>(Widget());
    content_ = new QWidget;  // owned by the area once set
    area->setWidget(content_);
    area->setWidgetResizable(false);
}

TProgressBar::TProgressBar(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QProgressBar(parent))
{
    bar_ = static_cast<QProgressBar*>(Widget());
    bar_->setRange(0, 100);
    bar_->setValue(0);
}
int TProgressBar::Max() const { return bar_->maximum(); }
void TProgressBar::SetMax(int max) { bar_->setMaximum(max > 0 ? max : 0); }
int TProgressBar::Position() const { return bar_->value(); }
void TProgressBar::SetPosition(int position)
{
    bar_->setValue(position < 0 ? 0 : (position > bar_->maximum() ? bar_->maximum() : position));
}
void TProgressBar::StepBy(int delta) { SetPosition(Position() + delta); }

TTabSheet::TTabSheet(TComponent* owner, std::string name, QWidget* page, const std::string& caption)
    : TControl(owner, std::move(name), page), Caption(caption)
{
}

TPageControl::TPageControl(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QTabWidget(parent))
{
    tabs_ = static_cast<QTabWidget*>(Widget());
}
TTabSheet* TPageControl::AddPage(const std::string& name, const std::string& caption)
{
    auto* page = new QWidget;  // owned by the tab widget once added
    tabs_->addTab(page, ToQString(caption));
    TTabSheet* sheet = Owner()->Make<TTabSheet>(name, page, caption);
    pages_.push_back(sheet);
    return sheet;
}
int TPageControl::ActivePageIndex() const { return tabs_->currentIndex(); }
void TPageControl::SetActivePageIndex(int index)
{
    if (index >= 0 && index < tabs_->count()) tabs_->setCurrentIndex(index);
}

TNotebook::TNotebook(TComponent* owner, std::string name, QWidget* parent)
    : TControl(owner, std::move(name), new QStackedWidget(parent))
{
    stack_ = static_cast<QStackedWidget*>(Widget());
}
QWidget* TNotebook::AddPage()
{
    auto* page = new QWidget;  // owned by the stack once added
    stack_->addWidget(page);
    return page;
}
int TNotebook::PageCount() const { return stack_->count(); }
int TNotebook::PageIndex() const { return stack_->currentIndex(); }
void TNotebook::SetPageIndex(int index)
{
    if (index >= 0 && index < stack_->count()) stack_->setCurrentIndex(index);
}

TMouseButton MouseButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return TMouseButton::Left;
    case Qt::RightButton: return TMouseButton::Right;
    case Qt::MiddleButton: return TMouseButton::Middle;
    default: return TMouseButton::None;
    }
}

QColor ToQColor(TColor colour)
{
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}
