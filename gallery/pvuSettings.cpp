// The settings store: every setting of the main window moves between a
// control and a key of a settings file; the control's name says how.
#include "gallery/pvu.h"

#include "gallery/PropertyRecords.h"
#include "gallery/pvutils.h"
#include "platform/inifile/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const char* const IndexCaptions =
    "%Filename|(a)%Filename<br>(%Filesize bytes)(/a)|%Filename<br>((a)%FilesizeKB kb(/a))|%FileDateTime[dd/mm/yy]|"
    "%FileDateTime[mm/dd/yyyy hh:nn:ss am/pm]|%Width x %Height (%Colors colors)|%FileDesc1|%FileDesc2|";
const char* const AlternativeTexts =
    "%Filename|%FileNoExt|%Fileext|%Filename (%Filesize bytes)|%Filename (%FilesizeKB kb)|%Filename (%FilesizeMB mb)|"
    "%FileDateTime[dd/mm/yy]|%FileDateTime[mm/dd/yyyy hh:nn:ss am/pm]|%Width x %Height (%Colors colors)|%FileDesc1|"
    "%FileDesc2|";
const char* const ImageCaptions =
    "%Filename|%FileNoExt|%Fileext|%Filename<br>(%Filesize bytes)|%Filename<br>(%FilesizeKB kb)|%Filename "
    "(%FilesizeMB mb)|%FileDateTime[dd/mm/yy]|%FileDateTime[mm/dd/yyyy hh:nn:ss am/pm]|%Width x %Height (%Colors "
    "colors)|%FileDesc1|%FileDesc2|";

struct SettingBinding {
    const char* section;
    const char* key;
    const char* control;
    bool defaultBool;
    int defaultInt;
    const char* defaultString;
};

