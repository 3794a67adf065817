#include "stream/block_list_parallel.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "codecs/block_list.h"
#include "platform/platform.h"
#include "stream/ordered_block_pool.h"

namespace corvale {
namespace {

// A block where it lies in the payload, and the room it may fill (see decode_block).
struct BlockRange {
  std::string_view archive;
  std::uint64_t room = 0;
};

}  // namespace

void decode_block_archive_parallel(ByteCursor& cursor, std::string& output, std::uint64_t limit, unsigned workers) {
  run_ordered_blocks<BlockRange, std::string>(
      workers,
      [&]() -> std::optional<BlockRange> {
        const std::optional<std::string_view> block = take_next_block(cursor);
        if (!block) return std::nullopt;
        return BlockRange{*block, block_room(output.size(), limit)};
      },
      [](BlockRange&& block) { return decode_block(block.archive, block.room); },
      [&](std::string&& restored) { append_block_output(output, restored, limit); });
}

unsigned block_list_workers(unsigned processors) { return processors < 2 ? 0 : std::min(processors, 8u); }

void install_parallel_block_list_decoder() {
  set_block_list_road({decode_block_archive_parallel, block_list_workers(platform::processor_count())});
}

}  // namespace corvale
