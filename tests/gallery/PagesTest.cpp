// The page writer: page names, page variables, navigation, headers and
// footers, the thumbnail table and the image cell, and the shipped templates.
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "platform/core/Exception.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const std::string DataFolder = std::string(PICTAVO_SOURCE_DIR) + "/data/";

std::string WithField(const std::string& record, int n, const std::string& value)
{
    std::vector<std::string> fields;
    std::string rest = record;
    while (!rest.empty()) fields.push_back(NextField(rest));
    if (static_cast<int>(fields.size()) < n) fields.resize(n);
    fields[n - 1] = value;
    std::string out;
    for (const auto& f : fields) out += f + "|";
    return out;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The line of a page that contains a text ("" when none).
std::string LineWith(const std::string& page, const std::string& text)
{
    for (const auto& line : SplitLines(page))
        if (line.find(text) != std::string::npos) return line;
    return std::string();
}

class Pages : public ShippedDataTest {
protected:
    void SetUp() override
    {
        form->ComboBox10->SetItemIndex(0);  // keep the case unless a test asks
        form->CheckBox7->SetChecked(false);
        form->ComboBox12->SetText("pic");
        form->ComboBox15->SetText("pic");
        form->ComboBox9->SetItemIndex(4);   // "Thumbnail only"
        form->ComboBox14->SetItemIndex(4);  // "Image only"
        form->ComboBox4->SetItemIndex(0);   // no links
        form->SetPropertyRecord(prMoreTable, Plain7);
        form->SetPropertyRecord(prPagePropertiesIndex, WithField(WithField(Index1(), 1, "0"), 3, "0"));
        form->SetPropertyRecord(prPagePropertiesImage, WithField(WithField(Index2(), 1, "0"), 3, "0"));
    }

    std::string Index1() const { return form->GetPropertyRecord(prPagePropertiesIndex); }
    std::string Index2() const { return form->GetPropertyRecord(prPagePropertiesImage); }
    void SetIndexField(int n, const std::string& value)
    {
        form->SetPropertyRecord(prPagePropertiesIndex, WithField(Index1(), n, value));
    }
    void SetImageField(int n, const std::string& value)
    {
        form->SetPropertyRecord(prPagePropertiesImage, WithField(Index2(), n, value));
    }
    void SetTableField(int n, const std::string& value)
    {
        form->SetPropertyRecord(prMoreTable, WithField(form->GetPropertyRecord(prMoreTable), n, value));
    }

    // n source items with their result lines (image line, thumbnail line).
    void AddItems(int n)
    {
        for (int i = 0; i < n; ++i) {
            const std::string number = std::to_string(i + 1);
            const std::string source = folder.Path() + "src/p" + number + ".jpg";
            WriteFile(source, "x");
            form->ListView1->Add(TForm1::MakeSourceItem(source));
            form->ListBox2->Items().Add("i" + number + ".jpg|640|480|0");
            form->ListBox2->Items().Add("t" + number + ".jpg|100|75|0");
        }
    }

    // Fills the page lists and writes the pages of a kind from a template text
    // (or a template file of the program folder); returns the page count.
    int Write(int kind, const std::string& templateText, const std::string& templateFile = std::string())
    {
        std::string file = templateFile;
        if (file.empty()) {
            file = folder.File("test.htm");
            WriteFile(file, templateText);
        }
        const int items = form->ListView1->Count();
        int pages = 0, remainder = 0;
        NamePages(pages, remainder);
        if (kind == 0) {
            form->WritePages(0, pages, file, remainder);
            return pages;
        }
        form->WritePages(1, items, file);
        return items;
    }

    void Layout(int layout, int columns, int rows)
    {
        form->ComboBox1->SetItemIndex(layout);
        form->SpinEdit1->SetValue(columns);
        form->SpinEdit2->SetValue(rows);
    }

    std::string Page(const std::string& name) const { return ReadFile(destination + name); }

    // The table lines of a page: from the "<table" line through "</table>".
    std::vector<std::string> TableLines(const std::string& page) const
    {
        std::vector<std::string> out;
        bool in = false;
        for (const auto& line : SplitLines(page)) {
            if (line.find("<table") != std::string::npos) in = true;
            if (in) out.push_back(line);
            if (line.find("</table>") != std::string::npos) in = false;
        }
        return out;
    }

    // Table properties with plain cells and no table colour.
    static constexpr const char* Plain7 =
        "0|100|1|0|0|0|0|8388608|bg.jpg|||0|0|0|0|Default|Default|0|0||0|16777215|bg.jpg|0|0|0|0|0|0|Default|0|0|";
};

const std::string NavTemplate =
    "<html>\r\n<head>\r\n<title>%title</title>\r\n</head>\r\n<body>\r\n"
    "<p><a href=\"%firstpage\">First</a> <a href=\"%prevpage\">Prev</a> <a href=\"%nextpage\">Next</a> "
    "<a href=\"%lastpage\">Last</a></p>\r\n"
    "<p>%pageno</p>\r\n"
    "%thumb_location\r\n</body>\r\n</html>\r\n";

}  // namespace

