// The settings store: every setting of the main window moves between a
// control and a key of a settings file; the control's name says how.
#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "platform/inifile/IniFile.h"
#include "platform/system/System.h"

#include <cstdint>
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
    bool holdsNames = false;  // a folder, name pattern or mask: read byte for byte
};

// Every bound setting, in the order it is read and written.
const SettingBinding Bindings[] = {
    {"Location", "ChangeCase", "combobox10", false, 1, ""},
    {"Location", "AddedFilter", "lcombobox16", false, 0, "*.jpg;*.gif;*.bmp", true},
    {"Location", "AddedFilterDefault", "scombobox16", false, 0, "*.jpg;*.gif;*.bmp", true},
    {"Location", "SaveInFolder", "edit1", false, 0, nullptr, true},  // DefaultDestinationFolder()
    {"Location", "ThumbName", "edit5", false, 0, "tn_*", true},
    {"Location", "ImageName", "edit9", false, 0, "image01", true},
    {"Location", "IndexName", "edit2", false, 0, "index1.html", true},
    {"Location", "ImagePageName", "edit4", false, 0, "image01.htm", true},
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
    {"ImagePage", "Hyperlink", "edit11", false, 0, ""},  // empty: the picture is not a link
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
    static const std::pair<const char*, ValueKind> parts[] = {
        {"edit", ValueKind::Edit},           {"combobox", ValueKind::ComboIndex},
        {"spinedit", ValueKind::Spin},       {"checkbox", ValueKind::Check},
        {"label", ValueKind::Label},         {"menuitem", ValueKind::Menu},
        {"scombobox", ValueKind::ComboText}, {"lcombobox", ValueKind::ComboItems},
        {"llistbox", ValueKind::ListLine},   {"fedit", ValueKind::FontEdit},
        {"none", ValueKind::None},
    };
    ValueKind kind = ValueKind::Unknown;
    for (const auto& [part, partKind] : parts)
        if (lowerName.find(part) != std::string::npos) kind = partKind;
    return kind;
}

