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

PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit, const PositionListMessages& messages) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t count = cursor_read_varint_u64(cursor);
  PositionList positions;
  if (count == 0) return positions;
  std::uint64_t position = cursor_read_varint_u64(cursor);
  if (position >= limit) throw Error(messages.invalid);
  positions.push_back(position);
  for (std::uint64_t i = 1; i < count; ++i) {
    const std::uint64_t gap = cursor_read_short_varint_u64(cursor);
    if (gap == 0) throw Error(messages.repeated);
    position = gap > kMax - position ? kMax : position + gap;
    if (position >= limit) throw Error(messages.invalid);
    positions.push_back(position);
  }
  return positions;
}

}  // namespace corvale
