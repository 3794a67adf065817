#pragma once
// Starting the programs the front end runs (the engine, the web client): no window, chosen
// standard handles, and nothing else inherited.

#include <windows.h>

#include <optional>
#include <string>

namespace corvale_gui {

// Closes a handle when dropped, unless released.
class HandleGuard {
 public:
  explicit HandleGuard(HANDLE h = nullptr) : handle_(h) {}
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  ~HandleGuard() { reset(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(handle_);
    handle_ = h;
  }

 private:
  HANDLE handle_;
};

// The null device, open for reading and writing and inheritable.
HANDLE open_null_device();

// Starts a program with CREATE_NO_WINDOW and the three standard handles given, which are the
// only handles it inherits, so that a process started meanwhile by another thread cannot hold
// one of our pipes open. application is the program's full path (no search), or null to take
// the program from the command line. On failure error holds the system's code.
std::optional<PROCESS_INFORMATION> start_child_process(const wchar_t* application,
                                                       std::wstring command_line, HANDLE input,
                                                       HANDLE output, HANDLE error_output,
                                                       DWORD& error);

}  // namespace corvale_gui
