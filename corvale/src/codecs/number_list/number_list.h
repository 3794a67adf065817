#pragma once
// The number-list archive: a text of at least two lines, each one integer, stored as a list of
// big integers with the leading zeros, -0 signs and line endings needed to restore it exactly.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/written/number_messages.h"
#include "core/byte_buffer.h"
#include "core/integer_list.h"
#include "core/output_sink.h"

namespace corvale {

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

// A text of integer lines, parsed in the one pass that recognised it: no line is kept as text.
struct IntegerLines {
  IntegerList values{Signedness::Signed};
  // One varint a line: the zeros before its digits (a line of zeros keeps its last as its
  // digit). Empty when no line has any.
  std::string leading_zeros;
  std::vector<std::uint64_t> minus_zeros;  // the indices of the lines that are -0, -00, ...
  bool final_line_ending = false;
  bool crlf = false;
  std::uint64_t text_length = 0;
};

// The text as integer lines (at least two), or nothing when it is not one.
std::optional<IntegerLines> split_integer_lines(std::string_view text);

// The type-9 payload of lines, whose values it consumes. Throws Error only when deflate fails.
std::string encode_number_list_payload(IntegerLines lines);

// A quick proof that split_integer_lines takes text: true when text is at least two lines, each
// an optional '-' and digits, all but perhaps the last ended by LF (CR LF when crlf). False
// proves nothing: the decoder then asks split_integer_lines itself.
bool proves_integer_lines(std::string_view text, bool crlf);

// The text a type-9 payload restores, at most limit bytes. Throws Error.
ByteBuffer decode_number_list_payload(std::string_view payload, std::uint64_t limit);
// The same text written to out as it is made. Throws Error.
void stream_number_list_payload(std::string_view payload, std::uint64_t limit, OutputSink& out);

}  // namespace corvale
