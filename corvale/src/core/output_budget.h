#pragma once
// The output limit every decoder works under, checked in one place. A decoder is handed the
// largest number of bytes it may produce; it fails with "Output exceeds decompression limit"
// before producing more, and a total exactly at the limit is allowed. Nothing here overflows,
// whatever the counts a payload claims.

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/bigint.h"
#include "core/error.h"
#include "core/u128.h"

namespace corvale {

inline constexpr const char kOutputLimitExceeded[] = "Output exceeds decompression limit";

inline Error output_limit_error() { return Error(kOutputLimitExceeded); }

// The bytes that may still be produced once `used` have been: 0 at or past the limit.
constexpr std::uint64_t room_under_limit(std::uint64_t used, std::uint64_t limit) {
  return used < limit ? limit - used : 0;
}

// Throws the limit error unless `more` bytes after `used` stay within limit.
inline void check_output_room(std::uint64_t used, std::uint64_t more, std::uint64_t limit) {
  if (more > room_under_limit(used, limit)) throw output_limit_error();
}

// Appends bytes to out, or throws the limit error and leaves out as it was.
inline void append_within_limit(std::string& out, std::string_view bytes, std::uint64_t limit) {
  check_output_room(out.size(), bytes.size(), limit);
  out.append(bytes);
}

// The limit under which a deflated inner body (number list, number text, table, log) is
// inflated: 2 x limit + 1024, saturating. An inner body may be larger than the text it restores
// (a byte plane per digit group, a count per line), and this is how much larger it may be. An
// encoder never writes an inner body above this cap for its own input's length, since its own
// decoder would refuse it.
constexpr std::uint64_t inner_body_limit(std::uint64_t limit) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  return limit > (kMax - 1024) / 2 ? kMax : 2 * limit + 1024;
}

// The fewest decimal digits a magnitude of bits bits (at least 2^(bits - 1)) is written with:
// floor((bits - 1) log10 2) + 1, with log10 2 taken a little short so that the count is never
// more than the true one; 0 for no bit, so that a zero is never refused by it.
constexpr std::uint64_t least_decimal_digits(std::uint64_t bits) {
  if (bits == 0) return 0;
  return static_cast<std::uint64_t>(static_cast<u128>(bits - 1) * 30102999566398u / 100000000000000u) + 1;
}

// Refuses, before the costly conversion, a number whose decimal form cannot fit in room bytes.
// A lower bound only, tight to a digit; the caller checks the real length after printing.
inline void check_decimal_output_size(const BigInt& value, std::uint64_t room) {
  if (least_decimal_digits(value.bit_length()) > room) throw output_limit_error();
}

}  // namespace corvale