// ---------------------------------------------------------------------------
// Page names

TEST_F(Pages, PageNamesAreNumberedCaseConvertedOnceAndKeptInsideTheDestination)
{
    AddItems(3);
    form->Edit2->SetText("Index1.html");
    form->Edit4->SetText("..\\..\\Pages\\Image01.htm");
    form->ComboBox10->SetItemIndex(ccToggleCase);
    form->FillPageNames(form->Edit2->Text(), 0, 3, "listbox3");
    form->FillPageNames(form->Edit4->Text(), 1, 3, "listbox4");
    EXPECT_EQ(form->ListBox3->Items().ToVector(),
              (std::vector<std::string>{"iNDEX1.HTML", "iNDEX2.HTML", "iNDEX3.HTML"}));
    // ".." steps are dropped (clamped), '\' separates folders, and the folder is converted with the name.
    EXPECT_EQ(form->ListBox4->Items().ToVector(),
              (std::vector<std::string>{"pAGES/iMAGE01.HTM", "pAGES/iMAGE02.HTM", "pAGES/iMAGE03.HTM"}));
}

TEST_F(Pages, ImagePageFolderPatternTakesTheItemNames)
{
    AddItems(2);
    form->FillPageNames("pages\\", 1, 2, "listbox4");
    form->FillPageNames("index", 0, 2, "listbox3");
    EXPECT_EQ(form->ListBox4->Items().ToVector(), (std::vector<std::string>{"pages/p1.htm", "pages/p2.htm"}));
    // A digit-less name keeps its first page as typed; later pages are numbered.
    EXPECT_EQ(form->ListBox3->Items().ToVector(), (std::vector<std::string>{"index.htm", "index1.htm"}));
}

TEST_F(Pages, FilesAndLinksUseTheSameConvertedNamesAndTheFolderKeepsItsCase)
{
    AddItems(2);
    Layout(0, 1, 1);
    form->Edit2->SetText("Index1.html");
    form->ComboBox10->SetItemIndex(ccToggleCase);
    Write(0, NavTemplate);
    EXPECT_TRUE(fs::exists(destination + "iNDEX1.HTML"));
    EXPECT_TRUE(fs::exists(destination + "iNDEX2.HTML"));
    EXPECT_EQ(LineWith(Page("iNDEX1.HTML"), "Next"),
              "<p><a href=\"iNDEX1.HTML\">First</a> <a href=\"iNDEX1.HTML\">Prev</a> <a href=\"iNDEX2.HTML\">Next</a> "
              "<a href=\"iNDEX2.HTML\">Last</a></p>");
}

// ---------------------------------------------------------------------------
// Navigation and page numbers

