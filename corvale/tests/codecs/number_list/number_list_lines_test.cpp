#include "codecs/number_list/number_list_lines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codecs/number_list/number_list_proof.h"
#include "support/bytes.h"
#include "support/integer_lists.h"
#include "support/varints.h"

namespace corvale {
namespace {

using test::signed_bigints;
using test::varints;

TEST(IntegerLines, RecognisesOnlyIntegerLines) {
  struct Case { std::string text; bool recognised; bool final_line_ending = false; bool crlf = false; };
  const Case cases[] = {
      {"1\n2", true, false, false},
      {"1\n2\n", true, true, false},
      {"-12\n007\n-0\n", true, true, false},
      {"1\r\n2\r\n", true, true, true},
      {"1\r\n2", true, false, true},
      {"-1\r\n-0\r\n00\r\n", true, true, true},
      {"5", false}, {"5\n", false}, {"", false}, {"\n", false}, {"\n1", false}, {"1\n", false},
      {"1\n\n2", false}, {"1\n2\n\n", false}, {"+1\n2", false}, {" 1\n2", false}, {"-\n1", false},
      {"1\n-", false}, {"1\n-\n", false}, {"1\n-01-\n", false}, {"1\n2-", false},
      {"1.5\n2", false}, {"1\n2 ", false}, {"1\n--2", false}, {std::string("1\n2\0", 4), false},
      {"1\r\n2\n", false}, {"1\r\n2\r", false}, {"1\n2\r\n", false}, {"1\r\n\n", false}, {"1\r\n2\r\n\r\n", false},
      {"1\r\r\n2", false}, {"1\r2\n3", false}, {"1\r", false}, {"1\r\n", false}, {"\r\n1\r\n", false},
      {"1\r\n2\r\n3\n4", false}, {"1\n2\n3\r\n4", false}, {"1\n2\r", false},
  };
  for (const Case& k : cases) {
    const std::optional<IntegerLines> got = split_integer_lines(k.text);
    ASSERT_EQ(got.has_value(), k.recognised) << testing::PrintToString(k.text);
    if (!got) continue;
    EXPECT_EQ(got->final_line_ending, k.final_line_ending) << testing::PrintToString(k.text);
    EXPECT_EQ(got->crlf, k.crlf) << testing::PrintToString(k.text);
    EXPECT_EQ(got->text_length, k.text.size()) << testing::PrintToString(k.text);
  }
}

TEST(IntegerLines, ParsesSignsLeadingZerosAndWidthsOfEachLine) {
  const std::string nineteen_nines(19, '9');
  struct Case {
    std::string text;
    std::vector<BigInt> values;
    std::string leading_zeros;
    std::vector<std::uint64_t> minus_zeros;
  };
  const Case cases[] = {
      {"1\r\n-22\r\n333\r\n", signed_bigints({1, -22, 333}), "", {}},
      // A line of zeros keeps its last '0' as its digit; leading zeros past the first line that
      // has some are written from the first line on.
      {"12\n007\n-0\n-000\n0\n00", signed_bigints({12, 7, 0, 0, 0, 0}), bytes({0, 2, 0, 2, 0, 1}), {2, 3}},
      {"-0\n5", signed_bigints({0, 5}), "", {0}},
      // 18 significant digits are a word; from 19 on a big integer, still a word when it fits.
      {"-999999999999999999\n0000999999999999999999\n",
       signed_bigints({-999999999999999999, 999999999999999999}), bytes({0, 4}), {}},
      {"9223372036854775807\n-9223372036854775808\n-" + nineteen_nines + "0",
       {BigInt::from_i64(INT64_MAX), BigInt::from_i64(INT64_MIN), -BigInt::from_decimal(nineteen_nines + "0")}, "", {}},
      {std::string(130, '0') + "1\n2", signed_bigints({1, 2}), varints({130, 0}), {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::PrintToString(k.text));
    const std::optional<IntegerLines> got = split_integer_lines(k.text);
    ASSERT_TRUE(got);
    EXPECT_EQ(test::bigints(got->values), k.values);
    EXPECT_EQ(got->leading_zeros, k.leading_zeros);
    EXPECT_EQ(got->minus_zeros, k.minus_zeros);
  }
}

TEST(IntegerLines, QuickProofTakesOnlyWhatTheRecogniserTakes) {
  // The first line's digits put the byte after them at 63 or 64, where the 64-byte blocks meet.
  const std::string at63(63, '7');
  const std::string at64(64, '7');
  struct Case { std::string text; bool crlf; bool proved; };
  const Case cases[] = {
      {"1\n2", false, true},
      {"-1\n-0\n007\n", false, true},
      {"1\r\n2\r\n", true, true},
      {at63 + "\n-5\n6", false, true},
      {at64 + "\n-5\n6\n", false, true},
      {at63 + "\r\n-5", true, true},
      {at64 + "\r\n-5\r\n", true, true},
      {"5\n", false, false},             // one line
      {"5", false, false},
      {"1\n\n2", false, false},         // an empty line
      {"1\n2\n\n", false, false},
      {"\n1\n2", false, false},
      {"-\n1", false, false},
      {"1\n2-", false, false},
      {"1-2\n3", false, false},
      {"--1\n2", false, false},
      {"+1\n2", false, false},
      {"1 \n2", false, false},
      {"1\r\n2", false, false},         // CR LF where LF is proved
      {"1\n2", true, false},             // LF where CR LF is proved
      {"1\r\n2\n", true, false},
      {"1\r\n2\r", true, false},
      {"1\r\r\n2", true, false},
      {at63 + "\n\n6", false, false},
      {at63 + "-\n6", false, false},
      {at64 + "\r\r\n6", true, false},
      {at63 + "\r" + "5\r\n6", true, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::PrintToString(k.text));
    const bool proved = proves_integer_lines(k.text, k.crlf);
    EXPECT_EQ(proved, k.proved);
    if (proved) {
      const std::optional<IntegerLines> lines = split_integer_lines(k.text);
      ASSERT_TRUE(lines.has_value());
      EXPECT_EQ(lines->crlf, k.crlf);
    }
  }
}

}  // namespace
}  // namespace corvale
