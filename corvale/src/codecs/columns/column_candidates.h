#pragma once
// The candidates a table column's encoder weighs, each appended to out with its kind byte first.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/digits.h"

namespace corvale {

void append_dictionary_candidate(const std::vector<std::string_view>& cells, std::string& out);
void append_raw_candidate(const std::vector<std::string_view>& cells, std::string& out);

// Appends the numeric candidate of cells to out; false, with out left as it may be, when it
// would take more than max_bytes or its numbers more than magnitude_room bytes of magnitude
// (weighed from their lengths before any is built: one value with a hundred thousand fraction
// digits would scale every '1' of its column to a hundred-thousand-digit number). wide: its
// decoder may build big integers.
bool append_numeric_candidate(const std::vector<std::string_view>& cells, std::string& out, std::uint64_t max_bytes,
                              std::uint64_t magnitude_room, bool& wide);

// Appends the template candidate of cells (kind 4 with_slots, else kind 1) to out; false when it
// would take more than max_bytes or its digit runs more than magnitude_room bytes of magnitude.
// wide: its decoder may build big integers (a run of 19 digits or more).
bool append_template_candidate(const std::vector<std::string_view>& cells, bool with_slots, std::string& out,
                               std::uint64_t max_bytes, std::uint64_t magnitude_room, bool& wide);

// ---- What the numbers of a column cost its decoder ----

// A number of D significant digits has more than (D - 1) log2(10) bits.
inline std::uint64_t least_bytes_of_digits(std::uint64_t significant_digits) {
  if (significant_digits <= kWordDecimalDigits) return 0;
  return ((significant_digits - 1) * 3321 / 1000 + 1 + 7) / 8;
}

inline std::uint64_t significant_digits(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? 0 : digits.size() - first;
}

}  // namespace corvale
