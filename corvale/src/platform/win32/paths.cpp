// Path comparison, canonical paths and the file operations the program needs on Windows.

#include <optional>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace corvale::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool starts_with(std::wstring_view s, std::wstring_view head) { return s.substr(0, head.size()) == head; }

// A path as typed, taken apart the way the system reads it: the prefix (a drive "C:", a share
// "\\server\share", a device "\\.\name" or a verbatim "\\?\..." form), whether a root
// separator follows, and the components. Separators are normalised in the prefix, empty
// components and "." after the first are dropped. Verbatim paths reach the file system
// unparsed, so there only '\' separates and "." stays.
struct TypedPath {
  std::wstring prefix;
  bool root = false;
  std::vector<std::wstring_view> components;

  bool operator==(const TypedPath&) const = default;
};

TypedPath take_apart(std::wstring_view s) {
  TypedPath t;
  const bool verbatim = starts_with(s, LR"(\\?\)");
  const auto is_sep = [verbatim](wchar_t c) { return c == L'\\' || (!verbatim && c == L'/'); };
  // Takes the text up to the next separator (or the end) off the front of s.
  const auto take_name = [&](std::wstring_view& rest) {
    std::size_t k = 0;
    while (k < rest.size() && !is_sep(rest[k])) ++k;
    const std::wstring_view name = rest.substr(0, k);
    rest.remove_prefix(k);
    return name;
  };
  const auto skip_sep = [&](std::wstring_view& rest) {
    if (!rest.empty() && is_sep(rest[0])) rest.remove_prefix(1);
  };

  std::wstring_view rest = s;
  bool implicit_root = false;
  if (verbatim) {
    rest.remove_prefix(4);
    t.prefix = LR"(\\?\)";
    if (starts_with(rest, LR"(UNC\)")) {
      rest.remove_prefix(4);
      t.prefix += LR"(UNC\)";
      t.prefix += take_name(rest);
      skip_sep(rest);
      t.prefix += L'\\';
      t.prefix += take_name(rest);
    } else {
      t.prefix += take_name(rest);
    }
    implicit_root = true;  // only a plain drive prefix can stand without a root
  } else if (s.size() >= 2 && is_sep(s[0]) && is_sep(s[1])) {
    rest.remove_prefix(2);
    t.prefix = LR"(\\)";
    if (rest.size() >= 2 && (rest[0] == L'.' || rest[0] == L'?') && is_sep(rest[1])) {
      t.prefix += rest[0];
      t.prefix += L'\\';
      rest.remove_prefix(2);
      t.prefix += take_name(rest);
    } else {
      t.prefix += take_name(rest);
      skip_sep(rest);
      t.prefix += L'\\';
      t.prefix += take_name(rest);
    }
    implicit_root = true;
  } else if (s.size() >= 2 && s[1] == L':' && ((s[0] >= L'A' && s[0] <= L'Z') || (s[0] >= L'a' && s[0] <= L'z'))) {
    t.prefix = s.substr(0, 2);
    rest.remove_prefix(2);
  }

  t.root = implicit_root || (!rest.empty() && is_sep(rest[0]));
  bool first = true;
  while (!rest.empty()) {
    skip_sep(rest);
    const std::wstring_view part = take_name(rest);
    if (part.empty()) continue;
    // A leading "." of a relative path is kept: ".\a" and "a" are not the same as typed.
    const bool keep_dot = verbatim || (first && !t.root);
    first = false;
    if (part == L"." && !keep_dot) continue;
    t.components.push_back(part);
  }
  return t;
}

// Opens an existing file or folder for its metadata only, following links.
HANDLE open_for_metadata(const std::filesystem::path& p) {
  return ::CreateFileW(win32::api_path(p).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

namespace win32 {

std::wstring api_path(const std::filesystem::path& p) {
  const std::wstring& s = p.native();
  // Below this length every form of a path, a folder with an 8.3 child name included, fits.
  constexpr std::size_t kShortEnough = 248;
  if (s.size() < kShortEnough || starts_with(s, LR"(\\?\)") || starts_with(s, LR"(\\.\)")) return s;
  const DWORD need = ::GetFullPathNameW(s.c_str(), 0, nullptr, nullptr);
  if (need == 0) return s;
  std::wstring full(need, L'\0');
  const DWORD got = ::GetFullPathNameW(s.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return s;
  full.resize(got);
  if (starts_with(full, LR"(\\?\)") || starts_with(full, LR"(\\.\)")) return full;
  if (starts_with(full, LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

}  // namespace win32

bool same_path_as_typed(const NativeString& a, const NativeString& b) { return take_apart(a) == take_apart(b); }

std::optional<NativeString> canonical_path(const std::filesystem::path& p) {
  const HANDLE h = open_for_metadata(p);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring buffer(MAX_PATH, L'\0');
  std::optional<NativeString> result;
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) break;
    if (n < buffer.size()) {
      buffer.resize(n);
      result = std::move(buffer);
      break;
    }
    buffer.resize(n);  // n counts the terminating null here
  }
  ::CloseHandle(h);
  return result;
}

std::uint64_t file_size(const std::filesystem::path& p) {
  const HANDLE h = open_for_metadata(p);
  if (h == INVALID_HANDLE_VALUE) throw_last_os_error();
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(h, &info);
  const int code = win32::last_error_code();
  ::CloseHandle(h);
  if (!ok) throw OsError(code, system_error_text(code));
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

void rename_replacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!::MoveFileExW(win32::api_path(from).c_str(), win32::api_path(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw_last_os_error();
  }
}

void remove_file_quietly(const std::filesystem::path& p) noexcept {
  (void)::DeleteFileW(win32::api_path(p).c_str());
}

}  // namespace corvale::platform
