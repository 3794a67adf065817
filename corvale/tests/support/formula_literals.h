#pragma once
// Literal leaves of formula trees, short enough to write whole trees inline.

#include <cstdint>
#include <utility>

#include "codecs/bigint.h"
#include "codecs/formula.h"

namespace corvale::test {

inline FormulaNode lit(BigInt v) { return FormulaNode::literal(std::move(v)); }
inline FormulaNode lit(std::uint64_t v) { return FormulaNode::literal(BigInt(v)); }

}  // namespace corvale::test
