// The thumbnail table of index pages, the picture cell of image pages, and
// what both prepare once per call of the page writer: the table, cell and
// picture tags and the caption-position line.
#include "gallery/pages/pvuPagesTable.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/mainwindow/pvu.h"
#include "gallery/pages/pvuPagesNames.h"
#include "gallery/records/pvutils.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/Utf8.h"
#include "platform/system/System.h"

#include <algorithm>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Table, cell and caption-position line, prepared once per call

namespace page_writer {

namespace {

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
    if (background == tbPicture) tag += " background=\"" + BackgroundAddress(table, BackgroundFile) + "\"";
    tag += " " + Text(table, TableAttributes);
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
    const std::string align = TrimmedText(table, CellAlign);
    const std::string valign = TrimmedText(table, CellVAlign);
    AddAttribute(attributes, align != "Default", "align=", align);
    AddAttribute(attributes, valign != "Default", "valign=", valign);
    if (Field(table, NoWrap) != "0") attributes += " nowrap";
    if (!Text(table, CellAttributes).empty()) attributes += " " + Text(table, CellAttributes);
    const int background = IntField(table, CellBackground);
    if (background == tbColor) attributes += " bgcolor=\"" + HtmlColour(table, CellBackgroundColor) + "\"";
    if (background == tbPicture) attributes += " background=\"" + BackgroundAddress(table, CellBackgroundFile) + "\"";
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
    const std::string align = TrimmedText(table, PictureAlign);
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
    std::string stored;
    ReadListLine(list, choice, stored);
    const auto bar = stored.find('|');
    stored = bar == std::string::npos ? std::string() : stored.substr(bar + 1);
    // The line is one text: stored in Windows-1252, it is read so whole, and
    // so are the names in it.
    const bool read1252 = !IsValidUtf8(stored);
    std::string line = read1252 ? Windows1252ToUtf8(stored) : stored;
    line = ReplaceText(line, "%thumbwidth", std::to_string(form.SpinEdit6->Value()), true, true);
    line = ReplaceText(line, "%thumbheight", std::to_string(form.SpinEdit7->Value()), true, true);

    // The stored line is scanned, so the page keeps the tags exactly as
    // written. A button is copied under the name the page shows; its source
    // is the stored name, or its reading when only that one is on disk.
    const std::string buttons = ProgramFolder() + "buttons/";
    for (std::size_t at = FindNoCase(stored, "<img"); at != std::string::npos;
         at = FindNoCase(stored, "<img", at + 4)) {
        std::string source = stored.substr(at);
        GetTagAttribute(source, "<img", "src");
        const std::string name = ContainedRelativePath(source);
        if (name.empty()) continue;
        const std::string shown = read1252 ? Windows1252ToUtf8(name) : name;
        const std::string button = FileExists(buttons + name) ? buttons + name : buttons + shown;
        for (const std::string& folder : form.PageFolders(kind)) {
            const std::string target = destination + folder + shown;
            ForceDirectories(ExtractFilePath(target));
            ShellFileOperation(0, button, target);
        }
    }
    return line;
}

}  // namespace

