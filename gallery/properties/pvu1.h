#pragma once
// The properties dialog: one notebook whose pages edit the main window's
// property records (page properties, text stamp, logo, decorations, table,
// caption fonts, external editors), plus the About page and the temporary
// faces of its tools (banner editor, transparent-colour picker). Made per use
// by the main window's property buttons; the dialog keeps no state of its own
// beyond its controls.

#include "platform/gui/Gui.h"

#include <functional>
#include <string>

class TForm1;
class TFontComboBox;
class TRasterView;

// The ten uses of the dialog, by the main-window control that opens it.
enum TPropertyKind : int {
    pkPageIndex = 0,
    pkPageImage,
    pkTextStamp,
    pkLogo,
    pkFrameImage,
    pkFrameThumb,
    pkTable,
    pkFontIndex,
    pkFontImage,
    pkEditors,
    PropertyKindCount
};

struct TPropertyKindInfo {
    const char* Sender;   // the opening control's name, lower case
    const char* Caption;  // the dialog's caption
    int Page;             // the notebook page shown
    int Width, Height;    // the window's outer size
};
const TPropertyKindInfo& PropertyKindInfo(int kind);
// The kind opened by a control of that name (exact, lower-cased), -1 when none.
int PropertyKindOfSender(const std::string& lowerName);
// The text stamp's font styles as the letters its record and templates store,
// and such letters back into a font.
std::string FontStyleLetters(const TFontInfo& font);
void SetFontStyleLetters(TFontInfo& font, const std::string& letters);

// Notebook pages.
enum TPropertyPage : int {
    ppPageProperties = 0,
    ppTextStamp = 1,
    ppLogo = 2,
    ppDecorations = 3,
    ppTable = 4,
    ppBanner = 5,
    ppOverwrite = 6,
    ppAbout = 7,
    ppCaptionFont = 8,
    ppColorPicker = 9,
    ppEditors = 10,
    PropertyPageCount = 11
};

// The text-stamp transparency the dialog offers: the decoration blends with the
// weight Trunc(value × 1.2), which shows the image alone at 128, so values past
// 107 would all look the same.
constexpr int TextStampMaxTransparency = 107;

class TForm2 : public TForm {
public:
    explicit TForm2(TComponent* owner);
    ~TForm2() override;

    // Sets the dialog up for one kind from the main window's records: page,
    // caption, size and every field of the kind's records. Missing or
    // unreadable fields take the default record's value. Returns the kind.
    int TransferPageProperties(TForm1& main, int kind);
    // Writes the kind's records back from the controls (the OK step).
    void StorePageProperties(TForm1& main, int kind);

    void UpdateControls();
    void EnableNamedControl(bool flag, const std::string& name);
    // Shared click handler of the governing check boxes and lists.
    void CheckBox62Click(TComponent* Sender);
    // Colour panels and the four sample labels.
    void Panel11Click(TComponent* Sender);
    // "Set font, color and size".
    void SpeedButton1Click(TComponent* Sender);
    // Picture file pickers ("..." buttons).
    void Button22Click(TComponent* Sender);
    // Typing a colour into Edit1 and leaving it.
    void Edit1Exit(TComponent* Sender);
    void Button33Click(TComponent* Sender);
    // The help context of a notebook page, 0 when it has none.
    static int HelpContextOfPage(int page);

    // The window's outer size (the frame of the desktop the sizes were made for).
    void SetOuterSize(int width, int height);
    // A colour control's colour: a panel's colour, a label's font colour.
    static TColor ControlColor(const TControl& control);
    static void SetControlColor(TControl& control, TColor color);
    // A colour chosen for a control: the page-colour group follows as a whole,
    // the control takes it, and the check box or font that uses it follows.
    void ApplyChosenColor(TControl& control, TColor color);
    // The edit a picture picker ("..." button) fills, null for another name.
    TEdit* PickerEdit(const std::string& buttonName);
    // Run at every showing after the controls are set up: fills the page's
    // template list (set by the templates code).
    std::function<void()> OnShowTemplates;

    // Dialog frame.
    TNotebook* Notebook1;
    TButton* Button33;   // "&Help"
    TListBox* ListBox1;  // hidden: the three editor program paths
    TLabel *Label48, *Label61, *Label62, *Label74, *Label75;
    TEdit* Edit10;           // hidden clipboard buffer
    TEdit* Edit17;           // hidden holder of the stamp's font and text
    TPopupMenu* PopupMenu1;  // Copy / Paste of the colour controls
    TMenuItem *Copy1, *Pastewebcolor1;
    TPopupMenu* PopupMenu2;  // Add / Delete / Rename of the template lists
    TMenuItem *Add1, *Delete1, *Rename1;
    TPopupMenu* PopupMenu3;  // the frame page's "Edit with" entries
    TMenuItem *MenuItem1, *MenuItem2, *MenuItem9;

