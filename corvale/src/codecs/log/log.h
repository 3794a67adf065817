#pragma once
// The log archive: each line cut at its first N spaces into at most N + 1 fields, lines grouped
// by their number of fields, and every field position of a group stored as one table column,
// all deflated as a whole. Restores the text byte for byte.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

inline constexpr const char kTruncatedLog[] = "Truncated log";
inline constexpr const char kInvalidLogFlags[] = "Invalid log flags";
inline constexpr const char kInvalidLogSize[] = "Invalid log size";
inline constexpr const char kInvalidLogGroups[] = "Invalid log groups";
inline constexpr const char kInvalidLogGroup[] = "Invalid log group";
inline constexpr const char kInvalidLogGroupIndex[] = "Invalid log group index";
inline constexpr const char kInvalidLogColumnKind[] = "Invalid log column kind";
inline constexpr const char kInvalidLogField[] = "Invalid log field";
inline constexpr const char kTrailingLogData[] = "Trailing data in log";
inline constexpr const char kNotALog[] = "Archive decodes to something that is not a log";
inline constexpr const char kStructurelessTextMessage[] =
    "Input is not numeric: the text has no structure Corvale can use (random or encoded data such as "
    "base64 or hex); use zstd or xz for it";

// Flag bits of the payload's first byte.
inline constexpr std::uint8_t kLogFinalLineEnding = 1;
inline constexpr std::uint8_t kLogCrLf = 2;

// The largest field count parameter N a body may name.
inline constexpr std::uint64_t kMaxLogFieldCount = 255;
// N is chosen on this many first lines, among 0 to 12 (up to the fullest line's spaces) and
// that line's own space count.
inline constexpr std::size_t kLogSampleLines = 4000;
inline constexpr std::uint64_t kLogSmallFieldCounts = 12;
// Inputs shorter than this are never refused as structureless.
inline constexpr std::size_t kLogRefusalMinInput = 16384;

// The type-14 payload of text, or nothing when text is not a log. Throws Error when a column
// encoding or deflate fails, and with kStructurelessTextMessage when the log would not beat
// plain deflate of a text of kLogRefusalMinInput bytes or more.
std::optional<std::string> compress_log(std::string_view text);

// The field counts compress_log tries, in order, for a text whose fullest line holds
// most_spaces spaces: 0 to 12 (no more than most_spaces), then most_spaces itself when it is
// 13 to 255.
std::vector<std::uint64_t> log_field_count_candidates(std::uint64_t most_spaces);

// The body (before deflate) of lines cut for field count n (at most kMaxLogFieldCount), for a
// text of text_size bytes: its decoder, run under that limit, must afford every big number the
// columns hold and inflate the body under its cap. Throws Error when a column encoding fails.
std::string encode_log_columns(const std::vector<std::string_view>& lines, std::uint64_t n,
                               std::uint64_t text_size = std::numeric_limits<std::uint64_t>::max());

// The bodies of one list of lines for one field count after another, each the same as
// encode_log_columns's. A column cut the same way for an earlier field count (the same lines,
// the same field, under the same magnitude budget) is taken from that one, not encoded again:
// a field before the last is cut alike whatever the field count. The lines must outlive it.
class LogColumnEncoder {
 public:
  LogColumnEncoder(const std::vector<std::string_view>& lines, std::uint64_t text_size);
  ~LogColumnEncoder();
  std::string encode(std::uint64_t n);

 private:
  struct Columns;
  const std::vector<std::string_view>& lines_;
  std::uint64_t text_size_;
  std::vector<std::uint32_t> spaces_;  // of each line, all of them
  std::unique_ptr<Columns> columns_;
};

// The text a type-14 payload restores, at most limit bytes. Throws Error.
ByteBuffer decode_log_payload(std::string_view payload, std::uint64_t limit);
// The same text written to out a piece at a time. Throws Error, also after pieces went out.
void stream_log_payload(std::string_view payload, std::uint64_t limit, OutputSink& out);

// True when field holds a byte it may not: LF always, a space unless it is the last field of a
// line cut at all N spaces.
bool find_log_field_separator(std::string_view field, bool last_field);

}  // namespace corvale
