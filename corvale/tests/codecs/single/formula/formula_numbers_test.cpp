#include "codecs/single/formula/formula_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace corvale {
namespace {

TEST(FormulaNumbers, RangeProductsMatchOneByOneProducts) {
  // Ranges on both sides of the 16-number split, empty ones, and ones starting at 0.
  struct Case { std::uint64_t lo, hi; };
  for (const Case& c : {Case{5, 4}, Case{0, 0}, Case{0, 30}, Case{1, 1}, Case{2, 17}, Case{2, 18}, Case{3, 19},
                        Case{7, 100}, Case{1000, 1200}}) {
    SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi);
    BigInt expected(1);
    for (std::uint64_t i = c.lo; i <= c.hi; ++i) expected *= i;
    EXPECT_EQ(range_product(c.lo, c.hi), expected);
  }
}

TEST(FormulaNumbers, RangeProductEndingAtTheLargestWordEnds) {
  const std::uint64_t top = UINT64_MAX;
  EXPECT_EQ(range_product(top, top), BigInt(top));
  EXPECT_EQ(range_product(top - 1, top), BigInt(top - 1) * BigInt(top));
  BigInt expected(1);
  for (std::uint64_t i = top - 40; i != 0; ++i) expected *= i;  // wraps to 0 after the top
  EXPECT_EQ(range_product(top - 40, top), expected);
}

TEST(FormulaNumbers, PrimesUpTo) {
  EXPECT_TRUE(primes_up_to(0).empty());
  EXPECT_TRUE(primes_up_to(1).empty());
  EXPECT_EQ(primes_up_to(2), (std::vector<std::uint64_t>{2}));
  EXPECT_EQ(primes_up_to(30), (std::vector<std::uint64_t>{2, 3, 5, 7, 11, 13, 17, 19, 23, 29}));
  EXPECT_EQ(primes_up_to(49).back(), 47u);  // a square is not prime
  EXPECT_EQ(primes_up_to(1'000'000).size(), 78'498u);
}

TEST(FormulaNumbers, ProductsOfListsAndPrimorials) {
  EXPECT_EQ(product_of_list({}), BigInt(1));
  std::vector<std::uint64_t> values;
  BigInt expected(1);
  for (std::uint64_t i = 0; i < 40; ++i) {  // past the 16-value split, with full-width values
    values.push_back(UINT64_MAX - 3 * i);
    expected *= values.back();
  }
  EXPECT_EQ(product_of_list(values), expected);
  EXPECT_EQ(primorial(0), BigInt(1));
  EXPECT_EQ(primorial(1), BigInt(1));
  EXPECT_EQ(primorial(2), BigInt(2));
  EXPECT_EQ(primorial(30), BigInt(6469693230u));
}

TEST(FormulaNumbers, FibonacciAndLucasFollowTheirRecurrences) {
  BigInt f0(0), f1(1);          // F(n), F(n + 1)
  BigInt l0(2), l1(1);          // L(n), L(n + 1)
  for (std::uint64_t n = 0; n <= 300; ++n) {
    SCOPED_TRACE(n);
    const auto pair = fibonacci_pair(n);
    ASSERT_EQ(pair.first, f0);
    ASSERT_EQ(pair.second, f1);
    ASSERT_EQ(fibonacci_number(n), f0);
    ASSERT_EQ(lucas_number(n), l0);
    BigInt f2 = f0 + f1, l2 = l0 + l1;
    f0 = std::move(f1), f1 = std::move(f2);
    l0 = std::move(l1), l1 = std::move(l2);
  }
}

TEST(FormulaNumbers, Log2FactorialIsCloseOnBothSidesOfTheSeries) {
  EXPECT_EQ(log2_factorial(0), 0.0);
  EXPECT_EQ(log2_factorial(1), 0.0);
  for (std::uint64_t n : {2u, 5u, 31u, 32u, 33u, 100u, 1000u}) {
    SCOPED_TRACE(n);
    double exact = 0.0;
    for (std::uint64_t k = 2; k <= n; ++k) exact += std::log2(static_cast<double>(k));
    EXPECT_NEAR(log2_factorial(n), exact, 1e-9 * (exact + 1));
  }
}

}  // namespace
}  // namespace corvale
