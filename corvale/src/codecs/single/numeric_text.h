#pragma once
// Archive type 3: one number as a short ASCII text after a prefix letter: R the digits as
// written, M an integer expression, b and z the magnitude's bytes in base94 (z deflated first).
// The reader also takes B, Z and a chunked form that no writer of ours produces.

#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/single/single_number.h"
#include "core/bigint.h"

namespace corvale {

inline constexpr const char kEmptyNumericPayload[] = "Empty numeric payload";
inline constexpr const char kNumericPayloadMustBeAscii[] = "Numeric payload must be ASCII";
inline constexpr const char kUnknownNumericPrefix[] = "Unknown numeric prefix: ";
inline constexpr const char kMissingNumericPayloadSign[] = "Missing numeric payload sign";
inline constexpr const char kInvalidBase94Payload[] = "Invalid base94 payload";
inline constexpr const char kNumericPayloadExceedsLimit[] = "Numeric payload exceeds decompression limit";
inline constexpr const char kMissingChunkHeader[] = "Missing chunk header";
inline constexpr const char kInvalidChunkWidth[] = "Invalid chunk width";
inline constexpr const char kInvalidNumericChunk[] = "Invalid numeric chunk";

// Numbers of more digits never get an expression candidate.
inline constexpr std::size_t kMaxExpressionDigits = 200;

// A length character ('!' + length mod 94), then the bytes as one big-endian number in radix 94
// with the digits '!' to '~', most significant first ("!" for zero).
std::string encode_base94(std::string_view bytes);
// Throws Error; refuses a text whose bytes cannot fit in limit before converting it.
std::string decode_base94(std::string_view text, std::uint64_t limit);

// One single-number text (no line ending) back to an optional '-' and digits; for R the rest
// unchanged. Throws Error.
std::string decode_numeric_text_payload(std::string_view text, std::uint64_t limit);

// The shortest of the texts offered for number (magnitude: its value), with its line ending.
std::string encode_numeric_text_payload(const SingleNumber& number, const BigInt& magnitude);

// A whole type-3 payload back to the number's text and line ending, at most limit bytes.
// Throws Error.
std::string decode_numeric_text_archive(std::string_view payload, std::uint64_t limit);

}  // namespace corvale