TEST_F(Pages, EndLinksOfThreeIndexPagesFollowTheEndLinkMode)
{
    AddItems(3);
    Layout(0, 1, 1);
    form->Edit2->SetText("index1.html");
    const std::string keep1 =
        "<p><a href=\"index1.html\">First</a> <a href=\"index1.html\">Prev</a> "
        "<a href=\"index2.html\">Next</a> <a href=\"index3.html\">Last</a></p>";
    const std::string keep3 =
        "<p><a href=\"index1.html\">First</a> <a href=\"index2.html\">Prev</a> "
        "<a href=\"index3.html\">Next</a> <a href=\"index3.html\">Last</a></p>";
    const std::string middle =
        "<p><a href=\"index1.html\">First</a> <a href=\"index1.html\">Prev</a> "
        "<a href=\"index3.html\">Next</a> <a href=\"index3.html\">Last</a></p>";
    struct Case {
        const char* mode;
        std::string page1, page3;
    } cases[] = {
        {"0", keep1, keep3},
        {"1", "<p>  <a href=\"index2.html\">Next</a> <a href=\"index3.html\">Last</a></p>",
         "<p><a href=\"index1.html\">First</a> <a href=\"index2.html\">Prev</a>  </p>"},
        {"2", "<p>First Prev <a href=\"index2.html\">Next</a> <a href=\"index3.html\">Last</a></p>",
         "<p><a href=\"index1.html\">First</a> <a href=\"index2.html\">Prev</a> Next Last</p>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        SetIndexField(21, c.mode);
        EXPECT_EQ(Write(0, NavTemplate), 3);
        const auto lines1 = SplitLines(Page("index1.html"));
        const auto lines2 = SplitLines(Page("index2.html"));
        const auto lines3 = SplitLines(Page("index3.html"));
        ASSERT_GT(lines3.size(), 5u);
        EXPECT_EQ(lines1[5], c.page1);
        EXPECT_EQ(lines2[5], middle);
        EXPECT_EQ(lines3[5], c.page3);
    }
}

TEST_F(Pages, PageNumbersOnPageTwoOfThree)
{
    AddItems(3);
    Layout(0, 1, 1);
    form->Edit2->SetText("index1.html");
    SetIndexField(19, "Page ");
    SetIndexField(20, EscapeRecordField("|"));
    Write(0, NavTemplate);
    EXPECT_EQ(SplitLines(Page("index2.html"))[6],
              "<p><a href=\"index1.html\" >Page 1</a> | Page 2 | <a href=\"index3.html\" >Page 3</a></p>");
    // A single page shows no page numbers.
    Layout(0, 1, 5);
    Write(0, NavTemplate);
    EXPECT_EQ(SplitLines(Page("index1.html"))[6], "<p></p>");
}

TEST_F(Pages, AutoRefreshOnTheLastPageFollowsField24)
{
    AddItems(3);
    Layout(0, 1, 1);
    form->Edit2->SetText("index1.html");
    form->Edit3->SetText("Gallery");
    SetIndexField(22, "1");
    SetIndexField(23, "5");
    SetIndexField(24, "1");
    Write(0, NavTemplate);
    const std::string head =
        "<html>\r\n<head>\r\n<meta http-equiv=\"refresh\" content=\"5;URL=index1.html\">\r\n"
        "<title>Gallery</title>\r\n</head>\r\n";
    EXPECT_EQ(Page("index3.html").substr(0, head.size()), head);
    EXPECT_NE(Page("index1.html").find("<meta http-equiv=\"refresh\" content=\"5;URL=index2.html\">\r\n<title>"),
              std::string::npos);

    SetIndexField(24, "0");
    Write(0, NavTemplate);
    EXPECT_EQ(Page("index3.html").find("refresh"), std::string::npos);
    EXPECT_NE(Page("index2.html").find("content=\"5;URL=index3.html\""), std::string::npos);
}

// ---------------------------------------------------------------------------
// Title, header, footer, banner, base and body

TEST_F(Pages, HeaderGoesTwoLinesBelowTheBodyAndTheFooterAboveTheLineBeforeBodyEnd)
{
    AddItems(1);
    const std::string templ =
        "<html>\r\n<head>\r\n<title>t</title></head>\r\n<body>\r\n<p>one</p>\r\n<p>two</p>\r\n</body>\r\n</html>\r\n";
    form->SetPropertyRecord(prTextHeader1, EscapeRecordField("<p>head | er</p>"));
    form->SetPropertyRecord(prTextFooter1, "<p>foot</p>");
    SetIndexField(30, "1");
    Write(0, templ);
    auto lines = SplitLines(Page("index1.html"));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[3], "<body>");
    EXPECT_EQ(lines[5], "<p>head | er</p>");

    SetIndexField(31, "1");
    Write(0, templ);
    lines = SplitLines(Page("index1.html"));
    EXPECT_EQ(lines, (std::vector<std::string>{"<html>", "<head>", "<title>t</title></head>", "<body>", "<p>one</p>",
                                               "<p>head | er</p>", "<p>foot</p>", "<p>two</p>", "</body>", "</html>"}));
}

TEST_F(Pages, TitleOnlyOnTheTitleLineAndValuesAreNotSearchedAgain)
{
    AddItems(1);
    form->ListBox2->Items().Put(0, "x%currpageno.jpg|640|480|0");
    form->Edit3->SetText("%filename - page %currpageno of %totpageno");
    Write(0,
          "<html><head>\r\n<title>%title</title>\r\n</head>\r\n<body>\r\n<p>%title %currpageno</p>\r\n"
          "%thumb_location\r\n</body></html>\r\n");
    const auto lines = SplitLines(Page("index1.html"));
    EXPECT_EQ(lines[1], "<title>x%currpageno.jpg - page 1 of 1</title>");
    EXPECT_EQ(lines[4], "<p>%title 1</p>");
}

