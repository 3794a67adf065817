#pragma once
// A decoded number as the pieces it is written back from (sign, leading zeros, the magnitude's
// digits with their decimal point, the exponent's marker, zeros and digits), and their writer:
// the one rendering of a number for number texts and numeric table and log columns.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "codecs/written/compact_values.h"
#include "codecs/written/written_number.h"
#include "core/decimal.h"
#include "core/magnitude.h"
#include "core/text_buffer.h"
#include "core/u128.h"

namespace corvale {

static_assert(kTextSlack >= kDigitSlack);

// count '0' bytes at p; returns their end.
inline char* put_zeros(char* p, std::uint64_t count) {
  if (count <= 8) {
    std::memcpy(p, "00000000", 8);
    return p + count;
  }
  return std::fill_n(p, static_cast<std::size_t>(count), '0');
}

// The magnitude of a value: a word whose digits are written straight into the text, or the
// digits of a big integer, made once when its column was read.
struct Magnitude {
  std::uint64_t word;
  std::uint64_t digit_count;
  std::string_view digits;  // of a big integer; empty for a word
  bool big;

  static Magnitude of(const CompactValues& values, std::size_t i) {
    if (values.is_big(i)) {
      const std::string& digits = values.big_digits(i);
      return {0, digits.size(), digits, true};
    }
    return of_word(values.word(i));
  }
  static Magnitude of_word(std::int64_t v) {
    const std::uint64_t word = magnitude_of(v);
    return {word, decimal_digit_count(word), {}, false};
  }
};

// One number as the pieces it is written in.
struct NumberPieces {
  bool minus = false;
  std::uint64_t zeros = 0;
  Magnitude mantissa;
  std::uint64_t fraction_digits = 0;
  std::string_view marker;  // of the exponent; empty without one
  std::uint64_t exponent_zeros;
  Magnitude exponent;

  u128 length() const {
    u128 total = static_cast<u128>(minus) + zeros + fixed_point_length(mantissa.digit_count, fraction_digits);
    if (!marker.empty()) total += marker.size() + static_cast<u128>(exponent_zeros) + exponent.digit_count;
    return total;
  }
  // Whether what write() puts down reads back as one number: digits, and digits after any marker.
  bool well_formed() const { return mantissa.digit_count != 0 && (marker.empty() || exponent.digit_count != 0); }
  // Writes length() bytes at p, and up to kTextSlack bytes of no meaning past them.
  char* write(char* p) const {
    *p = '-';
    p = put_zeros(p + minus, zeros);
    p = mantissa.big ? write_fixed_point(p, mantissa.digits, fraction_digits)
                     : write_fixed_point(p, mantissa.word, static_cast<unsigned>(mantissa.digit_count), fraction_digits);
    if (marker.empty()) return p;
    std::memcpy(p, marker.data(), 2);
    p = put_zeros(p + marker.size(), exponent_zeros);
    if (exponent.big) return std::copy(exponent.digits.begin(), exponent.digits.end(), p);
    return write_decimal(exponent.word, p);
  }
};

}  // namespace corvale
