// The properties dialog: its kinds, control enabling, colour controls,
// picture pickers and help. Construction is in pvu1Pages.cpp (each face's OK
// and Cancel are its default and cancel buttons: Enter and Esc press them),
// the transfer of the records in pvu1Records.cpp.
#include "gallery/properties/pvu1.h"

#include "gallery/mainwindow/pvu.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/AsciiCase.h"
#include "platform/help/Help.h"
#include "platform/system/System.h"

#include <QWidget>

#include <array>

namespace {

const std::array<TPropertyKindInfo, PropertyKindCount> Kinds{{
    {"button2", "Set page properties (index)", ppPageProperties, 491, 358},
    {"button3", "Set page properties (image)", ppPageProperties, 491, 358},
    {"button6", "Add Text", ppTextStamp, 501, 310},
    {"button7", "Add Logo", ppLogo, 506, 278},
    {"button5", "Use Frame (image)", ppDecorations, 433, 314},
    {"button4", "Use Frame (thumbnail)", ppDecorations, 433, 314},
    {"button1", "Set Table Properties", ppTable, 384, 288},
    {"button12", "Set Font Properties (index)", ppCaptionFont, 304, 212},
    {"button9", "Set Font Properties (image)", ppCaptionFont, 304, 212},
    {"customizeeditor1", "Customize Editor", ppEditors, 378, 186},
}};

// The window frame around the client area of a dialog of the desktop the
// sizes were made for: 4 pixels each side and a 23-pixel title bar.
constexpr int FrameWidth = 8, FrameHeight = 27;

}  // namespace

const TPropertyKindInfo& PropertyKindInfo(int kind) { return Kinds.at(static_cast<std::size_t>(kind)); }

int PropertyKindOfSender(const std::string& lowerName)
{
    for (int kind = 0; kind < PropertyKindCount; ++kind)
        if (lowerName == Kinds[static_cast<std::size_t>(kind)].Sender) return kind;
    return -1;
}

std::string FontStyleLetters(const TFontInfo& font)
{
    TFontStyles styles{font.Bold, font.Italic, font.Underline, font.StrikeOut};
    std::string letters;
    FontStyleText("w", "", styles, letters);
    return letters;
}

void SetFontStyleLetters(TFontInfo& font, const std::string& letters)
{
    TFontStyles styles;
    std::string unused;
    FontStyleText("r", letters, styles, unused);
    font.Bold = styles.Bold;
    font.Italic = styles.Italic;
    font.Underline = styles.Underline;
    font.StrikeOut = styles.StrikeOut;
}

TForm2::TForm2(TComponent* owner) : TForm(owner, "Form2")
{
    SetCaption("Properties");
    BuildFrame();
    ConnectDialogHandlers();
    ConnectTemplateHandlers();
    ConnectToolHandlers();
    Notebook1->SetPageIndex(ppPageProperties);
    SetOuterSize(491, 358);
}

TForm2::~TForm2() = default;

void TForm2::SetOuterSize(int width, int height)
{
    SetFixedClientSize(width - FrameWidth, height - FrameHeight);
    Notebook1->SetBounds(0, 0, width - FrameWidth, height - FrameHeight);
}

void TForm2::ConnectDialogHandlers()
{
    auto governing = [this](TComponent* s) { CheckBox62Click(s); };
    for (TCheckBox* c : {CheckBox62, CheckBox65, CheckBox66, CheckBox17, CheckBox18, CheckBox23, CheckBox24, CheckBox21,
                         CheckBox22, CheckBox19, CheckBox25, CheckBox2, CheckBox5})
        c->OnClick = governing;
    for (TComboBox* c : {ComboBox16, ComboBox14, ComboBox3, ComboBox1, ComboBox17, ComboBox19}) c->OnChange = governing;
    SpeedButton1->OnClick = [this](TComponent* s) { SpeedButton1Click(s); };
    for (TButton* b : {Button4, Button6, Button7, Button9, Button22, Button31, Button32, Button34})
        b->OnClick = [this](TComponent* s) { Button22Click(s); };
    Edit1->OnExit = [this](TComponent* s) { Edit1Exit(s); };
}

void TForm2::FormShow()
{
    Notebook3->SetPageIndex(ComboBox1->ItemIndex());
    Notebook2->SetPageIndex(ComboBox3->ItemIndex());
    ComboBox19->SetItemIndex(0);
    UpdateControls();
    if (Notebook1->PageIndex() == ppTextStamp) Edit8->SetText(Edit17->Text());
    if (OnShowTemplates) OnShowTemplates();
}

// ---------------------------------------------------------------------------
// Control enabling

