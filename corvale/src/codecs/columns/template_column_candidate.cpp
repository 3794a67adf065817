#include <optional>
#include <string>
#include <vector>

#include "codecs/columns/column_bytes.h"
#include "codecs/columns/column_candidates.h"
#include "codecs/columns/table_column.h"
#include "codecs/columns/text_index.h"
#include "codecs/numbers/number_column.h"
#include "codecs/columns/column_class.h"
#include "codecs/written/exponent_column.h"
#include "codecs/written/written_number.h"
#include "core/output_budget.h"
#include "core/saturating.h"

namespace corvale {

namespace {

// The digit runs of the non-empty cells (m a cell, cell after cell) and, for text slots, every
// part position's distinct texts and each value's index among them.
struct TemplateCells {
  PositionList empty;
  std::vector<std::string_view> runs;
  std::vector<TextList> slots;
  std::vector<std::vector<std::uint32_t>> slot_indices;
};

}  // namespace

bool append_template_candidate(const std::vector<std::string_view>& cells, bool with_slots, std::string& out,
                               std::uint64_t max_bytes, std::uint64_t magnitude_room, bool& wide) {
  TemplateCells t;
  std::size_t m = 0;
  std::uint64_t magnitudes = 0;  // weighed as for numeric columns
  std::string_view first;
  for (std::size_t r = 0; r < cells.size(); ++r) {
    if (cells[r].empty()) {
      t.empty.push_back(r);
      continue;
    }
    std::size_t part = 0;
    walk_cell_template(
        cells[r],
        [&](std::string_view text) {
          if (!with_slots) return;
          if (part == t.slots.size()) {
            t.slots.emplace_back();
            t.slot_indices.emplace_back();
          }
          t.slot_indices[part].push_back(t.slots[part].find_or_add(text));
          ++part;
        },
        [&](std::string_view run) {
          t.runs.push_back(run);
          magnitudes = saturating_add(magnitudes, least_bytes_of_digits(significant_digits(run)));
        });
    if (first.empty()) {
      first = cells[r];
      m = t.runs.size();
      // The cells of a template column have as many runs each: sized once, the runs of short
      // cells take no more than their views.
      t.runs.reserve(m * (cells.size() - r));
    }
  }

  if (magnitudes > magnitude_room) return false;
  wide = magnitudes > 0;
  out.push_back(static_cast<char>(with_slots ? kColumnTemplateSlots : kColumnTemplate));
  out.push_back(static_cast<char>(t.empty.empty() ? 0 : kTemplateEmptyCells));
  if (!t.empty.empty()) write_position_list(t.empty, out);
  write_varint_u64(m, out);
  if (!with_slots) {
    walk_cell_template(first, [&](std::string_view part) { write_column_bytes(part, out); }, [](std::string_view) {});
  } else {
    for (std::size_t i = 0; i <= m; ++i) {
      const std::vector<std::string_view>& texts = t.slots[i].texts();
      write_varint_u64(texts.size(), out);
      for (std::string_view text : texts) write_column_bytes(text, out);
      if (texts.size() > 1) {
        for (std::uint32_t index : t.slot_indices[i]) write_column_index(index, texts.size(), out);
      }
    }
  }
  t.slots = {};
  t.slot_indices = {};
  return encode_template_body(t.runs, m, out, max_bytes);
}

bool encode_template_body(const std::vector<std::string_view>& digit_runs, std::size_t m, std::string& out,
                          std::uint64_t max_bytes) {
  const std::size_t n = digit_runs.size() / m;
  // With one run a value the runs are the field: no copy of them.
  std::vector<std::string_view> copy(m > 1 ? n : 0);
  const std::vector<std::string_view>& field = m > 1 ? copy : digit_runs;
  std::string zero_counts;
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < copy.size(); ++j) copy[j] = digit_runs[j * m + i];
    const std::optional<std::string> column =
        encode_number_column(digit_string_values(field), room_under_limit(out.size(), max_bytes));
    if (!column) return false;
    out += *column;
    zero_counts.clear();
    bool any_zeros = false;
    for (std::string_view run : field) {
      const std::uint64_t z = count_leading_zero_digits(run);
      put_varint(z, zero_counts);
      any_zeros |= z != 0;
    }
    out.push_back(any_zeros ? 1 : 0);
    if (any_zeros) out += zero_counts;
    if (out.size() > max_bytes) return false;
  }
  return true;
}

}  // namespace corvale
