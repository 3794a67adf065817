#include "codecs/single/formula/formula_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "codecs/single/formula/formula.h"
#include "codecs/single/formula/formula_numbers.h"
#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/literals.h"

namespace corvale {
namespace {

using test::lit;

constexpr std::uint64_t kDefaultRoom = 536'870'912;  // the in-memory decode limit, 512 MiB

FormulaNode op2(FormulaOp op, FormulaNode a, FormulaNode b) { return FormulaNode::binary(op, std::move(a), std::move(b)); }
FormulaNode op1(FormulaOp op, FormulaNode a) { return FormulaNode::unary(op, std::move(a)); }

std::string form(const FormulaNode& node) {
  std::string out;
  write_formula(node, out);
  return out;
}

// Decodes a whole byte form; the formula must use every byte.
BigInt decode(const std::string& bytes, std::uint64_t room = kDefaultRoom) {
  ByteCursor cursor{bytes};
  BigInt value = decode_formula(cursor, room);
  EXPECT_TRUE(cursor.at_end());
  return value;
}

// Op 0 followed by the varint of v.
std::string small(const BigInt& v) {
  std::string out(1, '\0');
  write_varint_big(v, out);
  return out;
}

TEST(FormulaReader, ReadsEitherLiteralFormForAnyValue) {
  EXPECT_EQ(decode(bytes({0x03, 0x05, 0x00, 0x02, 0x00, 0x7F, 0x00, 0x01})), (BigInt(1) << 127) - BigInt(1));
  EXPECT_EQ(decode(small(BigInt(1) << 60)), BigInt(1) << 60);
  EXPECT_EQ(decode(bytes({0x01, 0x01, 0x05})), BigInt(5));
  EXPECT_EQ(decode(form(lit(BigInt(1) << 1000))), BigInt(1) << 1000);
}

TEST(FormulaReader, EvaluatesEveryOperation) {
  struct Case { std::string bytes; BigInt value; };
  const Case cases[] = {
      {bytes({0x02, 0x00, 0x02, 0x00, 0x03}), BigInt(5)},
      {bytes({0x03, 0x00, 0x02, 0x00, 0x02}), BigInt(0)},
      {bytes({0x04, 0x00, 0x06, 0x00, 0x07}), BigInt(42)},
      {bytes({0x05, 0x00, 0x00, 0x00, 0x00}), BigInt(1)},  // 0^0
      {bytes({0x05, 0x00, 0x00, 0x00, 0x05}), BigInt(0)},
      {bytes({0x05, 0x00, 0x01, 0x00, 0x00}), BigInt(1)},
      {bytes({0x05, 0x00, 0x02, 0x00, 0x00}), BigInt(1)},
      {bytes({0x05, 0x00, 0x03, 0x00, 0x04}), BigInt(81)},
      {bytes({0x05, 0x00, 0x08, 0x00, 0x03}), BigInt(512)},
      {bytes({0x06, 0x00, 0x00}), BigInt(1)},
      {bytes({0x06, 0x00, 0x05}), BigInt(120)},
      {bytes({0x07, 0x00, 0x00}), BigInt(0)},
      {bytes({0x07, 0x00, 0x0A}), BigInt(55)},
      {bytes({0x08, 0x00, 0x00}), BigInt(2)},
      {bytes({0x08, 0x00, 0x0A}), BigInt(123)},
      {bytes({0x09, 0x00, 0x01}), BigInt(1)},
      {bytes({0x09, 0x00, 0x0A}), BigInt(210)},
      {bytes({0x06, 0x02, 0x00, 0x01, 0x00, 0x02}), BigInt(6)},  // the argument is itself a formula
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(decode(c.bytes), c.value);
  }
  // 1^x is 1 whatever x is, even one far too large for an exponent.
  EXPECT_EQ(decode(bytes({0x05, 0x00, 0x01}) + form(op1(FormulaOp::Fibonacci, lit(100000)))), BigInt(1));
  EXPECT_EQ(decode(bytes({0x05, 0x00, 0x01}) + form(lit(BigInt(1) << 200))), BigInt(1));
}

TEST(FormulaReader, EvaluatesFamiliesAtLargeArguments) {
  EXPECT_EQ(decode(bytes({0x06, 0x00, 0xE8, 0x07})), range_product(2, 1000));
  EXPECT_EQ(decode(form(op1(FormulaOp::Fibonacci, lit(100000)))), fibonacci_number(100000));
  EXPECT_EQ(decode(form(op1(FormulaOp::Primorial, lit(100000)))), primorial(100000));
  EXPECT_EQ(decode(form(op2(FormulaOp::Power, lit(3), lit(100000)))), BigInt::pow(3, 100000));
  EXPECT_EQ(decode(form(op2(FormulaOp::Power, lit(1ull << 40), lit(1000)))), BigInt(1) << 40000);
}

TEST(FormulaReader, ReportsMalformedBytes) {
  struct Case { std::string bytes; const char* message; };
  const Case cases[] = {
      {"", "Truncated formula"},
      {bytes({0x0A}), "Unknown formula operation"},
      {bytes({0xFF}), "Unknown formula operation"},
      {bytes({0x00, 0x80}), "Truncated number list"},
      {bytes({0x00, 0x80, 0x00}), "Non-canonical varint"},
      {bytes({0x01}), "Truncated number list"},
      {bytes({0x01, 0x00}), "Invalid formula bytes"},
      {bytes({0x01, 0x02, 0x00, 0x05}), "Non-canonical formula bytes"},
      {bytes({0x01, 0x02, 0x01}), "Truncated number list"},
      {bytes({0x02, 0x00, 0x01}), "Truncated formula"},
      {bytes({0x06}), "Truncated formula"},
      {bytes({0x03, 0x00, 0x01, 0x00, 0x02}), "Negative formula value"},
      // The first failure ends the read: the subtraction fails before the missing operand is missed.
      {bytes({0x02, 0x03, 0x00, 0x01, 0x00, 0x02}), "Negative formula value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_ERROR(decode(c.bytes), c.message);
  }
}

TEST(FormulaReader, AllowsThirtyThreeLevels) {
  // Factorials of 2 nested around a literal at level 32, and sums nested to the right.
  const std::string factorials = std::string(32, '\x06');
  EXPECT_EQ(decode(factorials + bytes({0x00, 0x02})), BigInt(2));
  EXPECT_ERROR(decode(factorials), "Truncated formula");
  EXPECT_ERROR(decode(factorials + bytes({0x06, 0x00, 0x02})), "Formula too deep");
  EXPECT_ERROR(decode(factorials + bytes({0x06})), "Formula too deep");  // also when the bytes end there
  std::string sums;
  for (int i = 0; i < 32; ++i) sums += bytes({0x02, 0x00, 0x01});
  EXPECT_EQ(decode(sums + bytes({0x00, 0x01})), BigInt(33));
  EXPECT_ERROR(decode(sums + bytes({0x02, 0x00, 0x01, 0x00, 0x01})), "Formula too deep");
}

TEST(FormulaReader, BoundsArguments) {
  EXPECT_EQ(formula_argument_to_u64(BigInt(0), 0), 0u);
  EXPECT_EQ(formula_argument_to_u64(BigInt((1ull << 32) + 5), UINT64_MAX), (1ull << 32) + 5);
  EXPECT_EQ(formula_argument_to_u64(BigInt(UINT64_MAX), UINT64_MAX), UINT64_MAX);
  EXPECT_ERROR(formula_argument_to_u64(BigInt(1) << 64, UINT64_MAX), "Formula argument too large");
  EXPECT_ERROR(formula_argument_to_u64(BigInt(11), 10), "Formula argument too large");
  struct Case { FormulaOp op; BigInt argument; };
  const Case cases[] = {
      {FormulaOp::Factorial, BigInt(10'000'001)},     {FormulaOp::Primorial, BigInt(10'000'001)},
      {FormulaOp::Fibonacci, BigInt(1'783'485'234)},  {FormulaOp::Lucas, BigInt(1'783'485'234)},
      {FormulaOp::Fibonacci, BigInt((1ull << 32) + 5)},  // not F(5), as a cut to 32 bits would give
      {FormulaOp::Factorial, BigInt(1) << 64},        {FormulaOp::Lucas, (BigInt(1) << 64) + BigInt(3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument.to_decimal());
    EXPECT_ERROR(decode(form(op1(c.op, lit(c.argument)))), "Formula argument too large");
  }
  // The argument formula is evaluated first, so its own failure comes first.
  EXPECT_ERROR(decode(form(op1(FormulaOp::Factorial, op2(FormulaOp::Subtract, lit(1), lit(2))))),
               "Negative formula value");
}

TEST(FormulaReader, RefusesValuesTooLargeForAnyLimitBeforeComputingThem) {
  const char* kLimit = "Output exceeds decompression limit";
  // Each power has 1,000,000,001 bits; their product would pass the largest value allowed.
  EXPECT_ERROR(decode(form(op2(FormulaOp::Multiply, op2(FormulaOp::Power, lit(2), lit(1'000'000'000)),
                               op2(FormulaOp::Power, lit(2), lit(1'000'000'000))))),
               kLimit);
  // Exponents past the largest bit length, and powers whose bits pass it although
  // (bits of the base - 1) x exponent does not: 3^1,783,485,233 has 2.8 billion bits.
  EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(3), lit(1'783'485'234)))), kLimit);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(3), lit(1'783'485'233)))), kLimit);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(2), lit(BigInt(1) << 64)))), kLimit);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(2), lit((1ull << 32) + 5)))), kLimit);
}

