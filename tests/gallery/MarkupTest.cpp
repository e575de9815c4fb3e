#include "gallery/records/pvutils.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/Exception.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <utility>

namespace {

std::string get(std::string html, const char* tag, const char* attribute)
{
    GetTagAttribute(html, tag, attribute);
    return html;
}

std::string set(std::string html, const char* tag, const char* attribute, const char* value)
{
    SetTagAttribute(html, tag, attribute, value);
    return html;
}

}  // namespace

TEST(GetTagAttribute, QuotedUnquotedAndCase)
{
    EXPECT_EQ(get("<p><img src=\"buttons/next.gif\" alt=x></p>", "<img", "src"), "buttons/next.gif");
    EXPECT_EQ(get("<IMG SRC = next.gif ALT=\"n\">", "<img", "src"), "next.gif");
    EXPECT_EQ(get("<img alt=\"n\" src=last.gif>", "<IMG", "SRC"), "last.gif");
    EXPECT_EQ(get("<img alt=\"n\">", "<img", "src"), "");
    EXPECT_EQ(get("no tag here", "<img", "src"), "no tag here");
    EXPECT_EQ(get("<body background=\"bg.jpg\" text=\"#000000\">", "<body", "background"), "bg.jpg");
    // Whole attribute names only: "src" is not inside "datasrc", "link" not inside "vlink".
    EXPECT_EQ(get("<img datasrc=\"a\" src=\"b\">", "<img", "src"), "b");
    EXPECT_EQ(get("<body vlink=\"#1\" link=\"#2\">", "<body", "link"), "#2");
    // Malformed: no closing '>', no closing quote, an attribute without a value.
    EXPECT_EQ(get("<img src=\"open.gif", "<img", "src"), "open.gif");
    EXPECT_EQ(get("<img src=\"open.gif>", "<img", "src"), "open.gif");
    EXPECT_EQ(get("<td nowrap width=5>", "<td", "nowrap"), "");
    EXPECT_EQ(get("<img src=", "<img", "src"), "");
}

TEST(SetTagAttribute, AddReplaceRemove)
{
    EXPECT_EQ(set("<body text=\"#000000\">", "<body", "bgcolor", "#FFFFFF"),
              "<body text=\"#000000\" bgcolor=\"#FFFFFF\">");
    EXPECT_EQ(set("<body text=\"#000000\" bgcolor=#000080>", "<body", "bgcolor", "#FFFFFF"),
              "<body text=\"#000000\" bgcolor=\"#FFFFFF\">");
    EXPECT_EQ(set("  <BODY bgcolor=\"red\"   text=blue>  trailing text <p>", "<body", "BGCOLOR", "#00FF00"),
              "<BODY bgcolor=\"#00FF00\" text=blue>");
    EXPECT_EQ(set("<body bgcolor=\"red\" text=blue>", "<body", "bgcolor", ""), "<body text=blue>");
    EXPECT_EQ(set("<body text=blue bgcolor=red>", "<body", "bgcolor", ""), "<body text=blue>");
    EXPECT_EQ(set("<body>", "<body", "bgcolor", ""), "<body>");  // nothing to remove, nothing added
    EXPECT_EQ(set("<html>", "<body", "bgcolor", "#FFFFFF"), "<html>");
    EXPECT_EQ(set("<body vlink=\"#800080\">", "<body", "link", "#0000FF"), "<body vlink=\"#800080\" link=\"#0000FF\">");
    EXPECT_EQ(set("<body", "<body", "text", "#000000"), "<body text=\"#000000\">");
    EXPECT_EQ(set("<body topmargin>", "<body", "topmargin", "0"), "<body topmargin=\"0\">");
}

// ---- Cell and link markup -------------------------------------------------

namespace {

namespace fs = std::filesystem;

struct Destination : testsupport::TempDir {
    Destination() : TempDir("pictavo-markup") {}
    void file(const std::string& name, std::size_t size) const
    {
        std::ofstream(path / name, std::ios::binary) << std::string(size, 'x');
    }
    std::string folder() const { return path.string() + "/"; }
};

// Index-page state as the page writer fills it: caption font Arial size 2,
// nothing else on.
TMarkupState indexState(const Destination& dest, const std::string& captionLine)
{
    TMarkupState s;
    s.PageKind = 0;
    s.ImageAttributes = "border=\"0\"";
    s.SizeAttributes = " width=\"100\" height=\"75\" ";
    s.CaptionPositionLine = captionLine;
    s.DestinationFolder = dest.path.string();
    s.CaptionFont = "Arial|2|0|0|0|0|0|0|";
    s.CurrentResultLine = "a.jpg|640|480|16777216";
    return s;
}

std::string cell(bool linkOn, const std::string& picture, const std::string& target, const std::string& address,
                 const std::string& itemFile, const TMarkupState& state, const std::string& targetAttribute = "")
{
    std::string result = "unchanged";
    MakeThumbnailCell(linkOn, picture, target, result, targetAttribute, 0, address, "%filename", "%filename (%width)",
                      itemFile, state);
    return result;
}

}  // namespace

