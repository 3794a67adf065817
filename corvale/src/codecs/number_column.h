#pragma once
// The number column: the one encoding every text codec uses for a list of signed integers (the
// numbers of a number-text column, table cells, log group ids, exponents). A method byte, the
// few values a difference transform leaves in front, an optional base, then a number-list body;
// the encoder keeps whichever of its methods deflates smallest. The count is the caller's.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "codecs/compact_values.h"
#include "codecs/integer_list.h"
#include "codecs/magnitude_budget.h"
#include "codecs/number_list_body.h"
#include "codecs/value_pieces.h"
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

// A column of count values read a piece at a time. The constructor reads the method, the head
// and the base and checks the body, leaving the cursor just behind the column; big integers
// built on the way (head, base, sums) are charged to budget, which must outlive the reader.
class NumberColumnReader {
 public:
  NumberColumnReader(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget);
  NumberColumnReader(const NumberColumnReader&) = delete;
  NumberColumnReader& operator=(const NumberColumnReader&) = delete;

  // The next values (a signed list, cleared first); false once all count have been given.
  bool next(IntegerList& piece) { return pieces_.next(piece, &budget_); }

 private:
  std::uint8_t read_method_head_and_base(ByteCursor& cursor, std::uint64_t count);

  MagnitudeBudget& budget_;
  IntegerList head_{Signedness::Signed};
  std::optional<BigInt> base_;
  std::uint8_t method_;
  NumberListBodyReader body_;
  ValuePieces pieces_;
};

// All count values at once (a signed list), for callers whose count is bounded already.
IntegerList decode_number_column(ByteCursor& cursor, std::uint64_t count, MagnitudeBudget& budget);

// The same values taken piece by piece into as few bytes as they need: a column of small
// numbers then holds a byte or two a value while it is read, not a full word. Each is printed
// less at most dropped digits.
CompactValues read_compact_number_column(ByteCursor& cursor, std::uint64_t count, std::uint64_t dropped,
                                         MagnitudeBudget& budget);

}  // namespace corvale
