#pragma once
// The numbers of a text, or of a table or log column, as the encoders collect them from the
// number scanner before they store them: every number's mantissa (a word, or a big integer past
// 64 bits), fraction digits, leading zeros, relative dropped-digit count, "-0" mark and exponent.
// A column of them is scaled to its decimal scale here too, and weighed before it is built.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/written/decimal_scale.h"
#include "codecs/written/written_number.h"
#include "core/bigint.h"
#include "core/count_list.h"
#include "core/integer_list.h"
#include "core/position_list.h"
#include "core/u128.h"
#include "core/varint.h"

namespace corvale {

struct CollectedNumbers {
  std::vector<std::int64_t> values;                    // 0 where the value is in wide
  std::vector<std::pair<std::uint64_t, BigInt>> wide;  // (index, value) of values past 64 bits
  CountList fraction_digits;
  std::uint64_t max_fraction_digits = 0;
  std::string leading_zeros;  // one varint a number
  bool any_leading_zeros = false;
  std::string relative_counts;  // one varint a number
  PositionList minus_zeros;
  std::vector<ExponentForm> forms;
  std::vector<std::string_view> exponent_digits;  // of the numbers that have an exponent

  std::uint64_t size() const { return values.size(); }
  bool any_exponent() const { return !exponent_digits.empty(); }

  void reserve(std::size_t n);
  // Adds the next number: its token and the parts scan_written_number took from it.
  void add(std::string_view token, const WrittenNumberParts& parts) {
    const std::uint64_t index = values.size();
    put_varint(parts.leading_zeros, leading_zeros);
    any_leading_zeros |= parts.leading_zeros != 0;
    const std::uint64_t f = parts.fraction_digits.size();
    fraction_digits.push_back(f);
    max_fraction_digits = std::max(max_fraction_digits, f);
    put_varint(relative_dropped_digits(parts), relative_counts);
    if (parts.value_fits() && parts.value <= static_cast<std::uint64_t>(INT64_MAX)) {
      const auto v = static_cast<std::int64_t>(parts.value);
      values.push_back(parts.negative ? -v : v);
      word_bits |= parts.value;
      if (parts.negative && v == 0) minus_zeros.push_back(index);
    } else {
      add_wide(index, token);
    }
    forms.push_back(parts.exponent_form);
    if (parts.exponent_form != ExponentForm::kNone) exponent_digits.push_back(parts.exponent_digits);
  }

  // Numbers j, j + C, ..., each scaled to s fraction digits (s at least each one's fraction
  // digits): 64-bit words while the scaled values fit, big integers once one does not.
  IntegerList scaled_column(std::uint64_t j, std::uint64_t C, std::uint64_t s) const;
  // The bytes those scaled values take past 64 bits (v x 10^d has at least bits(v) + 3.32 d
  // bits), worked out before any is made: what a decoder's magnitude budget is charged for them
  // at the least.
  u128 scaled_magnitude_floor(std::uint64_t j, std::uint64_t C, std::uint64_t s) const;
  // Lets the values go once the last column is scaled.
  void release_values();

 private:
  void add_wide(std::uint64_t index, std::string_view token);

  std::uint64_t word_bits = 0;  // every bit set in some word value's magnitude
};

}  // namespace corvale
