#pragma once
// Number text (archive type 10): numbers with the separator runs between them, restored byte for
// byte (signs, "-0", leading zeros, trailing fraction zeros, the written form of exponents).
// When the runs repeat with a period c, number i belongs to column i mod c and each column is
// stored as its own number column, so that numbers of one kind are coded together.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

inline constexpr const char kTruncatedNumberText[] = "Truncated number text";
inline constexpr const char kInvalidNumberTextFlags[] = "Invalid number text flags";
inline constexpr const char kInvalidNumberTextSize[] = "Invalid number text size";
inline constexpr const char kDecimalFlagWithoutFractions[] = "Decimal flag without fractions";
inline constexpr const char kTrailingNumberTextData[] = "Trailing data in number text";

// Flag bits of the payload's first byte; bits 0, 1 and 7 are always clear.
inline constexpr std::uint8_t kTextLeadingZeros = 0x04;
inline constexpr std::uint8_t kTextMinusZeros = 0x08;
inline constexpr std::uint8_t kTextDecimal = 0x10;
inline constexpr std::uint8_t kTextRelativeCounts = 0x20;  // only with kTextDecimal
inline constexpr std::uint8_t kTextExponents = 0x40;
inline constexpr std::uint8_t kTextReservedFlags = 0x83;

struct NumberTextPayload {
  // Set when the text's own decoder would refuse any payload of it under the text's length (its
  // scaled values or its body pass what that limit allows): the text is then stored as it is.
  bool store = false;
  std::string bytes;  // the type-10 payload, unless store
};

// The payload of text, or nothing when text is not a number text. Throws Error only when
// deflate fails.
std::optional<NumberTextPayload> encode_number_text(std::string_view text);

// The text a type-10 payload restores, at most limit bytes. Throws Error.
ByteBuffer decode_number_text_payload(std::string_view payload, std::uint64_t limit);
// The same text written to out as it is made. Throws Error.
void stream_number_text_payload(std::string_view payload, std::uint64_t limit, OutputSink& out);

}  // namespace corvale
