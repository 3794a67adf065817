#include "codecs/written/written_number.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(ScanNumber, ReadsOneNumberOrNone) {
  struct Case { std::string text; std::size_t start; bool ok; std::size_t end; };
  const Case cases[] = {
      {"1", 0, true, 1}, {"-12", 0, true, 3}, {"12,3", 0, true, 2}, {"1x", 0, true, 1},
      {"1.5", 0, true, 3}, {"1.5.3", 0, true, 3}, {"-0.25e-3 ", 0, true, 8}, {"1E+05", 0, true, 5},
      {"1e5.3", 0, true, 3}, {"2e7", 0, true, 3}, {"x 42", 2, true, 4},
      // Forms that break off are not numbers at all, not shorter numbers.
      {"", 0, false, 0}, {"-", 0, false, 0}, {"--1", 0, false, 0}, {"+1", 0, false, 0},
      {".5", 0, false, 0}, {"1.", 0, false, 0}, {"1.x", 0, false, 0}, {"1e", 0, false, 0},
      {"1e+", 0, false, 0}, {"1E-x", 0, false, 0}, {"-.5", 0, false, 0}, {"1", 1, false, 0},
  };
  for (const Case& k : cases) {
    const NumberScan got = scan_number(k.text, k.start);
    EXPECT_EQ(got.ok, k.ok) << k.text;
    if (k.ok && got.ok) {
      EXPECT_EQ(got.end, k.end) << k.text;
    }
  }
}

TEST(TokenizeNumberText, RefusesWhatIsNotANumberText) {
  for (const char* text : {"", " ", "\n\t,", "1-2", "1a", "1.", ".5", "+1", "1e", "1,,x", "1 2x", "a 1", "1\v2",
                           "1..2", "1 -", "1 - 2"}) {
    EXPECT_FALSE(tokenize_number_text(text)) << testing::PrintToString(std::string(text));
    EXPECT_FALSE(is_number_text(text)) << testing::PrintToString(std::string(text));
  }
}

TEST(TokenizeNumberText, SplitsNumbersSeparatorsPrefixAndSuffix) {
  struct Case {
    std::string text;
    std::string prefix;
    std::vector<std::string_view> numbers;
    std::vector<std::string_view> separators;
    std::string suffix;
  };
  const Case cases[] = {
      {" [1, 2]\n", " [", {"1", "2"}, {", "}, "]\n"},
      {"5", "", {"5"}, {}, ""},
      {"-0 -0.0 0", "", {"-0", "-0.0", "0"}, {" ", " "}, ""},
      {"1,2,3\r\n4,5,6", "", {"1", "2", "3", "4", "5", "6"}, {",", ",", "\r\n", ",", ","}, ""},
      {"|1e5|\t|-2E-3|", "|", {"1e5", "-2E-3"}, {"|\t|"}, "|"},
  };
  for (const Case& k : cases) {
    const std::optional<NumberTextTokens> got = tokenize_number_text(k.text);
    ASSERT_TRUE(got) << k.text;
    EXPECT_TRUE(is_number_text(k.text)) << k.text;
    EXPECT_EQ(got->prefix, k.prefix) << k.text;
    EXPECT_EQ(got->numbers, k.numbers) << k.text;
    EXPECT_EQ(got->separators, k.separators) << k.text;
    EXPECT_EQ(got->suffix, k.suffix) << k.text;
  }
}

