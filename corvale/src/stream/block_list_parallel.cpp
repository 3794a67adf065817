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
  // A block is given the room the output leaves when it is sent out, and blocks ahead of their
  // turn are never counted in it: left alone, 2 x workers blocks of 64 MiB could be restored at
  // once past an output that already fills the limit. So blocks go out in rounds whose rooms
  // together fit in what the limit left when the round began, and a round ends (every block of
  // it joined to the output) before the next begins: what is restored and waiting never takes
  // the output more than one block past the limit. Each block's room stays what the one-by-one
  // loop would give it or more, so the same archives restore as there.
  std::optional<std::string_view> next_block;
  bool ended = false;
  while (!ended) {
    const std::uint64_t free = limit - std::min(limit, static_cast<std::uint64_t>(output.size()));
    std::uint64_t promised = 0;
    run_ordered_blocks<BlockRange, ByteBuffer>(
        workers,
        [&]() -> std::optional<BlockRange> {
          if (!next_block) next_block = take_next_block(cursor);
          if (!next_block) {
            ended = true;
            return std::nullopt;
          }
          const std::uint64_t room = block_list_room(output.size(), limit);
          if (promised > 0 && room > free - std::min(free, promised)) return std::nullopt;  // opens the next round
          promised += room;
          const BlockRange block{*next_block, room};
          next_block.reset();
          return block;
        },
        [](BlockRange&& block) { return decode_block(block.archive, block.room); },
        [&](ByteBuffer&& restored) { append_block_output(output, restored, limit); });
  }
}

unsigned block_list_workers(unsigned processors) { return processors < 2 ? 0 : std::min(processors, 8u); }

void install_parallel_block_list_decoder() {
  set_block_list_road({decode_block_archive_parallel, block_list_workers(platform::processor_count())});
}

}  // namespace corvale
