#pragma once
// The engine's command line, quoted so that the Windows splitting rules give back exactly the
// arguments meant, whatever blanks, quotes and backslashes the paths hold. Wide strings on every
// platform, so that the quoting is tested natively against the engine's own splitter.

#include <string>
#include <string_view>
#include <vector>

#include "logic/output_names.h"

namespace corvale_gui {

// mode word, "-i", input, "-o", output, "--progress".
std::vector<std::wstring> engine_arguments(JobMode mode, std::wstring_view input,
                                           std::wstring_view output);

// One argument as it must appear on a command line: unchanged when it needs nothing, else in
// double quotes with quotes and the backslashes before them escaped.
std::wstring quote_argument(std::wstring_view argument);

// The program path in double quotes (it can hold no quote on Windows) and the arguments.
std::wstring build_command_line(std::wstring_view program, const std::vector<std::wstring>& arguments);

}  // namespace corvale_gui
