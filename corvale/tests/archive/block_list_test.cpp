// Block lists decoded in memory on the calling thread: the road every decode takes until the
// program installs its worker threads.

#include "archive/block_list.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/compress.h"
#include "archive/container.h"
#include "archive/dispatch.h"
#include "codecs/single/numeric_text.h"
#include "support/archive_surgery.h"
#include "support/block_archive.h"
#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

using test::block_list;
using test::stored_archive;

TEST(BlockList, RestoresTheBlocksInOrder) {
  const std::string lines = "10\n11\n13\n";
  const std::string payload =
      block_list({stored_archive("1 2 "), compress_best_archive(lines), stored_archive("", false), stored_archive("9")});
  EXPECT_EQ(decode_archive_payload(12, payload, 1000), "1 2 " + lines + "9");
  EXPECT_EQ(decode_archive_payload(12, bytes({0}), 0), "");
  // The whole archive, as it reaches the in-memory decoder: type 12 without the checksum flag.
  EXPECT_EQ(decode_archive("\x0C" + payload, 1000), "1 2 " + lines + "9");
}

TEST(BlockList, DamagedListsFailWithTheFirstFaultInTheirOrder) {
  const std::string a = stored_archive("abc");
  std::string too_long_length;
  write_varint_u64(kMaxBlockSize + 1, too_long_length);
  std::string whole_length;
  write_varint_u64(kMaxBlockSize, whole_length);
  const struct {
    const char* label;
    std::string payload;
    const char* message;
  } cases[] = {
      {"empty payload", "", "Truncated number list"},
      {"no closing length", block_list({a}).substr(0, 1 + a.size()), "Truncated number list"},
      {"block one byte short", bytes({static_cast<unsigned>(a.size() + 1)}) + a, "Truncated number list"},
      {"length inside a varint", bytes({0x80}), "Truncated number list"},
      {"non-canonical length", bytes({0x85, 0x00}), "Non-canonical varint"},
      {"eleven-byte length", std::string(10, '\xFF') + bytes({1}), "Invalid varint"},
      // The size is refused before the payload's length is looked at.
      {"64 MiB + 1", too_long_length, "Invalid block size"},
      {"64 MiB", whole_length + "abc", "Truncated number list"},
      {"bytes after the end", block_list({a}) + "x", "Trailing data in block archive"},
      {"nested, flagged", block_list({a, test::block_archive_file({a}, "abc")}), "Nested block archive"},
      {"nested, plain", block_list({bytes({0x0C}) + block_list({a})}), "Nested block archive"},
      {"bad block checksum", block_list({a, test::flip_bit(a, 8 * a.size() - 1)}),
       "Archive checksum mismatch: the archive is damaged"},
      {"block of an unknown type", block_list({bytes({7})}), "Unknown archive type: 7"},
      // The first faulty block decides, not the trailing bytes after the end.
      {"fault then trailing bytes", block_list({bytes({7})}) + "x", "Unknown archive type: 7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_ERROR(decode_block_list_payload(c.payload, 1000), c.message);
  }
}

TEST(BlockList, TheLimitCountsTheWholeOutput) {
  const std::string payload = block_list({stored_archive("12345"), stored_archive("678")});
  EXPECT_EQ(decode_block_list_payload(payload, 8), "12345678");
  EXPECT_ERROR(decode_block_list_payload(payload, 7), "Output exceeds decompression limit");
  EXPECT_ERROR(decode_block_list_payload(payload, 4), "Output exceeds decompression limit");
  EXPECT_ERROR(decode_block_list_payload(block_list({stored_archive("x")}), 0), "Output exceeds decompression limit");
  EXPECT_EQ(decode_block_list_payload(block_list({stored_archive("")}), 0), "");
}

TEST(DecodeBlock, AcceptsEveryArchiveButABlockList) {
  EXPECT_EQ(decode_block(stored_archive("42", false)), "42");  // no checksum to check
  EXPECT_EQ(decode_block(stored_archive("42")), "42");
  EXPECT_EQ(decode_block(compress_best_archive("1\n-2\n")), "1\n-2\n");
  for (unsigned first : {0x0Cu, 0x8Cu}) {
    EXPECT_ERROR(decode_block(bytes({first, 0})), "Nested block archive");
  }
}

TEST(DecodeBlock, RestoresAtMost64MiBAndNoMoreThanTheRoomLeft) {
  const std::string whole(kMaxBlockSize, '7');
  EXPECT_EQ(decode_block(stored_archive(whole)).size(), kMaxBlockSize);
  // A larger limit does not lift the block's own bound.
  EXPECT_ERROR(decode_block(stored_archive(whole + "7"), kMaxBlockSize * 4), "Output exceeds decompression limit");
  EXPECT_ERROR(decode_block(stored_archive("12345"), 4), "Output exceeds decompression limit");
  EXPECT_EQ(decode_block(stored_archive("12345"), 5), "12345");
}

TEST(BlockRoom, IsTheSmallerOfTheLimitAnd64MiB) {
  EXPECT_EQ(block_room(0), 0u);
  EXPECT_EQ(block_room(10), 10u);
  EXPECT_EQ(block_room(kMaxBlockSize + 1), kMaxBlockSize);
  EXPECT_EQ(block_room(~0ull), kMaxBlockSize);
}

TEST(DecodeBlock, ANumberTooLongForARoomCutByTheLimitExceedsTheOutputLimit) {
  // 60 digits from 25 bytes: more bytes than a room of 20 holds.
  const std::string digits(60, '9');
  const std::string archive = test::make_archive(
      0x83, "b+" + encode_base94(BigInt::from_digits(digits, 10).to_bytes_be()), digits);
  EXPECT_ERROR(decode_block(archive, 20), "Output exceeds decompression limit");
  EXPECT_EQ(decode_block(archive, 60), digits);
  // Outside a block list the decoder's own words stand.
  EXPECT_ERROR(decode_archive(archive, 20), "Numeric payload exceeds decompression limit");
}

// Whether an installed road is taken, and that the trailing-data check still follows it.
unsigned g_road_calls = 0;
void counting_road(ByteCursor& cursor, std::string& output, std::uint64_t, unsigned workers) {
  ++g_road_calls;
  EXPECT_EQ(workers, 3u);
  while (take_next_block(cursor)) output += "b";
}

TEST(BlockListRoad, AnInstalledRoadDecodesWhenItHasTwoWorkersOrMore) {
  const std::string payload = block_list({stored_archive("1"), stored_archive("2")});
  set_block_list_road({counting_road, 1});
  EXPECT_EQ(decode_block_list_payload(payload, 10), "12");
  EXPECT_EQ(g_road_calls, 0u);
  set_block_list_road({counting_road, 3});
  EXPECT_EQ(decode_block_list_payload(payload, 10), "bb");
  EXPECT_ERROR(decode_block_list_payload(payload + "x", 10), "Trailing data in block archive");
  EXPECT_EQ(g_road_calls, 2u);
  set_block_list_road({});
  EXPECT_EQ(decode_block_list_payload(payload, 10), "12");
}

}  // namespace
}  // namespace corvale
