#include "codecs/single/formula/formula_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "codecs/single/formula/formula.h"
#include "codecs/single/formula/formula_numbers.h"
#include "codecs/single/power_form.h"
#include "codecs/single/single_number.h"
#include "core/error.h"
#include "core/saturating.h"
#include "core/u128.h"

namespace corvale {
namespace {

constexpr double kLog2Of10 = 3.321928094887362;
constexpr double kLog10Of2 = 0.3010299956639812;
constexpr double kLog2OfGoldenRatio = 0.6942419136306174;
constexpr double kInverseLn2 = 1.4426950408889634;
// Digits of the longest number the formula bounds allow (kMaxFormulaBits is its bit length).
constexpr std::uint64_t kRoomOfMaxBits = 536'870'912;
// Room for the encoder's intermediate values above the number, and for rounding in the estimates.
constexpr std::uint64_t kMaxBitsMargin = 8;
// Values of up to 4 Mi bits (half a megabyte each, about 1.26 million digits) are allowed under
// any limit: a small formula may pass through values far longer than its result (2^200 + 1 -
// 2^200 is 1), and values this size cost milliseconds each, which the work budget bounds.
constexpr std::uint64_t kMaxBitsFloor = std::uint64_t{1} << 22;
// Work beyond the values' sizes: the encoder nests a formula at most four deep (a remainder of a
// remainder ...), each level computing one value of at most the number's size plus a few bits,
// and factorizations of numbers of up to 200,000 bits multiply up to 25 prime powers per level.
constexpr std::uint64_t kBudgetPerMaxBits = 4;
constexpr std::uint64_t kBudgetFloor = std::uint64_t{1} << 27;

// What one formula may cost, derived from the output bytes its digits may take.
class FormulaLimits {
 public:
  explicit FormulaLimits(std::uint64_t digit_room)
      // A number of d digits has fewer than d log2(10) + 1 bits.
      : max_bits_(digit_room >= kRoomOfMaxBits
                      ? kMaxFormulaBits
                      : std::clamp(static_cast<std::uint64_t>(static_cast<double>(digit_room) * kLog2Of10) + kMaxBitsMargin,
                                   kMaxBitsFloor, kMaxFormulaBits)),
        budget_left_(kBudgetPerMaxBits * max_bits_ + kBudgetFloor) {}

  // No value the formula computes may have more bits than this. It is a little above the
  // longest number whose digits fit, because the encoder's intermediate values (a power just
  // above the number, a factor times a family value) may pass the number by a bit or two, and
  // never below the floor. The result itself must still fit the limit when it is printed.
  std::uint64_t max_bits() const { return max_bits_; }

  // Takes work from the budget; false, taking nothing, when it would run out.
  bool try_charge(std::uint64_t bits) {
    if (bits > budget_left_) return false;
    budget_left_ -= bits;
    return true;
  }

