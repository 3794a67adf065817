#include "codecs/single/single_number.h"

#include <gtest/gtest.h>

#include <string>

#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(SplitSingleNumber, SignLeadingZerosAndLineEnding) {
  struct Case {
    std::string input;
    std::string text, ending, significant;
    bool negative;
    std::uint64_t leading_zeros;
    std::uint8_t flags;
  };
  const Case cases[] = {
      {"42", "42", "", "42", false, 0, 0x00},
      {"-42\n", "-42", "\n", "42", true, 0, 0x03},
      {"0", "0", "", "0", false, 0, 0x00},
      {"-0\r\n", "-0", "\r\n", "0", true, 0, 0x05},
      {"007\n", "007", "\n", "7", false, 2, 0x0A},
      {"000", "000", "", "0", false, 2, 0x08},
      {"-05\r\n", "-05", "\r\n", "5", true, 1, 0x0D},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    const std::optional<SingleNumber> n = split_single_number(c.input);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->text, c.text);
    EXPECT_EQ(n->line_ending, c.ending);
    EXPECT_EQ(n->significant, c.significant);
    EXPECT_EQ(n->digits, c.text.substr(c.negative ? 1 : 0));
    EXPECT_EQ(n->negative, c.negative);
    EXPECT_EQ(n->leading_zeros, c.leading_zeros);
    EXPECT_EQ(n->flags, c.flags);
  }
  for (const char* other : {"", "-", "+5", "5\r", "5\n\n", " 5", "1.5"}) EXPECT_FALSE(split_single_number(other)) << other;
}

TEST(BinaryNumericHeader, WrittenAndReadBack) {
  EXPECT_EQ(write_binary_numeric_header(0x00, 0), bytes({0x00}));
  EXPECT_EQ(write_binary_numeric_header(0x0A, 2), bytes({0x0A, 0x02}));
  EXPECT_EQ(write_binary_numeric_header(0x08, 300), bytes({0x08, 0xAC, 0x02}));
  // The rest is a view into the payload, which must outlive it.
  const std::string payload = bytes({0x0D, 0xAC, 0x02, 0x77});
  const BinaryNumericHeader h = parse_binary_numeric_header(payload, 0x0F, 300);
  EXPECT_EQ(h.flags, 0x0D);
  EXPECT_EQ(h.leading_zeros, 300u);
  EXPECT_EQ(h.rest, "\x77");
  const std::string plain_payload = bytes({0x04, 0x08});
  const BinaryNumericHeader plain = parse_binary_numeric_header(plain_payload, 0x0F, 0);
  EXPECT_EQ(plain.leading_zeros, 0u);
  EXPECT_EQ(plain.rest, "\x08");
  // Bit 4 belongs to the power form alone.
  EXPECT_EQ(parse_binary_numeric_header(bytes({0x10}), kPowerFormFlagMask, 0).flags, 0x10);
}

TEST(BinaryNumericHeader, EveryMessage) {
  struct Case {
    std::string payload;
    std::uint8_t allowed;
    std::uint64_t limit;
    const char* message;
  };
  const Case cases[] = {
      {"", 0x0F, 100, "Missing binary numeric flags"},
      {bytes({0x06}), 0x0F, 100, "Invalid binary numeric flags"},
      {bytes({0x16}), 0x1F, 100, "Invalid binary numeric flags"},
      {bytes({0x10}), 0x0F, 100, "Invalid binary numeric flags"},
      {bytes({0x20}), 0x1F, 100, "Invalid binary numeric flags"},
      {bytes({0x80}), 0x1F, 100, "Invalid binary numeric flags"},
      {bytes({0x08, 0x00}), 0x0F, 100, "Zero leading-zero count"},
      {bytes({0x08, 0x65, 0xFF}), 0x0F, 100, "Output exceeds decompression limit"},
      {bytes({0x08}), 0x0F, 100, "Invalid varint"},
      {bytes({0x08, 0x80}), 0x0F, 100, "Invalid varint"},
      {bytes({0x08, 0x80, 0x00}), 0x0F, 100, "Non-canonical varint"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.payload));
    EXPECT_ERROR(parse_binary_numeric_header(c.payload, c.allowed, c.limit), c.message);
  }
}

TEST(RenderNumberText, SignZerosDigitsAndEndingUnderTheLimit) {
  EXPECT_EQ(render_number_text(0x0D, 3, BigInt(42), 8), "-00042\r\n");
  EXPECT_ERROR(render_number_text(0x0D, 3, BigInt(42), 7), "Output exceeds decompression limit");
  EXPECT_EQ(render_number_text(0x02, 0, BigInt(0), 2), "0\n");
  EXPECT_EQ(render_number_text(0x00, 0, BigInt::pow(10, 30), 31), "1" + std::string(30, '0'));
  EXPECT_ERROR(render_number_text(0x00, 0, BigInt::pow(10, 30), 30), "Output exceeds decompression limit");
  EXPECT_ERROR(render_number_text(0x00, ~std::uint64_t{0}, BigInt(1), 100), "Output exceeds decompression limit");
}

TEST(RenderNumberText, BitLengthBoundNeverExceedsTheDigitsAndIsTight) {
  EXPECT_EQ(decimal_digits_lower_bound(BigInt(0)), 1u);
  for (std::uint64_t bits = 1; bits <= 20000; bits += bits < 200 ? 1 : 97) {
    SCOPED_TRACE(bits);
    // The smallest value of each bit length is where the bound is tightest.
    const BigInt smallest = BigInt(1) << (bits - 1);
    const std::uint64_t digits = smallest.decimal_digits();
    EXPECT_LE(decimal_digits_lower_bound(smallest), digits);
    EXPECT_GE(decimal_digits_lower_bound(smallest) + 1, digits);
  }
}

TEST(SingleNumberCheck, AcceptsOneOptionallySignedRunOfDigitsWithOneLineEnding) {
  struct Case {
    std::string text;
    bool number;
  };
  const Case cases[] = {
      {"0", true},       {"007", true},    {"-0\r\n", true},  {"-42\n", true},  {"123456789012345678901234567890", true},
      {"", false},       {"-", false},     {"-\n", false},    {"\n", false},    {"\r\n", false},
      {" 1", false},     {"1 ", false},    {"+1", false},     {"--1", false},   {"1-", false},
      {"1\n\n", false},  {"1\r", false},   {"1\r\n\n", false}, {"1\n\r\n", false}, {"1.5", false},
      {std::string("1\0", 2), false},      {"\xD9\xA1", false},  // a non-ASCII digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(is_single_number_text(c.text), c.number);
  }
}

}  // namespace
}  // namespace corvale
