// The archives of a fixed set of inputs, compared with the sizes and CRC-32s recorded in
// fixtures/archive_checksums.txt: work on speed or structure must not change a single byte of
// what the compressor writes. When a change is meant to alter archives, the failure messages
// print the new lines for the file, and the commit says why they changed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "archive/compress.h"
#include "archive/container.h"
#include "archive/verification.h"
#include "codecs/single/formula/formula_numbers.h"
#include "core/bigint.h"
#include "core/zlib.h"
#include "io/progress_reader.h"
#include "stream/block_compress.h"
#include "support/files.h"
#include "support/integer_texts.h"
#include "support/structured_texts.h"
#include "support/temp_dir.h"

namespace corvale {
namespace {

using test::read_file;

namespace fs = std::filesystem;

const fs::path kSourceDir = CORVALE_SOURCE_DIR;
const fs::path kChecksumFile = kSourceDir / "corvale" / "tests" / "fixtures" / "archive_checksums.txt";

// Number texts the benchmark files do not show: runs without a period, numbers past 64 bits.
std::string number_text_without_period() {
  static const char* kRuns[] = {" ", ",", ";\n", "|", "\t"};
  std::string text;
  std::uint32_t x = 12345;
  for (int i = 0; i < 400; ++i) {
    x = x * 1103515245u + 12345u;
    if (i > 0) text += kRuns[(x >> 16) % 5];
    text += std::to_string(static_cast<int>((x >> 8) % 20001) - 10000) + ((x & 3) == 0 ? ".25" : "");
  }
  return text + "\n";
}

std::string number_text_with_wide_numbers() {
  std::string text;
  for (int i = 0; i < 60; ++i) {
    text += "123456789012345678901234567" + std::to_string(100 + i) + ".00000000000000000001" + std::to_string(i % 10) +
            " -0.00 1e007\r\n";
  }
  return text;
}

// Single numbers of every single-number archive type: short ones written as expressions or
// digits (type 3), random digits (type 5), powers with an offset (type 8) and the formula
// families at a size where their searches and evaluations take real work (type 13).
std::vector<std::pair<std::string, std::string>> single_number_fixtures() {
  std::mt19937_64 rng(20260101);
  std::string random_digits = "7";
  for (int i = 0; i < 3000; ++i) random_digits.push_back(static_cast<char>('0' + rng() % 10));
  std::string long_random_digits = "3";
  for (int i = 0; i < 200000; ++i) long_random_digits.push_back(static_cast<char>('0' + rng() % 10));
  std::string repeated;
  for (int i = 0; i < 300; ++i) repeated += "1234567890";
  return {
      {"single-digit", "5"},
      {"single-expression", "4294967301"},
      {"single-zeros-crlf", "-007\r\n"},
      {"single-20-digits", "18446744073709551621\n"},
      {"single-random-3001", random_digits},
      {"single-random-200001", long_random_digits + "\n"},
      {"single-repeated-3000", repeated + "\n"},
      {"single-power-offset", (BigInt::pow(3, 5000) + BigInt(17)).to_decimal() + "\r\n"},
      {"single-negative-power", "-" + (BigInt::pow(7, 1234) - BigInt(1)).to_decimal()},
      {"single-factorial-20000", range_product(1, 20000).to_decimal() + "\n"},
      {"single-fibonacci-100000", fibonacci_number(100000).to_decimal()},
      {"single-lucas-5000", lucas_number(5000).to_decimal() + "\n"},
      {"single-primorial-3000", primorial(3000).to_decimal()},
  };
}

std::vector<std::pair<std::string, std::string>> fixtures() {
  std::vector<std::pair<std::string, std::string>> out;
  const std::vector<std::string> edge = test::integer_line_edge_cases();
  for (std::size_t i = 0; i < edge.size(); ++i) out.emplace_back("edge-" + std::to_string(i), edge[i]);
  std::mt19937_64 rng(test::kRandomTextSeed);
  for (int i = 0; i < test::kRandomTextCount; ++i) out.emplace_back("random-" + std::to_string(i), test::random_integer_text(rng));
  for (const char* name : {"sensors.txt", "timestamps.txt", "counters.txt", "vibration.txt", "matrix.txt",
                           "readings.json", "series.tsv"}) {
    out.emplace_back(std::string("bench-") + name, read_file(kSourceDir / "corvale" / "tests" / "fixtures" / "bench" / name));
  }
  out.emplace_back("sample-readings.txt", read_file(kSourceDir / "samples" / "readings.txt"));
  out.emplace_back("wide-after-small", test::small_integers_then_one_wide_value());
  out.emplace_back("number-text-without-period", number_text_without_period());
  out.emplace_back("number-text-wide", number_text_with_wide_numbers());
  for (auto& fixture : single_number_fixtures()) out.push_back(std::move(fixture));

  // Tables, logs and number texts: the CSV test files and generated texts of every column kind.
  for (const char* folder : {"csv-spectrum", "sample-datasets"}) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kSourceDir / "corvale" / "tests" / "data" / folder)) {
      if (entry.path().extension() == ".csv") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) out.emplace_back("csv-" + file.stem().string(), read_file(file));
  }
  for (auto& fixture : test::structured_text_fixtures()) out.push_back(std::move(fixture));
  return out;
}

