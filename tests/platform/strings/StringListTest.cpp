#include "platform/strings/StringList.h"
#include "platform/streams/Streams.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> items(const TStringList& l) { return l.Items(); }

std::string readBytes(const std::string& path) { return testsupport::ReadFileText(path); }

}  // namespace

TEST(StringList, SortedListsOrderWithoutCaseAndHandleDuplicates)
{
    TStringList l;
    l.SetSorted(true);
    for (const char* s : {"b.jpg", "A.jpg", "c.JPG", "a.JPG", "_x", "Z"}) l.Add(s);
    // Duplicates are ignored by default, the first spelling is kept; '_' sorts
    // before letters as in the lower-cased comparison.
    EXPECT_EQ(items(l), (std::vector<std::string>{"_x", "A.jpg", "b.jpg", "c.JPG", "Z"}));
    EXPECT_EQ(l.IndexOf("C.jpg"), 3);
    EXPECT_EQ(l.IndexOf("missing"), -1);
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    l.SetDuplicates(TDuplicates::dupError);
    EXPECT_THROW(l.Add("z"), EStringListError);
    l.SetDuplicates(TDuplicates::dupAccept);
    l.Add("z");
    EXPECT_EQ(l.Count(), 6);
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("\xe9", "\xc9"), 1);  // bytes above 0x7F are not case-folded
}

TEST(StringList, UnsortedEditingAndIndexErrors)
{
    TStringList l;
    l.Add("one");
    l.Add("two");
    l.Insert(1, "between");
    l.Insert(3, "end");
    EXPECT_EQ(items(l), (std::vector<std::string>{"one", "between", "two", "end"}));
    l.Delete(0);
    l.Put(0, "first");
    l.Move(2, 0);
    EXPECT_EQ(items(l), (std::vector<std::string>{"end", "first", "two"}));
    EXPECT_EQ(l.IndexOf("TWO"), 2);
    try {
        (void)l[3];
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (3)");
    }
    EXPECT_THROW(l.Delete(-1), EStringListError);
    EXPECT_THROW(l.Insert(5, "x"), EStringListError);
}

TEST(StringList, TextUsesCrLfAndReadsEveryLineEnd)
{
    TStringList l;
    l.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(items(l), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\nd\r\n");
    l.SetText("x\n\ny\r\n");
    EXPECT_EQ(items(l), (std::vector<std::string>{"x", "", "y"}));
    l.SetText("");
    EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, FilesRoundTripWithCrLf)
{
    const std::string path = (fs::temp_directory_path() / "pictavo-sl-test.txt").string();
    std::ofstream(path, std::ios::binary) << "unix\nlines\n";
    TStringList l;
    l.LoadFromFile(path);
    EXPECT_EQ(items(l), (std::vector<std::string>{"unix", "lines"}));
    l.Add("more");
    l.SaveToFile(path);
    EXPECT_EQ(readBytes(path), "unix\r\nlines\r\nmore\r\n");
    std::remove(path.c_str());
    EXPECT_THROW(l.LoadFromFile(path), EFOpenError);
    EXPECT_THROW(l.SaveToFile("/nonexistent-folder/x.txt"), EFCreateError);
}

TEST(StringList, CommaTextAndNameValues)
{
    TStringList l;
    l.SetCommaText("a, \"b c\",\"say \"\"hi\"\"\",,d");
    EXPECT_EQ(items(l), (std::vector<std::string>{"a", "b c", "say \"hi\"", "", "d"}));
    TStringList back;
    back.SetCommaText(l.CommaText());
    EXPECT_EQ(items(back), items(l));

    TStringList v;
    v.Add("Width=320");
    v.Add("Height=200");
    EXPECT_EQ(v.Values("width"), "320");
    EXPECT_EQ(v.Names(1), "Height");
    v.SetValue("HEIGHT", "240");
    EXPECT_EQ(v[1], "Height=240");
    v.SetValue("Depth", "24");
    EXPECT_EQ(v.Count(), 3);
    v.SetValue("Width", "");
    EXPECT_EQ(v.IndexOfName("width"), -1);
}
