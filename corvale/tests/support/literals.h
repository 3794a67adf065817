#pragma once
// Short spellings of big integers and formula leaves, for writing expected values inline.

#include <cstdint>
#include <string>
#include <utility>

#include "codecs/single/formula/formula.h"
#include "core/bigint.h"

namespace corvale::test {

inline BigInt big(const std::string& decimal) { return BigInt::from_decimal(decimal); }
inline BigInt pow(std::uint64_t base, std::uint64_t exp) { return BigInt::pow(base, exp); }

inline FormulaNode lit(BigInt v) { return FormulaNode::literal(std::move(v)); }
inline FormulaNode lit(std::uint64_t v) { return FormulaNode::literal(BigInt(v)); }

}  // namespace corvale::test
