#include "codecs/output_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "codecs/magnitude_budget.h"
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

TEST(OutputBudget, DecimalGuardComparesAQuarterOfTheBitLength) {
  EXPECT_NO_THROW(check_decimal_output_size(BigInt(0), 0));
  EXPECT_NO_THROW(check_decimal_output_size(BigInt(1) << 40, 10));  // 41 bits
  EXPECT_ERROR(check_decimal_output_size(BigInt(1) << 43, 10), "Output exceeds decompression limit");  // 44 bits
}

TEST(MagnitudeBudget, AllowsTwiceTheLimitPlus1024Bytes) {
  MagnitudeBudget budget(100);
  EXPECT_EQ(budget.remaining(), 1224u);
  budget.charge(BigInt(1) << 8000);  // 8001 bits: 1001 bytes
  budget.charge(BigInt(0));
  EXPECT_EQ(budget.remaining(), 223u);
  budget.charge_bytes(223);
  EXPECT_ERROR(budget.charge(BigInt(1)), "Output exceeds decompression limit");
  EXPECT_EQ(MagnitudeBudget(kMax).remaining(), kMax);
}

}  // namespace
}  // namespace corvale
