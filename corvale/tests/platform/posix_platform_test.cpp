#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace corvale::platform {
namespace {

TEST(DisplayText, ReplacesEachMaximalIllFormedSubpartOnce) {
  const struct {
    std::string in, out;
    bool valid;
  } cases[] = {
      {"plain", "plain", true},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true},
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b", false},
      {"\xE2\x82" "A", "\xEF\xBF\xBD" "A", false},         // truncated sequence: one replacement
      {"\xE2\x82", "\xEF\xBF\xBD", false},                  // truncated at the end
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", false},      // overlong lead is no lead at all
      {"\xE0\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", false},  // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", false},  // encoded surrogate
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", false},  // above U+10FFFF
      {"\xF0\x9F\x98", "\xEF\xBF\xBD", false},
      {std::string("a\0b", 3), std::string("a\0b", 3), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_display_text(c.in), c.out) << c.in;
    EXPECT_EQ(is_valid_unicode(c.in), c.valid) << c.in;
  }
}

TEST(SamePathAsTyped, ComparesComponents) {
  const struct {
    const char *a, *b;
    bool same;
  } cases[] = {
      {"a/b", "a/b", true},
      {"a//b", "a/b", true},
      {"a/./b", "a/b", true},
      {"a/b/", "a/b", true},
      {"a/b/.", "a/b", true},
      {"//a", "/a", true},
      {"./a", "a", false},  // a leading "." is a component of its own
      {"/a", "a", false},
      {"a/../b", "b", false},
      {"A", "a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(same_path_as_typed(c.a, c.b), c.same) << c.a << " vs " << c.b;
}

TEST(CanonicalPath, ResolvesLinksAndRoutesOnlyForExistingFiles) {
  test::TempDir dir;
  dir.write("f", "x");
  std::filesystem::create_directory(dir / "sub");
  std::filesystem::create_symlink(dir / "f", dir / "link");
  const std::optional<NativeString> direct = canonical_path(dir / "f");
  ASSERT_TRUE(direct);
  EXPECT_EQ(canonical_path(dir / "link"), direct);
  EXPECT_EQ(canonical_path(dir / "sub" / ".." / "f"), direct);
  EXPECT_EQ(canonical_path(dir / "missing"), std::nullopt);
}

TEST(FileSize, FollowsLinksAndReportsTheSystemError) {
  test::TempDir dir;
  dir.write("f", "12345");
  std::filesystem::create_symlink(dir / "f", dir / "link");
  EXPECT_EQ(platform::file_size(dir / "link"), 5u);
  try {
    platform::file_size(dir / "missing");
    ADD_FAILURE() << "no error";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), 2);
    EXPECT_STREQ(e.what(), "No such file or directory (os error 2)");
  }
}

// The kB of large pages backing the mapping that holds address, from /proc/self/smaps.
std::uint64_t large_page_kib_around(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream head(line);
    if (head >> std::hex >> from >> dash >> to && dash == '-') {
      inside = from <= at && at < to;
    } else if (inside && line.rfind("AnonHugePages:", 0) == 0) {
      return std::stoull(line.substr(14));
    }
  }
  return 0;
}

TEST(HeapGrowth, BuffersGrownInTheHeapAreBackedByLargePages) {
#ifdef CORVALE_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizers' allocator has no heap to advise";
#endif
  std::ifstream policy("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(policy, modes);
  if (modes.empty() || modes.find("[never]") != std::string::npos) GTEST_SKIP() << "no large pages here";
  keep_freed_memory_for_reuse();
  back_heap_growth_with_large_pages();
  // Grown the way a restore grows its output: by reallocation, from a small start.
  std::size_t size = 64 << 10;
  char* buffer = static_cast<char*>(std::malloc(size));
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 1, size);
  while (size < (std::size_t{16} << 20)) {
    char* grown = static_cast<char*>(std::realloc(buffer, 2 * size));
    ASSERT_NE(grown, nullptr);
    buffer = grown;
    std::memset(buffer + size, 1, size);
    size *= 2;
  }
  // 16 MiB span at least six whole aligned 2 MiB ranges.
  EXPECT_GE(large_page_kib_around(buffer + size / 2), 4096u);
  std::free(buffer);
}

}  // namespace
}  // namespace corvale::platform
