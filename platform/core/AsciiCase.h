#pragma once
// ASCII-only case folding: names, extensions and keys compare without regard
// to the case of "A" to "Z"; every other byte (digits, UTF-8) stays as it is.

#include <algorithm>
#include <string>

inline bool IsAsciiLower(char c) { return c >= 'a' && c <= 'z'; }
inline bool IsAsciiLetter(char c) { return IsAsciiLower(c) || (c >= 'A' && c <= 'Z'); }

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
// Only ASCII letters change: clearing bit 0x20 of a digit or of a byte above
// 0x7F would turn it into a different character.
inline char AsciiUpper(char c) { return IsAsciiLower(c) ? static_cast<char>(c - ('a' - 'A')) : c; }

inline std::string AsciiLower(std::string text)
{
    for (char& c : text) c = AsciiLower(c);
    return text;
}

inline std::string AsciiUpper(std::string text)
{
    for (char& c : text) c = AsciiUpper(c);
    return text;
}

// -1, 0 or 1: bytes compared unsigned after folding, a shorter text that is a
// prefix of the other first.
inline int CompareText(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

inline bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}
