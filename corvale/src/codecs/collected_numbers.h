#pragma once
// The numbers of a text, or of a table or log column, as the encoders collect them from the
// number scanner before they store them: every number's mantissa (a word, or a big integer past
// 64 bits), fraction digits, leading zeros, relative dropped-digit count, "-0" mark and exponent.
// A column of them is scaled to its decimal scale here too, and weighed before it is built.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/bigint.h"
#include "codecs/count_list.h"
#include "codecs/integer_list.h"
#include "codecs/position_list.h"
#include "codecs/written_number.h"

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
  void add(std::string_view token, const WrittenNumberParts& parts);

  // Numbers j, j + C, ..., each scaled to s fraction digits (s at least each one's fraction
  // digits): 64-bit words while the scaled values fit, big integers once one does not.
  IntegerList scaled_column(std::uint64_t j, std::uint64_t C, std::uint64_t s) const;
  // The bytes those scaled values take past 64 bits (v x 10^d has at least bits(v) + 3.32 d
  // bits), worked out before any is made: what a decoder's magnitude budget is charged for them
  // at the least.
  unsigned __int128 scaled_magnitude_floor(std::uint64_t j, std::uint64_t C, std::uint64_t s) const;
  // Lets the values go once the last column is scaled.
  void release_values();
};

}  // namespace corvale
