#include "core/output_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/magnitude_budget.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

constexpr std::uint64_t kMax = UINT64_MAX;

TEST(OutputBudget, ExactlyTheLimitIsAllowed) {
  EXPECT_EQ(room_under_limit(3, 10), 7u);
  EXPECT_EQ(room_under_limit(10, 10), 0u);
  EXPECT_EQ(room_under_limit(11, 10), 0u);
  EXPECT_NO_THROW(check_output_room(4, 6, 10));
  EXPECT_ERROR(check_output_room(4, 7, 10), "Output exceeds decompression limit");
  // Sizes a payload claims may be near 2^64: nothing wraps round to a small total.
  EXPECT_ERROR(check_output_room(1, kMax, kMax), "Output exceeds decompression limit");
  EXPECT_NO_THROW(check_output_room(1, kMax - 1, kMax));

  std::string out = "ab";
  append_within_limit(out, "cd", 4);
  EXPECT_EQ(out, "abcd");
  EXPECT_ERROR(append_within_limit(out, "e", 4), "Output exceeds decompression limit");
  EXPECT_EQ(out, "abcd");
}

TEST(OutputBudget, InnerBodyCapSaturates) {
  EXPECT_EQ(inner_body_limit(0), 1024u);
  EXPECT_EQ(inner_body_limit(100), 1224u);
  EXPECT_EQ(inner_body_limit((kMax - 1024) / 2), kMax - 1);
  EXPECT_EQ(inner_body_limit((kMax - 1024) / 2 + 1), kMax);
  EXPECT_EQ(inner_body_limit(kMax), kMax);
}

TEST(OutputBudget, FewestDigitsOfABitLengthAreNeverMoreThanTheTrueOnes) {
  EXPECT_EQ(least_decimal_digits(0), 0u);
  // 2^(b - 1), the smallest magnitude of b bits, has exactly the digits counted: the bound is
  // tight, and never above, across the powers of two from one bit to a million.
  for (std::uint64_t b = 1; b <= 1000000; b = b < 200 ? b + 1 : b * 3 / 2) {
    SCOPED_TRACE(b);
    const std::string smallest = (BigInt(1) << (b - 1)).to_decimal();
    EXPECT_EQ(least_decimal_digits(b), smallest.size());
  }
  // A bit length near 2^64 neither overflows nor wraps: 2^(2^64 - 2) has 5553023288523357132
  // digits.
  EXPECT_LE(least_decimal_digits(kMax), 5553023288523357132u);
  EXPECT_GT(least_decimal_digits(kMax), 5553023288000000000u);

  EXPECT_NO_THROW(check_decimal_output_size(BigInt(0), 0));
  EXPECT_NO_THROW(check_decimal_output_size(BigInt(1) << 40, 13));  // 1099511627776
  EXPECT_ERROR(check_decimal_output_size(BigInt(1) << 40, 12), "Output exceeds decompression limit");
}

TEST(MagnitudeBudget, AllowsTwiceTheLimitPlus1024BytesAndAFixedPart) {
  MagnitudeBudget budget(100);
  EXPECT_EQ(budget.remaining(), 1224u + MagnitudeBudget::kFixedAllowance);
  budget.charge(BigInt(1) << 8000);  // 8001 bits: 1001 bytes
  budget.charge(BigInt(0));
  EXPECT_EQ(budget.remaining(), 223u + MagnitudeBudget::kFixedAllowance);
  budget.charge_bytes(223 + MagnitudeBudget::kFixedAllowance);
  EXPECT_ERROR(budget.charge(BigInt(1)), "Output exceeds decompression limit");
  EXPECT_EQ(MagnitudeBudget(kMax).remaining(), kMax);
}

TEST(MagnitudeBudget, PrintedDigitsShareTheLimit) {
  MagnitudeBudget budget(100);
  budget.charge_printed(60);
  budget.charge_printed(40);
  EXPECT_EQ(budget.printed_left(), 0u);
  EXPECT_ERROR(budget.charge_printed(1), "Output exceeds decompression limit");
}

}  // namespace
}  // namespace corvale
