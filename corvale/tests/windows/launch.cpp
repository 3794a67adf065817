// Starts a program with an exact command line, which no shell would pass through untouched.
//
//   launch [--pid-file FILE] [--plant-dir PATTERN | --plant-file PATTERN] [--stdout none|broken] COMMAND_FILE
//
// COMMAND_FILE is a UTF-8 file: the program's path on its first line, the whole command line on the
// second. The child shares the launcher's standard handles, and the launcher exits with the
// child's exit status (or 200 when it cannot start it). With --plant-*, the child is created
// suspended and, before it runs, a folder or a file holding "stale" is created at PATTERN with
// every "{pid}" replaced by the child's process id. In the command line, "{U+XXXX}" stands for
// that one UTF-16 code unit, so that unpaired surrogates can be passed. --stdout gives the
// child no standard output at all, or a pipe whose reading end is already closed.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/command_line.h"

namespace {

std::wstring widen(const std::string& s) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::wstring unescape(std::wstring s) {
  for (std::size_t at = 0; (at = s.find(L"{U+", at)) != std::wstring::npos;) {
    if (at + 8 > s.size() || s[at + 7] != L'}') {
      ++at;
      continue;
    }
    const wchar_t unit = static_cast<wchar_t>(std::wcstoul(s.substr(at + 3, 4).c_str(), nullptr, 16));
    s.replace(at, 8, 1, unit);
    ++at;
  }
  return s;
}

int fail(const char* what) {
  std::fprintf(stderr, "launch: %s (error %lu)\n", what, ::GetLastError());
  return 200;
}

}  // namespace

int wmain(int, wchar_t**) {
  const std::vector<std::wstring> args = corvale::platform::split_command_line(::GetCommandLineW());
  std::wstring pid_file, plant, command_file, stdout_kind;
  bool plant_dir = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == L"--pid-file" && i + 1 < args.size()) {
      pid_file = args[++i];
    } else if (args[i] == L"--stdout" && i + 1 < args.size()) {
      stdout_kind = args[++i];
    } else if ((args[i] == L"--plant-dir" || args[i] == L"--plant-file") && i + 1 < args.size()) {
      plant_dir = args[i] == L"--plant-dir";
      plant = args[++i];
    } else {
      command_file = args[i];
    }
  }
  std::ifstream in(command_file.c_str(), std::ios::binary);
  if (!in) return fail("cannot read the command file");
  std::string program, line;
  std::getline(in, program);
  std::getline(in, line);
  if (!program.empty() && program.back() == '\r') program.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::wstring wprogram = widen(program);
  std::wstring wline = unescape(widen(line));

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  if (stdout_kind == L"none") {
    si.hStdOutput = nullptr;
  } else if (stdout_kind == L"broken") {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read_end = nullptr;
    if (!::CreatePipe(&read_end, &si.hStdOutput, &sa, 0)) return fail("cannot create a pipe");
    ::CloseHandle(read_end);
  }
  PROCESS_INFORMATION pi{};
  const DWORD flags = plant.empty() ? 0 : CREATE_SUSPENDED;
  if (!::CreateProcessW(wprogram.c_str(), wline.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &si, &pi)) {
    return fail("cannot start the program");
  }
  const std::wstring pid = std::to_wstring(pi.dwProcessId);
  if (!pid_file.empty()) {
    std::ofstream out(pid_file.c_str(), std::ios::binary);
    out << pi.dwProcessId << "\n";
  }
  if (!plant.empty()) {
    for (std::size_t at; (at = plant.find(L"{pid}")) != std::wstring::npos;) plant.replace(at, 5, pid);
    bool planted;
    if (plant_dir) {
      planted = ::CreateDirectoryW(plant.c_str(), nullptr);
    } else {
      const HANDLE h = ::CreateFileW(plant.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      DWORD put = 0;
      planted = h != INVALID_HANDLE_VALUE && ::WriteFile(h, "stale", 5, &put, nullptr);
      if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
    if (!planted) {
      ::TerminateProcess(pi.hProcess, 200);
      return fail("cannot plant at the temporary name");
    }
    ::ResumeThread(pi.hThread);
  }
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 200;
  ::GetExitCodeProcess(pi.hProcess, &status);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return static_cast<int>(status);
}
