#pragma once
// Thin window controls over Qt Widgets. Every control is a component with a
// Name, owned by its form; the Qt widget it wraps is owned by Qt's parent tree.
// Text crosses this boundary as byte strings (UTF-8 bytes for Qt).

#include "platform/core/AsciiCase.h"
#include "platform/core/Color.h"
#include "platform/core/Exception.h"

#include <QMargins>
#include <QPoint>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class QFileDialog;
class QMessageBox;
class QComboBox;
class QLineEdit;
class QLabel;
class QSpinBox;
class QCheckBox;
class QPushButton;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;
class QStackedWidget;
class QGroupBox;
class QProgressBar;
class QMenu;
class QMenuBar;
class QAction;
class QToolBar;
class QToolButton;
class QStatusBar;
class QRadioButton;
class QScrollArea;
class QFrame;
class QString;
class QRect;

class TComponent;
class TForm;
class TMenuItem;
class TPopupMenu;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
// Key codes are the Windows virtual-key numbers the handlers test (46 = Delete).
using TKeyEvent = std::function<void(TComponent* Sender, int& Key)>;
enum class TMouseButton { None, Left, Right, Middle };
using TMouseEvent = std::function<void(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y)>;

constexpr int VK_RETURN = 13;
constexpr int VK_DELETE = 46;

// Colours (TColor) are GDI numbers 0x00BBGGRR.
constexpr TColor clWindow = 0xFFFFFF;
constexpr TColor clBtnFace = 0xF0F0F0;

class EListError : public Exception {
public:
    using Exception::Exception;
};

// Text conversions at the Qt boundary, lossless both ways: a byte that is
// not part of valid UTF-8 (a file name of another encoding) comes back as
// that byte.
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);
// Every name comparison of the windows folds ASCII letters only
// (AsciiLower, SameText and CompareText of platform/core/AsciiCase.h).

// ---------------------------------------------------------------------------
// Components

class TComponent {
public:
    TComponent(TComponent* owner, std::string name);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string Name;
    int Tag = 0;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Component(int index) const { return components_.at(static_cast<std::size_t>(index)).get(); }
    // Looks the name up among every component this one owns, at any depth, ignoring case.
    TComponent* FindComponent(const std::string& name) const;
    template <class T>
    T* Find(const std::string& name) const
    {
        return dynamic_cast<T*>(FindComponent(name));
    }

    // Creates a component owned by this one.
    template <class T, class... Args>
    T* Make(Args&&... args)
    {
        auto made = std::make_unique<T>(this, std::forward<Args>(args)...);
        T* raw = made.get();
        components_.push_back(std::move(made));
        return raw;
    }

    // Runs an event handler; an exception that escapes it goes to the application's
    // exception box, as the message loop would show it, and the program goes on.
    void Dispatch(const std::function<void()>& handler);
    bool Destroying() const;

protected:
    void MarkDestroying();

private:
    TComponent* owner_;
    std::vector<std::unique_ptr<TComponent>> components_;
    bool destroying_ = false;
};

// ---------------------------------------------------------------------------
// Lists of strings held by a control (combo box items, list box lines, memo lines).

class TStrings {
public:
    virtual ~TStrings() = default;
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Insert(int index, const std::string& text) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual void Put(int index, const std::string& text);

    std::string operator[](int index) const { return Get(index); }
    int Add(const std::string& text);
    // Case-insensitive like the framework's string lists; -1 when absent.
    int IndexOf(const std::string& text) const;
    void Assign(const std::vector<std::string>& lines);
    std::vector<std::string> ToVector() const;

protected:
    void CheckIndex(int index, int limit) const;
};

// ---------------------------------------------------------------------------
// Controls

struct TFontInfo {
    std::string Name = "Sans Serif";
    int Size = 9;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    TColor Color = 0;
};

class TControl : public TComponent {
public:
    TControl(TComponent* owner, std::string name, QWidget* widget);
    ~TControl() override;

    QWidget* Widget() const { return widget_; }
    bool Visible() const;
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    void SetBounds(int left, int top, int width, int height);
    void SetHint(const std::string& hint);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontInfo Font() const;
    void SetFont(const TFontInfo& font);
    void SetFocus();

    TNotifyEvent OnClick;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyUp;
    TMouseEvent OnMouseMove;
    TMouseEvent OnMouseUp;

