#include "codecs/single/formula/formula_search.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "codecs/single/formula/formula_numbers.h"

namespace corvale {
namespace {

constexpr std::uint64_t kDeepestSearch = 3;
constexpr std::size_t kMinSearchBits = 64;
constexpr std::size_t kMaxPrimorialSearchBits = 1'500'000;
constexpr std::size_t kMaxPrimePowerSearchBits = 200'000;
// A family index is examined when its value's estimate is within a factor 2^16 of the number and
// the quotient within a relative 1e-8 of a whole number; at most 8 such indices per family.
constexpr double kMaxGap = 16.0;
constexpr double kCloseness = 1e-8;
constexpr int kMaxFamilyHits = 8;
// A family candidate must leave a remainder at least this many bits shorter than the number.
constexpr std::size_t kMinRemainderSaving = 40;
// A factorization must account for this many bits of the number.
constexpr std::size_t kMinPrimePowerBits = 64;
constexpr std::uint64_t kMaxFactorialIndex = 10'000'000;
constexpr double kLog2OfGoldenRatio = 0.6942419136306174;
constexpr double kLog2OfSqrt5 = 1.1609640474436813;
constexpr std::uint64_t kPrimesBelow100[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37, 41,
                                          43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89, 97};

FormulaNode literal(BigInt v) { return FormulaNode::literal(std::move(v)); }

FormulaNode wrap_multiply(const BigInt& factor, FormulaNode formula) {
  if (factor == 1) return formula;
  return FormulaNode::binary(FormulaOp::Multiply, literal(factor), std::move(formula));
}

// A nested search's formula for m replaces its literal only when strictly shorter.
FormulaNode shortest_of_literal_and_search(const BigInt& m, std::uint64_t depth) {
  FormulaNode best = literal(m);
  if (depth != kDeepestSearch && m.bit_length() >= kMinSearchBits) {
    std::optional<FormulaNode> found = search_formula(m, depth + 1);
    if (found && formula_encoded_len(*found) < formula_encoded_len(best)) best = std::move(*found);
  }
  return best;
}

// formula + r, as a sum or difference with the shortest form of |r|.
FormulaNode encode_with_remainder(FormulaNode formula, const BigInt& r, std::uint64_t depth) {
  if (r.is_zero()) return formula;
  FormulaNode rest = shortest_of_literal_and_search(r.abs(), depth);
  return FormulaNode::binary(r.sign() > 0 ? FormulaOp::Add : FormulaOp::Subtract, std::move(formula), std::move(rest));
}

// The multiplicity of p in m, dividing it out: through the powers p, p^2, p^4, ... that divide
// m, then down that ladder, so that it costs O(log e) divisions instead of e.
std::uint64_t divide_out(BigInt& m, std::uint64_t p) {
  std::vector<BigInt> ladder{BigInt(p)};
  BigInt q, r;
  for (;;) {
    BigInt next = ladder.back().square();
    BigInt::div_rem(m, next, q, r);
    if (!r.is_zero()) break;
    ladder.push_back(std::move(next));
  }
  std::uint64_t e = 0;
  for (std::size_t j = ladder.size(); j-- > 0;) {
    BigInt::div_rem(m, ladder[j], q, r);
    if (r.is_zero()) {
      m = std::move(q);
      e += std::uint64_t{1} << j;
    }
  }
  for (;;) {
    BigInt::div_rem(m, ladder[0], q, r);
    if (!r.is_zero()) break;
    m = std::move(q);
    ++e;
  }
  return e;
}

std::optional<FormulaNode> prime_power_candidate(const BigInt& n, std::uint64_t depth) {
  BigInt m = n;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> factors;
  for (std::uint64_t p : kPrimesBelow100) {
    if (m.rem_u64(p) != 0) continue;
    std::uint64_t e = 0;
    if (p == 2) {
      e = m.trailing_zero_bits();
      m >>= e;
    } else {
      e = divide_out(m, p);
    }
    factors.emplace_back(p, e);
  }
  if (factors.empty() || n.bit_length() - m.bit_length() < kMinPrimePowerBits) return std::nullopt;
  std::optional<FormulaNode> product;
  for (const auto& [p, e] : factors) {
    FormulaNode term = e == 1 ? literal(BigInt(p)) : FormulaNode::binary(FormulaOp::Power, literal(BigInt(p)), literal(BigInt(e)));
    product = product ? FormulaNode::binary(FormulaOp::Multiply, std::move(*product), std::move(term)) : std::move(term);
  }
  if (m == 1) return product;
  return FormulaNode::binary(FormulaOp::Multiply, shortest_of_literal_and_search(m, depth), std::move(*product));
}

// The primorial family: the primes up to the sieve limit and the running sums of their log2.
struct PrimeTable {
  std::vector<std::uint64_t> primes;
  std::vector<double> cumulative_log2;
};

PrimeTable prime_table(std::uint64_t limit) {
  PrimeTable table{primes_up_to(limit), {}};
  table.cumulative_log2.reserve(table.primes.size());
  double sum = 0.0;
  for (std::uint64_t p : table.primes) {
    sum += std::log2(static_cast<double>(p));
    table.cumulative_log2.push_back(sum);
  }
  return table;
}

FormulaFamily primorial_family(std::shared_ptr<const PrimeTable> table, std::uint64_t hi) {
  FormulaFamily f;
  f.op = FormulaOp::Primorial;
  f.lo = 0;
  f.hi = hi;
  f.estimate = [table](std::uint64_t i) { return table->cumulative_log2[i]; };
  f.value = [table](std::uint64_t i) {
    return product_of_list(std::span<const std::uint64_t>(table->primes.data(), i + 1));
  };
  f.argument = [table](std::uint64_t i) { return table->primes[i]; };
  return f;
}

// Fibonacci and Lucas numbers both grow by the golden ratio; F(i) is about L(i) / sqrt(5).
FormulaFamily golden_ratio_family(FormulaOp op, double L, double log2_divisor, BigInt (*value)(std::uint64_t),
                                  Approx (*approximate)(std::uint64_t)) {
  FormulaFamily f;
  f.op = op;
  f.lo = 2;
  f.hi = double_to_u64((L + kLog2OfSqrt5) / kLog2OfGoldenRatio) + 2;
  f.estimate = [log2_divisor](std::uint64_t i) { return static_cast<double>(i) * kLog2OfGoldenRatio - log2_divisor; };
  f.value = value;
  f.approximate = approximate;
  return f;
}

}  // namespace

FormulaFamily factorial_family() {
  FormulaFamily f;
  f.op = FormulaOp::Factorial;
  f.lo = 2;
  f.hi = kMaxFactorialIndex;
  f.estimate = log2_factorial;
  f.value = [](std::uint64_t i) { return range_product(2, i); };
  f.approximate = [](std::uint64_t i) { return approximate_range_product(2, i); };
  return f;
}

FormulaFamily fibonacci_family(double L) {
  return golden_ratio_family(FormulaOp::Fibonacci, L, kLog2OfSqrt5, fibonacci_number, approximate_fibonacci);
}

FormulaFamily lucas_family(double L) {
  return golden_ratio_family(FormulaOp::Lucas, L, 0.0, lucas_number, approximate_lucas);
}

std::vector<FormulaNode> search_formula_family(const BigInt& n, double L, const FormulaFamily& family,
                                               std::uint64_t depth) {
  std::vector<FormulaNode> results;
  if (family.lo > family.hi) return results;
  const double target = L + std::max(L, 1.0) * 1e-9;
  if (family.estimate(family.lo) > target) return results;
  // The largest index whose estimate stays within the target.
  std::uint64_t a = family.lo;
  std::uint64_t b = family.hi;
  while (a < b) {
    const std::uint64_t mid = a + (b - a) / 2 + (b - a) % 2;
    if (family.estimate(mid) <= target) {
      a = mid;
    } else {
      b = mid - 1;
    }
  }
  const std::size_t n_bits = n.bit_length();
  int hits = 0;
  // Downward to lo inclusive; lo may be 0, so the loop ends by comparing before it steps.
  for (std::uint64_t i = a;; --i) {
    const double gap = std::max(0.0, L - family.estimate(i));
    if (gap > kMaxGap) break;
    const double q = std::exp2(gap);
    const double k = std::round(q);
    if (k >= 1.0 && std::fabs(q - k) <= q * kCloseness) {
      if (++hits > kMaxFamilyHits) break;
      // The remainder of an index whose quotient is far from whole is too long to keep, which a
      // close approximation shows far more cheaply than the value itself.
      if (!family.approximate || quotient_may_be_whole(n, family.approximate(i))) {
        const BigInt v = family.value(i);
        BigInt K, unused;
        BigInt::div_rem(n + (v >> 1), v, K, unused);
        if (K <= BigInt(1)) K = BigInt(1);
        const BigInt r = n - K * v;
        if (r.is_zero() || r.bit_length() + kMinRemainderSaving <= n_bits) {
          results.push_back(encode_with_remainder(
              wrap_multiply(K, FormulaNode::unary(family.op, literal(BigInt(family.argument(i))))), r, depth));
        }
      }
    }
    if (i == family.lo) break;
  }
  return results;
}

std::optional<FormulaNode> search_formula(const BigInt& n, std::uint64_t depth) {
  if (n.bit_length() < kMinSearchBits) return std::nullopt;
  return search_formula(n, depth, find_power_form(n));
}

std::optional<FormulaNode> search_formula(const BigInt& n, std::uint64_t depth,
                                          const std::optional<PowerCandidate>& power_form) {
  const std::size_t bits = n.bit_length();
  if (bits < kMinSearchBits) return std::nullopt;
  const double L = log2_estimate(n);
  std::vector<FormulaNode> candidates;
  if (power_form) {
    FormulaNode power = FormulaNode::binary(FormulaOp::Power, literal(BigInt(power_form->base)),
                                            literal(BigInt(power_form->exponent)));
    candidates.push_back(
        encode_with_remainder(wrap_multiply(BigInt(power_form->factor), std::move(power)), power_form->offset, depth));
  }
  for (const FormulaFamily& family : {factorial_family(), fibonacci_family(L), lucas_family(L)}) {
    for (FormulaNode& c : search_formula_family(n, L, family, depth)) candidates.push_back(std::move(c));
  }
  if (bits <= kMaxPrimorialSearchBits) {
    const std::uint64_t sieve_limit = double_to_u64(static_cast<double>(bits) * 0.7) + 1000;
    auto table = std::make_shared<const PrimeTable>(prime_table(sieve_limit));
    const double target = L * 1e-9 + L;
    const auto& cum = table->cumulative_log2;
    const std::uint64_t count = static_cast<std::uint64_t>(std::upper_bound(cum.begin(), cum.end(), target) - cum.begin());
    if (count > 0) {
      const FormulaFamily primorials = primorial_family(table, std::min<std::uint64_t>(count, cum.size() - 1));
      for (FormulaNode& c : search_formula_family(n, L, primorials, depth)) candidates.push_back(std::move(c));
    }
  }
  if (bits <= kMaxPrimePowerSearchBits) {
    if (std::optional<FormulaNode> c = prime_power_candidate(n, depth)) candidates.push_back(std::move(*c));
  }
  std::optional<FormulaNode> best;
  std::uint64_t best_len = 0;
  for (FormulaNode& c : candidates) {
    const std::uint64_t len = formula_encoded_len(c);
    if (!best || len < best_len) {
      best = std::move(c);
      best_len = len;
    }
  }
  return best;
}

}  // namespace corvale
