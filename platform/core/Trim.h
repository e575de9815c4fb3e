#pragma once
// Trimming byte strings. Without a set of blanks, every byte up to and
// including ' ' counts (spaces, tabs, line ends and the other control
// characters); a reader with narrower rules names its own set.

#include <string>
#include <string_view>

inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

namespace trim_detail {

template <typename IsBlank>
std::string trimmed(std::string_view text, bool left, bool right, IsBlank isBlank)
{
    std::size_t begin = 0, end = text.size();
    while (left && begin < end && isBlank(text[begin])) ++begin;
    while (right && end > begin && isBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

inline auto inSet(std::string_view blanks)
{
    return [blanks](char c) { return blanks.find(c) != std::string_view::npos; };
}

}  // namespace trim_detail

inline std::string Trim(std::string_view text) { return trim_detail::trimmed(text, true, true, IsBlankOrControl); }
inline std::string TrimRight(std::string_view text)
{
    return trim_detail::trimmed(text, false, true, IsBlankOrControl);
}

inline std::string Trim(std::string_view text, std::string_view blanks)
{
    return trim_detail::trimmed(text, true, true, trim_detail::inSet(blanks));
}
inline std::string TrimLeft(std::string_view text, std::string_view blanks)
{
    return trim_detail::trimmed(text, true, false, trim_detail::inSet(blanks));
}
inline std::string TrimRight(std::string_view text, std::string_view blanks)
{
    return trim_detail::trimmed(text, false, true, trim_detail::inSet(blanks));
}
