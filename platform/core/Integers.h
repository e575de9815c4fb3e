#pragma once
// Reading integers from text: one decimal core, and the integer syntax of
// settings files and record fields on top of it.

#include <cstdint>
#include <string_view>

// Reads the decimal digits from text[at] on into value (which the caller
// starts); at ends after the last digit read. False when one more digit would
// take value past limit: at then stands on that digit.
inline bool ReadDecimalDigits(std::string_view text, std::size_t& at, std::uint64_t limit, std::uint64_t& value)
{
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const std::uint64_t next = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        if (next > limit) return false;
        value = next;
    }
    return true;
}

// Leading spaces, an optional sign, then decimal digits, or hexadecimal after
// "$" or "0x" that spells the 32 bits ("$FFFFFFFF" is -1). Anything else (an
// empty text, another character, a trailing blank, a value outside 32 bits)
// gives false and leaves value as it was.
inline bool ParseInteger(std::string_view text, int& value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const bool dollar = i < text.size() && text[i] == '$';
    const bool zeroX = i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
    if (dollar || zeroX) {
        i += dollar ? 1 : 2;
        if (i >= text.size()) return false;
        std::uint64_t bits = 0;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) return false;
            bits = bits * 16 + static_cast<std::uint64_t>(digit);
            if (bits > 0xFFFFFFFFu) return false;
        }
        const auto spelled = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
        value = negative ? static_cast<int>(0u - static_cast<std::uint32_t>(spelled)) : spelled;
        return true;
    }
    if (i >= text.size()) return false;
    std::uint64_t magnitude = 0;
    if (!ReadDecimalDigits(text, i, negative ? 2147483648u : 2147483647u, magnitude) || i != text.size()) return false;
    value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude)) : static_cast<int>(magnitude);
    return true;
}