TEST_F(Pages, BannersStepThroughTheFileAndBaseAndFramesGoIntoTheHead)
{
    AddItems(3);
    Layout(0, 1, 1);
    WriteFile(folder.File("banner1.dat"), "b0\r\nb1\r\nb2\r\n");
    SetIndexField(28, "1");
    SetIndexField(29, "2");
    SetIndexField(25, "1");
    SetIndexField(18, "main");
    form->ComboBox23->SetText("http://example.org/gallery/");
    Write(0,
          "<html>\r\n<head>\r\n<meta name=\"a\" content=\"b\">\r\n<title>T</title>\r\n</head>\r\n<body>\r\n"
          "<p>%banner</p>\r\n</body>\r\n</html>\r\n");
    const auto lines = SplitLines(Page("index1.html"));
    EXPECT_EQ(lines[2], "<meta name=\"a\" content=\"b\">");
    EXPECT_EQ(lines[3], "<base href=\"http://example.org/gallery/\">");
    EXPECT_EQ(lines[4], "<title>T</title>");
    EXPECT_EQ(lines[5], "<base target=\"main\">");
    EXPECT_EQ(LineWith(Page("index1.html"), "<p>b"), "<p>b0</p>");
    EXPECT_EQ(LineWith(Page("index2.html"), "<p>b"), "<p>b2</p>");
    EXPECT_EQ(LineWith(Page("index3.html"), "<p>b"), "<p>b0</p>");  // wraps past the end

    // "Number of Line": every page shows the same line.
    SetIndexField(28, "2");
    SetIndexField(29, "0");
    Write(0, "<html>\r\n<body>\r\n<p>%banner</p>\r\n</body>\r\n</html>\r\n");
    EXPECT_EQ(LineWith(Page("index1.html"), "<p>b"), "<p>b1</p>");
    EXPECT_EQ(LineWith(Page("index3.html"), "<p>b"), "<p>b1</p>");
    SetIndexField(28, "0");
    Write(0, "<html>\r\n<body>\r\n<p>%banner</p>\r\n</body>\r\n</html>\r\n");
    EXPECT_EQ(SplitLines(Page("index2.html"))[2], "<p></p>");
}

TEST_F(Pages, BodyAttributesFromThePageProperties)
{
    AddItems(1);
    SetIndexField(1, "1");
    SetIndexField(2, "255");
    SetIndexField(11, "1");
    SetIndexField(13, "/home/me/pictures/wall.jpg");
    SetIndexField(14, "1");
    SetIndexField(15, "7");
    Write(0, "<html><head><title>t</title></head>\r\n<body text=\"#000000\">\r\n</body></html>\r\n");
    EXPECT_EQ(SplitLines(Page("index1.html"))[1],
              "<body text=\"#000000\" bgcolor=\"#FF0000\" background=\"wall.jpg\" topmargin=\"7\">");
}

// ---------------------------------------------------------------------------
// Image pages

TEST_F(Pages, ImagePagesInASubFolderLinkBackWithDotDot)
{
    AddItems(3);
    Layout(0, 2, 1);
    form->Edit2->SetText("index1.html");
    form->Edit4->SetText("pages\\image01.htm");
    form->Edit11->SetText("");
    Write(0, NavTemplate);
    Write(1,
          "<html><head><title>t</title></head><body>\r\n<a href=\"%indexpage\">Index</a>\r\n"
          "<a href=\"%nextpage\">Next</a>\r\n%img_location\r\n</body></html>\r\n");
    const auto page3 = SplitLines(Page("pages/image03.htm"));
    EXPECT_EQ(page3[1], "<a href=\"../index2.html\">Index</a>");
    EXPECT_EQ(page3[2], "<a href=\"../pages/image03.htm\">Next</a>");
    EXPECT_EQ(page3[3], "<img src=\"../i3.jpg\" alt=\"pic\"  border=\"0\">");
    EXPECT_EQ(SplitLines(Page("pages/image01.htm"))[1], "<a href=\"../index1.html\">Index</a>");

    // The last image page refreshes to the first index page, from its own folder.
    SetImageField(22, "1");
    SetImageField(24, "2");
    Write(1, "<html><head>\r\n<title>t</title>\r\n</head><body></body></html>\r\n");
    EXPECT_EQ(SplitLines(Page("pages/image03.htm"))[1],
              "<meta http-equiv=\"refresh\" content=\"5;URL=../index1.html\">");
    EXPECT_EQ(SplitLines(Page("pages/image02.htm"))[1],
              "<meta http-equiv=\"refresh\" content=\"5;URL=../pages/image03.htm\">");
}

