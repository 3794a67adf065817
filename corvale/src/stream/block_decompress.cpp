#include "stream/block_decompress.h"

#include <algorithm>
#include <string>

#include "archive/block_list.h"
#include "archive/container.h"
#include "core/big_endian.h"
#include "core/error.h"
#include "core/zlib.h"
#include "io/output_file.h"
#include "stream/block_credit.h"
#include "stream/block_format.h"
#include "stream/ordered_block_pool.h"
#include "stream/writer_thread.h"

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

// A restored block with the CRC-32 of its bytes, taken on the worker while they are still in its
// cache, and the credit its block holds until written.
struct RestoredBlock {
  ByteBuffer bytes;
  std::uint32_t crc;
  std::uint64_t credit;
};

// What the blocks between reading and writing may hold: twice the limit and one more block's
// archive, which lets a single block through under any limit (its archive and its room). Within
// that, at most 2 blocks per worker.
BlockCredit block_credit(std::uint64_t limit, unsigned workers) {
  const std::uint64_t twice = limit > ~std::uint64_t{0} / 2 ? ~std::uint64_t{0} : 2 * limit;
  const std::uint64_t bytes = twice + std::min(kMaxBlockSize, ~std::uint64_t{0} - twice);
  return BlockCredit(bytes, 2 * static_cast<std::uint64_t>(std::max(workers, 1u)));
}

}  // namespace

std::uint64_t decompress_block_archive_to_file(const std::filesystem::path& output, ProgressReader& input,
                                               std::optional<std::uint64_t> max_output, std::uint64_t threads) {
  const std::uint64_t limit = max_output.value_or(kDefaultBlockArchiveLimit);
  const unsigned workers = pool_worker_count(threads);
  BlockOutputFile file(output);
  BlockCredit credit = block_credit(limit, workers);
  WriterThread writer(file, credit, /*threaded=*/workers >= 2);
  std::uint64_t total = 0;
  std::uint32_t crc = 0;
  bool end_seen = false;
  std::optional<std::uint64_t> next_length;  // read ahead to learn the next block's cost

  // Every block is restored within the same room, whatever came before it, so its outcome does
  // not depend on the thread count.
  const std::uint64_t room = block_room(limit);
  const auto peek_length = [&] {
    if (!next_length) next_length = read_block_varint(input);
    return *next_length;
  };
  // A block holds its archive until decoded and then its restored bytes until written.
  const auto cost = [room](std::uint64_t length) { return length + room; };
  try {
    run_ordered_blocks<std::string, RestoredBlock>(
        workers,
        [&]() -> std::optional<std::string> {
          if (end_seen) return std::nullopt;
          const std::uint64_t length = peek_length();
          next_length.reset();
          if (length == 0) {
            end_seen = true;
            return std::nullopt;
          }
          if (length > kMaxBlockSize) throw Error(kInvalidBlockSize);
          if (!credit.take(cost(length))) {
            writer.finish();  // the writer failed, which throws its message
            throw Error(kWorkerThreadStopped);
          }
          return read_block_bytes(input, length);
        },
        [room, &cost](std::string&& archive) {
          RestoredBlock block{decode_block(archive, room), 0, cost(archive.size())};
          archive = std::string();
          block.crc = crc32_of(block.bytes.view());
          return block;
        },
        [&](RestoredBlock&& block) {
          if (block.bytes.size() > limit - total) throw Error(kOutputLimitExceeded);
          total += block.bytes.size();
          crc = crc32_combine_of(crc, block.crc, block.bytes.size());
          writer.write(std::move(block.bytes), block.credit);
        },
        kMaxWorkers,
        [&] {
          if (end_seen) return true;
          const std::uint64_t length = peek_length();
          return length == 0 || length > kMaxBlockSize || credit.fits(cost(length));
        });
  } catch (...) {
    writer.abandon();  // a failed write came before whatever ended the run
    throw;
  }

  writer.finish();
  check_trailer(input, crc);
  file.commit();
  return total;
}

}  // namespace corvale
