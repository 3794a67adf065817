// Runs that fail from the outside, on all four roads (compress and decompress, of a small input
// in memory and of a block archive through the pipelines): a full disk, an output folder the
// run may not write to, a final move that fails, and SIGKILL at moments the test sees. Whatever
// happens, the previous output stays byte for byte; a failure exits with status 1 and its one
// message and leaves no temporary file (only SIGKILL may leave one behind).

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/process_runner.h"
#include "support/program_files.h"
#include "support/temp_dir.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

#ifdef CORVALE_SANITIZED_BUILD
constexpr int kKillsPerRoad = 2;
#else
constexpr int kKillsPerRoad = 6;
#endif

constexpr char kPrevious[] = "the previous output, which no failed run may touch\n";

test::ProcessResult run_in(const fs::path& cwd, const std::vector<std::string>& args, test::ProcessOptions options = {}) {
  options.cwd = cwd;
  return test::run_process(CORVALE_EXE, args, options);
}

// Integers a number-list archive cannot shrink much, so that archives as well as restored
// files pass any small file size limit; block_sized ones are cut into several blocks.
std::string random_integers(std::size_t bytes) {
  std::mt19937_64 rng(11);
  std::string out;
  out.reserve(bytes + 32);
  while (out.size() < bytes) out += std::to_string(rng() % 1'000'000'000) + "\n";
  return out;
}

struct Road {
  const char* name;
  bool decompress;
  bool block;
};
const Road kRoads[] = {
    {"compress in memory", false, false},
    {"compress to blocks", false, true},
    {"decompress in memory", true, false},
    {"decompress blocks", true, true},
};

// One folder per test with both inputs of every road ready: "small" and "big" (over the 32 MiB
// at which compress switches to blocks) and their archives. The runs write into "work/".
class FailedRuns : public test::ProgramFiles {
 protected:
  static void SetUpTestSuite() {
    inputs_ = new test::TempDir;
    inputs_->write("small", random_integers(2 << 20));
    inputs_->write("big", random_integers(34 << 20));
    for (const char* name : {"small", "big"}) {
      const test::ProcessResult r = run_in(inputs_->path(), {"compress", "-i", name, "-o", std::string(name) + ".cv"});
      ASSERT_EQ(r.status, 0) << r.err;
    }
    ASSERT_EQ(static_cast<unsigned char>(inputs_->read("big.cv")[0]), 0x8C);
    // Readable by nobody, for the permission test.
    fs::permissions(inputs_->path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    for (const auto& entry : fs::directory_iterator(inputs_->path())) {
      fs::permissions(entry.path(), fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
    }
  }
  static void TearDownTestSuite() {
    delete inputs_;
    inputs_ = nullptr;
  }

  static fs::path input_of(const Road& road) {
    return inputs_->path() / (std::string(road.block ? "big" : "small") + (road.decompress ? ".cv" : ""));
  }
  // What a whole run writes: the other file of the pair (compressing twice gives the same bytes).
  static fs::path expected_of(const Road& road) {
    return inputs_->path() / (std::string(road.block ? "big" : "small") + (road.decompress ? "" : ".cv"));
  }
  static std::vector<std::string> args(const Road& road, const std::string& output) {
    return {road.decompress ? "decompress" : "compress", "-i", input_of(road).string(), "-o", output};
  }
  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  static test::TempDir* inputs_;
};
test::TempDir* FailedRuns::inputs_ = nullptr;

TEST_F(FailedRuns, AFullDiskFailsWithTheSystemErrorAndKeepsThePreviousOutput) {
  const fs::path work = dir_ / "work";
  fs::create_directory(work);
  test::ProcessOptions full_disk;
  full_disk.file_size = 64 << 10;
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    dir_.write("work/out", kPrevious);
    const test::ProcessResult r = run_in(work, args(road, "out"), full_disk);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: File too large (os error 27)\n");
    EXPECT_EQ(read(work / "out"), kPrevious);
    EXPECT_EQ(dir_.names("work"), std::vector<std::string>{"out"});
  }
}

TEST_F(FailedRuns, AnUnwritableFolderFailsOnTheTemporaryFileAndKeepsThePreviousOutput) {
  const fs::path locked = dir_ / "locked";
  fs::create_directory(locked);
  dir_.write("locked/out", kPrevious);
  fs::permissions(dir_.path(), fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  test::ProcessOptions as_nobody;
  as_nobody.unprivileged = true;
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    const test::ProcessResult r = run(args(road, "locked/out"), as_nobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: locked/.out." + std::to_string(r.pid) + ".tmp: Permission denied (os error 13)\n");
    EXPECT_EQ(read(locked / "out"), kPrevious);
    EXPECT_EQ(dir_.names("locked"), std::vector<std::string>{"out"});
  }
  fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(FailedRuns, AFailedFinalMoveNamesTheOutputAndLeavesNoTemporaryFile) {
  // A folder where the output should go: everything is written, then the move is refused.
  fs::create_directories(dir_ / "out");
  dir_.write("out/kept", kPrevious);
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    const test::ProcessResult r = run(args(road, "out"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: out: Is a directory (os error 21)\n");
    EXPECT_EQ(dir_.names(), std::vector<std::string>{"out"});
    EXPECT_EQ(dir_.names("out"), std::vector<std::string>{"kept"});
    EXPECT_EQ(read(dir_ / "out" / "kept"), kPrevious);
  }
}

// Reads the run's standard error up to its first PROGRESS line, which the program prints when it
// has opened the input, long before it can have finished.
bool wait_for_first_progress_line(test::RunningProcess& run) {
  while (const std::optional<std::string> line = run.next_err_line()) {
    if (line->starts_with("PROGRESS ")) return true;
  }
  return false;
}

// Waits until the run's temporary file holds at least `bytes` bytes (0: until it exists), or
// the run has ended. True in the first case.
bool wait_for_temporary_file(const test::RunningProcess& run, const fs::path& temporary, std::uintmax_t bytes) {
  for (;;) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(temporary, ec);
    if (!ec && size >= bytes) return true;
    if (run.has_exited()) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

TEST_F(FailedRuns, SigkillAtAnyMomentLeavesThePreviousOutputOrTheWholeNewOne) {
  std::mt19937_64 rng(3);
  const fs::path work = dir_ / "work";
  fs::create_directory(work);
  test::ProcessOptions in_work;
  in_work.cwd = work;
  for (const Road& road : kRoads) {
    SCOPED_TRACE(road.name);
    const std::string expected = read(expected_of(road));
    int killed = 0;
    for (int k = 0; k < kKillsPerRoad; ++k) {
      dir_.write("work/out", kPrevious);
      std::vector<std::string> run_args = args(road, "out");
      run_args.push_back("--progress");
      test::RunningProcess run(CORVALE_EXE, run_args, in_work);
      const fs::path temporary = work / (".out." + std::to_string(run.pid()) + ".tmp");
      // Moments the test sees, never a guessed delay: the input opened (the first kill of every
      // road, which no run can outlast), the temporary file made, and a random share of the
      // output written to it. A run that ends before its moment comes is not killed.
      std::string moment = "the input opened";
      bool reached = wait_for_first_progress_line(run);
      // Every run prints that line, finished or not: a run without it was never watched.
      ASSERT_TRUE(reached) << "no PROGRESS line";
      if (k % 3 == 1) {
        moment = "the temporary file made";
        reached = wait_for_temporary_file(run, temporary, 0);
      } else if (k % 3 == 2) {
        const std::uintmax_t share = expected.size() * (rng() % 1000) / 1000;
        moment = std::to_string(share) + " bytes written";
        reached = wait_for_temporary_file(run, temporary, share);
      }
      if (reached) run.kill();
      SCOPED_TRACE("killed after " + moment);
      const int status = run.wait().status;
      const std::string output = read(work / "out");
      if (status == 0) {
        EXPECT_TRUE(output == expected) << "a finished run left other bytes";
      } else {
        EXPECT_EQ(status, 128 + SIGKILL);
        // A kill between the final move and the exit leaves the whole new output; any other
        // leaves the old one. Never a mix.
        EXPECT_TRUE(output == kPrevious || output == expected) << "a killed run left " << output.size() << " other bytes";
        if (output == kPrevious) ++killed;
      }
      // Nothing but the output and, after a kill, the temporary file named for the process.
      for (const std::string& name : dir_.names("work")) {
        if (name != "out") {
          EXPECT_EQ(name, temporary.filename().string());
        }
      }
      fs::remove(temporary);
    }
    std::printf("%-22s %d of %d runs killed before they ended\n", road.name, killed, kKillsPerRoad);
    EXPECT_GE(killed, 1);
  }
}

}  // namespace
}  // namespace corvale
