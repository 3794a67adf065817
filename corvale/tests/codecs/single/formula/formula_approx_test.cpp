#include "codecs/single/formula/formula_approx.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "codecs/single/formula/formula_numbers.h"

namespace corvale {
namespace {

// |approx - exact| < exact x 2^-120, compared exactly.
void expect_close(const Approx& approx, const BigInt& exact) {
  BigInt value = approx.mantissa;
  BigInt scaled_exact = exact;
  if (approx.exponent >= 0) {
    value <<= static_cast<std::size_t>(approx.exponent);
  } else {
    scaled_exact <<= static_cast<std::size_t>(-approx.exponent);
  }
  const BigInt error = (value - scaled_exact).abs();
  EXPECT_LT(error << 120, scaled_exact) << exact.bit_length();
}

TEST(FormulaApprox, ApproximationsStayCloseToTheValues) {
  for (std::uint64_t n : {100u, 1000u, 4097u, 100000u}) {
    SCOPED_TRACE(n);
    expect_close(approximate_range_product(2, n), range_product(2, n));
    expect_close(approximate_fibonacci(n), fibonacci_number(n));
    expect_close(approximate_lucas(n), lucas_number(n));
  }
  expect_close(approximate((BigInt(1) << 5000) - BigInt(1)), (BigInt(1) << 5000) - BigInt(1));
  expect_close(approximate_range_product(5, 4), BigInt(1));
}

// Whenever the test rules a quotient out, n minus every whole multiple of v is long: the search
// may skip only indices it would have dropped anyway.
TEST(FormulaApprox, RulesOutOnlyQuotientsFarFromWhole) {
  std::mt19937_64 random(7);
  for (std::uint64_t i : {100u, 2000u, 30000u}) {
    const BigInt v = fibonacci_number(i);
    const Approx approx = approximate_fibonacci(i);
    const std::size_t v_bits = v.bit_length();
    int ruled_out = 0, kept = 0;
    for (int trial = 0; trial < 400; ++trial) {
      const std::uint64_t K = 1 + random() % 70000;
      // Remainders from v's length down by 60 bits, so that quotients fall near and far from whole.
      const std::size_t r_bits = v_bits - random() % 60;
      BigInt r = (BigInt(random()) << (r_bits > 64 ? r_bits - 64 : 0)) >> (r_bits < 64 ? 64 - r_bits : 0);
      const BigInt n = K * v + r;
      const bool may_be_whole = quotient_may_be_whole(n, approx);
      // The nearest whole multiple's remainder, as the search computes it.
      BigInt q, unused;
      BigInt::div_rem(n + (v >> 1), v, q, unused);
      if (q <= BigInt(1)) q = BigInt(1);
      const BigInt rest = (n - q * v).abs();
      if (!may_be_whole) {
        ++ruled_out;
        EXPECT_GT(rest.bit_length() + 40, n.bit_length()) << "K " << K << " remainder bits " << r_bits;
      } else {
        ++kept;
      }
      if (r_bits + 25 < v_bits) {
        EXPECT_TRUE(may_be_whole) << "K " << K << " remainder bits " << r_bits;
      }
    }
    EXPECT_GT(ruled_out, 100);
    EXPECT_GT(kept, 10);
  }
}

TEST(FormulaApprox, QuotientsBelowOneCountFromOne) {
  const BigInt v = BigInt(1) << 100;
  EXPECT_FALSE(quotient_may_be_whole(v >> 1, approximate(v)));   // 1/2 is far from 1
  EXPECT_TRUE(quotient_may_be_whole(v - BigInt(1), approximate(v)));  // just below 1
  EXPECT_TRUE(quotient_may_be_whole(v * BigInt(3) + BigInt(12345), approximate(v)));
  EXPECT_FALSE(quotient_may_be_whole(v * BigInt(3) + (v >> 10), approximate(v)));
}

}  // namespace
}  // namespace corvale
