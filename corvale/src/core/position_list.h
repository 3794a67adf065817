#pragma once
// A sorted set of distinct positions below a bound: a table column's empty cells, "-0" values
// and quoted rows, a number text's "-0" numbers. Written as a count, the first position, then
// the gap from each position to the next; each reader words its own faults.

#include <cstdint>
#include <string>
#include <vector>

#include "core/varint.h"

namespace corvale {

using PositionList = std::vector<std::uint64_t>;

// What a reader says of a gap of 0, and of a position at or past its bound.
struct PositionListMessages {
  const char* repeated;
  const char* invalid;
};

void write_position_list(const PositionList& positions, std::string& out);

// A position list left in the body it lies in and walked again in order: a reader that passes
// its rows more than once keeps no word a position.
class PositionStream {
 public:
  // What next() gives once every position has been passed: no row reaches it.
  static constexpr std::uint64_t kEnd = ~std::uint64_t{0};

  // No list.
  PositionStream() = default;
  // Checks the list at cursor, every position below limit, and leaves the cursor past it.
  PositionStream(ByteCursor& cursor, std::uint64_t limit, const PositionListMessages& messages);

  std::uint64_t size() const { return count_; }
  // The next position, or kEnd.
  std::uint64_t next() const { return next_; }
  void advance() {
    if (taken_ == count_) {
      next_ = kEnd;
      return;
    }
    next_ = (taken_ == 0 ? 0 : next_) + cursor_read_short_varint_u64(at_);
    ++taken_;
  }
  void rewind() {
    at_ = start_;
    taken_ = 0;
    advance();
  }

 private:
  ByteCursor start_;  // at the first position
  ByteCursor at_;
  std::uint64_t count_ = 0;
  std::uint64_t taken_ = 0;
  std::uint64_t next_ = kEnd;
};
// Every position must stay below limit. Grows as positions arrive: the count is never trusted.
PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit, const PositionListMessages& messages);

}  // namespace corvale
