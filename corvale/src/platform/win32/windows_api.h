#pragma once
// What the Windows side of the platform layer shares between its files.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <string>

namespace corvale::platform::win32 {

// The path to hand to the file API. Long paths go in their verbatim, absolute form, because the
// ordinary form stops at MAX_PATH characters on systems that are not set up for longer ones.
std::wstring api_path(const std::filesystem::path& p);

// An error code of the system as the int that OsError carries.
inline int last_error_code() { return static_cast<int>(::GetLastError()); }

}  // namespace corvale::platform::win32
