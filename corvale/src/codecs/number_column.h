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
#include "codecs/number_list_body.h"
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

// Whether every method of a column keeps its values, differences and offsets in 64-bit words,
// so that its decoder builds no big integer: true when every value is below 2^61 in magnitude.
bool stays_in_words(const IntegerList& values);

// count values (a signed list) from the column at the cursor, which is left just behind it.
// Big integers built on the way (head, base, sums) are charged to budget.
IntegerList decode_number_column(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget);

// The same column a piece of values at a time, for a caller that only checks or narrows the
// values and so never needs all count of them at once. The constructor reads the method, head
// and base and checks the body's framing, leaving the cursor just behind the column; next()
// then gives the values in order, each difference pass carried from one piece to the next.
class NumberColumnReader {
 public:
  NumberColumnReader(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget);

  // The next few thousand values into values (a signed list, cleared first); false once every
  // value has been given.
  bool next(IntegerList& values);

 private:
  MagnitudeBudget& budget_;
  std::uint8_t method_;
  IntegerList head_;  // the first min(order, count) values, given with the first piece
  std::optional<BigInt> base_;
  NumberListBodyReader body_;
  IntegerList piece_{Signedness::Unsigned};
  BigInt carries_[kColumnOrderMask - 1];
  bool head_given_ = false;
};

}  // namespace corvale
