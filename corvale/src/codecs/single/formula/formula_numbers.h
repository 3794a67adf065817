#pragma once
// The number families of the formula codec, shared by its evaluator and its search: products of
// ranges (factorials), primes and primorials, Fibonacci and Lucas numbers.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/bigint.h"

namespace corvale {

// lo x (lo + 1) x ... x hi; 1 when hi < lo.
BigInt range_product(std::uint64_t lo, std::uint64_t hi);

// Every prime <= n in increasing order; empty when n < 2. Takes n + 1 bytes of memory.
std::vector<std::uint64_t> primes_up_to(std::uint64_t n);

// The product of values; 1 for none.
BigInt product_of_list(std::span<const std::uint64_t> values);

// The product of every prime <= n (1 for n < 2).
BigInt primorial(std::uint64_t n);

// (F(n), F(n + 1)), with F(0) = 0, F(1) = 1.
std::pair<BigInt, BigInt> fibonacci_pair(std::uint64_t n);
BigInt fibonacci_number(std::uint64_t n);
// L(n) = 2 F(n + 1) - F(n), so L(0) = 2 and L(1) = 1.
BigInt lucas_number(std::uint64_t n);

// An estimate of log2(n!): Stirling's series from 32 on, an exact sum of logarithms below.
double log2_factorial(std::uint64_t n);

}  // namespace corvale
