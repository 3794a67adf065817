#include "core/decimal.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(Decimal, AcceptsOnlyAsciiDigits) {
  for (const char* bad : {"", "-5", "+5", " 5", "5 ", "1_000", "12a", "\xD9\xA3"}) {
    EXPECT_ERROR(parse_decimal_digits(bad), "Expected unsigned decimal digits");
  }
  EXPECT_EQ(parse_decimal_digits("0"), BigInt(0));
  EXPECT_EQ(parse_decimal_digits("007"), BigInt(7));
  EXPECT_EQ(parse_decimal_digits("000000000000000000000000"), BigInt(0));
}

TEST(Decimal, ConvertsAcrossTheWidthOfOneWord) {
  EXPECT_EQ(parse_decimal_digits("18446744073709551615"), BigInt(~0ull));
  EXPECT_EQ(parse_decimal_digits("18446744073709551616"), BigInt(1) << 64);
  EXPECT_EQ(parse_decimal_digits("9999999999999999999"), BigInt(9999999999999999999ull));
  EXPECT_EQ(parse_decimal_digits("0000000000000000000018446744073709551615"), BigInt(~0ull));
}

TEST(Decimal, LongStringsGiveTheValueOfDigitByDigitConversion) {
  std::mt19937_64 rng(7);
  auto random_digits = [&](std::size_t len) {
    std::string digits(len, '0');
    for (char& c : digits) c = static_cast<char>('0' + rng() % 10);
    digits[0] = static_cast<char>('1' + rng() % 9);
    return digits;
  };
  // Lengths around the points where a conversion may split its work.
  for (std::size_t len : {1023, 1024, 1025, 2049}) {
    const std::string digits = random_digits(len);
    BigInt expected;
    for (char c : digits) {
      expected *= 10;
      expected += static_cast<std::uint64_t>(c - '0');
    }
    EXPECT_EQ(parse_decimal_digits(digits), expected) << len;
  }
  // A million digits, checked by printing them back and against a power of ten.
  const std::string million = random_digits(1000000);
  EXPECT_EQ(parse_decimal_digits(million).to_decimal(), million);
  std::string power(1000000, '0');
  power[0] = '1';
  EXPECT_EQ(parse_decimal_digits(power), BigInt::pow(10, 999999));
}

}  // namespace
}  // namespace corvale
