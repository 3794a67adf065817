#include "codecs/table_column.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "codecs/candidate_choice.h"
#include "codecs/collected_numbers.h"
#include "codecs/column_bytes.h"
#include "codecs/compact_values.h"
#include "codecs/count_list.h"
#include "codecs/decimal.h"
#include "codecs/decimal_scale.h"
#include "codecs/error.h"
#include "codecs/exponent_column.h"
#include "codecs/number_column.h"
#include "codecs/number_pieces.h"
#include "codecs/output_budget.h"
#include "codecs/saturating.h"
#include "codecs/u128.h"
#include "codecs/written_number.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();

// The n < 8 bytes at p as one word, read as at most two overlapping loads rather than by a
// library call: texts of the same length are equal exactly when these words are.
inline std::uint64_t short_word(const char* p, std::size_t n) {
  if (n >= 4) {
    std::uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    return lo | static_cast<std::uint64_t>(hi) << 32;
  }
  if (n == 0) return 0;
  const auto byte = [p](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])); };
  return byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
}

// Cells are mostly short: compared in a word or two rather than by a library call.
inline bool same_text(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8) return short_word(a.data(), n) == short_word(b.data(), n);
  if (n > 16) return std::memcmp(a.data(), b.data(), n) == 0;
  std::uint64_t a0, a1, b0, b1;
  std::memcpy(&a0, a.data(), 8);
  std::memcpy(&a1, a.data() + n - 8, 8);
  std::memcpy(&b0, b.data(), 8);
  std::memcpy(&b1, b.data() + n - 8, 8);
  return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

// Distinct texts found again by their hash: open addressing over slots of a hash and a number
// the caller gives each new text, so a column of a million distinct cells needs a few bytes a
// cell, not a node each, and texts are compared only when their hashes agree. The index keeps
// no text of its own: text_of(number) gives any number back from the caller's lists.
class TextIndex {
 public:
  // The number of the text equal to text, or fresh, now kept as text's number. Inline in the
  // loops over cells, the growing kept out of line.
  template <class TextOf>
  [[gnu::always_inline]] std::uint32_t find_or_add(std::string_view text, std::uint32_t fresh, const TextOf& text_of) {
    if (2 * (count_ + 1) > slots_.size()) grow(text_of);
    const std::uint64_t h = hash(text);
    const auto tag = static_cast<std::uint32_t>(h);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (slot.number == 0) {
        ++count_;
        slot = Slot{tag, fresh + 1};
        return fresh;
      }
      if (slot.tag == tag && same_text(text_of(slot.number - 1), text)) return slot.number - 1;
    }
  }

 private:
  // A slot keeps the low half of its text's hash, which holds the slot bits of every table
  // smaller than 2^32 slots: growing moves slots without reading a text again.
  struct Slot {
    std::uint32_t tag;     // the low half of the text's hash
    std::uint32_t number;  // 0 empty, else the text's number plus one
  };

  static std::uint64_t hash(std::string_view s) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      h = (h ^ w) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
    }
    h = (h ^ short_word(s.data() + i, s.size() - i)) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
  }

  template <class TextOf>
  [[gnu::noinline]] void grow(const TextOf& text_of) {
    const std::size_t size = slots_.empty() ? 64 : slots_.size() * 2;
    const std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size, Slot{0, 0}));
    mask_ = size - 1;
    const bool tag_holds_slot = size <= (std::uint64_t{1} << 32);
    for (const Slot& slot : old) {
      if (slot.number == 0) continue;
      std::size_t i = (tag_holds_slot ? slot.tag : hash(text_of(slot.number - 1))) & mask_;
      while (slots_[i].number != 0) i = (i + 1) & mask_;
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
  std::size_t mask_ = 0;
};

// Distinct texts numbered in order of first appearance.
class TextList {
 public:
  std::uint32_t find_or_add(std::string_view text) {
    const std::uint32_t number = index_.find_or_add(text, static_cast<std::uint32_t>(texts_.size()),
                                                    [this](std::uint32_t n) { return texts_[n]; });
    if (number == texts_.size()) texts_.push_back(text);
    return number;
  }
  const std::vector<std::string_view>& texts() const { return texts_; }

 private:
  TextIndex index_;
  std::vector<std::string_view> texts_;
};

