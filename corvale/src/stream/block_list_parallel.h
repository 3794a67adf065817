#pragma once
// Block lists (archives of type 12) held whole in memory, decoded on worker threads. The codecs
// start no threads of their own; the program installs this road for them at start-up.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"

#include "core/varint.h"

namespace corvale {

// Decodes the blocks from cursor (standing on the first length) on `workers` threads (2 or
// more), appending the restored bytes to output in block order, at most limit in all; leaves the
// cursor just after the closing length 0. The payload must stay in place until it returns.
// Throws Error; a worker's fault is rethrown as is.
void decode_block_archive_parallel(ByteCursor& cursor, std::string& output, std::uint64_t limit, unsigned workers);

// The work of one block: its archive restored within room bytes (decode_block, but for tests
// that watch the workers).
using BlockDecoder = ByteBuffer (*)(std::string_view block, std::uint64_t room);
void decode_block_archive_parallel(ByteCursor& cursor, std::string& output, std::uint64_t limit, unsigned workers,
                                   BlockDecoder decode);

// The workers a block list in memory gets on a system with this many processors: none (the
// calling thread alone) below 2, else one per processor up to 8.
unsigned block_list_workers(unsigned processors);

// Makes every later in-memory decode of a block list take the parallel road when the system
// has 2 processors or more. Call once at start-up, before anything is decoded.
void install_parallel_block_list_decoder();

}  // namespace corvale
