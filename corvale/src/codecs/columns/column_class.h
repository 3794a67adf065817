#pragma once
// What the cells of one column have in common, and the cut of a cell at its digit runs: the
// table recogniser weighs its header decision by them, and the column encoder that tables and
// logs share picks a column's kind from them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/digits.h"

namespace corvale {

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

}  // namespace corvale
