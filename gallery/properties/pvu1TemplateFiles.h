#pragma once
// Settings templates of the properties dialog, without its controls: which
// keys of which sections a face keeps, moving them between an INI file and
// whatever shows the values, and the files of a kind folder
// (settings/<kind>/<name>.pvx in the program folder).

#include <string>
#include <vector>

// The dialog's faces that keep templates are its notebook pages 0 to 3.
constexpr int TemplatePageCount = 4;

// "page", "text", "logo", "frame" for pages 0..3; empty for any other page.
std::string TemplateKind(int page);
// The kind folder of a page, with a trailing '/'; empty for pages without templates.
std::string TemplateFolder(int page);
// The template file of a name; empty for pages without templates.
std::string TemplateFile(int page, const std::string& name);

// How a control's value is stored, chosen from its name like the settings store does.
enum class TTemplateValue { Colour, Flag, Number, Index, Text };
TTemplateValue TemplateValueKind(const std::string& control);

// One key of a template: the section, the key, the control that shows it,
// and what a missing or unreadable integer key reads as.
struct TTemplateKey {
    const char* Section;
    const char* Key;
    const char* Control;
    int Default;
};
// The keys of a page in the order they are read and written; empty for other pages.
const std::vector<TTemplateKey>& TemplateKeys(int page);

// Keys that hold a picture file ("BGImageFile", "bgfile", "File") read byte
// for byte; the other texts, when not valid UTF-8, were stored in
// Windows-1252 and are read as UTF-8.
bool TemplateKeyHoldsName(const TTemplateKey& key);

// What a template moves its values between: the dialog's controls, or a plain
// table in tests. Colours, indexes and numbers are numbers.
class TTemplateControls {
public:
    virtual ~TTemplateControls() = default;
    virtual std::string Text(const std::string& control) const = 0;
    virtual void SetText(const std::string& control, const std::string& text) = 0;
    virtual int Number(const std::string& control) const = 0;
    virtual void SetNumber(const std::string& control, int value) = 0;
    virtual bool Flag(const std::string& control) const = 0;
    virtual void SetFlag(const std::string& control, bool value) = 0;
};

// Mode 'r' reads every key of the page's sections from the file into the
// controls (a missing file reads as empty: every key its default); mode 'w'
// writes them. False when the file could not be written.
bool TransferTemplate(char mode, const std::string& path, int page, TTemplateControls& controls);

// The template names of a kind folder (files "*.pvx" without the extension),
// in the list's order: ignoring case.
std::vector<std::string> ListTemplateNames(const std::string& folder);

// Why a name cannot be a template name, or empty when it can. A name must
// stay inside its kind folder, so "/", "\" and ".." are refused, and so are
// control characters, which no file name should hold.
std::string TemplateNameProblem(const std::string& name);

enum class TTemplateRename { Renamed, Unchanged, Invalid, Exists, Missing, Failed };
// Renames the template file of oldName to newName in a kind folder. Invalid,
// Exists (another template has that name), Missing (the old file is gone) and
// Failed leave every file as it was; message then says why.
TTemplateRename RenameTemplateFile(const std::string& folder, const std::string& oldName, const std::string& newName,
                                   std::string& message);
