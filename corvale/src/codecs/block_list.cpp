#include "codecs/block_list.h"

#include <algorithm>

#include "codecs/container.h"
#include "codecs/error.h"

namespace corvale {
namespace {

constexpr std::uint8_t kBlockListType = 12;

BlockListRoad g_road;

void decode_blocks_one_by_one(ByteCursor& cursor, std::string& output, std::uint64_t limit) {
  while (const std::optional<std::string_view> block = take_next_block(cursor)) {
    append_block_output(output, decode_block(*block, block_list_room(output.size(), limit)), limit);
  }
}

}  // namespace

ByteBuffer decode_block(std::string_view block, std::uint64_t limit) {
  if (!block.empty() && (static_cast<unsigned char>(block[0]) & 0x7F) == kBlockListType) {
    throw Error(kNestedBlockArchive);
  }
  ByteBuffer restored = decode_archive(block, std::min(limit, kMaxBlockSize));
  // Every decoder keeps to its limit; this holds the line should one ever fail to.
  if (restored.size() > kMaxBlockSize) throw Error(kBlockTooLarge);
  return restored;
}

std::optional<std::string_view> take_next_block(ByteCursor& cursor) {
  const std::uint64_t length = cursor_read_varint_u64(cursor);
  if (length == 0) return std::nullopt;
  if (length > kMaxBlockSize) throw Error(kInvalidBlockSize);
  return cursor_take_bytes(cursor, length);
}

std::uint64_t block_room(std::uint64_t used, std::uint64_t limit) {
  return used >= limit ? 0 : std::min(limit - used, kMaxBlockSize);
}

std::uint64_t block_list_room(std::uint64_t used, std::uint64_t limit) {
  return used >= limit ? kMaxBlockSize : block_room(used, limit);
}

void append_block_output(std::string& output, std::string_view restored, std::uint64_t limit) {
  if (restored.size() > limit || output.size() > limit - restored.size()) throw output_limit_error();
  output.append(restored);
}

std::string decode_block_list(std::string_view payload, std::uint64_t limit) {
  ByteCursor cursor{payload};
  std::string output;
  if (g_road.decode != nullptr && g_road.workers >= 2) {
    g_road.decode(cursor, output, limit, g_road.workers);
  } else {
    decode_blocks_one_by_one(cursor, output, limit);
  }
  if (!cursor.at_end()) throw Error(kTrailingBlockListData);
  return output;
}

void set_block_list_road(BlockListRoad road) { g_road = road; }

}  // namespace corvale
