#include "codecs/log/log_lines.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace corvale {
namespace {

// n lines "a<i> <i>" joined by ending, with one more ending when final is set.
std::string numbered_lines(int n, const std::string& ending = "\n", bool final = true) {
  std::string text;
  for (int i = 0; i < n; ++i) {
    if (i > 0) text += ending;
    text += "a" + std::to_string(i) + " " + std::to_string(i);
  }
  return final ? text + ending : text;
}

struct LogCase {
  const char* name;
  std::string text;
  bool log;
  bool final_newline = false;
  bool crlf = false;
  std::vector<std::string> lines = {};  // checked when not empty
};

std::vector<LogCase> log_cases() {
  std::vector<LogCase> cases = {
      {"seven lines, however numeric", numbered_lines(7), false},
      {"eight lines", numbered_lines(8), true, true, false},
      {"eight lines, no final LF", numbered_lines(8, "\n", false), true, false, false},
      {"eight CR LF lines", numbered_lines(8, "\r\n"), true, true, true,
       {"a0 0", "a1 1", "a2 2", "a3 3", "a4 4", "a5 5", "a6 6", "a7 7"}},
      // Without a final line ending the last line is not terminated and keeps its own CR.
      {"CR LF without final ending, last line with a CR", numbered_lines(8, "\r\n", false) + "\r", true, false, true,
       {"a0 0", "a1 1", "a2 2", "a3 3", "a4 4", "a5 5", "a6 6", "a7 7\r"}},
      {"empty text", "", false},
      {"eight empty lines", std::string(8, '\n'), false},
      // One token in five holding a digit passes, fewer does not: five tokens a line here.
      {"exactly one in five", [] {
         std::string t;
         for (int i = 0; i < 8; ++i) t += "x y z w " + std::to_string(i) + "\n";
         return t;
       }(), true, true},
      {"just under one in five", [] {
         std::string t;
         for (int i = 0; i < 8; ++i) t += (i == 0 ? "x y z w v\n" : "x y z w " + std::to_string(i) + "\n");
         return t;
       }(), false},
      // Two neighbouring spaces make an empty token, and so does each trailing space: six
      // tokens a line here, one with a digit.
      {"double and trailing spaces count as empty tokens", [] {
         std::string t;
         for (int i = 0; i < 8; ++i) t += std::to_string(i) + "  x   \n";
         return t;
       }(), false},
      {"double spaces still one in five", [] {
         std::string t;
         for (int i = 0; i < 8; ++i) t += std::to_string(i) + "  x \n";
         return t;
       }(), true, true, false, {"0  x ", "1  x ", "2  x ", "3  x ", "4  x ", "5  x ", "6  x ", "7  x "}},
      {"empty lines among numbered ones", "1\n\n2\n\n3\n\n4\n\n", true, true, false,
       {"1", "", "2", "", "3", "", "4", ""}},
      {"a TAB is an ordinary byte", numbered_lines(8) + "\t9\n", true, true},
      {"a NUL byte", numbered_lines(8) + std::string(1, '\0'), false},
      {"a DEL byte", numbered_lines(8) + "\x7f", false},
      {"an ESC byte", numbered_lines(8) + "\x1b", false},
      {"bytes from 0x80 up", numbered_lines(8) + "\x80\xff caf\xc3\xa9 1\n", true, true},
  };
  // One CR LF among LF endings: no crlf, and the CR stays at the end of that line.
  std::string mixed = numbered_lines(8);
  mixed.insert(mixed.find('\n'), "\r");
  cases.push_back({"one CR LF among LF endings", mixed, true, true, false,
                   {"a0 0\r", "a1 1", "a2 2", "a3 3", "a4 4", "a5 5", "a6 6", "a7 7"}});
  // An empty terminated line cannot end with CR, so the log is not CR LF.
  std::string empty_line = numbered_lines(8, "\r\n");
  empty_line.insert(0, "\n");
  cases.push_back({"CR LF lines and one empty line", empty_line, true, true, false});
  return cases;
}

TEST(LogLines, RecognitionLineEndingsAndTokens) {
  for (const LogCase& c : log_cases()) {
    SCOPED_TRACE(c.name);
    const std::optional<LogLines> log = detect_log_lines(c.text);
    EXPECT_EQ(log.has_value(), c.log);
    EXPECT_EQ(is_log_text(c.text), c.log);
    if (!log || !c.log) continue;
    EXPECT_EQ(log->final_newline, c.final_newline);
    EXPECT_EQ(log->crlf, c.crlf);
    if (!c.lines.empty()) {
      EXPECT_EQ(std::vector<std::string>(log->lines.begin(), log->lines.end()), c.lines);
    }
  }
}

TEST(LogLines, FieldCountCutsAtTheFirstNSpaces) {
  struct Case {
    const char* line;
    std::size_t n;
    std::size_t fields;
  } cases[] = {
      {"", 0, 1}, {"", 5, 1}, {"a b c", 0, 1}, {"a b c", 1, 2}, {"a b c", 2, 3},
      {"a b c", 9, 3}, {"a  b", 5, 3}, {" ", 1, 2}, {"a b ", 255, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line) + " n=" + std::to_string(c.n));
    EXPECT_EQ(log_field_count(c.line, c.n), c.fields);
  }
}

}  // namespace
}  // namespace corvale
