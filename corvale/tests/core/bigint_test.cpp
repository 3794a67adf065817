#include "core/bigint.h"

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

// The decimal reader builds GMP's digit values itself; it must agree with GMP's own string
// reader on leading zeros, at its short-buffer edge and past the divide-and-conquer sizes.
TEST(BigInt, DecimalReaderMatchesGmpsStringReader) {
  std::string long_digits;
  for (int i = 0; i < 120000; ++i) long_digits.push_back(static_cast<char>('0' + (i * 7 + i / 13) % 10));
  const std::string texts[] = {"0", "000", "7", "0042", std::string(64, '9'), std::string(65, '9'),
                               "1" + std::string(64, '0'), "000" + long_digits, long_digits};
  for (const std::string& t : texts) {
    SCOPED_TRACE(t.substr(0, 30));
    EXPECT_EQ(BigInt::from_decimal(t), BigInt::from_digits(t, 10));
  }
  EXPECT_EQ(BigInt::from_decimal("18446744073709551616"), BigInt(~std::uint64_t{0}) + BigInt(1));
}

// Printing in the value's own storage must give the digits of the copying print, where the
// digit count is overestimated (powers of ten), for signs, and past the sizes at which GMP
// switches to divide-and-conquer conversion.
TEST(BigInt, DigitsPrintedInPlaceMatchTheCopyingPrint) {
  const BigInt values[] = {BigInt(0),
                           BigInt(7),
                           BigInt::pow(10, 19),
                           BigInt::pow(10, 20) - BigInt(1),
                           -BigInt::pow(10, 40),
                           BigInt::pow(7, 100000),
                           BigInt::pow(10, 50000) + BigInt(3)};
  for (const BigInt& v : values) {
    std::string expected = "x";
    v.append_decimal_magnitude(expected);
    SCOPED_TRACE(expected.substr(0, 30));
    BigInt consumed = v;
    std::string out = "x";
    consumed.append_decimal_magnitude_and_clear(out);
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(consumed.is_zero());
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
