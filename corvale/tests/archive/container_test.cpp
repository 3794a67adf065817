#include "archive/container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "archive/compress.h"
#include "support/archive_surgery.h"
#include "support/expect_error.h"
#include "support/recording_sink.h"

namespace corvale {
namespace {

using test::be32;
using test::make_archive;
using test::stored_archive;

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

TEST(DecodeArchive, EmptyArchiveIsEmptyDataUnderAnyLimit) {
  EXPECT_EQ(decode_archive("", 0), "");
  EXPECT_EQ(decode_archive("", kNoLimit), "");
}

TEST(DecodeArchive, FlaggedArchiveNeedsItsFourTrailerBytes) {
  EXPECT_ERROR(decode_archive(std::string("\x80\x00\x00\x00", 4), 100), "Missing archive checksum");
  EXPECT_ERROR(decode_archive("\x80", 100), "Missing archive checksum");
  // The CRC-32 of nothing is 0, so this is the flagged archive of empty data.
  EXPECT_EQ(decode_archive(std::string("\x80\x00\x00\x00\x00", 5), 0), "");
}

TEST(DecodeArchive, TrailerIsCheckedOnlyWhenFlagged) {
  const std::string wrong_trailer = "abc" + be32(0x12345678);
  // Unflagged: everything after the type byte is the stored data, trailer-like bytes included.
  EXPECT_EQ(decode_archive(std::string(1, '\0') + wrong_trailer, 100), wrong_trailer);
  EXPECT_ERROR(decode_archive("\x80" + wrong_trailer, 100), "Archive checksum mismatch: the archive is damaged");
  EXPECT_EQ(decode_archive(stored_archive("abc"), 3), "abc");
}

TEST(DecodeArchive, PassesTheLimitAndTheDecoderMessagesThrough) {
  EXPECT_ERROR(decode_archive(stored_archive("abcd"), 3), "Output exceeds decompression limit");
  EXPECT_ERROR(decode_archive(stored_archive("abcd", false), 3), "Output exceeds decompression limit");
  EXPECT_ERROR(decode_archive("\x07", 100), "Unknown archive type: 7");
  // The type is refused before the trailer is looked at.
  EXPECT_ERROR(decode_archive("\x8F" + be32(0), 100), "Unknown archive type: 15");
}

TEST(DecodeArchiveTo, WritesWhatDecodeArchiveRestoresAndChecksTheTrailerAfterTheLastPiece) {
  // A number list streams its text in pieces; a stored archive goes out whole.
  std::string list;
  for (int i = 0; list.size() < 2500000; ++i) list += std::to_string(i % 1000 * 37) + "\n";
  const std::string list_archive = compress_best_archive(list);
  ASSERT_EQ(static_cast<unsigned char>(list_archive[0]), 0x89u);
  for (const std::string& archive : {list_archive, stored_archive("abc"), stored_archive("abc", false),
                                     std::string()}) {
    test::RecordingSink sink;
    EXPECT_EQ(decode_archive_to(archive, kNoLimit, sink), decode_archive(archive, kNoLimit).size());
    EXPECT_TRUE(sink.text == decode_archive(archive, kNoLimit));
  }

  std::string damaged = list_archive;
  damaged.back() = static_cast<char>(damaged.back() ^ 1);
  test::RecordingSink sink;
  EXPECT_ERROR(decode_archive_to(damaged, kNoLimit, sink), "Archive checksum mismatch: the archive is damaged");
  EXPECT_GE(sink.pieces, 2);
  EXPECT_ERROR(decode_archive_to("\x8F" + be32(0), 100, sink), "Unknown archive type: 15");
  EXPECT_ERROR(decode_archive_to(stored_archive("abcd"), 3, sink), "Output exceeds decompression limit");
}

TEST(WrapArchive, WritesFlaggedTypePayloadAndBigEndianCrcOfTheRestoredData) {
  EXPECT_EQ(wrap_archive_with_checksum(ArchiveType::Stored, "abc", "abc"), std::string("\x80" "abc\x35\x24\x41\xC2"));
  const std::string archive = wrap_archive_with_checksum(ArchiveType::Log, "PAYLOAD", "restored");
  EXPECT_EQ(archive, make_archive(0x8E, "PAYLOAD", "restored"));
  EXPECT_EQ(wrap_archive_with_checksum(ArchiveType::Stored, "", ""), std::string("\x80\0\0\0\0", 5));
}

}  // namespace
}  // namespace corvale
