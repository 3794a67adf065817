#include "logic/progress_line.h"

#include "logic/native_text.h"
#include "logic/texts.h"

namespace corvale_gui {
namespace {

constexpr std::string_view kProgressPrefix = "PROGRESS ";
constexpr std::string_view kErrorPrefix = "Error: ";
constexpr std::string_view kNotNumericPrefix = "Input is not numeric";

}  // namespace

std::optional<std::uint64_t> parse_unsigned_decimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

EngineLine interpret_engine_line(std::string_view line, bool english) {
  EngineLine result;
  if (line.starts_with(kProgressPrefix)) {
    const std::string_view rest = line.substr(kProgressPrefix.size());
    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return result;
    const auto done = parse_unsigned_decimal(rest.substr(0, blank));
    const auto total = parse_unsigned_decimal(rest.substr(blank + 1));
    if (done && total) {
      result.kind = EngineLine::Kind::progress;
      result.progress = {*done, *total};
    }
    return result;
  }
  if (line.empty()) return result;
  if (line.starts_with(kErrorPrefix)) line.remove_prefix(kErrorPrefix.size());
  result.kind = EngineLine::Kind::message;
  // The engine's refusal explains the accepted formats in console terms; the window says it
  // in the user's language instead.
  result.message = line.starts_with(kNotNumericPrefix) ? std::string(texts(english).not_numeric)
                                                       : std::string(line);
  return result;
}

std::string failure_message(const std::vector<std::string>& messages, bool english) {
  if (messages.empty()) return std::string(texts(english).engine_failed);
  std::string joined = messages.front();
  for (std::size_t i = 1; i < messages.size(); ++i) joined += "\r\n" + messages[i];
  return joined;
}

std::optional<std::string> EngineLineSplitter::take_line(std::string_view raw) {
  while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  if (!is_valid_utf8(raw)) {
    stopped_ = true;
    pending_.clear();
    return std::nullopt;
  }
  return std::string(raw);
}

bool EngineLineSplitter::feed(std::string_view bytes, std::vector<std::string>& lines) {
  while (!stopped_ && !bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) {
      pending_.append(bytes);
      break;
    }
    std::optional<std::string> line;
    if (pending_.empty()) {
      line = take_line(bytes.substr(0, newline));
    } else {
      pending_.append(bytes.substr(0, newline));
      line = take_line(pending_);
      pending_.clear();
    }
    if (line) lines.push_back(std::move(*line));
    bytes.remove_prefix(newline + 1);
  }
  return !stopped_;
}

std::optional<std::string> EngineLineSplitter::finish() {
  if (stopped_ || pending_.empty()) return std::nullopt;
  std::string raw = std::move(pending_);
  pending_.clear();
  return take_line(raw);
}

}  // namespace corvale_gui
