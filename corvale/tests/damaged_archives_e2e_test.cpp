// The damaged archives of tests/data/damaged-archives.tsv, one row each: the program, run on the
// archive's bytes under the row's options, ends in the row's message with nothing written.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/program_files.h"

namespace corvale {
namespace {

struct DamagedArchive {
  std::string type;
  std::string bytes;
  std::vector<std::string> options;
  std::string message;
};

std::string from_hex(const std::string& hex) {
  std::istringstream in(hex);
  std::string out;
  for (std::string pair; in >> pair;) out.push_back(static_cast<char>(std::stoul(pair, nullptr, 16)));
  return out;
}

std::vector<DamagedArchive> read_rows() {
  const std::filesystem::path file =
      std::filesystem::path(CORVALE_SOURCE_DIR) / "corvale" / "tests" / "data" / "damaged-archives.tsv";
  std::istringstream lines(test::read_file(file));
  std::vector<DamagedArchive> out;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    DamagedArchive a;
    std::string hex, options;
    std::getline(fields, a.type, '\t');
    std::getline(fields, hex, '\t');
    std::getline(fields, options, '\t');
    std::getline(fields, a.message, '\t');
    a.bytes = from_hex(hex);
    std::istringstream words(options);
    for (std::string w; words >> w;) a.options.push_back(w);
    out.push_back(a);
  }
  return out;
}

class DamagedArchives : public test::ProgramFiles {};

TEST_F(DamagedArchives, EachEndsInItsMessageAndWritesNothing) {
  const std::vector<DamagedArchive> rows = read_rows();
  ASSERT_GE(rows.size(), 4u);
  for (const DamagedArchive& a : rows) {
    SCOPED_TRACE(a.type);
    ASSERT_FALSE(a.bytes.empty());
    ASSERT_FALSE(a.message.empty());
    expect_refused(a.bytes, a.message, a.options);
  }
}

}  // namespace
}  // namespace corvale