TEST_F(Pages, ImageCellWithSizeBorderAndLinkAddress)
{
    AddItems(1);
    form->CheckBox7->SetChecked(true);
    form->SpinEdit10->SetValue(2);
    form->Edit11->SetText("http://example.org/");
    form->ListBox2->Items().Put(0, "i1.jpg|1,024|768|0");
    Write(1, "<body>\r\n%img_location\r\n</body>\r\n");
    EXPECT_EQ(SplitLines(Page("image01.htm"))[1],
              "<a href=\"http://example.org/\"><img src=\"i1.jpg\" alt=\"pic\"  width=\"1024\" height=\"768\"  "
              "border=\"2\"></a>");
}

TEST_F(Pages, CaptionLineButtonsAreCopiedBesideThePagesAndTheLineKeepsItsTags)
{
    AddItems(2);
    WriteFile(folder.File("pvcapi.pv"),
              "Plain|%file\r\nButtons|<IMG SRC=\"next.gif\">%file<img alt=\"x\" src=\"../../last.gif\">\r\n"
              "Windows|<img src=\"p\xe8re.gif\">%file\r\n");
    form->LoadTemplateLists(false);
    form->ComboBox14->SetItemIndex(1);
    form->Edit4->SetText("pages\\image01.htm");
    form->Edit11->SetText("");
    Write(1, "<body>\r\n%img_location\r\n</body>\r\n");
    EXPECT_EQ(SplitLines(Page("pages/image01.htm"))[1],
              "<IMG SRC=\"next.gif\"><img src=\"../i1.jpg\" alt=\"pic\"  border=\"0\"><img alt=\"x\" "
              "src=\"../../last.gif\">");
    EXPECT_EQ(ReadFile(destination + "pages/next.gif"), ReadFile(folder.File("buttons/next.gif")));
    // A source that climbs out of the destination is copied inside it.
    EXPECT_EQ(ReadFile(destination + "pages/last.gif"), ReadFile(folder.File("buttons/last.gif")));
    EXPECT_FALSE(fs::exists(folder.Path() + "last.gif"));

    // A line in Windows-1252 names its button so: the page shows the name's
    // reading, and the button, on disk under the stored bytes, is copied under it.
    WriteFile(folder.File("buttons/p\xe8re.gif"), "GIF89a");
    form->ComboBox14->SetItemIndex(2);
    Write(1, "<body>\r\n%img_location\r\n</body>\r\n");
    EXPECT_EQ(SplitLines(Page("pages/image01.htm"))[1],
              "<img src=\"p\xc3\xa8re.gif\"><img src=\"../i1.jpg\" alt=\"pic\"  border=\"0\">");
    EXPECT_EQ(ReadFile(destination + "pages/p\xc3\xa8re.gif"), "GIF89a");
}

// ---------------------------------------------------------------------------
// Thumbnail table

TEST_F(Pages, SevenItemsThreeColumnsTwoRows)
{
    AddItems(7);
    Layout(0, 3, 2);
    EXPECT_EQ(Write(0, NavTemplate), 2);
    auto cell = [](int n) {
        return "    <td><img src=\"t" + std::to_string(n) + ".jpg\" alt=\"pic\"  border=\"0\"></td>";
    };
    const std::string table = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" >";
    EXPECT_EQ(TableLines(Page("index1.html")),
              (std::vector<std::string>{table, "  <tr>", cell(1), cell(2), cell(3), "  </tr>", "  <tr>", cell(4),
                                        cell(5), cell(6), "  </tr>", "</table>"}));
    // The last page: one picture, no fillers in the table's first row, and no "</tr>".
    EXPECT_EQ(TableLines(Page("index2.html")), (std::vector<std::string>{table, "  <tr>", cell(7), "</table>"}));
}

TEST_F(Pages, FourThumbnailsPerPageInThreeColumns)
{
    AddItems(8);
    Layout(1, 3, 4);
    EXPECT_EQ(Write(0, NavTemplate), 2);
    auto cell = [](int n) {
        return "    <td><img src=\"t" + std::to_string(n) + ".jpg\" alt=\"pic\"  border=\"0\"></td>";
    };
    const std::string filler = "    <td>&nbsp;</td>";
    const std::string table = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" >";
    EXPECT_EQ(TableLines(Page("index1.html")),
              (std::vector<std::string>{table, "  <tr>", cell(1), cell(2), cell(3), "  </tr>", "  <tr>", cell(4),
                                        filler, filler, "</table>"}));
    EXPECT_EQ(TableLines(Page("index2.html")),
              (std::vector<std::string>{table, "  <tr>", cell(5), cell(6), cell(7), "  </tr>", "  <tr>", cell(8),
                                        filler, filler, "</table>"}));

    // Six per page in three columns: two full rows, and no row of fillers after them.
    Layout(1, 3, 6);
    EXPECT_EQ(Write(0, NavTemplate), 2);
    EXPECT_EQ(TableLines(Page("index1.html")),
              (std::vector<std::string>{table, "  <tr>", cell(1), cell(2), cell(3), "  </tr>", "  <tr>", cell(4),
                                        cell(5), cell(6), "  </tr>", "</table>"}));
}

