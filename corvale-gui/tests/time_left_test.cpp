#include "logic/time_left.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

namespace corvale_gui {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;

struct TimeCase {
  std::uint64_t done;
  std::uint64_t total;
  nanoseconds elapsed;
  const char* english;
};

TEST(TimeLeft, EstimateFromAverageRate) {
  const std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const TimeCase cases[] = {
      {0, 1000, seconds(10), "estimating time..."},            // nothing done: no rate
      {500, 1000, milliseconds(500), "estimating time..."},    // first half second
      {500, 1000, milliseconds(501), "less than a minute left"},
      {500, 1000, seconds(-3), "estimating time..."},           // clock before the start
      {2500000, 10000000, seconds(10), "less than a minute left"},  // 30 s left
      {2500000, 10000000, seconds(2), "less than a minute left"},   // 6 s left
      {1000000, 10000000, seconds(10), "about 2 min left"},         // 90 s rounds up
      {1000, 61000, seconds(1), "about 1 min left"},                // exactly 60 s
      {1000, 1000 + 1000 * 60 + 1, seconds(1), "about 2 min left"},
      {2000, 1000, seconds(5), "less than a minute left"},          // done beyond total
      {1, kMax, seconds(1000000), "about 18446744073709551615 min left"},  // saturates
  };
  for (const TimeCase& c : cases) {
    EXPECT_EQ(time_left_text(c.done, c.total, c.elapsed, true), c.english)
        << c.done << " of " << c.total << " after " << c.elapsed.count() << " ns";
  }
}

TEST(TimeLeft, Russian) {
  EXPECT_EQ(time_left_text(0, 10, seconds(1), false), "оценка времени...");
  EXPECT_EQ(time_left_text(5, 10, seconds(1), false), "осталось меньше минуты");
  EXPECT_EQ(time_left_text(1000000, 10000000, seconds(10), false), "осталось около 2 мин");
}

}  // namespace
}  // namespace corvale_gui
