#pragma once
// UTF-8 text in and out of Win32 controls and message boxes.

#include <windows.h>

#include <string>
#include <string_view>

namespace corvale_gui {

std::wstring to_wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string from_wide(std::wstring_view utf16);

// Caption "Corvale"; returns the id of the button pressed.
int show_message_box(HWND owner, std::string_view text, UINT flags);

// Sets the control's text only when it differs, so unchanged controls are not redrawn.
void set_text_if_changed(HWND control, std::string_view text);

}  // namespace corvale_gui
