#include "archive/block_list.h"

#include <algorithm>

#include "archive/container.h"
#include "codecs/single/numeric_text.h"
#include "core/error.h"
#include "core/output_budget.h"

namespace corvale {
namespace {

constexpr std::uint8_t kBlockListType = 12;

BlockListRoad g_road;

void decode_blocks_one_by_one(ByteCursor& cursor, std::string& output, std::uint64_t limit) {
  const std::uint64_t room = block_room(limit);
  while (const std::optional<std::string_view> block = take_next_block(cursor)) {
    append_block_output(output, decode_block(*block, room), limit);
  }
}

}  // namespace

ByteBuffer decode_block(std::string_view block, std::uint64_t room) {
  if (!block.empty() && (static_cast<unsigned char>(block[0]) & 0x7F) == kBlockListType) {
    throw Error(kNestedBlockArchive);
  }
  ByteBuffer restored;
  try {
    restored = decode_archive(block, std::min(room, kMaxBlockSize));
  } catch (const Error& e) {
    // Under a room that the output limit cut below a whole block, a number too long for the
    // room is the output passing the limit, as a longer block of any other type would be.
    if (room < kMaxBlockSize && std::string_view(e.what()) == kNumericPayloadExceedsLimit) throw output_limit_error();
    throw;
  }
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

std::uint64_t block_room(std::uint64_t limit) { return std::min(limit, kMaxBlockSize); }

void append_block_output(std::string& output, std::string_view restored, std::uint64_t limit) {
  if (restored.size() > limit || output.size() > limit - restored.size()) throw output_limit_error();
  output.append(restored);
}

std::string decode_block_list_payload(std::string_view payload, std::uint64_t limit) {
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