TEST(SplitExponent, GivesTheWrittenFormOfTheMarker) {
  struct Case { std::string token; std::string mantissa; ExponentForm form; std::string digits; };
  const Case cases[] = {
      {"1", "1", ExponentForm::kNone, ""},          {"1e5", "1", ExponentForm::kLower, "5"},
      {"1E5", "1", ExponentForm::kUpper, "5"},      {"1e+5", "1", ExponentForm::kLowerPlus, "5"},
      {"1E+5", "1", ExponentForm::kUpperPlus, "5"}, {"1e-5", "1", ExponentForm::kLowerMinus, "5"},
      {"-2.5E-5", "-2.5", ExponentForm::kUpperMinus, "5"}, {"1e007", "1", ExponentForm::kLower, "007"},
  };
  for (const Case& k : cases) {
    const ExponentSplit got = split_exponent(k.token);
    EXPECT_EQ(got.mantissa, k.mantissa) << k.token;
    EXPECT_EQ(got.form, k.form) << k.token;
    EXPECT_EQ(got.digits, k.digits) << k.token;
    EXPECT_EQ(std::string(got.mantissa) + std::string(exponent_form_text(got.form)) + std::string(got.digits), k.token);
  }
}

// Puts the parts back together the way the decoders render them.
std::string render(const WrittenNumber& n) {
  std::string out;
  if (n.negative) out += '-';
  out.append(static_cast<std::size_t>(n.leading_zeros), '0');
  const std::string digits = n.value.abs().to_decimal();
  std::string fixed(fixed_point_length(digits.size(), n.fraction_digits), '?');
  EXPECT_EQ(write_fixed_point(fixed.data(), digits, n.fraction_digits), fixed.data() + fixed.size());
  out += fixed;
  out += exponent_form_text(n.exponent_form);
  out += n.exponent_digits;
  return out;
}

TEST(SplitWrittenNumber, TakesNumbersApartAndTheyRenderBack) {
  struct Case {
    std::string token;
    bool negative;
    std::uint64_t leading_zeros;
    std::string value;
    std::uint64_t fraction_digits;
    ExponentForm form;
    std::string exponent_digits;
  };
  const Case cases[] = {
      {"-0", true, 0, "0", 0, ExponentForm::kNone, ""},
      {"-0.00", true, 0, "0", 2, ExponentForm::kNone, ""},
      {"-0e5", true, 0, "0", 0, ExponentForm::kLower, "5"},
      {"007", false, 2, "7", 0, ExponentForm::kNone, ""},
      {"0", false, 0, "0", 0, ExponentForm::kNone, ""},
      {"000", false, 2, "0", 0, ExponentForm::kNone, ""},
      {"0.05", false, 0, "5", 2, ExponentForm::kNone, ""},
      {"00.5", false, 1, "5", 1, ExponentForm::kNone, ""},
      {"0100.50", false, 1, "10050", 2, ExponentForm::kNone, ""},
      {"-12.340E+07", true, 0, "-12340", 3, ExponentForm::kUpperPlus, "07"},
      {"1e007", false, 0, "1", 0, ExponentForm::kLower, "007"},
      {"9999999999999999999", false, 0, "9999999999999999999", 0, ExponentForm::kNone, ""},
      {"-123456789012345678901234567890.5", true, 0, "-1234567890123456789012345678905", 1, ExponentForm::kNone, ""},
      {"0.000000000000000000000000000001", false, 0, "1", 30, ExponentForm::kNone, ""},
  };
  for (const Case& k : cases) {
    const WrittenNumber got = split_written_number(k.token);
    EXPECT_EQ(got.negative, k.negative) << k.token;
    EXPECT_EQ(got.leading_zeros, k.leading_zeros) << k.token;
    EXPECT_EQ(got.value.to_decimal(), k.value) << k.token;
    EXPECT_EQ(got.fraction_digits, k.fraction_digits) << k.token;
    EXPECT_EQ(got.exponent_form, k.form) << k.token;
    EXPECT_EQ(got.exponent_digits, k.exponent_digits) << k.token;
    EXPECT_EQ(render(got), k.token);
  }
}