TEST(FormulaReader, SizesFollowTheRoomForDigits) {
  const char* kLimit = "Output exceeds decompression limit";
  // 2,000,000 digits hold numbers of up to 6,643,856 bits.
  constexpr std::uint64_t kRoom = 2'000'000;
  EXPECT_EQ(decode(form(op2(FormulaOp::Power, lit(2), lit(6'643'850))), kRoom), BigInt(1) << 6'643'850);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(2), lit(6'643'900))), kRoom), kLimit);
  // 3^4,190,000 has 6,640,993 bits, although 2 bits x 4,190,000 is 8,380,000.
  EXPECT_EQ(decode(form(op2(FormulaOp::Power, lit(3), lit(4'190'000))), kRoom).bit_length(), 6'640'993u);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(3), lit(4'200'000))), kRoom), kLimit);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Multiply, lit(BigInt(1) << 3'400'000), lit(BigInt(1) << 3'400'000))), kRoom),
               kLimit);
  EXPECT_ERROR(decode(form(op2(FormulaOp::Add, lit(BigInt(1) << 6'643'870), lit(1))), kRoom), kLimit);
  for (FormulaOp op : {FormulaOp::Factorial, FormulaOp::Fibonacci, FormulaOp::Lucas, FormulaOp::Primorial}) {
    SCOPED_TRACE(static_cast<int>(op));
    // F(1,783,485,233) alone has 1.2 billion bits; the largest arguments fail at once.
    const std::uint64_t largest = op == FormulaOp::Fibonacci || op == FormulaOp::Lucas ? 1'783'485'233 : 10'000'000;
    EXPECT_ERROR(decode(form(op1(op, lit(largest))), 1024), kLimit);
    EXPECT_NO_THROW(decode(form(op1(op, lit(400))), 1024));
  }
}

