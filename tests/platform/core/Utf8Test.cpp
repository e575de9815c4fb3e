// Stored texts: what counts as valid UTF-8, and Windows-1252 made UTF-8,
// checked byte by byte against the C library's own converter.
#include "platform/core/Utf8.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

namespace {

// The C library's conversion of one byte; empty when it has none for it.
std::string IconvWindows1252(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "(no converter)";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return rc == static_cast<std::size_t>(-1) ? std::string() : std::string(out, outPtr);
}

}  // namespace

// Every byte from 0x80 on: the defined ones as the C library converts them,
// the five undefined ones as the C1 control of the same number.
TEST(Utf8, Windows1252WholeTable)
{
    for (int b = 0; b < 256; ++b) {
        const std::string ours = Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
        const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        if (undefined) {
            EXPECT_EQ(ours, std::string({'\xC2', static_cast<char>(b)})) << std::hex << b;
            EXPECT_EQ(IconvWindows1252(static_cast<unsigned char>(b)), "") << std::hex << b;
        } else {
            EXPECT_EQ(ours, IconvWindows1252(static_cast<unsigned char>(b))) << std::hex << b;
        }
        EXPECT_TRUE(IsValidUtf8(ours)) << std::hex << b;
        EXPECT_EQ(ours.find("\xEF\xBF\xBD"), std::string::npos) << std::hex << b;
    }
    // A few by name, so a wrong table and a wrong library cannot agree unseen.
    EXPECT_EQ(Windows1252ToUtf8("\x80\x85\x8A\x91\x92\x93\x94\x96\x97\x99\x9F"),
              "\u20AC\u2026\u0160\u2018\u2019\u201C\u201D\u2013\u2014\u2122\u0178");
}

TEST(Utf8, ValidityTable)
{
    struct Case {
        const char* bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"Caf\xC3\xA9", true},
        {"\xE2\x82\xAC 5", true},         // euro sign
        {"\xF0\x9F\x93\xB7", true},       // a four-byte character
        {"\xF4\x8F\xBF\xBF", true},       // U+10FFFF, the last one
        {"\xEF\xBB\xBF", true},           // a byte-order mark is a character
        {"Caf\xE9", false},               // Windows-1252
        {"Caf\xC3", false},               // cut short at the end
        {"\xC3(", false},                 // lead byte without continuation
        {"\xA9", false},                  // a stray continuation byte
        {"\xC0\xAF", false},              // overlong '/'
        {"\xE0\x80\xAF", false},          // overlong, three bytes
        {"\xF0\x80\x80\xAF", false},      // overlong, four bytes
        {"\xED\xA0\x80", false},          // a surrogate
        {"\xF4\x90\x80\x80", false},      // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", false},  // five-byte forms do not exist
        {"\xFF", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << ::testing::PrintToString(c.bytes);
}

// Valid UTF-8 is never converted again, so a second start changes nothing;
// text that happens to look like Windows-1252 pairs ("Ã©") stays as it is.
TEST(Utf8, StoredTextIsConvertedOnce)
{
    EXPECT_EQ(StoredTextToUtf8("Caf\xE9 %filename"), "Caf\xC3\xA9 %filename");
    EXPECT_EQ(StoredTextToUtf8(StoredTextToUtf8("Caf\xE9")), "Caf\xC3\xA9");
    EXPECT_EQ(StoredTextToUtf8("\xC3\x83\xC2\xA9"), "\xC3\x83\xC2\xA9");
    // One invalid byte decides for the whole text: its valid-looking pair is Windows-1252 too.
    EXPECT_EQ(StoredTextToUtf8("\xC3\xA9 \xE9"), "\xC3\x83\xC2\xA9 \xC3\xA9");
    EXPECT_EQ(StoredTextToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// A name shown as text is read part by part: a UTF-8 folder keeps its letters
// above a Windows-1252 name.
TEST(Utf8, NamesAreReadPartByPart)
{
    EXPECT_EQ(NameToText("caf\xE9.jpg"), "caf\xC3\xA9.jpg");
    EXPECT_EQ(NameToText("/cr\xC3\xA8me/caf\xE9/\xC3\xA9t\xC3\xA9.jpg"),
              "/cr\xC3\xA8me/caf\xC3\xA9/\xC3\xA9t\xC3\xA9.jpg");
    EXPECT_EQ(NameToText("a//\x80/"), "a//\xE2\x82\xAC/");
    EXPECT_EQ(NameToText(""), "");
}
