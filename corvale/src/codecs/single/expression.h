#pragma once
// Integer-expression text: decimal, hexadecimal and int('...',36) literals, parentheses, unary
// signs, + - * // (floor) and ** (right-associative). The numeric-text decoder evaluates such
// text from archives, so every resource it can spend is capped.

#include <cstdint>
#include <string_view>

#include "core/bigint.h"

namespace corvale {

inline constexpr const char kInvalidIntegerExpression[] = "Invalid integer expression";
inline constexpr const char kUnexpectedExpressionToken[] = "Unexpected expression token";
inline constexpr const char kExpectedAnInteger[] = "Expected an integer";
inline constexpr const char kMissingClosingParenthesis[] = "Missing closing parenthesis";
inline constexpr const char kDivisionByZero[] = "Division by zero";
inline constexpr const char kPowerMustBeNonnegative[] = "Power must be a nonnegative integer";
inline constexpr const char kPowerExceedsLimit[] = "Power exceeds evaluation limit";
inline constexpr const char kExpressionNestingExceedsLimit[] = "Integer expression nesting exceeds limit";
inline constexpr const char kExpressionExceedsLimit[] = "Integer expression exceeds evaluation limit";
inline constexpr const char kExpectedBase36Literal[] = "Expected base36 integer literal";
inline constexpr const char kMissingBase36String[] = "Missing base36 string";
inline constexpr const char kExpectedQuotedBase36Digits[] = "Expected quoted base36 digits";
inline constexpr const char kInvalidBase36Integer[] = "Invalid base36 integer";
inline constexpr const char kInvalidBase36String[] = "Invalid base36 string";
inline constexpr const char kOnlyIntBase36Supported[] = "Only int('digits',36) is supported";

inline constexpr std::size_t kMaxExpressionLength = 4096;
inline constexpr std::uint64_t kMaxExpressionOperations = 256;
inline constexpr std::uint64_t kMaxExpressionBits = 1000000;

// The value of text, with at most kMaxExpressionOperations counted operations (literals and
// binary operations) and no value above kMaxExpressionBits. Throws Error with the first fault
// found.
BigInt parse_integer_expression(std::string_view text);

}  // namespace corvale
