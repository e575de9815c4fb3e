#pragma once
// ASCII-only case folding: names, extensions and keys compare without regard
// to the case of "A" to "Z"; every other byte (digits, UTF-8) stays as it is.

#include <string>

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

inline std::string AsciiLower(std::string text)
{
    for (char& c : text) c = AsciiLower(c);
    return text;
}

inline bool AsciiSameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}