namespace {

struct EnablingRule {
    const char* governing;
    std::vector<const char*> governed;
};

const std::vector<EnablingRule>& EnablingRules()
{
    static const std::vector<EnablingRule> rules{
        {"CheckBox62", {"CheckBox61", "Edit50"}},
        {"CheckBox65", {"SpinEdit20"}},
        {"CheckBox66", {"SpinEdit21"}},
        {"CheckBox17", {"SpinEdit16", "ComboBox8"}},
        {"CheckBox18", {"Edit5", "ComboBox11"}},
        {"ComboBox16", {"SpinEdit23"}},
        {"CheckBox23", {"Edit11", "SpeedButton2"}},
        {"CheckBox24", {"Edit24", "SpeedButton3"}},
        {"CheckBox21", {"edit15", "Button9", "SpinEdit4", "Panel22", "SpinEdit30", "SpinEdit31"}},
        {"CheckBox22",
         {"Edit6", "Button4", "SpinEdit17", "Panel23", "SpinEdit27", "ComboBox19", "Edit9", "CheckBox20", "Button39"}},
        {"ComboBox14", {"SpinEdit18", "SpinEdit19", "SpinEdit22", "Panel30", "Panel31"}},
        {"CheckBox19", {"SpinEdit24", "SpinEdit25", "SpinEdit26", "Panel32"}},
        {"CheckBox25", {"Edit25", "Button7", "SpinEdit32", "Panel35", "SpinEdit33"}},
        {"CheckBox2", {"SpinEdit14", "RadioButton1", "RadioButton2"}},
        {"CheckBox5", {"SpinEdit15", "RadioButton3", "RadioButton4"}},
    };
    return rules;
}

}  // namespace

void TForm2::EnableNamedControl(bool flag, const std::string& name)
{
    auto* control = Find<TControl>(name);
    if (!control) return;
    control->SetEnabled(flag);
    const std::string lower = AsciiLower(name);
    if (lower.find("checkbo") != std::string::npos || lower.find("button") != std::string::npos ||
        lower.find("panel") != std::string::npos)
        return;
    if (lower.find("notebook") != std::string::npos)
        control->SetVisible(flag);
    else
        control->SetColor(flag ? clWindow : clBtnFace);
}

void TForm2::UpdateControls()
{
    for (const EnablingRule& rule : EnablingRules()) {
        bool on = false;
        if (auto* check = Find<TCheckBox>(rule.governing))
            on = check->Checked();
        else if (auto* list = Find<TComboBox>(rule.governing))
            on = list->ItemIndex() != 0;
        for (const char* name : rule.governed) EnableNamedControl(on, name);
    }
    Notebook5->SetPageIndex(ComboBox19->ItemIndex());
}

void TForm2::CheckBox62Click(TComponent* Sender)
{
    // The background choices show their page of colour or picture.
    if (Sender == ComboBox3) Notebook2->SetPageIndex(ComboBox3->ItemIndex());
    if (Sender == ComboBox1) Notebook3->SetPageIndex(ComboBox1->ItemIndex());
    if (Sender == ComboBox17) Notebook4->SetPageIndex(ComboBox17->ItemIndex());
    if (Sender == ComboBox19) Notebook5->SetPageIndex(ComboBox19->ItemIndex());
    UpdateControls();
}

// ---------------------------------------------------------------------------
// Colours

namespace {

// The page-colour groups: panel, sample, check box.
struct ColourGroup {
    const char *panel, *sample, *check;
};
const ColourGroup ColourGroups[] = {{"Panel28", "Panel29", "CheckBox56"},
                                    {"Panel27", "Label96", "CheckBox57"},
                                    {"Panel26", "Label97", "CheckBox58"},
                                    {"Panel25", "Label98", "CheckBox59"},
                                    {"Panel24", "Label99", "CheckBox60"}};

// Choosing a colour for these panels ticks the check box that uses it.
// The table's shadow border ticks its check box like the highlight border does.
const std::pair<const char*, const char*> TickedByPanel[] = {{"Panel4", "CheckBox1"}, {"Panel5", "CheckBox3"},
                                                             {"Panel6", "CheckBox6"}, {"Panel7", "CheckBox4"},
                                                             {"Panel8", "CheckBox8"}, {"Panel13", "CheckBox13"}};

}  // namespace

TColor TForm2::ControlColor(const TControl& control)
{
    if (dynamic_cast<const TLabel*>(&control)) return control.Font().Color;
    return control.Color();
}

void TForm2::SetControlColor(TControl& control, TColor color)
{
    if (dynamic_cast<TLabel*>(&control)) {
        TFontInfo font = control.Font();
        font.Color = color;
        control.SetFont(font);
    } else {
        control.SetColor(color);
    }
}

