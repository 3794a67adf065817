// The two block pipelines on files: compress cuts, codes and writes blocks in order; decompress
// reads, decodes and writes them back under the limit. Blocks here are stored archives, so the
// tests show the pipelines, not the codecs; the program's own end-to-end tests use real ones.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/compress.h"
#include "archive/container.h"
#include "codecs/single/numeric_text.h"
#include "core/varint.h"
#include "platform/platform.h"
#include "stream/block_compress.h"
#include "stream/block_decompress.h"
#include "support/archive_surgery.h"
#include "support/block_archive.h"
#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

// The largest single allocation since the last reset, to show that a length read from a file
// is not taken at its word.
static std::atomic<std::size_t> g_largest_allocation{0};

void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  std::size_t seen = g_largest_allocation.load(std::memory_order_relaxed);
  while (n > seen && !g_largest_allocation.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
  }
  return std::malloc(n == 0 ? 1 : n);
}
void* operator new(std::size_t n) {
  if (void* p = operator new(n, std::nothrow)) return p;
  throw std::bad_alloc();
}
// The compiler sees free() meet memory from operator new; here both sides are this malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace corvale {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kMiB = 1 << 20;

// Blocks archived as stored data: cheap, and the restored bytes are the block itself.
std::string store_block(std::string_view block) {
  return wrap_archive_with_checksum(ArchiveType::Stored, std::string(block), block);
}
// The same, but a block with an 'x' in it fails as a codec would, or faults.
std::string refuse_x(std::string_view block) {
  if (block.find('x') != std::string_view::npos) throw Error("block with an x");
  return store_block(block);
}
std::string fault_on_x(std::string_view block) {
  if (block.find('x') != std::string_view::npos) throw std::logic_error("injected fault");
  return store_block(block);
}

// Lines of numbers, at least size bytes, cut after a whole line.
std::string number_lines(std::uint64_t size) {
  std::string out;
  out.reserve(size + 16);
  for (std::uint64_t i = 0; out.size() < size; ++i) {
    out += std::to_string((i * 7919) % 100003);
    out += '\n';
  }
  return out;
}

// The archives of a block archive file's blocks, in order.
std::vector<std::string> split_blocks(const std::string& file) {
  std::vector<std::string> blocks;
  for (const test::BlockSpan& span : test::block_spans(file)) blocks.push_back(file.substr(span.offset, span.size));
  return blocks;
}

class BlockPipelines : public ::testing::Test {
 protected:
  BlockArchiveCounts compress(const std::string& input, CompressFn fn, std::uint64_t threads,
                              const std::string& output = "arc") {
    if (input != written_input_) {
      dir_.write("in", input);
      written_input_ = input;
    }
    ProgressReader reader = open_progress_reader(dir_ / "in", input.size(), false);
    return compress_block_archive_to_file(dir_ / output, reader, fn, threads);
  }
  std::uint64_t decompress(const std::string& archive, std::uint64_t threads,
                           std::optional<std::uint64_t> max_output = std::nullopt) {
    dir_.write("arc", archive);
    ProgressReader reader = open_progress_reader(dir_ / "arc", archive.size(), false);
    char first;
    EXPECT_EQ(progress_reader_read(reader, &first, 1), 1u);
    return decompress_block_archive_to_file(dir_ / "out", reader, max_output, threads);
  }
  // After a failure: the inputs and the untouched previous output, and nothing else.
  void expect_only(const std::vector<std::string>& names) { EXPECT_EQ(dir_.names(), names); }

  test::TempDir dir_;
  std::string written_input_;
};

