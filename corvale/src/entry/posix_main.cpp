// The process entry on POSIX systems: the arguments are the bytes the system handed over.

#include <csignal>
#include <vector>

#include "main/program.h"

int main(int argc, char** argv) {
  // A closed pipe on standard output must surface as a failed write (an internal fault with
  // its own exit status), not kill the process silently.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<corvale::platform::NativeString> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return corvale::run_program(args);
}
