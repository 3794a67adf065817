#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace corvale::test {
namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

constexpr uid_t kNobody = 65534;

// In the child, between fork and exec: only calls that take no lock and allocate nothing.
[[noreturn]] void exec_child(char* const* argv, const ProcessOptions& options, int stdout_fd, int stderr_fd) {
  if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
  if (::dup2(stdout_fd, STDOUT_FILENO) < 0 || ::dup2(stderr_fd, STDERR_FILENO) < 0) ::_exit(126);
  if (options.file_size) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit fsize{*options.file_size, *options.file_size};
    if (::setrlimit(RLIMIT_FSIZE, &fsize) != 0) ::_exit(126);
  }
  if (options.address_space) {
    const rlimit as{*options.address_space, *options.address_space};
    if (::setrlimit(RLIMIT_AS, &as) != 0) ::_exit(126);
  }
  if (options.unprivileged && ::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(126);
  ::execv(argv[0], argv);
  ::_exit(127);
}

}  // namespace

RunningProcess::RunningProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                               const ProcessOptions& options)
    : seconds_(options.seconds), deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds)) {
  int out_pipe[2], err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) fail("pipe2");
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) fail("pipe2");
  int stdout_fd = out_pipe[1];
  if (options.stdout_file) {
    stdout_fd = ::open(options.stdout_file->c_str(), O_WRONLY | O_CLOEXEC);
    if (stdout_fd < 0) fail("open stdout file");
  }

  std::vector<char*> argv;
  const std::string program_text = program.string();
  argv.push_back(const_cast<char*>(program_text.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ < 0) fail("fork");
  if (pid_ == 0) exec_child(argv.data(), options, stdout_fd, err_pipe[1]);
  result_.pid = pid_;
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (stdout_fd != out_pipe[1]) ::close(stdout_fd);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
}

RunningProcess::~RunningProcess() {
  if (pid_ > 0) {
    kill();
    try {
      wait();
    } catch (...) {
    }
  }
  close_pipes();
}

void RunningProcess::close_pipes() {
  for (int* fd : {&out_fd_, &err_fd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

// One round: waits up to timeout_ms (-1: without end) for either output, then reads what came.
// Both outputs are read, so that a run is never stuck on a full pipe nobody reads.
void RunningProcess::drain(int timeout_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  std::string* sinks[2] = {&result_.out, &result_.err};
  int* owners[2] = {&out_fd_, &err_fd_};
  if (::poll(fds, 2, timeout_ms) < 0) {
    if (errno == EINTR) return;
    fail("poll");
  }
  char buf[65536];
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
    if (n > 0) {
      sinks[i]->append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      ::close(fds[i].fd);
      *owners[i] = -1;
    }
  }
}

std::optional<std::string> RunningProcess::next_err_line() {
  for (;;) {
    const std::size_t end = result_.err.find('\n', err_read_);
    if (end != std::string::npos) {
      std::string line = result_.err.substr(err_read_, end + 1 - err_read_);
      err_read_ = end + 1;
      return line;
    }
    if (err_fd_ < 0) {
      if (err_read_ == result_.err.size()) return std::nullopt;
      std::string rest = result_.err.substr(err_read_);
      err_read_ = result_.err.size();
      return rest;
    }
    drain(-1);
  }
}

bool RunningProcess::has_exited() const {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
}

void RunningProcess::kill() { ::kill(pid_, SIGKILL); }

ProcessResult RunningProcess::wait() {
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    int timeout_ms = -1;
    if (seconds_ > 0 && !result_.timed_out) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now()).count();
      if (left <= 0) {
        result_.timed_out = true;
        kill();
        continue;
      }
      timeout_ms = static_cast<int>(std::min<long long>(left, 1000));
    }
    drain(timeout_ms);
  }
  int wstatus = 0;
  rusage usage{};
  while (::wait4(pid_, &wstatus, 0, &usage) < 0) {
    if (errno != EINTR) fail("wait4");
  }
  pid_ = -1;
  result_.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result_.peak_kib = usage.ru_maxrss;
  return result_;
}

ProcessResult run_process(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const ProcessOptions& options) {
  return RunningProcess(program, args, options).wait();
}

}  // namespace corvale::test
