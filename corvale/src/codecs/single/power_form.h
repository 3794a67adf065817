#pragma once
// Archive type 8: one number n written as factor * base^exponent + offset, with small base,
// exponent and factor and a short offset; and the search that finds such a form. The search and
// its log2 estimate serve the formula search too.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bigint.h"

namespace corvale {

inline constexpr const char kInvalidPowerForm[] = "Invalid power form";
inline constexpr const char kTruncatedOrExtendedPowerOffset[] = "Truncated or extended power offset";
inline constexpr const char kNonCanonicalPowerOffset[] = "Non-canonical power offset";
inline constexpr const char kNegativeZeroOffset[] = "Negative zero offset";
inline constexpr const char kPowerFormIsNegative[] = "Power form is negative";

struct PowerCandidate {
  BigInt offset;               // n - factor * base^exponent
  std::uint64_t base = 0;      // 2 to 99, never a perfect power
  std::uint64_t exponent = 0;  // at least 2, below 2^32
  std::uint64_t factor = 0;    // 1 to 65536
};

// log2(n) from n's top 53 bits, exactly as every build computes it.
double log2_estimate(const BigInt& n);

// Truncation toward zero; NaN and negative values give 0, values of 2^64 or more 2^64 - 1.
std::uint64_t double_to_u64(double x);

// The cheapest power form of n, by the payload bytes it needs; none below 2^63 or when no
// factor * base^exponent lies within a relative 1e-8 of a whole multiple near n.
std::optional<PowerCandidate> find_power_form(const BigInt& n);

// flags: the number's header flags (the negative-offset bit clear).
std::string encode_power_form_payload(const PowerCandidate& candidate, std::uint8_t flags,
                                      std::uint64_t leading_zeros);

// The restored text, at most limit bytes; an oversized result is refused from the header and
// the four counts before any big-integer work. Throws Error.
std::string decode_power_form_payload(std::string_view payload, std::uint64_t limit);

}  // namespace corvale
