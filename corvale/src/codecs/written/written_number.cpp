#include "codecs/written/written_number.h"

#include <algorithm>

#include "core/decimal.h"
#include "core/digits.h"

namespace corvale {

namespace {


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
      text, tokens.prefix, tokens.suffix, scan_number, [&](std::string_view number) { tokens.numbers.push_back(number); },
      [&](std::string_view run) { tokens.separators.push_back(run); });
  if (!ok) return std::nullopt;
  return tokens;
}

bool is_number_text(std::string_view text) {
  std::string_view prefix;
  std::string_view suffix;
  return walk_number_text(text, prefix, suffix, scan_number, [](std::string_view) {}, [](std::string_view) {});
}

ExponentSplit split_exponent(std::string_view token) {
  const std::size_t at = token.find_first_of("eE");
  if (at == std::string_view::npos) return {token, ExponentForm::kNone, {}};
  const ExponentMarker marker = read_exponent_marker(token, at);
  return {token.substr(0, at), marker.form, token.substr(marker.digits)};
}


WrittenNumberParts split_written_number_parts(std::string_view token) {
  WrittenNumberParts parts;
  scan_written_number(token, 0, parts);
  return parts;
}

std::optional<std::uint64_t> digits_value_u64(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t v = 0;
  unsigned significant = 0;
  for (const char c : digits) {
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (digit > 9) return std::nullopt;
    if (significant == 0 && digit == 0) continue;
    if (++significant > 19) return std::nullopt;
    v = v * 10 + digit;
  }
  return v;
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

}  // namespace corvale
