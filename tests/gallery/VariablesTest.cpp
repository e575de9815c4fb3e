#include "gallery/records/pvutils.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/text/srutils.h"
#include "platform/system/DateTime.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TempFolder : testsupport::TempDir {
    TempFolder() : TempDir("pictavo-vars") {}
    std::string file(const std::string& name, std::size_t size) const
    {
        std::ofstream(path / name, std::ios::binary) << std::string(size, 'x');
        return (path / name).string();
    }
    void text(const std::string& name, const std::string& content) const
    {
        std::ofstream(path / name, std::ios::binary) << content;
    }
    std::string folder() const { return path.string() + "/"; }
};

class Variables : public ::testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_ALL, "C.UTF-8"); }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    std::string expand(const std::string& text, const std::string& fileName, int mode = 0) const
    {
        std::string result = "unchanged";
        ExpandTextVariables(mode, TSourceItemName{dir.folder(), fileName}, dir.folder() + fileName, result, text);
        return result;
    }

    TempFolder dir;
};

}  // namespace

TEST_F(Variables, FileNameAndSizeInKilobytes)
{
    dir.file("a.jpg", 3000);
    EXPECT_EQ(expand("%FileName (%FILESIZEKB KB)", "a.jpg"), "a.jpg (3 KB)");
    EXPECT_EQ(expand("%FileName (%FILESIZEKB KB)", "a.jpg", 1), "alt=\"a.jpg (3 KB)\"");
}

TEST_F(Variables, LongerNamesBeforeTheirPrefixes)
{
    dir.file("photo.2.jpg", 3000);
    EXPECT_EQ(expand("%filenoext|%filename|%fileext|%filesizekb|%filesizemb|%filesize", "photo.2.jpg"),
              "photo.2|photo.2.jpg|.jpg|3|0|3000");
    EXPECT_EQ(expand("%folder", "photo.2.jpg"), dir.folder());
    // Plain substrings: a longer word is replaced in part.
    EXPECT_EQ(expand("%filesizekbx %filenames", "photo.2.jpg"), "3x photo.2.jpgs");
    // Size rounding is half away from zero: 1536 bytes are 1.5 KB.
    dir.file("half.jpg", 1536);
    EXPECT_EQ(expand("%filesizekb", "half.jpg"), "2");
}

TEST_F(Variables, DateWithItsFormatAndFolder)
{
    const std::string path = dir.file("d.jpg", 10);
    ASSERT_TRUE(FileSetDate(path, DateTimeToFileDate(EncodeDate(2024, 3, 5) + EncodeTime(10, 20, 30, 0))) == 0);
    EXPECT_EQ(expand("Taken %filedatetime[dd.mm.yyyy] at %folder", "d.jpg"), "Taken 05.03.2024 at " + dir.folder());
    // Every "%filedatetime" takes the one format; the bracket belongs to the
    // variable, not to an earlier "[...]" of the user's text.
    EXPECT_EQ(expand("[Holiday] %FILEDATETIME[yyyy] (%filedatetime)", "d.jpg"), "[Holiday] 2024 (2024)");
    // No bracketed format: the variable is plain text.
    EXPECT_EQ(expand("%filedatetime", "d.jpg"), "%filedatetime");
}

TEST_F(Variables, MissingFileGivesEmptySizesAndDate)
{
    EXPECT_EQ(expand("[%filesize|%filesizekb|%filedatetime[yyyy]|%filename|%filedesc1]", "gone.jpg"),
              "[|||gone.jpg|gone.jpg]");
}

TEST_F(Variables, DescriptionsFromBothFiles)
{
    dir.file("a.jpg", 10);
    dir.file("holiday_2024.jpg", 10);
    dir.file("b.jpg", 10);
    dir.text("descript.ion",
             "A.JPG Short name line \r\n"
             "\"holiday_2024.jpg\" Beach at dusk \r\n"
             "\"unterminated.jpg no closing quote\r\n");
    dir.text("descript.pv", "a.jpg From the program's own file\n");
    EXPECT_EQ(expand("%filedesc1", "a.jpg"), "Short name line ");
    EXPECT_EQ(expand("%filedesc2", "a.jpg"), "From the program's own file");
    EXPECT_EQ(expand("%filedesc1", "holiday_2024.jpg"), "Beach at dusk ");
    // No line for it, or no file at all: the file name.
    EXPECT_EQ(expand("%filedesc1", "b.jpg"), "b.jpg");
    EXPECT_EQ(expand("%filedesc2", "holiday_2024.jpg"), "holiday_2024.jpg");
}

