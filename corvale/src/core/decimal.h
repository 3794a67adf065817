#pragma once
// The one road from written decimal digits to a big integer.

#include <string_view>

#include "core/bigint.h"
#include "core/digits.h"

namespace corvale {

inline constexpr const char kExpectedDecimalDigits[] = "Expected unsigned decimal digits";

// digits: one or more ASCII digits, leading zeros allowed; nothing else (no sign, blank or
// separator). Throws Error otherwise.
BigInt parse_decimal_digits(std::string_view digits);

}  // namespace corvale
