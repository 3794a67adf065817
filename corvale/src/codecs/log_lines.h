#pragma once
// Deciding whether a text is a log: at least 8 lines of space-separated tokens, one token in five
// or more holding a digit, and no control byte but TAB, LF and CR. The lines are kept as views
// of the text, one per line, so that recognising a log costs a few words a line.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace corvale {

inline constexpr std::size_t kMinLogLines = 8;

struct LogLines {
  // Every line without its LF and, when crlf is set, without the CR before that LF.
  std::vector<std::string_view> lines;
  bool final_newline = false;  // the text ended with LF
  bool crlf = false;           // every line followed by an LF ended with CR LF
};

// The lines of text when it is a log; nothing otherwise.
std::optional<LogLines> detect_log_lines(std::string_view text);

// The same decision without keeping the lines: the log decoder's check of its own output.
bool is_log_text(std::string_view text);

// The number of fields of line for a field count n: the line is cut at its first n spaces, so it
// has at most n + 1 fields and the last keeps any further spaces.
std::size_t log_field_count(std::string_view line, std::size_t n);

}  // namespace corvale
