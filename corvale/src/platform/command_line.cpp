#include "platform/command_line.h"

#include <cstddef>

namespace corvale::platform {
namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
  std::size_t i = 0;
  const std::size_t n = line.size();

  // The program path: quotes only switch quoting, so a path such as "C:\dir\" keeps its
  // trailing backslash.
  bool quoted = false;
  while (i < n && (quoted || !is_blank(line[i]))) {
    if (line[i] == L'"') quoted = !quoted;
    ++i;
  }

  std::vector<std::wstring> args;
  std::wstring arg;
  // An argument exists once it has a character or a quote, so "" is an empty argument.
  bool in_arg = false;
  quoted = false;
  while (i < n) {
    const wchar_t c = line[i];
    if (!quoted && is_blank(c)) {
      if (in_arg) {
        args.push_back(std::move(arg));
        arg.clear();
        in_arg = false;
      }
      ++i;
      continue;
    }
    in_arg = true;
    if (c == L'\\') {
      std::size_t run = 0;
      while (i < n && line[i] == L'\\') {
        ++run;
        ++i;
      }
      if (i < n && line[i] == L'"') {
        arg.append(run / 2, L'\\');
        if (run % 2 == 1) {
          arg.push_back(L'"');
          ++i;
        }
        // An even run leaves the quote to switch quoting below.
      } else {
        arg.append(run, L'\\');
      }
      continue;
    }
    if (c == L'"') {
      if (quoted && i + 1 < n && line[i + 1] == L'"') {
        arg.push_back(L'"');
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
      continue;
    }
    arg.push_back(c);
    ++i;
  }
  if (in_arg) args.push_back(std::move(arg));
  return args;
}

}  // namespace corvale::platform
