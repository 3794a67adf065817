#pragma once
// UTF-8 <-> UTF-16 for the window side, which speaks UTF-16 to the system.

#include <string>
#include <string_view>

namespace corvale_gui {

// Unpaired surrogates become U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);

// Invalid UTF-8 sequences become U+FFFD (one per maximal bad subpart).
std::u16string utf16_from_utf8(std::string_view text);

}  // namespace corvale_gui
