#pragma once
// ASCII decimal digits and the powers of ten that every 64-bit digit count and scale is built on.

#include <cstdint>

namespace corvale {

// One unsigned compare: anything below '0' wraps to a large value.
inline constexpr bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// 10^k for every k whose power fits 64 bits.
inline constexpr std::uint64_t kPowersOfTen[20] = {
    1ull,           10ull,           100ull,           1000ull,           10000ull,
    100000ull,      1000000ull,      10000000ull,      100000000ull,      1000000000ull,
    10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull, 100000000000000ull,
    1000000000000000ull, 10000000000000000ull, 100000000000000000ull, 1000000000000000000ull,
    10000000000000000000ull};

}  // namespace corvale
