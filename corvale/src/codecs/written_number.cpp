#include "codecs/written_number.h"

#include <algorithm>
#include <charconv>

#include "codecs/decimal.h"

namespace corvale {

namespace {

bool is_digit(unsigned char c) { return static_cast<unsigned char>(c - '0') <= 9; }

}  // namespace

NumberScan scan_number(std::string_view text, std::size_t start) {
  const std::size_t len = text.size();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  constexpr NumberScan kNone{false, 0};
  std::size_t p = start;
  if (p < len && bytes[p] == '-') ++p;
  if (p >= len) return kNone;
  std::size_t q = p;
  while (q < len && is_digit(bytes[q])) ++q;
  if (q == p) return kNone;
  if (q == len) return {true, len};
  if (bytes[q] == '.') {
    if (q + 1 >= len || !is_digit(bytes[q + 1])) return kNone;
    q += 2;
    while (q < len && is_digit(bytes[q])) ++q;
  }
  if (q == len || (bytes[q] != 'e' && bytes[q] != 'E')) return {true, q};
  std::size_t r = q + 1;
  if (r < len && (bytes[r] == '+' || bytes[r] == '-')) ++r;
  std::size_t e = r;
  while (e < len && is_digit(bytes[e])) ++e;
  if (e == r) return kNone;
  return {true, e};
}

std::optional<NumberTextTokens> tokenize_number_text(std::string_view text) {
  NumberTextTokens tokens;
  const bool ok = walk_number_text(
      text, tokens.prefix, tokens.suffix, [&](std::string_view number) { tokens.numbers.push_back(number); },
      [&](std::string_view run) { tokens.separators.push_back(run); });
  if (!ok) return std::nullopt;
  return tokens;
}

bool is_number_text(std::string_view text) {
  std::string_view prefix;
  std::string_view suffix;
  return walk_number_text(text, prefix, suffix, [](std::string_view) {}, [](std::string_view) {});
}

std::string_view exponent_form_text(ExponentForm form) {
  static constexpr std::string_view kTexts[] = {"", "e", "E", "e+", "E+", "e-", "E-"};
  return kTexts[static_cast<unsigned>(form)];
}

ExponentSplit split_exponent(std::string_view token) {
  const std::size_t at = token.find_first_of("eE");
  if (at == std::string_view::npos) return {token, ExponentForm::kNone, {}};
  const bool upper = token[at] == 'E';
  std::size_t digits = at + 1;
  unsigned form = upper ? 2 : 1;
  if (digits < token.size() && (token[digits] == '+' || token[digits] == '-')) {
    form = (token[digits] == '+' ? 3 : 5) + (upper ? 1 : 0);
    ++digits;
  }
  return {token.substr(0, at), static_cast<ExponentForm>(form), token.substr(digits)};
}

WrittenNumberParts split_written_number_parts(std::string_view token) {
  const ExponentSplit exponent = split_exponent(token);
  WrittenNumberParts parts;
  parts.exponent_form = exponent.form;
  parts.exponent_digits = exponent.digits;
  std::string_view mantissa = exponent.mantissa;
  if (!mantissa.empty() && mantissa[0] == '-') {
    parts.negative = true;
    mantissa.remove_prefix(1);
  }
  const std::size_t point = mantissa.find('.');
  if (point == std::string_view::npos) {
    parts.integer_digits = mantissa;
  } else {
    parts.integer_digits = mantissa.substr(0, point);
    parts.fraction_digits = mantissa.substr(point + 1);
  }
  parts.leading_zeros = count_leading_zero_digits(parts.integer_digits);
  return parts;
}

namespace {

std::optional<std::uint64_t> value_u64(std::string_view high, std::string_view low) {
  if (high.empty() && low.empty()) return std::nullopt;
  std::uint64_t v = 0;
  unsigned significant = 0;
  for (std::string_view run : {high, low}) {
    for (char c : run) {
      const unsigned digit = static_cast<unsigned>(c - '0');
      if (digit > 9) return std::nullopt;
      if (significant == 0 && digit == 0) continue;
      if (++significant > 19) return std::nullopt;
      v = v * 10 + digit;
    }
  }
  return v;
}

}  // namespace

std::optional<std::uint64_t> mantissa_value_u64(const WrittenNumberParts& parts) {
  return value_u64(parts.integer_digits, parts.fraction_digits);
}

std::optional<std::uint64_t> digits_value_u64(std::string_view digits) { return value_u64(digits, {}); }

std::uint64_t mantissa_trailing_zeros(const WrittenNumberParts& parts) {
  std::uint64_t zeros = 0;
  for (std::string_view run : {parts.fraction_digits, parts.integer_digits}) {
    std::size_t i = run.size();
    while (i > 0 && run[i - 1] == '0') --i;
    zeros += run.size() - i;
    if (i > 0) break;
  }
  return zeros;
}

WrittenNumber split_written_number(std::string_view token) {
  const WrittenNumberParts parts = split_written_number_parts(token);
  WrittenNumber number;
  number.negative = parts.negative;
  number.leading_zeros = parts.leading_zeros;
  number.fraction_digits = parts.fraction_digits.size();
  number.exponent_form = parts.exponent_form;
  number.exponent_digits = parts.exponent_digits;
  if (const std::optional<std::uint64_t> small = mantissa_value_u64(parts)) {
    number.value = BigInt(*small);
  } else {
    std::string digits;
    digits.reserve(parts.integer_digits.size() + parts.fraction_digits.size());
    digits += parts.integer_digits;
    digits += parts.fraction_digits;
    number.value = parse_digits(digits);
  }
  if (parts.negative) number.value = -number.value;
  return number;
}

BigInt parse_digits(std::string_view digits) {
  std::size_t z = 0;
  while (z + 1 < digits.size() && digits[z] == '0') ++z;
  return parse_decimal_digits(digits.substr(z));
}

char* write_fixed_point(char* p, std::string_view digits, std::uint64_t f) {
  if (f == 0) return std::copy(digits.begin(), digits.end(), p);
  if (digits.size() <= f) {
    // All digits are fraction digits: "0." and the zeros they leave in front.
    const std::size_t pad = static_cast<std::size_t>(f - digits.size());
    *p++ = '0';
    *p++ = '.';
    p = std::fill_n(p, pad, '0');
    return std::copy(digits.begin(), digits.end(), p);
  }
  const std::size_t whole = digits.size() - static_cast<std::size_t>(f);
  p = std::copy(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(whole), p);
  *p++ = '.';
  return std::copy(digits.begin() + static_cast<std::ptrdiff_t>(whole), digits.end(), p);
}

std::vector<std::string> wide_decimal_digits(const IntegerList& values) {
  std::vector<std::string> digits;
  if (!values.wide()) return digits;
  digits.reserve(values.size());
  for (const BigInt& v : values.big()) v.append_decimal_magnitude(digits.emplace_back());
  return digits;
}

std::string_view magnitude_digits(const IntegerList& values, const std::vector<std::string>& wide_digits, std::size_t i,
                                  char (&buf)[20]) {
  if (values.wide()) return wide_digits[i];
  std::uint64_t magnitude = values.words()[i];
  if (values.signedness() == Signedness::Signed && static_cast<std::int64_t>(magnitude) < 0) magnitude = 0 - magnitude;
  return {buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, magnitude).ptr - buf)};
}

}  // namespace corvale
