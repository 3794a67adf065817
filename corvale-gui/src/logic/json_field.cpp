#include "logic/json_field.h"

#include "logic/white_space.h"

namespace corvale_gui {

std::optional<std::string> json_string_field(std::string_view text, std::string_view key) {
  std::string needle;
  needle.reserve(key.size() + 2);
  needle += '"';
  needle += key;
  needle += '"';
  std::size_t pos = text.find(needle);
  if (pos == std::string_view::npos) return std::nullopt;
  pos = skip_white_space(text, pos + needle.size());
  if (pos >= text.size() || text[pos] != ':') return std::nullopt;
  pos = skip_white_space(text, pos + 1);
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  const std::size_t end = text.find('"', pos + 1);
  if (end == std::string_view::npos) return std::nullopt;
  return std::string(text.substr(pos + 1, end - pos - 1));
}

}  // namespace corvale_gui
