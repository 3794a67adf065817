// Files as plain descriptors.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace corvale::platform {

File File::open_for_reading(const std::filesystem::path& p) {
  int fd;
  do {
    fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw_last_os_error();
  return File(fd);
}

File File::create_for_writing(const std::filesystem::path& p) {
  // O_NOFOLLOW: anyone who can write to the output's folder could otherwise plant a link at
  // the predictable temporary name and have us truncate and overwrite a file of their choice.
  int fd;
  do {
    fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw_last_os_error();
  return File(fd);
}

std::size_t File::read(void* dest, std::size_t n) {
  ssize_t got;
  do {
    got = ::read(static_cast<int>(handle_), dest, n);
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw_last_os_error();
  return static_cast<std::size_t>(got);
}

void File::write_all(const void* src, std::size_t n) {
  const char* p = static_cast<const char*>(src);
  while (n > 0) {
    const ssize_t put = ::write(static_cast<int>(handle_), p, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      throw_last_os_error();
    }
    p += put;
    n -= static_cast<std::size_t>(put);
  }
}

void File::close() {
  if (handle_ == kInvalid) return;
  const int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  // No retry on EINTR: on Linux the descriptor is gone either way.
  if (::close(fd) != 0 && errno != EINTR) throw_last_os_error();
}

void File::close_quietly() noexcept {
  if (handle_ == kInvalid) return;
  (void)::close(static_cast<int>(handle_));
  handle_ = kInvalid;
}

}  // namespace corvale::platform
