#include "main/child_process.h"

#include <algorithm>
#include <vector>

namespace corvale_gui {

HANDLE open_null_device() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, OPEN_EXISTING, 0, nullptr);
}

std::optional<PROCESS_INFORMATION> start_child_process(const wchar_t* application,
                                                       std::wstring command_line, HANDLE input,
                                                       HANDLE output, HANDLE error_output,
                                                       DWORD& error) {
  // The list may name each handle once only.
  std::vector<HANDLE> inherited;
  for (HANDLE h : {input, output, error_output}) {
    if (std::find(inherited.begin(), inherited.end(), h) == inherited.end()) inherited.push_back(h);
  }
  SIZE_T list_size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
  std::vector<unsigned char> list_storage(list_size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_storage.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &list_size)) {
    error = GetLastError();
    return std::nullopt;
  }
  struct ListCleanup {
    LPPROC_THREAD_ATTRIBUTE_LIST list;
    ~ListCleanup() { DeleteProcThreadAttributeList(list); }
  } cleanup{attributes};
  if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                 inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
    error = GetLastError();
    return std::nullopt;
  }

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = error_output;
  startup.lpAttributeList = attributes;

  PROCESS_INFORMATION info{};
  if (!CreateProcessW(application, command_line.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                      &startup.StartupInfo, &info)) {
    error = GetLastError();
    return std::nullopt;
  }
  return info;
}

}  // namespace corvale_gui
