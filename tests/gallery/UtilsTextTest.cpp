#include "gallery/text/srutils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <tuple>

TEST(ConvertCase, TheSixModes)
{
    // The mode, a name and what it becomes; the name relative to the
    // destination: a sub-folder is part of it.
    const std::tuple<int, const char*, const char*> cases[] = {{0, "My Photo-1.JPG", "My Photo-1.JPG"},
                                                               {1, "My Photo-1.JPG", "my photo-1.jpg"},
                                                               {2, "my photo-1.jpg", "MY PHOTO-1.JPG"},
                                                               {3, "my photo-1.JPG", "My Photo-1.jpg"},
                                                               {4, "my photo-1.JPG", "My photo-1.Jpg"},
                                                               {5, "Tn_Abc.jpg", "tN_aBC.JPG"},
                                                               {9, "Keep.Me", "Keep.Me"},
                                                               {4, "thumbs/tn_a.jpg", "Thumbs/Tn_A.Jpg"}};
    for (auto [mode, name, converted] : cases) EXPECT_EQ(ConvertCase(mode, name), converted) << mode << " " << name;
    EXPECT_EQ(ConvertCase(1, "a   b.JPG", false, true), "a b.jpg");
}

TEST(ConvertCase, OnlyAsciiLettersChange)
{
    // Bytes of UTF-8 names pass through, and are no letters for the rules.
    EXPECT_EQ(ConvertCase(2, "caf\xc3\xa9.jpg"), "CAF\xc3\xa9.JPG");
    EXPECT_EQ(ConvertCase(3, "\xc3\xa9t\xc3\xa9.jpg"), "\xc3\xa9T\xc3\xa9.jpg");
    EXPECT_EQ(ConvertCase(5,
                          "\xc3\x89"
                          "a"),
              "\xc3\x89"
              "A");
    EXPECT_EQ(AsciiUpper('1'), '1');  // clearing bit 0x20 would give a control character
    EXPECT_EQ(AsciiUpper('\xe9'), '\xe9');
    EXPECT_EQ(AsciiUpper('q'), 'Q');
    EXPECT_EQ(AsciiLower('Q'), 'q');
    EXPECT_TRUE(IsAsciiLower('z'));
    EXPECT_FALSE(IsAsciiLower('Z'));
}

TEST(ConvertCase, TitleAndSentenceDetails)
{
    EXPECT_EQ(TitleCaseName("o'neil's BEST.tar.GZ"), "O'neil's Best.Tar.gz");
    EXPECT_EQ(TitleCaseName("1st_place"), "1St_Place");
    EXPECT_EQ(TitleCaseName(""), "");
    EXPECT_EQ(ConvertCase(4, "a"), "a");  // one character stays lower case
    EXPECT_EQ(ConvertCase(4, "HELLO world_x.JPG"), "Hello world_X.Jpg");
    EXPECT_EQ(ConvertCase(4, "the cat and the dog.jpg", true, false, "THE and"), "THE cat and THE dog.Jpg");
    EXPECT_EQ(ApplyExceptionWords("a b a.txt", "A"), "A b A.txt");
    EXPECT_EQ(ApplyExceptionWords("mid word.htm", "id"), "mid word.htm");  // whole words only
}

TEST(ReplaceText, NeverRescansWhatItInserted)
{
    EXPECT_EQ(ReplaceText("a%fa%f", "%f", "%file", false, true), "a%filea%file");
    EXPECT_EQ(ReplaceText("xx", "x", "xx", false, true), "xxxx");
    EXPECT_EQ(ReplaceText("aaa", "aa", "a", false, true), "aa");
    EXPECT_EQ(ReplaceText("One one ONE", "one", "1", true, true), "1 1 1");
    EXPECT_EQ(ReplaceText("One one ONE", "one", "1", false, true), "One 1 ONE");
    EXPECT_EQ(ReplaceText("One one ONE", "one", "1", true, false), "1 one ONE");
    EXPECT_EQ(ReplaceText("abc", "", "x", false, true), "abc");
    std::string out = "unchanged?";
    ReplaceText("a|b", "|", "%line", out, false, true);
    EXPECT_EQ(out, "a%lineb");
}

TEST(TextHelpers, TrimCollapseDigits)
{
    EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimRight("a  \x01"), "a");
    EXPECT_EQ(CollapseSpaces("  a   b  "), " a b ");
    EXPECT_EQ(ToggleCase("aB1"), "Ab1");
    EXPECT_TRUE(HasDigit("img9"));
    EXPECT_FALSE(HasDigit("img"));
    EXPECT_EQ(BoolToInt(true), 1);
    EXPECT_EQ(BoolToInt(false), 0);
}

TEST(WildcardMatch, PatternsOfTheFolderScan)
{
    EXPECT_TRUE(WildcardMatch("a.jpg", "*.jpg"));
    EXPECT_TRUE(WildcardMatch("a.jpg", "*.*"));
    EXPECT_FALSE(WildcardMatch("readme", "*.*"));
    EXPECT_TRUE(WildcardMatch("", "*"));
    EXPECT_FALSE(WildcardMatch("", "*.*"));
    EXPECT_TRUE(WildcardMatch("", ""));
    EXPECT_FALSE(WildcardMatch("a", ""));
    EXPECT_TRUE(WildcardMatch("img01.jpg", "img??.jpg"));
    EXPECT_FALSE(WildcardMatch("img1.jpg", "img??.jpg"));
    EXPECT_FALSE(WildcardMatch("A.JPG", "*.jpg"));  // case-sensitive; callers lower-case
    EXPECT_TRUE(WildcardMatch("a.b.c.jpg", "*.*.jpg"));
    EXPECT_TRUE(WildcardMatch("abcabcabd", "*abd"));
    EXPECT_FALSE(WildcardMatch("x.jpeg", "*.jpg"));
    EXPECT_TRUE(WildcardMatch("x.jpg", "x.jpg*"));
    // A long run of stars and near misses stays quick (no exponential backtracking).
    EXPECT_FALSE(WildcardMatch(std::string(5000, 'a'), std::string(50, '*') + std::string(30, 'a') + "b"));
    // MatchesMask looks at 255 characters of each side.
    EXPECT_TRUE(MatchesMask(std::string(255, 'a') + ".png", std::string(255, 'a')));
    EXPECT_FALSE(MatchesMask("short.png", "*.jpg"));
}

TEST(Numbers, RoundHalfToEvenAndCounts)
{
    EXPECT_EQ(DelphiRound(0.5), 0);
    EXPECT_EQ(DelphiRound(1.5), 2);
    EXPECT_EQ(DelphiRound(2.5), 2);
    EXPECT_EQ(DelphiRound(-2.5), -2);
    EXPECT_EQ(DelphiRound(2.6), 3);
    std::string out = "keep";
    FormatCount(0, "Total Pages: %s", 5, out);
    EXPECT_EQ(out, "keep");
    FormatCount(1, "Total Items: %s ", 1234567, out);
    EXPECT_EQ(out, "Total Items: 1234567 ");  // the tests run in the C locale: no separator
    FormatCount(1, "100%% of %s", 3, out);
    EXPECT_EQ(out, "100% of 3");
    if (std::setlocale(LC_NUMERIC, "en_US.UTF-8")) {
        EXPECT_EQ(FormatThousands(1234567), "1,234,567");
        EXPECT_EQ(FormatThousands(-1000), "-1,000");
        EXPECT_EQ(FormatThousands(999), "999");
        std::setlocale(LC_NUMERIC, "C");
    }
    EXPECT_EQ(FormatThousands(1234567), "1234567");
}
