#include "platform/system/Ticks.h"

#include <chrono>
#include <thread>

std::uint64_t MonotonicMilliseconds()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(MonotonicMilliseconds()); }

void Sleep(std::uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
