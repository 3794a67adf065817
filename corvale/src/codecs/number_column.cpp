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

IntegerList decode_number_column(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget) {
  const std::uint8_t method = cursor_take_byte(cursor);
  if ((method & kColumnOrderMask) == 3 || method >= 32) throw Error(kInvalidColumnMethod);
  const unsigned k = method & kColumnOrderMask;
  const std::uint64_t h = std::min<std::uint64_t>(k, count);
  IntegerList values(Signedness::Signed);
  for (std::uint64_t i = 0; i < h; ++i) values.push_back(read_signed_value(cursor, budget));
  // With no value left for the body (count <= k) a base is read and has nothing to offset.
  std::optional<BigInt> base;
  if (method & kColumnBase) base = read_signed_value(cursor, budget);

  NumberListBodyReader body(cursor, method, count - h);
  IntegerList piece(Signedness::Unsigned);
  while (body.left() > 0) {
    piece.clear();
    body.read(piece, kPieceValues);
    if (base) {
      collect_bigints_offset_by_base(values, piece, *base, &budget);
    } else {
      collect_zigzag_decoded_bigints(values, piece);
    }
  }
  for (unsigned pass = 0; pass < k; ++pass) {
    BigInt carry;
    prefix_sum_in_place(values, carry, &budget);
  }
  return values;
}

}  // namespace corvale
