#include "codecs/exponent_column.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "codecs/error.h"
#include "codecs/number_column.h"
#include "codecs/output_budget.h"

namespace corvale {

bool encode_digit_string_column(const std::vector<ExponentForm>& forms, const std::vector<std::string_view>& digit_strings,
                                std::string& out, std::uint64_t max_bytes) {
  IntegerList values(Signedness::Signed);
  for (const std::string_view digits : digit_strings) {
    const std::optional<std::uint64_t> small = digits_value_u64(digits);
    if (small && *small <= static_cast<std::uint64_t>(INT64_MAX)) {
      values.push_word(*small);
    } else {
      values.push_back(parse_digits(digits));
    }
  }
  const std::uint64_t forms_bytes = forms.size();  // one-byte varints
  if (forms_bytes > max_bytes) return false;
  std::optional<std::string> column = encode_number_column(std::move(values), max_bytes - forms_bytes);
  if (!column) return false;

  for (const ExponentForm form : forms) out.push_back(static_cast<char>(form));
  out += *column;
  for (const std::string_view digits : digit_strings) write_varint_u64(count_leading_zero_digits(digits), out);
  return true;
}

ExponentColumn decode_exponents(ByteCursor& cursor, std::uint64_t n, MagnitudeBudget& budget) {
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
  exponents.values = decode_number_column(cursor, with_exponent, budget);
  const IntegerList& values = exponents.values;
  for (std::size_t k = 0; k < values.size(); ++k) {
    const bool negative = values.wide() ? values.big()[k].sign() < 0 : static_cast<std::int64_t>(values.words()[k]) < 0;
    if (negative) throw Error(kNegativeExponentValue);
  }
  exponents.leading_zeros = read_count_list(cursor, with_exponent);
  return exponents;
}

void write_exponent(ExponentColumn& exponents, std::uint64_t i, std::string& out, std::uint64_t limit) {
  if (exponents.forms.empty() || exponents.forms[i] == ExponentForm::kNone) return;
  out += exponent_form_text(exponents.forms[i]);
  const std::size_t k = exponents.next++;
  const std::uint64_t zeros = exponents.leading_zeros[k];
  check_output_room(out.size(), zeros, limit);
  out.append(static_cast<std::size_t>(zeros), '0');
  if (!exponents.values.wide()) {
    char digits[20];
    const auto end = std::to_chars(digits, digits + sizeof digits, exponents.values.words()[k]).ptr;
    out.append(digits, end);
  } else {
    const BigInt& value = exponents.values.big()[k];
    check_decimal_output_size(value, room_under_limit(out.size(), limit));
    value.append_decimal_magnitude(out);
  }
  if (out.size() > limit) throw output_limit_error();
}

}  // namespace corvale
