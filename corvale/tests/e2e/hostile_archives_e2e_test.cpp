// The hostile archives of tests/data/hostile: each one, decompressed by the program under the
// options listed for it, must end in its message (exit status 1, nothing written) within its
// time and, in the plain build, within 3 GiB of address space: decompression bombs of every
// archive type, huge values and scales, dictionary, formula and power bombs, many full blocks
// and block lengths the file does not hold. Each one's peak memory is printed.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/data_rows.h"
#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

const fs::path kHostileDir = fs::path(CORVALE_SOURCE_DIR) / "corvale" / "tests" / "data" / "hostile";

#ifdef CORVALE_SANITIZED_BUILD
// The sanitizers reserve terabytes of shadow memory and run several times slower: no address
// space limit, and only the archives that end at once.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr std::uint64_t kAddressSpace = std::uint64_t{3} << 30;
constexpr int kQuickSeconds = 10;
constexpr int kLoadRoom = 6;

struct HostileArchive {
  std::string name;
  std::vector<std::string> options;
  std::string message;
  int seconds = 0;
};

std::vector<HostileArchive> read_manifest() {
  std::vector<HostileArchive> out;
  for (const std::vector<std::string>& row : test::read_data_rows(kHostileDir / "messages.tsv", 4)) {
    out.push_back({row[0], test::words_of(row[1]), row[2], std::stoi(row[3])});
  }
  return out;
}

class HostileArchives : public test::ProgramFiles {};

TEST_F(HostileArchives, EachEndsInItsMessageWithinItsTimeAndMemory) {
  const std::vector<HostileArchive> archives = read_manifest();
  ASSERT_GE(archives.size(), 20u);
  for (const HostileArchive& a : archives) {
    if (kSanitized && a.seconds > kQuickSeconds) continue;
    SCOPED_TRACE(a.name);
    ASSERT_TRUE(fs::exists(kHostileDir / a.name));
    std::vector<std::string> args = {"decompress", "-i", (kHostileDir / a.name).string(), "-o", "out"};
    args.insert(args.end(), a.options.begin(), a.options.end());
    // A row's seconds are far above what its archive takes on a quiet machine; the guard is
    // wider still, so that a machine loaded many times over, or a sanitized build, never fails a
    // decoder that ends in time, while one that runs for minutes, as bombs do, is still caught.
    const int seconds = kLoadRoom * a.seconds;
    const auto start = std::chrono::steady_clock::now();
    test::ProcessOptions limits;
    limits.seconds = seconds;
    if (!kSanitized) limits.address_space = kAddressSpace;
    const test::ProcessResult r = run(args, limits);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-36s %7.2f s %8.1f MiB peak\n", a.name.c_str(), took, r.peak_kib / 1024.0);
    EXPECT_FALSE(r.timed_out) << "still running after " << seconds << " s";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: " + a.message + "\n");
    EXPECT_EQ(dir_.names(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace corvale
