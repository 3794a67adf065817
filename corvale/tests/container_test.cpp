#include "codecs/container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "codecs/compress.h"
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

const std::string kVerificationMessage =
    std::string("Verification failed: the archive would not restore the input exactly, so nothing was written. "
                "Please report this file to ") +
    CORVALE_SUPPORT_CONTACT + " and use zstd or xz for it meanwhile";

TEST(Verification, HandsOutOnlyArchivesThatRestoreTheInputExactly) {
  EXPECT_EQ(check_archive_restores(stored_archive("12 34"), "12 34"), stored_archive("12 34"));
  EXPECT_EQ(check_archive_restores("", ""), "");

  struct Case {
    const char* what;
    std::string archive;
  };
  const std::string input = "12 34";
  const Case cases[] = {
      {"checksum mismatch", test::fix_checksum(stored_archive(input), "other")},
      {"different bytes", stored_archive("12 35")},
      {"shorter output", stored_archive("12 3")},
      // Decoded under the input's length, so a longer output stops at the limit.
      {"longer output", stored_archive("12 345")},
      {"unknown type", make_archive(0x81, input, input)},
      {"missing checksum", "\x80"},
      {"empty archive for a non-empty input", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_ERROR(check_archive_restores(c.archive, input), kVerificationMessage);
  }
}

TEST(Verification, HoldsEveryStreamedPieceAgainstTheInput) {
  std::string list;
  for (int i = 0; list.size() < 2500000; ++i) list += std::to_string(i % 1000 * 37) + "\n";
  const std::string archive = compress_best_archive(list);
  ASSERT_EQ(static_cast<unsigned char>(archive[0]), 0x89u);
  EXPECT_EQ(check_archive_restores(archive, list), archive);
  std::string early = list;
  early[10] = '9';
  std::string late = list;
  late[late.size() - 2] = late[late.size() - 2] == '7' ? '8' : '7';
  for (const std::string& input : {early, late, list + "5\n", list.substr(0, list.size() - 2)}) {
    EXPECT_ERROR(check_archive_restores(archive, input), kVerificationMessage);
  }
}

TEST(Verification, ACompressorRefusalIsNotAVerificationFailure) {
  EXPECT_ERROR(compress_verified(""), kNotNumericMessage);
  EXPECT_ERROR(compress_verified("This is prose, not numbers.\n"), kNotNumericMessage);
}

TEST(AppendRepeated, AppendsExactlyCountCopies) {
  for (std::uint64_t count : {0, 1, 2, 3, 5, 8, 1000, 4097}) {
    SCOPED_TRACE(count);
    std::string expected = "pre";
    for (std::uint64_t i = 0; i < count; ++i) expected += "xyz";
    std::string out = "pre";
    append_repeated_limited(out, "xyz", count, expected.size());
    EXPECT_EQ(out, expected);
  }
  std::string out = "0.";
  append_repeated_limited(out, "0", 5, 7);
  EXPECT_EQ(out, "0.00000");
}

TEST(AppendRepeated, RefusesWithoutTouchingTheOutput) {
  struct Case {
    const char* what;
    std::string piece;
    std::uint64_t count;
    std::uint64_t limit;
    const char* message;
  };
  const Case cases[] = {
      {"one byte past the limit", "xyz", 3, 10, "Output exceeds decompression limit"},
      {"product overflows", "ab", std::uint64_t{1} << 63, kNoLimit, "Output exceeds decompression limit"},
      {"sum overflows", "a", kNoLimit, kNoLimit, "Output exceeds decompression limit"},
      {"beyond any string", "a", std::uint64_t{1} << 63, kNoLimit,
       "memory allocation failed because the computed capacity exceeded the collection's maximum"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out = "ab";
    EXPECT_ERROR(append_repeated_limited(out, c.piece, c.count, c.limit), c.message);
    EXPECT_EQ(out, "ab");
  }
  std::string out;
  append_repeated_limited(out, "", kNoLimit, 0);  // nothing to append: within any limit
  EXPECT_EQ(out, "");
}

#if defined(__SANITIZE_ADDRESS__)
#define CORVALE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVALE_UNDER_ASAN 1
#endif
#endif

TEST(AppendRepeated, AFailedAllocationIsAMessage) {
#ifdef CORVALE_UNDER_ASAN
  GTEST_SKIP() << "the address sanitizer aborts on an impossible allocation instead of failing it";
#else
  // 2^61 bytes fit a string's maximum but no address space.
  std::string out = "ab";
  EXPECT_ERROR(append_repeated_limited(out, "a", std::uint64_t{1} << 61, kNoLimit),
               "memory allocation failed because the memory allocator returned an error");
  EXPECT_EQ(out, "ab");
#endif
}

}  // namespace
}  // namespace corvale
