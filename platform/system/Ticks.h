#pragma once
// Monotonic time for time-outs and progress, and a plain sleep.

#include <cstdint>

std::uint32_t GetTickCount();     // milliseconds, wraps after about 49.7 days like the original counter
std::uint64_t GetTickCount64();   // milliseconds, does not wrap
void Sleep(std::uint32_t milliseconds);
