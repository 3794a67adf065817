#include "logic/output_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace corvale_gui {
namespace {

namespace fs = std::filesystem;

// A folder of existing names, standing in for the file system's metadata look-up.
struct FakeFolder {
  std::set<fs::path> existing;
  mutable std::vector<fs::path> asked;
  MetadataReadable predicate() const {
    return [this](const fs::path& p) {
      asked.push_back(p);
      return existing.count(p) > 0;
    };
  }
};

struct NamingCase {
  const char* input;
  std::vector<const char*> existing;
  JobMode mode;
  const char* output;
};

TEST(OutputNames, ModeAndFreeOutputName) {
  const NamingCase cases[] = {
      {"dir/report.csv", {}, JobMode::compress, "dir/report.csv.corvale"},
      {"dir/report.csv", {"dir/report.csv.corvale"}, JobMode::compress, "dir/report.csv 2.corvale"},
      {"dir/report.csv",
       {"dir/report.csv.corvale", "dir/report.csv 2.corvale"},
       JobMode::compress,
       "dir/report.csv 3.corvale"},
      {"dir/report.csv.corvale", {}, JobMode::decompress, "dir/report.csv"},
      {"dir/report.csv.corvale", {"dir/report.csv"}, JobMode::decompress, "dir/report 2.csv"},
      {"Data.CORVALE", {}, JobMode::decompress, "Data"},
      {"data.CorVale", {"data"}, JobMode::decompress, "data 2"},
      {"data.CorVale", {"data", "data 2"}, JobMode::decompress, "data 3"},
      // A leading dot starts a name, not an extension.
      {".corvale", {}, JobMode::compress, ".corvale.corvale"},
      // The extension is whatever follows the last dot, even nothing.
      {"notes.", {}, JobMode::compress, "notes..corvale"},
      {"notes.", {"notes..corvale"}, JobMode::compress, "notes. 2.corvale"},
      {"x.corvalex", {}, JobMode::compress, "x.corvalex.corvale"},
      {"archive.tar.corvale", {"archive.tar", "archive 2.tar"}, JobMode::decompress,
       "archive 3.tar"},
      // The folder part is kept as given, blanks and all.
      {"my files/a b.corvale", {}, JobMode::decompress, "my files/a b"},
  };
  for (const NamingCase& c : cases) {
    SCOPED_TRACE(c.input);
    FakeFolder folder;
    for (const char* e : c.existing) folder.existing.insert(e);
    const JobPlan plan = plan_job(c.input);
    EXPECT_EQ(plan.mode, c.mode);
    EXPECT_EQ(unique_output_path(plan.output, folder.predicate()).native(), c.output);
  }
}

TEST(OutputNames, CounterSkipsEveryTakenName) {
  FakeFolder folder;
  folder.existing.insert("n.txt");
  for (int n = 2; n < 120; ++n) folder.existing.insert("n " + std::to_string(n) + ".txt");
  EXPECT_EQ(unique_output_path("n.txt", folder.predicate()), fs::path("n 120.txt"));
  EXPECT_EQ(folder.asked.size(), 120u);  // the path itself, then 2 to 120 in order
  EXPECT_EQ(folder.asked[1], fs::path("n 2.txt"));
}

TEST(OutputNames, FileNameRules) {
  struct Case {
    const char* path;
    const char* name;  // nullptr: no file name
  } cases[] = {
      {"a/b.txt", "b.txt"}, {"b.txt", "b.txt"}, {"a/b/", "b"},   {"a/b/.", "b"},
      {"/", nullptr},       {"", nullptr},      {".", nullptr},  {"a/..", nullptr},
      {"..", nullptr},      {"a/.x", ".x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto name = path_file_name(c.path);
    if (c.name == nullptr) {
      EXPECT_FALSE(name.has_value());
      EXPECT_EQ(file_name_text(c.path), "");
    } else {
      ASSERT_TRUE(name.has_value());
      EXPECT_EQ(*name, c.name);
    }
  }
  EXPECT_EQ(split_file_name("..a").stem, ".");
  EXPECT_EQ(split_file_name("notes.").extension, std::optional<NativeString>(""));
  EXPECT_FALSE(split_file_name(".hidden").extension.has_value());
}

TEST(OutputNames, TextOfNamesThatAreNotUnicode) {
  // Shown and rebuilt as text: an ill-formed byte becomes U+FFFD, in the title and in the
  // counted names alike.
  EXPECT_EQ(file_name_text("dir/a\xFF.csv"), "a\xEF\xBF\xBD.csv");
  FakeFolder folder;
  folder.existing.insert("a\xFF.csv");
  EXPECT_EQ(unique_output_path("a\xFF.csv", folder.predicate()).native(), "a\xEF\xBF\xBD 2.csv");
}

TEST(OutputNames, TrailingSeparatorAppendsAfterIt) {
  // The whole path as given gets ".corvale", even one naming a folder; the folder check
  // refuses it later, but its lines must still read sensibly.
  EXPECT_EQ(plan_job("data/").output.native(), "data/.corvale");
  EXPECT_EQ(file_name_text(plan_job("data").output), "data.corvale");
}

}  // namespace
}  // namespace corvale_gui