TEST(MakeThumbnailCell, TwoLinksAroundThePictureAndCaptionBelow)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    Destination dest;
    dest.file("a.jpg", 3000);
    const TMarkupState state = indexState(dest, "(a)%file(/a)<br>%caption");
    EXPECT_EQ(cell(true, "tn_a.jpg", "a.jpg", "", "a.jpg", state),
              "<a href=\"a.jpg\"><a href=\"a.jpg\"><img src=\"tn_a.jpg\" alt=\"a.jpg (640)\" border=\"0\" "
              "width=\"100\" height=\"75\" ></a></a><br><font face=\"Arial\" size=\"2\">a.jpg</font>");
    // Without the link: no tags at all, "(a)" and "(/a)" vanish.
    EXPECT_EQ(cell(false, "tn_a.jpg", "a.jpg", "", "a.jpg", state),
              "<img src=\"tn_a.jpg\" alt=\"a.jpg (640)\" border=\"0\" width=\"100\" height=\"75\" ><br>"
              "<font face=\"Arial\" size=\"2\">a.jpg</font>");
}

TEST(MakeThumbnailCell, LinkTargetsAddressesAndFrames)
{
    Destination dest;
    TMarkupState state = indexState(dest, "%FILE");
    state.ImageAttributes.clear();
    state.SizeAttributes.clear();
    // Backslashes become slashes; the frame target attribute follows the address.
    EXPECT_EQ(cell(true, "thumbs\\tn_a.jpg", "pages\\a.htm", "", "a.jpg", state, " target=\"image\""),
              "<a href=\"pages/a.htm\" target=\"image\"><img src=\"thumbs/tn_a.jpg\" alt=\"a.jpg (640)\" ></a>");
    // A link address (trimmed) wins and gets no target attribute.
    EXPECT_EQ(cell(true, "a.jpg", "a.jpg", "  http://example.org/  ", "a.jpg", state, " target=\"image\""),
              "<a href=\"http://example.org/\"><img src=\"a.jpg\" alt=\"a.jpg (640)\" ></a>");
    // Names are URL path segments whatever "Replace forbidden character" says;
    // it escapes the spaces of a link address only.
    for (bool replace : {true, false}) {
        state.ReplaceForbiddenCharacter = replace;
        EXPECT_EQ(cell(true, "tn a.jpg", "my pictures/a.htm", "", "a.jpg", state),
                  "<a href=\"my%20pictures/a.htm\"><img src=\"tn%20a.jpg\" alt=\"a.jpg (640)\" ></a>");
    }
    state.ReplaceForbiddenCharacter = true;
    EXPECT_EQ(cell(true, "a.jpg", "a.jpg", "http://example.org/my page", "a.jpg", state),
              "<a href=\"http://example.org/my%20page\"><img src=\"a.jpg\" alt=\"a.jpg (640)\" ></a>");
    state.ReplaceForbiddenCharacter = false;
    // A quote in a name cannot end the attribute.
    EXPECT_EQ(cell(true, "x\"y.jpg", "x\"y.htm", "", "x\"y.jpg", state),
              "<a href=\"x%22y.htm\"><img src=\"x%22y.jpg\" alt=\"x&quot;y.jpg (640)\" ></a>");
}

TEST(UrlFromName, NamesBecomePathSegments)
{
    const std::pair<const char*, const char*> cases[] = {
        {"thumbs\\tn_pic01.jpg", "thumbs/tn_pic01.jpg"},  // ordinary names stay as they are
        {"a-b_c.d~e!$'()*+,;=@.jpg", "a-b_c.d~e!$'()*+,;=@.jpg"},
        {"a#1.jpg", "a%231.jpg"},
        {"b%41.jpg", "b%2541.jpg"},
        {"c&d.jpg", "c%26d.jpg"},
        {"e?x=1.jpg", "e%3Fx=1.jpg"},
        {"f g.jpg", "f%20g.jpg"},
        {"h<i>\"j\".jpg", "h%3Ci%3E%22j%22.jpg"},
        {"k:l.jpg", "k%3Al.jpg"},  // never read as a scheme
        {"\xC3\xBC.jpg", "%C3%BC.jpg"},
    };
    for (const auto& [name, url] : cases) EXPECT_EQ(UrlFromName(name), url) << name;
}

