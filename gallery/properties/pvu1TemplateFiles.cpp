#include "gallery/properties/pvu1TemplateFiles.h"

#include "gallery/text/srutilsFiles.h"
#include "platform/core/AsciiCase.h"
#include "platform/inifile/IniFile.h"
#include "platform/system/FindFiles.h"
#include "platform/system/System.h"

#include <algorithm>

namespace {

const char* const Kinds[TemplatePageCount] = {"page", "text", "logo", "frame"};

const std::vector<TTemplateKey> PageKeys = {
    {"Page", "BgColor", "CheckBox56", 0},        {"Page", "BgColorC", "Panel28", 0},
    {"Page", "TextColor", "CheckBox57", 0},      {"Page", "TextColorC", "Panel27", 0},
    {"Page", "LinkColor", "CheckBox58", 0},      {"Page", "LinkColorC", "Panel26", 0},
    {"Page", "VisitLink", "CheckBox59", 0},      {"Page", "VisitLinkC", "Panel25", 0},
    {"Page", "ActiveLink", "CheckBox60", 0},     {"Page", "ActiveLinkC", "Panel24", 0},
    {"Page", "BGImage", "CheckBox62", 0},        {"Page", "Fixed", "CheckBox61", 0},
    {"Page", "BGImageFile", "Edit50", 0},        {"Page", "TopMargin", "CheckBox65", 0},
    {"Page", "TopMarginSize", "SpinEdit20", 5},  {"Page", "LeftMargin", "CheckBox66", 0},
    {"Page", "LeftMarginSize", "SpinEdit21", 5}, {"Page", "TargetFrame", "ComboBox30", 5},
};

// The stamp's font lives in the hidden Edit17; its name, size and style
// letters are texts of their own.
const std::vector<TTemplateKey> TextKeys = {
    {"Text", "Text", "Edit17", 0},
    {"Text", "FontName", "Edit17.FontName", 0},
    {"Text", "FontSize", "Edit17.FontSize", 0},
    {"Text", "FontStyle", "Edit17.FontStyle", 0},
    {"Text", "FontColor", "Panel20", 0},
    {"Text", "Position", "ComboBox4", 5},
    {"Text", "X", "SpinEdit3", 5},
    {"Text", "Y", "SpinEdit5", 5},
    {"Text", "Transparency", "SpinEdit13", 5},
    {"Text", "Rotate", "SpinEdit9", 5},
    {"Text", "Mirror", "ComboBox22", 5},
    {"Text", "Background", "ComboBox17", 5},
    {"Text", "Color1", "Panel16", 0},
    {"Text", "Color2", "Panel17", 0},
    {"Text", "Color3", "Panel18", 0},
    {"Text", "Color4", "Panel19", 0},
    {"Text", "bgfile", "Edit7", 0},
    {"Text", "FullBorder", "CheckBox14", 0},
    {"Text", "ExcludeOpacity", "CheckBox16", 0},
    {"Text", "Smooth", "CheckBox15", 0},
    {"Text", "MarginX", "SpinEdit7", 5},
    {"Text", "Marginy", "SpinEdit8", 5},
};

const std::vector<TTemplateKey> LogoKeys = {
    {"Logo", "File", "Edit18", 0},
    {"Logo", "Position", "ComboBox5", 5},
    {"Logo", "X", "SpinEdit1", 5},
    {"Logo", "Y", "SpinEdit2", 5},
    {"Logo", "TransparentColor", "Panel21", 0},
    {"Logo", "Transparency", "SpinEdit11", 5},
    {"Logo", "Rotate", "SpinEdit10", 5},
    {"Logo", "Mirror", "ComboBox20", 5},
    {"Logo", "FullBorder", "ComboBox12", 5},
};

const std::vector<TTemplateKey> FrameKeys = {
    {"Frame", "Use", "CheckBox21", 0},
    {"Frame", "File", "edit15", 0},
    {"Frame", "Transparency", "SpinEdit4", 5},
    {"Frame", "TransparentColor", "Panel22", 0},
    {"Frame", "ExpandWidth", "SpinEdit30", 5},
    {"Frame", "ExpandHeight", "SpinEdit31", 5},
    {"Mask", "Use", "CheckBox22", 0},
    {"Mask", "File", "Edit6", 0},
    {"Mask", "Transparency", "SpinEdit17", 5},
    {"Mask", "BackgroundColor", "Panel23", 0},
    {"Mask", "Scale", "SpinEdit27", 5},
    {"Buttonize", "Shape", "ComboBox14", 5},
    {"Buttonize", "Width", "SpinEdit18", 5},
    {"Buttonize", "Margin", "SpinEdit19", 5},
    {"Buttonize", "Transparency", "SpinEdit22", 5},
    {"Buttonize", "Highlight", "Panel30", 0},
    {"Buttonize", "Shadow", "Panel31", 0},
    {"Buttonize", "Double", "CheckBox19", 0},
    {"Buttonize", "DWidth", "SpinEdit24", 5},
    {"Buttonize", "DTransparency", "SpinEdit25", 5},
    {"Buttonize", "DBTransparency", "SpinEdit26", 5},
    {"Buttonize", "Color", "Panel32", 0},
    {"Outline", "Use", "CheckBox25", 0},
    {"Outline", "File", "Edit25", 0},
    {"Outline", "Transparency", "SpinEdit32", 0},
    {"Outline", "TransColor", "Panel35", 0},
    {"Outline", "Width", "SpinEdit33", 0},
};

const std::vector<TTemplateKey> NoKeys;

}  // namespace

