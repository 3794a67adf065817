// Any bytes through the decoder of block lists held in memory (archive type 12). Bit 7 of the
// first byte sends the blocks to worker threads, as the program does; both roads must keep the
// same promises.
#include "archive/block_list.h"
#include "payload_target.h"
#include "stream/block_list_parallel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool parallel = (data[0] & 0x80) != 0;
  corvale::set_block_list_road(parallel ? corvale::BlockListRoad{corvale::decode_block_archive_parallel, 2u + (data[0] >> 4 & 1u)}
                                        : corvale::BlockListRoad{});
  corvale::fuzz::run_payload_target(corvale::ArchiveType::BlockArchive, corvale::fuzz::Body::Plain, data, size);
  return 0;
}
