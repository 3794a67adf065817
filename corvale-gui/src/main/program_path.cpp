#include "main/program_path.h"

#include <windows.h>

#include <string>

namespace corvale_gui {

std::optional<std::filesystem::path> own_program_path() {
  // Long paths can exceed MAX_PATH: grow until the name fits.
  std::wstring buffer(MAX_PATH, L'\0');
  while (buffer.size() <= 32768 * 2) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::nullopt;
}

}  // namespace corvale_gui