    // Fires OnClick as a user's click would.
    virtual void Click();

protected:
    // Routes focus-out, key-release and mouse events of a widget to the handlers above.
    void WatchEvents(QWidget* target);

public:
    // Panels and labels: a left-button release over the control is a click, and
    // the mouse is followed without a button held.
    void ClickOnRelease();
    bool ClicksOnRelease() const { return clicksOnRelease_; }

private:
    bool clicksOnRelease_ = false;

private:
    QWidget* widget_;
    bool enabled_ = true;
    TColor color_ = clWindow;
    TColor fontColor_ = 0;
};

class TLabel : public TControl {
public:
    TLabel(TComponent* owner, std::string name, QWidget* parent, const std::string& caption = "");
    std::string Caption() const;
    void SetCaption(const std::string& caption);

private:
    QLabel* label_;
};

class TEdit : public TControl {
public:
    TEdit(TComponent* owner, std::string name, QWidget* parent);
    std::string Text() const;
    void SetText(const std::string& text);
    TNotifyEvent OnChange;

private:
    QLineEdit* edit_;
};

class TComboBox : public TControl {
public:
    // editable: a drop-down with a text field; sorted: items are kept in case-insensitive order.
    TComboBox(TComponent* owner, std::string name, QWidget* parent, bool editable, bool sorted = false);
    ~TComboBox() override;
    TStrings& Items() { return *items_; }
    const TStrings& Items() const { return *items_; }
    int ItemIndex() const;
    // An index outside the list leaves the box without a selection.
    void SetItemIndex(int index);
    std::string Text() const;
    // Virtual so a box with its own text rule (the font list) keeps it when bound by name.
    virtual void SetText(const std::string& text);
    bool Sorted() const { return sorted_; }
    bool Editable() const;
    QComboBox* Box() const { return box_; }

    TNotifyEvent OnChange;

private:
    QComboBox* box_;
    bool sorted_;
    std::unique_ptr<TStrings> items_;
};

class TSpinEdit : public TControl {
public:
    // Equal minimum and maximum mean "no range".
    TSpinEdit(TComponent* owner, std::string name, QWidget* parent, int minValue, int maxValue);
    int Value() const;
    // Clamped into the range when the range is set.
    void SetValue(int value);
    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    // Every change of the value, typed or set.
    TNotifyEvent OnChange;

private:
    QSpinBox* spin_;
    int min_, max_;
};

class TCheckBox : public TControl {
public:
    TCheckBox(TComponent* owner, std::string name, QWidget* parent, const std::string& caption);
    bool Checked() const;
    void SetChecked(bool checked);
    std::string Caption() const;

private:
    QCheckBox* check_;
};

class TButton : public TControl {
public:
    TButton(TComponent* owner, std::string name, QWidget* parent, const std::string& caption);
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    // As on any desktop dialog, Enter in the button's form presses its default
    // button and Esc its cancel button, whichever of them is showing (a button
    // may be both); a form with either is a dialog (see TForm).
    bool Default() const { return default_; }
    void SetDefault(bool isDefault);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool isCancel) { cancel_ = isCancel; }

private:
    QPushButton* button_;
    bool default_ = false;
    bool cancel_ = false;
};

class TListBox : public TControl {
public:
    TListBox(TComponent* owner, std::string name, QWidget* parent);
    ~TListBox() override;
    TStrings& Items() { return *items_; }
    const TStrings& Items() const { return *items_; }
    int ItemIndex() const;
    void SetItemIndex(int index);

private:
    QListWidget* list_;
    std::unique_ptr<TStrings> items_;
};

class TMemo : public TControl {
public:
    TMemo(TComponent* owner, std::string name, QWidget* parent);
    ~TMemo() override;
    TStrings& Lines() { return *lines_; }

private:
    std::unique_ptr<TStrings> lines_;
};

class TGroupBox : public TControl {
public:
    TGroupBox(TComponent* owner, std::string name, QWidget* parent, const std::string& caption);
};

// A panel shows its Color once SetColor has been called; a bevelled panel has a dark edge.
class TPanel : public TControl {
public:
    TPanel(TComponent* owner, std::string name, QWidget* parent);
    void SetBevel(bool edged);
};

// Radio buttons with the same parent widget form one group.
class TRadioButton : public TControl {
public:
    TRadioButton(TComponent* owner, std::string name, QWidget* parent, const std::string& caption);
    bool Checked() const;
    void SetChecked(bool checked);
    std::string Caption() const;

private:
    QRadioButton* radio_;
};