// Every bound setting, in the order it is read and written.
const SettingBinding Bindings[] = {
    {"Location", "ChangeCase", "combobox10", false, 1, ""},
    {"Location", "AddedFilter", "lcombobox16", false, 0, "*.jpg;*.gif;*.bmp"},
    {"Location", "AddedFilterDefault", "scombobox16", false, 0, "*.jpg;*.gif;*.bmp"},
    {"Location", "SaveInFolder", "edit1", false, 0, "C:\\TEMP"},
    {"Location", "ThumbName", "edit5", false, 0, "tn_*"},
    {"Location", "ImageName", "edit9", false, 0, "image01"},
    {"Location", "IndexName", "edit2", false, 0, "index1.html"},
    {"Location", "ImagePageName", "edit4", false, 0, "image01.htm"},
    {"Location", "BaseURL", "lcombobox23", false, 0, ""},
    {"Location", "BaseURLDefault", "scombobox23", false, 0, ""},
    {"IndexPage", "Columns", "spinedit1", false, 5, ""},
    {"IndexPage", "TypeOfRows", "combobox1", false, 0, ""},
    {"IndexPage", "Rows", "spinedit2", false, 5, ""},
    {"IndexPage", "Border", "spinedit3", false, 0, ""},
    {"IndexPage", "CellPad", "spinedit4", false, 0, ""},
    {"IndexPage", "CellSpace", "spinedit5", false, 0, ""},
    {"IndexPage", "Alignment", "combobox2", false, 0, ""},
    {"IndexPage", "Style", "combobox3", false, 0, ""},
    {"IndexPage", "HyperlinkTo", "combobox4", false, 2, ""},
    {"IndexPage", "AutoSize", "checkbox7", true, 0, ""},
    {"IndexPage", "TitlePage", "edit3", false, 0, "Welcome to my gallery"},
    {"IndexPage", "Caption", "lcombobox11", false, 0, IndexCaptions},
    {"IndexPage", "CaptionDefault", "scombobox11", false, 0, "%Filename<br>(%Filesize bytes)"},
    {"IndexPage", "CaptionPosition", "combobox9", false, 1, ""},
    {"IndexPage", "Alternative", "lcombobox12", false, 0, AlternativeTexts},
    {"IndexPage", "AlternativeDefault", "scombobox12", false, 0, "%Filename"},
    {"ImagePage", "Style", "combobox5", false, 0, ""},
    {"ImagePage", "Border", "spinedit10", false, 0, ""},
    {"ImagePage", "TitlePage", "edit6", false, 0, "My %filename image"},
    {"ImagePage", "Caption", "lcombobox13", false, 0, ImageCaptions},
    {"ImagePage", "CaptionDefault", "scombobox13", false, 0, "%Filename<br>(%Filesize bytes)"},
    {"ImagePage", "CaptionPosition", "combobox14", false, 1, ""},
    {"ImagePage", "Alternative", "lcombobox15", false, 0, AlternativeTexts},
    {"ImagePage", "AlternativeDefault", "scombobox15", false, 0, "%Filename"},
    {"ImagePage", "Hyperlink", "edit11", false, 0, "https://pictavo.example.org/"},
    {"Images1", "Output", "combobox7", false, 0, ""},
    {"Images1", "Quality", "spinedit12", false, 60, ""},
    {"Images1", "Colors", "spinedit14", false, 255, ""},
    {"Images1", "Size", "combobox6", false, 1, ""},
    {"Images1", "Width", "spinedit6", false, 100, ""},
    {"Images1", "Height", "spinedit7", false, 100, ""},
    {"Images1", "LockDim", "checkbox1", false, 0, ""},
    {"Images1", "UseFrame", "checkbox2", false, 0, ""},
    {"Images1", "Filter", "combobox17", false, 0, ""},
    {"Images2", "Output", "combobox8", false, 0, ""},
    {"Images2", "Quality", "spinedit13", false, 60, ""},
    {"Images2", "Colors", "spinedit15", false, 255, ""},
    {"Images2", "Resize", "checkbox3", false, 0, ""},
    {"Images2", "Method", "combobox19", false, 0, ""},
    {"Images2", "Width", "spinedit8", false, 320, ""},
    {"Images2", "Height", "spinedit9", false, 200, ""},
    {"Images2", "UseFrame", "checkbox4", false, 0, ""},
    {"Images2", "AddText", "checkbox5", false, 0, ""},
    {"Images2", "AddLogo", "checkbox6", false, 0, ""},
    {"Images2", "Filter", "combobox18", false, 0, ""},
    {"Others", "IncludeSubdirectory", "menuitem3", false, 0, ""},
    {"Others", "ShowGridlines", "Menuitem4", true, 0, ""},
    {"Others", "MouseOver", "Menuitem5", false, 0, ""},
    {"Others", "ShowTooltips", "Menuitem6", true, 0, ""},
    {"Others", "LaunchWeb", "Menuitem7", true, 0, ""},
    {"Others", "KeepOriginalDate", "Menuitem8", true, 0, ""},
    {"Others", "ForbiddenChars", "menuitem10", false, 0, ""},
    {"Others", "ClearDestFolder", "menuitem13", true, 0, ""},
    {"Others", "UseImageNameWhenNoDesc", "menuitem17", true, 0, ""},
};

enum class ValueKind {
    Unknown,
    Edit,
    ComboIndex,
    Spin,
    Check,
    Label,
    Menu,
    ComboText,
    ComboItems,
    ListLine,
    FontEdit,
    None
};

// Later matches override earlier ones: "spinedit" beats "edit", "scombobox" beats "combobox".
ValueKind KindOfName(const std::string& lowerName)
{
    ValueKind kind = ValueKind::Unknown;
    auto has = [&](const char* part) { return lowerName.find(part) != std::string::npos; };
    if (has("edit")) kind = ValueKind::Edit;
    if (has("combobox")) kind = ValueKind::ComboIndex;
    if (has("spinedit")) kind = ValueKind::Spin;
    if (has("checkbox")) kind = ValueKind::Check;
    if (has("label")) kind = ValueKind::Label;
    if (has("menuitem")) kind = ValueKind::Menu;
    if (has("scombobox")) kind = ValueKind::ComboText;
    if (has("lcombobox")) kind = ValueKind::ComboItems;
    if (has("llistbox")) kind = ValueKind::ListLine;
    if (has("fedit")) kind = ValueKind::FontEdit;
    if (has("none")) kind = ValueKind::None;
    return kind;
}

