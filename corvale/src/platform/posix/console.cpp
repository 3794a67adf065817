// Standard output and standard error without stdio buffering, so that each message or
// progress line leaves in one piece and a failure to write is seen at once.

#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace corvale::platform {
namespace {

bool write_fully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

bool write_stdout(std::string_view bytes) { return write_fully(STDOUT_FILENO, bytes); }
bool write_stderr(std::string_view bytes) { return write_fully(STDERR_FILENO, bytes); }

}  // namespace corvale::platform