    // Page 0: page properties.
    TPageControl* PageControl1;
    TComboBox* ComboBox18;  // templates
    TCheckBox *CheckBox56, *CheckBox57, *CheckBox58, *CheckBox59, *CheckBox60;
    TPanel *Panel28, *Panel27, *Panel26, *Panel25, *Panel24, *Panel29;
    TLabel *Label96, *Label97, *Label98, *Label99;
    TCheckBox *CheckBox62, *CheckBox61, *CheckBox65, *CheckBox66;
    TEdit* Edit50;
    TButton* Button22;
    TSpinEdit *SpinEdit20, *SpinEdit21;
    TComboBox* ComboBox30;
    TEdit *Edit3, *Edit4, *Edit5;
    TComboBox *ComboBox21, *ComboBox8, *ComboBox11, *ComboBox16;
    TCheckBox *CheckBox17, *CheckBox18;
    TSpinEdit *SpinEdit16, *SpinEdit23;
    TGroupBox* GroupBox6;  // the frames group
    TToolButton* ToolButton9;
    TButton* SpeedButton4;  // "Edit Banner"
    TCheckBox *CheckBox23, *CheckBox24;
    TEdit *Edit11, *Edit24;
    TButton *SpeedButton2, *SpeedButton3;  // header and footer preview

    // Page 1: text stamp.
    TComboBox* ComboBox7;  // templates
    TEdit* Edit8;
    TButton* SpeedButton1;
    TPanel* Panel20;
    TComboBox *ComboBox4, *ComboBox22, *ComboBox17;
    TSpinEdit *SpinEdit3, *SpinEdit5, *SpinEdit13, *SpinEdit9, *SpinEdit7, *SpinEdit8;
    TNotebook* Notebook4;
    TPanel *Panel16, *Panel17, *Panel18, *Panel19, *Panel34;
    TEdit* Edit7;
    TButton* Button34;
    TCheckBox *CheckBox14, *CheckBox15, *CheckBox16;

    // Page 2: logo.
    TComboBox* ComboBox6;  // templates
    TEdit* Edit18;
    TButton* Button6;
    TComboBox *ComboBox5, *ComboBox20, *ComboBox12;
    TSpinEdit *SpinEdit1, *SpinEdit2, *SpinEdit11, *SpinEdit10;
    TPanel* Panel21;

    // Page 3: decorations.
    TComboBox* ComboBox13;  // templates
    TPageControl* PageControl3;
    TCheckBox *CheckBox21, *CheckBox22, *CheckBox20, *CheckBox19, *CheckBox25;
    TEdit *edit15, *Edit6, *Edit9, *Edit25;
    TButton *Button9, *Button4, *Button39, *Button7;
    TSpinEdit *SpinEdit4, *SpinEdit30, *SpinEdit31, *SpinEdit17, *SpinEdit27, *SpinEdit28, *SpinEdit29;
    TSpinEdit *SpinEdit18, *SpinEdit19, *SpinEdit22, *SpinEdit24, *SpinEdit25, *SpinEdit26, *SpinEdit32, *SpinEdit33;
    TPanel *Panel22, *Panel23, *Panel30, *Panel31, *Panel32, *Panel35;
    TComboBox *ComboBox19, *ComboBox14;
    TNotebook* Notebook5;

    // Page 4: table.
    TPageControl* PageControl2;
    TCheckBox *CheckBox2, *CheckBox5, *CheckBox1, *CheckBox3, *CheckBox7, *CheckBox11, *CheckBox8, *CheckBox6,
        *CheckBox4;
    TSpinEdit *SpinEdit14, *SpinEdit15, *SpinEdit12, *SpinEdit6;
    TRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
    TComboBox *ComboBox3, *ComboBox1, *ComboBox9, *ComboBox10, *ComboBox15;
    TNotebook *Notebook2, *Notebook3;
    TPanel *Panel2, *Panel3, *Panel4, *Panel5, *Panel6, *Panel7, *Panel8;
    TEdit *Edit28, *Edit19, *Edit21, *Edit20, *Edit1, *Edit2;
    TButton *Button31, *Button32;

    // Page 5: banner editor.
    TMemo* memo3;
    TLabel* Label63;
    TButton *Button1, *Button11;

    // Page 7: About.
    TLabel* Label23;

    // Page 8: caption font.
    TFontComboBox* FontComboBox1;
    TComboBox* ComboBox2;
    TCheckBox *CheckBox9, *CheckBox12, *CheckBox10, *CheckBox13;
    TPanel *Panel11, *Panel13;

    // Page 9: transparent-colour picker.
    TScrollBox* ScrollBox1;
    TRasterView* RasterView1;
    TPanel* Panel33;
    TButton *Button35, *Button36;

    // Page 10: editor programs.
    TEdit *Edit12, *Edit13, *Edit16, *Edit14, *Edit23, *Edit22;
    TButton *Button41, *Button42, *Button43;

