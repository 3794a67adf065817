#pragma once
// The one road from written decimal digits to a big integer, and the quick road from a 64-bit
// magnitude back to its digits.

#include <cstdint>
#include <cstring>
#include <string_view>

#include "codecs/bigint.h"

namespace corvale {

inline constexpr const char kExpectedDecimalDigits[] = "Expected unsigned decimal digits";

// digits: one or more ASCII digits, leading zeros allowed; nothing else (no sign, blank or
// separator). Throws Error otherwise.
BigInt parse_decimal_digits(std::string_view digits);

namespace detail {
inline constexpr std::uint64_t kDecimalLengthPowers[20] = {
    1ull,           10ull,           100ull,           1000ull,           10000ull,
    100000ull,      1000000ull,      10000000ull,      100000000ull,      1000000000ull,
    10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull, 100000000000000ull,
    1000000000000000ull, 10000000000000000ull, 100000000000000000ull, 1000000000000000000ull,
    10000000000000000000ull};
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
}  // namespace detail

// How many decimal digits v has (1 for 0).
inline unsigned decimal_length(std::uint64_t v) {
  // v | 1 has the same digits (no power of ten is odd but 1) and a bit length of at least 1;
  // 1233 / 4096 is just above log10 2, so t is the digit count or one more.
  const std::uint64_t odd = v | 1;
  const unsigned t = static_cast<unsigned>((64 - __builtin_clzll(odd)) * 1233) >> 12;
  return t + 1 - (odd < detail::kDecimalLengthPowers[t] ? 1 : 0);
}

// Writes the decimal_length(v) digits of v ending just before end, two at a time; returns where
// they start.
inline char* write_decimal_backwards(std::uint64_t v, char* end) {
  while (v >= 100) {
    const auto pair = static_cast<unsigned>(v % 100);
    v /= 100;
    end -= 2;
    std::memcpy(end, detail::kDigitPairs + 2 * pair, 2);
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, detail::kDigitPairs + 2 * v, 2);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

}  // namespace corvale
