#include "stream/block_decompress.h"

#include <algorithm>
#include <string>

#include "codecs/block_list.h"
#include "codecs/container.h"
#include "codecs/error.h"
#include "codecs/zlib.h"
#include "stream/block_format.h"
#include "stream/ordered_block_pool.h"
#include "stream/output_file.h"

namespace corvale {
namespace {


// The first piece of a block read when the file's size says less is left than the block's
// length claims: a few bytes cannot make the reader allocate 64 MiB.
constexpr std::uint64_t kFirstReadPiece = 1 << 20;

// Exactly length bytes of input. Memory grows with the bytes that really arrive: one piece as
// large as the file is known to hold, then pieces that double what has been read.
std::string read_block_bytes(ProgressReader& input, std::uint64_t length) {
  const std::uint64_t known_left = input.total() > input.done() ? input.total() - input.done() : 0;
  std::string block;
  std::uint64_t piece = std::max(std::min(length, known_left), kFirstReadPiece);
  try {
    while (block.size() < length) {
      const std::uint64_t n = std::min(length - block.size(), piece);
      if (read_chunk(input, block, static_cast<std::size_t>(n))) throw Error(kTruncatedBlockArchive);
      piece = block.size();
    }
  } catch (const Error&) {
    throw Error(kTruncatedBlockArchive);  // a read error inside a block reads as the same
  }
  return block;
}

std::uint32_t read_be32(const unsigned char* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

// After the end mark: exactly four bytes, the CRC-32 of everything restored, and then the end.
void check_trailer(ProgressReader& input, std::uint32_t crc) {
  unsigned char trailer[5];
  std::size_t got = 0;
  try {
    while (got < sizeof trailer) {
      const std::size_t n = progress_reader_read(input, reinterpret_cast<char*>(trailer + got), sizeof trailer - got);
      if (n == 0) break;
      got += n;
    }
  } catch (const platform::OsError& e) {
    throw Error(e.what());
  }
  if (got != 4) throw Error(kInvalidBlockArchiveEnd);
  if (read_be32(trailer) != crc) throw Error(kArchiveChecksumMismatch);
}

}  // namespace

std::uint64_t decompress_block_archive_to_file(const std::filesystem::path& output, ProgressReader& input,
                                               std::optional<std::uint64_t> max_output, std::uint64_t threads) {
  const std::uint64_t limit = max_output.value_or(kDefaultBlockArchiveLimit);
  BlockOutputFile file(output);
  std::uint64_t total = 0;
  std::uint32_t crc = 0;
  bool end_seen = false;

  // Every block is restored within the same room, whatever came before it, so its outcome does
  // not depend on the thread count.
  const std::uint64_t room = block_room(limit);
  run_ordered_blocks<std::string, ByteBuffer>(
      pool_worker_count(threads),
      [&]() -> std::optional<std::string> {
        if (end_seen) return std::nullopt;
        const std::uint64_t length = read_block_varint(input);
        if (length == 0) {
          end_seen = true;
          return std::nullopt;
        }
        if (length > kMaxBlockSize) throw Error(kInvalidBlockSize);
        return read_block_bytes(input, length);
      },
      [room](std::string&& archive) {
        ByteBuffer restored = decode_block(archive, room);
        archive = std::string();
        return restored;
      },
      [&](ByteBuffer&& restored) {
        if (restored.size() > limit - total) throw Error(kOutputLimitExceeded);
        total += restored.size();
        crc = crc32_update(crc, restored);
        file.write(restored);
      });

  check_trailer(input, crc);
  file.commit();
  return total;
}

}  // namespace corvale
