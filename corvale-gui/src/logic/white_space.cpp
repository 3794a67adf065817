#include "logic/white_space.h"

namespace corvale_gui {
namespace {

// The White_Space characters beyond ASCII, in UTF-8. In valid UTF-8 a match at either end of a
// range is a whole character, since no lead byte can be mistaken for a continuation byte.
constexpr std::string_view kOtherSpaces[] = {
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004",
    "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A", "\u2028", "\u2029",
    "\u202F", "\u205F", "\u3000",
};

bool is_ascii_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The byte length of the white-space character that text starts with, 0 when none.
std::size_t leading_space(std::string_view text) {
  if (text.empty()) return 0;
  if (is_ascii_space(text.front())) return 1;
  for (std::string_view space : kOtherSpaces) {
    if (text.starts_with(space)) return space.size();
  }
  return 0;
}

std::size_t trailing_space(std::string_view text) {
  if (text.empty()) return 0;
  if (is_ascii_space(text.back())) return 1;
  for (std::string_view space : kOtherSpaces) {
    if (text.ends_with(space)) return space.size();
  }
  return 0;
}

}  // namespace

std::size_t skip_white_space(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const std::size_t length = leading_space(text.substr(pos));
    if (length == 0) break;
    pos += length;
  }
  return pos;
}

std::string_view trim_white_space(std::string_view text) {
  text.remove_prefix(skip_white_space(text, 0));
  while (const std::size_t length = trailing_space(text)) text.remove_suffix(length);
  return text;
}

}  // namespace corvale_gui
