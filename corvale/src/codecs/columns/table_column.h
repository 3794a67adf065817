#pragma once
// The column codec that tables and logs share: one list of cells (one field of every data row,
// or of every line of a log group) stored as one self-delimiting body of whichever kind deflates
// smallest: numbers, a template around digit runs, a dictionary or the raw bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/columns/column_source.h"
#include "codecs/columns/decoded_column.h"
#include "codecs/columns/column_class.h"
#include "core/magnitude_budget.h"
#include "core/position_list.h"
#include "core/varint.h"

namespace corvale {

// The first byte of a column: bits 0-3 its kind. Bits 4-5 are the table archive's quoting marks
// and bits 6-7 are never written; the encoder leaves all four clear.
inline constexpr ColumnKind kColumnNumeric = 0;
inline constexpr ColumnKind kColumnTemplate = 1;  // constant text parts around the digit runs
inline constexpr ColumnKind kColumnDictionary = 2;
inline constexpr ColumnKind kColumnRaw = 3;
inline constexpr ColumnKind kColumnTemplateSlots = 4;  // each text part chosen from a list
inline constexpr ColumnKind kColumnKindMask = 0x0F;

// Flag bits of a numeric column body.
inline constexpr std::uint8_t kNumericLeadingZeros = 0x01;
inline constexpr std::uint8_t kNumericMinusZeros = 0x02;
inline constexpr std::uint8_t kNumericScale = 0x04;
inline constexpr std::uint8_t kNumericRelativeCounts = 0x08;
inline constexpr std::uint8_t kNumericEmptyCells = 0x10;
inline constexpr std::uint8_t kNumericExponents = 0x20;
// The flag of a template column body.
inline constexpr std::uint8_t kTemplateEmptyCells = 0x10;

inline constexpr const char kInvalidColumnKind[] = "Invalid column kind";
inline constexpr const char kInvalidNumericColumnFlags[] = "Invalid numeric column flags";
inline constexpr const char kNumericColumnWithoutValues[] = "Numeric column without values";
inline constexpr const char kInvalidColumnScale[] = "Invalid column scale";
inline constexpr const char kInvalidMinusZeroPosition[] = "Invalid -0 position";
inline constexpr const char kInvalidTemplateColumnFlags[] = "Invalid template column flags";
inline constexpr const char kTemplateColumnWithoutValues[] = "Template column without values";
inline constexpr const char kInvalidTemplate[] = "Invalid template";
inline constexpr const char kInvalidTemplatePart[] = "Invalid template part";
inline constexpr const char kInvalidTextSlotSize[] = "Invalid text slot size";
inline constexpr const char kInvalidTextSlotIndex[] = "Invalid text slot index";
inline constexpr const char kNegativeTemplateDigits[] = "Negative template digits";
inline constexpr const char kInvalidTemplateZerosMarker[] = "Invalid template zeros marker";
inline constexpr const char kInvalidDictionarySize[] = "Invalid dictionary size";
inline constexpr const char kInvalidDictionaryIndex[] = "Invalid dictionary index";
inline constexpr const char kInvalidPosition[] = "Invalid position";
inline constexpr const char kRepeatedPosition[] = "Repeated position";

// The position lists of tables: empty cells, "-0" values, quoted rows.
inline PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit) {
  return read_position_list(cursor, limit, {kRepeatedPosition, kInvalidPosition});
}
inline PositionStream read_position_stream(ByteCursor& cursor, std::uint64_t limit) {
  return PositionStream(cursor, limit, {kRepeatedPosition, kInvalidPosition});
}

// The column's best encoding, its kind byte first. Throws Error only when a number column or a
// deflate measurement fails.
std::string encode_table_column(const std::vector<std::string_view>& cells);
// The same for cells whose class is already known (table recognition has classified them), in
// a payload whose decoder charges big numbers to budget: a candidate its decoder could not
// afford is not offered, and the chosen one's numbers are charged to budget; none longer than
// max_bytes is offered either (the raw copy, at most 1 + 2 x the cells' bytes + one byte a
// cell, always is).
std::string encode_table_column(const std::vector<std::string_view>& cells, ColumnClass column_class,
                                MagnitudeBudget& budget, std::uint64_t max_bytes);

// The candidates encode_table_column weighs, each with its kind byte first: the one of the
// column's class (numeric for a numeric column; kind 1 for a template column, kind 4 with text
// slots for one of the same shape), then the dictionary, then the raw copy.
std::string encode_numeric_candidate(const std::vector<std::string_view>& cells);
std::string encode_template_candidate(const std::vector<std::string_view>& cells, bool with_slots);
std::string encode_dictionary_candidate(const std::vector<std::string_view>& cells);
std::string encode_raw_candidate(const std::vector<std::string_view>& cells);

// Reads a whole column body as open_table_column opens it: its cells rendered at once.
DecodedColumn decode_table_column(ByteCursor& cursor, ColumnKind kind, std::uint64_t rows, std::uint64_t limit,
                                  std::uint64_t room, MagnitudeBudget& budget);

// Appends the m digit fields of a template body; digit_runs holds every value's m runs, value
// after value. Returns false when out would grow past max_bytes. Throws Error when a number
// column fails.
bool encode_template_body(const std::vector<std::string_view>& digit_runs, std::size_t m, std::string& out,
                          std::uint64_t max_bytes);

}  // namespace corvale
