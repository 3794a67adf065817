// System error texts in the form users see them: the system's message and its code.

#include <cerrno>
#include <system_error>

#include "platform/platform.h"

namespace corvale::platform {

std::string system_error_text(int code) {
  return std::system_category().message(code) + " (os error " + std::to_string(code) + ")";
}

void throw_last_os_error() {
  const int code = errno;
  throw OsError(code, system_error_text(code));
}

}  // namespace corvale::platform
