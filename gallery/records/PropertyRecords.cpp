// Keys and default texts of the 33 property records.
#include "gallery/records/PropertyRecords.h"

#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "platform/core/Integers.h"
#include "platform/core/Split.h"
#include "platform/core/Trim.h"
#include "platform/core/Utf8.h"
#include "platform/shell/DesktopPrograms.h"
#include "platform/shell/Shell.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cstdlib>

namespace {

const char* const Keys[PropertyRecordCount] = {
    "SourceImage",    "PagePropertiesIndex", "PagePropertiesImage", "AddText",        "AddLogo",       "Nothing1",
    "Nothing2",       "MoreTable",           "CaptionFontT",        "CaptionFontI",   "Edit1",         "Edit2",
    "Edit3",          "FrameTFolder",        "FrameIFolder",        "LogoIFolder",    "ManualPaste",   "Upload",
    "CurrentPage1",   "CurrentPage2",        "DropTargetXY",        "TextHeader1",    "TextFooter1",   "TextHeader2",
    "TextFooter2",    "AddFrameImage",       "AddMaskImage",        "AddButtonImage", "AddFrameThumb", "AddMaskThumb",
    "AddButtonThumb", "AddOutlineI",         "AddOutlineT",
};

void checkIndex(int index)
{
    if (index < 0 || index >= PropertyRecordCount)
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

const char* PropertyRecordKey(int index)
{
    checkIndex(index);
    return Keys[index];
}

int PropertyRecordIndexOf(const std::string& key)
{
    for (int i = 0; i < PropertyRecordCount; ++i)
        if (SameText(Keys[i], key)) return i;
    return -1;
}

namespace {

// Where a default holds the program folder (with its trailing '/').
const char* const FolderToken = "{program folder}";

// The default texts by index. The stamp's background picture lies in the
// program's frames folder, written with '/' like every path the program makes.
const char* const Defaults[PropertyRecordCount] = {
    "{program folder}",
    "1|8421440|1|16777215|0|16711680|0|8388736|0|255|0|0|wallpaper.jpg|0|0|0|0|_self|page "
    "|-|0|0|5|1|0|main.htm|left.htm|"
    "1|1|0|0",
    "0|16777215|0|0|0|16711680|0|8388736|0|255|0|0|wallpaper.jpg|0|0|0|0|_self|picture |-|0|0|5|1||||1|1|0|0",
    "Verdana|b|14|1|0|Pictavo gallery|1|0|0|50|0|0|0|0|255|100|120301|31231|1|{program "
    "folder}frames/bar1.gif|255|0|0|0|"
    "0|255|255|255|",
    "|0|0|0|0|0|0|255|0",
    "",
    "",
    "0|100|1|0|0|0|1|8388608|bg.jpg|||0|0|0|0|Center|Default|0|0||0|16777215|bg.jpg|0|0|0|0|0|0|Default|0|0|",
    "Verdana|1|0|0|0|8454143|0|16777215|",
    "Verdana|0|0|0|0|15|0|15",
    "",  // the desktop's web-page editor (EditorRecordDefault)
    "",  // the desktop's text editor
    "",
    "{program folder}frames",
    "{program folder}frames",
    "{program folder}frames",
    "Your Name|my login here|<specify here>|<specify here>|<specify here>|1",
    "ftp.example.com|21|100|My Name|Blue Harbor||http://www.example.com/",
    "0|0|0|",
    "0|0|0|",
    "50|50|",
    "<center><font name=\"Verdana\" Size=\"5\">My Thumbnail Header</font></center>",
    "<center><font name=\"Verdana\" Size=\"5\">My Thumbnail Footer</font></center>",
    "<center><font name=\"Verdana\" Size=\"5\">My Image Header</font></center>",
    "<center><font name=\"Verdana\" Size=\"5\">My Image Footer</font></center>",
    "0||0|255|0|0|",
    "0||0|100|0|16777215|0|0|0||",
    "0|10|0|20|16777215|0|0|10|0|50|16777215|",
    "0||0|255|0|0|",
    "0||0|100|0|16777215|0|0|0||",
    "0|5|0|20|16777215|0|0|10|0|50|16777215|",
    "0||0|255|0",
    "0||0|255|20",
};

// The editors "Edit with" offers first: what this desktop has for web pages
// and for text, an editor where there is one (a desktop entry in the
// categories of editors), else the desktop's own program for the kind.
std::string EditorRecordDefault(int index)
{
    const bool webPages = index == prEdit1;
    const std::string mimeType = webPages ? "text/html" : "text/plain";
    TDesktopProgram program;
    if (FindDesktopProgram(mimeType, {"TextEditor", "WebDevelopment"}, program) ||
        FindDesktopProgram(mimeType, {}, program))
        return MakePropertyRecord({program.Name, program.Program});
    std::string fallback;
    if (webPages) {
        fallback = FindProgramPath("xdg-open");
    } else {
        for (const char* variable : {"VISUAL", "EDITOR"}) {
            const char* command = std::getenv(variable);
            const std::vector<std::string> words = SplitParameters(command ? command : "");
            if (!words.empty()) fallback = FindProgramPath(words[0]);
            if (!fallback.empty()) break;
        }
    }
    return MakePropertyRecord({webPages ? "Web page editor" : "Text editor", fallback});
}

}  // namespace

std::string PropertyRecordDefault(int index)
{
    checkIndex(index);
    if (index == prEdit1 || index == prEdit2) return EditorRecordDefault(index);
    return ReplaceText(Defaults[index], FolderToken, ProgramFolder(), false, true);
}

std::string UpgradedPropertyRecord(int index, const std::string& stored)
{
    // The Windows programs the editors named before this program ran on Linux.
    if ((index == prEdit1 && stored == "Microsoft Frontpage|C:\\PROGRA~1\\MICROS~1\\OFFICE\\frontpg.exe|") ||
        (index == prEdit2 && stored == "Windows Notepad|c:\\windows\\notepad.exe|"))
        return PropertyRecordDefault(index);
    return stored;
}

bool FieldIsOn(const std::string& record, int n) { return FieldEquals(record, n, 1); }

bool FieldEquals(const std::string& record, int n, int value)
{
    return GetField(0, record, n) == std::to_string(value);
}

std::string EscapeRecordField(const std::string& text) { return ReplaceText(text, "|", "%line", false, true); }

std::string UnescapeRecordField(const std::string& text) { return ReplaceText(text, "%line", "|", false, true); }

std::string RecordText(int mode, const std::string& record, int n)
{
    return UnescapeRecordField(GetField(mode, record, n));
}

std::string CompletePropertyRecord(int index, const std::string& record)
{
    const std::string defaults = PropertyRecordDefault(index);
    if (defaults.find('|') == std::string::npos) return record;
    std::string rest = record, defaultRest = defaults, complete;
    while (!rest.empty() || !defaultRest.empty()) {
        const bool present = !rest.empty();
        std::string field = present ? NextField(rest) : std::string();
        const std::string fallback = NextField(defaultRest);
        int number = 0;
        if (!present) {
            field = fallback;
        } else if (ParseInteger(fallback, number)) {
            ParseInteger(TrimRight(field), number);  // keeps the default's number when the field is none
            field = std::to_string(number);
        }
        complete += field + "|";
    }
    return complete;
}

std::string MakePropertyRecord(const std::vector<std::string>& fields)
{
    std::string record;
    for (const std::string& field : fields) record += EscapeRecordField(field) + "|";
    return record;
}

std::string StoredFieldsToUtf8(const std::string& text, std::initializer_list<int> keptFields)
{
    const std::vector<std::string> fields = SplitText(text, '|');
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += '|';
        const bool kept = std::find(keptFields.begin(), keptFields.end(), int(i) + 1) != keptFields.end();
        out += kept ? fields[i] : StoredTextToUtf8(fields[i]);
    }
    return out;
}

std::string StoredPropertyRecord(int index, const std::string& stored)
{
    checkIndex(index);
    switch (index) {
    case prSourceImage:
    case prFrameTFolder:
    case prFrameIFolder:
    case prLogoIFolder: return stored;  // a folder, whole
    case prPagePropertiesIndex:
    case prPagePropertiesImage:
        return StoredFieldsToUtf8(stored,
                                  {PageField::BackgroundImageFile, PageField::FramePageFile, PageField::FrameTemplate});
    case prAddText: return StoredFieldsToUtf8(stored, {TextField::BackgroundFile});
    case prAddLogo: return StoredFieldsToUtf8(stored, {LogoField::File});
    case prMoreTable: return StoredFieldsToUtf8(stored, {TableField::BackgroundFile, TableField::CellBackgroundFile});
    case prEdit1:
    case prEdit2:
    case prEdit3: return StoredFieldsToUtf8(stored, {EditorField::Program});
    case prUpload:
        return StoredFieldsToUtf8(stored, {UploadField::User, UploadField::Password, UploadField::RemoteFolder});
    case prAddFrameImage:
    case prAddFrameThumb: return StoredFieldsToUtf8(stored, {FrameField::File});
    case prAddMaskImage:
    case prAddMaskThumb: return StoredFieldsToUtf8(stored, {MaskField::File});
    case prAddOutlineI:
    case prAddOutlineT: return StoredFieldsToUtf8(stored, {OutlineField::File});
    default: return StoredFieldsToUtf8(stored, {});
    }
}
