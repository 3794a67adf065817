#pragma once
// The time-left estimate of a running job: the average rate since the job began.

#include <chrono>
#include <cstdint>
#include <string_view>
#include <string>

namespace corvale_gui {

// elapsed is now minus the job's start on the monotonic clock; a negative value counts as 0.
std::string time_left_text(std::uint64_t done, std::uint64_t total,
                           std::chrono::nanoseconds elapsed, bool english);

}  // namespace corvale_gui
