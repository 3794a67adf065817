#include "codecs/log/log_lines.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace corvale {

namespace {

enum ByteClass : std::uint8_t { kPlain, kDigit, kSpace, kLineFeed, kForbidden };

constexpr std::array<std::uint8_t, 256> make_byte_classes() {
  std::array<std::uint8_t, 256> classes{};
  for (unsigned b = 0; b < 32; ++b) classes[b] = kForbidden;
  classes['\t'] = kPlain;
  classes['\r'] = kPlain;
  classes['\n'] = kLineFeed;
  classes[127] = kForbidden;
  classes[' '] = kSpace;
  for (unsigned b = '0'; b <= '9'; ++b) classes[b] = kDigit;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kByteClasses = make_byte_classes();

// Tokens are the runs between spaces and line feeds; some hold a digit.
struct TokenTally {
  std::uint64_t tokens = 0;
  std::uint64_t digit_tokens = 0;
  bool token_has_digit = false;

  // Counts one byte in; its class, for the caller's own work on line feeds and forbidden bytes.
  ByteClass add(unsigned char b) {
    const auto c = static_cast<ByteClass>(kByteClasses[b]);
    if (c == kDigit) {
      digit_tokens += !token_has_digit;
      token_has_digit = true;
    } else if (c == kSpace || c == kLineFeed) {
      end_token();
    }
    return c;
  }
  void end_token() {
    ++tokens;
    token_has_digit = false;
  }
};

// One pass over text that decides whether it is a log; on_line(line) sees every line as cut at
// the LFs, any CR still in place. Fills final_newline and crlf.
template <class OnLine>
bool scan_log_text(std::string_view text, bool& final_newline, bool& crlf, OnLine&& on_line) {
  final_newline = !text.empty() && text.back() == '\n';
  if (final_newline) text.remove_suffix(1);

  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::uint64_t lines = 0;
  TokenTally tally;
  bool every_ending_crlf = true;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const ByteClass c = tally.add(bytes[i]);
    if (c == kLineFeed) {
      every_ending_crlf = every_ending_crlf && i > line_start && bytes[i - 1] == '\r';
      on_line(text.substr(line_start, i - line_start));
      ++lines;
      line_start = i + 1;
    } else if (c == kForbidden) {
      return false;
    }
  }
  // The last line: terminated only by the LF that final_newline took off.
  tally.end_token();
  if (final_newline) {
    every_ending_crlf = every_ending_crlf && text.size() > line_start && bytes[text.size() - 1] == '\r';
  }
  on_line(text.substr(line_start));
  ++lines;

  crlf = every_ending_crlf;
  return counts_make_a_log(lines, LogTokenCount{tally.tokens, tally.digit_tokens, false});
}

}  // namespace

std::optional<LogLines> detect_log_lines(std::string_view text) {
  LogLines log;
  if (!scan_log_text(text, log.final_newline, log.crlf, [&](std::string_view line) { log.lines.push_back(line); })) {
    return std::nullopt;
  }
  if (log.crlf) {
    // The unterminated last line keeps a CR of its own.
    const std::size_t terminated = log.final_newline ? log.lines.size() : log.lines.size() - 1;
    for (std::size_t i = 0; i < terminated; ++i) log.lines[i].remove_suffix(1);
  }
  return log;
}

bool counts_make_a_log(std::uint64_t lines, const LogTokenCount& count) {
  return !count.forbidden && lines >= kMinLogLines && 5 * count.digit_tokens >= count.tokens;
}

void count_log_tokens(std::string_view piece, LogTokenCount& count) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  // The piece's last token ends with it.
  TokenTally tally{.tokens = 1};
  for (std::size_t i = 0; i < piece.size(); ++i) {
    if (tally.add(bytes[i]) == kForbidden) count.forbidden = true;
  }
  count.tokens += tally.tokens;
  count.digit_tokens += tally.digit_tokens;
}

bool holds_no_space_nor_forbidden_byte(std::string_view bytes) {
  // Branch-free, so that the compiler takes many bytes a step.
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  unsigned char other = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = b[i];
    other |= static_cast<unsigned char>(((c <= ' ') & (c != '\t') & (c != '\r')) | (c == 127));
  }
  return other == 0;
}

bool is_log_text(std::string_view text) {
  bool final_newline = false;
  bool crlf = false;
  return scan_log_text(text, final_newline, crlf, [](std::string_view) {});
}

std::size_t log_field_count(std::string_view line, std::size_t n) {
  std::size_t spaces = 0;
  const char* p = line.data();
  const char* end = p + line.size();
  while (spaces < n && p != end) {
    p = static_cast<const char*>(std::memchr(p, ' ', static_cast<std::size_t>(end - p)));
    if (p == nullptr) break;
    ++spaces;
    ++p;
  }
  return spaces + 1;
}

}  // namespace corvale
