#pragma once
// Reading and evaluating the byte form of a formula. A few bytes can name numbers of billions
// of bits, so every value is checked against the size the output limit allows before it is
// computed, and the whole formula shares one budget of big-number work.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/bigint.h"
#include "core/varint.h"

namespace corvale {

inline constexpr const char kFormulaTooDeep[] = "Formula too deep";
inline constexpr const char kTruncatedFormula[] = "Truncated formula";
inline constexpr const char kUnknownFormulaOperation[] = "Unknown formula operation";
inline constexpr const char kInvalidFormulaBytes[] = "Invalid formula bytes";
inline constexpr const char kNonCanonicalFormulaBytes[] = "Non-canonical formula bytes";
inline constexpr const char kNegativeFormulaValue[] = "Negative formula value";
inline constexpr const char kFormulaArgumentTooLarge[] = "Formula argument too large";
inline constexpr const char kTrailingFormulaData[] = "Trailing data in formula";

// Nesting levels below the root; the root is level 0.
inline constexpr std::uint64_t kMaxFormulaDepth = 32;
// The bit length of a 512 MiB decimal number: no value may be longer, whatever the limit.
inline constexpr std::uint64_t kMaxFormulaBits = 1'783'485'233;
inline constexpr std::uint64_t kMaxFactorialArgument = 10'000'000;  // also primorials
inline constexpr std::uint64_t kMaxFibonacciArgument = 1'783'485'233;  // also Lucas numbers
// Enough varint bytes for a literal of kMaxFormulaBits bits.
inline constexpr std::uint64_t kMaxSmallLiteralBytes = 254'783'606;

// value as a u64 when it is at most max; "Formula argument too large" otherwise.
std::uint64_t formula_argument_to_u64(const BigInt& value, std::uint64_t max);

// The value of the formula at the cursor, which moves past it. digit_room is the number of
// output bytes its decimal digits may take. Throws Error.
BigInt decode_formula(ByteCursor& cursor, std::uint64_t digit_room);

// The restored text of a type-13 payload (the number's header, then exactly one formula), at
// most limit bytes. Throws Error.
std::string decode_formula_payload(std::string_view payload, std::uint64_t limit);

}  // namespace corvale