// A number field of a stored font record; a field that is not a number keeps the fallback.
int NumberOr(const std::string& text, int fallback)
{
    int value = 0;
    return IniParseInteger(text, value) ? value : fallback;
}

// Settings files keep colours as signed 32-bit numbers (system colours are
// negative there); the colour number itself is unsigned. Both directions keep
// the bits, so a file's number is written back as it was read.
TColor ColorFromSetting(const std::string& text, TColor fallback)
{
    return static_cast<TColor>(NumberOr(text, static_cast<std::int32_t>(fallback)));
}

std::string ColorSetting(TColor colour) { return std::to_string(static_cast<std::int32_t>(colour)); }

}  // namespace

void TForm1::ReadWriteSettings(const std::string& mode, const std::string& fileName)
{
    if (mode != "r" && mode != "w") return;
    if (mode == "r") ListBox1->Items().Clear();
    for (int& counter : listLineCounters_) counter = 0;

    UseSettingsFile(fileName, [&] {
        for (const SettingBinding& b : Bindings)
            ReadWriteComponent(mode, b.control, b.section, b.defaultBool, b.defaultInt, b.defaultString, b.key);

        if (mode == "w") {
            // None of the three checked cannot happen through the menu; "Ask" is the default then.
            int policy = 3;
            if (Ask1->Checked())
                policy = 3;
            else if (Skip1->Checked())
                policy = 2;
            else if (Replace1->Checked())
                policy = 1;
            ReadWriteComponent(mode, "none", "Others", false, policy, "", "OverwriteFiles");
        } else {
            // The stored entry becomes the only checked one, so the choice read
            // is the choice written back (the write prefers "Ask" over the others).
            int policy = ReadWriteComponent(mode, "none", "Others", false, 3, "", "OverwriteFiles");
            TMenuItem* chosen = policy == 1 ? Replace1 : policy == 2 ? Skip1 : policy == 3 ? Ask1 : nullptr;
            if (chosen) Replace1Click(chosen);
        }

        for (int k = 0; k < PropertyRecordCount; ++k)
            ReadWriteComponent(mode, "llistbox1", "Others", false, 0, PropertyRecordDefault(k), PropertyRecordKey(k));
    });
}

void TForm1::UseSettingsFile(const std::string& fileName, const std::function<void()>& body)
{
    // Every settings file carries the FTP password of record 17: keep it private.
    TIniFile ini(fileName, IniFileMode::Private);
    struct Reset {
        TIniFile*& slot;
        ~Reset() { slot = nullptr; }
    } reset{ini_};
    ini_ = &ini;
    body();
    ini.UpdateFile();
}

