#pragma once
// The command line of the console program: the mode word, the option loop, and the parsers of
// the option values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace corvale {

enum class Mode { Compress, Decompress };

// Everything the option loop collected, values still in the system's own form.
struct Options {
  Mode mode = Mode::Compress;
  std::optional<platform::NativeString> input;
  std::optional<platform::NativeString> output;
  std::optional<platform::NativeString> max_output;
  std::optional<platform::NativeString> threads;
  bool progress = false;
  bool no_verify = false;
};

struct CommandLine {
  enum class Action { Run, ShowHelp, ShowVersion };
  Action action = Action::Run;
  Options options;  // meaningful only for Run
};

// The mode word and the option loop, stopping at the first error (thrown as Error). Help and
// version end the parse at once, whatever follows.
CommandLine parse_command_line(const std::vector<platform::NativeString>& args);

// A byte count such as "10G", " 512kb ", "+5". Throws Error "Invalid size: <value as typed>".
std::uint64_t parse_size(const platform::NativeString& value);

// A worker count from 1 to 256. Throws Error "Invalid thread count: <value as typed>".
std::uint64_t parse_thread_count(const platform::NativeString& value);

// The processors the system reports, at least 1 and at most 8.
std::uint64_t default_thread_count();

std::string missing_value_message(std::string_view option);

}  // namespace corvale