// The kinds whose names carry a one-letter prefix before the control's name.
bool HasNamePrefix(ValueKind kind)
{
    return kind == ValueKind::ComboText || kind == ValueKind::ComboItems || kind == ValueKind::ListLine ||
           kind == ValueKind::FontEdit;
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

// One key of the open settings file, with the defaults of its binding.
struct TSettingSlot {
    TIniFile& Ini;
    const std::string& Section;
    const std::string& Key;
    bool Reading;
    bool DefaultBool;
    int DefaultInt;
    const std::string& DefaultString;
    int& ListLineCounter;  // the next line a "llistbox" key writes
    bool HoldsNames;       // names pass byte for byte; texts stored in Windows-1252 become UTF-8

    std::string ReadString() const
    {
        return HoldsNames ? Ini.ReadString(Section, Key, DefaultString) : Ini.ReadText(Section, Key, DefaultString);
    }
    // A value of fields joined by "|" (a property record, a history list, a
    // font record): each field is judged on its own, so one Windows-1252
    // entry does not make its UTF-8 neighbours be converted again. A property
    // record's names stay bytes.
    std::string ReadRecord() const
    {
        const std::string stored = Ini.ReadString(Section, Key, DefaultString);
        const int index = PropertyRecordIndexOf(Key);
        if (index >= 0) return StoredPropertyRecord(index, stored);
        return HoldsNames ? stored : StoredFieldsToUtf8(stored, {});
    }
    int ReadInteger() const { return Ini.ReadInteger(Section, Key, DefaultInt); }
    bool ReadBool() const { return Ini.ReadBool(Section, Key, DefaultBool); }
    void Write(const std::string& value) const { Ini.WriteString(Section, Key, value); }
    void Write(int value) const { Ini.WriteInteger(Section, Key, value); }
    void Write(bool value) const { Ini.WriteBool(Section, Key, value); }
};

// Reads into or writes from a control of the expected class; another class does nothing.
template <typename TControl, typename Read, typename Write>
void moveValue(TComponent& component, const TSettingSlot& slot, Read read, Write write)
{
    auto* control = dynamic_cast<TControl*>(&component);
    if (!control) return;
    if (slot.Reading)
        read(*control);
    else
        write(*control);
}

void moveEdit(TComponent& c, const TSettingSlot& s)
{
    moveValue<TEdit>(
        c, s, [&](TEdit& e) { e.SetText(s.ReadString()); }, [&](TEdit& e) { s.Write(e.Text()); });
}

void moveComboIndex(TComponent& c, const TSettingSlot& s)
{
    moveValue<TComboBox>(
        c, s, [&](TComboBox& b) { b.SetItemIndex(s.ReadInteger()); }, [&](TComboBox& b) { s.Write(b.ItemIndex()); });
}

void moveSpin(TComponent& c, const TSettingSlot& s)
{
    moveValue<TSpinEdit>(
        c, s, [&](TSpinEdit& e) { e.SetValue(s.ReadInteger()); }, [&](TSpinEdit& e) { s.Write(e.Value()); });
}

void moveCheck(TComponent& c, const TSettingSlot& s)
{
    moveValue<TCheckBox>(
        c, s, [&](TCheckBox& b) { b.SetChecked(s.ReadBool()); }, [&](TCheckBox& b) { s.Write(b.Checked()); });
}

void moveLabel(TComponent& c, const TSettingSlot& s)
{
    moveValue<TLabel>(
        c, s, [&](TLabel& l) { l.SetCaption(s.ReadString()); }, [&](TLabel& l) { s.Write(l.Caption()); });
}

void moveMenu(TComponent& c, const TSettingSlot& s)
{
    moveValue<TMenuItem>(
        c, s, [&](TMenuItem& m) { m.SetChecked(s.ReadBool()); }, [&](TMenuItem& m) { s.Write(m.Checked()); });
}

void moveComboText(TComponent& c, const TSettingSlot& s)
{
    moveValue<TComboBox>(
        c, s, [&](TComboBox& b) { b.SetText(s.ReadString()); }, [&](TComboBox& b) { s.Write(b.Text()); });
}

// Stores the entries of a history list so a '|' typed by the user cannot split an entry.
std::string JoinHistory(const TComboBox& box)
{
    std::string joined;
    for (int i = 0; i < box.Items().Count(); ++i) joined += EscapeRecordField(box.Items().Get(i)) + "|";
    return joined;
}

void readHistory(TComboBox& box, const TSettingSlot& s)
{
    box.Items().Clear();
    std::string rest = s.ReadRecord();
    // Fields are taken off until what is left holds no "|": a last field
    // without its "|" is dropped, as the stored format always had one.
    do {
        std::string field;
        NextField(rest, field);
        box.Items().Add(UnescapeRecordField(field));
    } while (rest.find('|') != std::string::npos);
}

void moveComboItems(TComponent& c, const TSettingSlot& s)
{
    moveValue<TComboBox>(
        c, s, [&](TComboBox& b) { readHistory(b, s); }, [&](TComboBox& b) { s.Write(JoinHistory(b)); });
}

// A hidden list of texts, one key per line: reading adds a line, writing
// stores the line the counter stands on and moves it on.
void moveListLine(TComponent& c, const TSettingSlot& s)
{
    moveValue<TListBox>(
        c, s, [&](TListBox& l) { l.Items().Add(s.ReadRecord()); },
        [&](TListBox& l) { s.Write(l.Items().Get(s.ListLineCounter++)); });
}

// The font record of an edit: face, style (1 bold, 2 italic, 3 both; any
// other number leaves the style), size, the size again, colour, the text and
// the edit's colour.
void readFontEdit(TEdit& edit, const TSettingSlot& s)
{
    std::string rest = s.ReadRecord();
    TFontInfo font = edit.Font();
    std::string f;
    NextField(rest, f);
    if (!f.empty()) font.Name = f;
    NextField(rest, f);
    const int style = NumberOr(f, -1);
    if (style >= 1 && style <= 3) {
        font.Bold = (style & 1) != 0;
        font.Italic = (style & 2) != 0;
    }
    NextField(rest, f);
    font.Size = NumberOr(f, font.Size);
    NextField(rest, f);  // the size again
    NextField(rest, f);
    font.Color = ColorFromSetting(f, font.Color);
    edit.SetFont(font);
    NextField(rest, f);
    edit.SetText(UnescapeRecordField(f));
    NextField(rest, f);
    edit.SetColor(ColorFromSetting(f, edit.Color()));
}

void writeFontEdit(const TEdit& edit, const TSettingSlot& s)
{
    const TFontInfo font = edit.Font();
    const int style = (font.Bold ? 1 : 0) + (font.Italic ? 2 : 0);
    s.Write(MakePropertyRecord({font.Name, std::to_string(style), std::to_string(font.Size), std::to_string(font.Size),
                                ColorSetting(font.Color), edit.Text(), ColorSetting(edit.Color())}));
}

void moveFontEdit(TComponent& c, const TSettingSlot& s)
{
    moveValue<TEdit>(
        c, s, [&](TEdit& e) { readFontEdit(e, s); }, [&](TEdit& e) { writeFontEdit(e, s); });
}

using TValueMover = void (*)(TComponent&, const TSettingSlot&);

bool KeyHoldsNames(const std::string& section, const std::string& key)
{
    for (const SettingBinding& b : Bindings)
        if (b.holdsNames && SameText(b.section, section) && SameText(b.key, key)) return true;
    return false;
}

// By ValueKind; Unknown and None move no control.
const TValueMover Movers[] = {nullptr,  moveEdit,      moveComboIndex, moveSpin,     moveCheck,    moveLabel,
                              moveMenu, moveComboText, moveComboItems, moveListLine, moveFontEdit, nullptr};

// "Ask" wins over "Skip" over "Replace"; none checked cannot happen through
// the menu, and counts as "Ask".
int CheckedOverwritePolicy(const TForm1& form)
{
    if (form.Ask1->Checked()) return 3;
    if (form.Skip1->Checked()) return 2;
    return form.Replace1->Checked() ? 1 : 3;
}

TMenuItem* OverwritePolicyItem(const TForm1& form, int policy)
{
    TMenuItem* const items[] = {form.Replace1, form.Skip1, form.Ask1};
    return policy >= 1 && policy <= 3 ? items[policy - 1] : nullptr;
}

// The "OverwriteFiles" entry: the File menu's checked choice.
void ReadWriteOverwritePolicy(TForm1& form, const std::string& mode)
{
    if (mode == "w") {
        form.ReadWriteComponent(mode, "none", "Others", false, CheckedOverwritePolicy(form), "", "OverwriteFiles");
        return;
    }
    // The stored entry becomes the only checked one, so the choice read
    // is the choice written back (the write prefers "Ask" over the others).
    const int policy = form.ReadWriteComponent(mode, "none", "Others", false, 3, "", "OverwriteFiles");
    if (TMenuItem* chosen = OverwritePolicyItem(form, policy)) form.Replace1Click(chosen);
}

}  // namespace

