#pragma once
// Numbers kept exactly as they were written ('007', '-0', '1.50', '2.5E+07'): the grammar of one
// written number, the split of a text into numbers and separator runs, and the decomposition of
// a number into the parts that number text and table columns store apart.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bigint.h"
#include "core/decimal.h"

namespace corvale {

namespace detail {
constexpr std::array<bool, 256> make_separator_table() {
  std::array<bool, 256> t{};
  for (unsigned char c : {'\t', '\n', '\r', ' ', ',', ';', '[', ']', '|'}) t[c] = true;
  return t;
}
inline constexpr std::array<bool, 256> kSeparatorTable = make_separator_table();
}  // namespace detail

// TAB, LF, CR, space and , ; [ ] |: the only bytes that may stand between two numbers.
constexpr bool is_separator_byte(unsigned char c) { return detail::kSeparatorTable[c]; }
inline bool is_separator_text(std::string_view s) {
  for (unsigned char c : s) {
    if (!is_separator_byte(c)) return false;
  }
  return true;
}

struct NumberScan {
  bool ok;
  std::size_t end;  // one past the number when ok
};

// One number at start: an optional '-', digits, optionally '.' and digits, optionally 'e' or 'E'
// with an optional sign and digits. A form that breaks off ('1.', '1e', '1e+') is no number at
// all, not a shorter one.
NumberScan scan_number(std::string_view text, std::size_t start);

// The text as prefix, number, separator, number, ..., number, suffix (all borrowed from it).
struct NumberTextTokens {
  std::vector<std::string_view> numbers;     // at least one
  std::vector<std::string_view> separators;  // one fewer than numbers, none empty
  std::string_view prefix;                   // separator bytes before the first number
  std::string_view suffix;                   // separator bytes after the last number
};

// Walks text as a number text, reading each number with scan(text, start) (a NumberScan, as
// scan_number gives) and calling on_number(token) and on_separator(run) in text order; false as
// soon as it turns out not to be one (nothing is undone: callers drop what they got).
template <class Scan, class OnNumber, class OnSeparator>
bool walk_number_text(std::string_view text, std::string_view& prefix, std::string_view& suffix, Scan&& scan,
                      OnNumber&& on_number, OnSeparator&& on_separator) {
  const std::size_t len = text.size();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t p = 0;
  while (p < len && is_separator_byte(bytes[p])) ++p;
  if (p == len) return false;  // empty, or separators alone
  prefix = text.substr(0, p);
  for (;;) {
    const NumberScan number = scan(text, p);
    if (!number.ok) return false;
    on_number(text.substr(p, number.end - p));
    std::size_t q = number.end;
    while (q < len && is_separator_byte(bytes[q])) ++q;
    if (q == len) {
      suffix = text.substr(number.end);
      return true;
    }
    if (q == number.end) return false;  // a number runs straight into another byte
    on_separator(text.substr(number.end, q - number.end));
    p = q;
  }
}

std::optional<NumberTextTokens> tokenize_number_text(std::string_view text);
// Whether tokenize_number_text accepts text, without keeping the tokens.
bool is_number_text(std::string_view text);

// The written marker of an exponent; the digits after it are stored without a sign.
enum class ExponentForm : std::uint8_t {
  kNone = 0,
  kLower = 1,       // e
  kUpper = 2,       // E
  kLowerPlus = 3,   // e+
  kUpperPlus = 4,   // E+
  kLowerMinus = 5,  // e-
  kUpperMinus = 6,  // E-
};
inline constexpr std::uint64_t kMaxExponentForm = 6;
// A view of a literal: a marker of one byte is followed by the literal's NUL, so two bytes can
// always be read from a marker that is not empty.
inline std::string_view exponent_form_text(ExponentForm form) {
  static constexpr std::string_view kTexts[] = {"", "e", "E", "e+", "E+", "e-", "E-"};
  return kTexts[static_cast<unsigned>(form)];
}

// The exponent marker whose 'e' or 'E' is text[at]: its form, and where the exponent's digits
// start (past a '+' or '-' that follows the letter).
struct ExponentMarker {
  ExponentForm form;
  std::size_t digits;
};
inline ExponentMarker read_exponent_marker(std::string_view text, std::size_t at) {
  const bool upper = text[at] == 'E';
  std::size_t digits = at + 1;
  unsigned form = upper ? 2 : 1;
  if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) {
    form = (text[digits] == '+' ? 3 : 5) + (upper ? 1 : 0);
    ++digits;
  }
  return {static_cast<ExponentForm>(form), digits};
}

