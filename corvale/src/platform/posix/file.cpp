// Files as plain descriptors.

#include <fcntl.h>
#include <sys/stat.h>
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
  // Anyone who can write to the output's folder can plant something at the predictable
  // temporary name. O_NOFOLLOW refuses a symbolic link; the checks below refuse a hard link to
  // another file and a FIFO or device (O_NONBLOCK keeps a FIFO from stalling the open). Only a
  // plain file of our own is truncated.
  int fd;
  do {
    fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw_last_os_error();
  File file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw_last_os_error();
  if (!S_ISREG(st.st_mode)) throw OsError(ENXIO, system_error_text(ENXIO));
  if (st.st_nlink > 1) throw OsError(EMLINK, system_error_text(EMLINK));
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) throw_last_os_error();
  int rc;
  do {
    rc = ::ftruncate(fd, 0);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) throw_last_os_error();
  return file;
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
