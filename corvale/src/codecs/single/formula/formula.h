#pragma once
// The formula tree of archive type 13 and its byte form: literals combined by sums, differences,
// products and powers, and four number families applied to an argument. The byte form is the
// tree in prefix order, one operation byte per node, with no lengths or terminators.

#include <cstdint>
#include <memory>
#include <string>

#include "core/bigint.h"

namespace corvale {

enum class FormulaOp : std::uint8_t {
  SmallLiteral = 0,  // one LEB128 varint
  BytesLiteral = 1,  // a byte count, then the value's bytes big-endian
  Add = 2,
  Subtract = 3,
  Multiply = 4,
  Power = 5,  // base, then exponent
  Factorial = 6,
  Fibonacci = 7,
  Lucas = 8,
  Primorial = 9,
};

inline constexpr std::uint8_t kLastFormulaOp = 9;

// An owned tree; each node owns its children. A literal's form (small or bytes) is chosen by
// the writer from its value, so a literal node carries only the value.
struct FormulaNode {
  enum class Kind : std::uint8_t { Literal, Binary, Unary };

  Kind kind = Kind::Literal;
  FormulaOp op = FormulaOp::SmallLiteral;  // Add..Power for binary nodes, Factorial..Primorial for unary
  BigInt value;                            // literals only
  std::unique_ptr<FormulaNode> left;       // binary: left operand; unary: the argument
  std::unique_ptr<FormulaNode> right;      // binary only

  static FormulaNode literal(BigInt value);
  static FormulaNode binary(FormulaOp op, FormulaNode left, FormulaNode right);
  static FormulaNode unary(FormulaOp op, FormulaNode argument);
};

// Appends the byte form of node.
void write_formula(const FormulaNode& node, std::string& out);

// The length of the byte form, counted without writing it.
std::uint64_t formula_encoded_len(const FormulaNode& node);

// The type-13 payload: the number's header (flags: sign, line ending, leading zeros), then the
// byte form of the formula for its magnitude.
std::string encode_formula_payload(const FormulaNode& formula, std::uint8_t flags, std::uint64_t leading_zeros);

}  // namespace corvale
