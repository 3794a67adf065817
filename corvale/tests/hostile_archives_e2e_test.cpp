// The hostile archives of tests/data/hostile: each one, decompressed by the program under the
// options listed for it, must end in its message (exit status 1, nothing written) within its
// time and, in the plain build, within 3 GiB of address space: decompression bombs of every
// archive type, huge values and scales, dictionary, formula and power bombs, many full blocks
// and block lengths the file does not hold. Each one's peak memory is printed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

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
constexpr rlim_t kAddressSpace = rlim_t{3} << 30;
constexpr int kQuickSeconds = 10;

struct HostileArchive {
  std::string name;
  std::vector<std::string> options;
  std::string message;
  int seconds = 0;
};

std::vector<HostileArchive> read_manifest() {
  std::ifstream in(kHostileDir / "messages.tsv");
  std::vector<HostileArchive> out;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    HostileArchive a;
    std::string options, seconds;
    std::getline(fields, a.name, '\t');
    std::getline(fields, options, '\t');
    std::getline(fields, a.message, '\t');
    std::getline(fields, seconds, '\t');
    std::istringstream words(options);
    for (std::string w; words >> w;) a.options.push_back(w);
    a.seconds = std::stoi(seconds);
    out.push_back(a);
  }
  return out;
}

struct Outcome {
  int status = -1;  // 128 + signal when a signal ended it
  std::string err;
  bool timed_out = false;
  long peak_kib = 0;
};

// Runs the program with standard error to a file, under the address space limit, killed when
// it outlives its time.
Outcome run_limited(const std::vector<std::string>& args, const fs::path& cwd, int seconds) {
  const fs::path err_path = cwd / "stderr";
  std::vector<std::string> argv_text = {CORVALE_EXE};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::fflush(stdout);  // else the child's freopen writes our buffered lines a second time
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    if (!kSanitized) {
      const rlimit as{kAddressSpace, kAddressSpace};
      ::setrlimit(RLIMIT_AS, &as);
    }
    if (!std::freopen(err_path.c_str(), "w", stderr) || !std::freopen("/dev/null", "w", stdout)) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  Outcome outcome;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int wstatus = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = ::wait4(pid, &wstatus, WNOHANG, &usage);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline && !outcome.timed_out) {
      outcome.timed_out = true;
      ::kill(pid, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  outcome.peak_kib = usage.ru_maxrss;
  std::ifstream err(err_path, std::ios::binary);
  outcome.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return outcome;
}

TEST(HostileArchives, EachEndsInItsMessageWithinItsTimeAndMemory) {
  const std::vector<HostileArchive> archives = read_manifest();
  ASSERT_GE(archives.size(), 20u);
  test::TempDir dir;
  for (const HostileArchive& a : archives) {
    if (kSanitized && a.seconds > kQuickSeconds) continue;
    SCOPED_TRACE(a.name);
    ASSERT_TRUE(fs::exists(kHostileDir / a.name));
    std::vector<std::string> args = {"decompress", "-i", (kHostileDir / a.name).string(), "-o", "out"};
    args.insert(args.end(), a.options.begin(), a.options.end());
    const int seconds = kSanitized ? 6 * a.seconds : a.seconds;
    const auto start = std::chrono::steady_clock::now();
    const Outcome r = run_limited(args, dir.path(), seconds);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-36s %7.2f s %8.1f MiB peak\n", a.name.c_str(), took, r.peak_kib / 1024.0);
    EXPECT_FALSE(r.timed_out) << "still running after " << seconds << " s";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: " + a.message + "\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"stderr"});
  }
}

}  // namespace
}  // namespace corvale
