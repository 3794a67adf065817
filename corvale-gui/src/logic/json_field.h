#pragma once
// The one lookup the update check makes in its JSON document: the value of a string member.

#include <optional>
#include <string>
#include <string_view>

namespace corvale_gui {

// The value of the first string member named key: the first "key" anywhere in text (inside
// other strings too) must be followed, white space aside, by a colon and a double quote; the
// value runs to the next double quote. Escapes are not interpreted, so an escaped quote ends
// the value. Later occurrences of "key" are not tried when the first one does not fit.
std::optional<std::string> json_string_field(std::string_view text, std::string_view key);

}  // namespace corvale_gui
