#pragma once
// Size arithmetic that sticks at the largest value instead of wrapping, so that a hostile count
// can only make a bound larger and is then refused by the budget it is checked against.

#include <cstdint>
#include <limits>

namespace corvale {

inline constexpr std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  return a > kMax - b ? kMax : a + b;
}

inline constexpr std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  return b != 0 && a > kMax / b ? kMax : a * b;
}

}  // namespace corvale