struct ExponentSplit {
  std::string_view mantissa;
  ExponentForm form;
  std::string_view digits;  // after the marker and its sign; empty without an exponent
};
ExponentSplit split_exponent(std::string_view token);

// A number token taken apart, every piece borrowed from it, with what the encoders need of its
// mantissa digits (the integer then the fraction digits, read as one decimal number).
struct WrittenNumberParts {
  bool negative = false;
  std::uint64_t leading_zeros = 0;      // '0' bytes opening the integer digits, never the last
  std::string_view integer_digits;      // all integer digits, the leading zeros included
  std::string_view fraction_digits;     // after the '.', empty without one
  ExponentForm exponent_form = ExponentForm::kNone;
  std::string_view exponent_digits;
  std::uint64_t significant_digits = 0;  // mantissa digits from its first non-zero one (0 for a zero)
  std::uint64_t trailing_zeros = 0;      // '0' bytes ending the mantissa digits
  std::uint64_t value = 0;               // the mantissa's value, when value_fits()

  // At most 19 significant digits always fit in 64 bits.
  bool value_fits() const { return significant_digits <= 19; }
};

// The number grammar, once. With kValues it also counts the mantissa's digits and reads its
// value; without, only the pieces' places are taken (for a cell's shape, many times cheaper).
template <bool kValues>
inline NumberScan scan_number_parts(std::string_view text, std::size_t start, WrittenNumberParts& parts) {
  const std::size_t len = text.size();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  constexpr NumberScan kNone{false, 0};
  std::size_t p = start;
  const bool negative = p < len && bytes[p] == '-';
  p += negative;
  if (p >= len) return kNone;

  // The mantissa digits, integer then fraction digits, in one pass: how many count from the
  // first non-zero one, their value while it fits, and the zeros that end them.
  std::uint64_t significant = 0;
  std::uint64_t value = 0;
  std::uint64_t trailing = 0;
  auto digits = [&](std::size_t q) {
    for (; q < len; ++q) {
      const unsigned digit = static_cast<unsigned>(bytes[q] - '0');
      if (digit > 9) break;
      if constexpr (kValues) {
        significant += significant != 0 || digit != 0;
        if (significant - 1 < 19) value = value * 10 + digit;  // a zero keeps value 0 (significant - 1 wraps)
        trailing = digit == 0 ? trailing + 1 : 0;
      }
    }
    return q;
  };
  const std::size_t integer_end = digits(p);
  if (integer_end == p) return kNone;
  // The integer digits' leading zeros, keeping the last digit.
  const std::uint64_t integer_length = integer_end - p;
  const std::uint64_t leading = significant == 0 ? integer_length - 1 : integer_length - significant;
  std::size_t q = integer_end;
  if (q < len && bytes[q] == '.') {
    if (q + 1 >= len || static_cast<unsigned>(bytes[q + 1] - '0') > 9) return kNone;
    q = digits(q + 1);
  }
  const std::size_t mantissa_end = q;
  ExponentForm form = ExponentForm::kNone;
  std::size_t exponent_digits = q;
  if (q < len && (bytes[q] == 'e' || bytes[q] == 'E')) {
    const ExponentMarker marker = read_exponent_marker(text, q);
    std::size_t e = marker.digits;
    while (e < len && static_cast<unsigned>(bytes[e] - '0') <= 9) ++e;
    if (e == marker.digits) return kNone;
    form = marker.form;
    exponent_digits = marker.digits;
    q = e;
  }

  parts.negative = negative;
  parts.leading_zeros = leading;
  parts.integer_digits = text.substr(p, integer_end - p);
  parts.fraction_digits =
      mantissa_end == integer_end ? std::string_view() : text.substr(integer_end + 1, mantissa_end - integer_end - 1);
  parts.exponent_form = form;
  parts.exponent_digits = text.substr(exponent_digits, q - exponent_digits);
  parts.significant_digits = significant;
  parts.trailing_zeros = trailing;
  parts.value = value;
  return {true, q};
}


