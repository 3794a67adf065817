#include "logic/version.h"

#include <algorithm>

#include "logic/progress_line.h"
#include "logic/white_space.h"

namespace corvale_gui {

std::optional<std::uint64_t> next_version_component(VersionParts& parts) {
  if (parts.finished) return std::nullopt;
  const std::size_t dot = parts.rest.find('.');
  const std::string_view part = parts.rest.substr(0, dot);
  if (dot == std::string_view::npos) {
    parts.finished = true;
    parts.rest = {};
  } else {
    parts.rest.remove_prefix(dot + 1);
  }
  return parse_unsigned_decimal(part).value_or(0);
}

std::vector<std::uint64_t> parse_version(std::string_view text) {
  VersionParts parts(trim_white_space(text));
  std::vector<std::uint64_t> values;
  while (const std::optional<std::uint64_t> value = next_version_component(parts)) {
    values.push_back(*value);
  }
  return values;
}

bool is_newer_version(const std::vector<std::uint64_t>& remote, const std::vector<std::uint64_t>& local) {
  const std::size_t length = std::max(remote.size(), local.size());
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint64_t r = i < remote.size() ? remote[i] : 0;
    const std::uint64_t l = i < local.size() ? local[i] : 0;
    if (r != l) return r > l;
  }
  return false;
}

}  // namespace corvale_gui