TEST_F(BlockPipelines, CutsLinesIntoBlocksTheSameWayOnAnyThreadCount) {
  const std::string input = number_lines(30 * kMiB + 12345);
  const BlockArchiveCounts counts = compress(input, store_block, 1);
  const std::string archive = dir_.read("arc");
  EXPECT_EQ(counts.input_bytes, input.size());
  EXPECT_EQ(counts.output_bytes, archive.size());
  for (std::uint64_t threads : {0, 2, 3, 8}) {
    compress(input, store_block, threads, "again");
    EXPECT_TRUE(dir_.read("again") == archive) << threads;
  }

  const std::vector<std::string> blocks = split_blocks(archive);
  ASSERT_GE(blocks.size(), 4u);
  std::string restored;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string block = decode_archive(blocks[i], 64 * kMiB);
    if (i + 1 < blocks.size()) {
      EXPECT_GT(block.size(), 4 * kMiB) << i;
      EXPECT_LE(block.size(), 8 * kMiB) << i;
      EXPECT_EQ(block.back(), '\n') << i;
    } else {
      EXPECT_LE(block.size(), 12 * kMiB);
    }
    restored += block;
  }
  EXPECT_TRUE(restored == input);
  EXPECT_EQ(archive.substr(archive.size() - 5), bytes({0}) + test::be32(crc32_of(input)));

  for (std::uint64_t threads : {1, 8}) {
    EXPECT_EQ(decompress(archive, threads), input.size());
    EXPECT_TRUE(dir_.read("out") == input) << threads;
  }
}

TEST_F(BlockPipelines, OneLongNumberIsCutBetweenDigits) {
  std::string digits(33'554'433, '0');
  for (std::size_t i = 0; i < digits.size(); ++i) digits[i] = static_cast<char>('0' + (i * 7 + i / 13) % 10);
  compress(digits, store_block, 4);
  const std::vector<std::string> blocks = split_blocks(dir_.read("arc"));
  ASSERT_EQ(blocks.size(), 4u);  // cut at 8 MiB three times: the last block has 8 MiB + 1
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string part = decode_archive(blocks[i], 64 * kMiB);
    EXPECT_EQ(part.find_first_not_of("0123456789"), std::string::npos) << i;
    EXPECT_EQ(part.size(), i == 3 ? 8 * kMiB + 1 : 8 * kMiB) << i;
  }
  EXPECT_EQ(decompress(dir_.read("arc"), 3), digits.size());
  EXPECT_TRUE(dir_.read("out") == digits);
}

TEST_F(BlockPipelines, AnInputEndingAtAMultipleOf8MiBEndsWithItsRemainder) {
  std::string input = number_lines(24 * kMiB);
  input.resize(24 * kMiB);
  input.back() = '\n';
  for (std::uint64_t threads : {1, 2}) {
    const BlockArchiveCounts counts = compress(input, store_block, threads);
    EXPECT_EQ(counts.input_bytes, 24 * kMiB);
    EXPECT_EQ(decompress(dir_.read("arc"), threads), input.size());
    EXPECT_TRUE(dir_.read("out") == input);
  }
}

TEST_F(BlockPipelines, CompressFailuresLeaveNothingBehind) {
  const std::string lines = number_lines(30 * kMiB);
  std::string no_cut = lines;  // letters from 4 MiB to 8 MiB: no cut point in the first window
  std::fill(no_cut.begin() + 4 * kMiB, no_cut.begin() + 8 * kMiB + 1, 'a');
  std::string x_in_block_2 = lines;
  x_in_block_2[8 * kMiB + 3] = 'x';
  dir_.write("arc", "previous output");
  for (std::uint64_t threads : {1, 2, 8}) {
    SCOPED_TRACE(threads);
    EXPECT_ERROR(compress(no_cut, store_block, threads), kNotNumericMessage);
    expect_only({"arc", "in"});
    EXPECT_ERROR(compress("", store_block, threads), kNotNumericMessage);
    expect_only({"arc", "in"});
    EXPECT_ERROR(compress(x_in_block_2, refuse_x, threads), "block with an x");
    expect_only({"arc", "in"});
    if (threads >= 2) {
      EXPECT_THROW(compress(x_in_block_2, fault_on_x, threads), std::logic_error);
      expect_only({"arc", "in"});
    }
    EXPECT_EQ(dir_.read("arc"), "previous output");
  }
  EXPECT_ERROR(compress(lines, store_block, 2, ".."), "Invalid output path");
  EXPECT_ERROR(compress(lines, store_block, 2, "missing/arc"),
               (dir_ / "missing" / ("." "arc." + std::to_string(platform::process_id()) + ".tmp")).string() +
                   ": No such file or directory (os error 2)");
}

