#pragma once
// Family values known to about 190 significant bits at a tiny fraction of their cost. The
// formula search computes a family value only where its estimate in doubles says the number
// may be a whole multiple of it; for numbers of millions of bits a double cannot tell, and one
// value costs seconds, so these approximations rule most such indices out first.

#include <cstdint>

#include "core/bigint.h"

namespace corvale {

// mantissa x 2^exponent, the mantissa cut to a fixed number of bits after every step, so that
// each product adds a relative error of at most 2^-190.
struct Approx {
  BigInt mantissa;
  std::int64_t exponent = 0;
};

Approx approximate(const BigInt& x);
Approx approximate_range_product(std::uint64_t lo, std::uint64_t hi);
// phi^n / sqrt(5) and phi^n: F(n) and L(n) up to a difference below 1.
Approx approximate_fibonacci(std::uint64_t n);
Approx approximate_lucas(std::uint64_t n);

// False only when n / v, for any v that the approximation may stand for, lies at least 2^-20
// away from every positive integer and below 2^17: then n minus the nearest whole multiple of
// v has at most 39 bits fewer than n. v must be at least 2^46.
bool quotient_may_be_whole(const BigInt& n, const Approx& v);

}  // namespace corvale