std::string TemplateKind(int page) { return page >= 0 && page < TemplatePageCount ? Kinds[page] : ""; }

std::string TemplateFolder(int page)
{
    const std::string kind = TemplateKind(page);
    // Templates are the user's settings: kept where pv.ini is, never in an
    // installed program folder.
    return kind.empty() ? kind : WritableFolder() + "settings/" + kind + "/";
}

std::string TemplateFile(int page, const std::string& name)
{
    const std::string folder = TemplateFolder(page);
    return folder.empty() ? folder : folder + name + ".pvx";
}

TTemplateValue TemplateValueKind(const std::string& control)
{
    const std::string name = AsciiLower(control);
    if (name.find("panel") != std::string::npos) return TTemplateValue::Colour;
    if (name.find("checkbox") != std::string::npos) return TTemplateValue::Flag;
    if (name.find("spinedit") != std::string::npos) return TTemplateValue::Number;
    if (name.find("combobox") != std::string::npos) return TTemplateValue::Index;
    return TTemplateValue::Text;
}

const std::vector<TTemplateKey>& TemplateKeys(int page)
{
    switch (page) {
    case 0: return PageKeys;
    case 1: return TextKeys;
    case 2: return LogoKeys;
    case 3: return FrameKeys;
    default: return NoKeys;
    }
}

bool TemplateKeyHoldsName(const TTemplateKey& key) { return AsciiLower(key.Key).find("file") != std::string::npos; }

bool TransferTemplate(char mode, const std::string& path, int page, TTemplateControls& controls)
{
    TIniFile ini(path);
    for (const TTemplateKey& k : TemplateKeys(page)) {
        switch (TemplateValueKind(k.Control)) {
        case TTemplateValue::Text:
            if (mode == 'r')
                controls.SetText(k.Control, TemplateKeyHoldsName(k) ? ini.ReadString(k.Section, k.Key, "")
                                                                    : ini.ReadText(k.Section, k.Key, ""));
            else
                ini.WriteString(k.Section, k.Key, controls.Text(k.Control));
            break;
        case TTemplateValue::Flag:
            if (mode == 'r')
                controls.SetFlag(k.Control, ini.ReadBool(k.Section, k.Key, k.Default != 0));
            else
                ini.WriteBool(k.Section, k.Key, controls.Flag(k.Control));
            break;
        default:
            if (mode == 'r')
                controls.SetNumber(k.Control, ini.ReadInteger(k.Section, k.Key, k.Default));
            else
                ini.WriteInteger(k.Section, k.Key, controls.Number(k.Control));
            break;
        }
    }
    return mode == 'r' || ini.UpdateFile();
}

std::vector<std::string> ListTemplateNames(const std::string& folder)
{
    std::vector<std::string> names;
    TSearchRec rec;
    for (int rc = FindFirst(folder + "*.pvx", 0, rec); rc == 0; rc = FindNext(rec))
        names.push_back(ExtractFileNameNoExt(rec.Name));
    FindClose(rec);
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    return names;
}

std::string TemplateNameProblem(const std::string& name)
{
    const bool control =
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
    if (name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
        name.find("..") == std::string::npos && !control)
        return std::string();
    return "\"" + name + "\" cannot be a setting name: a name cannot hold \"/\", \"\\\", \"..\" or control characters.";
}

TTemplateRename RenameTemplateFile(const std::string& folder, const std::string& oldName, const std::string& newName,
                                   std::string& message)
{
    message.clear();
    if (newName == oldName) return TTemplateRename::Unchanged;
    if (std::string problem = TemplateNameProblem(newName); !problem.empty()) {
        message = problem;
        return TTemplateRename::Invalid;
    }
    const std::string source = folder + oldName + ".pvx";
    const std::string target = folder + newName + ".pvx";
    if (!FileExists(source)) {
        message = "The setting \"" + oldName + "\" does not exist any more.";
        return TTemplateRename::Missing;
    }
    // A name that differs only in letter case is the same file on some
    // disks; it is still the one being renamed, not another template.
    if (FileExists(target) && !SameText(oldName, newName)) {
        message = "\"" + newName + "\" already exists. The setting was not renamed.";
        return TTemplateRename::Exists;
    }
    if (!ShellFileOperation(3, source, target)) {
        message = "\"" + oldName + "\" could not be renamed to \"" + newName + "\".";
        return TTemplateRename::Failed;
    }
    return TTemplateRename::Renamed;
}