TEST_F(BlockPipelines, RestoresBlocksMadeByHand) {
  const std::string a = test::stored_archive("12 ");
  const std::string b = test::stored_archive("34\n", /*flagged=*/false);
  for (std::uint64_t threads : {1, 2, 8}) {
    SCOPED_TRACE(threads);
    EXPECT_EQ(decompress(test::block_archive_file({a, b, a}, "12 34\n12 "), threads), 9u);
    EXPECT_EQ(dir_.read("out"), "12 34\n12 ");
    EXPECT_EQ(decompress(bytes({0x8C, 0, 0, 0, 0, 0}), threads), 0u);
    EXPECT_EQ(dir_.read("out"), "");
  }
}

TEST_F(BlockPipelines, DamagedBlockArchivesLeaveNoOutput) {
  const std::string a = test::stored_archive("12 ");
  std::string too_long;
  write_varint_u64(64 * kMiB + 1, too_long);
  const struct {
    const char* label;
    std::string file;
    const char* message;
  } cases[] = {
      {"nothing after 0x8C", bytes({0x8C}), "Truncated block archive"},
      {"three trailer bytes", bytes({0x8C, 0, 0, 0, 0}), "Invalid block archive end"},
      {"five trailer bytes", bytes({0x8C, 0, 0, 0, 0, 0, 0}), "Invalid block archive end"},
      {"wrong checksum", bytes({0x8C, 0, 0, 0, 0, 1}), "Archive checksum mismatch: the archive is damaged"},
      {"checksum of other data", test::block_archive_file({a}, "13 "), "Archive checksum mismatch: the archive is damaged"},
      {"length over 64 MiB", bytes({0x8C}) + too_long, "Invalid block size"},
      // 64 MiB passes the size check; the bytes are not there.
      {"64 MiB block missing", bytes({0x8C, 0x80, 0x80, 0x80, 0x20}), "Truncated block archive"},
      {"block cut short", test::block_archive_file({a}, "12 ").substr(0, 4), "Truncated block archive"},
      {"bad varint", bytes({0x8C, 0x80, 0x00}), "Non-canonical varint"},
      {"nested block list", test::block_archive_file({a, test::block_archive_file({a}, "12 ")}, "12 12 "),
       "Nested block archive"},
      {"damaged block", test::block_archive_file({a, test::flip_bit(a, 9), a}, "12 12 12 "),
       "Archive checksum mismatch: the archive is damaged"},
      {"block of an unknown type", test::block_archive_file({a, bytes({0x87, 0, 0, 0, 0})}, "12 "),
       "Unknown archive type: 7"},
  };
  for (std::uint64_t threads : {1, 2, 8}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.label) + ", threads " + std::to_string(threads));
      EXPECT_ERROR(decompress(c.file, threads), c.message);
      expect_only({"arc"});
    }
  }
}