TEST_F(Pages, TableTagBorderSizeAndColours)
{
    AddItems(1);
    form->SpinEdit3->SetValue(1);
    form->SpinEdit4->SetValue(1);
    form->SpinEdit5->SetValue(2);
    Write(0, NavTemplate);
    EXPECT_EQ(TableLines(Page("index1.html"))[0], "<table >");

    form->SpinEdit3->SetValue(0);
    SetTableField(1, "1");
    SetTableField(2, "80");
    SetTableField(3, "1");
    SetTableField(4, "1");
    SetTableField(5, "50");
    SetTableField(6, "1");
    SetTableField(7, "1");
    SetTableField(8, "16744448");
    SetTableField(10, "summary=\"x\"");
    SetTableField(12, "1");
    SetTableField(13, "255");
    Write(0, NavTemplate);
    EXPECT_EQ(TableLines(Page("index1.html"))[0],
              "<table border=\"0\" width=\"80%\" height=\"50%\" bgcolor=\"#0080FF\" summary=\"x\" "
              "bordercolorlight=\"#FF0000\">");

    SetTableField(3, "0");
    SetTableField(6, "0");
    SetTableField(7, "2");
    SetTableField(9, "/some/where/tile.gif");
    SetTableField(10, "");
    SetTableField(12, "0");
    Write(0, NavTemplate);
    EXPECT_EQ(TableLines(Page("index1.html"))[0],
              "<table border=\"0\" width=\"80\" height=\"50\" background=\"tile.gif\" >");
}

TEST_F(Pages, CellAttributesAndBorderColours)
{
    AddItems(1);
    for (int n = 24; n <= 28; n += 2) SetTableField(n, "1");
    SetTableField(25, "255");
    SetTableField(27, "65280");
    SetTableField(29, "16711680");
    SetTableField(16, "Center");
    SetTableField(17, "Top");
    SetTableField(18, "1");
    SetTableField(19, "1");
    SetTableField(21, "2");
    SetTableField(23, "/x/y/cell.jpg");
    Write(0, NavTemplate);
    const auto table = TableLines(Page("index1.html"));
    ASSERT_GE(table.size(), 3u);
    EXPECT_EQ(table[2],
              "    <th align=\"Center\" valign=\"Top\" nowrap background=\"cell.jpg\" bordercolor=\"#FF0000\" "
              "bordercolorlight=\"#00FF00\" bordercolordark=\"#0000FF\"><img src=\"t1.jpg\" alt=\"pic\"  "
              "border=\"0\"></th>");
}

TEST_F(Pages, AlignedTableLinksAndPlainIntegerSizes)
{
    AddItems(2);
    Layout(0, 2, 1);
    form->ComboBox2->SetItemIndex(3);  // Center
    form->ComboBox4->SetItemIndex(2);  // image pages
    form->CheckBox7->SetChecked(true);
    form->ListBox2->Items().Put(3, "t2.jpg|1,200|75|0");
    SetIndexField(25, "1");
    Write(0, NavTemplate);
    const auto table = TableLines(Page("index1.html"));
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(LineWith(Page("index1.html"), "<div"), "<div align=\"Center\"><center>");
    EXPECT_EQ(table[3],
              "      <td><a href=\"image02.htm\" target=\"image\"><img src=\"t2.jpg\" alt=\"pic\"  border=\"0\" "
              "width=\"1200\" height=\"75\" ></a></td>");
    EXPECT_EQ(LineWith(Page("index1.html"), "</div>"), "</center></div>");
}

// ---------------------------------------------------------------------------
// Shipped templates

