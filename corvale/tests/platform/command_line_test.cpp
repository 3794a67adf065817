#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvale::platform {
namespace {

struct Case {
  const wchar_t* line;
  std::vector<std::wstring> args;
};

std::string show(const std::vector<std::wstring>& v) {
  std::string out = "{";
  for (const auto& a : v) {
    out += " [";
    for (wchar_t c : a) out += c < 0x80 ? static_cast<char>(c) : '?';
    out += "]";
  }
  return out + " }";
}

TEST(SplitCommandLine, FollowsTheRuntimeRules) {
  const Case cases[] = {
      // Program path: skipped; quotes group, backslashes are plain characters there.
      {L"", {}},
      {L"corvale.exe", {}},
      {L"corvale.exe   ", {}},
      {LR"("C:\Program Files\corvale.exe" -h)", {L"-h"}},
      {LR"("C:\dir\" x)", {L"x"}},
      {LR"(C:\a" "b\corvale.exe x)", {L"x"}},
      {LR"(a\"b c" d)", {L"d"}},
      {L" a b", {L"a", L"b"}},
      {L"\"unclosed program path", {}},

      // Blanks.
      {L"p a b", {L"a", L"b"}},
      {L"p  \t a \t\t b  ", {L"a", L"b"}},
      {L"p\ta", {L"a"}},
      {L"p a\nb\r", {L"a\nb\r"}},

      // Quotes, doubled quotes and empty arguments.
      {LR"(p "a b" c)", {L"a b", L"c"}},
      {LR"(p a"b c"d)", {L"ab cd"}},
      {LR"(p a""b)", {L"ab"}},
      {LR"(p "a""b")", {L"a\"b"}},
      {LR"(p "a"" b")", {L"a\" b"}},
      {LR"(p """")", {L"\""}},
      {LR"(p """)", {L"\""}},
      {LR"(p "")", {L""}},
      {LR"(p "" "")", {L"", L""}},
      {LR"(p a "")", {L"a", L""}},
      {LR"(p "" a)", {L"", L"a"}},
      {LR"(p ")", {L""}},
      {LR"(p a ")", {L"a", L""}},
      {LR"(p "a b)", {L"a b"}},
      {LR"(p "a b   )", {L"a b   "}},

      // Backslash runs.
      {LR"(p a\b \\server\share\ c\\)", {LR"(a\b)", LR"(\\server\share\)", LR"(c\\)"}},
      {LR"(p \")", {L"\""}},
      {LR"(p \\")", {L"\\"}},
      {LR"(p \\\"a)", {L"\\\"a"}},
      {LR"(p a\\\\"b c")", {LR"(a\\b c)"}},
      {LR"(p "a\"b")", {L"a\"b"}},
      {LR"(p "C:\out dir\\" x)", {LR"(C:\out dir\)", L"x"}},
      {LR"(p "C:\out dir\" x)", {LR"(C:\out dir" x)"}},
      {LR"(p "a\\""b")", {LR"(a\"b)"}},
      {LR"(p \\\\"")", {LR"(\\)"}},

      // What a caller that quotes paths properly produces.
      {LR"("C:\corvale.exe" compress -i "C:\My Files\in ""put"".txt" -o C:\out\x.corvale)",
       {L"compress", L"-i", LR"(C:\My Files\in "put".txt)", L"-o", LR"(C:\out\x.corvale)"}},
  };
  for (const Case& c : cases) {
    const std::vector<std::wstring> got = split_command_line(c.line);
    EXPECT_EQ(got, c.args) << "line: " << show({c.line}) << "\n got: " << show(got)
                           << "\n want: " << show(c.args);
  }
}

TEST(SplitCommandLine, KeepsCharactersOutsideAscii) {
  const std::wstring line = L"p \"\u00e9t\u00e9 \U0001F600\" \xD800x";
  const std::vector<std::wstring> want = {L"\u00e9t\u00e9 \U0001F600", L"\xD800x"};
  EXPECT_EQ(split_command_line(line), want);
}

}  // namespace
}  // namespace corvale::platform
