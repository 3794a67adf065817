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
// Every position must stay below limit. Grows as positions arrive: the count is never trusted.
PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit, const PositionListMessages& messages);

}  // namespace corvale
