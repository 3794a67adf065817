// Any text (UTF-16 units, two bytes each) through the Windows command-line splitter; and any
// arguments (the same units cut at each 0), quoted by the front end and split again by the
// engine, come back exactly.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "logic/engine_args.h"
#include "platform/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  (void)corvale::platform::split_command_line(units);

  std::vector<std::wstring> arguments(1);
  for (const wchar_t unit : units) {
    if (unit == L'\0') {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(unit);
    }
  }
  const std::wstring line = corvale_gui::build_command_line(L"C:\\Program Files\\corvale\\corvale.exe", arguments);
  FUZZ_CHECK(corvale::platform::split_command_line(line) == arguments);
  return 0;
}
