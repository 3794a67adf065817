#pragma once
// Decimal scales: a column of decimals stored as integers counting units of 10^-s (s the most
// fraction digits in the column), with each number's count of appended digits kept beside it,
// either as the count d itself (absolute) or as what is left of the stored value's trailing
// zeros once d is taken off (relative), which is 0 wherever the written number ends in no '0'.

#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/written/written_number.h"

namespace corvale {

inline constexpr const char kInvalidDecimalScale[] = "Invalid decimal scale";

// The trailing decimal zeros of value, at most cap; a zero value has cap of them.
std::uint64_t count_trailing_decimal_zeros(std::uint64_t value, std::uint64_t cap);

// The relative count of a written number: the stored value's trailing zeros (at most the scale)
// less the d zeros appended to it, which leaves those of the written digits, at most f. Counted
// on the text, so a number of a million digits costs no division.
inline std::uint64_t relative_dropped_digits(const WrittenNumberParts& parts) {
  const std::uint64_t f = parts.fraction_digits.size();
  const std::uint64_t zeros = parts.trailing_zeros;
  return zeros < f ? zeros : f;
}

// Whether the relative list of counts is the one to store: only when it deflates strictly
// smaller than the absolute list. Throws Error when deflate fails.
bool prefer_relative_counts(std::string_view absolute, std::string_view relative);

// The fraction digits of a stored value under scale s, given its stored count x (relative or
// absolute); the magnitude is divided by the 10^d appended to it. Throws "Invalid decimal scale".
std::uint64_t undo_decimal_scale(std::uint64_t& magnitude, std::uint64_t s, std::uint64_t x, bool relative);
// The same on a magnitude's decimal digits ("0" for zero), from which the d digits are cut: a
// big value is written in decimal once, and its trailing zeros are read off those digits.
std::uint64_t undo_decimal_scale(std::string& digits, std::uint64_t s, std::uint64_t x, bool relative);

}  // namespace corvale