void TForm2::ApplyChosenColor(TControl& control, TColor color)
{
    for (const ColourGroup& group : ColourGroups) {
        if (!SameText(control.Name, group.panel) && !SameText(control.Name, group.sample)) continue;
        SetControlColor(*Find<TControl>(group.panel), color);
        SetControlColor(*Find<TControl>(group.sample), color);
        Find<TCheckBox>(group.check)->SetChecked(true);
    }
    SetControlColor(control, color);
    if (SameText(control.Name, "Panel3")) Edit1->SetText(ColorToHtmlHex(static_cast<int>(color)));
    for (auto [panel, check] : TickedByPanel)
        if (SameText(control.Name, panel)) Find<TCheckBox>(check)->SetChecked(true);
    if (SameText(control.Name, "Panel20")) {
        TFontInfo font = Edit17->Font();
        font.Color = color;
        Edit17->SetFont(font);
    }
}

void TForm2::Panel11Click(TComponent* Sender)
{
    auto* control = dynamic_cast<TControl*>(Sender);
    if (!control) return;
    TColor color = ControlColor(*control);
    if (!ChooseColorDialog(color)) return;
    ApplyChosenColor(*control, color);
}

void TForm2::Edit1Exit(TComponent*)
{
    // Six hexadecimal digits red, green, blue; anything else raises the conversion error.
    const int value = StrToInt("$" + Edit1->Text());
    Panel3->SetColor(RGBColor(std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)));
}

void TForm2::SpeedButton1Click(TComponent*)
{
    TFontInfo font = Edit17->Font();
    if (!ChooseFontDialog(font)) return;
    // The font colour is chosen with its own panel.
    font.Color = Panel20->Color();
    Edit17->SetFont(font);
}

// ---------------------------------------------------------------------------
// Picture pickers

TEdit* TForm2::PickerEdit(const std::string& buttonName)
{
    const std::string lower = AsciiLower(buttonName);
    const std::string number = lower.rfind("button", 0) == 0 ? lower.substr(6) : "";
    const std::pair<const char*, TEdit*> edits[] = {{"4", Edit6},   {"6", Edit18},  {"7", Edit25}, {"9", edit15},
                                                    {"22", Edit50}, {"31", Edit28}, {"32", Edit2}, {"34", Edit7}};
    for (auto [n, edit] : edits)
        if (number == n) return edit;
    return nullptr;
}

void TForm2::Button22Click(TComponent* Sender)
{
    if (!Sender) return;
    TEdit* edit = PickerEdit(Sender->Name);
    if (!edit) return;
    TFileDialog dialog(nullptr, "OpenPictureDialog1", TFileDialogKind::OpenPicture);
    dialog.Filter = PictureFilesFilter();
    dialog.MultiSelect = true;
    const std::string current = ToFileSystemPath(edit->Text());
    const std::string folder = ExtractFilePath(current);
    if (!folder.empty() && DirectoryExists(folder)) {
        dialog.InitialDir = folder;
        dialog.FileName = ExtractFileName(current);
    } else {
        dialog.InitialDir = ToFileSystemPath(Label48->Caption());
    }
    if (!dialog.Execute()) return;
    const std::string chosen = dialog.Files.empty() ? dialog.FileName : dialog.Files.front();
    if (chosen.empty()) return;
    edit->SetText(chosen);
    Label48->SetCaption(ExtractFilePath(chosen));
}

// ---------------------------------------------------------------------------
// Help

int TForm2::HelpContextOfPage(int page)
{
    static const int contexts[] = {47, 50, 51, 49, 46, 48};
    return page >= 0 && page < static_cast<int>(std::size(contexts)) ? contexts[page] : 0;
}

void TForm2::Button33Click(TComponent*)
{
    // A page without a help page of its own opens the program's main help.
    int context = HelpContextOfPage(Notebook1->PageIndex());
    if (context == 0) context = 1;
    std::string message;
    if (ShowHelpContext(context, &message) != THelpResult::Opened)
        MessageDlgCentered(Caption(), message, mtInformation, mbOK);
}

void TForm2::PlaceHelpButton(int kind)
{
    Button33->SetVisible(kind != pkEditors);
    switch (kind) {
    case pkPageIndex:
    case pkPageImage: Button33->SetBounds(404, 96, 75, 25); break;
    case pkTextStamp: Button33->SetBounds(408, 104, 75, 25); break;
    case pkLogo: Button33->SetBounds(416, 112, 75, 25); break;
    case pkFrameImage:
    case pkFrameThumb: Button33->SetBounds(4, 255, 75, 25); break;
    case pkTable: Button33->SetBounds(8, 232, 75, 25); break;
    case pkFontIndex:
    case pkFontImage: Button33->SetBounds(8, 152, 75, 25); break;
    default: break;
    }
    Button33->Widget()->raise();
}
