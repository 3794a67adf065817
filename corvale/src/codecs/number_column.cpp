#include "codecs/number_column.h"

#include <algorithm>
#include <utility>

#include "codecs/candidate_choice.h"
#include "codecs/error.h"
#include "codecs/number_list_body.h"

namespace corvale {

namespace {

// Values are rebuilt from the body this many at a time, so the body's magnitudes are never all
// held beside the values they become.
constexpr std::size_t kPieceValues = 4096;

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

namespace {

std::uint8_t read_column_method(ByteCursor& cursor) {
  const std::uint8_t method = cursor_take_byte(cursor);
  if ((method & kColumnOrderMask) == 3 || method >= 32) throw Error(kInvalidColumnMethod);
  return method;
}

IntegerList read_column_head(ByteCursor& cursor, std::uint8_t method, std::uint64_t count, MagnitudeBudget& budget) {
  const std::uint64_t h = std::min<std::uint64_t>(method & kColumnOrderMask, count);
  IntegerList head(Signedness::Signed);
  for (std::uint64_t i = 0; i < h; ++i) head.push_back(read_signed_value(cursor, budget));
  return head;
}

// With no value left for the body (count <= order) a base is read and has nothing to offset.
std::optional<BigInt> read_column_base(ByteCursor& cursor, std::uint8_t method, MagnitudeBudget& budget) {
  if (!(method & kColumnBase)) return std::nullopt;
  return read_signed_value(cursor, budget);
}

}  // namespace

NumberColumnReader::NumberColumnReader(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget)
    : budget_(budget),
      method_(read_column_method(cursor)),
      head_(read_column_head(cursor, method_, count, budget)),
      base_(read_column_base(cursor, method_, budget)),
      body_(cursor, method_, count - head_.size()) {}

bool NumberColumnReader::next(IntegerList& values) {
  values.clear();
  if (!head_given_) {
    head_given_ = true;
    values = head_;
  }
  if (body_.left() > 0) {
    piece_.clear();
    body_.read(piece_, kPieceValues);
    if (base_) {
      collect_bigints_offset_by_base(values, piece_, *base_, &budget_);
    } else {
      collect_zigzag_decoded_bigints(values, piece_);
    }
  }
  if (values.empty()) return false;
  for (unsigned pass = 0; pass < (method_ & kColumnOrderMask); ++pass) {
    prefix_sum_in_place(values, carries_[pass], &budget_);
  }
  return true;
}

IntegerList decode_number_column(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget) {
  NumberColumnReader reader(cursor, count, budget);
  IntegerList values(Signedness::Signed);
  IntegerList piece(Signedness::Signed);
  while (reader.next(piece)) {
    if (!values.wide() && !piece.wide()) {
      values.words().insert(values.words().end(), piece.words().begin(), piece.words().end());
    } else {
      for (std::size_t i = 0; i < piece.size(); ++i) values.push_back(piece.value(i));
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

}  // namespace corvale
