#pragma once
// Block lists and block archive files built by hand, for tests that damage them on purpose.

#include <string>
#include <string_view>
#include <vector>

#include "codecs/varint.h"
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

}  // namespace corvale::test
