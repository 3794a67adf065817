#include "codecs/single/expression.h"

#include <gtest/gtest.h>

#include <string>

#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/literals.h"

namespace corvale {
namespace {

using test::big;

TEST(Expression, PrecedenceAssociativityAndFloorDivision) {
  struct Case {
    std::string text;
    std::int64_t value;
  };
  const Case cases[] = {
      {"2**3**2", 512},  {"-2**2", -4},    {"(-2)**2", 4},      {"2*-3", -6},      {"+-+3", -3},
      {"- -3", 3},       {"1+2*3", 7},     {"(1+2)*3", 9},      {"10-4-3", 3},     {"2*3**2", 18},
      {"7//2", 3},       {"-7//2", -4},    {"7//-2", -4},       {"-7//-2", 3},     {"0//-5", 0},
      {"-6//3", -2},     {"8//2//2", 2},   {"2**-(-3)", 8},     {"0**0", 1},       {"0**100000", 0},
      {"0x1f", 31},      {"0X1F", 31},     {"007", 7},          {" \t\n\f\r1 + 2 ", 3},
      {"int('zz',36)", 1295},              {"int(\"zz\",36)", 1295},               {"int('ZZ',36)", 1295},
      {"int ( 'zz' , 36 ) ", 1295},        {"int('0',36)+0x0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parse_integer_expression(c.text), BigInt::from_i64(c.value));
  }
  EXPECT_EQ(parse_integer_expression("2**64+5"), big("18446744073709551621"));
  EXPECT_EQ(parse_integer_expression("(10**22-1)//9*5"), big("5555555555555555555555"));
}

TEST(Expression, EveryMessage) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {std::string(4097, '1'), kInvalidIntegerExpression},
      {"1+\x80", kInvalidIntegerExpression},
      {"1 2", kUnexpectedExpressionToken},
      {"0b1", kUnexpectedExpressionToken},
      {"1\v+1", kUnexpectedExpressionToken},  // a vertical tab is no blank
      {"(1))", kUnexpectedExpressionToken},
      {"", kExpectedAnInteger},
      {"  ", kExpectedAnInteger},
      {"0x", kExpectedAnInteger},
      {"1+", kExpectedAnInteger},
      {"2***3", kExpectedAnInteger},
      {"(1+2", kMissingClosingParenthesis},
      {"5//0", kDivisionByZero},
      {"0//0", kDivisionByZero},
      {"2**-1", kPowerMustBeNonnegative},
      {"2**4294967296", kPowerMustBeNonnegative},
      {"1**100001", kPowerExceedsLimit},
      {"1024**100000", kPowerExceedsLimit},
      {repeat("(", 65) + "1" + repeat(")", 65), kExpressionNestingExceedsLimit},
      {repeat("-", 65) + "1", kExpressionNestingExceedsLimit},
      {repeat("+", 65) + "1", kExpressionNestingExceedsLimit},
      {"1" + repeat("+1", 128), kExpressionExceedsLimit},
      {repeat("2**99999*", 10) + "1024", kExpressionExceedsLimit},  // 2**1000000: checked after the product
      {"int 5", kExpectedBase36Literal},
      {"int", kExpectedBase36Literal},
      {"int(", kMissingBase36String},
      {"int(  ", kMissingBase36String},
      {"int(z,36)", kExpectedQuotedBase36Digits},
      {"int('',36)", kInvalidBase36Integer},
      {"int('z\",36)", kInvalidBase36String},
      {"int('z z',36)", kInvalidBase36String},
      {"int('z", kInvalidBase36String},
      {"int('z',10)", kOnlyIntBase36Supported},
      {"int('z',360)", kOnlyIntBase36Supported},
      {"int('z' 36)", kOnlyIntBase36Supported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    EXPECT_ERROR(parse_integer_expression(c.text), c.message);
  }
}

TEST(Expression, LimitsAreReachableExactly) {
  // 64 levels of parentheses, minus signs or plus signs are fine; 65 are not (above).
  EXPECT_EQ(parse_integer_expression(repeat("(", 64) + "7" + repeat(")", 64)), BigInt(7));
  EXPECT_EQ(parse_integer_expression(repeat("-", 64) + "7"), BigInt(7));
  EXPECT_EQ(parse_integer_expression(repeat("+", 64) + "7"), BigInt(7));
  // 128 ones joined by 127 plus signs: 255 counted operations.
  EXPECT_EQ(parse_integer_expression("1" + repeat("+1", 127)), BigInt(128));
  // An exponent of 100000 on a base of 10 bits: exactly 1,000,000 estimated bits.
  EXPECT_EQ(parse_integer_expression("1000**100000").bit_length(), 996579u);
  EXPECT_EQ(parse_integer_expression("2**100000"), BigInt(1) << 100000);
  // 2**999999 has 1,000,000 bits exactly: the largest value allowed.
  EXPECT_EQ(parse_integer_expression(repeat("2**99999*", 10) + "512"), BigInt(1) << 999999);
  // Exactly 4096 bytes are read, whatever they hold.
  const std::string longest = "1" + repeat(" ", 4094) + "2";
  EXPECT_ERROR(parse_integer_expression(longest), kUnexpectedExpressionToken);
  EXPECT_EQ(parse_integer_expression(std::string(4095, ' ') + "9"), BigInt(9));
}

TEST(Expression, EveryTextHasABudgetOfItsOwn) {
  for (int i = 0; i < 300; ++i) ASSERT_EQ(parse_integer_expression("1+2"), BigInt(3));
}

}  // namespace
}  // namespace corvale
