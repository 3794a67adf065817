#pragma once
// ASCII decimal digits: the powers of ten that every 64-bit digit count and scale is built on,
// the count of a word's digits, and the one writer of a word's digits.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// Numbers of up to this many decimal digits always fit a 64-bit word.
inline constexpr std::size_t kWordDecimalDigits = 18;

// How many decimal digits v has (1 for 0).
inline unsigned decimal_digit_count(std::uint64_t v) {
  // v | 1 has the same digits (no power of ten is odd but 1) and a bit length of at least 1;
  // 1233 / 4096 is just above log10 2, so t is the digit count or one more.
  const std::uint64_t odd = v | 1;
  const unsigned t = static_cast<unsigned>((64 - std::countl_zero(odd)) * 1233) >> 12;
  return t + 1 - (odd < kPowersOfTen[t] ? 1 : 0);
}

static_assert(std::endian::native == std::endian::little, "digits are packed a byte each, first digit lowest");

// Each number below 1000 as three digits padded with zeros, first digit in the lowest byte, and
// its count of significant digits in the fourth byte.
inline constexpr std::array<std::uint32_t, 1000> kThreeDigits = [] {
  std::array<std::uint32_t, 1000> t{};
  for (std::uint32_t v = 0; v < 1000; ++v) {
    const std::uint32_t length = v >= 100 ? 3 : v >= 10 ? 2 : 1;
    t[v] = ('0' + v / 100) | ('0' + v / 10 % 10) << 8 | ('0' + v % 10) << 16 | length << 24;
  }
  return t;
}();

// Bytes that write_decimal and the writers built on it may put down past their end.
inline constexpr std::size_t kDigitSlack = 8;

namespace detail {
// The six digits of v < 10^6, '0'-padded, one byte each in text order, and how many of them
// are significant: two look-ups and no branch on the value.
struct SixDigits {
  std::uint64_t bytes;
  unsigned length;
};
inline SixDigits six_digits(std::uint64_t v) {
  const std::uint64_t high = v / 1000;
  const std::uint32_t h = kThreeDigits[high];
  const std::uint32_t l = kThreeDigits[v - high * 1000];
  return {(h & 0xFFFFFF) | static_cast<std::uint64_t>(l & 0xFFFFFF) << 24, high != 0 ? 3 + (h >> 24) : l >> 24};
}

// The significant digits of d at p, in one store of eight bytes; returns their end.
inline char* put_significant(char* p, SixDigits d) {
  const std::uint64_t bytes = d.bytes >> (8 * (6 - d.length));
  std::memcpy(p, &bytes, 8);
  return p + d.length;
}

// All six digits of d at p, in one store of eight bytes.
inline char* put_all_six(char* p, SixDigits d) {
  std::memcpy(p, &d.bytes, 8);
  return p + 6;
}

// The digits of v < 10^12 at p.
inline char* put_up_to_twelve(std::uint64_t v, char* p) {
  if (v < 1000) {
    // Most numbers of most texts: one look-up and one store.
    const std::uint32_t d = kThreeDigits[v];
    const unsigned length = d >> 24;
    const std::uint32_t bytes = (d & 0xFFFFFF) >> (8 * (3 - length));
    std::memcpy(p, &bytes, 4);
    return p + length;
  }
  if (v < 1000000) return put_significant(p, six_digits(v));
  const std::uint64_t high = v / 1000000;
  p = put_significant(p, six_digits(high));
  return put_all_six(p, six_digits(v - high * 1000000));
}
}  // namespace detail

// Writes the decimal digits of v at p, and up to kDigitSlack bytes of no meaning past them;
// returns the end of the digits. It branches on the value, not on its digit count: in texts
// whose numbers vary in length that measured a quarter faster, as the branch is known sooner.
inline char* write_decimal(std::uint64_t v, char* p) {
  constexpr std::uint64_t k12 = 1000000000000;
  if (v < k12) return detail::put_up_to_twelve(v, p);
  const std::uint64_t top = v / k12;
  const std::uint64_t rest = v - top * k12;
  const std::uint64_t middle = rest / 1000000;
  p = detail::put_up_to_twelve(top, p);
  p = detail::put_all_six(p, detail::six_digits(middle));
  return detail::put_all_six(p, detail::six_digits(rest - middle * 1000000));
}

}  // namespace corvale
