#pragma once
// Runs a program to completion and collects what it printed, for end-to-end tests.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvale::test {

struct ProcessResult {
  int status = -1;  // the exit status; 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::filesystem::path cwd;                        // empty: the caller's
  std::optional<std::filesystem::path> stdout_file;  // write standard output there instead
};

ProcessResult run_process(const std::filesystem::path& program, const std::vector<std::string>& args,
                          const ProcessOptions& options = {});

}  // namespace corvale::test