TEST(WriteFixedPoint, WordsWriteWhatTheirDigitsWrite) {
  // Around every change of digit count, and fraction counts below, at and past the digit count.
  std::vector<std::uint64_t> magnitudes = {0, 1, 9, 42, 99, 100, 12345, UINT64_MAX};
  for (std::uint64_t p = 10; p <= 10000000000000000000ull; p *= 10) {
    magnitudes.insert(magnitudes.end(), {p - 1, p, p + 1});
    if (p > UINT64_MAX / 10) break;
  }
  // And every digit in every place, at every length.
  std::mt19937_64 rng(7);
  for (int k = 0; k < 300; ++k) magnitudes.push_back(rng() >> (rng() % 64));
  for (const std::uint64_t m : magnitudes) {
    const std::string digits = std::to_string(m);
    ASSERT_EQ(decimal_digit_count(m), digits.size()) << m;
    for (const std::uint64_t f : {0, 1, 2, 3, 19, 20, 23}) {
      const std::size_t length = fixed_point_length(digits.size(), f);
      std::string want(length, '#');
      std::string got(length + kDigitSlack, '#');
      write_fixed_point(want.data(), digits, f);
      EXPECT_EQ(write_fixed_point(got.data(), m, decimal_digit_count(m), f), got.data() + length) << m << " " << f;
      EXPECT_EQ(got.substr(0, length), want) << m << " " << f;
    }
  }
}

TEST(SplitWrittenNumber, MantissaShortcutsAgreeWithTheValue) {
  struct Case {
    std::string token;
    std::optional<std::uint64_t> value;
    std::uint64_t significant_digits;
    std::uint64_t trailing_zeros;
  };
  const Case cases[] = {
      {"0", 0, 0, 1}, {"000.000", 0, 0, 6}, {"100", 100, 3, 2}, {"10.50", 1050, 4, 1}, {"-7.0e10", 70, 2, 1},
      {"0.0012", 12, 2, 0}, {"18446744073709551615", std::nullopt, 20, 0},
      {"0009999999999999999999", 9999999999999999999ull, 19, 0}, {"1.0000000000000000000", std::nullopt, 20, 19},
  };
  for (const Case& k : cases) {
    const WrittenNumberParts parts = split_written_number_parts(k.token);
    EXPECT_EQ(mantissa_value_u64(parts), k.value) << k.token;
    EXPECT_EQ(parts.significant_digits, k.significant_digits) << k.token;
    EXPECT_EQ(parts.trailing_zeros, k.trailing_zeros) << k.token;
  }
}

TEST(ScanWrittenNumber, AgreesWithScanNumberAndTheSplit) {
  // The one-pass split reads exactly what scan_number reads, fails where it fails, and its
  // pieces put back together are the token.
  for (const std::string text : {"1", "-12,3", "1.5.3", "-0.25e-3 ", "1E+05", "1e5.3", "007x", "-00.10E-007|",
                                 "", "-", "+1", ".5", "1.", "1.x", "1e", "1e+", "1E-x", "-.5"}) {
    WrittenNumberParts parts;
    const NumberScan got = scan_written_number(text, 0, parts);
    const NumberScan expected = scan_number(text, 0);
    EXPECT_EQ(got.ok, expected.ok) << text;
    if (!got.ok || !expected.ok) continue;
    EXPECT_EQ(got.end, expected.end) << text;
    const std::string_view token = std::string_view(text).substr(0, got.end);
    std::string pieces(parts.negative ? "-" : "");
    pieces += parts.integer_digits;
    if (!parts.fraction_digits.empty()) pieces += '.';
    pieces += parts.fraction_digits;
    pieces += exponent_form_text(parts.exponent_form);
    pieces += parts.exponent_digits;
    EXPECT_EQ(pieces, token);
  }
}

TEST(ParseDigits, SkipsLeadingZerosAndRefusesOtherBytes) {
  EXPECT_EQ(parse_digits("000"), BigInt(0));
  EXPECT_EQ(parse_digits("00000000000000000000000000000042"), BigInt(42));
  EXPECT_ERROR(parse_digits(""), "Expected unsigned decimal digits");
  EXPECT_ERROR(parse_digits("1a"), "Expected unsigned decimal digits");
}

}  // namespace
}  // namespace corvale
