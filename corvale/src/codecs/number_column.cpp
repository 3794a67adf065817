#include "codecs/number_column.h"

#include <algorithm>
#include <utility>

#include "codecs/error.h"
#include "codecs/number_list_body.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

// Values below 2^61 in magnitude keep their first and second differences, the zigzag of those
// and the offsets from their minimum inside 64 bits.
constexpr std::int64_t kNarrowBound = std::int64_t{1} << 61;

// The smallest framed candidate so far by its fast-deflate size; a tie keeps the earlier one.
struct BestColumn {
  std::string bytes;
  std::uint64_t size = 0;
  bool found = false;

  void offer(std::string candidate) {
    const std::uint64_t candidate_size = deflate_compress_fast(candidate);
    if (found && candidate_size >= size) return;
    found = true;
    size = candidate_size;
    bytes = std::move(candidate);
  }
};

std::string frame(std::uint8_t method, const std::string& head, const std::string& base, const LayoutCandidate& body) {
  std::string out(1, static_cast<char>(method | body.layout));
  out.reserve(1 + head.size() + base.size() + body.bytes.size());
  out += head;
  out += base;
  out += body.bytes;
  return out;
}

std::string encode_narrow(std::vector<std::int64_t> d) {
  const std::size_t n = d.size();
  BestColumn best;
  std::vector<std::uint64_t> magnitudes;
  for (std::uint8_t k = 0; k <= 2; ++k) {
    if (k > 0) {
      for (std::size_t i = n; i-- > 1;) d[i] -= d[i - 1];
    }
    const std::size_t h = std::min<std::size_t>(k, n);
    std::string head;
    for (std::size_t i = 0; i < h; ++i) write_varint_u64(zigzag_encode_i64(d[i]), head);

    magnitudes.clear();
    for (std::size_t i = h; i < n; ++i) magnitudes.push_back(zigzag_encode_i64(d[i]));
    for (const LayoutCandidate& c : encode_number_list_candidates(magnitudes)) best.offer(frame(k, head, {}, c));

    if (h < n) {
      const std::int64_t base = *std::min_element(d.begin() + static_cast<std::ptrdiff_t>(h), d.end());
      std::string base_bytes;
      write_varint_u64(zigzag_encode_i64(base), base_bytes);
      for (std::size_t i = h; i < n; ++i) magnitudes[i - h] = static_cast<std::uint64_t>(d[i]) - static_cast<std::uint64_t>(base);
      for (const LayoutCandidate& c : encode_number_list_candidates(magnitudes)) {
        best.offer(frame(k | kColumnBase, head, base_bytes, c));
      }
    }
  }
  return std::move(best.bytes);
}

std::string encode_wide(std::vector<BigInt> d) {
  const std::size_t n = d.size();
  BestColumn best;
  for (std::uint8_t k = 0; k <= 2; ++k) {
    if (k > 0) d = delta_encode_big(d);
    const std::size_t h = std::min<std::size_t>(k, n);
    std::string head;
    for (std::size_t i = 0; i < h; ++i) write_varint_big(zigzag_encode_big(d[i]), head);

    std::vector<BigInt> magnitudes;
    for (std::size_t i = h; i < n; ++i) magnitudes.push_back(zigzag_encode_big(d[i]));
    for (const LayoutCandidate& c : encode_number_list_candidates(magnitudes)) best.offer(frame(k, head, {}, c));

    if (h < n) {
      const BigInt& base = *std::min_element(d.begin() + static_cast<std::ptrdiff_t>(h), d.end());
      std::string base_bytes;
      write_varint_big(zigzag_encode_big(base), base_bytes);
      for (std::size_t i = h; i < n; ++i) magnitudes[i - h] = d[i] - base;
      for (const LayoutCandidate& c : encode_number_list_candidates(magnitudes)) {
        best.offer(frame(k | kColumnBase, head, base_bytes, c));
      }
    }
  }
  return std::move(best.bytes);
}

}  // namespace

std::string encode_number_column(const ColumnValues& values) {
  if (!values.wide && std::all_of(values.narrow.begin(), values.narrow.end(),
                                  [](std::int64_t v) { return v < kNarrowBound && v > -kNarrowBound; })) {
    return encode_narrow(values.narrow);
  }
  if (values.wide) return encode_wide(values.big);
  std::vector<BigInt> big;
  big.reserve(values.narrow.size());
  for (const std::int64_t v : values.narrow) big.push_back(BigInt::from_i64(v));
  return encode_wide(std::move(big));
}

ColumnValues decode_number_column(ByteCursor& cursor, std::uint64_t count) {
  const std::uint8_t method = cursor_take_byte(cursor);
  if ((method & kColumnOrderMask) == 3 || method >= 32) throw Error(kInvalidColumnMethod);
  const unsigned k = method & kColumnOrderMask;
  const std::uint64_t h = std::min<std::uint64_t>(k, count);
  std::vector<BigInt> values;
  for (std::uint64_t i = 0; i < h; ++i) values.push_back(zigzag_decode_big(cursor_read_varint_big(cursor, false, 0)));
  BigInt base;
  const bool has_base = (method & kColumnBase) != 0;
  if (has_base) base = zigzag_decode_big(cursor_read_varint_big(cursor, false, 0));
  std::vector<BigInt> body = decode_number_list_body(cursor, method, count - h);
  if (has_base) {
    collect_bigints_offset_by_base(values, std::move(body), base);
  } else {
    collect_zigzag_decoded_bigints(values, std::move(body));
  }
  for (unsigned pass = 0; pass < k; ++pass) prefix_sum_in_place(values);

  ColumnValues column;
  if (std::all_of(values.begin(), values.end(), [](const BigInt& v) { return v.fits_i64(); })) {
    column.narrow.reserve(values.size());
    for (const BigInt& v : values) column.narrow.push_back(v.to_i64());
  } else {
    column.wide = true;
    column.big = std::move(values);
  }
  return column;
}

}  // namespace corvale
