#pragma once
// Monotonic time for time-outs and progress, and a plain sleep.

#include <cstdint>

std::uint32_t GetTickCount();  // milliseconds, wraps after about 49.7 days like the original counter
// Milliseconds, does not wrap. (Not called GetTickCount64: the messages layer
// of the upload side has its own function of that name.)
std::uint64_t MonotonicMilliseconds();
void Sleep(std::uint32_t milliseconds);
