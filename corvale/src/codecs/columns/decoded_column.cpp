#include "codecs/columns/decoded_column.h"

#include <algorithm>

#include "codecs/columns/column_bytes.h"

namespace corvale {

void DecodedColumn::make_room(std::size_t n) {
  // Doubles, so that a column written a cell at a time moves its bytes a bounded number of times.
  const std::size_t room = std::max({used_ + n, 2 * bytes_.size(), std::size_t{64}});
  bytes_.resize(room);
}

void DecodedColumn::append_written_cells(ByteCursor& cursor, std::uint64_t count) {
  // Held in locals: the bytes written could otherwise be the cursor or this column's counts, as
  // far as the compiler knows, which would then be read again and stored after every cell.
  ByteCursor at = cursor;
  std::size_t used = used_;
  std::uint64_t total = 0;
  // A length byte a cell, written in place while the cells are shorter than 128 bytes.
  const std::size_t first_length = stream_.size();
  stream_.resize(first_length + count);
  char* const lengths = stream_.data() + first_length;
  std::uint64_t r = 0;
  for (; r < count; ++r) {
    const std::string_view cell = take_cell_bytes(at, cursor_read_short_varint_u64(at));
    if (cell.size() > bytes_.size() - used) {
      used_ = used;
      make_room(cell.size());
    }
    copy_cell(bytes_.data() + used, cell);
    used += cell.size();
    total += cell.size();
    if (cell.size() >= 0x80) {
      // From a long cell on, the lengths are varints of any size.
      stream_.resize(first_length + r);
      write_varint_u64(cell.size(), stream_);
      ++r;
      break;
    }
    lengths[r] = static_cast<char>(cell.size());
  }
  for (; r < count; ++r) {
    const std::string_view cell = take_cell_bytes(at, cursor_read_short_varint_u64(at));
    used_ = used;
    put(cell);
    used = used_;
    total += cell.size();
    write_varint_u64(cell.size(), stream_);
  }
  cursor = at;
  used_ = used;
  total_ += total;
  count_ += count;
}

void DecodedColumn::append_entry_indices(ByteCursor& cursor, std::uint64_t count) {
  const std::uint64_t k = entries_.size();
  if (k > 0x80 || count > cursor.remaining()) {
    for (std::uint64_t r = 0; r < count; ++r) append_entry_index(read_column_index(cursor, k));
    return;
  }
  // Up to 128 entries, an index is one byte below 0x80 in the body as in the stream: the bytes
  // are taken as they are, and only the cells' lengths summed.
  const std::string_view indices = cursor.data.substr(cursor.pos, static_cast<std::size_t>(count));
  stream_.append(indices);
  std::uint64_t total = 0;
  for (const char index : indices) total += entries_[static_cast<unsigned char>(index)].second;
  cursor.pos += indices.size();
  total_ += total;
  count_ += count;
}

void DecodedColumn::add_entry(std::string_view entry) {
  entries_.emplace_back(used_, entry.size());
  longest_entry_ = std::max<std::uint64_t>(longest_entry_, entry.size());
  put(entry);
}

std::uint64_t DecodedColumn::cell_bound() const {
  std::uint64_t longest = 0;
  if (!entries_.empty()) return longest_entry_;
  // Cells shorter than 128 bytes, the usual ones, are one varint byte each: the largest byte
  // is the answer unless it is a varint's first of several.
  const auto* begin = reinterpret_cast<const unsigned char*>(stream_.data());
  const unsigned char largest = stream_.empty() ? 0 : *std::max_element(begin, begin + stream_.size());
  if (largest < 0x80) return largest;
  ByteCursor cursor{stream_};
  while (!cursor.at_end()) longest = std::max(longest, cursor_read_varint_u64(cursor));
  return longest;
}

std::uint64_t DecodedColumn::empty_cells() const {
  if (entries_.empty()) {
    // A length of 0 is the one varint with a zero byte: the others are canonical, their last
    // byte not 0 and every other byte at least 0x80.
    return static_cast<std::uint64_t>(std::count(stream_.begin(), stream_.end(), '\0'));
  }
  std::uint64_t n = 0;
  Reader reader(*this);
  for (std::uint64_t r = 0; r < count_; ++r) n += reader.next().empty();
  return n;
}

std::vector<std::uint64_t> DecodedColumn::entry_uses() const {
  std::vector<std::uint64_t> uses(entries_.size(), 0);
  ByteCursor cursor{stream_};
  for (std::uint64_t r = 0; r < count_; ++r) ++uses[cursor_read_short_varint_u64(cursor)];
  return uses;
}

}  // namespace corvale