std::string DefaultDestinationFolder()
{
    std::string folder = UserHomeFolder();
    if (folder.empty()) folder = "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return (folder == "/" ? "" : folder) + "/pictavo-gallery";
}

bool TForm1::ReadWriteSettings(const std::string& mode, const std::string& fileName)
{
    if (mode != "r" && mode != "w") return true;
    if (mode == "r") ListBox1->Items().Clear();
    for (int& counter : listLineCounters_) counter = 0;

    const bool written = UseSettingsFile(fileName, [&] {
        for (const SettingBinding& b : Bindings)
            ReadWriteComponent(mode, b.control, b.section, b.defaultBool, b.defaultInt,
                               b.defaultString ? b.defaultString : DefaultDestinationFolder(), b.key);
        ReadWriteOverwritePolicy(*this, mode);
        for (int k = 0; k < PropertyRecordCount; ++k)
            ReadWriteComponent(mode, "llistbox1", "Others", false, 0, PropertyRecordDefault(k), PropertyRecordKey(k));
    });
    if (mode == "r" && ListBox1->Items().Count() == PropertyRecordCount)
        for (int k : {prEdit1, prEdit2}) SetPropertyRecord(k, UpgradedPropertyRecord(k, GetPropertyRecord(k)));
    return written;
}

bool TForm1::UseSettingsFile(const std::string& fileName, const std::function<void()>& body)
{
    // Every settings file carries the FTP password of record 17: keep it private.
    TIniFile ini(fileName, IniFileMode::Private);
    struct Reset {
        TIniFile*& slot;
        ~Reset() { slot = nullptr; }
    } reset{ini_};
    ini_ = &ini;
    body();
    return ini.UpdateFile();
}

int TForm1::ReadWriteComponent(const std::string& mode, const std::string& controlName, const std::string& section,
                               bool defaultBool, int defaultInt, const std::string& defaultString,
                               const std::string& key)
{
    if (!ini_ || (mode != "r" && mode != "w")) return 0;
    const bool reading = mode == "r";
    std::string name = AsciiLower(controlName);
    const ValueKind kind = KindOfName(name);
    if (kind == ValueKind::None) {
        // A plain number that no control holds: read it, or write the default.
        if (reading) return ini_->ReadInteger(section, key, defaultInt);
        ini_->WriteInteger(section, key, defaultInt);
        return defaultInt;
    }
    if (HasNamePrefix(kind)) name.erase(0, 1);
    TComponent* component = FindComponent(name);
    const TValueMover mover = Movers[static_cast<int>(kind)];
    if (!component || !mover) return 0;
    mover(*component, TSettingSlot{*ini_, section, key, reading, defaultBool, defaultInt, defaultString,
                                   listLineCounters_[1], KeyHoldsNames(section, key)});
    return 0;
}
