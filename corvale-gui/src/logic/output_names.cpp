#include "logic/output_names.h"

#include "logic/native_text.h"

namespace corvale_gui {
namespace {

using Char = NativeString::value_type;

constexpr bool kBackslashSeparates = std::filesystem::path::preferred_separator == Char('\\');

bool is_separator(Char c) { return c == Char('/') || (kBackslashSeparates && c == Char('\\')); }

NativeString widen(std::string_view ascii) { return NativeString(ascii.begin(), ascii.end()); }

// Where the file name sits in the native text, so that it can be replaced without touching
// the rest of the path as the user gave it.
struct NameSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool found = false;
};

NameSpan locate_file_name(const NativeString& s, std::size_t root_end) {
  std::size_t end = s.size();
  for (;;) {
    while (end > root_end && is_separator(s[end - 1])) --end;
    std::size_t begin = end;
    while (begin > root_end && !is_separator(s[begin - 1])) --begin;
    const std::size_t length = end - begin;
    if (length == 0) return {};
    if (length == 1 && s[begin] == Char('.')) {
      if (begin == root_end) return {};  // "." alone names the current folder, not a file
      end = begin;
      continue;
    }
    if (length == 2 && s[begin] == Char('.') && s[begin + 1] == Char('.')) return {};
    return {begin, end, true};
  }
}

NameSpan locate_file_name(const std::filesystem::path& path) {
  return locate_file_name(path.native(), path.root_path().native().size());
}

bool equals_ascii_ignoring_case(const NativeString& s, std::string_view ascii) {
  if (s.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    Char c = s[i];
    if (c >= Char('A') && c <= Char('Z')) c = static_cast<Char>(c - Char('A') + Char('a'));
    if (c != static_cast<Char>(ascii[i])) return false;
  }
  return true;
}

std::filesystem::path with_file_name(const std::filesystem::path& path, const NativeString& name) {
  const NameSpan span = locate_file_name(path);
  if (!span.found) return path / name;
  return std::filesystem::path(path.native().substr(0, span.begin) + name);
}

}  // namespace

std::string_view mode_word(JobMode mode) {
  return mode == JobMode::compress ? "compress" : "decompress";
}

std::optional<NativeString> path_file_name(const std::filesystem::path& path) {
  const NameSpan span = locate_file_name(path);
  if (!span.found) return std::nullopt;
  return path.native().substr(span.begin, span.end - span.begin);
}

NameParts split_file_name(const NativeString& name) {
  const std::size_t dot = name.rfind(Char('.'));
  if (dot == NativeString::npos || dot == 0 || name == widen("..")) return {name, std::nullopt};
  return {name.substr(0, dot), name.substr(dot + 1)};
}

JobPlan plan_job(const std::filesystem::path& input) {
  if (const auto name = path_file_name(input)) {
    NameParts parts = split_file_name(*name);
    if (parts.extension && equals_ascii_ignoring_case(*parts.extension, "corvale")) {
      return {JobMode::decompress, with_file_name(input, parts.stem)};
    }
  }
  return {JobMode::compress, std::filesystem::path(input.native() + widen(".corvale"))};
}

std::filesystem::path unique_output_path(const std::filesystem::path& path,
                                         const MetadataReadable& metadata_readable) {
  if (!metadata_readable(path)) return path;
  std::string stem;
  std::optional<std::string> extension;
  if (const auto name = path_file_name(path)) {
    NameParts parts = split_file_name(*name);
    stem = native_to_text(parts.stem);
    if (parts.extension) extension = native_to_text(*parts.extension);
  }
  for (std::uint64_t n = 2;; ++n) {
    std::string candidate = stem + " " + std::to_string(n);
    if (extension) candidate += "." + *extension;
    std::filesystem::path next = with_file_name(path, text_to_native(candidate));
    if (!metadata_readable(next)) return next;
  }
}

std::string file_name_text(const std::filesystem::path& path) {
  const auto name = path_file_name(path);
  return name ? native_to_text(*name) : std::string();
}

}  // namespace corvale_gui