// A scrolling area; controls are placed on Content().
class TScrollBox : public TControl {
public:
    TScrollBox(TComponent* owner, std::string name, QWidget* parent);
    QWidget* Content() const { return content_; }

private:
    QWidget* content_;
};

class TProgressBar : public TControl {
public:
    TProgressBar(TComponent* owner, std::string name, QWidget* parent);
    int Max() const;
    void SetMax(int max);
    int Position() const;
    void SetPosition(int position);
    void StepBy(int delta);

private:
    QProgressBar* bar_;
};

class TTabSheet : public TControl {
public:
    TTabSheet(TComponent* owner, std::string name, QWidget* page, const std::string& caption);
    std::string Caption;
};

class TPageControl : public TControl {
public:
    TPageControl(TComponent* owner, std::string name, QWidget* parent);
    TTabSheet* AddPage(const std::string& name, const std::string& caption);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);

private:
    QTabWidget* tabs_;
    std::vector<TTabSheet*> pages_;
};

// Pages stacked on top of each other, one shown (no tabs).
class TNotebook : public TControl {
public:
    TNotebook(TComponent* owner, std::string name, QWidget* parent);
    QWidget* AddPage();
    int PageCount() const;
    int PageIndex() const;
    void SetPageIndex(int index);

private:
    QStackedWidget* stack_;
};

// One row of a report-style list view.
struct TListRow {
    std::string Caption;
    std::vector<std::string> SubItems;
    bool Selected = false;
    bool Focused = false;
};

// A report-style list: rows with a caption and sub-items, several may be selected.
class TListView : public TControl {
public:
    TListView(TComponent* owner, std::string name, QWidget* parent);
    ~TListView() override;

    // A width of 0 hides the column (its values are still kept).
    void AddColumn(const std::string& caption, int width);

    int Count() const;
    std::string Caption(int index) const;
    std::string SubItem(int index, int sub) const;
    std::string FullRowText(int index) const;
    TListRow Row(int index) const;
    int Add(const TListRow& row);
    void Insert(int index, const TListRow& row);
    void Delete(int index);
    void Clear();
    std::vector<TListRow> Rows() const;
    void SetRows(const std::vector<TListRow>& rows);

    bool Selected(int index) const;
    void SetSelected(int index, bool selected);
    bool Focused(int index) const;
    void SetFocused(int index);
    int SelCount() const;
    // Index of the first selected row, -1 when none.
    int FirstSelected() const;
    // The row under a point of the list's viewport, -1 when none.
    int ItemAt(int x, int y) const;

    bool GridLines() const { return gridLines_; }
    void SetGridLines(bool on);
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool on);
    void SetDragCursor(bool dragging);
    // The list's own sort by caption (locale-aware, as the platform list sorts).
    void AlphaSort();

private:
    void ApplyStyle();
    class QTreeWidget* tree_;
    int columns_ = 0;
    bool gridLines_ = false;
    bool hotTrack_ = false;
};

// ---------------------------------------------------------------------------
// Menus, tool bar, status bar

class TMenuItem : public TComponent {
public:
    // A caption of "-" makes a separator.
    TMenuItem(TComponent* owner, std::string name, const std::string& caption);
    ~TMenuItem() override;

    std::string Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // Qt key-sequence text such as "F9", "Ctrl+Insert", "Alt+Up".
    void SetShortCut(const std::string& keys);
    std::string ShortCut() const { return shortcut_; }
    int HelpContext = 0;

    // Appends a child entry (this entry becomes a sub-menu).
    TMenuItem* Add(const std::string& name, const std::string& caption);
    int Count() const { return static_cast<int>(children_.size()); }
    TMenuItem* Item(int index) const { return children_.at(static_cast<std::size_t>(index)); }
    bool IsSeparator() const { return caption_ == "-"; }

    TNotifyEvent OnClick;
    void Click();

    QAction* Action() const { return action_.get(); }
    QMenu* SubMenu();

private:
    std::string caption_;
    std::string shortcut_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    // Actions and sub-menus are not parented to a widget: the entry owns them.
    std::unique_ptr<QAction> action_;
    std::unique_ptr<QMenu> submenu_;
    std::vector<TMenuItem*> children_;
};

class TMainMenu : public TComponent {
public:
    TMainMenu(TComponent* owner, std::string name, QMenuBar* bar);
    TMenuItem* Add(const std::string& name, const std::string& caption);
    QMenuBar* Bar() const { return bar_; }

private:
    QMenuBar* bar_;
};

