#pragma once
// The number column: the one encoding every text codec uses for a list of signed integers (the
// numbers of a number-text column, table cells, log group ids, exponents). A method byte, the
// few values a difference transform leaves in front, an optional base, then a number-list body;
// the encoder keeps whichever of its methods deflates smallest. The count is the caller's.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "codecs/integer_list.h"
#include "codecs/magnitude_budget.h"
#include "codecs/varint.h"

namespace corvale {

inline constexpr const char kInvalidColumnMethod[] = "Invalid column method";

// Method bits besides the layout bits of the body (kLayoutBytePlanes, kLayoutEntropy).
inline constexpr std::uint8_t kColumnOrderMask = 3;
inline constexpr std::uint8_t kColumnBase = 8;

// The best column for values (a signed list, consumed), or none when every method takes more
// than max_bytes (a caller's room under its own decoder's cap). Throws Error only when deflate
// fails.
std::optional<std::string> encode_number_column(IntegerList values,
                                                std::uint64_t max_bytes = std::numeric_limits<std::uint64_t>::max());

// count values (a signed list) from the column at the cursor, which is left just behind it.
// Big integers built on the way (head, base, sums) are charged to budget.
IntegerList decode_number_column(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget);

}  // namespace corvale
