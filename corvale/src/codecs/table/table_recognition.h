#pragma once
// Deciding whether a text is a delimited table (CSV, TSV and the like) and parsing it into its
// separator, records, quoted fields, line endings and header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/columns/column_class.h"

namespace corvale {

inline constexpr std::size_t kMinTableColumns = 2;
inline constexpr std::size_t kMaxTableColumns = 1024;

// The sum of the columns' scores.
unsigned score_table_columns(const std::vector<ColumnClass>& classes);

// Whether text is exactly one record of `columns` fields with no line ending after it, under the
// grammar of text with quotes: the shape a table's raw header line must have. Stops at the first
// field too many, so a long crafted line costs one walk and no memory.
bool header_line_matches(std::string_view text, char separator, std::size_t columns);

// One cell of a table with quotes: a range of the text, or of the table's own buffer of quoted
// contents whose doubled quotes were made single (offsets from the text's size on). Flat offsets
// keep a table of short cells near the size of its text.
struct CellRef {
  std::uint32_t offset;
  std::uint32_t length;
};

// A recognised table. It borrows the text it was recognised in, which must outlive it.
class ParsedTable {
 public:
  std::size_t row_count() const { return rows_; }
  std::size_t column_count() const { return columns_; }
  // The cells of one column, one a data row, into cells. Columns are cut in order, 0 first,
  // into the same vector: a table without quotes keeps no cell of its own, and each of its
  // columns starts one byte past where the one before ended, row by row.
  void cut_column(std::size_t column, std::vector<std::string_view>& cells) const;
  // Absent when the text holds no quote byte at all.
  bool has_quoted() const { return has_quoted_; }
  bool quoted(std::size_t row, std::size_t column) const {
    return has_quoted_ && quoted_[row * columns_ + column] != 0;
  }
  // The class of every column over the data rows, as the header decision found it.
  ColumnClass column_class(std::size_t column) const { return classes_[column]; }

  std::optional<std::string_view> header;  // the raw first record, without its line ending
  bool final_newline = false;
  bool crlf = false;
  char separator = ',';

 private:
  friend class TableBuilder;
  std::string_view text_;
  std::size_t data_start_ = 0;  // where the first data row begins, without quotes
  std::size_t rows_ = 0;
  std::string unescaped_;
  std::vector<CellRef> cells_;       // row by row, with quotes only
  std::vector<std::uint8_t> quoted_;  // one flag per cell when has_quoted_
  bool has_quoted_ = false;
  std::size_t columns_ = 0;
  std::vector<ColumnClass> classes_;
};

// The table in text, or nothing. Texts of 2 GiB or more are not taken as tables: the cells'
// offsets are 32-bit, and every road into a codec hands it far less.
std::optional<ParsedTable> detect_table(std::string_view text);

// The same answer as detect_table without keeping any cell: a decoder's final check on output
// of any size needs no memory beyond a few bytes per column.
bool is_table(std::string_view text);

}  // namespace corvale