void PrepareState(const TForm1& form, int kind, TPageWriterState& state)
{
    const std::string destination = NormalizeFolderPath(form.Edit1->Text());
    const std::string table = form.CompletedPropertyRecord(prMoreTable);
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
    markup.CaptionFont = form.CompletedPropertyRecord(kind == 0 ? prCaptionFontT : prCaptionFontI);
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

namespace {

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

}  // namespace

namespace {

// How the cells of an index page's table are laid out and what they link to.
struct TTableLayout {
    int Indent = 0;
    int Columns = 1;
    int Rows = 0;
    int Layout = lyRows;
    int PerPage = 0;
    int LinkTo = hlNone;
    std::string TargetAttribute;
};

TTableLayout TableLayoutOf(const TForm1& form, const TPageWriterState& state, int indent)
{
    TTableLayout table;
    table.Indent = indent;
    table.Columns = std::max(form.SpinEdit1->Value(), 1);
    table.Layout = form.ComboBox1->ItemIndex();
    table.PerPage = form.SpinEdit2->Value();
    table.Rows = table.PerPage;
    // Just enough rows for the thumbnails of a page, so no page ends in a row of fillers.
    if (table.Layout == lyThumbs) table.Rows = (std::max(table.PerPage, 1) + table.Columns - 1) / table.Columns;
    if (table.Layout == lySinglePage) table.Rows = state.ItemCount / table.Columns + 1;
    table.LinkTo = form.ComboBox4->ItemIndex();
    const bool frames = Field(form.CompletedPropertyRecord(prPagePropertiesIndex), PageField::FramesOn) == "1";
    table.TargetAttribute = frames ? " target=\"image\"" : "";
    return table;
}

// The cell of item c: its thumbnail, linked to the image copy or its page.
std::string ThumbnailCell(const TForm1& form, TPageWriterState& state, const TTableLayout& table, int c)
{
    const std::string imageLine = ResultLine(form, 2 * c);
    const std::string thumbLine = ResultLine(form, 2 * c + 1);
    const std::string imageName = ResultLineField(imageLine, ResultField::Name);
    std::string target;
    if (table.LinkTo == hlOriginalImage) target = imageName;
    if (table.LinkTo == hlImagePage) target = PageName(form, 1, c + 1);
    state.Markup.SizeAttributes = HasMeasuredWidth(form, thumbLine) ? SizeAttributes(thumbLine) : "";
    state.Markup.ImageAttributes = state.PictureAttributes;
    state.Markup.CurrentResultLine = imageLine;
    std::string cell;
    MakeThumbnailCell(table.LinkTo != hlNone, ResultLineField(thumbLine, ResultField::Name), target, cell,
                      table.TargetAttribute, c, std::string(), form.ComboBox11->Text(), form.ComboBox12->Text(),
                      imageName, state.Markup);
    return cell;
}

// One row of the table. A cell is live while items are left (and, with
// thumbnails per page, while this page has room); a dead cell is a filler in
// any row but the first. The row is closed only after a live last cell.
void AddTableRow(const TForm1& form, TPageWriterState& state, const TTableLayout& table, int row,
                 std::vector<std::string>& work)
{
    work.push_back(AddSpaces(table.Indent + 2) + "<tr>");
    bool lastLive = false;
    for (int column = 1; column <= table.Columns; ++column) {
        const int c = state.Item;
        lastLive = c < state.ItemCount && (table.Layout != lyThumbs || c < table.PerPage * state.Tables);
        if (lastLive) {
            work.push_back(AddSpaces(table.Indent + 4) + state.CellTag + ThumbnailCell(form, state, table, c) +
                           state.CellClose);
            ++state.Item;
        } else if (row > 0) {
            work.push_back(AddSpaces(table.Indent + 4) + state.CellTag + "&nbsp;" + state.CellClose);
        }
    }
    if (lastLive) work.push_back(AddSpaces(table.Indent + 2) + "</tr>");
}

}  // namespace

// The thumbnail table of one index page.
std::string IndexLocation(const TForm1& form, TPageWriterState& state)
{
    std::vector<std::string> work;
    const bool aligned = form.ComboBox2->ItemIndex() > 0;
    const bool center = form.ComboBox2->Text() == "Center";
    if (aligned) work.push_back("<div align=\"" + form.ComboBox2->Text() + "\">" + (center ? "<center>" : ""));
    const TTableLayout table = TableLayoutOf(form, state, aligned ? 2 : 0);
    work.push_back(AddSpaces(table.Indent) + state.TableTag);
    ++state.Tables;
    for (int row = 0; row < table.Rows && state.Item < state.ItemCount; ++row)
        AddTableRow(form, state, table, row, work);
    work.push_back(AddSpaces(table.Indent) + "</table>");
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

}  // namespace page_writer
