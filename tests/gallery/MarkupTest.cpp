#include "gallery/pvutils.h"

#include <gtest/gtest.h>

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

} // namespace

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
    EXPECT_EQ(set("<body>", "<body", "bgcolor", ""), "<body>");   // nothing to remove, nothing added
    EXPECT_EQ(set("<html>", "<body", "bgcolor", "#FFFFFF"), "<html>");
    EXPECT_EQ(set("<body vlink=\"#800080\">", "<body", "link", "#0000FF"),
              "<body vlink=\"#800080\" link=\"#0000FF\">");
    EXPECT_EQ(set("<body", "<body", "text", "#000000"), "<body text=\"#000000\">");
    EXPECT_EQ(set("<body topmargin>", "<body", "topmargin", "0"), "<body topmargin=\"0\">");
}
