// The page writer's page names and the helpers its files share: case-blind
// search and record fields as the pages read them.
#include "gallery/pages/pvuPagesNames.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/mainwindow/pvu.h"
#include "gallery/records/pvutils.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/system/System.h"

#include <algorithm>
#include <string>

// ---------------------------------------------------------------------------
// Page names

namespace {

// The name of page p (from 0) of a kind, before case conversion.
std::string RawPageName(const TForm1& form, const std::string& pattern, int kind, int p)
{
    if (kind == 1 && ExtractFileName(pattern).empty()) {
        const std::string item = p < form.ListView1->Count() ? form.ListView1->Caption(p) : std::string();
        return pattern + page_writer::ImagePageStem(form, item) + ".htm";
    }
    std::string name;
    MakeTargetFileName(0, pattern, std::string(), name, p, p + 1, std::string());
    return AddDefaultExt(deHtm, name);
}

std::string FinalPageName(const TForm1& form, const std::string& pattern, int kind, int p)
{
    return ConvertCase(form.ComboBox10->ItemIndex(), ContainedRelativePath(RawPageName(form, pattern, kind, p)));
}

}  // namespace

namespace page_writer {

std::size_t FindNoCase(const std::string& text, const std::string& lowerPattern, std::size_t from)
{
    return AsciiLower(text).find(lowerPattern, from);
}

bool ContainsNoCase(const std::string& text, const std::string& lowerPattern)
{
    return FindNoCase(text, lowerPattern) != std::string::npos;
}

std::string ImagePageStem(const TForm1& form, const std::string& itemName)
{
    if (itemName.empty()) return itemName;
    const int kind = form.ComboBox8->ItemIndex() == 1 ? okGif : okJpeg;
    return ExtractFileNameNoExt(OutputPictureName(kind, ExtractFileName(itemName)));
}

// Widths and heights go into attributes as plain integers, whatever grouping
// the per-item list or a record field carries.
std::string PlainInteger(const std::string& text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) return digits.empty() ? std::string() : "0";
    return digits.substr(first);
}

std::string Field(const std::string& record, int n) { return GetField(1, record, n); }
int IntField(const std::string& record, int n) { return StrToInt(GetField(1, record, n)); }
std::string Text(const std::string& record, int n) { return RecordText(1, record, n); }
std::string TrimmedText(const std::string& record, int n) { return RecordText(0, record, n); }

std::string HtmlColour(const std::string& record, int n) { return "#" + ColorToHtmlHex(IntField(record, n)); }

std::string BackgroundAddress(const std::string& record, int n)
{
    // The name the build copies the picture under (CopyBackgroundPictures).
    return UrlFromName(ExtractFileName(StoredFileName("", Text(record, n))));
}

// Field n of a per-item result line ("name|width|height|colours").
std::string ResultLineField(const std::string& line, int n) { return GetField(1, line, n); }

// Page n (from 1) of a kind: the build's list when it holds the page, else formed
// from the setting the same way.
std::string PageName(const TForm1& form, int kind, int n)
{
    const TListBox* list = kind == 0 ? form.ListBox3 : form.ListBox4;
    if (n >= 1 && n <= list->Items().Count()) return list->Items().Get(n - 1);
    return FinalPageName(form, kind == 0 ? form.Edit2->Text() : form.Edit4->Text(), kind, std::max(n - 1, 0));
}

}  // namespace page_writer

using namespace page_writer;

void TForm1::FillPageNames(const std::string& pattern, int kind, int count, const std::string& listName)
{
    auto* list = Find<TListBox>(listName);
    if (!list) return;
    for (int p = 0; p < count; ++p) list->Items().Add(FinalPageName(*this, pattern, kind, p));
}
