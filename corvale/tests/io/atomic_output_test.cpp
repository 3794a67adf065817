#include "io/atomic_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>


#include "platform/platform.h"
#include "support/expect_error.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

std::string temp_name(const std::string& name) {
  return "." + name + "." + std::to_string(platform::process_id()) + ".tmp";
}

TEST(TemporaryOutputPath, SitsBesideTheOutput) {
  const struct {
    const char* output;
    std::string temp;
  } cases[] = {
      {"x.corvale", "./" + temp_name("x.corvale")},
      {"dir/x.corvale", "dir/" + temp_name("x.corvale")},
      {"/abs/dir/x", "/abs/dir/" + temp_name("x")},
      {"dir/x/", "dir/" + temp_name("x")},
      {"dir/x/.", "dir/" + temp_name("x")},
      {"x\xFF", "./" + temp_name("x\xEF\xBF\xBD")},  // the name as shown, not as typed
  };
  for (const auto& c : cases) {
    const std::optional<fs::path> temp = temporary_output_path(c.output);
    ASSERT_TRUE(temp) << c.output;
    EXPECT_EQ(temp->string(), c.temp) << c.output;
  }
}

TEST(WriteOutputAtomically, PathsWithoutAFileNameCreateNothing) {
  test::TempDir dir;
  for (const fs::path& output : {fs::path("/"), fs::path(""), fs::path("."), fs::path(".."),
                                 dir / "sub" / "..", dir / ".."}) {
    EXPECT_ERROR(write_output_atomically(output, "data"), "Invalid output path");
  }
  EXPECT_TRUE(dir.names().empty());
}

TEST(WriteOutputAtomically, CreatesAndReplacesLeavingNoTemporaryFile) {
  test::TempDir dir;
  write_output_atomically(dir / "out", "first");
  EXPECT_EQ(dir.read("out"), "first");
  const std::string big(100000, 'q');  // more than one write buffer
  write_output_atomically(dir / "out", big);
  EXPECT_EQ(dir.read("out"), big);
  write_output_atomically(dir / "out", "");
  EXPECT_EQ(dir.read("out"), "");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"out"});
}

TEST(WriteOutputAtomically, RelativeOutputGoesThroughTheCurrentFolder) {
  test::TempDir dir;
  const fs::path old_cwd = fs::current_path();
  fs::current_path(dir.path());
  write_output_atomically("plain", "abc");
  fs::current_path(old_cwd);
  EXPECT_EQ(dir.read("plain"), "abc");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"plain"});
}

TEST(WriteOutputAtomically, MissingFolderNamesTheTemporaryPath) {
  test::TempDir dir;
  const fs::path output = dir / "nowhere" / "out";
  EXPECT_ERROR(write_output_atomically(output, "abc"),
               (dir / "nowhere" / temp_name("out")).string() + ": No such file or directory (os error 2)");
  EXPECT_TRUE(dir.names().empty());
}

TEST(WriteOutputAtomically, FailedMoveRemovesTheTemporaryFile) {
  test::TempDir dir;
  fs::create_directory(dir / "out");
  dir.write("out/keep", "k");
  EXPECT_ERROR(write_output_atomically(dir / "out", "abc"), (dir / "out").string() + ": Is a directory (os error 21)");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"out"});
  EXPECT_EQ(dir.read("out/keep"), "k");
}

TEST(WriteOutputAtomically, DoesNotFollowALinkPlantedAtTheTemporaryName) {
  test::TempDir dir;
  dir.write("victim", "precious");
  fs::create_symlink(dir / "victim", dir / temp_name("out"));
  try {
    write_output_atomically(dir / "out", "attacker-chosen bytes");
    // Succeeding is acceptable only if the link was replaced rather than written through.
    EXPECT_EQ(dir.read("out"), "attacker-chosen bytes");
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              (dir / temp_name("out")).string() + ": Too many levels of symbolic links (os error 40)");
    EXPECT_FALSE(fs::exists(dir / "out"));
  }
  EXPECT_EQ(dir.read("victim"), "precious");
}

TEST(WriteOutputAtomically, RefusesAHardLinkOrFifoPlantedAtTheTemporaryName) {
  test::TempDir dir;
  dir.write("victim", "precious");
  fs::create_hard_link(dir / "victim", dir / temp_name("out"));
  EXPECT_ERROR(write_output_atomically(dir / "out", "attacker-chosen bytes"),
               (dir / temp_name("out")).string() + ": Too many links (os error 31)");
  EXPECT_EQ(dir.read("victim"), "precious");
  EXPECT_FALSE(fs::exists(dir / "out"));

  // A FIFO with no reader would block an ordinary open forever.
  test::TempDir other;
  ASSERT_EQ(::mkfifo((other / temp_name("out")).c_str(), 0600), 0);
  EXPECT_ERROR(write_output_atomically(other / "out", "x"),
               (other / temp_name("out")).string() + ": No such device or address (os error 6)");
  EXPECT_FALSE(fs::exists(other / "out"));
}

TEST(WriteOutputAtomically, FailedWriteKeepsTheOldOutputAndReportsTheSystemErrorAlone) {
  test::TempDir dir;
  dir.write("out", "old contents");
  {
    test::FileSizeLimit limit(1000);
    EXPECT_ERROR(write_output_atomically(dir / "out", std::string(5000, 'n')), "File too large (os error 27)");
  }
  EXPECT_EQ(dir.read("out"), "old contents");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"out"});
}

}  // namespace
}  // namespace corvale