TEST_F(Pages, ShippedTemplatesGiveValidPagesWithDefaultSettings)
{
    ASSERT_EQ(std::system("tidy -v >/dev/null 2>&1"), 0) << "tidy is not installed";
    // The settings of a first start.
    form = std::make_unique<TForm1>();
    form->Edit1->SetText(destination);
    AddItems(30);
    const char* variables[] = {"%title",    "%currpageno",     "%totpageno",   "%currentdatetime", "%firstpage",
                               "%prevpage", "%nextpage",       "%lastpage",    "%indexpage",       "%pageno",
                               "%banner",   "%thumb_location", "%img_location"};
    std::set<std::string> used;
    for (const char* style : {"classic.htm", "dark.htm"}) {
        SCOPED_TRACE(style);
        const int pages = Write(0, "", folder.File(std::string("indexpg/") + style));
        Write(1, "", folder.File(std::string("imagepg/") + style));
        EXPECT_GE(pages, 2);
        std::vector<std::string> names = form->ListBox3->Items().ToVector();
        for (const auto& name : form->ListBox4->Items().ToVector()) names.push_back(name);
        for (const auto& name : names) {
            SCOPED_TRACE(name);
            const std::string page = Page(name);
            ASSERT_FALSE(page.empty());
            for (const char* v : variables) EXPECT_EQ(page.find(v), std::string::npos) << v;
            std::string output;
            const int rc = RunTidy(destination + name, output);
            EXPECT_TRUE(rc == 0 || rc == 1) << output;
            EXPECT_EQ(output.find("Error:"), std::string::npos) << output;
        }
        for (const char* dir : {"indexpg/", "imagepg/"}) {
            const std::string text = ReadFile(folder.File(dir + std::string(style)));
            for (const char* v : variables)
                if (AsciiLower(text).find(v) != std::string::npos) used.insert(v);
        }
    }
    EXPECT_EQ(used.size(), std::size(variables));
    // The thumbnails link to the image pages, which show the images.
    EXPECT_NE(Page("index1.html").find("<a href=\"image01.htm\"><img src=\"t1.jpg\""), std::string::npos);
    EXPECT_NE(Page("image01.htm").find("src=\"i1.jpg\""), std::string::npos);
}

TEST_F(Pages, EveryCaptionPositionAndPageOptionKeepsTheShippedPagesValid)
{
    form = std::make_unique<TForm1>();
    form->Edit1->SetText(destination);
    AddItems(3);
    for (int n : {22, 25, 30, 31}) SetIndexField(n, "1");
    for (int n : {22, 30, 31}) SetImageField(n, "1");
    form->ComboBox23->SetText("http://example.org/gallery/");
    form->ComboBox4->SetItemIndex(1);
    form->SpinEdit2->SetValue(1);
    for (int position = 0; position < 6; ++position) {
        SCOPED_TRACE(position);
        form->ComboBox9->SetItemIndex(position);
        form->ComboBox14->SetItemIndex(std::min(position, 4));
        Write(0, "", folder.File("indexpg/classic.htm"));
        Write(1, "", folder.File("imagepg/dark.htm"));
        for (const char* name : {"index1.html", "image02.htm"}) {
            std::string output;
            const int rc = RunTidy(destination + name, output);
            EXPECT_TRUE(rc == 0 || rc == 1) << name << "\n" << output;
        }
    }
    EXPECT_NE(Page("index1.html").find("<a href=\"i1.jpg\" target=\"image\">"), std::string::npos);
}

TEST_F(Pages, FrameTemplateIsValidOnceFilled)
{
    const std::string text = ReadFile(folder.File("framepg/left.htm"));
    std::string page = ReplaceText(text, "%frameindex", "index1.html", true, true);
    page = ReplaceText(page, "%frameimage", "image01.htm", true, true);
    page = ReplaceText(page, "%title", "Gallery", true, true);
    EXPECT_NE(text.find("%frameindex"), std::string::npos);
    EXPECT_NE(text.find("%frameimage"), std::string::npos);
    EXPECT_NE(text.find("name=\"image\""), std::string::npos);
    WriteFile(folder.File("frame.htm"), page);
    std::string output;
    const int rc = RunTidy(folder.File("frame.htm"), output);
    EXPECT_TRUE(rc == 0 || rc == 1) << output;
}

TEST_F(Pages, ACutOrNonNumericRecordWritesThePagesOfItsDefaultFields)
{
    AddItems(2);
    Layout(0, 1, 1);
    form->SetPropertyRecord(prMoreTable, PropertyRecordDefault(prMoreTable));
    Write(0, NavTemplate);
    const std::string whole = Page("index1.html") + Page("index2.html");
    form->SetPropertyRecord(prMoreTable, "0|100|");
    SetIndexField(PageField::EndLinks, "x");
    Write(0, NavTemplate);
    EXPECT_EQ(Page("index1.html") + Page("index2.html"), whole);
}

