// The page writer: index pages with paged thumbnail tables and one page per
// image, filled from the HTML templates beside the program. The tables and
// picture cells are in pvuPagesTable.cpp, the page names and the helpers both
// share in pvuPagesNames.cpp.
#include "gallery/pages/pvuPagesNames.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/mainwindow/pvu.h"
#include "gallery/pages/pvuPagesTable.h"
#include "gallery/records/pvutils.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace page_writer;

namespace {

// "../" once per folder step of a page name relative to the destination.
std::string PrefixToRoot(const std::string& pageName)
{
    std::string prefix;
    for (char c : pageName)
        if (c == '/') prefix += "../";
    return prefix;
}

// Values put into a template line stand in it as tokens until every line step
// has run, so no step finds a variable inside a value an earlier step put in
// (a title or file name may well hold "%pageno").
class TLineValues {
public:
    std::string Put(const std::string& value)
    {
        values_.push_back(value);
        return std::string(1, TokenStart) + std::to_string(values_.size() - 1) + TokenEnd;
    }
    std::string Resolve(const std::string& line) const
    {
        std::string result;
        std::size_t at = 0;
        for (auto start = line.find(TokenStart); start != std::string::npos; start = line.find(TokenStart, at)) {
            result.append(line, at, start - at);
            const auto end = line.find(TokenEnd, start);
            const std::size_t index = TokenIndex(line, start, end);
            if (index < values_.size()) {
                result += values_[index];
                at = end + 1;
            } else {
                result += TokenStart;
                at = start + 1;
            }
        }
        result.append(line, at, std::string::npos);
        return result;
    }

private:
    // The value index written between start and end; past the values when
    // that is no token (no end, no digits, or a number no value has).
    std::size_t TokenIndex(const std::string& line, std::size_t start, std::size_t end) const
    {
        if (end == std::string::npos || end <= start + 1) return values_.size();
        std::size_t index = 0;
        for (std::size_t k = start + 1; k < end; ++k) {
            if (line[k] < '0' || line[k] > '9' || index >= values_.size()) return values_.size();
            index = index * 10 + static_cast<std::size_t>(line[k] - '0');
        }
        return index;
    }

    static constexpr char TokenStart = '\x01';
    static constexpr char TokenEnd = '\x02';
    std::vector<std::string> values_;
};

}  // namespace

// ---------------------------------------------------------------------------
// One page

