#pragma once
// The console program, independent of how the platform hands over its command line.

#include <vector>

#include "platform/platform.h"

namespace corvale {

// args: the command-line arguments after the program path. Returns the exit status:
// 0 success (also help and version), 1 a reported error, 101 an internal fault.
int run_program(const std::vector<platform::NativeString>& args);

}  // namespace corvale
