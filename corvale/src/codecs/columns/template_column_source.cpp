#include <algorithm>
#include <string>
#include <vector>

#include "codecs/columns/column_bytes.h"
#include "codecs/columns/column_source.h"
#include "codecs/columns/table_column.h"
#include "codecs/numbers/number_column.h"
#include "codecs/written/compact_values.h"
#include "codecs/written/number_pieces.h"
#include "core/count_list.h"
#include "core/count_stream.h"
#include "core/decimal.h"
#include "core/error.h"
#include "core/output_budget.h"
#include "core/saturating.h"

namespace corvale {

namespace {

bool holds_digit(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c - '0') <= 9) return true;
  }
  return false;
}

std::string_view read_template_text(ByteCursor& cursor, bool inner) {
  const std::string_view text = cursor_take_bytes(cursor, cursor_read_varint_u64(cursor));
  if (holds_digit(text) || (inner && text.empty())) throw Error(kInvalidTemplatePart);
  return text;
}

// One text part position of a template body as read: a constant, or a slot of k texts with an
// index a value.
struct TemplatePart {
  std::vector<std::string_view> texts;
  CountList indices;  // empty for a constant
  std::string_view text(std::uint64_t j) const { return indices.empty() ? texts[0] : texts[indices[j]]; }
};

// One digit field: a run of digits a value, after its leading zeros. Big values keep their
// digits, in value order.
struct DigitField {
  CompactValues values;
  CountStream zeros;
  std::vector<std::string> big_digits;
};

// The text parts and digit fields as read; each range writes its cells from them.
class TemplateColumn final : public ColumnSource {
 public:
  TemplateColumn(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room, bool with_slots, MagnitudeBudget& budget);

  // Digits are in the fields, every other byte in a text part.
  bool may_hold(std::string_view bytes) const override;
  void read(std::uint64_t count, DecodedColumn& out) override;
  void rewind() override;

 private:
  void read_parts(ByteCursor& cursor, std::uint64_t n, bool with_slots);
  // Reads the next digit field, weighing its digits against room, which it lowers.
  void read_field(ByteCursor& cursor, std::uint64_t n, std::uint64_t& room, MagnitudeBudget& budget);
  std::uint64_t text_bytes(std::uint64_t n) const;
  char* write_digits(std::size_t i, std::uint64_t j, char* p);

  PositionStream empty_rows_;
  std::vector<TemplatePart> parts_;
  std::vector<DigitField> fields_;
  std::uint64_t cell_bound_ = 0;  // no cell is longer
  // Where the next cell is.
  std::uint64_t row_ = 0;
  std::uint64_t value_ = 0;
  std::vector<std::size_t> next_big_;  // of each field
};

TemplateColumn::TemplateColumn(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room, bool with_slots,
                               MagnitudeBudget& budget)
    : ColumnSource(rows) {
  const std::uint8_t flags = cursor_take_byte(cursor);
  if (flags & ~kTemplateEmptyCells) throw Error(kInvalidTemplateColumnFlags);
  if (flags & kTemplateEmptyCells) empty_rows_ = read_position_stream(cursor, rows);
  const std::uint64_t n = rows - empty_rows_.size();
  if (n == 0) throw Error(kTemplateColumnWithoutValues);
  read_parts(cursor, n, with_slots);
  // Each digit field is weighed before the next one is read, under the room left.
  std::uint64_t left = room;
  for (std::size_t i = 0; i + 1 < parts_.size(); ++i) read_field(cursor, n, left, budget);
  const std::uint64_t texts = text_bytes(n);
  if (texts > left) throw output_limit_error();
  total_ = room - left + texts;
  for (const TemplatePart& part : parts_) {
    std::uint64_t longest = 0;
    for (std::string_view text : part.texts) longest = std::max<std::uint64_t>(longest, text.size());
    cell_bound_ += longest;  // the parts are body bytes
  }
  empty_ = empty_rows_.size();
  first_empty_ = empty_rows_.next() == 0;
  next_big_.assign(fields_.size(), 0);
}

void TemplateColumn::read_parts(ByteCursor& cursor, std::uint64_t n, bool with_slots) {
  const std::uint64_t m = cursor_read_varint_u64(cursor);
  if (m == 0 || m > cursor.remaining()) throw Error(kInvalidTemplate);
  // Grown part by part: every one of them takes body bytes, so m, checked against the bytes
  // left, is never trusted for memory.
  for (std::uint64_t i = 0; i <= m; ++i) {
    const bool inner = i > 0 && i < m;
    TemplatePart& part = parts_.emplace_back();
    if (!with_slots) {
      part.texts.push_back(read_template_text(cursor, inner));
      continue;
    }
    const std::uint64_t k = cursor_read_varint_u64(cursor);
    if (k == 0 || k > n) throw Error(kInvalidTextSlotSize);
    for (std::uint64_t t = 0; t < k; ++t) part.texts.push_back(read_template_text(cursor, inner));
    if (k == 1) continue;
    for (std::uint64_t j = 0; j < n; ++j) {
      const std::uint64_t index = read_column_index(cursor, k);
      if (index >= k) throw Error(kInvalidTextSlotIndex);
      part.indices.push_back(index);
    }
  }
}