 private:
  std::uint64_t max_bits_;
  std::uint64_t budget_left_;
};

// Upper bounds on bit lengths, computed before the values themselves. Rounding in the doubles
// is far below one bit for every size the limits allow; the + 2 covers it and the floor.
std::uint64_t power_bits_bound(const BigInt& base, std::uint64_t exponent) {
  const std::uint64_t bits = base.bit_length();
  if (base.trailing_zero_bits() == bits - 1) {
    const u128 exact = static_cast<u128>(bits - 1) * exponent + 1;
    return exact > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(exact);
  }
  return saturating_add(double_to_u64(static_cast<double>(exponent) * log2_estimate(base)), 2);
}

std::uint64_t factorial_bits_bound(std::uint64_t n) {
  return n < 2 ? 1 : double_to_u64(log2_factorial(n)) + 2;
}

// F(n) < phi^n / sqrt(5) + 1 and L(n) < phi^n + 1.
std::uint64_t fibonacci_bits_bound(std::uint64_t n) {
  return double_to_u64(static_cast<double>(n) * kLog2OfGoldenRatio) + 2;
}

// The product of the primes up to n has log2 theta(n) / ln 2, and theta(n) > n (1 - 1 / ln n)
// from 41 on (Rosser and Schoenfeld). Lets a hopeless primorial fail before its sieve is built.
std::uint64_t primorial_bits_lower_bound(std::uint64_t n) {
  if (n < 41) return 0;
  const double x = static_cast<double>(n);
  const std::uint64_t bound = double_to_u64(x * (1.0 - 1.0 / std::log(x)) * kInverseLn2);
  return bound > 0 ? bound - 1 : 0;
}

std::uint64_t product_bits_bound(const std::vector<std::uint64_t>& primes) {
  double log2_sum = 0.0;
  for (std::uint64_t p : primes) log2_sum += std::log2(static_cast<double>(p));
  return double_to_u64(log2_sum) + 2;
}

std::uint64_t argument_bound(FormulaOp op) {
  return op == FormulaOp::Factorial || op == FormulaOp::Primorial ? kMaxFactorialArgument : kMaxFibonacciArgument;
}

// One node's operation byte and, for a literal, its value. depth is the node's level.
struct FormulaToken {
  FormulaOp op;
  BigInt literal;
};

FormulaToken read_formula_token(ByteCursor& cursor, std::uint64_t depth) {
  if (depth > kMaxFormulaDepth) throw Error(kFormulaTooDeep);
  if (cursor.at_end()) throw Error(kTruncatedFormula);
  const std::uint8_t op = cursor_take_byte(cursor);
  if (op > kLastFormulaOp) throw Error(kUnknownFormulaOperation);
  FormulaToken token{static_cast<FormulaOp>(op), BigInt()};
  if (token.op == FormulaOp::SmallLiteral) {
    token.literal = cursor_read_varint_big(cursor, true, kMaxSmallLiteralBytes);
  } else if (token.op == FormulaOp::BytesLiteral) {
    const std::uint64_t count = cursor_read_varint_u64(cursor);
    if (count == 0) throw Error(kInvalidFormulaBytes);
    const std::string_view be = cursor_take_bytes(cursor, count);
    if (be[0] == 0) throw Error(kNonCanonicalFormulaBytes);
    token.literal = BigInt::from_bytes_be(reinterpret_cast<const unsigned char*>(be.data()), be.size());
  }
  return token;
}

bool is_literal(FormulaOp op) { return op == FormulaOp::SmallLiteral || op == FormulaOp::BytesLiteral; }
bool is_unary(FormulaOp op) { return op >= FormulaOp::Factorial; }

// The first pass: the work of every power and family value whose operands are literals, which
// is every one the encoder writes, is known from the bytes alone. Adding it up before anything
// is computed refuses a formula of many huge values at once, instead of after hours of work.
// Each charge here is one the evaluation would make too, so nothing it would finish is refused.
struct OverBudget {};

std::optional<BigInt> charge_literal_work(ByteCursor& cursor, std::uint64_t depth, FormulaLimits& limits) {
  FormulaToken token = read_formula_token(cursor, depth);
  if (is_literal(token.op)) return std::move(token.literal);
  std::uint64_t work = 0;
  if (is_unary(token.op)) {
    std::optional<BigInt> argument = charge_literal_work(cursor, depth + 1, limits);
    if (!argument || !argument->fits_u64() || argument->to_u64() > argument_bound(token.op)) return std::nullopt;
    const std::uint64_t n = argument->to_u64();
    switch (token.op) {
      case FormulaOp::Factorial: work = factorial_bits_bound(n); break;
      case FormulaOp::Primorial: work = primorial_bits_lower_bound(n); break;
      default: work = fibonacci_bits_bound(n); break;
    }
  } else {
    std::optional<BigInt> left = charge_literal_work(cursor, depth + 1, limits);
    std::optional<BigInt> right = charge_literal_work(cursor, depth + 1, limits);
    if (token.op != FormulaOp::Power || !left || !right || left->bit_length() < 2 || !right->fits_u64() ||
        right->to_u64() > kMaxFormulaBits) {
      return std::nullopt;
    }
    work = power_bits_bound(*left, right->to_u64());
  }
  if (!limits.try_charge(work)) throw OverBudget{};
  return std::nullopt;
}

// The value's bit length must be allowed before it is computed, and its work paid for.
void reserve_value(FormulaLimits& limits, std::uint64_t bits) {
  if (bits > limits.max_bits() || !limits.try_charge(bits)) throw output_limit_error();
}

BigInt evaluate_binary(FormulaOp op, BigInt a, BigInt b, FormulaLimits& limits) {
  const std::uint64_t a_bits = a.bit_length();
  const std::uint64_t b_bits = b.bit_length();
  switch (op) {
    case FormulaOp::Add:
      if (std::max(a_bits, b_bits) + 1 > limits.max_bits()) throw output_limit_error();
      return a += b;
    case FormulaOp::Subtract:
      if (a < b) throw Error(kNegativeFormulaValue);
      return a -= b;
    case FormulaOp::Multiply:
      // A product with a one-word operand costs no more than a sum; only products of two big
      // numbers count as work.
      if (a_bits + b_bits > limits.max_bits()) throw output_limit_error();
      if (std::min(a_bits, b_bits) > 64) reserve_value(limits, a_bits + b_bits);
      return a *= b;
    default: {  // Power
      if (a_bits <= 1) return b.is_zero() ? BigInt(1) : a;  // 0^0 = 1, 1^b = 1, 0^b = 0
      if (!b.fits_u64() || b.to_u64() > kMaxFormulaBits) throw output_limit_error();
      const std::uint64_t exponent = b.to_u64();
      reserve_value(limits, power_bits_bound(a, exponent));
      if (a.trailing_zero_bits() == a_bits - 1) return BigInt(1) << ((a_bits - 1) * exponent);
      return BigInt::pow(a, exponent);
    }
  }
}

BigInt evaluate_family(FormulaOp op, std::uint64_t n, FormulaLimits& limits) {
  switch (op) {
    case FormulaOp::Factorial:
      reserve_value(limits, factorial_bits_bound(n));
      return range_product(2, n);
    case FormulaOp::Fibonacci:
      reserve_value(limits, fibonacci_bits_bound(n));
      return fibonacci_number(n);
    case FormulaOp::Lucas:
      reserve_value(limits, fibonacci_bits_bound(n));
      return lucas_number(n);
    default: {  // Primorial
      if (primorial_bits_lower_bound(n) > limits.max_bits()) throw output_limit_error();
      const std::vector<std::uint64_t> primes = primes_up_to(n);
      reserve_value(limits, product_bits_bound(primes));
      return product_of_list(primes);
    }
  }
}

BigInt evaluate(ByteCursor& cursor, std::uint64_t depth, FormulaLimits& limits) {
  FormulaToken token = read_formula_token(cursor, depth);
  if (is_literal(token.op)) return std::move(token.literal);
  if (is_unary(token.op)) {
    const BigInt argument = evaluate(cursor, depth + 1, limits);
    return evaluate_family(token.op, formula_argument_to_u64(argument, argument_bound(token.op)), limits);
  }
  BigInt left = evaluate(cursor, depth + 1, limits);
  BigInt right = evaluate(cursor, depth + 1, limits);
  return evaluate_binary(token.op, std::move(left), std::move(right), limits);
}

}  // namespace

std::uint64_t formula_argument_to_u64(const BigInt& value, std::uint64_t max) {
  if (!value.fits_u64() || value.to_u64() > max) throw Error(kFormulaArgumentTooLarge);
  return value.to_u64();
}

BigInt decode_formula(ByteCursor& cursor, std::uint64_t digit_room) {
  FormulaLimits limits(digit_room);
  {
    ByteCursor probe = cursor;
    FormulaLimits probe_limits = limits;
    try {
      charge_literal_work(probe, 0, probe_limits);
    } catch (const OverBudget&) {
      throw output_limit_error();
    } catch (const Error&) {
      // A malformed formula is reported by the evaluation, in the order it reads the bytes.
    }
  }
  return evaluate(cursor, 0, limits);
}

std::string decode_formula_payload(std::string_view payload, std::uint64_t limit) {
  const BinaryNumericHeader h = parse_binary_numeric_header(payload, kBinaryNumericFlagMask, limit);
  ByteCursor cursor{h.rest};
  BigInt value = decode_formula(cursor, limit - h.leading_zeros);
  if (!cursor.at_end()) throw Error(kTrailingFormulaData);
  const double digits_estimate =
      static_cast<double>(h.leading_zeros) + static_cast<double>(value.bit_length()) * kLog10Of2;
  if (digits_estimate > static_cast<double>(limit) + 1.0) throw output_limit_error();
  return render_number_text(h.flags, h.leading_zeros, std::move(value), limit);
}

}  // namespace corvale
