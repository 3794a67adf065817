#include "core/position_list.h"

#include <limits>

#include "core/error.h"

namespace corvale {

void write_position_list(const PositionList& positions, std::string& out) {
  write_varint_u64(positions.size(), out);
  std::uint64_t previous = 0;
  for (const std::uint64_t position : positions) {
    write_varint_u64(position - previous, out);
    previous = position;
  }
}

PositionStream::PositionStream(ByteCursor& cursor, std::uint64_t limit, const PositionListMessages& messages) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  count_ = cursor_read_varint_u64(cursor);
  start_ = cursor;
  if (count_ == 0) return;
  std::uint64_t position = cursor_read_varint_u64(cursor);
  if (position >= limit) throw Error(messages.invalid);
  for (std::uint64_t i = 1; i < count_; ++i) {
    const std::uint64_t gap = cursor_read_short_varint_u64(cursor);
    if (gap == 0) throw Error(messages.repeated);
    position = gap > kMax - position ? kMax : position + gap;
    if (position >= limit) throw Error(messages.invalid);
  }
  rewind();
}

PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit, const PositionListMessages& messages) {
  // Checked whole first: every position took a byte of the body, so the count is one to hold.
  PositionStream stream(cursor, limit, messages);
  PositionList positions;
  positions.reserve(stream.size());
  for (; stream.next() != PositionStream::kEnd; stream.advance()) positions.push_back(stream.next());
  return positions;
}

}  // namespace corvale
