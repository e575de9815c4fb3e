#pragma once
// Matching a name against a mask of '?' (any one byte) and '*' (any run),
// ASCII letters with or without regard to case.

#include "platform/core/AsciiCase.h"

#include <string>

// '*' tries the shortest run first and backs up one position at a time; only
// the last '*' needs remembering, so the work stays linear in practice.
inline bool AsciiWildcardMatch(const std::string& text, const std::string& mask, bool ignoreCase)
{
    auto same = [ignoreCase](char a, char b) { return ignoreCase ? AsciiLower(a) == AsciiLower(b) : a == b; };
    std::size_t t = 0, m = 0, starM = std::string::npos, starT = 0;
    while (t < text.size()) {
        const bool more = m < mask.size();
        if (more && (mask[m] == '?' || same(mask[m], text[t]))) {
            ++t;
            ++m;
        } else if (more && mask[m] == '*') {
            starM = m++;
            starT = t;
        } else if (starM == std::string::npos) {
            return false;
        } else {
            m = starM + 1;
            t = ++starT;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}
