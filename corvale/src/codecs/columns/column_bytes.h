#pragma once
// How column bodies write and read their texts and the indices that choose among texts.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/varint.h"

namespace corvale {

// Up to this many texts an index is one byte; beyond, a varint.
inline constexpr std::uint64_t kByteIndexTexts = 256;

inline void write_column_bytes(std::string_view bytes, std::string& out) {
  put_varint(bytes.size(), out);
  out += bytes;
}

inline void write_column_index(std::uint64_t index, std::uint64_t texts, std::string& out) {
  if (texts <= kByteIndexTexts) {
    out.push_back(static_cast<char>(index));
  } else {
    put_varint(index, out);
  }
}

inline std::uint64_t read_column_index(ByteCursor& cursor, std::uint64_t texts) {
  if (texts > kByteIndexTexts) return cursor_read_short_varint_u64(cursor);
  if (cursor.at_end()) return cursor_take_byte(cursor);
  return static_cast<unsigned char>(cursor.data[cursor.pos++]);
}

// A reader of the few bytes every decoded cell takes, inline for the usual case; anything else
// goes to the full reader, which reports every fault as before.
inline std::string_view take_cell_bytes(ByteCursor& cursor, std::uint64_t n) {
  if (n > cursor.remaining()) return cursor_take_bytes(cursor, n);
  const std::string_view bytes = cursor.data.substr(cursor.pos, n);
  cursor.pos += n;
  return bytes;
}

}  // namespace corvale
