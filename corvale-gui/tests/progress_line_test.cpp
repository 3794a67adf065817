#include "logic/progress_line.h"

#include "logic/texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvale_gui {
namespace {

using Kind = EngineLine::Kind;

TEST(ProgressLine, Grammar) {
  struct Case {
    const char* line;
    Kind kind;
    std::uint64_t done = 0, total = 0;
  } cases[] = {
      {"PROGRESS 0 1000", Kind::progress, 0, 1000},
      {"PROGRESS 500 1000", Kind::progress, 500, 1000},
      {"PROGRESS 1000 1000", Kind::progress, 1000, 1000},
      {"PROGRESS +5 10", Kind::progress, 5, 10},
      {"PROGRESS 5 +10", Kind::progress, 5, 10},
      {"PROGRESS 18446744073709551615 18446744073709551615", Kind::progress, UINT64_MAX,
       UINT64_MAX},
      {"PROGRESS 20 10", Kind::progress, 20, 10},  // done above total is passed on as it is
      {"PROGRESS 007 10", Kind::progress, 7, 10},
      // Malformed progress lines are dropped, never shown as messages.
      {"PROGRESS -5 10", Kind::ignored},
      {"PROGRESS 5", Kind::ignored},
      {"PROGRESS 5  10", Kind::ignored},
      {"PROGRESS 5 10 x", Kind::ignored},
      {"PROGRESS 5 10 ", Kind::ignored},
      {"PROGRESS  5 10", Kind::ignored},
      {"PROGRESS 99999999999999999999 1", Kind::ignored},
      {"PROGRESS 18446744073709551616 1", Kind::ignored},
      {"PROGRESS + 1", Kind::ignored},
      {"PROGRESS ++1 1", Kind::ignored},
      {"PROGRESS 1 0x10", Kind::ignored},
      {"PROGRESS ", Kind::ignored},
      {"", Kind::ignored},
      // Only the exact prefix makes a progress line.
      {"progress 5 10", Kind::message},
      {"PROGRESS\t5 10", Kind::message},
      {"PROGRESS", Kind::message},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const EngineLine line = interpret_engine_line(c.line, true);
    EXPECT_EQ(line.kind, c.kind);
    if (c.kind == Kind::progress) {
      EXPECT_EQ(line.progress.done, c.done);
      EXPECT_EQ(line.progress.total, c.total);
    }
  }
  EXPECT_EQ(interpret_engine_line("progress 5 10", true).message, "progress 5 10");
}

TEST(ProgressLine, Messages) {
  const std::string refusal =
      "Error: Input is not numeric: expected a number (integer, fraction or 1.5e-7), several "
      "numbers separated by spaces, tabs, line breaks or , ; | [ ], a table (CSV, TSV) with at "
      "least one numeric column, or a text log (at least 8 lines of space-separated fields with "
      "numbers)";
  struct Case {
    std::string line;
    bool english;
    std::string message;
  } cases[] = {
      {"Error: a", true, "a"},
      {"Error: ", true, ""},  // an empty message still counts
      {"Error: Error: x", true, "Error: x"},  // the prefix goes once
      {"Error:x", true, "Error:x"},
      {"thread panicked", true, "thread panicked"},
      {refusal, true, std::string(texts(true).not_numeric)},
      {refusal, false, std::string(texts(false).not_numeric)},
      {"Input is not numeric", true, std::string(texts(true).not_numeric)},
      {"Error: Input is not numerical data", true, std::string(texts(true).not_numeric)},
      {"Error:  Input is not numeric", true, " Input is not numeric"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const EngineLine line = interpret_engine_line(c.line, c.english);
    EXPECT_EQ(line.kind, Kind::message);
    EXPECT_EQ(line.message, c.message);
  }
}

TEST(ProgressLine, FailureMessage) {
  EXPECT_EQ(failure_message({"a", "b"}, true), "a\r\nb");
  EXPECT_EQ(failure_message({""}, true), "");
  EXPECT_EQ(failure_message({}, true), "Error");
  EXPECT_EQ(failure_message({}, false), "Ошибка");
}

std::vector<std::string> split_in_chunks(const std::string& stream, std::size_t chunk,
                                         bool* stopped = nullptr) {
  EngineLineSplitter splitter;
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < stream.size(); i += chunk) {
    if (!splitter.feed(std::string_view(stream).substr(i, chunk), lines)) break;
  }
  if (auto last = splitter.finish()) lines.push_back(*last);
  if (stopped) *stopped = splitter.stopped();
  return lines;
}

TEST(ProgressLine, SplitterLineEnds) {
  const std::string stream = "PROGRESS 0 10\r\nError: a\r\r\n\nb\rc\r\ntail\r\r";
  const std::vector<std::string> expected = {"PROGRESS 0 10", "Error: a", "", "b\rc", "tail"};
  // However the pipe cuts the stream, the same lines come out.
  for (std::size_t chunk : {1u, 2u, 3u, 7u, 8192u}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(split_in_chunks(stream, chunk), expected);
  }
  EXPECT_EQ(split_in_chunks("a\n", 4), std::vector<std::string>{"a"});
  EXPECT_TRUE(split_in_chunks("", 4).empty());
}

TEST(ProgressLine, SplitterStopsAtInvalidUtf8) {
  const char* bad_lines[] = {
      "x\xFF",          // not a UTF-8 byte
      "\xC0\x80",       // overlong
      "\xED\xA0\x80",   // surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\xE2\x82",       // cut short
  };
  for (const char* bad : bad_lines) {
    for (std::size_t chunk : {1u, 8192u}) {
      bool stopped = false;
      const std::string stream = std::string("Error: a\n") + bad + "\nError: b\n";
      EXPECT_EQ(split_in_chunks(stream, chunk, &stopped), std::vector<std::string>{"Error: a"});
      EXPECT_TRUE(stopped);
    }
  }
  // A bad last line without a line end stops the reader too.
  bool stopped = false;
  EXPECT_EQ(split_in_chunks("a\n\xFF", 8192, &stopped), std::vector<std::string>{"a"});
  EXPECT_TRUE(stopped);
  EXPECT_EQ(split_in_chunks("\xE2\x86\x92 ok\n\xF0\x9F\x98\x80\n", 1),
            (std::vector<std::string>{"\xE2\x86\x92 ok", "\xF0\x9F\x98\x80"}));
}

}  // namespace
}  // namespace corvale_gui
