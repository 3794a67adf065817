// The damaged archives of tests/data/damaged-archives.tsv, one row each: the program, run on the
// archive's bytes under the row's options, ends in the row's message with nothing written.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/data_rows.h"
#include "support/program_files.h"

namespace corvale {
namespace {

struct DamagedArchive {
  std::string type;
  std::string bytes;
  std::vector<std::string> options;
  std::string message;
};

std::vector<DamagedArchive> read_rows() {
  std::vector<DamagedArchive> out;
  const std::filesystem::path file =
      std::filesystem::path(CORVALE_SOURCE_DIR) / "corvale" / "tests" / "data" / "damaged-archives.tsv";
  for (const std::vector<std::string>& row : test::read_data_rows(file, 4)) {
    out.push_back({row[0], from_hex(row[1]), test::words_of(row[2]), row[3]});
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
