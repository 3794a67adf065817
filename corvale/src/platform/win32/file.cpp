// Files as handles, opened so that other programs may read, write, rename and delete them
// while corvale has them open, as they could if corvale were not running.

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace corvale::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE as_handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

File File::open_for_reading(const std::filesystem::path& p) {
  const HANDLE h = ::CreateFileW(win32::api_path(p).c_str(), GENERIC_READ, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw_last_os_error();
  return File(reinterpret_cast<std::intptr_t>(h));
}

File File::create_for_writing(const std::filesystem::path& p) {
  // Anyone who can write to the output's folder could plant a symbolic link, a junction or a
  // second hard link of some other file at the predictable temporary name and have us
  // truncate and overwrite that file. So the name is opened without following a reparse
  // point, what was opened is checked through the same handle, and only then truncated.
  const HANDLE h = ::CreateFileW(win32::api_path(p).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                 kShareAll, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw_last_os_error();
  File file(reinterpret_cast<std::intptr_t>(h));
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) throw_last_os_error();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1) {
      // The same refusal the system gives a name it will not resolve.
      constexpr int kRefused = ERROR_CANT_RESOLVE_FILENAME;
      throw OsError(kRefused, system_error_text(kRefused));
    }
    if (!::SetEndOfFile(h)) throw_last_os_error();
  }
  return file;
}

std::size_t File::read(void* dest, std::size_t n) {
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  DWORD got = 0;
  if (!::ReadFile(as_handle(handle_), dest, want, &got, nullptr)) {
    // The writing end of a pipe was closed: that is its end of input.
    if (::GetLastError() == ERROR_BROKEN_PIPE) return 0;
    throw_last_os_error();
  }
  return got;
}

void File::write_all(const void* src, std::size_t n) {
  const char* p = static_cast<const char*>(src);
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(as_handle(handle_), p, chunk, &put, nullptr)) throw_last_os_error();
    if (put == 0) throw OsError(ERROR_WRITE_FAULT, system_error_text(ERROR_WRITE_FAULT));
    p += put;
    n -= put;
  }
}

void File::close() {
  if (handle_ == kInvalid) return;
  const HANDLE h = as_handle(handle_);
  handle_ = kInvalid;
  if (!::CloseHandle(h)) throw_last_os_error();
}

void File::close_quietly() noexcept {
  if (handle_ == kInvalid) return;
  (void)::CloseHandle(as_handle(handle_));
  handle_ = kInvalid;
}

}  // namespace corvale::platform
