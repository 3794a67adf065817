#include "main/engine_runner.h"

#include <atomic>
#include <string>
#include <vector>

#include "logic/engine_args.h"
#include "logic/native_text.h"
#include "logic/progress_line.h"
#include "main/child_process.h"
#include "main/program_path.h"
#include "main/window_text.h"

namespace corvale_gui {
namespace {

constexpr DWORD kReadSize = 8192;

// The pipe for the engine's standard error. Anonymous pipes cannot be read with completion
// routines, so it is a named pipe of our own: one instance, local clients only, our end
// overlapped; the engine's end is an ordinary inheritable handle.
bool create_error_pipe(HandleGuard& read_end, HandleGuard& write_end, DWORD& error) {
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring name = L"\\\\.\\pipe\\corvale-gui-stderr." +
                              std::to_wstring(GetCurrentProcessId()) + L"." +
                              std::to_wstring(serial.fetch_add(1)) + L"." +
                              std::to_wstring(GetTickCount64());
    HANDLE server = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, kReadSize,
        kReadSize, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      // Someone holds the name already: try another; anything else is final.
      if (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY) continue;
      return false;
    }
    read_end.reset(server);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE client = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      read_end.reset();
      return false;
    }
    write_end.reset(client);
    return true;
  }
  return false;
}

struct PendingRead {
  OVERLAPPED overlapped{};
  DWORD error = 0;
  DWORD bytes = 0;
  bool finished = false;
};

void CALLBACK read_finished(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
  auto* read = CONTAINING_RECORD(overlapped, PendingRead, overlapped);
  read->error = error;
  read->bytes = bytes;
  read->finished = true;
}

// One read of the pipe; 0 at its end (a broken pipe is the end) and on a read error.
DWORD read_pipe(HANDLE pipe, char* buffer, DWORD size) {
  PendingRead read;
  if (!ReadFileEx(pipe, buffer, size, &read.overlapped, read_finished)) return 0;
  while (!read.finished) SleepEx(INFINITE, TRUE);
  return read.error == ERROR_SUCCESS ? read.bytes : 0;
}

}  // namespace

std::optional<FileMetadata> read_metadata(const std::filesystem::path& path) {
  // Opening with no access rights follows links and works on folders (backup semantics).
  HandleGuard file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  FileMetadata metadata;
  metadata.is_directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  metadata.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return metadata;
}

std::string system_error_text(DWORD code) {
  wchar_t buffer[2048];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  std::string message;
  if (length == 0) {
    message = "Unknown error " + std::to_string(code);
  } else {
    // The system's texts end in a line break that has no place inside a status line.
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                          buffer[length - 1] == L' ')) {
      --length;
    }
    message = from_wide(std::wstring_view(buffer, length));
  }
  return message + " (os error " + std::to_string(code) + ")";
}

std::filesystem::path engine_program_path() {
  const std::optional<std::filesystem::path> program = own_program_path();
  if (program && program->has_parent_path()) return program->parent_path() / L"corvale.exe";
  return L"corvale.exe";
}

std::optional<StartedEngine> start_engine(const std::filesystem::path& program, JobMode mode,
                                          const std::filesystem::path& input,
                                          const std::filesystem::path& output, std::string& error) {
  auto fail = [&error](DWORD code) {
    error = system_error_text(code);
    return std::nullopt;
  };
  HandleGuard read_end, write_end;
  DWORD code = 0;
  if (!create_error_pipe(read_end, write_end, code)) return fail(code);

  HandleGuard null_device(open_null_device());
  if (!null_device.valid()) return fail(GetLastError());

  const std::optional<PROCESS_INFORMATION> info = start_child_process(
      nullptr,
      build_command_line(program.native(), engine_arguments(mode, input.native(), output.native())),
      null_device.get(), null_device.get(), write_end.get(), code);
  if (!info) return fail(code);
  // Our copy of the write end must go, or the stream would never end.
  write_end.reset();

  StartedEngine engine;
  engine.process = {info->hProcess, info->hThread};
  engine.process_id = GetProcessId(info->hProcess);
  engine.error_stream = read_end.release();
  return engine;
}

void read_error_lines(HANDLE error_stream, const std::function<void(std::string_view)>& on_line) {
  EngineLineSplitter splitter;
  std::vector<std::string> lines;
  std::vector<char> buffer(kReadSize);
  for (;;) {
    const DWORD n = read_pipe(error_stream, buffer.data(), kReadSize);
    if (n == 0) break;
    lines.clear();
    const bool more = splitter.feed(std::string_view(buffer.data(), n), lines);
    for (const std::string& line : lines) on_line(line);
    if (!more) return;
  }
  if (std::optional<std::string> last = splitter.finish()) on_line(*last);
}

std::filesystem::path engine_temporary_path(const std::filesystem::path& output, DWORD process_id) {
  std::string name = ".";
  name += file_name_text(output);
  name += '.';
  name += std::to_string(process_id);
  name += ".tmp";
  return output.parent_path() / text_to_native(name);
}

void terminate_engine(const EngineProcess& process) {
  if (process.process != nullptr) TerminateProcess(process.process, 1);
}

void close_engine_handles(EngineProcess& process) {
  if (process.process != nullptr) CloseHandle(process.process);
  if (process.thread != nullptr) CloseHandle(process.thread);
  process = {};
}

}  // namespace corvale_gui
