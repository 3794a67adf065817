#include "codecs/exponent_column.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "codecs/error.h"

namespace corvale {

ColumnValues digit_string_values(const std::vector<std::string_view>& digit_strings) {
  ColumnValues values;
  values.narrow.reserve(digit_strings.size());
  for (const std::string_view digits : digit_strings) {
    const std::optional<std::uint64_t> small = digits_value_u64(digits);
    if (!small || *small > static_cast<std::uint64_t>(INT64_MAX)) {
      values.wide = true;
      break;
    }
    values.narrow.push_back(static_cast<std::int64_t>(*small));
  }
  if (values.wide) {
    values.narrow = {};
    values.big.reserve(digit_strings.size());
    for (const std::string_view digits : digit_strings) values.big.push_back(parse_digits(digits));
  }
  return values;
}

void encode_digit_string_column(const std::vector<ExponentForm>& forms, const std::vector<std::string_view>& digit_strings,
                                std::string& out) {
  for (const ExponentForm form : forms) out.push_back(static_cast<char>(form));  // one-byte varints
  out += encode_number_column(digit_string_values(digit_strings));

  for (const std::string_view digits : digit_strings) write_varint_u64(count_leading_zero_digits(digits), out);
}

ExponentColumn decode_exponents(ByteCursor& cursor, std::uint64_t n) {
  ExponentColumn exponents;
  // Every form is read before any is judged, so a cut body reads as cut whatever came before.
  bool bad_form = false;
  std::uint64_t with_exponent = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::uint64_t form = cursor_read_varint_u64(cursor);
    bad_form |= form > kMaxExponentForm;
    with_exponent += form != 0;
    exponents.forms.push_back(static_cast<ExponentForm>(form > kMaxExponentForm ? 0 : form));
  }
  if (bad_form) throw Error(kInvalidExponentForm);
  if (with_exponent == 0) throw Error(kExponentFlagWithoutExponents);
  exponents.values = decode_number_column(cursor, with_exponent);
  for (std::size_t k = 0; k < exponents.values.size(); ++k) {
    if (exponents.values.is_negative(k)) throw Error(kNegativeExponentValue);
  }
  exponents.leading_zeros = read_count_list(cursor, with_exponent);
  return exponents;
}

void write_exponent(ExponentColumn& exponents, std::uint64_t i, std::string& out, std::uint64_t limit) {
  if (exponents.forms.empty() || exponents.forms[i] == ExponentForm::kNone) return;
  out += exponent_form_text(exponents.forms[i]);
  const std::size_t k = exponents.next++;
  const std::uint64_t room = out.size() >= limit ? 0 : limit - out.size();
  const std::uint64_t zeros = exponents.leading_zeros[k];
  if (zeros > room) throw output_limit_error();
  out.append(static_cast<std::size_t>(zeros), '0');
  if (!exponents.values.wide) {
    char digits[20];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(exponents.values.narrow[k])).ptr;
    out.append(digits, end);
  } else {
    const BigInt& value = exponents.values.big[k];
    check_decimal_output_size(value, room - zeros);
    value.append_decimal_magnitude(out);
  }
  if (out.size() > limit) throw output_limit_error();
}

}  // namespace corvale
