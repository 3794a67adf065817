#include "core/limited_append.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "support/expect_error.h"

namespace corvale {
namespace {

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

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
