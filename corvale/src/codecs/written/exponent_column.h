#pragma once
// The exponents of the numbers of a text or a table column, stored apart from the mantissas:
// every number's written form of the marker, the values of the exponents that exist as one
// number column, and their leading zeros ('1e007').

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/written/compact_values.h"
#include "codecs/written/written_number.h"
#include "core/count_list.h"
#include "core/magnitude_budget.h"
#include "core/varint.h"

namespace corvale {

inline constexpr const char kInvalidExponentForm[] = "Invalid exponent form";
inline constexpr const char kExponentFlagWithoutExponents[] = "Exponent flag without exponents";
inline constexpr const char kNegativeExponentValue[] = "Negative exponent value";

// The values of strings of ASCII digits, leading zeros dropped: also the digit runs of table
// cells, which are stored the same way.
IntegerList digit_string_values(const std::vector<std::string_view>& digit_strings);

// Appends one form a number (kNone for none) and the digits of every exponent there is, in
// number order. Returns false, appending nothing, when the exponents' number column would take
// more than max_bytes. Throws Error only when deflate fails.
bool encode_digit_string_column(const std::vector<ExponentForm>& forms, const std::vector<std::string_view>& digit_strings,
                                std::string& out, std::uint64_t max_bytes = std::numeric_limits<std::uint64_t>::max());

// The exponents as read back. Entry k of values and leading_zeros belongs to the k-th number
// whose form is not kNone.
struct ExponentColumn {
  std::vector<ExponentForm> forms;  // empty: no number has an exponent
  CompactValues values;             // none negative; the digits of big ones made
  CountList leading_zeros;

  ExponentForm form(std::uint64_t i) const { return forms.empty() ? ExponentForm::kNone : forms[i]; }
};

inline ExponentColumn no_exponents() { return {}; }
// Big exponent values are charged to budget.
ExponentColumn decode_exponents(ByteCursor& cursor, std::uint64_t n, MagnitudeBudget& budget);

}  // namespace corvale