// Over 32 MiB, so it becomes a block archive file: integer lines of two kinds (blocks of type 9),
// then lines of decimal fractions (number text), cut at line breaks.
std::string block_archive_input() {
  std::mt19937_64 rng(77);
  std::string text;
  std::int64_t stamp = 1700000000000;
  while (text.size() < (20u << 20)) {
    stamp += 1000 + static_cast<std::int64_t>(rng() % 41) - 20;
    text += std::to_string(stamp) + "\n";
  }
  while (text.size() < (28u << 20)) text += std::to_string(static_cast<std::int64_t>(rng() % 2001) - 1000) + "\n";
  while (text.size() <= (34u << 20)) {
    text += std::to_string(rng() % 100) + "." + std::to_string(10 + rng() % 90) + " " +
            std::to_string(rng() % 7) + "\n";
  }
  return text;
}

// The block archive file of input, as the program writes it with verification on four threads.
std::string block_archive_of(const std::string& input) {
  test::TempDir dir;
  dir.write("in", input);
  ProgressReader reader = open_progress_reader(dir / "in", input.size(), false);
  compress_block_archive_to_file(dir / "out", reader, compress_verified, 4);
  return dir.read("out");
}

// "<name> <archive size> <CRC-32 of the archive, 8 hex digits>"
std::string checksum_line(const std::string& name, const std::string& archive) {
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(crc32_of(archive)));
  return name + " " + std::to_string(archive.size()) + " " + crc;
}

TEST(ArchiveChecksums, EveryFixtureGivesTheRecordedArchive) {
  std::map<std::string, std::string> expected;
  std::istringstream lines(read_file(kChecksumFile));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    expected[line.substr(0, line.find(' '))] = line;
  }

  std::size_t compared = 0;
  for (const auto& [name, input] : fixtures()) {
    SCOPED_TRACE(name);
    const std::string archive = compress_best_archive(input);
    ASSERT_EQ(decode_archive(archive, input.size()), input);
    const std::string got = checksum_line(name, archive);
    const auto it = expected.find(name);
    if (it == expected.end()) {
      ADD_FAILURE() << "not recorded: " << got;
      continue;
    }
    EXPECT_EQ(got, it->second);
    ++compared;
  }
  {
    // A block archive file is checked for its bytes only: the block tests restore such files.
    const std::string name = "block-archive-34mib";
    SCOPED_TRACE(name);
    const std::string got = checksum_line(name, block_archive_of(block_archive_input()));
    const auto it = expected.find(name);
    if (it == expected.end()) {
      ADD_FAILURE() << "not recorded: " << got;
    } else {
      EXPECT_EQ(got, it->second);
      ++compared;
    }
  }
  EXPECT_EQ(compared, expected.size()) << "the file records fixtures that no longer exist";
}

}  // namespace
}  // namespace corvale
