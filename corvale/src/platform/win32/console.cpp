// Standard output and standard error as UTF-8. A pipe or a file gets the bytes as they are
// (that is what the front end and scripts read); a console gets the same text through the wide
// console call, which shows it correctly whatever code page the console is set to and leaves
// that setting alone for the programs that share the console.

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace corvale::platform {
namespace {

bool write_console(HANDLE h, std::string_view bytes) {
  if (bytes.empty()) return true;
  const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
  const int wide_size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
  if (wide_size <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, wide.data(), wide_size);
  std::wstring_view rest(wide);
  while (!rest.empty()) {
    // Consoles take large writes badly; never split a surrogate pair between two calls.
    std::size_t chunk = std::min<std::size_t>(rest.size(), 8192);
    if (chunk < rest.size() && rest[chunk - 1] >= 0xD800 && rest[chunk - 1] <= 0xDBFF) --chunk;
    DWORD put = 0;
    if (!::WriteConsoleW(h, rest.data(), static_cast<DWORD>(chunk), &put, nullptr) || put == 0) return false;
    rest.remove_prefix(put);
  }
  return bytes.size() == static_cast<std::size_t>(size) || write_console(h, bytes.substr(size));
}

bool write_std(DWORD which, std::string_view bytes) {
  const HANDLE h = ::GetStdHandle(which);
  // A process started without this stream (a window program's child, for one) has nowhere to
  // write it; that is not a failure of the run.
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return true;
  DWORD mode = 0;
  if (::GetConsoleMode(h, &mode)) return write_console(h, bytes);
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(h, bytes.data(), chunk, &put, nullptr)) return ::GetLastError() == ERROR_INVALID_HANDLE;
    if (put == 0) return false;
    bytes.remove_prefix(put);
  }
  return true;
}

}  // namespace

bool write_stdout(std::string_view bytes) { return write_std(STD_OUTPUT_HANDLE, bytes); }
bool write_stderr(std::string_view bytes) { return write_std(STD_ERROR_HANDLE, bytes); }

}  // namespace corvale::platform