TEST_F(Variables, DescriptionsWrittenByTheEditorAreReadBack)
{
    // Long names are written in quotes, short ones bare; both read back, and
    // an emptied description falls back to the file name again.
    const std::string file = dir.folder() + "descript.ion";
    dir.file("holiday_2024.jpg", 10);
    dir.file("b.jpg", 10);
    ASSERT_TRUE(WriteDescription(-1, file, "holiday_2024.jpg", std::vector<std::string>{"Beach", "at dusk"}));
    ASSERT_TRUE(WriteDescription(-1, file, "b.jpg", std::vector<std::string>{"Bee"}));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "\"holiday_2024.jpg\" Beach at dusk \r\nb.jpg Bee \r\n");
    EXPECT_EQ(expand("%filedesc1", "holiday_2024.jpg"), "Beach at dusk ");
    EXPECT_EQ(expand("%filedesc1", "b.jpg"), "Bee ");
    ASSERT_TRUE(WriteDescription(0, file, "holiday_2024.jpg", std::vector<std::string>{}));
    EXPECT_EQ(expand("%filedesc1", "holiday_2024.jpg"), "holiday_2024.jpg");
    EXPECT_EQ(expand("%filedesc1", "b.jpg"), "Bee ");
}

TEST_F(Variables, DescriptionsAreLookedUpUnderTheSourceItem)
{
    // The caption describes the copy in the destination; the description
    // belongs to the source item.
    TempFolder source;
    source.text("descript.ion", "orig.jpg The original\n");
    dir.file("copy.jpg", 10);
    std::string result;
    ExpandTextVariables(0, TSourceItemName{source.folder(), "orig.jpg"}, dir.folder() + "copy.jpg", result,
                        "%filedesc1 / %filename");
    EXPECT_EQ(result, "The original / copy.jpg");
}

TEST_F(Variables, InsertedValuesAreNeverExpandedAgain)
{
    dir.file("%filename.jpg", 10);
    dir.file("party(a).jpg", 2048);
    dir.file("%filesize%folder.jpg", 10);
    EXPECT_EQ(expand("%filename", "%filename.jpg"), "%filename.jpg");
    EXPECT_EQ(expand("%filenoext %filename", "%filesize%folder.jpg"), "%filesize%folder %filesize%folder.jpg");
    dir.text("descript.ion", "party(a).jpg %filedesc1 at %filename (%filesizekb)\n");
    EXPECT_EQ(expand("%filedesc1 - %filesizekb KB", "party(a).jpg"), "%filedesc1 at %filename (%filesizekb) - 2 KB");
}

TEST_F(Variables, AttributeFormKeepsItsQuotes)
{
    dir.file("q.jpg", 10);
    dir.text("descript.ion", "q.jpg She said \"cheese\"\n");
    EXPECT_EQ(expand("%filedesc1", "q.jpg", 1), "alt=\"She said &quot;cheese&quot;\"");
    EXPECT_EQ(expand("", "q.jpg", 1), "alt=\"\"");
}

TEST_F(Variables, ThousandsOnlyInShownText)
{
    // Under C.UTF-8 (as pinned) there is no thousands separator at all.
    dir.file("big.jpg", 1234567);
    EXPECT_EQ(expand("%filesize", "big.jpg"), "1234567");
    EXPECT_EQ(expand("%filesizekb", "big.jpg"), "1206");

    // A locale that groups: made at test time, since only C locales are installed.
    TempFolder locales;
    const std::string command = "localedef -i en_US -f UTF-8 '" + locales.folder() + "en_US.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !fs::exists(locales.path / "en_US.UTF-8" / "LC_NUMERIC"))
        GTEST_SKIP() << "localedef could not make en_US.UTF-8";
    ::setenv("LOCPATH", locales.folder().c_str(), 1);
    const bool grouped = std::setlocale(LC_NUMERIC, "en_US.UTF-8") != nullptr;
    if (grouped) {
        EXPECT_EQ(expand("%filesize bytes", "big.jpg"), "1,234,567 bytes");
        // Attribute values are plain integers.
        EXPECT_EQ(expand("%filesize bytes", "big.jpg", 1), "alt=\"1234567 bytes\"");
    }
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    if (!grouped) GTEST_SKIP() << "en_US.UTF-8 could not be selected";
}

