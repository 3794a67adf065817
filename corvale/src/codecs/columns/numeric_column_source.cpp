#include <cstring>

#include "codecs/columns/column_source.h"
#include "codecs/columns/table_column.h"
#include "codecs/numbers/number_column.h"
#include "codecs/written/compact_values.h"
#include "codecs/written/decimal_scale.h"
#include "codecs/written/exponent_column.h"
#include "codecs/written/number_pieces.h"
#include "codecs/written/written_number.h"
#include "core/count_list.h"
#include "core/count_stream.h"
#include "core/error.h"
#include "core/output_budget.h"
#include "core/u128.h"

namespace corvale {

namespace {

// The values stay in compact words, with their counts and lists; each range prints its cells.
class NumericColumn final : public ColumnSource {
 public:
  NumericColumn(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit, std::uint64_t room,
                MagnitudeBudget& budget);

  // A cell is a sign, digits, a point and an exponent marker with its sign.
  bool may_hold(std::string_view bytes) const override { return holds_any_of(bytes, "0123456789-+.eE"); }
  void read(std::uint64_t count, DecodedColumn& out) override;
  void rewind() override { at_ = start(); }

 private:
  // Where the next cell is: its row, its value and the lists' next entries.
  struct Place {
    std::uint64_t row = 0;
    std::uint64_t value = 0;
    PositionStream empty;
    std::size_t minus_zero = 0;
    std::size_t exponent = 0;
    CountStream zeros;
  };
  void read_values(ByteCursor& cursor, std::uint8_t flags, std::uint64_t s, MagnitudeBudget& budget);
  // The pieces of the cell at place, which is a value's; moves place past it.
  NumberPieces take_number(Place& place) const;
  // Whether every value is a word with at most a sign and fraction digits around its digits: no
  // leading zeros, no exponent, no big value. Most columns are; their cells are measured and
  // written without their pieces.
  bool plain() const { return !wide_ && !has_zeros_ && !has_exponents_; }
  // The bytes of all cells together.
  u128 measure() const;
  template <class Word>
  u128 measure_plain() const;
  // Whether the next count rows, of a plain column, are all values and none is a minus zero.
  bool plain_range(std::uint64_t count) const;
  template <class Word>
  void read_plain(std::uint64_t count, DecodedColumn& out);
  Place start() const { return Place{.empty = empty_rows_, .zeros = zeros_}; }
  static bool at_empty(const Place& place) { return place.empty.next() == place.row; }

