#pragma once
// The front end's reading of the engine's standard error: lines cut from the byte stream,
// "PROGRESS <done> <total>" lines, and the engine's messages as the window shows them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale_gui {

// An unsigned decimal that fits in 64 bits: an optional leading '+', then digits only.
std::optional<std::uint64_t> parse_unsigned_decimal(std::string_view text);

struct ProgressPair {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
};

// What one line of the engine's standard error means to the job.
struct EngineLine {
  enum class Kind {
    progress,  // a well-formed progress line
    ignored,   // an empty line, or a malformed progress line (never a message)
    message,   // a message for status line 3
  };
  Kind kind = Kind::ignored;
  ProgressPair progress;
  std::string message;
};

// line is one line without its line end; english picks the language of the replacement for
// the engine's refusal of input that is not numeric.
EngineLine interpret_engine_line(std::string_view line, bool english);

// The collected messages as status line 3 shows a failed job: one per line, or the plain
// failure text when the engine said nothing.
std::string failure_message(const std::vector<std::string>& messages, bool english);

// Cuts the error stream into lines as it arrives. A line ends at "\n"; the "\r"s before it go
// with it. At the first line that is not valid UTF-8 the reader stops for good.
class EngineLineSplitter {
 public:
  // Appends the complete lines found in bytes to lines; returns false once stopped.
  bool feed(std::string_view bytes, std::vector<std::string>& lines);
  // The last line, when the stream ended without "\n" after it.
  std::optional<std::string> finish();
  bool stopped() const { return stopped_; }

 private:
  std::optional<std::string> take_line(std::string_view raw);
  std::string pending_;
  bool stopped_ = false;
};

}  // namespace corvale_gui
