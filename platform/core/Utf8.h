#pragma once
// UTF-8 as this program checks it, and Windows-1252, the code page the
// Windows program stored its texts in. A text read from a stored file that
// is not valid UTF-8 was written that way and becomes UTF-8 where it is read;
// a valid one is never touched, so nothing is encoded twice.

#include <cstddef>
#include <string>
#include <string_view>

// The code point of one Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are the C1 controls of the
// same number, as Windows' own conversion gives them: every byte has a
// character, and none becomes U+FFFD.
inline char32_t Windows1252CodePoint(unsigned char byte)
{
    static constexpr char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : byte;
}

inline void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at text[at] and its code point
// in c; 0 when the bytes there are not one (a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate, a value past U+10FFFF).
inline std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& c)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    std::size_t length;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, c = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

inline bool IsValidUtf8(std::string_view text)
{
    char32_t c;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = DecodeUtf8(text, at, c);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

// Every byte read as Windows-1252.
inline std::string Windows1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char b : text) AppendUtf8(out, Windows1252CodePoint(static_cast<unsigned char>(b)));
    return out;
}

// A text as a stored file holds it: valid UTF-8 stays as it is, anything else
// was written in Windows-1252 and is converted whole.
inline std::string StoredTextToUtf8(std::string_view text)
{
    return IsValidUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
}

// A file or folder name shown as text: each part between '/' that is not
// valid UTF-8 is taken as Windows-1252, the reading the Windows program gave
// it, so a page shows "caf\xE9.jpg" as "café.jpg". Parts are judged one by
// one: a UTF-8 folder above a Windows-1252 name keeps its letters. The name
// itself (on disk, in links, in the upload) keeps its bytes.
inline std::string NameToText(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t start = 0;;) {
        const std::size_t slash = name.find('/', start);
        out += StoredTextToUtf8(name.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos) return out;
        out += '/';
        start = slash + 1;
    }
}
