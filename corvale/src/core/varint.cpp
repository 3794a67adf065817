#include "core/varint.h"

#include <stdexcept>

namespace corvale {
namespace {

// The core's verdict as the cursor readers word it; pos moves past what was read.
VarintScan scan_at_cursor(ByteCursor& cursor, std::uint64_t max_bytes) {
  const VarintScan s = scan_varint(cursor.here(), cursor.remaining(), max_bytes);
  cursor.pos += s.length;
  if (s.fault != VarintFault::None) throw Error(cursor_varint_fault_message(s.fault));
  return s;
}

// A 10-byte varint's last byte carries bit 63 alone; anything more does not fit in 64 bits.
bool fits_u64(const unsigned char* start, const VarintScan& s) { return s.length < 10 || start[9] <= 1; }

}  // namespace

const char* cursor_varint_fault_message(VarintFault fault) {
  switch (fault) {
    case VarintFault::Truncated: return kCursorOutOfBytes;
    case VarintFault::TooLong: return kInvalidVarint;
    case VarintFault::NonCanonical: return kNonCanonicalVarint;
    case VarintFault::None: break;
  }
  throw std::logic_error("no message for a varint without a fault");
}

std::string_view cursor_take_bytes(ByteCursor& cursor, std::uint64_t n) {
  if (n > cursor.remaining()) throw Error(kCursorOutOfBytes);
  std::string_view out = cursor.data.substr(cursor.pos, n);
  cursor.pos += n;
  return out;
}

std::uint8_t cursor_take_byte(ByteCursor& cursor) {
  if (cursor.at_end()) throw Error(kCursorOutOfBytes);
  return static_cast<unsigned char>(cursor.data[cursor.pos++]);
}

BigInt cursor_read_varint_big(ByteCursor& cursor, bool bounded, std::uint64_t max_bytes) {
  const unsigned char* start = cursor.here();
  const VarintScan s = scan_at_cursor(cursor, bounded ? max_bytes : 0);
  if (s.length <= 9) return BigInt(s.value);
  // The continuation bits act as GMP nails, so the digits convert in one linear pass.
  return BigInt::from_base128_le(start, s.length);
}

std::uint64_t cursor_read_varint_u64(ByteCursor& cursor) {
  const unsigned char* start = cursor.here();
  const VarintScan s = scan_at_cursor(cursor, 10);
  if (!fits_u64(start, s)) throw Error(kInvalidVarint);
  return s.value;
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
  const auto* start = reinterpret_cast<const unsigned char*>(bytes.data());
  const VarintScan s = scan_varint(start, bytes.size(), 10);
  // Outside a cursor, running out of bytes is just another invalid varint.
  if (s.fault == VarintFault::Truncated || s.fault == VarintFault::TooLong) throw Error(kInvalidVarint);
  if (s.fault == VarintFault::NonCanonical) throw Error(kNonCanonicalVarint);
  if (!fits_u64(start, s)) throw Error(kInvalidVarint);
  return {s.value, s.length};
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

}  // namespace corvale
