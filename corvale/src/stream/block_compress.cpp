#include "stream/block_compress.h"

#include <optional>
#include <string>

#include "core/error.h"
#include "core/varint.h"
#include "core/zlib.h"
#include "io/output_file.h"
#include "stream/block_format.h"
#include "stream/ordered_block_pool.h"

namespace corvale {
namespace {

// The buffer is topped up in 8 MiB reads while it holds at most 12 MiB, so it never holds more
// than 20 MiB, and a cut is looked for only with more than 12 MiB at hand: whatever is left once
// the input ends (more than 4 MiB after a cut, at most 12 MiB) becomes the last block.
constexpr std::size_t kReadStep = 8'388'608;
constexpr std::size_t kReadAhead = 12'582'912;

// The producer: cuts the input into blocks, in order, keeping count and checksum of them.
class InputBlocks {
 public:
  explicit InputBlocks(ProgressReader& input) : input_(input) {}

  std::optional<std::string> next() {
    const bool ended_before = ended_;
    while (!ended_ && buffer_.size() <= kReadAhead) ended_ = read_chunk(input_, buffer_, kReadStep);
    if (ended_before && buffer_.empty()) return std::nullopt;
    std::uint64_t cut = buffer_.size();
    if (buffer_.size() > kReadAhead) {
      const std::optional<std::uint64_t> boundary = find_block_boundary(buffer_, kBlockCutTarget);
      if (!boundary) throw Error(kNotNumericMessage);
      cut = *boundary;
    }
    if (cut == 0) throw Error(kNotNumericMessage);  // an input without a single byte
    std::string block = buffer_.substr(0, cut);
    buffer_.erase(0, cut);
    count_ += cut;
    if (ended_ && buffer_.empty()) buffer_.shrink_to_fit();
    return block;
  }

  std::uint64_t count() const { return count_; }

 private:
  ProgressReader& input_;
  std::string buffer_;
  bool ended_ = false;
  std::uint64_t count_ = 0;
};

// A block's archive with the CRC-32 of its input, taken on the worker, off the main thread.
struct CompressedBlock {
  std::string archive;
  std::uint32_t crc;
  std::uint64_t input_length;
};

}  // namespace

BlockArchiveCounts compress_block_archive_to_file(const std::filesystem::path& output, ProgressReader& input,
                                                  CompressFn compress, std::uint64_t threads) {
  BlockOutputFile file(output);
  std::string head(1, static_cast<char>(kBlockArchiveFirstByte));
  file.write(head);
  std::uint64_t written = head.size();

  InputBlocks blocks(input);
  std::uint32_t crc = 0;
  run_ordered_blocks<std::string, CompressedBlock>(
      pool_worker_count(threads), [&] { return blocks.next(); },
      [compress](std::string&& block) {
        CompressedBlock done{compress(block), crc32_of(block), block.size()};
        block = std::string();  // the job's copy of the input goes as soon as it is coded
        return done;
      },
      [&](CompressedBlock&& block) {
        crc = crc32_combine_of(crc, block.crc, block.input_length);
        std::string length;
        write_varint_u64(block.archive.size(), length);
        file.write(length);
        file.write(block.archive);
        written += length.size() + block.archive.size();
      },
      // A block takes far longer to compress than to cut, so one cut block in reserve keeps the
      // workers busy; more would only hold input nobody works on yet.
      /*waiting_jobs=*/1);

  std::string tail(1, '\0');
  for (int shift = 24; shift >= 0; shift -= 8) tail.push_back(static_cast<char>((crc >> shift) & 0xFF));
  file.write(tail);
  written += tail.size();
  file.commit();
  return {blocks.count(), written};
}

}  // namespace corvale
