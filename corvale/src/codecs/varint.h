#pragma once
// The byte cursor every payload decoder reads through, unsigned LEB128 varints in their 64-bit
// and big-integer forms, and the two output-limit guards decoders share.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/bigint.h"
#include "codecs/error.h"

namespace corvale {

// A read position over bytes the caller owns. Running out of bytes is "Truncated number list",
// whatever the payload.
struct ByteCursor {
  std::string_view data;
  std::uint64_t pos = 0;

  bool at_end() const { return pos == data.size(); }
  std::uint64_t remaining() const { return data.size() - pos; }
};

inline constexpr const char kTruncatedNumberList[] = "Truncated number list";
inline constexpr const char kInvalidVarint[] = "Invalid varint";
inline constexpr const char kNonCanonicalVarint[] = "Non-canonical varint";
inline constexpr const char kOutputLimitExceeded[] = "Output exceeds decompression limit";

// The next n bytes; pos is unchanged on failure.
std::string_view cursor_take_bytes(ByteCursor& cursor, std::uint64_t n);
std::uint8_t cursor_take_byte(ByteCursor& cursor);
// bounded: a varint of more than max_bytes bytes fails with "Invalid varint".
BigInt cursor_read_varint_big(ByteCursor& cursor, bool bounded, std::uint64_t max_bytes);
std::uint64_t cursor_read_varint_u64(ByteCursor& cursor);
std::vector<std::uint64_t> cursor_read_varint_vec(ByteCursor& cursor, std::uint64_t count);

// The varint at the start of a plain slice: (value, bytes used). Running out is "Invalid varint".
std::pair<std::uint64_t, std::uint64_t> decode_varint_u64(std::string_view bytes);

void write_varint_big(const BigInt& value, std::string& out);
void write_varint_u64(std::uint64_t value, std::string& out);

// Refuses, before printing, a number whose decimal form cannot fit in room bytes.
void check_decimal_output_size(const BigInt& value, std::uint64_t room);
Error output_limit_error();

}  // namespace corvale
