#include "codecs/written/decimal_scale.h"

#include "core/digits.h"
#include "core/error.h"
#include "core/zlib.h"

namespace corvale {

std::uint64_t count_trailing_decimal_zeros(std::uint64_t value, std::uint64_t cap) {
  if (value == 0) return cap;
  std::uint64_t zeros = 0;
  while (zeros < cap && value % 10 == 0) {
    value /= 10;
    ++zeros;
  }
  return zeros;
}

bool prefer_relative_counts(std::string_view absolute, std::string_view relative) {
  // Only a strictly smaller relative stream counts, so its measurement may give up there.
  const std::uint64_t absolute_size = deflate_compress_fast(absolute);
  return absolute_size > 0 && deflate_compress_fast_within(relative, absolute_size - 1).has_value();
}

namespace {

// d from the stored count, checked against the scale and the trailing zeros there are.
std::uint64_t dropped_digits(std::uint64_t trailing_zeros, std::uint64_t s, std::uint64_t x, bool relative) {
  std::uint64_t d = x;
  if (relative) {
    if (x > trailing_zeros) throw Error(kInvalidDecimalScale);
    d = trailing_zeros - x;
  }
  if (d > s || d > trailing_zeros) throw Error(kInvalidDecimalScale);
  return d;
}

}  // namespace

std::uint64_t undo_decimal_scale(std::uint64_t& magnitude, std::uint64_t s, std::uint64_t x, bool relative) {
  // A count beyond the scale fails whatever the value, so s caps the zeros worth counting.
  const std::uint64_t cap = relative ? s : (x < s ? x : s);
  const std::uint64_t d = dropped_digits(count_trailing_decimal_zeros(magnitude, cap), s, x, relative);
  if (magnitude != 0) magnitude /= kPowersOfTen[d];  // d <= 19: more zeros than that do not fit
  return s - d;
}

std::uint64_t undo_decimal_scale(std::string& digits, std::uint64_t s, std::uint64_t x, bool relative) {
  const bool zero = digits == "0";
  std::uint64_t zeros = s;
  if (!zero) {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '0') --i;
    zeros = digits.size() - i;
    if (zeros > s) zeros = s;
  }
  const std::uint64_t d = dropped_digits(zeros, s, x, relative);
  if (!zero) digits.resize(digits.size() - static_cast<std::size_t>(d));
  return s - d;
}

}  // namespace corvale
