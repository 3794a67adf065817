#include "codecs/bigint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace corvale {
namespace {

// Values next to the 32-bit and 64-bit edges, where an unsigned long of 32 bits (Windows) would
// cut a word silently.
TEST(BigInt, WordRoutinesAreExactPastThirtyTwoBits) {
  const std::uint64_t words[] = {(std::uint64_t{1} << 32) + 5, ~std::uint64_t{0}, 4294967295u, 97};
  for (std::uint64_t d : words) {
    SCOPED_TRACE(d);
    const BigInt a = BigInt::pow(BigInt(d), 3);
    BigInt b = a + BigInt(12345);
    EXPECT_EQ(b.rem_u64(d), 12345 % d);
    EXPECT_EQ((-b).rem_u64(d), 12345 % d);  // of the magnitude
    BigInt q = a;
    q.divide_exact(d);
    EXPECT_EQ(q, BigInt(d) * BigInt(d));
    q.divide_exact(d);
    EXPECT_EQ(q, BigInt(d));
  }
  EXPECT_EQ(BigInt::pow(BigInt((std::uint64_t{1} << 32) + 5), 2).to_decimal(), "18446744116659224601");
  EXPECT_EQ(BigInt::pow(~std::uint64_t{0}, 2).to_decimal(), "340282366920938463426481119284349108225");
}

TEST(BigInt, DecimalDigitsAreExactAtEveryPowerOfTen) {
  EXPECT_EQ(BigInt(0).decimal_digits(), 1u);
  for (std::uint64_t k = 1; k <= 400; ++k) {
    SCOPED_TRACE(k);
    const BigInt p = BigInt::pow(10, k);
    EXPECT_EQ(p.decimal_digits(), k + 1);
    EXPECT_EQ((p - BigInt(1)).decimal_digits(), k);
    EXPECT_EQ((-(p - BigInt(1))).decimal_digits(), k);
  }
}

TEST(BigInt, BitsFromReadsAcrossLimbs) {
  const BigInt v = (BigInt(0xABCDEF0123456789ull) << 100) + (BigInt(0xFEDCBA9876543210ull) << 30);
  EXPECT_EQ(v.bits_from(100), 0xABCDEF0123456789ull);
  EXPECT_EQ(v.bits_from(30), 0xFEDCBA9876543210ull);
  EXPECT_EQ(v.bits_from(94), 0xABCDEF0123456789ull << 6);
  EXPECT_EQ(v.bits_from(160), 0xABCDEF0123456789ull >> 60);
  EXPECT_EQ(v.bits_from(500), 0u);
  EXPECT_EQ(BigInt(5).bits_from(0), 5u);
}

}  // namespace
}  // namespace corvale
