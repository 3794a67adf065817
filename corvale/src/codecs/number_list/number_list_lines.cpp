#include "codecs/number_list/number_list_lines.h"

#include <algorithm>
#include <utility>

#include "core/bigint.h"
#include "core/decimal.h"
#include "core/digits.h"
#include "core/varint.h"

namespace corvale {

namespace {

// One integer line taken apart: the sign, the zeros before the value's digits and the digits
// themselves (at least one: a line of zeros keeps its last '0' as the value's own digit).
struct ScannedLine {
  bool negative;
  std::uint64_t leading_zeros;
  std::string_view digits;
  std::uint64_t narrow;  // the value of digits when there are at most kWordDecimalDigits of them
};

// Walks the lines of text the way the recogniser defines them, in one pass that also parses
// each line, handing it to on_line; false as soon as the text is not integer lines (on_line may
// have seen some lines by then). The first line's ending decides LF or CR LF for the whole text.
template <class OnLine>
bool scan_integer_lines(std::string_view text, bool& final_line_ending, bool& crlf, OnLine&& on_line) {
  const char* p = text.data();
  const char* const end = p + text.size();
  final_line_ending = false;
  crlf = false;
  for (bool first = true;; first = false) {
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    const char* const start = p;
    while (p != end && *p == '0') ++p;
    const char* digits = p;
    // Wraps past 18 digits, where the value is parsed again as a big integer.
    std::uint64_t v = 0;
    for (; p != end && is_digit(*p); ++p) v = v * 10 + static_cast<unsigned>(*p - '0');
    if (p == start) return false;
    if (digits == p) --digits;
    on_line(ScannedLine{negative, static_cast<std::uint64_t>(digits - start),
                        std::string_view(digits, static_cast<std::size_t>(p - digits)), v});

    if (p == end) return !first;  // the last line, without a line ending
    if (*p == '\r') {
      if (!first && !crlf) return false;
      crlf = true;
      if (++p == end || *p != '\n') return false;
    } else if (*p != '\n' || crlf) {
      return false;
    }
    if (++p == end) {
      final_line_ending = true;
      return !first;
    }
  }
}

}  // namespace

bool is_integer_lines(std::string_view text) {
  bool final_line_ending = false;
  bool crlf = false;
  return scan_integer_lines(text, final_line_ending, crlf, [](const ScannedLine&) {});
}

std::optional<IntegerLines> split_integer_lines(std::string_view text) {
  IntegerLines result;
  result.text_length = text.size();
  result.values.allow_packed_words();
  std::string& zeros = result.leading_zeros;
  bool any_zeros = false;
  std::size_t most_lines = 0;
  std::uint64_t i = 0;
  const bool ok = scan_integer_lines(text, result.final_line_ending, result.crlf, [&](const ScannedLine& line) {
    // Measured once the first line is an integer, so other texts never pay for it; reserved
    // so that the list never grows by copying.
    if (i == 0) {
      most_lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
      result.values.reserve(most_lines);
    }
    // The counts are written only from the first line that has leading zeros on: a byte a line
    // when some do, nothing when none does.
    if (line.leading_zeros != 0 && !any_zeros) {
      any_zeros = true;
      zeros.reserve(most_lines);
      zeros.assign(static_cast<std::size_t>(i), '\0');
    }
    if (any_zeros) write_varint_u64(line.leading_zeros, zeros);
    if (line.negative && line.digits == "0") result.minus_zeros.push_back(i);
    // The scan's word is the value of a short line; a longer one goes through the decimal
    // parser, and stays a word if it fits one.
    if (line.digits.size() <= kWordDecimalDigits) {
      result.values.push_word(line.negative ? 0 - line.narrow : line.narrow);
    } else {
      BigInt v = parse_decimal_digits(line.digits);
      if (line.negative) v.negate();
      result.values.push_back(std::move(v));
    }
    ++i;
  });
  if (!ok) return std::nullopt;
  return result;
}

}  // namespace corvale