namespace {

struct TPageContext {
    int Kind;
    int Page;  // from 1
    int PageCount;
    std::string Record;  // page properties of the kind
    std::string Prefix;  // from this page's folder back to the destination
};

std::string PageLink(const TForm1& form, const TPageContext& page, int kind, int n)
{
    return page.Prefix + UrlFromName(PageName(form, kind, n));
}

void ApplyBanners(const TPageContext& page, TStringList& lines, int& counter)
{
    const int mode = IntField(page.Record, PageField::BannerMode);
    const std::string file = EditableDataFile(page.Kind == 0 ? "banner1.dat" : "banner2.dat");
    for (int j = 0; j < lines.Count(); ++j) {
        std::string line = lines[j];
        if (!ContainsNoCase(line, "%banner")) continue;
        std::string banner;
        if (mode == bnStep) {
            ReadListLine(file, counter, banner);
            counter += IntField(page.Record, PageField::BannerStep);
        } else if (mode == bnNumberOfLine) {
            counter = IntField(page.Record, PageField::BannerStep) + 1;
            ReadListLine(file, counter, banner);
        }
        ReplaceVariable(line, "%banner", "", banner);
        lines.Put(j, line);
    }
}

// The last lines holding "<body", "</body" and "<head" (0: none; a find on
// the first line counts as none, as the template's own line 0 never does).
struct TTemplateMarks {
    int Body = 0, BodyEnd = 0, Head = 0;
};

TTemplateMarks FindTemplateMarks(const TStringList& lines)
{
    TTemplateMarks marks;
    for (int j = 0; j < lines.Count(); ++j) {
        const std::string lower = AsciiLower(lines[j]);
        if (lower.find("<body") != std::string::npos) marks.Body = j;
        if (lower.find("</body") != std::string::npos) marks.BodyEnd = j;
        if (lower.find("<head") != std::string::npos) marks.Head = j;
    }
    return marks;
}

void InsertHeadAndBody(const TForm1& form, const TPageContext& page, TStringList& lines)
{
    const TTemplateMarks marks = FindTemplateMarks(lines);
    auto insertAt = [&](int index, const std::string& text) { lines.Insert(std::min(index, lines.Count()), text); };
    const bool index = page.Kind == 0;
    if (marks.Body > 0 && Field(page.Record, PageField::HeaderOn) == "1")
        insertAt(marks.Body + 2, UnescapeRecordField(form.GetPropertyRecord(index ? prTextHeader1 : prTextHeader2)));
    if (marks.BodyEnd > 0 && Field(page.Record, PageField::FooterOn) == "1")
        insertAt(marks.BodyEnd, UnescapeRecordField(form.GetPropertyRecord(index ? prTextFooter1 : prTextFooter2)));
    const std::string baseUrl = form.ComboBox23->Text();
    if (marks.Head > 0 && !baseUrl.empty()) insertAt(marks.Head + 2, "<base href=\"" + baseUrl + "\">");
}

// Where the title line's refresh sends the browser: the next page, and after
// the last page the first page or the index page as the record says.
std::string RefreshTarget(const TForm1& form, const TPageContext& page)
{
    if (page.Page < page.PageCount) return PageLink(form, page, page.Kind, page.Page + 1);
    const int after = IntField(page.Record, PageField::AfterLastPage);
    if (after == alLoop) return PageLink(form, page, page.Kind, 1);
    if (after == alIndexPage) return PageLink(form, page, 0, 1);
    return std::string();
}

// The page's title: the title pattern of its kind with the page numbers, then
// the picture variables of the page's item.
std::string PageTitle(const TForm1& form, const TPageContext& page, TPageWriterState& state)
{
    const int item = page.Page - 1;
    std::string filePath;
    if (item < state.ItemCount) {
        state.Markup.CurrentResultLine = ResultLine(form, 2 * item);
        filePath = NormalizeFolderPath(form.Edit1->Text()) +
                   ResultLineField(state.Markup.CurrentResultLine, ResultField::Name);
    }
    // Page numbers in the title pattern are filled here, before the picture
    // variables bring in file names that must not be searched again.
    std::string pattern = page.Kind == 0 ? form.Edit3->Text() : form.Edit6->Text();
    pattern = ReplaceText(pattern, "%currpageno", std::to_string(page.Page), true, true);
    pattern = ReplaceText(pattern, "%totpageno", std::to_string(page.PageCount), true, true);
    return ExpandCaption(0, item, filePath, pattern, state.Markup);
}

void TitleStep(const TForm1& form, const TPageContext& page, TPageWriterState& state, TLineValues& values,
               std::string& line)
{
    const auto title = FindNoCase(line, "<title>");
    if (title == std::string::npos) return;
    const std::string& record = page.Record;
    const std::string next = RefreshTarget(form, page);
    if (Field(record, PageField::AutoRefresh) == "1" && page.PageCount > 1 && !next.empty())
        line.insert(title, values.Put("<meta http-equiv=\"refresh\" content=\"" +
                                      Field(record, PageField::RefreshDelay) + ";URL=" + next + "\">" + CrLf));
    ReplaceVariable(line, "%title", "", values.Put(PageTitle(form, page, state)));

    const std::string index = form.CompletedPropertyRecord(prPagePropertiesIndex);
    const auto close = FindNoCase(line, "</title>");
    if (Field(index, PageField::FramesOn) == "1" && close != std::string::npos)
        line.insert(close + 8,
                    values.Put(std::string(CrLf) + "<base target=\"" + Text(index, PageField::BaseTarget) + "\">"));
}

void DateTimeStep(TLineValues& values, std::string& line)
{
    const std::string variable = "%currentdatetime[";
    const auto at = FindNoCase(line, variable);
    if (at == std::string::npos) return;
    const auto close = line.find(']', at + variable.size());
    if (close == std::string::npos) return;
    std::string now;
    FormatNow(line.substr(at + variable.size(), close - at - variable.size()), now);
    line.replace(at, close + 1 - at, values.Put(now));
}

void BodyStep(const TPageContext& page, TLineValues& values, std::string& line)
{
    if (!ContainsNoCase(line, "<body")) return;
    using namespace PageField;
    const std::string& record = page.Record;
    // Five (on, colour) pairs in a row, from the background colour to the active-link colour.
    const char* names[5] = {"bgcolor", "text", "link", "vlink", "alink"};
    for (int k = 0; k < 5; ++k)
        if (Field(record, BackgroundColorOn + 2 * k) == "1")
            SetTagAttribute(line, "<body", names[k], HtmlColour(record, BackgroundColor + 2 * k));
    if (Field(record, BackgroundFixed) == "1") SetTagAttribute(line, "<body", "bgproperties", "fixed");
    if (Field(record, BackgroundImageOn) == "1")
        SetTagAttribute(line, "<body", "background", values.Put(BackgroundAddress(record, BackgroundImageFile)));
    if (Field(record, TopMarginOn) == "1")
        SetTagAttribute(line, "<body", "topmargin", PlainInteger(Field(record, TopMargin)));
    if (Field(record, LeftMarginOn) == "1")
        SetTagAttribute(line, "<body", "leftmargin", PlainInteger(Field(record, LeftMargin)));
}

// Replaces a navigation variable; at an end of the sequence its link goes by the end-link mode.
void NavigationLink(std::string& line, TLineValues& values, const char* variable, const std::string& name, bool atEnd,
                    int mode)
{
    if (!ContainsNoCase(line, variable)) return;
    const std::string token = values.Put(name);
    ReplaceVariable(line, variable, "", token);
    if (atEnd) RemoveLinkTag(line, false, mode, token);
}

void NavigationStep(const TForm1& form, const TPageContext& page, TLineValues& values, std::string& line)
{
    const bool any = ContainsNoCase(line, "%firstpage") || ContainsNoCase(line, "%prevpage") ||
                     ContainsNoCase(line, "%nextpage") || ContainsNoCase(line, "%lastpage");
    if (!any) return;
    const int mode = IntField(page.Record, PageField::EndLinks);
    const bool first = page.Page == 1;
    const bool last = page.Page >= page.PageCount;
    NavigationLink(line, values, "%firstpage", PageLink(form, page, page.Kind, 1), first, mode);
    NavigationLink(line, values, "%prevpage", PageLink(form, page, page.Kind, first ? 1 : page.Page - 1), first, mode);
    NavigationLink(line, values, "%nextpage", PageLink(form, page, page.Kind, last ? page.PageCount : page.Page + 1),
                   last, mode);
    NavigationLink(line, values, "%lastpage", PageLink(form, page, page.Kind, page.PageCount), last, mode);
}

void IndexPageStep(const TForm1& form, const TPageContext& page, TLineValues& values, std::string& line)
{
    if (page.Kind != 1 || !ContainsNoCase(line, "%indexpage")) return;
    int indexPage = 1, remainder = 0;
    const int layout = form.ComboBox1->ItemIndex();
    if (layout == lyRows)
        PageCount(indexPage, remainder, lyRows, form.SpinEdit2->Value(), form.SpinEdit1->Value(), page.Page);
    else if (layout == lyThumbs)
        PageCount(indexPage, remainder, lyThumbs, form.SpinEdit2->Value(), 0, page.Page);
    ReplaceVariable(line, "%indexpage", "", values.Put(PageLink(form, page, 0, indexPage)));
}

void PageNumberStep(const TForm1& form, const TPageContext& page, TLineValues& values, std::string& line)
{
    if (!ContainsNoCase(line, "%pageno")) return;
    std::string value;
    if (page.PageCount > 1) {
        const std::string label = Text(page.Record, PageField::PageNumberText);
        const std::string separator = Text(page.Record, PageField::PageNumberSeparator);
        for (int n = 1; n <= page.PageCount; ++n) {
            std::string piece = label + std::to_string(n);
            if (n != page.Page) {
                piece = "(f: :" + piece + ")";
                ConvertLinkMarkup(piece, "(f:", true, PageLink(form, page, page.Kind, n));
            }
            if (n > 1) value += " " + separator + " ";
            value += piece;
        }
    }
    ReplaceVariable(line, "%pageno", "", values.Put(value));
}

}  // namespace

