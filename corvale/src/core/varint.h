#pragma once
// The byte cursor every payload decoder reads through and unsigned LEB128 varints in their
// 64-bit and big-integer forms, all decoded by one core (scan_varint).

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/bigint.h"
#include "core/error.h"
#include "core/output_budget.h"  // the output-limit guards every reader of varints uses

namespace corvale {

// A read position over bytes the caller owns.
struct ByteCursor {
  std::string_view data;
  std::uint64_t pos = 0;

  bool at_end() const { return pos == data.size(); }
  std::uint64_t remaining() const { return data.size() - pos; }
  const unsigned char* here() const { return reinterpret_cast<const unsigned char*>(data.data()) + pos; }
};

// What every payload read through a cursor fails with when its bytes run out, whatever its
// kind: the archive format words it so for all of them.
inline constexpr const char kCursorOutOfBytes[] = "Truncated number list";
inline constexpr const char kInvalidVarint[] = "Invalid varint";
inline constexpr const char kNonCanonicalVarint[] = "Non-canonical varint";

// What the core found at the start of some bytes, checked in this order: the bytes ran out
// (Truncated), the varint continued past its allowed length (TooLong), a multi-byte varint ends
// in 0x00 (NonCanonical).
enum class VarintFault : std::uint8_t { None, Truncated, TooLong, NonCanonical };

struct VarintScan {
  std::uint64_t value;   // bits 0-63 of the value (exact when length <= 9, and for a 10th byte of 0 or 1)
  std::uint64_t length;  // bytes of the varint, or bytes read up to the fault
  VarintFault fault;
};

// The one varint decoding core: the varint at p, of which `available` bytes exist, at most
// max_bytes long (0: any length). Inline, because body decoders call it once per value.
inline VarintScan scan_varint(const unsigned char* p, std::uint64_t available, std::uint64_t max_bytes) {
  if (available != 0 && p[0] < 0x80) return {p[0], 1, VarintFault::None};
  std::uint64_t v = 0;
  for (std::uint64_t i = 0;; ++i) {
    if (i == available) return {v, i, VarintFault::Truncated};
    const unsigned char b = p[i];
    // The 10th byte lands in bit 63; 64-bit readers check that it holds nothing more.
    if (i < 10) v |= static_cast<std::uint64_t>(b & 0x7F) << (7 * i);
    if (!(b & 0x80)) return {v, i + 1, i > 0 && b == 0 ? VarintFault::NonCanonical : VarintFault::None};
    if (i + 1 == max_bytes) return {v, i + 1, VarintFault::TooLong};
  }
}

// How the cursor readers word what the core found (fault is not None): a decoder that scans
// varints itself reports them in the same words.
const char* cursor_varint_fault_message(VarintFault fault);

// The next n bytes; pos is unchanged on failure.
std::string_view cursor_take_bytes(ByteCursor& cursor, std::uint64_t n);
std::uint8_t cursor_take_byte(ByteCursor& cursor);
// bounded: a varint of more than max_bytes bytes fails with "Invalid varint".
BigInt cursor_read_varint_big(ByteCursor& cursor, bool bounded, std::uint64_t max_bytes);
std::uint64_t cursor_read_varint_u64(ByteCursor& cursor);
// The same, with its usual case inline: a varint of one byte, as nearly every count and length
// is. Anything else goes to the full reader, which reports every fault as before.
inline std::uint64_t cursor_read_short_varint_u64(ByteCursor& cursor) {
  if (cursor.pos < cursor.data.size()) {
    const auto byte = static_cast<unsigned char>(cursor.data[cursor.pos]);
    if (byte < 0x80) {
      ++cursor.pos;
      return byte;
    }
  }
  return cursor_read_varint_u64(cursor);
}
std::vector<std::uint64_t> cursor_read_varint_vec(ByteCursor& cursor, std::uint64_t count);

// The varint at the start of a plain slice: (value, bytes used). Running out is "Invalid varint".
std::pair<std::uint64_t, std::uint64_t> decode_varint_u64(std::string_view bytes);

void write_varint_big(const BigInt& value, std::string& out);
void write_varint_u64(std::uint64_t value, std::string& out);

// The bytes of value's varint, from its bit length alone.
inline constexpr unsigned varint_size(std::uint64_t value) {
  return static_cast<unsigned>(64 - std::countl_zero(value | 1) + 6) / 7;
}

// A varint, its usual one byte written inline: encoders write a few for every value.
inline void put_varint(std::uint64_t value, std::string& out) {
  if (value < 0x80) {
    out.push_back(static_cast<char>(value));
  } else {
    write_varint_u64(value, out);
  }
}

// The same into room already made for it (varint_size(value) bytes); returns the end.
inline char* put_varint(std::uint64_t value, char* p) {
  while (value >= 0x80) {
    *p++ = static_cast<char>(value | 0x80);
    value >>= 7;
  }
  *p++ = static_cast<char>(value);
  return p;
}

}  // namespace corvale
