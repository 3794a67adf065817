#pragma once
// A few payload bytes can make a decoder build huge big integers: a stored base added to every
// value, a long seed carried through millions of prefix sums, a power with a vast exponent. Each
// decode therefore gets one magnitude budget, derived from its output limit, and charges every
// big integer it builds to it; once the total passes the allowance the decode fails with
// "Output exceeds decompression limit", so that work and memory follow the output limit rather
// than the payload's claims.
//
// The allowance is the cap of an inflated inner body, 2 x limit + 1024 bytes of magnitude, and a
// fixed 16 MiB beside it (saturating). A magnitude of b bytes prints as at least 2b - 1 decimal
// digits, so the numbers a decode may print take at most about half the limit, and the
// differences, bases and seeds they are built from, each about as long as a printed neighbour,
// fit in the rest. But a decimal scale lets a short text stand for long integers: "0." and
// 1999 zeros and a 1, then a hundred 1s, is 2202 bytes whose integers, each 1 followed by 2000
// zeros, are built and divided again. No allowance in proportion to the limit admits every
// such text (its integers can grow with the square of the text), so the fixed part lets every
// text of modest integers through under a limit of its own size, while memory and work stay
// within a few tens of MiB past twice the limit whatever the payload claims. Values kept in
// 64-bit words need not be charged: their number is bounded by the output already.
//
// One budget belongs to one decode call (on its stack); it is not shared between threads.

#include <cstdint>
#include <string_view>

#include "core/bigint.h"
#include "core/output_budget.h"

namespace corvale {

class MagnitudeBudget {
 public:
  static constexpr std::uint64_t kFixedAllowance = 16 << 20;

  explicit MagnitudeBudget(std::uint64_t output_limit)
      : remaining_(saturating_sum(inner_body_limit(output_limit), kFixedAllowance)), printed_left_(output_limit) {}

  // Charges bytes of magnitude about to be built (for instance from a varint's length, before
  // converting it). Throws the output-limit error when they pass what is left.
  void charge_bytes(std::uint64_t bytes) {
    if (bytes > remaining_) throw output_limit_error();
    remaining_ -= bytes;
  }
  // Charges a value just built: its magnitude's length in bytes.
  void charge(const BigInt& value) { charge_bytes((value.bit_length() + 7) / 8); }

  std::uint64_t remaining() const { return remaining_; }

  // Charges digits the decode will certainly print: those of a big value, less the ones a
  // decimal scale may drop again. Their sum may not pass the output limit, so a value whose
  // fewest digits pass what is left is refused from its bit length, before any digit is made.
  void charge_printed(std::uint64_t digits) {
    if (digits > printed_left_) throw output_limit_error();
    printed_left_ -= digits;
  }
  std::uint64_t printed_left() const { return printed_left_; }

 private:
  static constexpr std::uint64_t saturating_sum(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
  }

  std::uint64_t remaining_;
  std::uint64_t printed_left_;
};

// Runs a decoder over bytes just written, charging the budget as the real decode will: false
// when it runs out, so that an encoder can leave out what its decoder could not afford.
template <class Decode>
bool decodes_within_budget(Decode&& decode) {
  try {
    decode();
  } catch (const Error& e) {
    if (std::string_view(e.what()) == kOutputLimitExceeded) return false;
    throw;
  }
  return true;
}

}  // namespace corvale
