#include "archive/verification.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/compress.h"
#include "support/archive_surgery.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

using test::make_archive;
using test::stored_archive;

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

}  // namespace
}  // namespace corvale
