// Settings templates of the properties dialog: the template list of the page
// showing, loading a template into the controls, and adding, deleting and
// renaming template files under settings/<kind>/ in the program folder.
#include "gallery/properties/pvu1.h"

#include "gallery/properties/pvu1TemplateFiles.h"
#include "gallery/windows/pvu5.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/Integers.h"
#include "platform/system/System.h"

#include <QAction>
#include <QWidget>

namespace {

// The dialog's controls as a template sees them: found by name, the stamp's
// font reached through the hidden Edit17.
class DialogControls : public TTemplateControls {
public:
    explicit DialogControls(TForm2& form) : form_(form) {}

    std::string Text(const std::string& control) const override
    {
        const TFontInfo font = form_.Edit17->Font();
        if (control == "Edit17.FontName") return font.Name;
        if (control == "Edit17.FontSize") return std::to_string(font.Size);
        if (control == "Edit17.FontStyle") return FontStyleLetters(font);
        return Find<TEdit>(control).Text();
    }
    void SetText(const std::string& control, const std::string& text) override
    {
        if (control.rfind("Edit17.", 0) != 0) {
            Find<TEdit>(control).SetText(text);
            return;
        }
        TFontInfo font = form_.Edit17->Font();
        if (control == "Edit17.FontName" && !text.empty()) font.Name = text;
        // A size that is no positive number keeps the font's size.
        if (int size = 0; control == "Edit17.FontSize" && ParseInteger(text, size) && size > 0) font.Size = size;
        if (control == "Edit17.FontStyle") SetFontStyleLetters(font, text);
        form_.Edit17->SetFont(font);
    }
    int Number(const std::string& control) const override
    {
        switch (TemplateValueKind(control)) {
        case TTemplateValue::Colour: return static_cast<int>(TForm2::ControlColor(Find<TControl>(control)));
        case TTemplateValue::Index: return Find<TComboBox>(control).ItemIndex();
        default: return Find<TSpinEdit>(control).Value();
        }
    }
    void SetNumber(const std::string& control, int value) override
    {
        switch (TemplateValueKind(control)) {
        case TTemplateValue::Colour:
            TForm2::SetControlColor(Find<TControl>(control), static_cast<TColor>(value));
            break;
        case TTemplateValue::Index: Find<TComboBox>(control).SetItemIndex(value); break;
        default: Find<TSpinEdit>(control).SetValue(value); break;
        }
    }
    bool Flag(const std::string& control) const override { return Find<TCheckBox>(control).Checked(); }
    void SetFlag(const std::string& control, bool value) override { Find<TCheckBox>(control).SetChecked(value); }

private:
    template <class T>
    T& Find(const std::string& name) const
    {
        T* control = form_.Find<T>(name);
        if (!control) throw Exception("The properties dialog has no control " + name + ".");
        return *control;
    }
    TForm2& form_;
};

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Refused names are said so; an empty name or Cancel ends quietly.
bool TemplateNameAccepted(const std::string& name)
{
    const std::string problem = TemplateNameProblem(name);
    if (!problem.empty()) MessageDlgCentered("Error", problem, mtInformation, mbOK);
    return problem.empty();
}

}  // namespace

void TForm2::ConnectTemplateHandlers()
{
    for (TComboBox* list : {ComboBox18, ComboBox7, ComboBox6, ComboBox13}) {
        list->OnClick = [this](TComponent* s) { ComboBox7Click(s); };
        // The context menu's short cuts (Ins, Del, F6) work while a list has the focus.
        for (TMenuItem* entry : {Add1, Delete1, Rename1}) {
            entry->Action()->setShortcutContext(Qt::WidgetShortcut);
            list->Widget()->addAction(entry->Action());
        }
    }
    for (TMenuItem* entry : {Add1, Delete1, Rename1}) entry->OnClick = [this](TComponent* s) { Add1Click(s); };
    AskName = [this](const std::string& caption, std::string& name) { return AskSettingName(this, caption, name); };
    OnShowTemplates = [this] {
        if (TComboBox* list = PageTemplateList()) ListTemplates(*list, TemplateFolder(Notebook1->PageIndex()));
    };
}

