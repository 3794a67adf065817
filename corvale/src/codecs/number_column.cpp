#include "codecs/number_column.h"

#include <algorithm>
#include <utility>

#include "codecs/candidate_choice.h"
#include "codecs/error.h"
#include "codecs/number_list_body.h"

namespace corvale {

namespace {

// A head value or the base: as long as its varint in the body, charged once built.
BigInt read_signed_value(ByteCursor& cursor, MagnitudeBudget& budget) {
  BigInt v = zigzag_decode_big(cursor_read_varint_big(cursor, false, 0));
  if (!v.fits_i64()) budget.charge(v);
  return v;
}

}  // namespace

std::optional<std::string> encode_number_column(IntegerList values, std::uint64_t max_bytes) {
  DifferenceFraming framing;
  framing.method_byte_first = true;
  framing.max_bytes = max_bytes;
  std::optional<DifferenceEncoding> chosen = choose_difference_encoding(std::move(values), framing);
  if (!chosen) return std::nullopt;
  return std::move(chosen->bytes);
}

NumberColumnReader::NumberColumnReader(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget)
    : budget_(budget),
      method_(read_method_head_and_base(cursor, count)),
      body_(cursor, method_, count - head_.size()),
      pieces_(head_, base_ ? &*base_ : nullptr, body_, method_ & kColumnOrderMask) {}

std::uint8_t NumberColumnReader::read_method_head_and_base(ByteCursor& cursor, std::uint64_t count) {
  const std::uint8_t method = cursor_take_byte(cursor);
  if ((method & kColumnOrderMask) == 3 || method >= 32) throw Error(kInvalidColumnMethod);
  const std::uint64_t h = std::min<std::uint64_t>(method & kColumnOrderMask, count);
  for (std::uint64_t i = 0; i < h; ++i) head_.push_back(read_signed_value(cursor, budget_));
  // With no value left for the body (count <= k) a base is read and has nothing to offset: it
  // is built for none, so it costs the budget nothing.
  if (method & kColumnBase) {
    if (h == count) {
      cursor_read_varint_big(cursor, false, 0);
    } else {
      base_ = read_signed_value(cursor, budget_);
    }
  }
  return method;
}

IntegerList decode_number_column(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget) {
  NumberColumnReader reader(cursor, count, budget);
  IntegerList values(Signedness::Signed);
  IntegerList piece(Signedness::Signed);
  while (reader.next(piece)) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
      if (piece.wide()) {
        values.push_back(piece.big()[i]);
      } else {
        values.push_word(piece.words()[i]);
      }
    }
  }
  return values;
}

bool stays_in_words(const IntegerList& values) {
  if (values.wide()) return false;
  constexpr std::int64_t kBound = std::int64_t{1} << 61;
  return std::all_of(values.words().begin(), values.words().end(), [](std::uint64_t bits) {
    const auto v = static_cast<std::int64_t>(bits);
    return v < kBound && v > -kBound;
  });
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
