#pragma once
// The number-list archive: a text of at least two lines, each one integer, stored as a list of
// big integers with the leading zeros, -0 signs and line endings needed to restore it exactly.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/number_list/number_list_lines.h"
#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

// A payload too short to hold its flags, count and method.
inline constexpr const char kTruncatedNumberList[] = "Truncated number list";
inline constexpr const char kInvalidNumberListFlags[] = "Invalid number list flags";
inline constexpr const char kInvalidNumberListSize[] = "Invalid number list size";
inline constexpr const char kInvalidNumberListMethod[] = "Invalid number list method";
inline constexpr const char kTrailingNumberListData[] = "Trailing data in number list";

// Flag bits of the payload's first byte.
inline constexpr std::uint8_t kListFinalLineEnding = 1;
inline constexpr std::uint8_t kListCrLf = 2;
inline constexpr std::uint8_t kListLeadingZeros = 4;
inline constexpr std::uint8_t kListMinusZeros = 8;
// Method bit 3: magnitudes are offsets from a stored base.
inline constexpr std::uint8_t kListMethodBase = 8;

// The type-9 payload of lines, whose values it consumes. Throws Error only when deflate fails.
std::string encode_number_list_payload(IntegerLines lines);

// The text a type-9 payload restores, at most limit bytes. Throws Error.
ByteBuffer decode_number_list_payload(std::string_view payload, std::uint64_t limit);
// The same text written to out as it is made. Throws Error.
void stream_number_list_payload(std::string_view payload, std::uint64_t limit, OutputSink& out);

}  // namespace corvale
