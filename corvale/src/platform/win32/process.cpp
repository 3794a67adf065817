// What the program asks about its own process and machine.

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace corvale::platform {

unsigned processor_count() {
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  return static_cast<unsigned>(info.dwNumberOfProcessors);
}

std::uint64_t process_id() { return ::GetCurrentProcessId(); }

}  // namespace corvale::platform
