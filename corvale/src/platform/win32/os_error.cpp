// System error texts in the form users see them: the system's message and its code.

#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace corvale::platform {

std::string system_error_text(int code) {
  wchar_t buffer[2048];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = ::FormatMessageW(flags, nullptr, static_cast<DWORD>(code), 0, buffer,
                             sizeof buffer / sizeof buffer[0], nullptr);
  std::string message;
  if (n == 0) {
    message = "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " +
              std::to_string(::GetLastError()) + ")";
  } else {
    // The system ends its messages with a line break; the sentence and its period stay.
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n')) --n;
    message = to_display_text(std::wstring(buffer, n));
  }
  return message + " (os error " + std::to_string(code) + ")";
}

void throw_last_os_error() {
  const int code = win32::last_error_code();
  throw OsError(code, system_error_text(code));
}

}  // namespace corvale::platform