int TForm1::ReadWriteComponent(const std::string& mode, const std::string& controlName, const std::string& section,
                               bool defaultBool, int defaultInt, const std::string& defaultString,
                               const std::string& key)
{
    if (!ini_ || (mode != "r" && mode != "w")) return 0;
    TIniFile& ini = *ini_;
    const bool reading = mode == "r";
    std::string name = AsciiLower(controlName);
    const ValueKind kind = KindOfName(name);
    if (kind == ValueKind::None) {
        if (reading) return ini.ReadInteger(section, key, defaultInt);
        ini.WriteInteger(section, key, defaultInt);
        return defaultInt;
    }
    if (kind == ValueKind::ComboText || kind == ValueKind::ComboItems || kind == ValueKind::ListLine ||
        kind == ValueKind::FontEdit)
        name.erase(0, 1);
    TComponent* component = FindComponent(name);
    if (!component) return 0;

    switch (kind) {
    case ValueKind::Edit: {
        auto* edit = dynamic_cast<TEdit*>(component);
        if (!edit) break;
        if (reading)
            edit->SetText(ini.ReadString(section, key, defaultString));
        else
            ini.WriteString(section, key, edit->Text());
        break;
    }
    case ValueKind::ComboIndex: {
        auto* box = dynamic_cast<TComboBox*>(component);
        if (!box) break;
        if (reading)
            box->SetItemIndex(ini.ReadInteger(section, key, defaultInt));
        else
            ini.WriteInteger(section, key, box->ItemIndex());
        break;
    }
    case ValueKind::Spin: {
        auto* spin = dynamic_cast<TSpinEdit*>(component);
        if (!spin) break;
        if (reading)
            spin->SetValue(ini.ReadInteger(section, key, defaultInt));
        else
            ini.WriteInteger(section, key, spin->Value());
        break;
    }
    case ValueKind::Check: {
        auto* check = dynamic_cast<TCheckBox*>(component);
        if (!check) break;
        if (reading)
            check->SetChecked(ini.ReadBool(section, key, defaultBool));
        else
            ini.WriteBool(section, key, check->Checked());
        break;
    }
    case ValueKind::Label: {
        auto* label = dynamic_cast<TLabel*>(component);
        if (!label) break;
        if (reading)
            label->SetCaption(ini.ReadString(section, key, defaultString));
        else
            ini.WriteString(section, key, label->Caption());
        break;
    }
    case ValueKind::Menu: {
        auto* item = dynamic_cast<TMenuItem*>(component);
        if (!item) break;
        if (reading)
            item->SetChecked(ini.ReadBool(section, key, defaultBool));
        else
            ini.WriteBool(section, key, item->Checked());
        break;
    }
    case ValueKind::ComboText: {
        auto* box = dynamic_cast<TComboBox*>(component);
        if (!box) break;
        if (reading)
            box->SetText(ini.ReadString(section, key, defaultString));
        else
            ini.WriteString(section, key, box->Text());
        break;
    }
    case ValueKind::ComboItems: {
        auto* box = dynamic_cast<TComboBox*>(component);
        if (!box) break;
        if (reading) {
            box->Items().Clear();
            std::string rest = ini.ReadString(section, key, defaultString);
            // Fields are taken off until what is left holds no "|": a last
            // field without its "|" is dropped, as the stored format always had one.
            do {
                std::string field;
                NextField(rest, field);
                box->Items().Add(UnescapeRecordField(field));
            } while (rest.find('|') != std::string::npos);
        } else {
            ini.WriteString(section, key, JoinHistory(*box));
        }
        break;
    }
    case ValueKind::ListLine: {
        auto* list = dynamic_cast<TListBox*>(component);
        if (!list) break;
        if (reading) {
            list->Items().Add(ini.ReadString(section, key, defaultString));
        } else {
            int& counter = listLineCounters_[1];
            ini.WriteString(section, key, list->Items().Get(counter));
            ++counter;
        }
        break;
    }
    case ValueKind::FontEdit: {
        auto* edit = dynamic_cast<TEdit*>(component);
        if (!edit) break;
        if (reading) {
            std::string rest = ini.ReadString(section, key, defaultString);
            TFontInfo font = edit->Font();
            std::string f;
            NextField(rest, f);
            if (!f.empty()) font.Name = f;
            NextField(rest, f);
            switch (NumberOr(f, -1)) {
            case 1:
                font.Bold = true;
                font.Italic = false;
                break;
            case 2:
                font.Bold = false;
                font.Italic = true;
                break;
            case 3:
                font.Bold = true;
                font.Italic = true;
                break;
            default: break;  // any other number leaves the style alone
            }
            NextField(rest, f);
            font.Size = NumberOr(f, font.Size);
            NextField(rest, f);  // the size again
            NextField(rest, f);
            font.Color = ColorFromSetting(f, font.Color);
            edit->SetFont(font);
            NextField(rest, f);
            edit->SetText(UnescapeRecordField(f));
            NextField(rest, f);
            edit->SetColor(ColorFromSetting(f, edit->Color()));
        } else {
            const TFontInfo font = edit->Font();
            const int style = (font.Bold ? 1 : 0) + (font.Italic ? 2 : 0);
            const std::string value = MakePropertyRecord({font.Name, std::to_string(style), std::to_string(font.Size),
                                                          std::to_string(font.Size), ColorSetting(font.Color),
                                                          edit->Text(), ColorSetting(edit->Color())});
            ini.WriteString(section, key, value);
        }
        break;
    }
    default: break;
    }
    return 0;
}

std::string TForm1::JoinHistory(const TComboBox& box) const
{
    std::string joined;
    for (int i = 0; i < box.Items().Count(); ++i) joined += EscapeRecordField(box.Items().Get(i)) + "|";
    return joined;
}
