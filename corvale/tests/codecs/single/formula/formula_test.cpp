#include "codecs/single/formula/formula.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/bytes.h"
#include "support/literals.h"

namespace corvale {
namespace {

using test::lit;

std::string written(const FormulaNode& node) {
  std::string out;
  write_formula(node, out);
  return out;
}

TEST(FormulaWriter, WritesPrefixOrder) {
  // 2^127 - 1
  const FormulaNode mersenne =
      FormulaNode::binary(FormulaOp::Subtract, FormulaNode::binary(FormulaOp::Power, lit(2), lit(127)), lit(1));
  EXPECT_EQ(written(mersenne), bytes({0x03, 0x05, 0x00, 0x02, 0x00, 0x7F, 0x00, 0x01}));
  // 1000! and 7 x F(5) + L(3)
  EXPECT_EQ(written(FormulaNode::unary(FormulaOp::Factorial, lit(1000))), bytes({0x06, 0x00, 0xE8, 0x07}));
  const FormulaNode mixed = FormulaNode::binary(
      FormulaOp::Add, FormulaNode::binary(FormulaOp::Multiply, lit(7), FormulaNode::unary(FormulaOp::Fibonacci, lit(5))),
      FormulaNode::unary(FormulaOp::Lucas, lit(3)));
  EXPECT_EQ(written(mixed), bytes({0x02, 0x04, 0x00, 0x07, 0x07, 0x00, 0x05, 0x08, 0x00, 0x03}));
}

TEST(FormulaWriter, LiteralsOfUpTo56BitsAreVarintsAndLongerOnesBytes) {
  EXPECT_EQ(written(lit(0)), bytes({0x00, 0x00}));
  EXPECT_EQ(written(lit((1ull << 56) - 1)), bytes({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(written(lit(1ull << 56)), bytes({0x01, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(written(lit(UINT64_MAX)), bytes({0x01, 0x08}) + std::string(8, '\xFF'));
  const BigInt long_literal = (BigInt(1) << 1023) + BigInt(5);  // 128 bytes: a two-byte count
  EXPECT_EQ(written(lit(long_literal)), bytes({0x01, 0x80, 0x01}) + long_literal.to_bytes_be());
}

TEST(FormulaWriter, EncodedLengthIsTheWrittenLength) {
  std::vector<FormulaNode> nodes;
  for (const BigInt& v : {BigInt(0), BigInt(127), BigInt(128), BigInt((1ull << 56) - 1), BigInt(1ull << 56),
                          BigInt(1) << 64, BigInt(1) << 1015, BigInt(1) << 1016, BigInt(1) << 1023, BigInt(1) << 8191,
                          BigInt(1) << 131071, BigInt(1) << 131072}) {
    nodes.push_back(lit(v));
  }
  nodes.push_back(FormulaNode::binary(FormulaOp::Multiply, lit(BigInt(1) << 100),
                                      FormulaNode::unary(FormulaOp::Primorial, lit(100))));
  for (const FormulaNode& node : nodes) {
    SCOPED_TRACE(written(node).size());
    EXPECT_EQ(formula_encoded_len(node), written(node).size());
  }
}

}  // namespace
}  // namespace corvale
