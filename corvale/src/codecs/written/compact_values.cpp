#include "codecs/written/compact_values.h"

#include <algorithm>
#include <cstring>

#include "codecs/numbers/number_column.h"
#include "codecs/written/decimal_scale.h"
#include "core/magnitude.h"

namespace corvale {

namespace {

// The width of the narrowest slot that holds v above its least word, which marks a big value.
unsigned width_of(std::int64_t v) {
  if (v > INT8_MIN && v <= INT8_MAX) return 1;
  if (v > INT16_MIN && v <= INT16_MAX) return 2;
  if (v > INT32_MIN && v <= INT32_MAX) return 4;
  return 8;
}

// Whether a big integer of a piece is kept as a word: INT64_MIN is the mark of a big value in
// 8-byte slots, so it stays big.
bool fits_slot(const BigInt& v) { return v.fits_i64() && v.to_i64() != INT64_MIN; }

// Every word at p, each in sizeof(Word) bytes; each must fit.
template <class Word>
void store_all(unsigned char* p, const std::vector<std::uint64_t>& words) {
  for (const std::uint64_t w : words) {
    const auto v = static_cast<Word>(static_cast<std::int64_t>(w));
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
  }
}

}  // namespace

void CompactValues::widen_words(unsigned width) {
  // In place, from the last value back: value i moves up to i x width, past every value before
  // it that is still to be read at the old width. A big value's mark becomes the new width's.
  const std::int64_t old_marker = marker_;
  const std::int64_t new_marker = detail::least_compact_word(width);
  bytes_.resize(count_ * width);
  for (std::size_t i = count_; i-- > 0;) {
    const std::int64_t v = detail::load_compact_word(data() + i * width_, width_);
    detail::store_compact_word(data() + i * width, width, v == old_marker ? new_marker : v);
  }
  width_ = width;
  marker_ = new_marker;
}

std::size_t CompactValues::big_ordinal(std::size_t i) const {
  return static_cast<std::size_t>(
      std::lower_bound(big_.begin(), big_.end(), i, [](const Big& b, std::size_t index) { return b.index < index; }) -
      big_.begin());
}

void CompactValues::append_mixed(const IntegerList& piece, MagnitudeBudget* budget, std::uint64_t dropped) {
  const std::span<const BigInt> values = piece.big();
  unsigned width = width_;
  for (const BigInt& v : values) {
    if (fits_slot(v)) width = std::max(width, width_of(v.to_i64()));
  }
  if (width > width_) widen_words(width);
  bytes_.resize((count_ + values.size()) * width_);
  for (const BigInt& v : values) {
    if (fits_slot(v)) {
      detail::store_compact_word(data() + count_ * width_, width_, v.to_i64());
    } else {
      detail::store_compact_word(data() + count_ * width_, width_, marker_);
      const std::uint64_t least = least_decimal_digits(v.bit_length());
      const std::uint64_t printed = least > dropped ? least - dropped : 0;
      if (budget != nullptr) budget->charge_printed(printed);
      big_.push_back({count_, v.sign() < 0, v, {}, printed});
    }
    ++count_;
  }
}

void CompactValues::append(const IntegerList& piece, MagnitudeBudget* budget, std::uint64_t dropped) {
  if (piece.wide()) return append_mixed(piece, budget, dropped);
  const std::vector<std::uint64_t>& words = piece.words();
  if (words.empty()) return;
  // The extremes tell the width, in a loop the compiler can run many lanes wide.
  std::int64_t low = static_cast<std::int64_t>(words[0]);
  std::int64_t high = low;
  for (const std::uint64_t w : words) {
    low = std::min(low, static_cast<std::int64_t>(w));
    high = std::max(high, static_cast<std::int64_t>(w));
  }
  if (low == INT64_MIN) {
    IntegerList wide = piece;
    wide.widen();
    return append_mixed(wide, budget, dropped);
  }
  const unsigned width = std::max({width_, width_of(low), width_of(high)});
  if (width > width_) widen_words(width);
  bytes_.resize((count_ + words.size()) * width_);
  unsigned char* const at = data() + count_ * width_;
  switch (width_) {
    case 1:
      store_all<std::int8_t>(at, words);
      break;
    case 2:
      store_all<std::int16_t>(at, words);
      break;
    case 4:
      store_all<std::int32_t>(at, words);
      break;
    default:
      store_all<std::int64_t>(at, words);
  }
  count_ += words.size();
}

void CompactValues::make_digits(MagnitudeBudget& budget, std::uint64_t dropped) {
  for (Big& b : big_) {
    if (!b.digits.empty()) continue;  // made before: a magnitude has at least one digit
    const std::uint64_t least = least_decimal_digits(b.value.bit_length());
    const std::uint64_t least_printed = least > dropped ? least - dropped : 0;
    if (least_printed > b.printed_charged) {
      budget.charge_printed(least_printed - b.printed_charged);
      b.printed_charged = least_printed;
    }
    b.value.append_decimal_magnitude(b.digits);
    b.value = BigInt();
    const std::uint64_t printed = b.digits.size() > dropped ? b.digits.size() - dropped : 0;
    if (printed > b.printed_charged) budget.charge_printed(printed - b.printed_charged);
    b.printed_charged = printed;
  }
}

std::uint64_t undo_word_decimal_scale(CompactValues& values, std::size_t i, std::uint64_t s, std::uint64_t x,
                                      bool relative) {
  const std::int64_t v = values.word(i);
  std::uint64_t magnitude = magnitude_of(v);
  const std::uint64_t f = undo_decimal_scale(magnitude, s, x, relative);
  values.shrink_word(i, static_cast<std::int64_t>(v < 0 ? 0 - magnitude : magnitude));
  return f;
}

CompactValues read_compact_number_column(ByteCursor& cursor, std::uint64_t count, std::uint64_t dropped,
                                         MagnitudeBudget& budget) {
  NumberColumnReader reader(cursor, count, budget);
  CompactValues values;
  IntegerList piece(Signedness::Signed);
  while (reader.next(piece)) values.append(piece, &budget, dropped);
  return values;
}

}  // namespace corvale
