#include "codecs/written/decimal_scale.h"

#include <gtest/gtest.h>

#include <string>

#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(DecimalScale, CountsTrailingZerosUpToTheCap) {
  EXPECT_EQ(count_trailing_decimal_zeros(0, 5), 5u);
  EXPECT_EQ(count_trailing_decimal_zeros(1500, 3), 2u);
  EXPECT_EQ(count_trailing_decimal_zeros(1500, 1), 1u);
  EXPECT_EQ(count_trailing_decimal_zeros(7, 3), 0u);
  EXPECT_EQ(count_trailing_decimal_zeros(10000000000000000000ull, 1000), 19u);
}

TEST(DecimalScale, RelativeCountsComeFromTheWrittenDigits) {
  // In a column of 1.5 and 2.250 (scale 3) the stored values are 1500 and 2250: d = 2 and 0, and
  // what is left of their trailing zeros once d is taken off is 0 and 1.
  struct Case { const char* token; std::uint64_t relative; };
  for (const Case& k : {Case{"1.5", 0}, Case{"2.250", 1}, Case{"0.00", 2}, Case{"-0.0", 1}, Case{"100", 0},
                        Case{"10.0", 1}, Case{"7.1000e4", 3}}) {
    EXPECT_EQ(relative_dropped_digits(split_written_number_parts(k.token)), k.relative) << k.token;
  }
}

TEST(DecimalScale, UndoesTheScaleOnWordsAndOnDigits) {
  struct Case {
    std::uint64_t stored;
    std::uint64_t s;
    std::uint64_t x;
    bool relative;
    std::uint64_t fraction_digits;  // ~0 for "Invalid decimal scale"
    std::uint64_t value;
  };
  constexpr std::uint64_t kBad = ~0ull;
  const Case cases[] = {
      {1500, 3, 2, false, 1, 15},  {1500, 3, 0, true, 1, 15},   {2250, 3, 0, false, 3, 2250},
      {2250, 3, 1, true, 3, 2250}, {0, 2, 2, true, 2, 0},       {0, 2, 0, true, 0, 0},
      {0, 2, 2, false, 0, 0},      {0, 1000, 0, true, 0, 0},    {10000000000000000000ull, 19, 19, false, 0, 1},
      {10000000000000000000ull, 25, 0, true, 6, 1},
      {2250, 3, 2, true, kBad, 0},   // more than the trailing zeros
      {15, 3, 4, false, kBad, 0},    // more than the scale
      {15, 3, 1, false, kBad, 0},    // not divisible
      {0, 2, 3, true, kBad, 0},      // a zero has as many zeros as the scale, no more
      {100, 5, 6, false, kBad, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.stored) + " s=" + std::to_string(k.s) + " x=" + std::to_string(k.x) +
                 (k.relative ? " relative" : " absolute"));
    std::uint64_t word = k.stored;
    std::string digits = std::to_string(k.stored);
    if (k.fraction_digits == kBad) {
      EXPECT_ERROR(undo_decimal_scale(word, k.s, k.x, k.relative), "Invalid decimal scale");
      EXPECT_ERROR(undo_decimal_scale(digits, k.s, k.x, k.relative), "Invalid decimal scale");
      continue;
    }
    EXPECT_EQ(undo_decimal_scale(word, k.s, k.x, k.relative), k.fraction_digits);
    EXPECT_EQ(word, k.value);
    EXPECT_EQ(undo_decimal_scale(digits, k.s, k.x, k.relative), k.fraction_digits);
    EXPECT_EQ(digits, std::to_string(k.value));
  }
}

TEST(DecimalScale, KeepsTheAbsoluteListOnATie) {
  EXPECT_FALSE(prefer_relative_counts("abc", "abc"));
  std::string absolute;
  for (int i = 0; i < 4000; ++i) absolute.push_back(static_cast<char>((i * 7919) % 251));
  EXPECT_TRUE(prefer_relative_counts(absolute, std::string(4000, '\0')));
  EXPECT_FALSE(prefer_relative_counts(std::string(4000, '\0'), absolute));
}

}  // namespace
}  // namespace corvale
