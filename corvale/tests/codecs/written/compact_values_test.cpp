#include "codecs/written/compact_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expect_error.h"
#include "support/integer_lists.h"
#include "support/magnitude_text.h"

namespace corvale {
namespace {

IntegerList piece_of(const std::vector<BigInt>& values) { return test::integer_list(values, Signedness::Signed); }

std::vector<std::string> signed_texts(CompactValues& values) {
  MagnitudeBudget unbounded(UINT64_MAX);
  values.make_digits(unbounded, 0);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out.push_back((values.is_negative(i) ? "-" : "") + test::magnitude_text(values, i));
  }
  return out;
}

TEST(CompactValues, WidensPieceByPieceAndKeepsEveryValue) {
  // Each piece needs a wider word than the ones before; the last needs a big integer.
  const std::vector<std::vector<BigInt>> pieces = {
      {BigInt(0), BigInt::from_i64(-128), BigInt(127)},
      {BigInt(128), BigInt::from_i64(-32768)},
      {BigInt(32768), BigInt::from_i64(INT32_MIN)},
      {BigInt::from_i64(INT64_MIN), BigInt::from_i64(INT64_MAX), BigInt(0)},
      {BigInt(1) << 64, -(BigInt(1) << 70)},
      {BigInt(5)},
  };
  CompactValues values;
  std::vector<std::string> expected;
  for (const std::vector<BigInt>& piece : pieces) {
    values.append(piece_of(piece));
    for (const BigInt& v : piece) expected.push_back(v.to_decimal());
    EXPECT_EQ(signed_texts(values), expected) << expected.size();
  }
  EXPECT_TRUE(values.wide());
  EXPECT_TRUE(values.is_zero(0));
  EXPECT_FALSE(values.is_zero(1));
}

TEST(CompactValues, OnlyTheValuesPast64BitsAreBigIntegers) {
  // A big value first, then words that widen the slots past the mark of a big value in each
  // width (the least word of the width, which is itself kept one width up, or big at 8 bytes).
  const std::vector<std::vector<BigInt>> pieces = {
      {BigInt(1) << 64, BigInt(0), BigInt(7)},
      {BigInt::from_i64(-128), -(BigInt(1) << 100)},
      {BigInt::from_i64(INT16_MIN), BigInt::from_i64(INT32_MIN)},
      {BigInt::from_i64(INT64_MIN), BigInt::from_i64(INT64_MAX)},
  };
  CompactValues values;
  std::vector<std::string> expected;
  for (const std::vector<BigInt>& piece : pieces) {
    values.append(piece_of(piece));
    for (const BigInt& v : piece) expected.push_back(v.to_decimal());
  }
  EXPECT_EQ(signed_texts(values), expected);
  std::vector<bool> big;
  for (std::size_t i = 0; i < values.size(); ++i) big.push_back(values.is_big(i));
  EXPECT_EQ(big, (std::vector<bool>{true, false, false, false, true, false, false, true, false}));
  EXPECT_EQ(values.word(2), 7);
  EXPECT_EQ(values.word(3), -128);
  EXPECT_EQ(values.word(6), INT32_MIN);
  EXPECT_TRUE(values.is_zero(1));
  EXPECT_FALSE(values.is_zero(0));
  EXPECT_TRUE(values.is_negative(4));

  // A million zeros after one big value stay a byte each.
  CompactValues zeros;
  zeros.append(piece_of({BigInt(1) << 64}));
  zeros.append(test::integer_list(std::vector<BigInt>(1000000, BigInt(0)), Signedness::Signed));
  EXPECT_TRUE(zeros.wide());
  EXPECT_FALSE(zeros.is_big(999999));
  EXPECT_TRUE(zeros.is_zero(1000000));
}

TEST(CompactValues, BigValuesAreWeighedByThePrintedDigitsOfTheirDecode) {
  // 2^200 has 61 digits; with 20 of them dropped by a scale it prints at least 41.
  const BigInt value = BigInt(1) << 200;
  MagnitudeBudget budget(100);
  CompactValues first;
  first.append(piece_of({value, BigInt(5)}), &budget, 20);
  EXPECT_EQ(budget.printed_left(), 59u);
  first.make_digits(budget, 20);
  EXPECT_EQ(first.big_digits(0), value.to_decimal());
  // 59 printed digits are left: a second 61 digits fit only when at least 2 are dropped.
  CompactValues second;
  EXPECT_ERROR(second.append(piece_of({value}), &budget, 1), "Output exceeds decompression limit");
  MagnitudeBudget again(100);
  again.charge_printed(41);
  CompactValues third;
  third.append(piece_of({value}), &again, 2);
  third.make_digits(again, 2);
  EXPECT_EQ(again.printed_left(), 0u);

  // A value far past the limit is refused from its bit length as it is read: its digits are
  // never made.
  MagnitudeBudget small(1 << 20);
  CompactValues huge;
  EXPECT_ERROR(huge.append(piece_of({BigInt(1) << 8000000}), &small, 0), "Output exceeds decompression limit");
}

TEST(CompactValues, CountsDigitsAroundEveryPowerOfTen) {
  std::vector<BigInt> piece;
  for (std::uint64_t p = 1; p <= 1000000000000000000ull; p *= 10) {
    for (const std::uint64_t v : {p - 1, p, p + 1, 2 * p, 9 * p}) {
      piece.push_back(BigInt(v));
      piece.push_back(-BigInt(v));
    }
  }
  CompactValues values;
  values.append(piece_of(piece));
  std::vector<std::string> expected;
  for (const BigInt& v : piece) expected.push_back(v.to_decimal());
  EXPECT_EQ(signed_texts(values), expected);
}

TEST(CompactValues, ShrinksAWordInItsOwnWidth) {
  CompactValues values;
  values.append(piece_of({BigInt(15000), BigInt::from_i64(-2500), BigInt(7)}));
  values.shrink_word(0, 15);
  values.shrink_word(1, -25);
  EXPECT_EQ(signed_texts(values), (std::vector<std::string>{"15", "-25", "7"}));
}

}  // namespace
}  // namespace corvale
