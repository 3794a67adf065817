// Integer-line files through the built program: compress, decompress, and compare byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/integer_texts.h"
#include "support/program_files.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

class NumberListFiles : public test::ProgramFiles {};

TEST_F(NumberListFiles, IntegerLinesRestoreByteForByte) {
  std::string counters, crlf, wide;
  std::mt19937_64 rng(5);
  long long value = 1700000000;
  for (int i = 0; i < 20000; ++i) {
    value += static_cast<long long>(rng() % 30);
    counters += std::to_string(value) + "\n";
    crlf += (rng() % 50 == 0 ? "-0" : std::to_string(static_cast<int>(rng() % 2001) - 1000)) + "\r\n";
  }
  for (int i = 0; i < 200; ++i) wide += "1" + std::to_string(rng()) + std::to_string(rng()) + "\n";
  struct Case { const char* name; std::string text; };
  for (const Case& k : {Case{"counters.txt", counters}, Case{"crlf.txt", crlf}, Case{"wide.txt", wide},
                        Case{"no-final-line-ending.txt", counters.substr(0, counters.size() - 1)}}) {
    const std::string archive = round_trip(k.name, k.text, 0x89);
    EXPECT_LT(archive.size(), k.text.size() / 2) << k.name;
  }
}

TEST_F(NumberListFiles, ShortListWhosePayloadIsNotShorterIsStored) {
  const std::string archive = round_trip("two.txt", "12\n34\n", 0x80);
  EXPECT_EQ(archive.substr(1, 6), "12\n34\n");
  EXPECT_EQ(archive.size(), 6u + 5u);
}

TEST_F(NumberListFiles, ShippedSampleRestores) {
  const fs::path sample = fs::path(CORVALE_SOURCE_DIR) / "samples" / "readings.txt";
  const std::string text = test::read_file(sample);
  const std::string archive = round_trip("readings.txt", text, 0x89);
  EXPECT_LT(archive.size() * 4, text.size());
}

TEST_F(NumberListFiles, ListWithOneWideValueRestoresUnderItsOwnSizeAsLimit) {
  const std::string text = test::small_integers_then_one_wide_value();
  dir_.write("wide.txt", text);
  const test::ProcessResult c = run({"compress", "-i", "wide.txt", "-o", "wide.cv"});
  ASSERT_EQ(c.status, 0) << c.err;
  const test::ProcessResult d =
      run({"decompress", "-i", "wide.cv", "-o", "wide.out", "--max-output", std::to_string(text.size())});
  EXPECT_EQ(d.status, 0) << d.err;
  EXPECT_EQ(dir_.read("wide.out"), text);
}

TEST_F(NumberListFiles, ALargeListFoundDamagedOrTooLongAfterItsFirstPiecesLeavesNothingBehind) {
  std::string text;
  for (int i = 0; text.size() < 3000000; ++i) text += std::to_string(i * 7 % 100000) + "\n";
  const std::string archive = round_trip("large.txt", text, 0x89);
  std::string damaged = archive;
  damaged.back() = static_cast<char>(damaged.back() ^ 1);
  dir_.write("damaged.cv", damaged);
  const std::vector<std::string> before = dir_.names();

  const test::ProcessResult bad = run({"decompress", "-i", "damaged.cv", "-o", "large.txt.out"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "Error: Archive checksum mismatch: the archive is damaged\n");
  const test::ProcessResult over =
      run({"decompress", "-i", "large.txt.cv", "-o", "large.txt.out", "--max-output", std::to_string(text.size() - 1)});
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.err, "Error: Output exceeds decompression limit\n");
  // The earlier restore's output is still whole, and no temporary file is left.
  EXPECT_EQ(dir_.names(), before);
  EXPECT_TRUE(dir_.read("large.txt.out") == text);
}

// A single archive's candidate encodings are measured on the workers: enough values to use them,
// and wavy enough that several candidates come close, so the order in which the measurements
// end could show in the choice.
TEST_F(NumberListFiles, ArchivesAreTheSameAtAnyThreadCount) {
  std::mt19937_64 rng(11);
  std::string lines, spaced;
  long long value = 500000;
  for (int i = 0; i < 200000; ++i) {
    value += static_cast<long long>(rng() % 41) - 20 + (i % 97 == 0 ? 3000 : 0);
    lines += std::to_string(value) + "\n";
    spaced += std::to_string(value % 1000) + (i % 2 == 1 ? "\n" : " ");
  }
  struct Case { const char* name; std::string text; unsigned char type_byte; };
  for (const Case& k : {Case{"lines.txt", lines, 0x89}, Case{"spaced.txt", spaced, 0x8A}}) {
    const std::string one = round_trip(k.name, k.text, k.type_byte);
    for (const char* threads : {"1", "8"}) {
      const test::ProcessResult c = run({"compress", "-i", k.name, "-o", "again.cv", "--threads", threads});
      ASSERT_EQ(c.status, 0) << c.err;
      EXPECT_TRUE(dir_.read("again.cv") == one) << k.name << " on " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace corvale
