// Case and text routines of srutils.
#include "gallery/text/srutils.h"
#include "platform/core/Integers.h"
#include "platform/core/Wildcard.h"

#include <climits>
#include <clocale>
#include <cmath>

namespace {

// The extension as TitleCaseName and ApplyExceptionWords see it: from the last
// '.' of the text (name pieces may hold folders, whose dots come earlier).
std::size_t extensionStart(const std::string& text)
{
    const std::size_t dot = text.rfind('.');
    if (dot == std::string::npos) return text.size();
    const std::size_t sep = text.find_last_of("/\\");
    if (sep != std::string::npos && sep > dot) return text.size();
    return dot;
}

}  // namespace

std::string TitleCaseName(const std::string& name)
{
    const std::string lower = AsciiLower(name);
    const std::size_t extAt = extensionStart(lower);
    std::string base = lower.substr(0, extAt);
    const std::string ext = lower.substr(extAt);
    for (std::size_t i = 0; i < base.size(); ++i) {
        if (!IsAsciiLetter(base[i])) continue;
        if (i == 0 || (!IsAsciiLetter(base[i - 1]) && base[i - 1] != '\'')) base[i] = AsciiUpper(base[i]);
    }
    return base + ext;
}

std::string ToggleCase(const std::string& text)
{
    std::string s = text;
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = AsciiLower(c);
        else if (IsAsciiLower(c))
            c = AsciiUpper(c);
    }
    return s;
}

bool HasDigit(const std::string& text)
{
    for (char c : text)
        if (c >= '0' && c <= '9') return true;
    return false;
}

std::string CollapseSpaces(const std::string& text)
{
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (c == ' ' && !s.empty() && s.back() == ' ') continue;
        s += c;
    }
    return s;
}

namespace {

std::string sentenceCase(const std::string& text)
{
    std::string s = AsciiLower(text);
    if (s.size() > 1) s[0] = AsciiUpper(s[0]);
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (!IsAsciiLetter(s[i])) continue;
        const char before = s[i - 1];
        if (!IsAsciiLetter(before) && before != ' ') s[i] = AsciiUpper(s[i]);
    }
    return s;
}

}  // namespace

std::string ConvertCase(int mode, const std::string& text, bool applyExceptions, bool collapseSpaces,
                        const std::string& exceptionWords)
{
    const std::string s = collapseSpaces ? CollapseSpaces(text) : text;
    switch (mode) {
    case ccLowerCase: return AsciiLower(s);
    case ccUpperCase: return AsciiUpper(s);
    case ccTitleCase: return TitleCaseName(s);
    case ccSentenceCase: {
        std::string result = sentenceCase(s);
        if (applyExceptions) result = ApplyExceptionWords(result, exceptionWords);
        return result;
    }
    case ccToggleCase: return ToggleCase(s);
    default: return s;
    }
}

std::string ApplyExceptionWords(const std::string& text, const std::string& words)
{
    const std::size_t extAt = extensionStart(text);
    const std::string ext = text.substr(extAt);
    std::string framed = " " + text.substr(0, extAt) + " ";
    std::size_t start = 0;
    while (start <= words.size()) {
        std::size_t end = words.find(' ', start);
        if (end == std::string::npos) end = words.size();
        const std::string word = words.substr(start, end - start);
        if (!word.empty()) framed = ReplaceText(framed, " " + word + " ", " " + word + " ", true, true);
        start = end + 1;
    }
    return Trim(framed) + ext;
}

std::string ReplaceText(const std::string& text, const std::string& pattern, const std::string& replacement,
                        bool ignoreCase, bool all)
{
    if (pattern.empty()) return text;
    const std::string haystack = ignoreCase ? AsciiLower(text) : text;
    const std::string needle = ignoreCase ? AsciiLower(pattern) : pattern;
    std::string result;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = haystack.find(needle, from);
        if (at == std::string::npos) break;
        result.append(text, from, at - from);
        result += replacement;
        from = at + needle.size();
        if (!all) break;
    }
    result.append(text, from, std::string::npos);
    return result;
}

void ReplaceText(const std::string& text, const std::string& pattern, const std::string& replacement,
                 std::string& result, bool ignoreCase, bool all)
{
    result = ReplaceText(text, pattern, replacement, ignoreCase, all);
}

bool WildcardMatch(const std::string& text, const std::string& pattern)
{
    if (pattern == "*") return true;
    if (text.empty()) return pattern.empty();
    return AsciiWildcardMatch(text, pattern, false);
}

bool MatchesMask(const std::string& name, const std::string& mask)
{
    return WildcardMatch(name.substr(0, 255), mask.substr(0, 255));
}

int BoolToInt(bool value) { return value ? 1 : 0; }

int StrToInt(const std::string& text)
{
    int value = 0;
    if (!ParseInteger(text, value)) throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

int StrToIntDef(const std::string& text, int defaultValue)
{
    int value = 0;
    return ParseInteger(text, value) ? value : defaultValue;
}

std::int64_t DelphiRound(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

namespace {

// The locale's thousands separator and group size (3 when it names none).
void localeGrouping(std::string& separator, int& group)
{
    const std::lconv* lc = std::localeconv();
    separator = lc && lc->thousands_sep ? lc->thousands_sep : "";
    group = 3;
    if (lc && lc->grouping && lc->grouping[0] > 0 && lc->grouping[0] != CHAR_MAX) group = lc->grouping[0];
}

}  // namespace

std::string FormatThousands(std::int64_t value)
{
    std::string separator;
    int group = 3;
    localeGrouping(separator, group);
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const std::string digits = std::to_string(magnitude);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && !separator.empty() && (digits.size() - i) % static_cast<std::size_t>(group) == 0) out += separator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

void FormatCount(int kind, const std::string& pattern, std::int64_t number, std::string& result)
{
    if (kind != 1) return;
    const std::string value = FormatThousands(number);
    std::string out;
    bool used = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 's' && !used) {
                out += value;
                used = true;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    result = out;
}
