// Delimited tables through the built program: a public suite of CSV edge cases, real datasets
// and generated tables are compressed, restored and compared byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

using test::read_file;

namespace fs = std::filesystem;

constexpr unsigned char kTableArchive = 0x8B;
constexpr unsigned char kStoredArchive = 0x80;
constexpr const char kRefusalStart[] = "Error: Input is not numeric";

std::vector<fs::path> files_in(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> out;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

class TableFiles : public test::ProgramFiles {
 protected:
  // Compresses text; when the program accepts it, restores it and returns the archive's type
  // byte; a refusal must carry the refusal message and returns 0.
  unsigned char restore_or_refuse(const std::string& name, const std::string& text) {
    dir_.write(name, text);
    const test::ProcessResult c = run({"compress", "-i", name, "-o", name + ".cv"});
    if (c.status == 1) {
      EXPECT_EQ(c.err.rfind(kRefusalStart, 0), 0u) << name << ": " << c.err;
      return 0;
    }
    EXPECT_EQ(c.status, 0) << name << ": " << c.err;
    const std::string archive = dir_.read(name + ".cv");
    if (archive.empty()) return 0;
    const test::ProcessResult d = run({"decompress", "-i", name + ".cv", "-o", name + ".out"});
    EXPECT_EQ(d.status, 0) << name << ": " << d.err;
    EXPECT_TRUE(dir_.read(name + ".out") == text) << name;
    return static_cast<unsigned char>(archive[0]);
  }
};

TEST_F(TableFiles, EveryFileOfTheCsvEdgeCaseSuiteRestores) {
  const std::vector<fs::path> files = files_in(fs::path(CORVALE_SOURCE_DIR) / "corvale/tests/data/csv-spectrum", ".csv");
  ASSERT_EQ(files.size(), 12u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    // The suite's files are tiny: a table payload as long as its text is stored instead.
    const unsigned char type = restore_or_refuse(file.filename().string(), read_file(file));
    EXPECT_TRUE(type == kTableArchive || type == kStoredArchive) << int(type);
  }
}

TEST_F(TableFiles, RealDatasetsWithNumericColumnsBecomeTableArchives) {
  const fs::path folder = fs::path(CORVALE_SOURCE_DIR) / "corvale/tests/data/sample-datasets";
  for (const char* name : {"aapl.csv", "cars.csv"}) {
    SCOPED_TRACE(name);
    const std::string text = read_file(folder / name);
    EXPECT_LT(round_trip(name, text, kTableArchive).size() * 3, text.size());
  }
  // 'NaN' in every numeric column leaves no usable column: not a table, whatever else it is.
  restore_or_refuse("penguins.csv", read_file(folder / "penguins.csv"));
}

TEST_F(TableFiles, GeneratedTablesOfEveryShapeRestore) {
  std::mt19937_64 rng(17);
  auto number = [&] {
    std::string s = std::to_string(static_cast<long long>(rng() % 200000) - 100000);
    if (rng() % 3 == 0) s += "." + std::to_string(rng() % 1000);
    if (rng() % 50 == 0) s = "-0.0";
    if (rng() % 40 == 0) s += "e" + std::to_string(rng() % 20);
    return s;
  };
  struct Shape {
    const char* name;
    char separator;
    const char* ending;
    bool quotes;
    bool final_ending;
  };
  const Shape shapes[] = {
      {"plain.csv", ',', "\n", false, true},     {"crlf.csv", ',', "\r\n", false, false},
      {"semicolon.csv", ';', "\n", false, true}, {"tabs.tsv", '\t', "\r\n", false, true},
      {"bars.txt", '|', "\n", false, false},     {"quoted.csv", ',', "\r\n", true, true},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    std::string text = std::string("id") + shape.separator + "when" + shape.separator + "value" + shape.separator + "note";
    for (int r = 0; r < 3000; ++r) {
      text += shape.ending;
      text += "id" + std::to_string(r % 97);
      text += shape.separator;
      text += "2024-0" + std::to_string(1 + r % 9) + "-1" + std::to_string(r % 10);
      text += shape.separator;
      text += r % 17 == 0 ? "" : number();
      text += shape.separator;
      // Quoted notes hold quotes, the separator and line breaks.
      text += !shape.quotes ? "ok" : r % 5 == 0 ? "\"said \"\"no\"\", twice\nthen left\"" : "\"ok\"";
    }
    if (shape.final_ending) text += shape.ending;
    round_trip(shape.name, text, kTableArchive);
  }
}

TEST_F(TableFiles, ATableOfManyRangesRestoresUnderALimitOfExactlyItsSize) {
  std::string text = "t,v,kind\n";
  for (int r = 0; r < 100000; ++r) {
    text += std::to_string(1700000000 + 3 * r) + "," + std::to_string(r % 1000) + "." + std::to_string(r % 7) + "," +
            (r % 4 ? "up" : "down") + "\n";
  }
  const std::string archive = round_trip("long.csv", text, kTableArchive);
  const test::ProcessResult d =
      run({"decompress", "-i", "long.csv.cv", "-o", "limit.out", "--max-output", std::to_string(text.size())});
  EXPECT_EQ(d.status, 0) << d.err;
  EXPECT_TRUE(dir_.read("limit.out") == text);
  expect_refused(archive, "Output exceeds decompression limit", {"--max-output", std::to_string(text.size() - 1)});
}

// A table's columns are encoded on the workers: enough cells to use them, columns of big
// numbers (which charge the decoder's budget that every later column is encoded against),
// dictionary words, decimals and quoted cells, so that the order in which columns finish could
// show in the archive.
TEST_F(TableFiles, ArchivesAreTheSameAtAnyThreadCount) {
  std::mt19937_64 rng(29);
  std::string text = "n";
  for (int c = 1; c < 24; ++c) text += ",c" + std::to_string(c);
  long long walk = 0;
  for (int r = 0; r < 4000; ++r) {
    walk += static_cast<long long>(rng() % 21) - 10;
    text += "\n" + std::to_string(walk);
    for (int c = 1; c < 24; ++c) {
      text += ',';
      switch (c % 4) {
        case 0:  // big numbers: wider than 64 bits
          text += std::to_string(1 + rng() % 9) + std::to_string(rng() % 1000000000000000000ULL) +
                  std::to_string(rng() % 1000000000ULL);
          break;
        case 1:
          text += std::to_string(rng() % 1000) + "." + std::to_string(rng() % 100);
          break;
        case 2:
          text += rng() % 9 == 0 ? "\"a, b\"" : std::string(1 + rng() % 3, static_cast<char>('a' + rng() % 4));
          break;
        default:
          text += std::to_string(walk * c + static_cast<long long>(rng() % 7));
      }
    }
  }
  text += "\n";
  const std::string one = round_trip("wide.csv", text, kTableArchive);
  for (const char* threads : {"1", "2", "8"}) {
    const test::ProcessResult c = run({"compress", "-i", "wide.csv", "-o", "again.cv", "--threads", threads});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_TRUE(dir_.read("again.cv") == one) << "on " << threads << " threads";
  }
}

}  // namespace
}  // namespace corvale
