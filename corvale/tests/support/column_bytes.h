#pragma once
// Pieces of column bodies written by hand, for the tests of the codecs that store table columns:
// varints, length-prefixed texts and whole raw columns.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/columns/table_column.h"
#include "support/varints.h"

namespace corvale::test {

// A varint length, then the bytes.
inline std::string text_bytes(std::string_view s) { return varint(s.size()) + std::string(s); }

// A raw column (kind 3 unless told otherwise), its kind byte first.
inline std::string raw_column(const std::vector<std::string_view>& cells, std::uint8_t kind = kColumnRaw) {
  std::string out(1, static_cast<char>(kind));
  for (std::string_view cell : cells) out += text_bytes(cell);
  return out;
}

}  // namespace corvale::test
