#pragma once
// The number column: the one encoding every text codec uses for a list of signed integers (the
// numbers of a number-text column, table cells, log group ids, exponents). A method byte, the
// few values a difference transform leaves in front, an optional base, then a number-list body;
// the encoder keeps whichever of its methods deflates smallest. The count is the caller's.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bigint.h"
#include "codecs/varint.h"

namespace corvale {

inline constexpr const char kInvalidColumnMethod[] = "Invalid column method";

// Method bits besides the layout bits of the body (kLayoutBytePlanes, kLayoutEntropy).
inline constexpr std::uint8_t kColumnOrderMask = 3;
inline constexpr std::uint8_t kColumnBase = 8;

// The values of one column: 64-bit words while every value fits, big integers otherwise.
struct ColumnValues {
  bool wide = false;
  std::vector<std::int64_t> narrow;
  std::vector<BigInt> big;

  std::size_t size() const { return wide ? big.size() : narrow.size(); }
  bool is_zero(std::size_t i) const { return wide ? big[i].is_zero() : narrow[i] == 0; }
  bool is_negative(std::size_t i) const { return wide ? big[i].sign() < 0 : narrow[i] < 0; }
};

// The best column for values. Throws Error only when deflate fails.
std::string encode_number_column(const ColumnValues& values);

// count values from the column at the cursor, which is left just behind it.
ColumnValues decode_number_column(ByteCursor& cursor, std::uint64_t count);

}  // namespace corvale