void TemplateColumn::read_field(ByteCursor& cursor, std::uint64_t n, std::uint64_t& room, MagnitudeBudget& budget) {
  DigitField& field = fields_.emplace_back();
  field.values = read_compact_number_column(cursor, n, 0, budget);
  const CompactValues& values = field.values;
  const bool wide = values.wide();  // else no value is big, and none need be asked
  const CompactValues::Words words = values.words();
  for (std::uint64_t j = 0; j < n; ++j) {
    if (wide ? values.is_negative(j) : words[j] < 0) throw Error(kNegativeTemplateDigits);
  }
  const std::uint8_t marker = cursor_take_byte(cursor);
  if (marker > 1) throw Error(kInvalidTemplateZerosMarker);
  if (marker) field.zeros = CountStream(cursor, n);
  std::uint64_t longest = 0;
  for (std::uint64_t j = 0; j < n; ++j) {
    const std::uint64_t z = field.zeros.next();
    if (z > room) throw output_limit_error();
    std::uint64_t count = 0;
    if (!wide || !values.is_big(j)) {
      // None is negative: a word's digits are its own.
      count = decimal_digit_count(static_cast<std::uint64_t>(words[j]));
    } else {
      check_decimal_output_size(values.big_value(j), room - z);
      std::string& digits = field.big_digits.emplace_back();
      values.big_value(j).append_decimal_magnitude(digits);
      count = digits.size();
    }
    if (count > room - z) throw output_limit_error();
    room -= z + count;
    longest = std::max(longest, z + count);
  }
  cell_bound_ += longest;
  field.zeros.rewind();
}

// The text parts every value carries.
std::uint64_t TemplateColumn::text_bytes(std::uint64_t n) const {
  std::uint64_t bytes = 0;
  for (const TemplatePart& part : parts_) {
    if (part.indices.empty()) {
      bytes = saturating_add(bytes, saturating_mul(part.texts[0].size(), n));
    } else {
      for (std::uint64_t j = 0; j < n; ++j) bytes = saturating_add(bytes, part.text(j).size());
    }
  }
  return bytes;
}

bool TemplateColumn::may_hold(std::string_view bytes) const {
  if (holds_digit(bytes)) return true;
  for (const TemplatePart& part : parts_) {
    for (std::string_view text : part.texts) {
      if (holds_any_of(text, bytes)) return true;
    }
  }
  return false;
}

char* TemplateColumn::write_digits(std::size_t i, std::uint64_t j, char* p) {
  DigitField& field = fields_[i];
  p = put_zeros(p, field.zeros.next());
  if (!field.values.wide() || !field.values.is_big(j)) {
    const auto v = static_cast<std::uint64_t>(field.values.word(j));
    return write_decimal(v, p);
  }
  const std::string& digits = field.big_digits[next_big_[i]++];
  return std::copy(digits.begin(), digits.end(), p);
}

void TemplateColumn::read(std::uint64_t count, DecodedColumn& out) {
  out.reserve_cells(count);  // the fields' values are held already, and each empty row took a body byte
  const std::size_t m = fields_.size();
  for (const std::uint64_t end = row_ + count; row_ < end; ++row_) {
    const std::size_t start = out.byte_size();
    if (empty_rows_.next() == row_) {
      empty_rows_.advance();
    } else {
      // Digits are written with slack past them, which the next part covers.
      char* p = out.room(static_cast<std::size_t>(cell_bound_) + kTextSlack);
      for (std::size_t i = 0; i < m; ++i) {
        p = copy_cell(p, parts_[i].text(value_));
        p = write_digits(i, value_, p);
      }
      out.commit(copy_cell(p, parts_[m].text(value_)));
      ++value_;
    }
    out.close_cell(start);
  }
}

void TemplateColumn::rewind() {
  row_ = 0;
  value_ = 0;
  empty_rows_.rewind();
  next_big_.assign(fields_.size(), 0);
  for (DigitField& field : fields_) field.zeros.rewind();
}

}  // namespace

std::unique_ptr<ColumnSource> open_template_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room,
                                                   bool with_slots, MagnitudeBudget& budget) {
  return std::make_unique<TemplateColumn>(cursor, rows, room, with_slots, budget);
}

}  // namespace corvale
