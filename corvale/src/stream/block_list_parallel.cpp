#include "stream/block_list_parallel.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "archive/block_list.h"
#include "platform/platform.h"
#include "stream/ordered_block_pool.h"

namespace corvale {

void decode_block_archive_parallel(ByteCursor& cursor, std::string& output, std::uint64_t limit, unsigned workers) {
  decode_block_archive_parallel(cursor, output, limit, workers, decode_block);
}

void decode_block_archive_parallel(ByteCursor& cursor, std::string& output, std::uint64_t limit, unsigned workers,
                                   BlockDecoder decode) {
  // Every block may restore a whole room before the writer sees it, so each one in flight holds
  // a room's worth of credit from when it is sent out until the writer has appended it. The
  // credit is what the limit leaves the output, plus one block: the output and the blocks in
  // flight together stay within the limit and a block, and one block can always go out, as the
  // output never passes the limit.
  const std::uint64_t room = block_room(limit);
  const std::uint64_t credit = limit + std::min(kMaxBlockSize, ~std::uint64_t{0} - limit);
  std::uint64_t in_flight = 0;
  run_ordered_blocks<std::string_view, ByteBuffer>(
      workers,
      [&]() -> std::optional<std::string_view> {
        std::optional<std::string_view> block = take_next_block(cursor);
        if (block) ++in_flight;
        return block;
      },
      [&](std::string_view block) { return decode(block, room); },
      [&](ByteBuffer&& restored) {
        append_block_output(output, restored, limit);
        --in_flight;
      },
      kMaxWorkers, [&] { return output.size() + (in_flight + 1) * room <= credit; });
}

unsigned block_list_workers(unsigned processors) { return processors < 2 ? 0 : std::min(processors, 8u); }

void install_parallel_block_list_decoder() {
  set_block_list_road({decode_block_archive_parallel, block_list_workers(platform::processor_count())});
}

}  // namespace corvale