TEST_F(BlockPipelines, AFailedWriteEndsTheRestoreWithTheSystemErrorAndNoOutput) {
  // Twelve blocks of 64 KiB under a file size limit of 100 KiB: the writes of all blocks but the
  // first fail, on whichever writer they land, in whatever order.
  const std::string piece = number_lines(64 * 1024).substr(0, 64 * 1024);
  const std::vector<std::string> blocks(12, test::stored_archive(piece));
  std::string restored;
  for (std::size_t i = 0; i < blocks.size(); ++i) restored += piece;
  const std::string file = test::block_archive_file(blocks, restored);
  dir_.write("arc", file);
  dir_.write("out", "old output");
  for (std::uint64_t threads : {1, 2, 8}) {
    SCOPED_TRACE(threads);
    ProgressReader reader = open_progress_reader(dir_ / "arc", file.size(), false);
    char first;
    ASSERT_EQ(progress_reader_read(reader, &first, 1), 1u);
    const test::FileSizeLimit limit(100 * 1024);
    EXPECT_ERROR(decompress_block_archive_to_file(dir_ / "out", reader, std::nullopt, threads),
                 "File too large (os error 27)");
    EXPECT_EQ(dir_.read("out"), "old output");
    expect_only({"arc", "out"});
  }
}

TEST_F(BlockPipelines, AClaimedLengthIsNotAllocatedBeforeItsBytesArrive) {
  const std::string file = bytes({0x8C, 0x80, 0x80, 0x80, 0x20});
  dir_.write("arc", file);
  ProgressReader reader = open_progress_reader(dir_ / "arc", file.size(), false);
  char first;
  ASSERT_EQ(progress_reader_read(reader, &first, 1), 1u);
  g_largest_allocation = 0;
  EXPECT_ERROR(decompress_block_archive_to_file(dir_ / "out", reader, std::nullopt, 1), "Truncated block archive");
  EXPECT_LE(g_largest_allocation.load(), 2 * kMiB);
}

TEST_F(BlockPipelines, ABlockIsDecodedWithinTheLimitNotWithinTheBlockSize) {
  std::string zeros;
  for (int i = 0; i < 1 << 19; ++i) zeros += "0\n";
  const std::string archive = test::block_archive_file({compress_best_archive(zeros)}, zeros);
  ASSERT_LT(archive.size(), 1000u);
  for (std::uint64_t threads : {1, 2}) {
    g_largest_allocation = 0;
    // The block's own decoder refuses it, in its own words, before it builds the output.
    EXPECT_THROW(decompress(archive, threads, 1000), Error);
    EXPECT_LT(g_largest_allocation.load(), zeros.size() / 4) << threads;
  }
}

TEST_F(BlockPipelines, ABlockLongerThanTheRoomLeftExceedsTheLimitOnAnyThreadCount) {
  // A number of 30 digits (13 bytes) and one of 60 (25 bytes) after 10 stored digits, under 20.
  for (std::size_t length : {30u, 60u}) {
    const std::string digits(length, '7');
    const std::string number =
        test::make_archive(0x83, "b+" + encode_base94(BigInt::from_digits(digits, 10).to_bytes_be()), digits);
    const std::string file = test::block_archive_file({test::stored_archive("1234567890"), number}, "1234567890" + digits);
    for (std::uint64_t threads : {1, 2, 8}) {
      SCOPED_TRACE(std::to_string(length) + " digits, threads " + std::to_string(threads));
      EXPECT_ERROR(decompress(file, threads, 20), "Output exceeds decompression limit");
      EXPECT_EQ(decompress(file, threads, 10 + length), 10 + length);
    }
  }
}

TEST_F(BlockPipelines, TheLimitCountsEveryRestoredByte) {
  const std::string input = number_lines(20 * kMiB);
  compress(input, store_block, 2);
  const std::string archive = dir_.read("arc");
  for (std::uint64_t threads : {1, 8}) {
    SCOPED_TRACE(threads);
    EXPECT_EQ(decompress(archive, threads, input.size()), input.size());
    EXPECT_TRUE(dir_.read("out") == input);
    fs::remove(dir_ / "out");
    EXPECT_ERROR(decompress(archive, threads, input.size() - 1), "Output exceeds decompression limit");
    expect_only({"arc", "in"});
    EXPECT_ERROR(decompress(archive, threads, 0), "Output exceeds decompression limit");
    expect_only({"arc", "in"});
  }
}

}  // namespace
}  // namespace corvale
