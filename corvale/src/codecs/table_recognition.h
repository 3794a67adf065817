#pragma once
// Deciding whether a text is a delimited table (CSV, TSV and the like) and parsing it into its
// separator, records, quoted fields, line endings and header. The column classes and the cell
// template defined here also shape the column encoder.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/digits.h"

namespace corvale {

inline constexpr std::size_t kMinTableColumns = 2;
inline constexpr std::size_t kMaxTableColumns = 1024;

// What the cells of one column have in common; the header decision weighs columns by it.
enum class ColumnClass : std::int8_t {
  Unusable = -1,  // no non-empty cell, a first non-empty cell without digits, or mixed shapes
  Numeric = 0,    // every non-empty cell is exactly one number
  Template = 1,   // every non-empty cell has the same text between its digit runs
  SameShape = 2,  // every non-empty cell has the same number of digit runs
};

unsigned column_class_score(ColumnClass c);

// A cell cut at its maximal runs of ASCII digits: always one part more than runs, and parts may
// be empty.
struct CellTemplate {
  std::vector<std::string_view> parts;
  std::vector<std::string_view> digit_runs;
};

CellTemplate split_cell_template(std::string_view cell);

// The same cut without building lists: on_part(part) and on_run(run) alternately, a part first
// and last.
template <class OnPart, class OnRun>
void walk_cell_template(std::string_view cell, OnPart&& on_part, OnRun&& on_run) {
  std::size_t part_start = 0;
  std::size_t i = 0;
  while (i < cell.size()) {
    if (!is_digit(cell[i])) {
      ++i;
      continue;
    }
    on_part(cell.substr(part_start, i - part_start));
    const std::size_t run_start = i;
    while (i < cell.size() && is_digit(cell[i])) ++i;
    on_run(cell.substr(run_start, i - run_start));
    part_start = i;
  }
  on_part(cell.substr(part_start));
}

// Classifies a column one cell at a time, looking at each cell once. The first non-empty cell is
// the reference every later cell is compared with; it is copied, so a cell only needs to live
// for the call that adds it.
class ColumnClassifier {
 public:
  void add(std::string_view cell);
  ColumnClass result() const;
  // The class the column would have with first put before every cell added so far: the
  // header decision weighs a column with and without its first row, at the cost of one pass.
  ColumnClass result_with_first(std::string_view first) const;

 private:
  bool any_ = false;
  bool all_numbers_ = true;
  bool same_parts_ = true;
  bool same_runs_ = true;
  std::size_t reference_runs_ = 0;
  int reference_template_ = -1;  // while every cell is a number
  std::string reference_;
};

ColumnClass classify_table_column(const std::vector<std::string_view>& cells);

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
