// The process entry on Windows. The runtime's own argv is ignored: the program splits the
// whole command line itself so that quotes and backslashes mean exactly what they mean to
// every other program on the system, independently of the runtime's version.

#include <vector>

#include "main/program.h"
#include "platform/command_line.h"
#include "platform/win32/windows_api.h"

// Keeps the MinGW runtime from expanding wildcards in the argv that is thrown away anyway; a
// '*' in a path must reach the program unchanged.
extern "C" {
int _dowildcard = 0;
}

int wmain(int, wchar_t**) {
  const wchar_t* line = ::GetCommandLineW();
  std::vector<std::wstring> args = corvale::platform::split_command_line(line ? line : L"");
  return corvale::run_program(args);
}
