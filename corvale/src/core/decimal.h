#pragma once
// The one road from written decimal digits to a big integer, and the quick road from a 64-bit
// magnitude back to its digits.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/bigint.h"
#include "core/digits.h"

namespace corvale {

inline constexpr const char kExpectedDecimalDigits[] = "Expected unsigned decimal digits";

// digits: one or more ASCII digits, leading zeros allowed; nothing else (no sign, blank or
// separator). Throws Error otherwise.
BigInt parse_decimal_digits(std::string_view digits);

// How many decimal digits v has (1 for 0).
inline unsigned decimal_digit_count(std::uint64_t v) {
  // v | 1 has the same digits (no power of ten is odd but 1) and a bit length of at least 1;
  // 1233 / 4096 is just above log10 2, so t is the digit count or one more.
  const std::uint64_t odd = v | 1;
  const unsigned t = static_cast<unsigned>((64 - __builtin_clzll(odd)) * 1233) >> 12;
  return t + 1 - (odd < kPowersOfTen[t] ? 1 : 0);
}

// Bytes that write_decimal_digits and the writers built on it may put down past their end.
inline constexpr std::size_t kDigitSlack = 8;

namespace detail {
static_assert(std::endian::native == std::endian::little, "digits are packed a byte each, first digit lowest");

// The eight digits of x < 10^8, '0'-padded, one byte each in text order: each step divides every
// lane of the word at once (by 10^4, then 100, then 10) with multiplications exact for the range.
inline std::uint64_t eight_digits(std::uint64_t x) {
  const std::uint64_t merged = x / 10000 | (x % 10000) << 32;
  const std::uint64_t hundreds_lanes = ((merged * 10486) >> 20) & 0x0000007F0000007Full;
  const std::uint64_t hundreds = ((merged - 100 * hundreds_lanes) << 16) + hundreds_lanes;
  std::uint64_t tens = ((hundreds * 103) >> 10) & 0x000F000F000F000Full;
  tens += (hundreds - 10 * tens) << 8;
  return tens + 0x3030303030303030ull;
}

// The last count (1 to 8) of the eight digits at p; returns the end.
inline char* put_digits(char* p, std::uint64_t digits, unsigned count) {
  digits >>= 8 * (8 - count);
  std::memcpy(p, &digits, 8);
  return p + count;
}
}  // namespace detail

// Writes the digit_count = decimal_digit_count(v) digits of v at p, and up to kDigitSlack bytes
// of no meaning past them; returns the end of the digits.
inline char* write_decimal_digits(std::uint64_t v, unsigned digit_count, char* p) {
  constexpr std::uint64_t k8 = 100000000;
  if (digit_count == 1) {  // the zeros and small counts that fill many texts
    *p = static_cast<char>('0' + v);
    return p + 1;
  }
  if (digit_count <= 8) return detail::put_digits(p, detail::eight_digits(v), digit_count);
  if (digit_count <= 16) {
    const std::uint64_t high = v / k8;
    p = detail::put_digits(p, detail::eight_digits(high), digit_count - 8);
    return detail::put_digits(p, detail::eight_digits(v - high * k8), 8);
  }
  const std::uint64_t top = v / (k8 * k8);
  const std::uint64_t rest = v - top * (k8 * k8);
  const std::uint64_t middle = rest / k8;
  p = detail::put_digits(p, detail::eight_digits(top), digit_count - 16);
  p = detail::put_digits(p, detail::eight_digits(middle), 8);
  return detail::put_digits(p, detail::eight_digits(rest - middle * k8), 8);
}

}  // namespace corvale