void append_dictionary_candidate(const std::vector<std::string_view>& cells, std::string& out) {
  // A text is known by the first row that holds it, and a row by its entry's number: a column of
  // distinct cells keeps no list of its entries beside the cells. Rows are numbered in 32 bits,
  // as entries always were: a column is cut from a text far below 4 GiB.
  TextIndex index;
  std::vector<std::uint32_t> numbers(cells.size());
  const auto text_of = [&cells](std::uint32_t row) { return cells[row]; };
  std::uint32_t k32 = 0;
  std::size_t entry_bytes = 0;
  for (std::size_t r = 0; r < cells.size(); ++r) {
    const auto row = static_cast<std::uint32_t>(r);
    const std::uint32_t first = index.find_or_add(cells[r], row, text_of);
    if (first == row) {
      numbers[r] = k32++;
      entry_bytes += varint_size(cells[r].size()) + cells[r].size();
    } else {
      numbers[r] = numbers[first];
    }
  }
  const std::uint64_t k = k32;
  // Sized once: a candidate of a long column would otherwise be copied as it outgrows its room.
  std::size_t size = 1 + varint_size(k) + entry_bytes;
  if (k <= kByteIndexTexts) {
    size += numbers.size();
  } else {
    for (std::uint32_t number : numbers) size += varint_size(number);
  }
  // Written in place: a column of many entries writes a varint of two or three bytes a cell.
  const std::size_t start = out.size();
  out.resize(start + size);
  char* p = out.data() + start;
  *p++ = static_cast<char>(kColumnDictionary);
  p = put_varint(k, p);
  // The entries are the rows where the numbers first reach each value.
  std::uint32_t next = 0;
  for (std::size_t r = 0; next < k; ++r) {
    if (numbers[r] != next) continue;
    p = copy_cell(put_varint(cells[r].size(), p), cells[r]);
    ++next;
  }
  if (k <= kByteIndexTexts) {
    for (std::uint32_t number : numbers) *p++ = static_cast<char>(number);
  } else {
    for (std::uint32_t number : numbers) p = put_varint(number, p);
  }
}

void append_raw_candidate(const std::vector<std::string_view>& cells, std::string& out) {
  std::size_t size = 1;
  for (std::string_view cell : cells) size += varint_size(cell.size()) + cell.size();
  const std::size_t start = out.size();
  out.resize(start + size);
  char* p = out.data() + start;
  *p++ = static_cast<char>(kColumnRaw);
  for (std::string_view cell : cells) p = copy_cell(put_varint(cell.size(), p), cell);
}

// ---- What the numbers of a column cost its decoder ----

// Numbers of up to 18 digits stay in 64-bit words, which no decoder charges to its magnitude
// budget; a longer one makes its whole number column big integers.
constexpr std::uint64_t kWordDecimalDigits = 18;

// A number of D significant digits has more than (D - 1) log2(10) bits.
std::uint64_t least_bytes_of_digits(std::uint64_t significant_digits) {
  if (significant_digits <= kWordDecimalDigits) return 0;
  return ((significant_digits - 1) * 3321 / 1000 + 1 + 7) / 8;
}

std::uint64_t significant_digits(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? 0 : digits.size() - first;
}

// ---- Numeric columns ----


// Appends the numeric candidate of cells to out; false, with out left as it may be, when it
// would take more than max_bytes or its numbers more than magnitude_room bytes of magnitude
// (weighed from their lengths before any is built: one value with a hundred thousand fraction
// digits would scale every '1' of its column to a hundred-thousand-digit number). wide: its
// decoder may build big integers.
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

// ---- Template columns ----

// The digit runs of the non-empty cells (m a cell, cell after cell) and, for text slots, every
// part position's distinct texts and each value's index among them.
struct TemplateCells {
  PositionList empty;
  std::vector<std::string_view> runs;
  std::vector<TextList> slots;
  std::vector<std::vector<std::uint32_t>> slot_indices;
};

// Appends the template candidate of cells (kind 4 with_slots, else kind 1) to out; false when it
// would take more than max_bytes or its digit runs more than magnitude_room bytes of magnitude.
// wide: its decoder may build big integers (a run of 19 digits or more).
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

}  // namespace

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