TEST(MakeThumbnailCell, ImagePagesInASubFolderUseTheRootPrefix)
{
    Destination dest;
    TMarkupState state = indexState(dest, "%file");
    state.PageKind = 1;
    state.ImageAttributes.clear();
    state.SizeAttributes = " width=\"640\" height=\"480\"  border=\"0\"";
    state.RelativePrefix = ImagePagePrefix("pages\\image01");
    EXPECT_EQ(state.RelativePrefix, "../");
    EXPECT_EQ(cell(false, "a.jpg", "a.jpg", "", "a.jpg", state),
              "<img src=\"../a.jpg\" alt=\"a.jpg (640)\"  width=\"640\" height=\"480\"  border=\"0\">");
    // Index pages never take the prefix.
    state.PageKind = 0;
    EXPECT_EQ(cell(false, "a.jpg", "a.jpg", "", "a.jpg", state),
              "<img src=\"a.jpg\" alt=\"a.jpg (640)\"  width=\"640\" height=\"480\"  border=\"0\">");
}

TEST(MakeThumbnailCell, NamesHoldingCellVariablesStayAsTheyAre)
{
    Destination dest;
    dest.file("party(a).jpg", 10);
    TMarkupState state = indexState(dest, "%file<br>%caption (a)x(/a)");
    state.ImageAttributes.clear();
    state.SizeAttributes.clear();
    std::string result;
    MakeThumbnailCell(true, "tn_party(a).jpg", "party(a).jpg", result, "", 0, "", "%filename %caption (/a) %file",
                      "%filename", "party(a).jpg", state);
    EXPECT_EQ(result,
              "<a href=\"party(a).jpg\"><img src=\"tn_party(a).jpg\" alt=\"party(a).jpg\" ></a><br>"
              "<font face=\"Arial\" size=\"2\">party(a).jpg %caption (/a) %file</font> "
              "<a href=\"party(a).jpg\">x</a>");
}

TEST(CaptionFontMarkup, EveryPieceInOrder)
{
    EXPECT_EQ(CaptionFontMarkup("Verdana|3|1|1|1|255|1|16744448|", "Hi"),
              "<font face=\"Verdana\" size=\"3\" color=\"#FF0000\"><b><i>"
              "<span style=\"background-color: #0080FF\">Hi</span></i></b></font>");
    EXPECT_EQ(CaptionFontMarkup("Verdana|3|0|1|0|255|0|0|", "Hi"),
              "<font face=\"Verdana\" size=\"3\"><i>Hi</i></font>");
    EXPECT_EQ(CaptionFontMarkup("", ""), "<font face=\"\" size=\"\"></font>");
    EXPECT_THROW(CaptionFontMarkup("A|2|0|0|1|red|0|0|", "x"), Exception);
}

TEST(RelativeRootPath, OncePerSeparatorAtLeastOnce)
{
    const std::pair<const char*, const char*> cases[] = {{"pages\\image01", "../"},
                                                         {"a\\b\\image.htm", "../../"},
                                                         {"a/b\\c/x", "../../../"},
                                                         {"image", "../"},
                                                         {"", "../"}};
    for (auto [name, root] : cases) EXPECT_EQ(RelativeRootPath(name), root) << name;
    EXPECT_EQ(ImagePagePrefix("image01.htm"), "");
    EXPECT_EQ(ImagePagePrefix("pages/"), "../");
}

