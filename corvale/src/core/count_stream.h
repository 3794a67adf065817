#pragma once
// A list of counts (leading zeros a value) left in the body it was read from and read again in
// order, for a decoder that passes its values more than once: it costs no memory a count.

#include <cstdint>

#include "core/varint.h"

namespace corvale {

class CountStream {
 public:
  // No list: every count is 0.
  CountStream() = default;
  // The count varints at cursor, checked as read_count_list checks them; leaves the cursor past
  // them.
  CountStream(ByteCursor& cursor, std::uint64_t count) : present_(true), start_(cursor), at_(cursor) {
    for (std::uint64_t i = 0; i < count; ++i) cursor_read_short_varint_u64(cursor);
  }

  // The next count; at most as many calls as counts since the last rewind.
  std::uint64_t next() { return present_ ? cursor_read_short_varint_u64(at_) : 0; }
  void rewind() { at_ = start_; }

 private:
  bool present_ = false;
  ByteCursor start_;
  ByteCursor at_;
};

}  // namespace corvale
