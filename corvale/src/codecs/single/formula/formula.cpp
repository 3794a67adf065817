#include "codecs/single/formula/formula.h"

#include <bit>
#include <utility>

#include "codecs/single/single_number.h"
#include "core/varint.h"

namespace corvale {
namespace {

// Literals of up to 56 bits are at most 8 varint bytes, never longer than the bytes form.
constexpr std::size_t kSmallLiteralBits = 56;

std::uint64_t varint_len(std::uint64_t bits) { return bits == 0 ? 1 : (bits + 6) / 7; }

}  // namespace

FormulaNode FormulaNode::literal(BigInt value) {
  FormulaNode n;
  n.kind = Kind::Literal;
  n.value = std::move(value);
  return n;
}

FormulaNode FormulaNode::binary(FormulaOp op, FormulaNode left, FormulaNode right) {
  FormulaNode n;
  n.kind = Kind::Binary;
  n.op = op;
  n.left = std::make_unique<FormulaNode>(std::move(left));
  n.right = std::make_unique<FormulaNode>(std::move(right));
  return n;
}

FormulaNode FormulaNode::unary(FormulaOp op, FormulaNode argument) {
  FormulaNode n;
  n.kind = Kind::Unary;
  n.op = op;
  n.left = std::make_unique<FormulaNode>(std::move(argument));
  return n;
}

void write_formula(const FormulaNode& node, std::string& out) {
  switch (node.kind) {
    case FormulaNode::Kind::Literal:
      if (node.value.bit_length() <= kSmallLiteralBits) {
        out.push_back(static_cast<char>(FormulaOp::SmallLiteral));
        write_varint_big(node.value, out);
      } else {
        const std::string be = node.value.to_bytes_be();
        out.push_back(static_cast<char>(FormulaOp::BytesLiteral));
        write_varint_u64(be.size(), out);
        out += be;
      }
      return;
    case FormulaNode::Kind::Binary:
      out.push_back(static_cast<char>(node.op));
      write_formula(*node.left, out);
      write_formula(*node.right, out);
      return;
    case FormulaNode::Kind::Unary:
      out.push_back(static_cast<char>(node.op));
      write_formula(*node.left, out);
      return;
  }
}

std::uint64_t formula_encoded_len(const FormulaNode& node) {
  switch (node.kind) {
    case FormulaNode::Kind::Literal: {
      const std::uint64_t bits = node.value.bit_length();
      if (bits <= kSmallLiteralBits) return 1 + varint_len(bits);
      const std::uint64_t bytes = (bits + 7) / 8;
      return 1 + varint_len(std::bit_width(bytes)) + bytes;
    }
    case FormulaNode::Kind::Binary:
      return 1 + formula_encoded_len(*node.left) + formula_encoded_len(*node.right);
    case FormulaNode::Kind::Unary:
      return 1 + formula_encoded_len(*node.left);
  }
  return 0;
}

std::string encode_formula_payload(const FormulaNode& formula, std::uint8_t flags, std::uint64_t leading_zeros) {
  std::string out = write_binary_numeric_header(flags, leading_zeros);
  write_formula(formula, out);
  return out;
}

}  // namespace corvale
