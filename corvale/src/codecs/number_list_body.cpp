#include "codecs/number_list_body.h"

#include <algorithm>
#include <cstring>

#include "codecs/entropy.h"

namespace corvale {

namespace {

constexpr std::size_t kMaxPlaneWidth = 32;

unsigned byte_length(std::uint64_t v) { return v == 0 ? 0 : (64 - __builtin_clzll(v) + 7) / 8; }
unsigned varint_length(std::uint64_t v) { return (64 - __builtin_clzll(v | 1) + 6) / 7; }

}  // namespace

void append_number_list_body(const std::uint64_t* values, std::size_t n, std::uint8_t layout, std::string& out) {
  if (layout == kLayoutEntropy) {
    encode_entropy_body(values, n, out);
    return;
  }
  if (layout == kLayoutVarints) {
    // Sized first, then written in place: no growth and no per-byte append.
    std::size_t size = 0;
    for (std::size_t i = 0; i < n; ++i) size += varint_length(values[i]);
    const std::size_t start = out.size();
    out.resize(start + size);
    auto* p = reinterpret_cast<unsigned char*>(out.data() + start);
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t v = values[i];
      while (v >= 0x80) {
        *p++ = static_cast<unsigned char>(v | 0x80);
        v >>= 7;
      }
      *p++ = static_cast<unsigned char>(v);
    }
    return;
  }
  std::uint64_t all_bits = 0;
  for (std::size_t i = 0; i < n; ++i) all_bits |= values[i];
  const unsigned width = std::max(1u, byte_length(all_bits));
  const std::size_t start = out.size();
  out.resize(start + 1 + width * n);
  out[start] = static_cast<char>(width);
  for (unsigned j = 0; j < width; ++j) {
    char* plane = out.data() + start + 1 + j * n;
    const unsigned shift = 8 * j;
    for (std::size_t i = 0; i < n; ++i) plane[i] = static_cast<char>(values[i] >> shift);
  }
}

std::vector<LayoutCandidate> encode_number_list_candidates(const std::vector<std::uint64_t>& values) {
  std::vector<LayoutCandidate> out;
  out.reserve(3);
  for (const std::uint8_t layout : {kLayoutVarints, kLayoutBytePlanes, kLayoutEntropy}) {
    if (layout == kLayoutEntropy && values.empty()) continue;
    LayoutCandidate candidate{layout, {}};
    append_number_list_body(values.data(), values.size(), layout, candidate.bytes);
    out.push_back(std::move(candidate));
  }
  return out;
}

std::vector<LayoutCandidate> encode_number_list_candidates(const std::vector<BigInt>& values) {
  const bool narrow = std::all_of(values.begin(), values.end(), [](const BigInt& v) { return v.fits_u64(); });
  if (narrow) {
    std::vector<std::uint64_t> small;
    small.reserve(values.size());
    for (const BigInt& v : values) small.push_back(v.to_u64());
    return encode_number_list_candidates(small);
  }

  // At least one value is 2^64 or more: no entropy candidate.
  const std::size_t n = values.size();
  std::vector<LayoutCandidate> out;
  std::string varints;
  for (const BigInt& v : values) write_varint_big(v, varints);
  out.push_back({kLayoutVarints, std::move(varints)});

  std::size_t width = 0;
  for (const BigInt& v : values) width = std::max(width, (v.bit_length() + 7) / 8);
  if (width <= kMaxPlaneWidth) {
    std::string planes(1 + width * n, '\0');
    planes[0] = static_cast<char>(width);
    for (std::size_t i = 0; i < n; ++i) {
      const std::string le = values[i].to_bytes_le();
      for (std::size_t j = 0; j < le.size(); ++j) planes[1 + j * n + i] = le[j];
    }
    out.push_back({kLayoutBytePlanes, std::move(planes)});
  }
  return out;
}

