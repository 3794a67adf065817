// Path comparison, canonical paths and the file operations the program needs on POSIX.

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/platform.h"

namespace corvale::platform {
namespace {

// The components of a path as typed: a leading "/" is the root, repeated separators and "."
// after the first component are dropped, and a leading "." stays (so "./a" and "a" differ
// as typed; the canonical comparison still finds them equal when the file exists).
std::vector<std::string_view> typed_components(const NativeString& s) {
  std::vector<std::string_view> parts;
  std::string_view rest(s);
  if (!rest.empty() && rest.front() == '/') parts.emplace_back("/");
  bool first = parts.empty();
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty()) continue;
    if (part == "." && !first) continue;
    parts.push_back(part);
    first = false;
  }
  return parts;
}

}  // namespace

bool same_path_as_typed(const NativeString& a, const NativeString& b) {
  return typed_components(a) == typed_components(b);
}

std::optional<NativeString> canonical_path(const std::filesystem::path& p) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(p.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return NativeString(resolved.get());
}

std::uint64_t file_size(const std::filesystem::path& p) {
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) throw_last_os_error();
  return static_cast<std::uint64_t>(st.st_size);
}

void rename_replacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) throw_last_os_error();
}

void remove_file_quietly(const std::filesystem::path& p) noexcept { (void)::unlink(p.c_str()); }

}  // namespace corvale::platform
