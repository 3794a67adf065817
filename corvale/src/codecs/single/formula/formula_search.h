#pragma once
// The search for a short formula whose value is a given number: a power form, a multiple of a
// factorial, Fibonacci, Lucas number or primorial, or a product of small prime powers, each
// corrected by a remainder that is searched the same way, up to four levels deep.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "codecs/single/formula/formula.h"
#include "codecs/single/formula/formula_approx.h"
#include "codecs/single/power_form.h"
#include "core/bigint.h"

namespace corvale {

// One searchable family of numbers, indexed over lo..hi, whose estimate grows with the index.
struct FormulaFamily {
  FormulaOp op = FormulaOp::Factorial;
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  std::function<double(std::uint64_t)> estimate;  // of log2 of the i-th value
  std::function<BigInt(std::uint64_t)> value;
  // The argument written into the formula; the index itself unless the family says otherwise.
  std::function<std::uint64_t(std::uint64_t)> argument = [](std::uint64_t i) { return i; };
  // An approximation of the i-th value, when one is far cheaper than the value; empty otherwise.
  std::function<Approx(std::uint64_t)> approximate;
};

// L: the log2 estimate of the number the family is searched for.
FormulaFamily factorial_family();
FormulaFamily fibonacci_family(double L);
FormulaFamily lucas_family(double L);

// The shortest formula found for n (n has at least 64 bits, else none), the first of equally
// short ones in the order power form, factorial, Fibonacci, Lucas, primorial, prime powers.
// depth: 0 for the number itself; a search at depth 3 writes remainders as literals.
std::optional<FormulaNode> search_formula(const BigInt& n, std::uint64_t depth);
// The same, for a number whose power form the caller has already looked for.
std::optional<FormulaNode> search_formula(const BigInt& n, std::uint64_t depth,
                                          const std::optional<PowerCandidate>& power_form);

// The family's candidates for n, best estimate first: K x value(i) + remainder for the indices
// whose value nearly divides n, as long as the remainder is 0 or 40 bits shorter than n.
std::vector<FormulaNode> search_formula_family(const BigInt& n, double L, const FormulaFamily& family,
                                               std::uint64_t depth);

}  // namespace corvale
