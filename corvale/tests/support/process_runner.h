#pragma once
// Runs the program under test as a child process, for end-to-end tests: its standard output and
// error collected, its limits set (address space, file size, user), its peak memory measured, and
// for tests that act at a moment the program shows, its standard error read line by line while
// it runs.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvale::test {

struct ProcessResult {
  int status = -1;  // the exit status; 128 + signal number when a signal ended it
  std::string out;
  std::string err;
  pid_t pid = -1;          // the process that ran, which names its temporary files
  long peak_kib = 0;       // maximum resident set size
  bool timed_out = false;  // killed for outliving ProcessOptions::seconds
};

struct ProcessOptions {
  std::filesystem::path cwd;                         // empty: the caller's
  std::optional<std::filesystem::path> stdout_file;  // write standard output there instead
  std::optional<std::uint64_t> address_space;        // bytes of address space the run may map
  // Bytes any one file may grow to: a write past it fails with EFBIG, as one to a full disk
  // fails with ENOSPC, instead of killing the run.
  std::optional<std::uint64_t> file_size;
  bool unprivileged = false;  // as nobody when run by root, so that folder permissions bind
  // A guard against a hung run, not a measure: killed with SIGKILL after this many seconds of
  // wall time. 0: never.
  int seconds = 0;
};

// A started run. Its standard output is collected; its standard error is read either line by
// line while it runs or whole at the end.
class RunningProcess {
 public:
  RunningProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const ProcessOptions& options = {});
  ~RunningProcess();  // kills and reaps a run nobody waited for
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The next line of standard error with its line feed; nullopt once the run closed it.
  std::optional<std::string> next_err_line();
  // True once the run has ended; it is left to wait() to reap.
  bool has_exited() const;
  void kill();
  // Reads what is left of both outputs, reaps the run and returns all it printed (standard
  // error from the start, including the lines already read).
  ProcessResult wait();

 private:
  void drain(int timeout_ms);
  void close_pipes();

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int seconds_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::size_t err_read_ = 0;  // how much of result_.err next_err_line has handed out
  ProcessResult result_;
};

ProcessResult run_process(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const ProcessOptions& options = {});

}  // namespace corvale::test
