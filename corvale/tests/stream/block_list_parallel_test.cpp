// Block lists in memory decoded on worker threads: the same bytes and the same messages as the
// one-by-one loop, for every list that fails in one place only.

#include "stream/block_list_parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "archive/block_list.h"
#include "archive/compress.h"
#include "codecs/single/numeric_text.h"
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
    result = "ok: " + decode_block_list_payload(payload, limit);
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
  // 30 digits from 13 bytes: they fit a room of 20 as bytes, not as text.
  const std::string digits(30, '7');
  const std::string long_number =
      test::make_archive(0x83, "b+" + encode_base94(BigInt::from_digits(digits, 10).to_bytes_be()), digits);
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
      {"a number longer than the room left", block_list({stored_archive("1234567890"), long_number}), 20,
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

// Work that notes every worker thread it first runs on and how many blocks it holds at once.
std::atomic<unsigned> g_threads_seen{0};
std::atomic<unsigned> g_decoding{0};
std::atomic<unsigned> g_most_decoding{0};
std::atomic<std::uint64_t> g_room_seen{0};

ByteBuffer watched_decode(std::string_view block, std::uint64_t room) {
  thread_local bool counted = false;
  if (!counted) {
    counted = true;
    ++g_threads_seen;
  }
  const unsigned now = ++g_decoding;
  unsigned most = g_most_decoding.load();
  while (now > most && !g_most_decoding.compare_exchange_weak(most, now)) {
  }
  // Lingers a little so that blocks overlap as far as the decoder lets them; the outcome does not
  // depend on it.
  std::this_thread::sleep_for(std::chrono::microseconds(200));
  g_room_seen = room;
  ByteBuffer restored = decode_block(block, room);
  --g_decoding;
  return restored;
}

std::string watched_outcome(std::string_view payload, std::uint64_t limit, unsigned workers) {
  g_threads_seen = 0;
  g_most_decoding = 0;
  ByteCursor cursor{payload};
  std::string output;
  decode_block_archive_parallel(cursor, output, limit, workers, watched_decode);
  return output;
}

TEST(ParallelBlockList, RunsOnePoolOfWorkersForTheWholeList) {
  // Empty stored blocks, each of which could restore a whole room: one pool, not a pool per
  // handful of blocks, under a large limit and under a tiny one.
  std::string empty_blocks;
  for (int i = 0; i < 2000; ++i) empty_blocks += bytes({1, 0});
  empty_blocks += bytes({0});
  for (std::uint64_t limit : {512 * kMaxBlockSize / 64, std::uint64_t{1024}}) {
    SCOPED_TRACE(limit);
    EXPECT_EQ(watched_outcome(empty_blocks, limit, 4), "");
    EXPECT_LE(g_threads_seen.load(), 4u);
    EXPECT_EQ(g_room_seen.load(), block_room(limit));
  }
}

TEST(ParallelBlockList, BlocksInFlightHoldNoMoreRoomThanTheLimitAndOneBlock) {
  std::vector<std::string> blocks(40, stored_archive("12"));
  const std::string payload = block_list(blocks);
  // Rooms of 64 MiB: under 128 MiB, three blocks at once; under 1 KiB, rooms of 1 KiB, so the
  // pool's own bound of twice the workers is the one that holds.
  EXPECT_EQ(watched_outcome(payload, 2 * kMaxBlockSize, 8).size(), 80u);
  EXPECT_LE(g_most_decoding.load(), 3u);
  EXPECT_EQ(watched_outcome(payload, 1024, 8).size(), 80u);
  EXPECT_LE(g_most_decoding.load(), 8u);
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