TComboBox* TForm2::PageTemplateList() const
{
    switch (Notebook1->PageIndex()) {
    case ppPageProperties: return ComboBox18;
    case ppTextStamp: return ComboBox7;
    case ppLogo: return ComboBox6;
    case ppDecorations: return ComboBox13;
    default: return nullptr;
    }
}

void TForm2::ListTemplates(TComboBox& list, const std::string& folder)
{
    list.Items().Clear();
    list.Items().Assign(ListTemplateNames(folder));
    list.SetItemIndex(-1);
}

void TForm2::TransferTemplate(char mode, const std::string& path)
{
    DialogControls controls(*this);
    const int page = Notebook1->PageIndex();
    if (!::TransferTemplate(mode, path, page, controls))
        throw Exception("Unable to write to " + ToFileSystemPath(path));
    if (mode != 'r') return;
    // The colour sample follows the five colours read.
    if (page == ppPageProperties) ShowPageColourSample();
    if (page == ppTextStamp && ComboBox17->ItemIndex() >= 0) Notebook4->SetPageIndex(ComboBox17->ItemIndex());
}

void TForm2::ComboBox7Click(TComponent*)
{
    TComboBox* list = PageTemplateList();
    if (!list || list->Items().Count() == 0 || list->ItemIndex() < 0) return;
    const std::string name = list->Text();
    const std::string path = TemplateFile(Notebook1->PageIndex(), name);
    if (!TemplateNameProblem(name).empty() || !FileExists(path)) return;
    TransferTemplate('r', path);
    Edit8->SetText(Edit17->Text());
    TFontInfo font = Edit17->Font();
    font.Color = ControlColor(*Panel20);
    Edit17->SetFont(font);
    UpdateControls();
}

void TForm2::Add1Click(TComponent* Sender)
{
    TComboBox* list = PageTemplateList();
    if (!list || !Sender) return;
    const int page = Notebook1->PageIndex();
    const std::string entry = AsciiLower(Sender->Name);
    if (entry == "add1") {
        SaveTemplateAs(*list, page);
        return;
    }
    const std::string name = list->Text();
    if (name.empty()) return;
    if (entry == "delete1")
        DeleteTemplate(*list, page, name);
    else if (entry == "rename1")
        RenameTemplate(*list, page, name);
}

void TForm2::SaveTemplateAs(TComboBox& list, int page)
{
    std::string name;
    if (!AskName("Save Setting", name) || name.empty() || !TemplateNameAccepted(name)) return;
    const std::string path = TemplateFile(page, name);
    const bool replacing = FileExists(path);
    if (replacing &&
        MessageDlgCentered("Confirm Replace", Quoted(name) + " already exists. Would you like to replace it?",
                           mtConfirmation, mbOK | mbCancel) != mrOk)
        return;
    ForceDirectories(TemplateFolder(page));
    TransferTemplate('w', path);
    if (list.Items().IndexOf(name) < 0) list.Items().Add(name);
    list.SetItemIndex(list.Items().IndexOf(name));
}

void TForm2::DeleteTemplate(TComboBox& list, int page, const std::string& name)
{
    if (!TemplateNameAccepted(name) ||
        MessageDlgCentered("Confirm Delete", "Are you sure you want to delete " + Quoted(name) + "?", mtConfirmation,
                           mbOK | mbCancel) != mrOk)
        return;
    const std::string path = TemplateFile(page, name);
    if (FileExists(path) && !ShellFileOperation(2, path, "")) {
        MessageDlgCentered("Error", Quoted(name) + " could not be deleted.", mtInformation, mbOK);
        return;
    }
    const int at = list.ItemIndex();
    if (at >= 0) list.Items().Delete(at);
    list.SetItemIndex(-1);
}

void TForm2::RenameTemplate(TComboBox& list, int page, const std::string& name)
{
    std::string renamed = name;
    if (!AskName("Rename Setting", renamed) || renamed.empty()) return;
    std::string message;
    const TTemplateRename result = RenameTemplateFile(TemplateFolder(page), name, renamed, message);
    if (result != TTemplateRename::Renamed) {
        if (!message.empty()) MessageDlgCentered("Error", message, mtInformation, mbOK);
        return;
    }
    const int at = list.ItemIndex();
    if (at >= 0) list.Items().Delete(at);
    list.Items().Add(renamed);
    list.SetItemIndex(list.Items().IndexOf(renamed));
}
