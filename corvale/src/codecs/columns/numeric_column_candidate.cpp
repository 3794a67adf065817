#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "codecs/columns/column_candidates.h"
#include "codecs/columns/table_column.h"
#include "codecs/numbers/number_column.h"
#include "codecs/written/collected_numbers.h"
#include "codecs/written/decimal_scale.h"
#include "codecs/written/exponent_column.h"
#include "codecs/written/written_number.h"
#include "core/output_budget.h"
#include "core/saturating.h"

namespace corvale {

bool append_numeric_candidate(const std::vector<std::string_view>& cells, std::string& out, std::uint64_t max_bytes,
                              std::uint64_t magnitude_room, bool& wide) {
  // One pass takes every cell apart; what depends on the column's scale s waits for the second.
  // Every list is sized once for all the cells: a column of short numbers then costs no copies
  // of lists outgrowing their room.
  const std::size_t rows = cells.size();
  PositionList empty;
  CollectedNumbers numbers;  // the non-empty cells only
  numbers.reserve(rows);
  std::uint64_t exponent_magnitudes = 0;
  for (std::size_t r = 0; r < rows; ++r) {
    if (cells[r].empty()) {
      empty.push_back(r);
      continue;
    }
    const WrittenNumberParts parts = split_written_number_parts(cells[r]);
    numbers.add(cells[r], parts);
    if (parts.exponent_form != ExponentForm::kNone) {
      exponent_magnitudes =
          saturating_add(exponent_magnitudes, least_bytes_of_digits(significant_digits(parts.exponent_digits)));
    }
  }
  const std::uint64_t n = numbers.size();
  const std::uint64_t s = numbers.max_fraction_digits;
  if (numbers.scaled_magnitude_floor(0, 1, s) + exponent_magnitudes > magnitude_room) return false;
  IntegerList values = numbers.scaled_column(0, 1, s);
  numbers.release_values();

  std::uint8_t flags = 0;
  out.push_back(static_cast<char>(kColumnNumeric));
  out.push_back(0);  // the flags, known at the end
  if (!empty.empty()) {
    flags |= kNumericEmptyCells;
    write_position_list(empty, out);
  }
  if (s > 0) {
    flags |= kNumericScale;
    write_varint_u64(s, out);
  }
  // Values near 2^63 fit in words, but their differences may not.
  wide = !stays_in_words(values);
  const std::optional<std::string> column = encode_number_column(std::move(values), room_under_limit(out.size(), max_bytes));
  if (!column) return false;
  out += *column;
  if (numbers.any_leading_zeros) {
    flags |= kNumericLeadingZeros;
    out += numbers.leading_zeros;
  }
  if (!numbers.minus_zeros.empty()) {
    flags |= kNumericMinusZeros;
    write_position_list(numbers.minus_zeros, out);
  }
  if (s > 0) {
    std::string absolute;
    for (std::uint64_t i = 0; i < n; ++i) put_varint(s - numbers.fraction_digits[i], absolute);
    if (prefer_relative_counts(absolute, numbers.relative_counts)) {
      flags |= kNumericRelativeCounts;
      out += numbers.relative_counts;
    } else {
      out += absolute;
    }
  }
  if (numbers.any_exponent()) {
    const std::vector<std::string_view>& exponent_digits = numbers.exponent_digits;
    flags |= kNumericExponents;
    if (!encode_digit_string_column(numbers.forms, exponent_digits, out, room_under_limit(out.size(), max_bytes))) {
      return false;
    }
    wide = wide || std::any_of(exponent_digits.begin(), exponent_digits.end(), [](std::string_view digits) {
      return significant_digits(digits) > kWordDecimalDigits;
    });
  }
  out[1] = static_cast<char>(flags);
  return out.size() <= max_bytes;
}

}  // namespace corvale
