#include "codecs/columns/column_class.h"

#include "codecs/written/written_number.h"
#include "core/digits.h"

namespace corvale {

namespace {

bool is_one_number(std::string_view cell) {
  const NumberScan scan = scan_number(cell, 0);
  return scan.ok && scan.end == cell.size();
}

std::size_t count_digit_runs(std::string_view cell) {
  std::size_t runs = 0;
  bool in_run = false;
  for (char c : cell) {
    const bool digit = is_digit(c);
    runs += digit && !in_run;
    in_run = digit;
  }
  return runs;
}

// The template of a cell that is one number, or -1 for any other cell. A number's bytes between
// its digit runs follow from its minus sign (bit 0), its fraction (bit 1) and its exponent's form
// (bits 2-4), and back, so two numbers have the same template parts exactly when these agree:
// a numeric column, the common one, is classified without a byte-by-byte comparison.
int number_template(std::string_view cell) {
  WrittenNumberParts parts;
  const NumberScan scan = scan_number_shape(cell, 0, parts);
  if (!scan.ok || scan.end != cell.size()) return -1;
  return (parts.negative ? 1 : 0) | (parts.fraction_digits.empty() ? 0 : 2) |
         static_cast<int>(parts.exponent_form) << 2;
}

// The digit runs of a number of that template: the integer digits, then a fraction's and an
// exponent's when it has them.
std::size_t number_template_runs(int shape) { return 1 + (shape >> 1 & 1) + (shape >> 2 != 0 ? 1 : 0); }

// True when a and b have the same text parts between their digit runs (and so as many runs):
// byte by byte, a digit run of one standing for a digit run of the other.
bool same_template_parts(std::string_view a, std::string_view b) {
  const std::size_t na = a.size(), nb = b.size();
  std::size_t i = 0, j = 0;
  while (i < na && j < nb) {
    const char x = a[i], y = b[j];
    if (!is_digit(x)) {
      if (x != y) return false;
      ++i;
      ++j;
      continue;
    }
    if (!is_digit(y)) return false;
    while (++i < na && is_digit(a[i])) {
    }
    while (++j < nb && is_digit(b[j])) {
    }
  }
  return i == na && j == nb;
}

}  // namespace

unsigned column_class_score(ColumnClass c) {
  static constexpr unsigned kScores[4] = {0, 3, 2, 1};
  return kScores[static_cast<int>(c) + 1];
}

CellTemplate split_cell_template(std::string_view cell) {
  CellTemplate t;
  walk_cell_template(
      cell, [&](std::string_view part) { t.parts.push_back(part); }, [&](std::string_view run) { t.digit_runs.push_back(run); });
  return t;
}

void ColumnClassifier::add(std::string_view cell) {
  if (cell.empty()) return;
  if (all_numbers_) {
    const int shape = number_template(cell);
    if (shape >= 0) {
      const std::size_t runs = number_template_runs(shape);
      if (!any_) {
        any_ = true;
        reference_.assign(cell);
        reference_runs_ = runs;
        reference_template_ = shape;
      } else if (same_runs_ && runs != reference_runs_) {
        same_runs_ = false;
        same_parts_ = false;
      } else if (same_parts_) {
        // The reference is a number as well: every cell before this one was.
        same_parts_ = shape == reference_template_;
      }
      return;
    }
    all_numbers_ = false;
  }
  if (!any_) {
    any_ = true;
    reference_.assign(cell);
    reference_runs_ = count_digit_runs(cell);
    return;
  }
  // A reference without digits makes the column unusable unless it is numeric, which it then
  // cannot be either: nothing more to learn from the shapes.
  if (reference_runs_ == 0 || !same_runs_) return;
  if (count_digit_runs(cell) != reference_runs_) {
    same_runs_ = false;
    same_parts_ = false;
  } else if (same_parts_) {
    same_parts_ = same_template_parts(cell, reference_);
  }
}

ColumnClass ColumnClassifier::result() const {
  if (!any_) return ColumnClass::Unusable;
  if (all_numbers_) return ColumnClass::Numeric;
  if (reference_runs_ == 0) return ColumnClass::Unusable;
  if (same_parts_) return ColumnClass::Template;
  if (same_runs_) return ColumnClass::SameShape;
  return ColumnClass::Unusable;
}

ColumnClass ColumnClassifier::result_with_first(std::string_view first) const {
  if (first.empty()) return result();
  if (all_numbers_ && is_one_number(first)) return ColumnClass::Numeric;
  const std::size_t runs = count_digit_runs(first);
  if (runs == 0) return ColumnClass::Unusable;
  if (!any_) return ColumnClass::Template;
  // With first as the reference, every other cell must match it; the old reference is one of
  // them, so the column keeps a class exactly when it had it and first matches the old reference.
  if (same_parts_ && same_template_parts(first, reference_)) return ColumnClass::Template;
  if (same_runs_ && runs == reference_runs_) return ColumnClass::SameShape;
  return ColumnClass::Unusable;
}

ColumnClass classify_table_column(const std::vector<std::string_view>& cells) {
  ColumnClassifier classifier;
  for (std::string_view cell : cells) classifier.add(cell);
  return classifier.result();
}

}  // namespace corvale