TEST(RemoveLinkTag, KeepRemoveOrReduce)
{
    const std::string line =
        "<p><a href=\"index1.htm\"><img src=\"first.gif\"></a> <A HREF=\"index1.htm\">Prev</A></p>";
    std::string s = line;
    RemoveLinkTag(s, false, 1, "index1.htm");
    EXPECT_EQ(s, "<p> <A HREF=\"index1.htm\">Prev</A></p>");
    RemoveLinkTag(s, false, 1, "index1.htm");
    EXPECT_EQ(s, "<p> </p>");

    s = line;
    RemoveLinkTag(s, false, 2, "index1.htm");
    EXPECT_EQ(s, "<p><img src=\"first.gif\"> <A HREF=\"index1.htm\">Prev</A></p>");
    RemoveLinkTag(s, false, 2, "index1.htm");
    EXPECT_EQ(s, "<p><img src=\"first.gif\"> Prev</p>");

    for (int mode : {0, 3}) {
        s = line;
        RemoveLinkTag(s, false, mode, "index1.htm");
        EXPECT_EQ(s, line);
    }
    s = line;
    RemoveLinkTag(s, true, 1, "index1.htm");
    EXPECT_EQ(s, line);
    // Text not inside a link, a missing "</a>", text not found: unchanged.
    s = "<img src=\"index1.htm\">";
    RemoveLinkTag(s, false, 1, "index1.htm");
    EXPECT_EQ(s, "<img src=\"index1.htm\">");
    s = "<a href=\"index1.htm\">open";
    RemoveLinkTag(s, false, 2, "index1.htm");
    EXPECT_EQ(s, "<a href=\"index1.htm\">open");
    s = "index1.htm";
    RemoveLinkTag(s, false, 1, "index1.htm");
    EXPECT_EQ(s, "index1.htm");
    RemoveLinkTag(s, false, 1, "other.htm");
    EXPECT_EQ(s, "index1.htm");
}

TEST(ConvertLinkMarkup, PageLinkBytes)
{
    std::string s = "(f: :Page 1)";
    ConvertLinkMarkup(s, "(f:", true, "index1.htm");
    EXPECT_EQ(s, "<a href=\"index1.htm\" >Page 1</a>");

    s = "Pages: (F: class=\"n\":2) | 3";
    ConvertLinkMarkup(s, "(f:", true, "index2.htm");
    EXPECT_EQ(s, "Pages: <a href=\"index2.htm\" class=\"n\">2</a> | 3");

    // Without the link the markup goes away.
    s = "a (f: :Page 1) b";
    ConvertLinkMarkup(s, "(f:", false, "index1.htm");
    EXPECT_EQ(s, "a  b");

    // Malformed or absent markup: unchanged.
    for (const char* text : {"(f: no colon or paren", "(f: :no paren", "plain text"}) {
        s = text;
        ConvertLinkMarkup(s, "(f:", true, "x.htm");
        EXPECT_EQ(s, text);
    }
}

TEST(ColorAndFlags, HtmlHexSlashesAndFlags)
{
    EXPECT_EQ(ColorToHtmlHex(255), "FF0000");
    EXPECT_EQ(ColorToHtmlHex(16744448), "0080FF");
    EXPECT_EQ(ColorToHtmlHex(0), "000000");
    EXPECT_EQ(ColorToHtmlHex(0x00ABCDEF), "EFCDAB");
    // System colours (negative) and values past 24 bits still give six digits.
    EXPECT_EQ(ColorToHtmlHex(static_cast<int>(0x80000005u)), "050000");
    EXPECT_EQ(ColorToHtmlHex(0x7F102030), "302010");
    std::string hex;
    ColorToHtmlHex(0xFF, hex);
    EXPECT_EQ(hex, "FF0000");

    EXPECT_EQ(SlashToBackslash("a/b/c.htm"), "a\\b\\c.htm");
    EXPECT_EQ(BackslashToSlash("a\\b\\c.htm"), "a/b/c.htm");

    EXPECT_EQ(BoolToFlag(true), "1");
    EXPECT_EQ(BoolToFlag(false), "0");
    EXPECT_TRUE(FlagToBool("1"));
    EXPECT_FALSE(FlagToBool("0"));
    EXPECT_FALSE(FlagToBool("1 "));
    EXPECT_FALSE(FlagToBool("true"));
    EXPECT_FALSE(FlagToBool(""));
}

TEST(FontStyleText, ReadSetsAndClearsWriteListsInOrder)
{
    TFontStyles font{false, false, true, true};
    std::string letters = "kept";
    FontStyleText("r", "bi", font, letters);
    EXPECT_TRUE(font.Bold);
    EXPECT_TRUE(font.Italic);
    EXPECT_FALSE(font.Underline);
    EXPECT_FALSE(font.StrikeOut);
    EXPECT_EQ(letters, "kept");

    FontStyleText("w", "", font, letters);
    EXPECT_EQ(letters, "bi");
    FontStyleText("r", "sub", font, letters);
    FontStyleText("w", "", font, letters);
    EXPECT_EQ(letters, "bus");
    FontStyleText("r", "", font, letters);
    FontStyleText("w", "", font, letters);
    EXPECT_EQ(letters, "");
}
