#pragma once
// Word-level helpers of the compositing library: colour-number conversion,
// the word fill, clamping and the rounded multiply-divide.

#include <cstdint>

using TArgbColor = std::uint32_t;  // $AARRGGBB; in memory blue, green, red, alpha

// $00BBGGRR becomes $FFRRGGBB; the top byte of the input is ignored.
constexpr TArgbColor ColorRefToArgb(std::uint32_t c)
{
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Writes count copies of value from dest on; a count of 0 or less writes nothing.
void FillLongwords(TArgbColor* dest, std::int64_t count, TArgbColor value);

// lo when value <= lo, else hi when value >= hi, else value.
constexpr int ClampInt(int value, int lo, int hi) { return value <= lo ? lo : value >= hi ? hi : value; }

// a * b / c with a 64-bit product, halves rounded away from zero. When the
// quotient does not fit (which includes c = 0) the result is -1.
int MulDivRound(int a, int b, int c);
