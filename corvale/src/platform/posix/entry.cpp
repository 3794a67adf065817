// The process entry on POSIX systems: the arguments are the bytes the system handed over.

#include <vector>

#include "main/program.h"

int main(int argc, char** argv) {
  std::vector<corvale::platform::NativeString> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return corvale::run_program(args);
}
