#include "codecs/columns/column_source.h"

#include <algorithm>
#include <cstring>

#include "codecs/columns/table_column.h"
#include "core/error.h"
#include "core/u128.h"

namespace corvale {

std::unique_ptr<ColumnSource> open_table_column(ByteCursor& cursor, ColumnKind kind, std::uint64_t rows,
                                                std::uint64_t limit, std::uint64_t room, MagnitudeBudget& budget) {
  switch (kind) {
    case kColumnDictionary:
      return open_dictionary_column(cursor, rows, room);
    case kColumnRaw:
      return open_raw_column(cursor, rows, room);
    case kColumnNumeric:
      return open_numeric_column(cursor, rows, limit, room, budget);
    case kColumnTemplate:
      return open_template_column(cursor, rows, room, false, budget);
    case kColumnTemplateSlots:
      return open_template_column(cursor, rows, room, true, budget);
    default:
      throw Error(kInvalidColumnKind);
  }
}

std::uint64_t range_rows(std::uint64_t rows, std::uint64_t cell_bytes) {
  constexpr std::uint64_t kRangeRows = 1 << 12;
  constexpr std::uint64_t kRangeBytes = 256 << 10;
  if (cell_bytes <= kRangeBytes) return std::min(std::max<std::uint64_t>(rows, 1), kRangeRows);
  const u128 fitting = static_cast<u128>(rows) * kRangeBytes / cell_bytes;
  return static_cast<std::uint64_t>(std::clamp<u128>(fitting, 1, kRangeRows));
}

bool holds_any_of(std::string_view text, std::string_view bytes) {
  for (char c : bytes) {
    if (std::memchr(text.data(), c, text.size()) != nullptr) return true;
  }
  return false;
}

}  // namespace corvale
