#pragma once
// A small test-side writer of payload pieces, for crafting the malformed bodies a decoder must
// refuse: varints, length-prefixed texts and raw columns.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/table_column.h"
#include "codecs/varint.h"

namespace corvale::test {

inline std::string varint(std::uint64_t v) {
  std::string out;
  write_varint_u64(v, out);
  return out;
}

inline std::string text_bytes(std::string_view s) { return varint(s.size()) + std::string(s); }

// A column of kind 3 (raw), or of any kind byte given, followed by the raw body of cells.
inline std::string raw_column(const std::vector<std::string>& cells, std::uint8_t kind = kColumnRaw) {
  std::string out(1, static_cast<char>(kind));
  for (const std::string& cell : cells) out += text_bytes(cell);
  return out;
}

}  // namespace corvale::test
