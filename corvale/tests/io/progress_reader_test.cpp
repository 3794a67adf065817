#include "io/progress_reader.h"

#include <gtest/gtest.h>

#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace corvale {
namespace {

constexpr std::uint64_t kMs = 1'000'000;

// A reader whose clock the test moves by hand and whose lines it collects.
struct Harness {
  test::TempDir dir;
  std::uint64_t now = 1000 * kMs;
  std::vector<std::string> lines;

  ProgressReader open(std::string_view content, bool report = true, std::optional<std::uint64_t> total = {}) {
    dir.write("in", content);
    return open_progress_reader(dir / "in", total.value_or(content.size()), report, hooks());
  }
  ProgressHooks hooks() {
    return {[this] { return now; }, [this](std::string_view line) { lines.emplace_back(line); }};
  }
};

std::size_t read_some(ProgressReader& r, std::size_t n) {
  std::string buf(n, '\0');
  return progress_reader_read(r, buf.data(), n);
}

TEST(ProgressReader, FirstLineComesAtOpenEvenForAnEmptyFile) {
  Harness h;
  ProgressReader r = h.open("");
  EXPECT_EQ(h.lines, std::vector<std::string>{"PROGRESS 0 0\n"});
  EXPECT_EQ(read_some(r, 10), 0u);
}

TEST(ProgressReader, NoLinesWithoutReport) {
  Harness h;
  ProgressReader r = h.open("abc", /*report=*/false);
  h.now += 500 * kMs;
  EXPECT_EQ(read_some(r, 10), 3u);
  EXPECT_TRUE(h.lines.empty());
}

TEST(ProgressReader, AtMostOneLinePerHundredMilliseconds) {
  Harness h;
  ProgressReader r = h.open("abcdefghij");
  h.now += 99 * kMs;
  read_some(r, 1);  // fills the buffer, delivers 1
  h.now += 1 * kMs;  // exactly 100 ms after open: the line counts this read too
  read_some(r, 2);
  h.now += 99 * kMs;
  read_some(r, 3);
  h.now -= 500 * kMs;  // a clock stepping back counts as no time elapsed
  read_some(r, 1);
  h.now += 600 * kMs;
  read_some(r, 1);
  EXPECT_EQ(h.lines, (std::vector<std::string>{"PROGRESS 0 10\n", "PROGRESS 3 10\n", "PROGRESS 8 10\n"}));
  EXPECT_EQ(r.done(), 8u);
}

TEST(ProgressReader, ReadOfZeroBytesAtTheEndStillReports) {
  Harness h;
  ProgressReader r = h.open("ab");
  EXPECT_EQ(read_some(r, 8192), 2u);
  h.now += 100 * kMs;
  EXPECT_EQ(read_some(r, 8192), 0u);
  EXPECT_EQ(h.lines.back(), "PROGRESS 2 2\n");
}

TEST(ProgressReader, DoneIsCappedAtTotalWhenTheFileGrew) {
  Harness h;
  ProgressReader r = h.open("0123456789", true, /*total=*/4);
  h.now += 200 * kMs;
  EXPECT_EQ(read_some(r, 100), 10u);
  EXPECT_EQ(r.done(), 10u);
  EXPECT_EQ(h.lines.back(), "PROGRESS 4 4\n");
}

TEST(ProgressReader, SmallAndLargeReadsDeliverTheFileInOrder) {
  Harness h;
  std::string content;
  for (int i = 0; i < 30000; ++i) content.push_back(static_cast<char>('a' + i % 26));
  ProgressReader r = h.open(content, false);
  std::string got(content.size() + 1, '\0');
  std::size_t len = 0;
  // A tiny read leaves most of a buffer behind; the large read after it must drain that
  // first, and later large reads go straight to the file.
  for (const std::size_t n : {1u, 5u, 20000u, 20000u, 20000u}) len += progress_reader_read(r, got.data() + len, n);
  got.resize(len);
  EXPECT_EQ(got, content);
  EXPECT_EQ(r.done(), content.size());
}

TEST(ProgressReader, FailedReadLeavesDoneAndLinesAlone) {
  Harness h;
  ProgressReader r = open_progress_reader(h.dir.path(), 7, true, h.hooks());  // a folder opens but cannot be read
  h.now += 500 * kMs;
  EXPECT_THROW(read_some(r, 10), platform::OsError);
  EXPECT_EQ(r.done(), 0u);
  EXPECT_EQ(h.lines, std::vector<std::string>{"PROGRESS 0 7\n"});
  std::string out = "keep";
  EXPECT_ERROR(read_chunk(r, out, 4), "Is a directory (os error 21)");
  EXPECT_EQ(out, "keep");
}

TEST(ProgressReader, OpenFailureNamesThePath) {
  Harness h;
  EXPECT_ERROR(open_progress_reader(h.dir / "missing", 0, true, h.hooks()),
               (h.dir / "missing").string() + ": No such file or directory (os error 2)");
  EXPECT_TRUE(h.lines.empty());
}

TEST(ReadChunk, ZeroExactAndShortReads) {
  Harness h;
  ProgressReader r = h.open("abcdefg", false);
  std::string out = "x";
  EXPECT_FALSE(read_chunk(r, out, 0));
  EXPECT_EQ(out, "x");
  EXPECT_FALSE(read_chunk(r, out, 3));
  EXPECT_EQ(out, "xabc");
  EXPECT_FALSE(read_chunk(r, out, 4));  // exactly what is left: not yet the end
  EXPECT_EQ(out, "xabcdefg");
  EXPECT_TRUE(read_chunk(r, out, 4));
  EXPECT_EQ(out, "xabcdefg");

  ProgressReader s = h.open("abc", false);
  std::string short_out;
  EXPECT_TRUE(read_chunk(s, short_out, 10));
  EXPECT_EQ(short_out, "abc");
}

TEST(ReadToEnd, ReadsPastAStaleTotal) {
  Harness h;
  const std::string content(20000, 'z');
  for (const std::uint64_t total : {0u, 5u, 20000u, 90000u}) {
    ProgressReader r = h.open(content, false, total);
    ByteBuffer out(std::string("p"));
    read_to_end(r, out);
    EXPECT_EQ(out.view(), "p" + content) << total;
  }
}

}  // namespace
}  // namespace corvale
