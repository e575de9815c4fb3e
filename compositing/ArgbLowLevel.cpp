#include "compositing/ArgbLowLevel.h"

#include <algorithm>
#include <cstdlib>

void FillLongwords(TArgbColor* dest, std::int64_t count, TArgbColor value)
{
    if (count > 0) std::fill_n(dest, count, value);
}

int MulDivRound(int a, int b, int c)
{
    const std::uint64_t product = std::uint64_t(std::llabs(a)) * std::uint64_t(std::llabs(b));
    const std::uint64_t divisor = std::uint64_t(std::llabs(c));
    // The quotient must fit in 31 bits: twice the upper half below the divisor.
    if (2 * (product >> 32) >= divisor) return -1;
    std::uint64_t q = product / divisor;
    const std::uint64_t r = product % divisor;
    if (divisor - r <= r) ++q;
    // The test above lets quotients up to 2^32 through; they do not fit either.
    if (q > 0x7FFFFFFF) return -1;
    const bool negative = ((a ^ b ^ c) < 0);
    return negative ? -int(q) : int(q);
}