class TPopupMenu : public TComponent {
public:
    TPopupMenu(TComponent* owner, std::string name, QWidget* parent);
    ~TPopupMenu() override;
    TMenuItem* Add(const std::string& name, const std::string& caption);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    QMenu* Menu() const { return menu_; }
    void Popup(int screenX, int screenY);

private:
    QMenu* menu_;
    std::vector<TMenuItem*> items_;
};

class TToolButton : public TControl {
public:
    TToolButton(TComponent* owner, std::string name, QToolButton* button, const std::string& caption);
    void SetDropdownMenu(TPopupMenu* menu);
    std::string Caption() const;

private:
    QToolButton* button_;
};

class TToolBar : public TControl {
public:
    TToolBar(TComponent* owner, std::string name, QWidget* parent);
    TToolButton* AddButton(const std::string& name, const std::string& caption, const std::string& hint);
    void AddSeparator();

private:
    QToolBar* bar_;
};

class StatusPanelRow;

class TStatusBar : public TControl {
public:
    TStatusBar(TComponent* owner, std::string name, QWidget* parent);
    // A width of 0 or less makes the panel take the rest of the bar.
    void AddPanel(int width);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    std::string PanelText(int index) const;
    void SetPanelText(int index, const std::string& text);
    QLabel* Panel(int index) const { return panels_.at(static_cast<std::size_t>(index)); }

private:
    std::vector<QLabel*> panels_;
    StatusPanelRow* row_;  // owned by the bar's widget
};

// ---------------------------------------------------------------------------
// Forms

// Results of modal forms and message boxes. The numbers are the ones the
// gallery's own mr* constants use, so both spellings compare equal.
struct TModal {
    static constexpr int None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;
};

// A dialog (a form with a default or cancel button) opens with the focus on
// its first control that takes input, never on a plain button such as Help;
// Enter presses a focused button, else the default button (a multi-line
// editor keeps Enter for its lines), and Esc the cancel button.
//
// The menu entries' number-pad shortcuts (Num+, Num-, Num*) work from every
// control that does not type them.
//
// Every window the program places opens wholly on the screen: its frame is
// fitted into the screen's available area (FitFrameInArea). The window
// manager tells a window's frame only after it is shown; a window placed
// before that is fitted again once its frame is known, unless it has been
// moved since.
class TForm : public TComponent {
public:
    TForm(TComponent* owner, std::string name);
    ~TForm() override;

    QWidget* Window() const { return window_.get(); }
    // The area below the menu bar where controls are placed.
    QWidget* Client() const { return client_; }
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    // Fixes the client area's size (the menu bar is added above it) and centres the window.
    void SetFixedClientSize(int width, int height);
    void CenterOnScreen();
    // Centres the window's frame over another form's frame (on the screen when
    // that form is null or hidden), then fits it on the screen.
    void CenterOver(const TForm* other);
    // Puts the frame's top-left corner at (left, top), then fits it on the screen.
    void PlaceFrame(int left, int top);
    // The window's frame on the screen: its geometry with the frame the
    // window system reports now (the frame expected, before it is framed).
    QRect FrameGeometry() const;
    bool ShowHint = true;
    void SetShowHint(bool show);
    TMainMenu* CreateMainMenu(const std::string& name);

    void Show();
    void Hide();
    bool Visible() const;
    // Closes the form: FormClose runs, the window hides; a modal loop ends.
    void Close();
    int ShowModal();
    int ModalResult = TModal::None;

protected:
    virtual void FormShow() {}
    virtual void FormClose() {}

private:
    friend class FormEventFilter;
    void HandleShow();
    void HandleClose();
    bool IsDialog() const;
    // The showing, enabled default (or cancel) button, null when none.
    TButton* ShownButton(bool cancel) const;
    void FocusFirstControl();
    // Once the window's own frame is known: fits it again where the frame
    // differs from the one it was placed with and it still stands there.
    void FitPlacedFrame();
    // Enter or Esc that no control of the window took; true when it pressed a button.
    bool PressDialogButton(const class QKeyEvent& key);
    // A number-pad key that the window system matched to no shortcut (X11
    // matches none of them): the enabled menu entry with that shortcut runs,
    // unless the focused control takes the key as input. True when one ran.
    bool RunKeypadShortcut(QWidget* focus, const class QKeyEvent& key);