DecodedBody decode_number_list_body_narrow(ByteCursor& cursor, std::uint8_t method, std::uint64_t count,
                                           std::size_t front) {
  DecodedBody body;
  if (method & kLayoutBytePlanes) {
    if (method >= 16) throw Error(kInvalidLayout);
    const unsigned width = cursor_take_byte(cursor);
    if (width == 0 || width > kMaxPlaneWidth) throw Error(kInvalidBytePlaneWidth);
    if (count > cursor.remaining() / width) throw Error(kTruncatedNumberList);
    const auto* planes = reinterpret_cast<const unsigned char*>(cursor_take_bytes(cursor, width * count).data());
    if (width <= 8) {
      body.narrow.assign(front + count, 0);
      std::uint64_t* v = body.narrow.data() + front;
      for (unsigned j = 0; j < width; ++j) {
        const unsigned char* plane = planes + j * count;
        const unsigned shift = 8 * j;
        for (std::uint64_t i = 0; i < count; ++i) v[i] |= static_cast<std::uint64_t>(plane[i]) << shift;
      }
    } else {
      body.wide = true;
      body.values.reserve(count);
      unsigned char le[kMaxPlaneWidth];
      for (std::uint64_t i = 0; i < count; ++i) {
        for (unsigned j = 0; j < width; ++j) le[j] = planes[j * count + i];
        body.values.push_back(BigInt::from_bytes_le(le, width));
      }
    }
    return body;
  }

  if (method >= 16) {
    body.narrow.resize(front);
    decode_entropy_body_append(cursor, count, body.narrow);
    return body;
  }

  // Varints: every one takes at least a byte, which bounds the room worth reserving.
  body.narrow.reserve(front + std::min<std::uint64_t>(count, cursor.remaining()));
  body.narrow.resize(front);
  const auto* data = reinterpret_cast<const unsigned char*>(cursor.data.data());
  const std::uint64_t size = cursor.data.size();
  std::uint64_t i = 0;
  for (; i < count; ++i) {
    // Up to nine bytes always fit in 64 bits; anything longer goes through the big reader.
    std::uint64_t p = cursor.pos;
    std::uint64_t v = 0;
    unsigned shift = 0;
    bool done = false;
    unsigned char b = 0;
    while (p < size && shift < 63) {
      b = data[p++];
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) {
        done = true;
        break;
      }
      shift += 7;
    }
    if (done) {
      const bool multi = p - cursor.pos >= 2;
      cursor.pos = p;
      if (multi && b == 0) throw Error(kNonCanonicalVarint);
      body.narrow.push_back(v);
      continue;
    }
    BigInt big = cursor_read_varint_big(cursor, false, 0);
    if (big.fits_u64()) {
      body.narrow.push_back(big.to_u64());
      continue;
    }
    body.wide = true;
    body.values.reserve(body.narrow.size() - front + 1);
    for (std::size_t k = front; k < body.narrow.size(); ++k) body.values.emplace_back(body.narrow[k]);
    body.narrow = {};
    body.values.push_back(std::move(big));
    ++i;
    break;
  }
  for (; i < count; ++i) body.values.push_back(cursor_read_varint_big(cursor, false, 0));
  return body;
}

std::vector<BigInt> decode_number_list_body(ByteCursor& cursor, std::uint8_t method, std::uint64_t count) {
  DecodedBody body = decode_number_list_body_narrow(cursor, method, count);
  if (body.wide) return std::move(body.values);
  std::vector<BigInt> out;
  out.reserve(body.narrow.size());
  for (std::uint64_t v : body.narrow) out.emplace_back(v);
  return out;
}

BigInt zigzag_encode_big(const BigInt& x) { return BigInt::zigzag(x); }
BigInt zigzag_decode_big(const BigInt& m) { return BigInt::unzigzag(m); }

std::vector<BigInt> delta_encode_big(const std::vector<BigInt>& values) {
  std::vector<BigInt> out;
  out.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    out.push_back(i == 0 ? values[0] : values[i] - values[i - 1]);
  }
  return out;
}

void prefix_sum_in_place(std::vector<BigInt>& values) {
  for (std::size_t i = 1; i < values.size(); ++i) values[i] += values[i - 1];
}

void collect_zigzag_decoded_bigints(std::vector<BigInt>& out, std::vector<BigInt> magnitudes) {
  out.reserve(out.size() + magnitudes.size());
  for (const BigInt& m : magnitudes) out.push_back(zigzag_decode_big(m));
}

void collect_bigints_offset_by_base(std::vector<BigInt>& out, std::vector<BigInt> magnitudes, const BigInt& base) {
  out.reserve(out.size() + magnitudes.size());
  for (BigInt& m : magnitudes) {
    m += base;
    out.push_back(std::move(m));
  }
}

}  // namespace corvale
