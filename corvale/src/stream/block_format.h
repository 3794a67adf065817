#pragma once
// The block archive file: the byte 0x8C, then each block (one complete archive of at most
// 64 MiB) behind its LEB128 length, a length of 0, and the big-endian CRC-32 of all the restored
// data. Large inputs are cut into blocks at line breaks, else separators, else between digits,
// so every block is still text that one of the codecs takes.

#include <cstdint>
#include <optional>
#include <string_view>

#include "io/progress_reader.h"

namespace corvale {

inline constexpr unsigned char kBlockArchiveFirstByte = 0x8C;
// Where the compressor aims each cut; a cut falls in the second half of the bytes before it.
inline constexpr std::uint64_t kBlockCutTarget = 8'388'608;  // 8 MiB

inline constexpr const char kTruncatedBlockArchive[] = "Truncated block archive";
inline constexpr const char kInvalidBlockArchiveEnd[] = "Invalid block archive end";

// The cut for a block of at most t bytes taken from the front of buffer: after the last line
// feed among the bytes h = t / 2 to t - 1, else after the last separator (tab, blank , ; [ ] |)
// there, else between the last two digits in a row that straddle a position p in h + 1 to t.
// nullopt when there is none. Bytes past the end of buffer are never looked at.
std::optional<std::uint64_t> find_block_boundary(std::string_view buffer, std::uint64_t t);

// One block length, read a byte at a time: the rules of every 64-bit varint, except that running
// out of input (or a read error) is "Truncated block archive". Throws Error.
std::uint64_t read_block_varint(ProgressReader& reader);

}  // namespace corvale
