#include "logic/time_left.h"

#include <cmath>
#include <limits>

#include "logic/texts.h"

namespace corvale_gui {

std::string time_left_text(std::uint64_t done, std::uint64_t total,
                           std::chrono::nanoseconds elapsed, bool english) {
  const Texts& t = texts(english);
  double seconds = 0.0;
  if (elapsed.count() > 0) {
    auto whole = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
    seconds = static_cast<double>(whole.count()) +
              static_cast<double>((elapsed - whole).count()) / 1e9;
  }
  // The first half second says too little about the rate to extrapolate from.
  double rate = seconds > 0.5 ? static_cast<double>(done) / seconds : 0.0;
  if (!(rate > 0.0)) return std::string(t.estimating_time);
  std::uint64_t left = done > total ? 0 : total - done;
  double remaining = static_cast<double>(left) / rate;
  if (!std::isfinite(remaining)) return std::string(t.estimating_time);
  if (remaining < 60.0) return std::string(t.under_a_minute_left);
  double minutes = std::ceil(remaining / 60.0);
  std::uint64_t whole_minutes = minutes >= 18446744073709551616.0
                                    ? std::numeric_limits<std::uint64_t>::max()
                                    : static_cast<std::uint64_t>(minutes);
  return fill(t.minutes_left, {std::to_string(whole_minutes)});
}

}  // namespace corvale_gui
