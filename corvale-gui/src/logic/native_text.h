#pragma once
// Paths and engine output as UTF-8 text. Paths stay in the system's own form (UTF-16 on
// Windows, bytes elsewhere) and are only converted where they are shown or rebuilt from text.

#include <filesystem>
#include <string>
#include <string_view>

namespace corvale_gui {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view s);

// The system's path text to UTF-8 with U+FFFD where it does not convert, and back.
std::string native_to_text(const std::filesystem::path::string_type& native);
std::filesystem::path::string_type text_to_native(std::string_view text);

}  // namespace corvale_gui
