// Block lists in memory decoded on worker threads: the same bytes and the same messages as the
// one-by-one loop, for every list that fails in one place only.

#include "stream/block_list_parallel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/block_list.h"
#include "codecs/compress.h"
#include "support/archive_surgery.h"
#include "support/block_archive.h"
#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

using test::block_list;
using test::stored_archive;

TEST(BlockListWorkers, OnePerProcessorUpTo8AndNoneBelow2) {
  const unsigned cases[][2] = {{0, 0}, {1, 0}, {2, 2}, {3, 3}, {8, 8}, {9, 8}, {16, 8}};
  for (const auto& c : cases) EXPECT_EQ(block_list_workers(c[0]), c[1]) << c[0];
}

// The outcome of decoding a payload: the bytes, or the message.
std::string outcome(std::string_view payload, std::uint64_t limit, unsigned workers) {
  set_block_list_road({decode_block_archive_parallel, workers});
  std::string result;
  try {
    result = "ok: " + decode_block_list(payload, limit);
  } catch (const Error& e) {
    result = std::string("error: ") + e.what();
  }
  set_block_list_road({});
  return result;
}

TEST(ParallelBlockList, GivesWhatTheSequentialLoopGives) {
  std::vector<std::string> blocks;
  std::string restored;
  for (int i = 0; i < 40; ++i) {
    std::string lines;
    for (int j = 0; j < 50 + i; ++j) lines += std::to_string(i * 1000 + j * j) + "\n";
    blocks.push_back(i % 3 == 0 ? stored_archive(lines, i % 2 == 0) : compress_best_archive(lines));
    restored += lines;
  }
  const std::string good = block_list(blocks);
  std::vector<std::string> bad_block = blocks;
  bad_block[17] = test::flip_bit(bad_block[17], 20);
  std::string too_long;
  write_varint_u64(kMaxBlockSize + 1, too_long);

  const struct {
    const char* label;
    std::string payload;
    std::uint64_t limit;
    const char* expected;  // how the sequential loop's outcome begins
  } cases[] = {
      {"40 blocks", good, restored.size(), "ok: 0\n1\n4\n"},
      {"40 blocks, rooms for 3 at once", good, 3 * kMaxBlockSize + restored.size(), "ok: 0\n1\n4\n"},
      {"only the end mark", bytes({0}), 0, "ok: "},
      {"empty", "", 100, "error: Truncated number list"},
      {"one byte over the limit", good, restored.size() - 1, "error: Output exceeds decompression limit"},
      {"a block after the limit is filled", block_list({stored_archive("1234"), compress_best_archive("5\n6\n")}), 4,
       "error: Output exceeds decompression limit"},
      {"trailing bytes", good + "x", restored.size(), "error: Trailing data in block archive"},
      {"a damaged block", block_list(bad_block), restored.size(), "error: "},
      {"a block one byte past the end", good.substr(0, good.size() - 1), restored.size(),
       "error: Truncated number list"},
      {"a length over 64 MiB", too_long, 100, "error: Invalid block size"},
      {"a nested block list", block_list({blocks[0], bytes({0x0C, 0})}), restored.size(),
       "error: Nested block archive"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string sequential = outcome(c.payload, c.limit, 0);
    EXPECT_TRUE(sequential.starts_with(c.expected)) << sequential;
    for (unsigned workers : {2u, 8u}) EXPECT_EQ(outcome(c.payload, c.limit, workers), sequential) << workers;
  }
  EXPECT_EQ(outcome(good, restored.size(), 8), "ok: " + restored);
}

TEST(ParallelBlockList, LeavesTheCursorJustAfterTheEndMark) {
  const std::string payload = block_list({stored_archive("7")}) + "rest";
  ByteCursor cursor{payload};
  std::string output;
  decode_block_archive_parallel(cursor, output, 10, 2);
  EXPECT_EQ(output, "7");
  EXPECT_EQ(cursor.pos, payload.size() - 4);
}

}  // namespace
}  // namespace corvale