    // -----------------------------------------------------------------------
    // Templates and tools of the dialog (pvu1Templates.cpp, pvu1Tools.cpp).

    // Settings templates (pvu1Templates.cpp).
    void ConnectTemplateHandlers();
    // The template list of the page showing, null on pages without templates.
    TComboBox* PageTemplateList() const;
    // Fills a template list with the names of the templates in folder, sorted.
    void ListTemplates(TComboBox& list, const std::string& folder);
    // Reads ('r') or writes ('w') the page's template file.
    void TransferTemplate(char mode, const std::string& path);
    // Choosing a template in any of the four lists loads it.
    void ComboBox7Click(TComponent* Sender);
    // "Add Setting", "Delete Setting" and "Rename Setting".
    void Add1Click(TComponent* Sender);

    // Tools (pvu1Tools.cpp).
    void ConnectToolHandlers();
    void SpeedButton4Click(TComponent* Sender);  // "Edit Banner"
    void Button1Click(TComponent* Sender);       // the banner editor's OK
    void Button11Click(TComponent* Sender);      // the banner editor's Cancel
    void memo3Change(TComponent* Sender);        // the banner editor's line counter
    void SpeedButton2Click(TComponent* Sender);  // header and footer preview
    void Panel22Click(TComponent* Sender);       // the transparent-colour panels open the picker
    void RasterView1MouseUp(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y);
    void Button35Click(TComponent* Sender);  // the picker's OK and Cancel
    void Panel28MouseMove(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y);
    void Copy1Click(TComponent* Sender);
    void Pastewebcolor1Click(TComponent* Sender);
    void MenuItem1Click(TComponent* Sender);  // the frame-page template: open, or "Edit with"
    void Button41Click(TComponent* Sender);   // the editor-program pickers
    // Asks for a template's name (the name prompt); tests answer instead.
    std::function<bool(const std::string& caption, std::string& name)> AskName;

private:
    void ConnectColourFollowers();
    std::string pickerOpener_;  // the transparent-colour panel that opened the picker

public:
    // -----------------------------------------------------------------------

protected:
    void FormShow() override;

private:
    void BuildFrame();
    void BuildPagePropertiesPage(QWidget* page);
    void BuildPageColorsTab(QWidget* tab);
    void BuildMiscellaneousTab(QWidget* tab);
    void BuildCustomTagTab(QWidget* tab);
    void BuildTextStampPage(QWidget* page);
    void BuildLogoPage(QWidget* page);
    void BuildDecorationsPage(QWidget* page);
    void BuildFrameMaskTab(QWidget* tab);
    void BuildButtonizeTab(QWidget* tab);
    void BuildOutlineTab(QWidget* tab);
    void BuildTablePage(QWidget* page);
    void BuildTableTab(QWidget* tab);
    void BuildCellTab(QWidget* tab);
    void BuildPictureTab(QWidget* tab);
    void BuildBannerPage(QWidget* page);
    void BuildAboutPage(QWidget* page);
    void BuildCaptionFontPage(QWidget* page);
    void BuildColorPickerPage(QWidget* page);
    void BuildEditorsPage(QWidget* page);
    void ConnectDialogHandlers();
    // OK and Cancel buttons of a page, bottom right of a page of that size.
    void AddOkCancel(QWidget* page, const std::string& okName, const std::string& cancelName, int x, int y,
                     bool column);
    TLabel* AddLabel(QWidget* parent, const std::string& text, int x, int y, int w);
    TComboBox* TemplateList(const std::string& name, QWidget* parent, int x, int y, int w);
    TPanel* ColorPanel(const std::string& name, QWidget* parent, int x, int y, int w = 40, int h = 20);
    void PlaceHelpButton(int kind);

    void ReadPageRecords(TForm1& main, int kind);
    void ReadTextStampRecord(TForm1& main);
    void ReadLogoRecord(TForm1& main);
    void ReadDecorationRecords(TForm1& main, int kind);
    void ReadTableRecord(TForm1& main);
    void ReadCaptionFontRecord(TForm1& main, int kind);
    void ReadEditorRecords(TForm1& main);
    void StorePageRecords(TForm1& main, int kind);
    void StoreTextStampRecord(TForm1& main);
    void StoreTableRecord(TForm1& main);
    // The steps of the template list's menu (pvu1Templates.cpp).
    void SaveTemplateAs(TComboBox& list, int page);
    void DeleteTemplate(TComboBox& list, int page, const std::string& name);
    void RenameTemplate(TComboBox& list, int page, const std::string& name);
    // The steps of reading the page properties (pvu1Records.cpp).
    void ReadEditWithMenu(TForm1& main);
    void ShowPageColourSample();
    void StoreDecorationRecords(TForm1& main, int kind);

    int nextLabel_ = 100;
    QWidget* bannerRow_ = nullptr;
};
