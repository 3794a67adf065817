// The ownership half of File, the same on every system; opening, reading, writing and closing
// live with each system's implementation.

#include "platform/platform.h"

namespace corvale::platform {

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close_quietly();
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

File::~File() { close_quietly(); }

}  // namespace corvale::platform