  PositionStream empty_rows_;
  CompactValues values_;
  CountStream zeros_;  // at the first count
  PositionList minus_zeros_;
  CountList fraction_digits_;
  ExponentColumn exponents_;
  bool wide_ = false;
  bool has_zeros_ = false;
  bool has_exponents_ = false;
  Place at_;
};

[[gnu::always_inline]] inline NumberPieces NumericColumn::take_number(Place& place) const {
  const std::uint64_t j = place.value++;
  const bool minus_zero = place.minus_zero < minus_zeros_.size() && minus_zeros_[place.minus_zero] == j;
  place.minus_zero += minus_zero;
  // A word is read once for its sign and its digits, which are written straight into the cell.
  NumberPieces number;  // the exponent's pieces are set, and read, only with a marker
  if (wide_ && values_.is_big(j)) {
    number.minus = values_.is_negative(j);
    number.mantissa = Magnitude::of(values_, j);
  } else {
    const std::int64_t v = values_.word(j);
    number.minus = v < 0;
    number.mantissa = Magnitude::of_word(v);
  }
  number.minus |= minus_zero;
  number.zeros = place.zeros.next();
  number.fraction_digits = fraction_digits_.empty() ? 0 : fraction_digits_[j];
  if (exponents_.form(j) != ExponentForm::kNone) {
    const std::size_t k = place.exponent++;
    number.marker = exponent_form_text(exponents_.form(j));
    number.exponent_zeros = exponents_.leading_zeros[k];
    number.exponent = Magnitude::of(exponents_.values, k);
  }
  return number;
}

NumericColumn::NumericColumn(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit, std::uint64_t room,
                             MagnitudeBudget& budget)
    : ColumnSource(rows, true) {
  const std::uint8_t flags = cursor_take_byte(cursor);
  if (flags > 0x3F || (flags & (kNumericScale | kNumericRelativeCounts)) == kNumericRelativeCounts) {
    throw Error(kInvalidNumericColumnFlags);
  }
  if (flags & kNumericEmptyCells) empty_rows_ = read_position_stream(cursor, rows);
  if (rows == empty_rows_.size()) throw Error(kNumericColumnWithoutValues);
  std::uint64_t s = 0;
  if (flags & kNumericScale) {
    s = cursor_read_varint_u64(cursor);
    if (s == 0 || s > limit) throw Error(kInvalidColumnScale);
  }
  read_values(cursor, flags, s, budget);
  empty_ = empty_rows_.size();
  first_empty_ = empty_rows_.next() == 0;
  at_ = start();

  // Every cell is measured against the room left before any is written.
  const u128 total = measure();
  if (total > room) throw output_limit_error();
  total_ = static_cast<std::uint64_t>(total);
}

u128 NumericColumn::measure() const {
  if (plain()) {
    switch (values_.words().width) {
      case 1:
        return measure_plain<std::int8_t>();
      case 2:
        return measure_plain<std::int16_t>();
      case 4:
        return measure_plain<std::int32_t>();
      default:
        return measure_plain<std::int64_t>();
    }
  }
  // Counts come from the payload and may be near 2^64 each: summed in 128 bits. An empty row
  // adds nothing, so only the values are walked.
  u128 total = 0;
  Place place = start();
  for (std::uint64_t j = 0; j < values_.size(); ++j) total += take_number(place).length();
  return total;
}

template <class Word>
u128 NumericColumn::measure_plain() const {
  const unsigned char* const words = values_.words().data;
  const std::uint64_t n = values_.size();
  // A minus zero is a zero with its sign.
  u128 total = minus_zeros_.size();
  for (std::uint64_t j = 0; j < n; ++j) {
    Word w;
    std::memcpy(&w, words + j * sizeof(Word), sizeof(Word));
    const std::uint64_t digits = decimal_digit_count(magnitude_of(w));
    const std::uint64_t f = fraction_digits_.empty() ? 0 : fraction_digits_[j];
    total += static_cast<u128>(w < 0) + fixed_point_length(digits, f);
  }
  return total;
}

void NumericColumn::read_values(ByteCursor& cursor, std::uint8_t flags, std::uint64_t s, MagnitudeBudget& budget) {
  const std::uint64_t n = rows_ - empty_rows_.size();
  values_ = read_compact_number_column(cursor, n, s, budget);
  // Big magnitudes are written in decimal once; the budget they were charged to bounds them.
  values_.make_digits(budget, s);
  wide_ = values_.wide();  // else no value is big, and none need be asked
  has_zeros_ = (flags & kNumericLeadingZeros) != 0;
  has_exponents_ = (flags & kNumericExponents) != 0;
  if (has_zeros_) zeros_ = CountStream(cursor, n);
  if (flags & kNumericMinusZeros) minus_zeros_ = read_position_list(cursor, n);
  for (std::uint64_t j : minus_zeros_) {
    if (!values_.is_zero(j)) throw Error(kInvalidMinusZeroPosition);
  }
  if (s > 0) {
    const bool relative = (flags & kNumericRelativeCounts) != 0;
    for (std::uint64_t j = 0; j < n; ++j) {
      const std::uint64_t x = cursor_read_short_varint_u64(cursor);
      fraction_digits_.push_back(undo_decimal_scale(values_, j, s, x, relative));
    }
  }
  exponents_ = (flags & kNumericExponents) ? decode_exponents(cursor, n, budget) : no_exponents();
}


bool NumericColumn::plain_range(std::uint64_t count) const {
  const std::uint64_t end = at_.row + count;
  const bool no_minus_zero =
      at_.minus_zero == minus_zeros_.size() || minus_zeros_[at_.minus_zero] >= at_.value + count;
  return plain() && at_.empty.next() >= end && no_minus_zero;
}

template <class Word>
void NumericColumn::read_plain(std::uint64_t count, DecodedColumn& out) {
  const unsigned char* const words = values_.words().data;
  const std::uint64_t first = at_.value;
  for (std::uint64_t j = first; j < first + count; ++j) {
    Word w;
    std::memcpy(&w, words + j * sizeof(Word), sizeof(Word));
    const std::uint64_t magnitude = magnitude_of(w);
    const unsigned digits = decimal_digit_count(magnitude);
    const std::uint64_t f = fraction_digits_.empty() ? 0 : fraction_digits_[j];
    const std::size_t start = out.byte_size();
    // Measured when the column was opened: the length fits the limit.
    char* p = out.room(static_cast<std::size_t>(1 + fixed_point_length(digits, f)) + kTextSlack);
    *p = '-';
    out.commit(write_fixed_point(p + (w < 0), magnitude, digits, f));
    out.close_cell(start);
  }
  at_.row += count;
  at_.value += count;
}

void NumericColumn::read(std::uint64_t count, DecodedColumn& out) {
  out.reserve_cells(count);  // the values are held already, and each empty row took a body byte
  if (plain_range(count)) {
    switch (values_.words().width) {
      case 1:
        return read_plain<std::int8_t>(count, out);
      case 2:
        return read_plain<std::int16_t>(count, out);
      case 4:
        return read_plain<std::int32_t>(count, out);
      default:
        return read_plain<std::int64_t>(count, out);
    }
  }
  for (const std::uint64_t end = at_.row + count; at_.row < end; ++at_.row) {
    const std::size_t start = out.byte_size();
    if (at_empty(at_)) {
      at_.empty.advance();
    } else {
      const NumberPieces number = take_number(at_);
      // Measured when the column was opened: the length fits the limit.
      const auto length = static_cast<std::size_t>(number.length());
      out.commit(number.write(out.room(length + kTextSlack)));
    }
    out.close_cell(start);
  }
}

}  // namespace

std::unique_ptr<ColumnSource> open_numeric_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit,
                                                  std::uint64_t room, MagnitudeBudget& budget) {
  return std::make_unique<NumericColumn>(cursor, rows, limit, room, budget);
}

}  // namespace corvale
