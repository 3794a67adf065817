#include "codecs/columns/table_column.h"

#include <limits>
#include <memory>

#include "codecs/columns/column_candidates.h"
#include "codecs/numbers/candidate_choice.h"

namespace corvale {

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();

}  // namespace

std::string encode_numeric_candidate(const std::vector<std::string_view>& cells) {
  std::string out;
  bool wide = false;
  append_numeric_candidate(cells, out, kMaxU64, kMaxU64, wide);
  return out;
}

std::string encode_template_candidate(const std::vector<std::string_view>& cells, bool with_slots) {
  std::string out;
  bool wide = false;
  append_template_candidate(cells, with_slots, out, kMaxU64, kMaxU64, wide);
  return out;
}

std::string encode_dictionary_candidate(const std::vector<std::string_view>& cells) {
  std::string out;
  append_dictionary_candidate(cells, out);
  return out;
}

std::string encode_raw_candidate(const std::vector<std::string_view>& cells) {
  std::string out;
  append_raw_candidate(cells, out);
  return out;
}

std::string encode_table_column(const std::vector<std::string_view>& cells) {
  MagnitudeBudget unbounded(kMaxU64);
  return encode_table_column(cells, classify_table_column(cells), unbounded, kMaxU64);
}

std::string encode_table_column(const std::vector<std::string_view>& cells, ColumnClass column_class,
                                MagnitudeBudget& budget, std::uint64_t max_bytes) {
  CandidateChoice choice(max_bytes);
  // The decoder charges big numbers to one budget for its output limit: weighed from their
  // digits by the builders, then, when the candidate holds big numbers, by decoding it as the
  // decoder will.
  MagnitudeBudget after = budget;
  if (column_class != ColumnClass::Unusable) {
    std::string& out = choice.next();
    bool wide = false;
    const ColumnKind kind = column_class == ColumnClass::Numeric    ? kColumnNumeric
                            : column_class == ColumnClass::Template ? kColumnTemplate
                                                                    : kColumnTemplateSlots;
    const bool built =
        kind == kColumnNumeric
            ? append_numeric_candidate(cells, out, max_bytes, budget.remaining(), wide)
            : append_template_candidate(cells, kind == kColumnTemplateSlots, out, max_bytes, budget.remaining(), wide);
    if (built && (!wide || decodes_within_budget([&] {
          ByteCursor cursor{std::string_view(out).substr(1)};
          decode_table_column(cursor, kind, cells.size(), kMaxU64, kMaxU64, after);
        }))) {
      choice.offer(kind);
    }
  }
  append_dictionary_candidate(cells, choice.next());
  choice.offer(kColumnDictionary);
  append_raw_candidate(cells, choice.next());
  choice.offer(kColumnRaw);
  if (choice.method() != kColumnDictionary && choice.method() != kColumnRaw) budget = after;
  return choice.take();
}

DecodedColumn decode_table_column(ByteCursor& cursor, ColumnKind kind, std::uint64_t rows, std::uint64_t limit,
                                  std::uint64_t room, MagnitudeBudget& budget) {
  const std::unique_ptr<ColumnSource> source = open_table_column(cursor, kind, rows, limit, room, budget);
  DecodedColumn column;
  source->read(rows, column);
  return column;
}

}  // namespace corvale