    // A top-level window has no Qt parent: the form owns it.
    std::unique_ptr<QWidget> window_;
    QWidget* client_;
    QMenuBar* menuBar_ = nullptr;
    bool inModal_ = false;
    bool closing_ = false;
    // The last placement until its frame is confirmed: where the window
    // itself was put and the frame margins taken for it.
    struct Placement {
        QPoint client;
        QMargins margins;
    };
    std::optional<Placement> placed_;
};

// Where a window's frame goes to lie wholly inside a screen area: moved in as
// little as it takes; a frame larger than the area keeps its top-left corner
// (title bar and first controls) inside.
QRect FitFrameInArea(const QRect& frame, const QRect& area);

// ---------------------------------------------------------------------------
// Common dialogs and message boxes. Each consults a test hook first, so tests
// never wait on a modal box.

enum class TFileDialogKind { Open, Save, OpenPicture };

struct TFileDialogRequest {
    TFileDialogKind Kind = TFileDialogKind::Open;
    std::string Title;
    std::string Filter;      // "description|mask|description|mask..."
    std::string DefaultExt;  // without the dot
    std::string InitialDir;
    bool MultiSelect = false;
    // In: the dialog's current file name. Out: the chosen names.
    std::string FileName;
    std::vector<std::string> Files;
};
// Returns true when the "user" accepted; fills FileName (and Files).
using TFileDialogHook = std::function<bool(TFileDialogRequest&)>;
void SetFileDialogHook(TFileDialogHook hook);

class TFileDialog : public TComponent {
public:
    TFileDialog(TComponent* owner, std::string name, TFileDialogKind kind);
    std::string Title;
    std::string Filter;
    std::string DefaultExt;
    std::string InitialDir;
    std::string FileName;
    std::vector<std::string> Files;
    bool MultiSelect = false;
    // True when the user chose a file; FileName and Files are changed only then.
    bool Execute();

private:
    TFileDialogKind kind_;
};

// The dialog TFileDialog::Execute shows for a request (its filter in Qt's form).
std::unique_ptr<QFileDialog> MakeFileDialog(const TFileDialogRequest& request);

struct TFolderRequest {
    std::string Title;
    std::string StartFolder;
    std::string Chosen;  // out
};
using TFolderDialogHook = std::function<bool(TFolderRequest&)>;
void SetFolderDialogHook(TFolderDialogHook hook);
// The folder browser BrowseForFolderDialog shows (its title on one line).
std::unique_ptr<QFileDialog> MakeFolderBrowser(const std::string& title, const std::string& startFolder);
// The folder browser: true and the chosen folder when the user picked one.
bool BrowseForFolderDialog(const std::string& title, const std::string& startFolder, std::string& chosen);

// The colour dialog (full open): true and the colour when the user chose one.
using TColorDialogHook = std::function<bool(TColor& color)>;
void SetColorDialogHook(TColorDialogHook hook);
bool ChooseColorDialog(TColor& color);
// The font dialog: true and the font (face, size, styles) when the user chose one.
using TFontDialogHook = std::function<bool(TFontInfo& font)>;
void SetFontDialogHook(TFontDialogHook hook);
bool ChooseFontDialog(TFontInfo& font);

enum class TMsgDlgType { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };
// Button set bits (the gallery's mb* numbers).
struct TMsgButtons {
    static constexpr int Yes = 1, No = 2, OK = 4, Cancel = 8;
};

struct TMessageRequest {
    std::string Caption;
    std::string Text;
    TMsgDlgType Type = TMsgDlgType::Information;
    int Buttons = TMsgButtons::OK;
};
using TMessageHook = std::function<int(const TMessageRequest&)>;
void SetMessageHook(TMessageHook hook);
// Shows a modal message box centred on the active window; returns the button's TModal result.
// Without a hook on a display-less platform it logs the text and answers OK, else No, else Cancel.
int MessageDlg(const std::string& caption, const std::string& text, TMsgDlgType type, int buttons);
// The box MessageDlg shows; never taller than half the screen (the first lines, then "and N more").
std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                                            int buttons);

// ---------------------------------------------------------------------------
// Application

class TApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    std::string Title;
    std::string HelpFile;

    // Handles the window messages that are waiting, then returns.
    void ProcessMessages();
    // Shows the exception's message in an error box titled with the program's title.
    void HandleException(const std::exception& error);
    // Shows the main form and runs the message loop until it closes.
    int Run(TForm& mainForm);
    void Terminate();
    bool Terminated() const { return terminated_; }

private:
    std::unique_ptr<class QApplication> app_;
    bool terminated_ = false;
};

// The running application (null before one is made).
extern TApplication* Application;
