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

#include "codecs/compress.h"
#include "codecs/container.h"
#include "codecs/zlib.h"
#include "support/integer_texts.h"
#include "support/structured_texts.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = CORVALE_SOURCE_DIR;
const fs::path kChecksumFile = kSourceDir / "corvale" / "tests" / "fixtures" / "archive_checksums.txt";

std::string read_file(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(f), {});
}

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
  EXPECT_EQ(compared, expected.size()) << "the file records fixtures that no longer exist";
}

}  // namespace
}  // namespace corvale
