// Block archives end to end: the built program on inputs of about 100 MiB, as a user runs it.
// These take tens of seconds natively and many minutes under the sanitizers, whose concerns
// (memory, data races) the block tests with smaller files cover; there they are skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/archive_surgery.h"
#include "support/block_archive.h"
#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

// Four temperature sensors read in turn once a minute, in hundredths of a degree: a daily
// swing, a slow drift, noise, and now and then a dropout written as -0 or a spike.
std::string sensor_lines(std::uint64_t size) {
  std::mt19937_64 rng(20261111);
  std::string out;
  out.reserve(size + 32);
  std::int64_t drift[4] = {0, 0, 0, 0};
  for (std::uint64_t i = 0; out.size() < size; ++i) {
    const unsigned sensor = i % 4;
    const std::uint64_t minute = (i / 4) % 1440;
    const std::uint64_t r = rng();
    drift[sensor] += static_cast<std::int64_t>(r % 9) - 4;
    drift[sensor] -= drift[sensor] / 512;
    // A triangle over the day stands in for the sine: coldest at midnight, warmest at noon.
    const std::int64_t day = minute < 720 ? static_cast<std::int64_t>(minute) : 1440 - static_cast<std::int64_t>(minute);
    std::int64_t value = 1400 + day * 900 / 720 + drift[sensor] + 60 * sensor + static_cast<std::int64_t>((r >> 8) % 13) - 6;
    const std::uint64_t event = (r >> 20) % 4000;
    if (event == 0) {
      out += "-0\n";
      continue;
    }
    if (event == 1) value += 2000 + static_cast<std::int64_t>((r >> 32) % 7000);
    out += std::to_string(value);
    out += '\n';
  }
  return out;
}

class BlockArchiveFiles : public test::ProgramFiles {
 protected:
  void SetUp() override {
#ifdef CORVALE_SANITIZED_BUILD
    GTEST_SKIP() << "inputs of 100 MiB take too long under the sanitizers; the native build runs these";
#endif
  }

  // The files in the folder besides the given ones: none, after a failure.
  void expect_files(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir_.names(), names);
  }
};

TEST_F(BlockArchiveFiles, IntegerLinesOf100MiB) {
  const std::string input = sensor_lines(100u << 20);
  dir_.write("in.txt", input);
  const std::string size = std::to_string(input.size());

  test::ProcessResult r = run({"compress", "-i", "in.txt", "-o", "a1", "--threads", "1", "--progress"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string archive = dir_.read("a1");
  EXPECT_EQ(r.out, "in.txt -> a1: " + size + " -> " + std::to_string(archive.size()) + " bytes\n");
  EXPECT_TRUE(r.err.starts_with("PROGRESS 0 " + size + "\n")) << r.err;
  EXPECT_TRUE(r.err.ends_with("PROGRESS " + size + " " + size + "\n")) << r.err;
  const std::vector<test::BlockSpan> blocks = test::block_spans(archive);
  EXPECT_GE(blocks.size(), 12u);
  for (const test::BlockSpan& b : blocks) EXPECT_EQ(static_cast<unsigned char>(archive[b.offset]), 0x89);
  EXPECT_LT(archive.size(), input.size() / 3);

  for (const char* threads : {"2", "8"}) {
    r = run({"compress", "-i", "in.txt", "-o", "a", "--threads", threads});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir_.read("a") == archive) << threads << " threads made another archive";
  }

  for (const char* threads : {"1", "8"}) {
    r = run({"decompress", "-i", "a1", "-o", "out", "-j", threads});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a1 -> out: " + std::to_string(archive.size()) + " -> " + size + " bytes\n");
    EXPECT_TRUE(dir_.read("out") == input) << threads;
  }

  // The limit: exactly the size passes, one byte less leaves nothing behind.
  std::filesystem::remove(dir_ / "out");
  r = run({"decompress", "-i", "a1", "-o", "out", "--max-output", size});
  EXPECT_EQ(r.status, 0) << r.err;
  std::filesystem::remove(dir_ / "out");
  for (const char* threads : {"1", "8"}) {
    r = run({"decompress", "-i", "a1", "-o", "out", "--max-output", std::to_string(input.size() - 1), "-j", threads});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Output exceeds decompression limit\n");
    expect_files({"a", "a1", "in.txt"});
  }

  // A damaged block in the middle: its checksum no longer matches; nothing is written.
  const test::BlockSpan middle = blocks[blocks.size() / 2];
  dir_.write("damaged", test::flip_bit(archive, 8 * (middle.offset + middle.size) - 1));
  dir_.write("out", "previous output");
  for (const char* threads : {"1", "8"}) {
    r = run({"decompress", "-i", "damaged", "-o", "out", "-j", threads});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Archive checksum mismatch: the archive is damaged\n");
    EXPECT_EQ(dir_.read("out"), "previous output");
    expect_files({"a", "a1", "damaged", "in.txt", "out"});
  }
}

TEST_F(BlockArchiveFiles, OneNumberOf33554433Digits) {
  std::mt19937_64 rng(7);
  std::string digits(33'554'433, '0');
  for (char& c : digits) c = static_cast<char>('0' + rng() % 10);
  digits[0] = '9';
  dir_.write("number.txt", digits);

  const test::ProcessResult r1 = run({"compress", "-i", "number.txt", "-o", "n1", "-j", "1"});
  const test::ProcessResult r8 = run({"compress", "-i", "number.txt", "-o", "n8", "-j", "8"});
  EXPECT_EQ(r8.status, r1.status);
  EXPECT_EQ(r8.err, r1.err);
  // Every block is a run of digits, a single number of its own.
  ASSERT_EQ(r1.status, 0) << r1.err;
  const std::string archive = dir_.read("n1");
  EXPECT_TRUE(dir_.read("n8") == archive);
  // Cut between digits at 8 MiB three times; the last block holds the remaining 8 MiB + 1.
  EXPECT_EQ(test::block_spans(archive).size(), 4u);
  const test::ProcessResult d = run({"decompress", "-i", "n8", "-o", "out", "-j", "8"});
  ASSERT_EQ(d.status, 0) << d.err;
  EXPECT_TRUE(dir_.read("out") == digits);
}

}  // namespace
}  // namespace corvale
