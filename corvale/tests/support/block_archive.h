#pragma once
// Block lists and block archive files built by hand, for tests that damage them on purpose.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/varint.h"
#include "support/archive_surgery.h"

namespace corvale::test {

// Each block behind its length, then the closing length 0.
inline std::string block_list(const std::vector<std::string>& blocks) {
  std::string out;
  for (const std::string& block : blocks) {
    write_varint_u64(block.size(), out);
    out += block;
  }
  out.push_back('\0');
  return out;
}

// 0x8C, the block list, and the CRC-32 of restored.
inline std::string block_archive_file(const std::vector<std::string>& blocks, std::string_view restored) {
  std::string out(1, '\x8C');
  out += block_list(blocks);
  return out + be32(crc32_of(restored));
}

// Where each block's archive lies in a block archive file.
struct BlockSpan {
  std::size_t offset;
  std::size_t size;
};

inline std::vector<BlockSpan> block_spans(std::string_view file) {
  if (file.empty() || static_cast<unsigned char>(file[0]) != 0x8C) throw std::runtime_error("not a block archive");
  ByteCursor cursor{file.substr(1)};
  std::vector<BlockSpan> spans;
  while (const std::uint64_t length = cursor_read_varint_u64(cursor)) {
    spans.push_back({static_cast<std::size_t>(1 + cursor.pos), static_cast<std::size_t>(length)});
    cursor_take_bytes(cursor, length);
  }
  if (cursor.remaining() != 4) throw std::runtime_error("no 4-byte trailer after the blocks");
  return spans;
}

}  // namespace corvale::test
