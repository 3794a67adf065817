#include "io/console.h"

#include "platform/platform.h"

namespace corvale {

void print_stdout(std::string_view text) {
  if (!platform::write_stdout(text)) throw ConsoleWriteFault("failed printing to standard output");
}

void print_stderr(std::string_view text) {
  if (!platform::write_stderr(text)) throw ConsoleWriteFault("failed printing to standard error");
}

}  // namespace corvale
