// The page writer: index pages with paged thumbnail tables and one page per
// image, filled from the HTML templates beside the program.
#include "gallery/pvu.h"

#include "gallery/PropertyRecords.h"
#include "gallery/pvutils.h"
#include "gallery/pvutilsMarkup.h"
#include "gallery/pvutilsPictures.h"
#include "gallery/srutils.h"
#include "gallery/srutilsFiles.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char* const CrLf = "\r\n";

std::size_t FindNoCase(const std::string& text, const std::string& lowerPattern, std::size_t from = 0)
{
    return AsciiLower(text).find(lowerPattern, from);
}

bool ContainsNoCase(const std::string& text, const std::string& lowerPattern)
{
    return FindNoCase(text, lowerPattern) != std::string::npos;
}

// "../" once per folder step of a page name relative to the destination.
std::string PrefixToRoot(const std::string& pageName)
{
    std::string prefix;
    for (char c : pageName)
        if (c == '/') prefix += "../";
    return prefix;
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
        while (at < line.size()) {
            const auto start = line.find(TokenStart, at);
            if (start == std::string::npos) break;
            const auto end = line.find(TokenEnd, start);
            std::size_t index = 0;
            bool valid = end != std::string::npos && end > start + 1;
            for (std::size_t k = start + 1; valid && k < end; ++k) {
                valid = line[k] >= '0' && line[k] <= '9' && index < values_.size();
                index = index * 10 + static_cast<std::size_t>(line[k] - '0');
            }
            valid = valid && index < values_.size();
            result.append(line, at, start - at);
            if (valid) {
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
    static constexpr char TokenStart = '\x01';
    static constexpr char TokenEnd = '\x02';
    std::vector<std::string> values_;
};

std::string Field(const std::string& record, int n) { return GetField(1, record, n); }
std::string TrimmedField(const std::string& record, int n) { return GetField(0, record, n); }
int IntField(const std::string& record, int n) { return StrToInt(GetField(1, record, n)); }

std::string HtmlColour(const std::string& record, int n) { return "#" + ColorToHtmlHex(IntField(record, n)); }

// Field n of a per-item result line ("name|width|height|colours").
std::string ResultLineField(const std::string& line, int n) { return GetField(1, line, n); }

}  // namespace

// ---------------------------------------------------------------------------
// Page names

namespace {

// The name of page p (from 0) of a kind, before case conversion.
std::string RawPageName(const TForm1& form, const std::string& pattern, int kind, int p)
{
    if (kind == 1 && ExtractFileName(pattern).empty()) {
        std::string item = p < form.ListView1->Count() ? form.ListView1->Caption(p) : std::string();
        return pattern + ExtractFileNameNoExt(item) + ".htm";
    }
    std::string name;
    MakeTargetFileName(0, pattern, std::string(), name, p, p + 1, std::string());
    return AddDefaultExt(deHtm, name);
}

std::string FinalPageName(const TForm1& form, const std::string& pattern, int kind, int p)
{
    return ConvertCase(form.ComboBox10->ItemIndex(), ContainedRelativePath(RawPageName(form, pattern, kind, p)));
}

// Page n (from 1) of a kind: the build's list when it holds the page, else formed
// from the setting the same way.
std::string PageName(const TForm1& form, int kind, int n)
{
    const TListBox* list = kind == 0 ? form.ListBox3 : form.ListBox4;
    if (n >= 1 && n <= list->Items().Count()) return list->Items().Get(n - 1);
    return FinalPageName(form, kind == 0 ? form.Edit2->Text() : form.Edit4->Text(), kind, std::max(n - 1, 0));
}

}  // namespace

void TForm1::FillPageNames(const std::string& pattern, int kind, int count, const std::string& listName)
{
    auto* list = Find<TListBox>(listName);
    if (!list) return;
    for (int p = 0; p < count; ++p) list->Items().Add(FinalPageName(*this, pattern, kind, p));
}

// ---------------------------------------------------------------------------
// Table, cell and caption-position line, prepared once per call

namespace {

struct TPageWriterState {
    TMarkupState Markup;
    std::string TableTag;
    std::string CellTag;
    std::string CellClose;
    std::string PictureAttributes;
    int ItemCount = 0;
    int Item = 0;    // running item counter across the pages of one call
    int Tables = 0;  // tables written so far
    int BannerLine = 0;
};

std::string MakeTableTag(const TForm1& form, const std::string& table)
{
    std::string tag = "<table";
    AddAttribute(tag, form.SpinEdit3->Value() != 1, "border=", std::to_string(form.SpinEdit3->Value()));
    AddAttribute(tag, form.SpinEdit4->Value() != 1, "cellpadding=", std::to_string(form.SpinEdit4->Value()));
    AddAttribute(tag, form.SpinEdit5->Value() != 2, "cellspacing=", std::to_string(form.SpinEdit5->Value()));
    using namespace TableField;
    if (IntField(table, WidthOn) == 1)
        AddAttribute(tag, true,
                     "width=", PlainInteger(Field(table, Width)) + (Field(table, WidthInPercent) == "1" ? "%" : ""));
    if (IntField(table, HeightOn) == 1)
        AddAttribute(tag, true,
                     "height=", PlainInteger(Field(table, Height)) + (Field(table, HeightInPercent) == "1" ? "%" : ""));
    const int background = IntField(table, Background);
    if (background == tbColor) tag += " bgcolor=\"" + HtmlColour(table, BackgroundColor) + "\"";
    if (background == tbPicture) tag += " background=\"" + ExtractFileName(Field(table, BackgroundFile)) + "\"";
    tag += " " + Field(table, TableAttributes);
    const bool light = Field(table, HighlightBorderOn) == "1";
    AddAttribute(tag, light, "bordercolorlight=", light ? HtmlColour(table, HighlightBorderColor) : "");
    const bool dark = Field(table, ShadowBorderOn) == "1";
    AddAttribute(tag, dark, "bordercolordark=", dark ? HtmlColour(table, ShadowBorderColor) : "");
    return tag + ">";
}

std::string MakeCellAttributes(const std::string& table)
{
    using namespace TableField;
    std::string attributes;
    const std::string align = TrimmedField(table, CellAlign);
    const std::string valign = TrimmedField(table, CellVAlign);
    AddAttribute(attributes, align != "Default", "align=", align);
    AddAttribute(attributes, valign != "Default", "valign=", valign);
    if (Field(table, NoWrap) != "0") attributes += " nowrap";
    if (!Field(table, CellAttributes).empty()) attributes += " " + Field(table, CellAttributes);
    const int background = IntField(table, CellBackground);
    if (background == tbColor) attributes += " bgcolor=\"" + HtmlColour(table, CellBackgroundColor) + "\"";
    // The build copies the picture into the destination folder, so the cell names it without its folder.
    if (background == tbPicture)
        attributes += " background=\"" + ExtractFileName(Field(table, CellBackgroundFile)) + "\"";
    // Three (on, colour) pairs in a row: cell border, highlight and shadow colours.
    const char* names[3] = {"bordercolor=", "bordercolorlight=", "bordercolordark="};
    for (int k = 0; k < 3; ++k) {
        const bool on = Field(table, CellBorderColorOn + 2 * k) != "0";
        AddAttribute(attributes, on, names[k], on ? HtmlColour(table, CellBorderColor + 2 * k) : "");
    }
    return attributes;
}

std::string MakePictureAttributes(const TForm1& form, const std::string& table)
{
    std::string attributes;
    using namespace TableField;
    const std::string align = TrimmedField(table, PictureAlign);
    AddAttribute(attributes, align != "Default", "align=", align);
    AddAttribute(attributes, Field(table, PictureHSpace) != "0", "hspace=", Field(table, PictureHSpace));
    AddAttribute(attributes, Field(table, PictureVSpace) != "0", "vspace=", Field(table, PictureVSpace));
    AddAttribute(attributes, true, "border=", std::to_string(form.SpinEdit11->Value()));
    return attributes;
}

// The chosen caption-position line; the buttons its <img> tags show are copied
// beside the pages under the names the line links.
std::string PrepareCaptionLine(const TForm1& form, int kind, const std::string& destination)
{
    const std::string list = ProgramFolder() + (kind == 0 ? "pvcapt.pv" : "pvcapi.pv");
    int choice = (kind == 0 ? form.ComboBox9 : form.ComboBox14)->ItemIndex();
    std::string line;
    ReadListLine(list, choice, line);
    const auto bar = line.find('|');
    line = bar == std::string::npos ? std::string() : line.substr(bar + 1);
    line = ReplaceText(line, "%thumbwidth", std::to_string(form.SpinEdit6->Value()), true, true);
    line = ReplaceText(line, "%thumbheight", std::to_string(form.SpinEdit7->Value()), true, true);

    // Scan a copy, so the line keeps its tags exactly as written.
    std::string scan = line;
    for (std::size_t at = FindNoCase(scan, "<img"); at != std::string::npos; at = FindNoCase(scan, "<img", at + 4)) {
        std::string source = scan.substr(at);
        GetTagAttribute(source, "<img", "src");
        const std::string name = ContainedRelativePath(source);
        if (name.empty()) continue;
        for (const std::string& folder : form.PageFolders(kind)) {
            const std::string target = destination + folder + name;
            ForceDirectories(ExtractFilePath(target));
            ShellFileOperation(0, ProgramFolder() + "buttons/" + name, target);
        }
    }
    return line;
}

void PrepareState(const TForm1& form, int kind, TPageWriterState& state)
{
    const std::string destination = NormalizeFolderPath(form.Edit1->Text());
    const std::string table = form.GetPropertyRecord(prMoreTable);
    state.TableTag = MakeTableTag(form, table);
    const std::string cellAttributes = MakeCellAttributes(table);
    const bool header = Field(table, TableField::HeaderCells) != "0";
    state.CellTag = (header ? "<th" : "<td") + cellAttributes + ">";
    state.CellClose = header ? "</th>" : "</td>";
    state.PictureAttributes = MakePictureAttributes(form, table);

    TMarkupState& markup = state.Markup;
    markup.PageKind = kind;
    markup.CaptionPositionLine = PrepareCaptionLine(form, kind, destination);
    markup.DestinationFolder = form.Edit1->Text();
    markup.ReplaceForbiddenCharacter = form.menuitem10->Checked();
    markup.CaptionFont = form.GetPropertyRecord(kind == 0 ? prCaptionFontT : prCaptionFontI);
    const int items = form.ListView1->Count();
    for (int i = 0; i < items; ++i)
        markup.SourceItems.push_back({form.ListView1->SubItem(i, 0), form.ListView1->Caption(i)});
    // An item counts only with both of its result lines.
    state.ItemCount = std::min(items, form.ListBox2->Items().Count() / 2);
}

std::string ResultLine(const TForm1& form, int index)
{
    return index >= 0 && index < form.ListBox2->Items().Count() ? form.ListBox2->Items().Get(index) : std::string();
}

std::string SizeAttributes(const std::string& resultLine)
{
    const std::string width = PlainInteger(ResultLineField(resultLine, ResultField::Width));
    const std::string height = PlainInteger(ResultLineField(resultLine, ResultField::Height));
    return " width=\"" + width + "\" height=\"" + height + "\" ";
}

bool HasMeasuredWidth(const TForm1& form, const std::string& resultLine)
{
    const std::string width = ResultLineField(resultLine, ResultField::Width);
    return form.CheckBox7->Checked() && !width.empty() && width != "0";
}

void ShowLocationProgress(const TForm1& form, const char* text, int count)
{
    form.Label34->SetCaption(text + std::to_string(count));
    if (Application) Application->ProcessMessages();
}

// The thumbnail table of one index page.
std::string IndexLocation(const TForm1& form, TPageWriterState& state)
{
    std::vector<std::string> work;
    const int alignment = form.ComboBox2->ItemIndex();
    const bool aligned = alignment > 0;
    const bool center = form.ComboBox2->Text() == "Center";
    int indent = 0;
    if (aligned) {
        work.push_back("<div align=\"" + form.ComboBox2->Text() + "\">" + (center ? "<center>" : ""));
        indent = 2;
    }
    work.push_back(AddSpaces(indent) + state.TableTag);
    ++state.Tables;

    const int columns = std::max(form.SpinEdit1->Value(), 1);
    const int layout = form.ComboBox1->ItemIndex();
    const int perPage = form.SpinEdit2->Value();
    int rows = perPage;
    // Just enough rows for the thumbnails of a page, so no page ends in a row of fillers.
    if (layout == lyThumbs) rows = (std::max(perPage, 1) + columns - 1) / columns;
    if (layout == lySinglePage) rows = state.ItemCount / columns + 1;

    const int linkTo = form.ComboBox4->ItemIndex();
    const std::string targetAttribute =
        Field(form.GetPropertyRecord(prPagePropertiesIndex), PageField::FramesOn) == "1" ? " target=\"image\"" : "";
    for (int row = 0; row < rows; ++row) {
        if (state.Item >= state.ItemCount) break;
        work.push_back(AddSpaces(indent + 2) + "<tr>");
        bool lastLive = false;
        for (int column = 1; column <= columns; ++column) {
            const int c = state.Item;
            lastLive = c < state.ItemCount && (layout != lyThumbs || c < perPage * state.Tables);
            if (!lastLive) {
                if (row > 0) work.push_back(AddSpaces(indent + 4) + state.CellTag + "&nbsp;" + state.CellClose);
                continue;
            }
            const std::string imageLine = ResultLine(form, 2 * c);
            const std::string thumbLine = ResultLine(form, 2 * c + 1);
            const std::string imageName = ResultLineField(imageLine, ResultField::Name);
            std::string target;
            if (linkTo == hlOriginalImage) target = imageName;
            if (linkTo == hlImagePage) target = PageName(form, 1, c + 1);
            state.Markup.SizeAttributes = HasMeasuredWidth(form, thumbLine) ? SizeAttributes(thumbLine) : "";
            state.Markup.ImageAttributes = state.PictureAttributes;
            state.Markup.CurrentResultLine = imageLine;
            std::string cell;
            MakeThumbnailCell(linkTo != hlNone, ResultLineField(thumbLine, ResultField::Name), target, cell,
                              targetAttribute, c, std::string(), form.ComboBox11->Text(), form.ComboBox12->Text(),
                              imageName, state.Markup);
            work.push_back(AddSpaces(indent + 4) + state.CellTag + cell + state.CellClose);
            ++state.Item;
        }
        if (lastLive) work.push_back(AddSpaces(indent + 2) + "</tr>");
    }
    work.push_back(AddSpaces(indent) + "</table>");
    if (aligned) work.push_back(std::string(center ? "</center>" : "") + "</div>");

    std::string text;
    for (const std::string& line : work) text += line + CrLf;
    ShowLocationProgress(form, "Creating index Pages: ", state.Item);
    return text;
}

// The picture of one image page.
std::string ImageLocation(const TForm1& form, TPageWriterState& state)
{
    ShowLocationProgress(form, "Creating image Pages: ", state.Item);
    const int c = state.Item;
    if (c >= state.ItemCount) return std::string();
    const std::string imageLine = ResultLine(form, 2 * c);
    const std::string imageName = ResultLineField(imageLine, ResultField::Name);
    std::string size = HasMeasuredWidth(form, imageLine) ? SizeAttributes(imageLine) : "";
    size += " border=\"" + std::to_string(form.SpinEdit10->Value()) + "\"";
    state.Markup.SizeAttributes = size;
    state.Markup.ImageAttributes.clear();
    state.Markup.CurrentResultLine = imageLine;
    const std::string address = form.Edit11->Text();
    std::string cell;
    MakeThumbnailCell(!address.empty(), imageName, imageName, cell, std::string(), c, address, form.ComboBox13->Text(),
                      form.ComboBox15->Text(), imageName, state.Markup);
    ++state.Item;
    return cell;
}

// ---------------------------------------------------------------------------
// One page

struct TPageContext {
    int Kind;
    int Page;  // from 1
    int PageCount;
    std::string Record;  // page properties of the kind
    std::string Prefix;  // from this page's folder back to the destination
};

std::string PageLink(const TForm1& form, const TPageContext& page, int kind, int n)
{
    return page.Prefix + PageName(form, kind, n);
}

void ApplyBanners(const TPageContext& page, TStringList& lines, int& counter)
{
    const int mode = IntField(page.Record, PageField::BannerMode);
    const std::string file = ProgramFolder() + (page.Kind == 0 ? "banner1.dat" : "banner2.dat");
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

void InsertHeadAndBody(const TForm1& form, const TPageContext& page, TStringList& lines)
{
    int body = 0, bodyEnd = 0, head = 0;
    for (int j = 0; j < lines.Count(); ++j) {
        const std::string lower = AsciiLower(lines[j]);
        if (lower.find("<body") != std::string::npos) body = j;
        if (lower.find("</body") != std::string::npos) bodyEnd = j;
        if (lower.find("<head") != std::string::npos) head = j;
    }
    auto insertAt = [&](int index, const std::string& text) { lines.Insert(std::min(index, lines.Count()), text); };
    const int headerRecord = page.Kind == 0 ? prTextHeader1 : prTextHeader2;
    const int footerRecord = page.Kind == 0 ? prTextFooter1 : prTextFooter2;
    if (body > 0 && Field(page.Record, PageField::HeaderOn) == "1")
        insertAt(body + 2, UnescapeRecordField(form.GetPropertyRecord(headerRecord)));
    if (bodyEnd > 0 && Field(page.Record, PageField::FooterOn) == "1")
        insertAt(bodyEnd, UnescapeRecordField(form.GetPropertyRecord(footerRecord)));
    const std::string baseUrl = form.ComboBox23->Text();
    if (head > 0 && !baseUrl.empty()) insertAt(head + 2, "<base href=\"" + baseUrl + "\">");
}

void TitleStep(const TForm1& form, const TPageContext& page, TPageWriterState& state, TLineValues& values,
               std::string& line)
{
    const auto title = FindNoCase(line, "<title>");
    if (title == std::string::npos) return;
    const std::string& record = page.Record;
    std::string next;
    if (page.Page < page.PageCount) {
        next = PageLink(form, page, page.Kind, page.Page + 1);
    } else {
        const int after = IntField(record, PageField::AfterLastPage);
        if (after == alLoop) next = PageLink(form, page, page.Kind, 1);
        if (after == alIndexPage) next = page.Prefix + PageName(form, 0, 1);
    }
    if (Field(record, PageField::AutoRefresh) == "1" && page.PageCount > 1 && !next.empty())
        line.insert(title, values.Put("<meta http-equiv=\"refresh\" content=\"" +
                                      Field(record, PageField::RefreshDelay) + ";URL=" + next + "\">" + CrLf));

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
    ReplaceVariable(line, "%title", "", values.Put(ExpandCaption(0, item, filePath, pattern, state.Markup)));

    const std::string index = form.GetPropertyRecord(prPagePropertiesIndex);
    if (Field(index, PageField::FramesOn) == "1") {
        const auto close = FindNoCase(line, "</title>");
        if (close != std::string::npos)
            line.insert(close + 8, values.Put(std::string(CrLf) + "<base target=\"" +
                                              Field(index, PageField::BaseTarget) + "\">"));
    }
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
        SetTagAttribute(line, "<body", "background", values.Put(ExtractFileName(Field(record, BackgroundImageFile))));
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
    ReplaceVariable(line, "%indexpage", "", values.Put(page.Prefix + PageName(form, 0, indexPage)));
}

void PageNumberStep(const TForm1& form, const TPageContext& page, TLineValues& values, std::string& line)
{
    if (!ContainsNoCase(line, "%pageno")) return;
    std::string value;
    if (page.PageCount > 1) {
        const std::string label = Field(page.Record, PageField::PageNumberText);
        const std::string separator = UnescapeRecordField(Field(page.Record, PageField::PageNumberSeparator));
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

void TForm1::WritePages(int kind, int pageCount, const std::string& templateFile, int /*remainder*/)
{
    if (kind == 0) {
        if (ComboBox3->Text().empty() && ComboBox3->Items().Count() > 0) ComboBox3->SetItemIndex(0);
        if (ComboBox3->Text().empty()) return;
    }
    const std::string templatePath = ToFileSystemPath(templateFile);
    if (!FileExists(templatePath)) return;

    TPageWriterState state;
    PrepareState(*this, kind, state);
    const std::string destination = NormalizeFolderPath(Edit1->Text());
    const std::string record = GetPropertyRecord(kind == 0 ? prPagePropertiesIndex : prPagePropertiesImage);
    const std::string location = kind == 0 ? "%thumb_location" : "%img_location";

    for (int i = 1; i <= pageCount; ++i) {
        ProgressBar1->StepBy(1);
        TStringList lines;
        lines.LoadFromFile(templatePath);

        TPageContext page{kind, i, pageCount, record, std::string()};
        const std::string name = PageName(*this, kind, i);
        page.Prefix = PrefixToRoot(name);
        if (kind == 1) state.Markup.RelativePrefix = page.Prefix;

        ApplyBanners(page, lines, state.BannerLine);
        InsertHeadAndBody(*this, page, lines);

        for (int j = 0; j < lines.Count(); ++j) {
            std::string line = lines[j];
            TLineValues values;
            TitleStep(*this, page, state, values, line);
            if (ContainsNoCase(line, "%currpageno"))
                ReplaceVariable(line, "%currpageno", "", values.Put(std::to_string(i)));
            if (ContainsNoCase(line, "%totpageno"))
                ReplaceVariable(line, "%totpageno", "", values.Put(std::to_string(pageCount)));
            DateTimeStep(values, line);
            BodyStep(page, values, line);
            NavigationStep(*this, page, values, line);
            IndexPageStep(*this, page, values, line);
            PageNumberStep(*this, page, values, line);
            if (ContainsNoCase(line, location)) {
                const std::string cell = kind == 0 ? IndexLocation(*this, state) : ImageLocation(*this, state);
                ReplaceVariable(line, location, "", values.Put(cell));
            }
            lines.Put(j, values.Resolve(line));
        }

        const std::string target = destination + name;
        ForceDirectories(ExtractFilePath(target));
        lines.SaveToFile(target);
    }
}
