#pragma once
// What the single-number archives (types 3, 5, 8 and 13) share: the view of an input that is one
// number, the header that records how it was written (sign, leading zeros, line ending) and the
// rendering of a restored magnitude back into exactly that text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bigint.h"

namespace corvale {

inline constexpr const char kMissingBinaryNumericFlags[] = "Missing binary numeric flags";
inline constexpr const char kInvalidBinaryNumericFlags[] = "Invalid binary numeric flags";
inline constexpr const char kZeroLeadingZeroCount[] = "Zero leading-zero count";

// Header flag bits.
inline constexpr std::uint8_t kFlagNegative = 0x01;
inline constexpr std::uint8_t kFlagLineFeed = 0x02;
inline constexpr std::uint8_t kFlagCrLf = 0x04;
inline constexpr std::uint8_t kLineEndingBits = 0x06;
inline constexpr std::uint8_t kFlagLeadingZeros = 0x08;
inline constexpr std::uint8_t kFlagNegativeOffset = 0x10;  // power form only
// The flag bits each archive type allows.
inline constexpr std::uint8_t kBinaryNumericFlagMask = 0x0F;
inline constexpr std::uint8_t kPowerFormFlagMask = 0x1F;

// An input that is one number, cut into its parts. Views into the input.
struct SingleNumber {
  std::string_view text;         // the input without its line ending: optional '-', then digits
  std::string_view line_ending;  // "", "\n" or "\r\n"
  bool negative = false;
  std::string_view digits;       // text without its '-'
  std::uint64_t leading_zeros = 0;  // '0's before the significant digits; the last digit never counts
  std::string_view significant;  // digits after the leading zeros ("0" for zero)
  std::uint8_t flags = 0;        // the header flags of sign, line ending and leading zeros
};

// True when text, without one final CR LF (else one final LF) and then without one leading '-',
// is one or more ASCII digits: the shape of every single-number archive's output.
bool is_single_number_text(std::string_view text);

// The parts of input when it is one optionally negative run of digits with at most one final
// line ending; none otherwise.
std::optional<SingleNumber> split_single_number(std::string_view input);

struct BinaryNumericHeader {
  std::uint64_t leading_zeros = 0;
  std::uint8_t flags = 0;
  std::string_view rest;  // the payload after the header
};

// The flags byte, then the leading-zero count as a varint when it is not 0. The caller sets the
// leading-zero flag exactly when the count is not 0.
std::string write_binary_numeric_header(std::uint8_t flags, std::uint64_t leading_zeros);

// allowed: the flag bits the archive type permits. Throws Error.
BinaryNumericHeader parse_binary_numeric_header(std::string_view payload, std::uint8_t allowed,
                                                std::uint64_t limit);

// The fewest decimal digits any value of this one's bit length has. Lets a decoder refuse an
// oversized number before the costly conversion to decimal.
std::uint64_t decimal_digits_lower_bound(const BigInt& value);

// '-' when flagged, leading_zeros '0's, the decimal digits of value (a magnitude), the flagged
// line ending: at most limit bytes, else "Output exceeds decompression limit", found from the
// value's bit length before any conversion when the number cannot fit. The value is used up.
// Throws Error.
std::string render_number_text(std::uint8_t flags, std::uint64_t leading_zeros, BigInt&& value,
                               std::uint64_t limit);

}  // namespace corvale
