#include "codecs/varint.h"

namespace corvale {

std::string_view cursor_take_bytes(ByteCursor& cursor, std::uint64_t n) {
  if (n > cursor.remaining()) throw Error(kTruncatedNumberList);
  std::string_view out = cursor.data.substr(cursor.pos, n);
  cursor.pos += n;
  return out;
}

std::uint8_t cursor_take_byte(ByteCursor& cursor) {
  if (cursor.at_end()) throw Error(kTruncatedNumberList);
  return static_cast<unsigned char>(cursor.data[cursor.pos++]);
}

BigInt cursor_read_varint_big(ByteCursor& cursor, bool bounded, std::uint64_t max_bytes) {
  const std::uint64_t start = cursor.pos;
  const auto* bytes = reinterpret_cast<const unsigned char*>(cursor.data.data());
  const std::uint64_t size = cursor.data.size();
  std::uint64_t end = start;  // one past the last byte of the varint
  if (!bounded) {
    while (end < size && (bytes[end] & 0x80)) ++end;
    if (end == size) {
      cursor.pos = size;
      throw Error(kTruncatedNumberList);
    }
    ++end;
  } else {
    std::uint64_t continued = 0;
    for (;;) {
      if (end == size) {
        cursor.pos = size;
        throw Error(kTruncatedNumberList);
      }
      unsigned char b = bytes[end++];
      if (!(b & 0x80)) break;
      if (++continued == max_bytes) {
        cursor.pos = end;
        throw Error(kInvalidVarint);
      }
    }
  }
  cursor.pos = end;
  const std::uint64_t len = end - start;
  if (len >= 2 && bytes[end - 1] == 0) throw Error(kNonCanonicalVarint);
  if (len <= 9) {
    std::uint64_t v = 0;
    for (std::uint64_t i = 0; i < len; ++i) v |= static_cast<std::uint64_t>(bytes[start + i] & 0x7F) << (7 * i);
    return BigInt(v);
  }
  // The continuation bits act as GMP nails, so the digits convert in one linear pass.
  return BigInt::from_base128_le(bytes + start, len);
}

std::uint64_t cursor_read_varint_u64(ByteCursor& cursor) {
  // Same checks and order as the big reader, without building a big integer.
  const auto* bytes = reinterpret_cast<const unsigned char*>(cursor.data.data());
  const std::uint64_t size = cursor.data.size();
  std::uint64_t p = cursor.pos;
  std::uint64_t v = 0;
  for (unsigned i = 0;; ++i) {
    if (p == size) {
      cursor.pos = size;
      throw Error(kTruncatedNumberList);
    }
    unsigned char b = bytes[p++];
    if (i < 9) {
      v |= static_cast<std::uint64_t>(b & 0x7F) << (7 * i);
    }
    if (!(b & 0x80)) {
      cursor.pos = p;
      if (i >= 1 && b == 0) throw Error(kNonCanonicalVarint);
      if (i == 9) {
        if (b > 1) throw Error(kInvalidVarint);
        v |= static_cast<std::uint64_t>(b) << 63;
      }
      return v;
    }
    if (i == 9) {
      cursor.pos = p;
      throw Error(kInvalidVarint);
    }
  }
}

std::vector<std::uint64_t> cursor_read_varint_vec(ByteCursor& cursor, std::uint64_t count) {
  std::vector<std::uint64_t> out;
  // Every varint takes at least one byte, so a count beyond the bytes left cannot succeed:
  // read on without storing until the first failure, whose message is the one to report.
  if (count > cursor.remaining()) {
    for (;;) cursor_read_varint_u64(cursor);
  }
  out.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) out.push_back(cursor_read_varint_u64(cursor));
  return out;
}

std::pair<std::uint64_t, std::uint64_t> decode_varint_u64(std::string_view bytes) {
  std::uint64_t v = 0;
  for (std::uint64_t i = 0; i < 10; ++i) {
    if (i >= bytes.size()) throw Error(kInvalidVarint);
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (i == 9) {
      if (b > 1) throw Error(kInvalidVarint);
      v |= static_cast<std::uint64_t>(b) << 63;
    } else {
      v |= static_cast<std::uint64_t>(b & 0x7F) << (7 * i);
    }
    if (!(b & 0x80)) {
      if (i >= 1 && b == 0) throw Error(kNonCanonicalVarint);
      return {v, i + 1};
    }
  }
  throw Error(kInvalidVarint);  // unreachable: the 10th byte never continues past the check
}

void write_varint_u64(std::uint64_t value, std::string& out) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

void write_varint_big(const BigInt& value, std::string& out) {
  if (value.fits_u64()) {
    write_varint_u64(value.to_u64(), out);
    return;
  }
  std::string digits = value.to_base128_le();
  for (std::size_t i = 0; i + 1 < digits.size(); ++i) digits[i] = static_cast<char>(digits[i] | 0x80);
  out += digits;
}

void check_decimal_output_size(const BigInt& value, std::uint64_t room) {
  if (value.bit_length() / 4 > room) throw output_limit_error();
}

Error output_limit_error() { return Error(kOutputLimitExceeded); }

}  // namespace corvale
