#include "main/window_text.h"

#include "logic/texts.h"
#include "logic/utf16.h"

namespace corvale_gui {

std::wstring to_wide(std::string_view utf8) {
  std::u16string units = utf16_from_utf8(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string from_wide(std::wstring_view utf16) {
  std::u16string units(utf16.begin(), utf16.end());
  return utf8_from_utf16(units);
}

int show_message_box(HWND owner, std::string_view text, UINT flags) {
  std::wstring wide_text = to_wide(text);
  std::wstring caption = to_wide(texts(true).window_title);
  return MessageBoxW(owner, wide_text.c_str(), caption.c_str(), flags);
}

void set_text_if_changed(HWND control, std::string_view text) {
  constexpr int kBufferUnits = 2048;
  wchar_t buffer[kBufferUnits];
  int length = GetWindowTextW(control, buffer, kBufferUnits);
  if (length < 0) length = 0;
  // A text longer than the buffer never compares equal and is simply set again.
  if (from_wide(std::wstring_view(buffer, static_cast<std::size_t>(length))) == text) return;
  SetWindowTextW(control, to_wide(text).c_str());
}

}  // namespace corvale_gui