// A "|" typed into any text field is stored as "%line"; wherever the field
// goes into a page it is "|" again (a file name percent-encoded, as "%7C").
TEST_F(Pages, BarInEveryTextFieldReachesThePageAsABar)
{
    struct Case {
        int record;
        int field;                            // 0: the record is the text
        std::map<int, std::string> switches;  // fields of the kind's page record that show it
        int kind;
        std::string shown;
    };
    using namespace PageField;
    const std::vector<Case> cases = {
        {prPagePropertiesIndex, BackgroundImageFile, {{BackgroundImageOn, "1"}}, 0, "background=\"a%7Cb\""},
        {prPagePropertiesIndex, BaseTarget, {{FramesOn, "1"}}, 0, "<base target=\"a|b\">"},
        {prPagePropertiesIndex, PageNumberText, {}, 0, "<p>a|b1 - <a href=\"index2.html\" >a|b2</a></p>"},
        {prPagePropertiesIndex, PageNumberSeparator, {}, 0, "<p>Page 1 a|b <a"},
        {prPagePropertiesImage, BackgroundImageFile, {{BackgroundImageOn, "1"}}, 1, "background=\"a%7Cb\""},
        {prPagePropertiesImage, PageNumberText, {}, 1, "<p>a|b1 - <a href=\"image02.htm\" >a|b2</a></p>"},
        {prPagePropertiesImage, PageNumberSeparator, {}, 1, "<p>Page 1 a|b <a"},
        {prMoreTable, TableField::TableAttributes, {}, 0, " a|b>"},
        {prMoreTable, TableField::CellAttributes, {}, 0, "<td a|b>"},
        {prMoreTable, TableField::CellAlign, {}, 0, "<td align=\"a|b\">"},
        {prMoreTable, TableField::CellVAlign, {}, 0, "<td valign=\"a|b\">"},
        {prMoreTable, TableField::PictureAlign, {}, 0, " align=\"a|b\""},
        {prCaptionFontT, CaptionFontField::Face, {}, 0, "<font face=\"a|b\""},
        {prCaptionFontI, CaptionFontField::Face, {}, 1, "<font face=\"a|b\""},
        {prTextHeader1, 0, {{HeaderOn, "1"}}, 0, "\r\na|b\r\n"},
        {prTextFooter1, 0, {{FooterOn, "1"}}, 0, "\r\na|b\r\n"},
        {prTextHeader2, 0, {{HeaderOn, "1"}}, 1, "\r\na|b\r\n"},
        {prTextFooter2, 0, {{FooterOn, "1"}}, 1, "\r\na|b\r\n"},
    };
    AddItems(2);
    Layout(0, 1, 1);
    form->ComboBox9->SetItemIndex(0);   // caption above the thumbnail
    form->ComboBox14->SetItemIndex(0);  // caption above the image
    const std::string plain = Plain7;
    const std::string font = "Verdana|1|0|0|0|0|0|0|";
    const std::string page1 = Index1(), page2 = Index2();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.record) + "/" + std::to_string(c.field));
        form->SetPropertyRecord(prMoreTable, plain);
        form->SetPropertyRecord(prCaptionFontT, font);
        form->SetPropertyRecord(prCaptionFontI, font);
        form->SetPropertyRecord(prPagePropertiesIndex, WithField(WithField(page1, PageNumberText, "Page "), 20, "-"));
        form->SetPropertyRecord(prPagePropertiesImage, WithField(WithField(page2, PageNumberText, "Page "), 20, "-"));
        const int pageRecord = c.kind == 0 ? prPagePropertiesIndex : prPagePropertiesImage;
        for (const auto& [field, value] : c.switches)
            form->SetPropertyRecord(pageRecord, WithField(form->GetPropertyRecord(pageRecord), field, value));
        const std::string stored = EscapeRecordField("a|b");
        form->SetPropertyRecord(c.record,
                                c.field == 0 ? stored : WithField(form->GetPropertyRecord(c.record), c.field, stored));
        Write(c.kind, "<html>\r\n<head>\r\n<title>%title</title>\r\n</head>\r\n<body>\r\n<p>%pageno</p>\r\n" +
                          std::string(c.kind == 0 ? "%thumb_location" : "%img_location") +
                          "\r\n<p>end</p>\r\n</body>\r\n</html>\r\n");
        const std::string page = Page(c.kind == 0 ? "index1.html" : "image01.htm");
        EXPECT_NE(page.find(c.shown), std::string::npos) << page;
        EXPECT_EQ(page.find("%line"), std::string::npos) << page;
    }
}

TEST_F(Pages, MissingTemplateWritesNothing)
{
    AddItems(2);
    form->WritePages(0, 1, folder.File("indexpg/none.htm"));
    form->WritePages(1, 2, folder.File("imagepg/none.htm"));
    EXPECT_FALSE(fs::exists(destination));
}
