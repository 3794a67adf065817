#pragma once
// Deciding whether a text is a log: at least 8 lines of space-separated tokens, one token in five
// or more holding a digit, and no control byte but TAB, LF and CR. The lines are kept as views
// of the text, one per line, so that recognising a log costs a few words a line.

#include <cstddef>
#include <cstdint>
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

// The same decision without keeping the lines.
bool is_log_text(std::string_view text);

// The tokens of a text's pieces, as is_log_text counts them: a piece is a field of a line (no
// LF), read as the tokens between its spaces. A line's tokens are those of its fields, since
// the fields are joined by spaces; a CR before the LF adds no token and no digit.
struct LogTokenCount {
  std::uint64_t tokens = 0;
  std::uint64_t digit_tokens = 0;
  bool forbidden = false;  // a control byte other than TAB, LF and CR
};
// Adds the tokens of piece to count.
void count_log_tokens(std::string_view piece, LogTokenCount& count);
// Whether bytes hold no space, no LF and no forbidden byte: each of the pieces they hold is
// then one token.
bool holds_no_space_nor_forbidden_byte(std::string_view bytes);
// Whether a text of this many lines and tokens is a log.
bool counts_make_a_log(std::uint64_t lines, const LogTokenCount& count);

// The number of fields of line for a field count n: the line is cut at its first n spaces, so it
// has at most n + 1 fields and the last keeps any further spaces.
std::size_t log_field_count(std::string_view line, std::size_t n);

}  // namespace corvale
