#include "codecs/single/formula/formula_approx.h"

#include <bit>
#include <utility>

#include "codecs/single/formula/formula_numbers.h"

namespace corvale {
namespace {

constexpr std::int64_t kMantissaBits = 192;
constexpr std::uint64_t kShortRun = 16;
// Fixed-point fraction bits of the quotient, and the distance from a whole number that counts.
constexpr std::int64_t kFractionBits = 64;
constexpr std::uint64_t kWholeTolerance = std::uint64_t{1} << (kFractionBits - 20);
constexpr std::size_t kMaxQuotientBits = kFractionBits + 17;

Approx normalized(BigInt mantissa, std::int64_t exponent) {
  const std::int64_t bits = static_cast<std::int64_t>(mantissa.bit_length());
  if (bits > kMantissaBits) {
    mantissa >>= static_cast<std::size_t>(bits - kMantissaBits);
    exponent += bits - kMantissaBits;
  }
  return Approx{std::move(mantissa), exponent};
}

Approx multiply(const Approx& a, const Approx& b) { return normalized(a.mantissa * b.mantissa, a.exponent + b.exponent); }

Approx power(const Approx& base, std::uint64_t n) {
  Approx result{BigInt(1), 0};
  for (int bit = std::bit_width(n) - 1; bit >= 0; --bit) {
    result = normalized(result.mantissa.square(), 2 * result.exponent);
    if ((n >> bit) & 1) result = multiply(result, base);
  }
  return result;
}

// floor(sqrt(5) x 2^kMantissaBits)
BigInt scaled_sqrt5() { return BigInt::root(BigInt(5) << static_cast<std::size_t>(2 * kMantissaBits), 2); }

Approx golden_ratio() {
  return normalized((BigInt(1) << static_cast<std::size_t>(kMantissaBits)) + scaled_sqrt5(), -(kMantissaBits + 1));
}

}  // namespace

Approx approximate(const BigInt& x) { return normalized(x, 0); }

Approx approximate_range_product(std::uint64_t lo, std::uint64_t hi) {
  if (hi >= lo && hi - lo >= kShortRun) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    return multiply(approximate_range_product(lo, mid), approximate_range_product(mid + 1, hi));
  }
  return approximate(range_product(lo, hi));
}

Approx approximate_fibonacci(std::uint64_t n) {
  BigInt inverse_sqrt5, unused;  // sqrt(5) / 5 = 1 / sqrt(5)
  BigInt::div_rem(scaled_sqrt5(), BigInt(5), inverse_sqrt5, unused);
  return multiply(power(golden_ratio(), n), normalized(std::move(inverse_sqrt5), -kMantissaBits));
}

Approx approximate_lucas(std::uint64_t n) { return power(golden_ratio(), n); }

bool quotient_may_be_whole(const BigInt& n, const Approx& v) {
  const Approx x = approximate(n);
  // n / v in fixed point: x.mantissa / v.mantissa x 2^(shift - kFractionBits).
  const std::int64_t shift = x.exponent - v.exponent + kFractionBits;
  if (shift > 4 * kMantissaBits || shift < -4 * kMantissaBits) return true;  // far off: not for this test to judge
  BigInt numerator = x.mantissa;
  BigInt denominator = v.mantissa;
  if (shift >= 0) {
    numerator <<= static_cast<std::size_t>(shift);
  } else {
    denominator <<= static_cast<std::size_t>(-shift);
  }
  BigInt quotient, remainder;
  BigInt::div_rem(numerator, denominator, quotient, remainder);
  if (quotient.bit_length() > kMaxQuotientBits) return true;
  const std::uint64_t fraction = quotient.low_u64();
  const bool below_one = quotient.bit_length() <= static_cast<std::size_t>(kFractionBits);
  // The nearest positive integer: the one below unless the fraction is past one half or there is none.
  const std::uint64_t distance = (fraction >> 63) || below_one ? 0 - fraction : fraction;
  return distance < kWholeTolerance;
}

}  // namespace corvale