namespace {

// Every step of one template line, in order; the values they put in are
// resolved only at the end.
std::string FillTemplateLine(const TForm1& form, const TPageContext& page, TPageWriterState& state, std::string line)
{
    TLineValues values;
    TitleStep(form, page, state, values, line);
    if (ContainsNoCase(line, "%currpageno"))
        ReplaceVariable(line, "%currpageno", "", values.Put(std::to_string(page.Page)));
    if (ContainsNoCase(line, "%totpageno"))
        ReplaceVariable(line, "%totpageno", "", values.Put(std::to_string(page.PageCount)));
    DateTimeStep(values, line);
    BodyStep(page, values, line);
    NavigationStep(form, page, values, line);
    IndexPageStep(form, page, values, line);
    PageNumberStep(form, page, values, line);
    const char* location = page.Kind == 0 ? "%thumb_location" : "%img_location";
    if (ContainsNoCase(line, location)) {
        const std::string cell = page.Kind == 0 ? IndexLocation(form, state) : ImageLocation(form, state);
        ReplaceVariable(line, location, "", values.Put(cell));
    }
    return values.Resolve(line);
}

// Index pages need a template choice; an empty one takes the first entry.
bool ChooseIndexTemplate(TComboBox& choice)
{
    if (choice.Text().empty() && choice.Items().Count() > 0) choice.SetItemIndex(0);
    return !choice.Text().empty();
}

}  // namespace

void TForm1::WritePages(int kind, int pageCount, const std::string& templateFile, int /*remainder*/)
{
    if (kind == 0 && !ChooseIndexTemplate(*ComboBox3)) return;
    const std::string templatePath = ToFileSystemPath(templateFile);
    if (!FileExists(templatePath)) return;

    TPageWriterState state;
    PrepareState(*this, kind, state);
    const std::string destination = NormalizeFolderPath(Edit1->Text());
    const std::string record = CompletedPropertyRecord(kind == 0 ? prPagePropertiesIndex : prPagePropertiesImage);

    for (int i = 1; i <= pageCount; ++i) {
        ProgressBar1->StepBy(1);
        TStringList lines;
        lines.LoadFromFile(templatePath);

        const std::string name = PageName(*this, kind, i);
        const TPageContext page{kind, i, pageCount, record, PrefixToRoot(name)};
        if (kind == 1) state.Markup.RelativePrefix = page.Prefix;

        ApplyBanners(page, lines, state.BannerLine);
        InsertHeadAndBody(*this, page, lines);
        for (int j = 0; j < lines.Count(); ++j) lines.Put(j, FillTemplateLine(*this, page, state, lines[j]));

        const std::string target = destination + name;
        ForceDirectories(ExtractFilePath(target));
        lines.SaveToFile(target);
    }
}
