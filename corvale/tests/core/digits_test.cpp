#include "core/digits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace corvale {
namespace {

// Every change of digit count, the writer's own seams (3, 6, 12 digits) among them, and random
// words of every length.
std::vector<std::uint64_t> words_to_write() {
  std::vector<std::uint64_t> words = {0, 1, 9, UINT64_MAX, UINT64_MAX - 1};
  for (std::uint64_t p = 10;; p *= 10) {
    words.insert(words.end(), {p - 1, p, p + 1});
    if (p > UINT64_MAX / 10) break;
  }
  std::mt19937_64 rng(11);
  for (int k = 0; k < 2000; ++k) words.push_back(rng() >> (rng() % 64));
  return words;
}

TEST(Digits, CountsAndWritesEveryWordAsItsDecimalText) {
  for (const std::uint64_t v : words_to_write()) {
    const std::string want = std::to_string(v);
    ASSERT_EQ(decimal_digit_count(v), want.size()) << v;
    // Written after a byte of its own and into a buffer that ends right after the slack, so a
    // write before the place or past the slack shows as a changed guard byte.
    std::string buffer(1 + want.size() + kDigitSlack + 1, '#');
    char* const end = write_decimal(v, buffer.data() + 1);
    EXPECT_EQ(end, buffer.data() + 1 + want.size()) << v;
    EXPECT_EQ(buffer.substr(1, want.size()), want);
    EXPECT_EQ(buffer.front(), '#') << v;
    EXPECT_EQ(buffer.back(), '#') << v;
  }
}

}  // namespace
}  // namespace corvale
