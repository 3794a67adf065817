#pragma once
// What the window shows for one state of the front end: three status lines, the bar and
// the button, and whether the auto-close timer starts now. Computed without touching a
// window, so the whole display can be checked away from Windows.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "logic/job_status.h"

namespace corvale_gui {

inline constexpr int kBarRange = 1000;

// A view of the shared state, valid while the state lock is held.
struct StatusInput {
  const JobStatus& status;
  std::string_view title;
  std::string_view subtitle;
  std::chrono::nanoseconds elapsed;  // now minus the job's start on the monotonic clock
  std::uint64_t progress_done = 0;
  std::uint64_t progress_total = 0;
  std::uint64_t failures = 0;
  bool english = true;
  bool worker_busy = false;
  bool queue_empty = true;
  bool auto_close_armed = false;
  bool keep_open = false;
};

struct StatusDisplay {
  std::string_view line1;   // points into the input or the texts
  std::string_view line2;
  std::string line3;
  std::string_view button;
  int bar = 0;              // 0 to kBarRange
  bool start_auto_close = false;
};

StatusDisplay compute_status_display(const StatusInput& in);

}  // namespace corvale_gui
