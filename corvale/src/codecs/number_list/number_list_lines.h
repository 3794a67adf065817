#pragma once
// Integer lines: the text a number list holds, recognised and parsed in one pass.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/integer_list.h"

namespace corvale {

// A text of integer lines, parsed in the one pass that recognised it: no line is kept as text.
struct IntegerLines {
  IntegerList values{Signedness::Signed};
  // One varint a line: the zeros before its digits (a line of zeros keeps its last as its
  // digit). Empty when no line has any.
  std::string leading_zeros;
  std::vector<std::uint64_t> minus_zeros;  // the indices of the lines that are -0, -00, ...
  bool final_line_ending = false;
  bool crlf = false;
  std::uint64_t text_length = 0;
};

// The text as integer lines (at least two), or nothing when it is not one.
std::optional<IntegerLines> split_integer_lines(std::string_view text);

// Whether text is integer lines, without keeping what they hold.
bool is_integer_lines(std::string_view text);

}  // namespace corvale
