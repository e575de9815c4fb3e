// The shared text helpers where the program's readers used to disagree: one
// integer syntax for settings and records, the trim sets, the case folding.
#include "platform/core/AsciiCase.h"
#include "platform/core/Integers.h"
#include "platform/core/Trim.h"
#include "platform/core/Wildcard.h"

#include <gtest/gtest.h>

TEST(CoreText, ParseIntegerTable)
{
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"  -12", true, -12},
        {"+7", true, 7},
        {"$FF", true, 255},
        {"0xffffffff", true, -1},
        {"-$10", true, -16},
        {"$000000001", true, 1},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"0x100000000", false, 0},
        {"12 ", false, 0},
        {"\t12", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"1e3", false, 0},
    };
    for (const Case& c : cases) {
        int value = 99;
        EXPECT_EQ(ParseInteger(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 99) << c.text;
    }
}

TEST(CoreText, DecimalCoreStopsAtItsLimit)
{
    std::size_t at = 0;
    std::uint64_t value = 0;
    EXPECT_TRUE(ReadDecimalDigits("65535x", at, 65535, value));
    EXPECT_EQ(value, 65535u);
    EXPECT_EQ(at, 5u);
    at = 0;
    value = 0;
    EXPECT_FALSE(ReadDecimalDigits("65536", at, 65535, value));
    EXPECT_EQ(at, 4u);
}

TEST(CoreText, TrimSetsAndCaseFolding)
{
    EXPECT_EQ(Trim("\x01 a b\r\n"), "a b");
    EXPECT_EQ(TrimRight(" a \x1f"), " a");
    EXPECT_EQ(Trim("\x01 a \t", " \t"), "\x01 a");
    EXPECT_EQ(TrimRight(TrimLeft("\r\t v \r", " \t"), " \t\r"), "\r\t v");
    EXPECT_EQ(AsciiUpper("a\xe9z1"), "A\xe9Z1");
    EXPECT_EQ(CompareText("abc", "ABCD"), -1);
    EXPECT_EQ(CompareText("\xe9", "\xc9"), 1);
    EXPECT_TRUE(SameText("Key", "kEY"));
    EXPECT_FALSE(SameText("Key", "Keys"));
}

TEST(CoreText, WildcardWithAndWithoutCase)
{
    EXPECT_TRUE(AsciiWildcardMatch("Photo.JPG", "*.jpg", true));
    EXPECT_FALSE(AsciiWildcardMatch("Photo.JPG", "*.jpg", false));
    EXPECT_TRUE(AsciiWildcardMatch("a.b.c", "*.?", false));
    EXPECT_TRUE(AsciiWildcardMatch("", "**", false));
    EXPECT_FALSE(AsciiWildcardMatch("abc", "a*d", true));
}
