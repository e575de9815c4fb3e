#pragma once
// Pieces the upload window's files share; not for other callers.

#include <cstddef>
#include <cstdint>
#include <string>

namespace upload_window_detail {

// The client's time-out in seconds when the window's Timeout field holds none.
constexpr int DefaultTimeout = 15;

// Lines the log keeps; the oldest tenth goes when it is full.
constexpr std::size_t MaxLogLines = 5000;

// A count put into a status pattern ("Total Files: %s"), with the locale's
// thousands separators.
std::string CountText(const std::string& pattern, std::int64_t n);

}  // namespace upload_window_detail