TEST(FormulaReader, ValuesUpTo4MiBitsAreAllowedUnderAnyRoom) {
  const char* kLimit = "Output exceeds decompression limit";
  for (std::uint64_t room : {0u, 1u, 1024u}) {
    SCOPED_TRACE(room);
    EXPECT_EQ(decode(form(op2(FormulaOp::Power, lit(2), lit((1u << 22) - 1))), room), BigInt(1) << ((1u << 22) - 1));
    EXPECT_ERROR(decode(form(op2(FormulaOp::Power, lit(2), lit(1u << 22))), room), kLimit);
    EXPECT_ERROR(decode(form(op1(FormulaOp::Fibonacci, lit(10'000'000))), room), kLimit);
  }
  // 2^200 + 1 - 2^200 restores "1" under a limit of one byte; 2^200 itself still does not.
  const auto power = [] { return op2(FormulaOp::Power, lit(2), lit(200)); };
  const std::string one = form(op2(FormulaOp::Subtract, op2(FormulaOp::Add, power(), lit(1)), power()));
  EXPECT_EQ(decode_formula_payload(bytes({0x00}) + one, 1), "1");
  EXPECT_ERROR(decode_formula_payload(bytes({0x00}) + form(power()), 60), kLimit);
}

TEST(FormulaReader, ValuesDecodeWithRoomForExactlyTheirDigits) {
  std::vector<FormulaNode> formulas;
  for (FormulaOp op : {FormulaOp::Factorial, FormulaOp::Fibonacci, FormulaOp::Lucas, FormulaOp::Primorial}) {
    for (std::uint64_t n : {2u, 3u, 10u, 31u, 32u, 41u, 1000u, 54321u}) formulas.push_back(op1(op, lit(n)));
  }
  for (std::uint64_t base : {2ull, 3ull, 10ull, 255ull, 256ull, (1ull << 40) + 1, 1ull << 63}) {
    formulas.push_back(op2(FormulaOp::Power, lit(base), lit(3000)));
  }
  formulas.push_back(op2(FormulaOp::Power, lit((BigInt(1) << 1000) - BigInt(1)), lit(97)));
  formulas.push_back(op2(FormulaOp::Multiply, lit((BigInt(1) << 5000) - BigInt(1)), lit((BigInt(1) << 7000) - BigInt(1))));
  formulas.push_back(op2(FormulaOp::Add, lit((BigInt(1) << 5000) - BigInt(1)), lit((BigInt(1) << 5000) - BigInt(1))));
  for (const FormulaNode& formula : formulas) {
    const BigInt value = decode(form(formula));
    const std::uint64_t digits = value.to_decimal().size();
    SCOPED_TRACE(testing::PrintToString(form(formula)));
    EXPECT_EQ(decode(form(formula), digits), value);
  }
}

