#include "main/options.h"

#include <array>

#include "core/error.h"
#include "main/help_text.h"

namespace corvale {
namespace {

using platform::NativeString;
using platform::to_display_text;

// An unsigned decimal in 64 bits: an optional '+', then one or more digits and nothing else.
std::optional<std::uint64_t> parse_u64_decimal(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// The Unicode white space that may surround a size, as UTF-8 sequences.
constexpr std::array<std::string_view, 25> kWhiteSpace = {
    "\t", "\n", "\v", "\f", "\r", " ",
    "\xC2\x85",      // U+0085
    "\xC2\xA0",      // U+00A0
    "\xE1\x9A\x80",  // U+1680
    "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85",
    "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A",  // U+2000..U+200A
    "\xE2\x80\xA8",  // U+2028
    "\xE2\x80\xA9",  // U+2029
    "\xE2\x80\xAF",  // U+202F
    "\xE2\x81\x9F",  // U+205F
    "\xE3\x80\x80",  // U+3000
};

// The length of the white-space character that s starts (or ends) with; 0 when there is none.
std::size_t leading_white_space(std::string_view s) {
  for (const std::string_view w : kWhiteSpace) {
    if (s.starts_with(w)) return w.size();
  }
  return 0;
}

std::size_t trailing_white_space(std::string_view s) {
  for (const std::string_view w : kWhiteSpace) {
    if (s.ends_with(w)) return w.size();
  }
  return 0;
}

std::string_view trim_white_space(std::string_view s) {
  while (const std::size_t n = leading_white_space(s)) s.remove_prefix(n);
  while (const std::size_t n = trailing_white_space(s)) s.remove_suffix(n);
  return s;
}

// Which value-taking option an argument names, by the one name both its forms share.
std::optional<std::string_view> value_option_name(std::string_view arg) {
  if (arg == "-i" || arg == "--input") return "input";
  if (arg == "-o" || arg == "--output") return "output";
  if (arg == "-j" || arg == "--threads") return "threads";
  if (arg == "--max-output") return "max-output";
  return std::nullopt;
}

std::optional<NativeString>& value_slot(Options& options, std::string_view name) {
  if (name == "input") return options.input;
  if (name == "output") return options.output;
  if (name == "threads") return options.threads;
  return options.max_output;
}

}  // namespace

CommandLine parse_command_line(const std::vector<NativeString>& args) {
  CommandLine result;
  if (args.empty()) throw Error(kHelpText);
  // A word that is not valid Unicode shows a U+FFFD and so matches none of these.
  const std::string first = to_display_text(args[0]);
  if (first == "-h" || first == "--help") {
    result.action = CommandLine::Action::ShowHelp;
    return result;
  }
  if (first == "-V" || first == "--version") {
    result.action = CommandLine::Action::ShowVersion;
    return result;
  }
  Options& options = result.options;
  if (first == "compress") {
    options.mode = Mode::Compress;
  } else if (first == "decompress") {
    options.mode = Mode::Decompress;
  } else {
    throw Error("Unknown mode: " + first + "\n\n" + kHelpText);
  }

  for (std::size_t i = 1; i < args.size(); ++i) {
    const NativeString& raw = args[i];
    const std::string arg = to_display_text(raw);
    if (!platform::is_valid_unicode(raw)) throw Error("Unknown argument: " + arg);
    if (arg == "--progress") {
      options.progress = true;
    } else if (arg == "--no-verify") {
      options.no_verify = true;
    } else if (arg == "-h" || arg == "--help") {
      result.action = CommandLine::Action::ShowHelp;
      return result;
    } else if (const auto name = value_option_name(arg)) {
      std::optional<NativeString>& slot = value_slot(options, *name);
      if (slot) throw Error("Duplicate argument: " + arg);
      if (i + 1 == args.size()) throw Error(missing_value_message(arg));
      slot = args[++i];
    } else {
      throw Error("Unknown argument: " + arg);
    }
  }
  return result;
}

std::uint64_t parse_size(const NativeString& value) {
  const std::string text = to_display_text(value);
  const auto invalid = [&] { return Error("Invalid size: " + text); };
  std::string s(trim_white_space(text));
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (!s.empty() && s.back() == 'B') s.pop_back();
  unsigned shift = 0;
  if (!s.empty()) {
    switch (s.back()) {
      case 'K': shift = 10; break;
      case 'M': shift = 20; break;
      case 'G': shift = 30; break;
      case 'T': shift = 40; break;
      default: break;
    }
    if (shift != 0) s.pop_back();
  }
  const std::optional<std::uint64_t> number = parse_u64_decimal(s);
  if (!number) throw invalid();
  if (shift != 0 && (*number >> (64 - shift)) != 0) throw invalid();
  return *number << shift;
}

std::uint64_t parse_thread_count(const NativeString& value) {
  const std::string text = to_display_text(value);
  const std::optional<std::uint64_t> n = parse_u64_decimal(text);
  if (!n || *n == 0 || *n > 256) throw Error("Invalid thread count: " + text);
  return *n;
}

std::uint64_t default_thread_count() {
  const unsigned n = platform::processor_count();
  if (n < 1) return 1;
  return n > 8 ? 8 : n;
}

std::string missing_value_message(std::string_view option) {
  return "Missing value for " + std::string(option);
}

}  // namespace corvale
