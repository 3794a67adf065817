#pragma once
// Printing for the program. A stream that cannot be written is not a user error: it ends the
// run as an internal fault.

#include <stdexcept>
#include <string_view>

namespace corvale {

class ConsoleWriteFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Both throw ConsoleWriteFault.
void print_stdout(std::string_view text);
void print_stderr(std::string_view text);

}  // namespace corvale