TEST(FormulaReader, TheWholeFormulaSharesOneBudget) {
  const char* kLimit = "Output exceeds decompression limit";
  // Sixteen Fibonacci numbers of 1.2 billion bits each: every one fits the default limit, but
  // together they are refused before the first is computed (else this would run for minutes).
  std::string many_large = form(op1(FormulaOp::Fibonacci, lit(1'783'485'233)));
  for (int i = 0; i < 15; ++i) many_large = bytes({0x03}) + many_large + form(op1(FormulaOp::Fibonacci, lit(1'783'485'233)));
  EXPECT_ERROR(decode(many_large), kLimit);
  // Arguments computed by the formula escape the first look, but not the budget: a sum of 2^16
  // Fibonacci numbers of 2,776 bits is more work than 1024 digits allow.
  std::string leaf = form(op1(FormulaOp::Fibonacci, op2(FormulaOp::Add, lit(2000), lit(2000))));
  std::string tree = leaf;
  for (int level = 0; level < 16; ++level) tree = bytes({0x02}) + tree + tree;
  EXPECT_ERROR(decode(tree, 1024), kLimit);
  std::string smaller_tree = leaf;
  for (int level = 0; level < 12; ++level) smaller_tree = bytes({0x02}) + smaller_tree + smaller_tree;
  EXPECT_EQ(decode(smaller_tree, 1024), fibonacci_number(4000) << 12);
}

TEST(FormulaPayload, HeaderThenExactlyOneFormula) {
  const std::string thousand_factorial = range_product(2, 1000).to_decimal();
  EXPECT_EQ(decode_formula_payload(bytes({0x00, 0x06, 0x00, 0xE8, 0x07}), 10000), thousand_factorial);
  // Sign, three leading zeros and CR LF, as the header says.
  EXPECT_EQ(decode_formula_payload(bytes({0x0D, 0x03, 0x06, 0x00, 0xE8, 0x07}), 10000),
            "-000" + thousand_factorial + "\r\n");
  struct Case { std::string payload; const char* message; };
  const Case cases[] = {
      {"", "Missing binary numeric flags"},
      {bytes({0x00}), "Truncated formula"},
      {bytes({0x08, 0x02}), "Truncated formula"},
      {bytes({0x00, 0x00, 0x05, 0x00}), "Trailing data in formula"},
      {bytes({0x10, 0x00, 0x05}), "Invalid binary numeric flags"},
      {bytes({0x06, 0x00, 0x05}), "Invalid binary numeric flags"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.payload));
    EXPECT_ERROR(decode_formula_payload(c.payload, 100), c.message);
  }
}

TEST(FormulaPayload, TheTextMustFitTheLimit) {
  // 2^3400 has 1024 digits; leading zeros and the line ending count too.
  const std::string power = form(op2(FormulaOp::Power, lit(2), lit(3400)));
  const std::string digits = (BigInt(1) << 3400).to_decimal();
  ASSERT_EQ(digits.size(), 1024u);
  EXPECT_EQ(decode_formula_payload(bytes({0x00}) + power, 1024), digits);
  EXPECT_ERROR(decode_formula_payload(bytes({0x00}) + power, 1023), "Output exceeds decompression limit");
  EXPECT_EQ(decode_formula_payload(bytes({0x0A, 0x05}) + power, 1030), "00000" + digits + "\n");
  EXPECT_ERROR(decode_formula_payload(bytes({0x0A, 0x05}) + power, 1029), "Output exceeds decompression limit");
  EXPECT_ERROR(decode_formula_payload(bytes({0x08, 0x06}) + power, 5), "Output exceeds decompression limit");
}

}  // namespace
}  // namespace corvale
