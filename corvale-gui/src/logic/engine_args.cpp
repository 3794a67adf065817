#include "logic/engine_args.h"

namespace corvale_gui {

std::vector<std::wstring> engine_arguments(JobMode mode, std::wstring_view input,
                                           std::wstring_view output) {
  const std::string_view word = mode_word(mode);
  return {std::wstring(word.begin(), word.end()), L"-i", std::wstring(input), L"-o",
          std::wstring(output), L"--progress"};
}

std::wstring quote_argument(std::wstring_view argument) {
  const bool quoted = argument.empty() || argument.find_first_of(L" \t") != std::wstring_view::npos;
  if (!quoted && argument.find(L'"') == std::wstring_view::npos) return std::wstring(argument);
  std::wstring out;
  out.reserve(argument.size() + 8);
  if (quoted) out += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
    } else {
      // Backslashes are literal unless a quote follows them; then each one needs its double.
      if (c == L'"') out.append(backslashes + 1, L'\\');
      backslashes = 0;
    }
    out += c;
  }
  if (quoted) {
    out.append(backslashes, L'\\');  // so that the closing quote is not taken as literal
    out += L'"';
  }
  return out;
}

std::wstring build_command_line(std::wstring_view program, const std::vector<std::wstring>& arguments) {
  std::wstring line = L"\"";
  line += program;
  line += L'"';
  for (const std::wstring& argument : arguments) {
    line += L' ';
    line += quote_argument(argument);
  }
  return line;
}

}  // namespace corvale_gui
