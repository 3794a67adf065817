#pragma once
// The table archive: a delimited table stored column by column and deflated as a whole, which
// restores the text byte for byte (separator, header line, quoting, line endings).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

inline constexpr const char kTruncatedTable[] = "Truncated table";
inline constexpr const char kInvalidTableFlags[] = "Invalid table flags";
inline constexpr const char kInvalidTableShape[] = "Invalid table shape";
inline constexpr const char kInvalidTableSize[] = "Invalid table size";
inline constexpr const char kInvalidHeaderLine[] = "Invalid header line";
inline constexpr const char kInvalidQuotedPositions[] = "Invalid quoted positions";
inline constexpr const char kInvalidFieldBytes[] = "Invalid field bytes";
inline constexpr const char kTrailingTableData[] = "Trailing data in table";
inline constexpr const char kNotATable[] = "Archive decodes to something that is not a table";

// Flag bits of the payload's first byte.
inline constexpr std::uint8_t kTableFinalLineEnding = 1;
inline constexpr std::uint8_t kTableCrLf = 2;
inline constexpr std::uint8_t kTableHeader = 4;

// Quoting marks in a column's kind byte.
inline constexpr std::uint8_t kColumnAllQuoted = 0x10;
inline constexpr std::uint8_t kColumnQuotedRows = 0x20;  // a list of the quoted rows follows
inline constexpr std::uint8_t kColumnQuotingMask = 0x30;

// The type-11 payload of input, or nothing when input is not a table. Throws Error when a
// column encoding or deflate fails.
std::optional<std::string> encode_table_archive(std::string_view input);

// The text a type-11 payload restores, at most limit bytes. Throws Error.
ByteBuffer decode_table_payload(std::string_view payload, std::uint64_t limit);
// The same text written to out a piece at a time. Throws Error, also after pieces went out.
void stream_table_payload(std::string_view payload, std::uint64_t limit, OutputSink& out);
// The same text as a string, for callers that keep strings.
std::string decode_table_archive(std::string_view payload, std::uint64_t limit);

}  // namespace corvale
