#include "main/update_check.h"

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "logic/engine_args.h"
#include "logic/update_rules.h"
#include "main/child_process.h"
#include "main/detached_thread.h"
#include "main/engine_runner.h"
#include "main/gui_state.h"
#include "main/gui_window.h"
#include "main/window_text.h"

namespace corvale_gui {
namespace {

std::uint64_t file_time_value(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<std::filesystem::path> app_data_folder() {
  const DWORD size = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"APPDATA", value.data(), size);
  if (length >= size) return std::nullopt;
  value.resize(length);
  return std::filesystem::path(value);
}

// Creates the file empty, or empties it; the handle is invalid when that fails.
HandleGuard create_empty_file(const std::filesystem::path& path) {
  return HandleGuard(CreateFileW(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void write_stamp(const std::filesystem::path& stamp) {
  HandleGuard file = create_empty_file(stamp);
  if (!file.valid()) return;
  // Emptying a file that is empty already need not touch its time, which is the whole point
  // of the stamp.
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  SetFileTime(file.get(), nullptr, nullptr, &now);
}

// The web client of the system folder, by its full path: a curl.exe that someone put in the
// program's folder, the current folder or the search path is never run.
std::optional<std::filesystem::path> web_client_path() {
  const UINT size = GetSystemDirectoryW(nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring folder(size, L'\0');
  const UINT length = GetSystemDirectoryW(folder.data(), size);
  if (length == 0 || length >= size) return std::nullopt;
  folder.resize(length);
  return std::filesystem::path(folder) / L"curl.exe";
}

// The web client's standard output, when it started, wrote at most the update document's
// limit and ended with exit code 0. Its standard error goes to the null device, unread, so
// that nothing it writes there can block it.
std::optional<std::string> run_update_client() {
  const std::optional<std::filesystem::path> program = web_client_path();
  if (!program) return std::nullopt;

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_handle = nullptr, write_handle = nullptr;
  if (!CreatePipe(&read_handle, &write_handle, &inherit, 0)) return std::nullopt;
  HandleGuard read_end(read_handle), write_end(write_handle);
  SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
  HandleGuard null_device(open_null_device());
  if (!null_device.valid()) return std::nullopt;

  std::vector<std::wstring> arguments;
  for (const std::string& argument : update_client_arguments()) arguments.push_back(to_wide(argument));
  DWORD error = 0;
  const std::optional<PROCESS_INFORMATION> info =
      start_child_process(program->c_str(), build_command_line(program->native(), arguments),
                          null_device.get(), write_end.get(), null_device.get(), error);
  if (!info) return std::nullopt;
  HandleGuard process(info->hProcess), thread(info->hThread);
  // Our copy of the write end must go, or the output would never end.
  write_end.reset();

  std::string output;
  bool too_long = false;
  std::vector<char> buffer(8192);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(read_end.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) break;
    if (got > kMaxUpdateDocumentBytes - output.size()) {
      too_long = true;
      break;
    }
    output.append(buffer.data(), got);
  }
  read_end.reset();
  // A client that would go on writing is ended rather than waited for.
  if (too_long) TerminateProcess(process.get(), 1);

  DWORD exit_code = 1;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &exit_code) || exit_code != 0 || too_long) {
    return std::nullopt;
  }
  return output;
}

}  // namespace

std::filesystem::path settings_dir() { return settings_folder(app_data_folder()); }

bool auto_update_enabled() {
  return !read_metadata(settings_dir() / kNoAutoUpdateMarker).has_value();
}

bool automatic_check_due_now() {
  const std::filesystem::path stamp = settings_dir() / kUpdateCheckStamp;
  std::optional<std::uint64_t> stamp_time;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(stamp.c_str(), GetFileExInfoStandard, &data)) {
    stamp_time = file_time_value(data.ftLastWriteTime);
  }
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return automatic_check_due(stamp_time, file_time_value(now));
}

void check_for_updates(HWND window, bool manual) {
  const std::filesystem::path folder = settings_dir();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  // Before the client runs, so that a failed check also waits a day for the next automatic one.
  write_stamp(folder / kUpdateCheckStamp);

  const UpdateOutcome outcome = read_update_document(run_update_client());
  bool english;
  {
    LockedState state = lock_state();
    english = state->english;
  }
  {
    LockedState state = lock_state();
    store_update_outcome(outcome, english,
                         {state->update_version, state->update_download, state->update_error,
                          state->keep_open});
  }
  PostMessageW(window, kUpdateCheckDone, manual ? 1 : 0, 0);
}

void start_update_check(HWND window, bool manual) {
  start_detached_thread([window, manual] { check_for_updates(window, manual); });
}

void toggle_automatic_checks(HWND window) {
  const std::filesystem::path folder = settings_dir();
  const std::filesystem::path marker = folder / kNoAutoUpdateMarker;
  HMENU menu = GetSystemMenu(window, FALSE);
  if (auto_update_enabled()) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    create_empty_file(marker);
    CheckMenuItem(menu, kMenuCheckAutomatically, MF_BYCOMMAND | MF_UNCHECKED);
  } else {
    DeleteFileW(marker.c_str());
    CheckMenuItem(menu, kMenuCheckAutomatically, MF_BYCOMMAND | MF_CHECKED);
  }
}

}  // namespace corvale_gui
