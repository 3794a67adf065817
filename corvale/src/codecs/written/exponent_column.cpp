#include "codecs/written/exponent_column.h"

#include <cstdint>
#include <optional>

#include "codecs/numbers/number_column.h"
#include "core/error.h"

namespace corvale {

IntegerList digit_string_values(const std::vector<std::string_view>& digit_strings) {
  IntegerList values(Signedness::Signed);
  values.words().reserve(digit_strings.size());
  for (const std::string_view digits : digit_strings) {
    const std::optional<std::uint64_t> small = digits_value_u64(digits);
    if (small && *small <= static_cast<std::uint64_t>(INT64_MAX)) {
      values.push_word(*small);
    } else {
      values.push_back(parse_digits(digits));
    }
  }
  return values;
}

bool encode_digit_string_column(const std::vector<ExponentForm>& forms, const std::vector<std::string_view>& digit_strings,
                                std::string& out, std::uint64_t max_bytes) {
  const std::uint64_t forms_bytes = forms.size();  // one-byte varints
  if (forms_bytes > max_bytes) return false;
  std::optional<std::string> column = encode_number_column(digit_string_values(digit_strings), max_bytes - forms_bytes);
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
  NumberColumnReader reader(cursor, with_exponent, budget);
  IntegerList piece(Signedness::Signed);
  while (reader.next(piece)) exponents.values.append(piece, &budget, 0);
  for (std::size_t k = 0; k < exponents.values.size(); ++k) {
    if (exponents.values.is_negative(k)) throw Error(kNegativeExponentValue);
  }
  exponents.values.make_digits(budget, 0);
  exponents.leading_zeros = read_count_list(cursor, with_exponent);
  return exponents;
}

}  // namespace corvale
