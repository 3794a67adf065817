#include "core/limited_append.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "core/error.h"
#include "core/output_budget.h"

namespace corvale {

void append_repeated_limited(std::string& out, std::string_view piece, std::uint64_t count, std::uint64_t limit) {
  const std::uint64_t piece_len = piece.size();
  if (piece_len != 0 && count > std::numeric_limits<std::uint64_t>::max() / piece_len) throw output_limit_error();
  const std::uint64_t total = piece_len * count;
  const std::uint64_t size = out.size();
  check_output_room(size, total, limit);
  if (total == 0) return;

  if (out.capacity() - size < total) {
    const std::uint64_t needed = size + total;
    if (needed > out.max_size()) throw Error(kCapacityOverflowMessage);
    const std::uint64_t doubled = std::min<std::uint64_t>(2 * static_cast<std::uint64_t>(out.capacity()), out.max_size());
    const std::uint64_t new_capacity = std::max<std::uint64_t>({needed, doubled, 8});
    try {
      out.reserve(static_cast<std::size_t>(new_capacity));
    } catch (const std::bad_alloc&) {
      throw Error(kAllocatorFailedMessage);
    } catch (const std::length_error&) {
      throw Error(kCapacityOverflowMessage);
    }
  }

  if (piece_len == 1) {
    out.append(static_cast<std::size_t>(count), piece[0]);
    return;
  }
  // Copy the piece once, then double the copied run from the output itself: log(count) copies.
  const std::size_t start = out.size();
  out.append(piece);
  const std::size_t end = static_cast<std::size_t>(size + total);
  while (out.size() < end) {
    const std::size_t run = std::min(out.size() - start, end - out.size());
    out.append(out.data() + start, run);  // capacity is reserved, so the source stays put
  }
}

}  // namespace corvale