// scan_number that also takes the number apart, in the same one pass over its bytes; parts is
// filled only when the scan is ok.
inline NumberScan scan_written_number(std::string_view text, std::size_t start, WrittenNumberParts& parts) {
  return scan_number_parts<true>(text, start, parts);
}
// The same grammar, taking only the sign, the digits' places and the exponent's form into parts
// (no digit counts, zeros or value): what a cell's shape needs, at a fraction of the cost.
inline NumberScan scan_number_shape(std::string_view text, std::size_t start, WrittenNumberParts& parts) {
  return scan_number_parts<false>(text, start, parts);
}
// The parts of a whole number token (one that scan_number reads to its end).
WrittenNumberParts split_written_number_parts(std::string_view token);

// The value of a token's mantissa when it has at most 19 significant digits; nothing for more.
inline std::optional<std::uint64_t> mantissa_value_u64(const WrittenNumberParts& parts) {
  if (!parts.value_fits()) return std::nullopt;
  return parts.value;
}
// The value of one run of digits when it has at most 19 significant digits, which always fit in
// 64 bits; nothing for more, or for anything but digits (the long road reports those).
std::optional<std::uint64_t> digits_value_u64(std::string_view digits);

struct WrittenNumber {
  bool negative = false;
  std::uint64_t leading_zeros = 0;
  // Integer then fraction digits as one number, negative when written with a '-'. A zero keeps
  // no sign: a "-0" is a zero value with negative set, recorded apart by whoever stores it.
  BigInt value;
  std::uint64_t fraction_digits = 0;
  ExponentForm exponent_form = ExponentForm::kNone;
  std::string_view exponent_digits;  // borrowed from the token
};
WrittenNumber split_written_number(std::string_view token);

// One or more decimal digits, leading zeros allowed. Throws "Expected unsigned decimal digits".
BigInt parse_digits(std::string_view digits);

// The '0' bytes at the start of digits, keeping the last digit: '007' has 2, '000' has 2, '' 0.
inline std::uint64_t count_leading_zero_digits(std::string_view digits) {
  std::size_t z = 0;
  while (z + 1 < digits.size() && digits[z] == '0') ++z;
  return z;
}

// The length of a magnitude's digits once written with f fraction digits (see below).
inline std::uint64_t fixed_point_length(std::uint64_t digit_count, std::uint64_t f) {
  if (f == 0) return digit_count;
  return (digit_count > f ? digit_count : f + 1) + 1;
}
// Writes a magnitude's decimal digits with f fraction digits at p: '0's in front up to f + 1
// digits, then the point before the last f; fixed_point_length bytes. Returns the end.
char* write_fixed_point(char* p, std::string_view digits, std::uint64_t f);
// The same for a magnitude of 64 bits, whose digits (digit_count of them, its
// decimal_digit_count) are written in place rather than copied; up to kDigitSlack bytes of no
// meaning may follow them.
inline char* write_fixed_point(char* p, std::uint64_t magnitude, unsigned digit_count, std::uint64_t f) {
  if (f == 0) return write_decimal(magnitude, p);
  if (digit_count <= f) {
    *p++ = '0';
    *p++ = '.';
    for (std::uint64_t k = digit_count; k < f; ++k) *p++ = '0';
    return write_decimal(magnitude, p);
  }
  // Every digit one place on, then the few whole digits back in front of the point.
  char* const end = write_decimal(magnitude, p + 1);
  const std::size_t whole = digit_count - static_cast<std::size_t>(f);
  for (std::size_t k = 0; k < whole; ++k) p[k] = p[k + 1];
  p[whole] = '.';
  return end;
}

}  // namespace corvale