TEST_F(Variables, CaptionAddsResultLineFields)
{
    dir.file("a.jpg", 3000);
    TMarkupState state;
    state.CurrentResultLine = "a.jpg|640|480|16777216";
    state.SourceItems = {{dir.folder(), "a.jpg"}};
    dir.text("descript.ion", "a.jpg Sunset\n");
    EXPECT_EQ(ExpandCaption(0, 0, dir.folder() + "a.jpg", "%filedesc1 %Width x %HEIGHT, %colors colours", state),
              "Sunset 640 x 480, 16777216 colours");
    EXPECT_EQ(ExpandCaption(1, 0, dir.folder() + "a.jpg", "%width", state), "alt=\"640\"");
    // An item index without a source item: the description falls back to the name.
    EXPECT_EQ(ExpandCaption(0, 5, dir.folder() + "a.jpg", "%filedesc1", state), "a.jpg");
    EXPECT_EQ(ExpandCaption(0, -1, dir.folder() + "a.jpg", "%filedesc2", state), "a.jpg");
    // The text stamp has no result line: "%width" stays.
    EXPECT_EQ(expand("%width", "a.jpg"), "%width");
}

TEST(ReplaceVariablesOnce, FirstListedWinsAtOnePosition)
{
    EXPECT_EQ(ReplaceVariablesOnce("%ab %a %AB", {{"%ab", "1"}, {"%a", "2"}}), "1 2 1");
    EXPECT_EQ(ReplaceVariablesOnce("%ab", {{"%a", "2"}, {"%ab", "1"}}), "2b");
    EXPECT_EQ(ReplaceVariablesOnce("x%a", {{"%a", "%a%a"}, {"", "never"}}), "x%a%a");
    EXPECT_EQ(ReplaceVariablesOnce("", {{"%a", "1"}}), "");
}

TEST(ReplaceVariable, FirstOccurrenceAnyCase)
{
    std::string line = "<title>%TITLE - %title</title>";
    ReplaceVariable(line, "%title", "", "Holiday");
    EXPECT_EQ(line, "<title>Holiday - %title</title>");

    line = "no variable";
    ReplaceVariable(line, "%title", "", "x");
    EXPECT_EQ(line, "no variable");

    // With an end marker the variable stays and the text up to the marker goes.
    line = "A %CurrentDateTime[old]] B";
    ReplaceVariable(line, "%currentdatetime", "]", "[new");
    EXPECT_EQ(line, "A %CurrentDateTime[new]] B");
    line = "%var text END rest";
    ReplaceVariable(line, "%var", "end", "=");
    EXPECT_EQ(line, "%var=END rest");
    line = "%var without marker";
    ReplaceVariable(line, "%var", "]", "x");
    EXPECT_EQ(line, "%var without marker");
    line = "%var";
    ReplaceVariable(line, "", "", "x");
    EXPECT_EQ(line, "%var");
}

TEST(AddSpacesAndAttribute, Forms)
{
    EXPECT_EQ(AddSpaces(0), "");
    EXPECT_EQ(AddSpaces(-3), "");
    EXPECT_EQ(AddSpaces(4), "    ");
    std::string s = "x";
    AddSpaces(2, s);
    EXPECT_EQ(s, "  ");

    std::string tag = "<table";
    AddAttribute(tag, true, "border=", "0");
    AddAttribute(tag, false, "cellpadding=", "3");
    AddAttribute(tag, true, "width=", "100%");
    EXPECT_EQ(tag, "<table border=\"0\" width=\"100%\"");
}
