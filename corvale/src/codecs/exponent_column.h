#pragma once
// The exponents of the numbers of a text or a table column, stored apart from the mantissas:
// every number's written form of the marker, the values of the exponents that exist as one
// number column, and their leading zeros ('1e007').

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/count_list.h"
#include "codecs/number_column.h"
#include "codecs/varint.h"
#include "codecs/written_number.h"

namespace corvale {

inline constexpr const char kInvalidExponentForm[] = "Invalid exponent form";
inline constexpr const char kExponentFlagWithoutExponents[] = "Exponent flag without exponents";
inline constexpr const char kNegativeExponentValue[] = "Negative exponent value";

// The values of strings of ASCII digits, leading zeros dropped: also the digit runs of table
// cells, which are stored the same way.
ColumnValues digit_string_values(const std::vector<std::string_view>& digit_strings);

// Appends one form a number (kNone for none) and the digits of every exponent there is, in
// number order. Throws Error only when deflate fails.
void encode_digit_string_column(const std::vector<ExponentForm>& forms, const std::vector<std::string_view>& digit_strings,
                                std::string& out);

// The exponents as read back, rendered one number after the other.
struct ExponentColumn {
  std::vector<ExponentForm> forms;  // empty: no number has an exponent
  ColumnValues values;              // one a number with a form, in order
  CountList leading_zeros;          // the same
  std::size_t next = 0;             // the next entry of values and leading_zeros to write
};

inline ExponentColumn no_exponents() { return {}; }
ExponentColumn decode_exponents(ByteCursor& cursor, std::uint64_t n);

// Appends number i's exponent, if it has one, keeping out within limit; called once a number, in
// number order. Throws "Output exceeds decompression limit".
void write_exponent(ExponentColumn& exponents, std::uint64_t i, std::string& out, std::uint64_t limit);

}  // namespace corvale
