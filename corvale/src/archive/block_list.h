#pragma once
// Type 12, the block list: archives of at most 64 MiB each, one after another, each behind its
// length, closed by a length of 0. The same blocks make up a block archive file; the program's
// block pipelines read them from the file, this module from a payload in memory.
//
// Decoding a block list in memory may run on worker threads, but this library starts none: the
// program installs its parallel decoder once at start-up (set_block_list_road). Until then, and
// wherever nothing is installed (codec tests, tools), the blocks are decoded one after another on
// the calling thread; both roads give the same bytes for every valid block list.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/varint.h"

namespace corvale {

// The most one block may restore, and the longest archive a block may be.
inline constexpr std::uint64_t kMaxBlockSize = 67'108'864;  // 64 MiB

inline constexpr const char kInvalidBlockSize[] = "Invalid block size";
inline constexpr const char kNestedBlockArchive[] = "Nested block archive";
inline constexpr const char kBlockTooLarge[] = "Block exceeds the block size limit";
inline constexpr const char kTrailingBlockListData[] = "Trailing data in block archive";

// Restores one block, an archive of any type but 12, producing at most min(room, 64 MiB) bytes.
// Under a room below 64 MiB a single number too long for it fails as the output exceeding the
// limit. Keeps no state; safe on any number of threads at once. Throws Error.
ByteBuffer decode_block(std::string_view block, std::uint64_t room = kMaxBlockSize);

// The next block of a block list in memory, read at the cursor and stepped over; nullopt at the
// closing length 0, which is stepped over too. Throws Error.
std::optional<std::string_view> take_next_block(ByteCursor& cursor);

// The room every block of a list or file restored under limit is decoded in: the limit, at most
// 64 MiB. It is the same for every block whatever was restored before it, so a block ends in
// the same outcome on every road and with any number of threads; the writer then checks the
// running total against the limit.
std::uint64_t block_room(std::uint64_t limit);

// Appends a restored block, or throws "Output exceeds decompression limit" without changing
// output when the total would pass limit (a total equal to it is allowed).
void append_block_output(std::string& output, std::string_view restored, std::uint64_t limit);

// The payload of an archive of type 12 restored, at most limit bytes. Throws Error.
std::string decode_block_list_payload(std::string_view payload, std::uint64_t limit);

// How block lists in memory are decoded beyond the calling thread. decode must leave the cursor
// just after the closing length 0 and output holding the restored blocks, with the messages of
// the one-by-one loop (take_next_block, decode_block, append_block_output).
struct BlockListRoad {
  void (*decode)(ByteCursor& cursor, std::string& output, std::uint64_t limit, unsigned workers) = nullptr;
  unsigned workers = 0;  // below 2: the calling thread decodes the blocks itself
};

// Installs the road for every later decode_block_list_payload. Call it before anything is decoded
// and never while a decode may run: it is read without a lock.
void set_block_list_road(BlockListRoad road);

}  // namespace corvale
