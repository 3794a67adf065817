#pragma once
// The cells of a column as its decoder renders them, a range of rows at a time, for the writers
// of tables and logs.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/byte_buffer.h"
#include "core/varint.h"

namespace corvale {

// Copies cell to p, which has room for it, and returns the end of the copy. Cells are mostly a
// few bytes: two overlapping word moves are far cheaper than a library call each.
inline char* copy_cell(char* p, std::string_view cell) {
  const char* s = cell.data();
  const std::size_t n = cell.size();
  if (n > 16) {
    std::memcpy(p, s, n);
  } else if (n >= 8) {
    std::uint64_t head, tail;
    std::memcpy(&head, s, 8);
    std::memcpy(&tail, s + n - 8, 8);
    std::memcpy(p, &head, 8);
    std::memcpy(p + n - 8, &tail, 8);
  } else if (n >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, s, 4);
    std::memcpy(&tail, s + n - 4, 4);
    std::memcpy(p, &head, 4);
    std::memcpy(p + n - 4, &tail, 4);
  } else if (n > 0) {
    p[0] = s[0];
    p[n / 2] = s[n / 2];
    p[n - 1] = s[n - 1];
  }
  return p + n;
}

// The cells of a decoded column, or of one range of its rows, in order. Their bytes lie back to
// back in one buffer (a dictionary's entries once each, however often they are chosen) and each
// cell is one varint in a second buffer: its length, or a dictionary cell's entry index. A column
// of short cells costs about a byte a cell beyond its text; a crafted dictionary that repeats one
// long entry costs nothing before its total is weighed against the limit.
class DecodedColumn {
 public:
  std::uint64_t size() const { return count_; }
  std::uint64_t total_bytes() const { return total_; }  // of all cells together
  // The length of the longest cell (for a dictionary, of the longest entry).
  std::uint64_t cell_bound() const;
  std::uint64_t empty_cells() const;  // cells of no byte

  // Reads the column's cells: made once nothing more is appended to them, which then stay where
  // they are until the column is cleared.
  class Reader {
   public:
    // The next cell; valid while the column lives. At most size() calls.
    std::string_view next();
    // The next cell copied to p, which has room for it; returns the end of the copy.
    char* copy_next(char* p) { return copy_cell(p, next()); }

   private:
    friend class DecodedColumn;
    // Where the column's buffers are, taken once: a cell then costs no look through the column.
    explicit Reader(const DecodedColumn& column)
        : stream_(reinterpret_cast<const unsigned char*>(column.stream_.data())),
          bytes_(column.bytes_.data()),
          entries_(column.entries_.empty() ? nullptr : column.entries_.data()) {}
    const unsigned char* stream_;
    const char* bytes_;  // the next cell's bytes; for a dictionary, those of the entries
    const std::pair<std::uint64_t, std::uint64_t>* entries_;  // null but for a dictionary
  };
  Reader reader() const { return Reader(*this); }
  // Bytes that hold every cell as one of their ranges: a byte absent from them is in no cell.
  std::string_view all_bytes() const { return {bytes_.data(), used_}; }

  // Room for the varints of n cells of fewer than 128 bytes (or dictionary indices below 128),
  // the usual ones: the stream then never moves nor keeps room it does not use. n must be
  // backed by what the caller already holds (the cells' values, or a body byte each), never by
  // a count alone.
  void reserve_cells(std::uint64_t n) { stream_.reserve(static_cast<std::size_t>(n)); }
  // Appends the next count cells at cursor, each written as its length and its bytes (as
  // write_column_bytes writes them), and moves the cursor past them. The caller has weighed every
  // cell against its limit.
  void append_written_cells(ByteCursor& cursor, std::uint64_t count);
  // Building a column cell by cell. The caller has weighed every cell against its limit.
  void append(std::string_view cell) {
    const std::size_t start = used_;
    put(cell);
    close_cell(start);
  }
  // Writing the next cell in place: byte_size() before it is its start; grow(n) gives n more
  // uninitialised bytes to write (valid until the next grow), put(bytes) appends bytes, and
  // close_cell(start) ends the cell.
  std::size_t byte_size() const { return used_; }
  char* grow(std::size_t n) {
    if (n > bytes_.size() - used_) make_room(n);
    char* p = bytes_.data() + used_;
    used_ += n;
    return p;
  }
  void put(std::string_view bytes) { copy_cell(grow(bytes.size()), bytes); }
  // Or: room(n) gives the place of n more bytes, of which a writer may use the first ones and
  // leave the rest as they are, and commit(end) takes the bytes up to end (valid until the next
  // grow or room).
  char* room(std::size_t n) {
    if (n > bytes_.size() - used_) make_room(n);
    return bytes_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - bytes_.data()); }
  // Empties the column for the next cells of a range; a dictionary keeps its entries, which the
  // next range's cells choose again.
  void clear_cells() {
    stream_.clear();
    count_ = 0;
    total_ = 0;
    if (entries_.empty()) used_ = 0;
  }
  // Empties the column for another column's cells, keeping its room.
  void clear() {
    entries_.clear();
    longest_entry_ = 0;
    used_ = 0;
    clear_cells();
  }
  void close_cell(std::size_t start) {
    const std::uint64_t length = used_ - start;
    if (length < 0x80) {
      stream_.push_back(static_cast<char>(length));
    } else {
      write_varint_u64(length, stream_);
    }
    total_ += length;
    ++count_;
  }

  // Building a dictionary column: the entries, then one entry index a cell.
  void add_entry(std::string_view entry);
  std::uint64_t entry_count() const { return entries_.size(); }
  std::uint64_t entry_length(std::uint64_t index) const { return entries_[index].second; }
  std::string_view entry(std::uint64_t index) const {
    return {bytes_.data() + entries_[index].first, static_cast<std::size_t>(entries_[index].second)};
  }
  // How many cells choose each entry, in entry order.
  std::vector<std::uint64_t> entry_uses() const;
  // Appends the next count cells' entry indices at cursor, as read_column_index reads them for
  // this column's entries, and moves the cursor past them. Every index was checked before.
  void append_entry_indices(ByteCursor& cursor, std::uint64_t count);
  void append_entry_index(std::uint64_t index) {
    if (index < 0x80) {
      stream_.push_back(static_cast<char>(index));
    } else {
      write_varint_u64(index, stream_);
    }
    total_ += entries_[index].second;
    ++count_;
  }

 private:
  void make_room(std::size_t n);

  ByteBuffer bytes_;  // its size is the room; the first used_ bytes are written
  std::size_t used_ = 0;
  std::string stream_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> entries_;  // offset and length in bytes_
  std::uint64_t count_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t longest_entry_ = 0;
};

inline std::string_view DecodedColumn::Reader::next() {
  // The stream was written by this class: canonical varints of at most 64 bits, nearly all of
  // one byte.
  std::uint64_t v = *stream_++;
  if (v & 0x80) {
    v &= 0x7F;
    for (unsigned shift = 7;; shift += 7) {
      const unsigned char b = *stream_++;
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) break;
    }
  }
  if (entries_ != nullptr) {
    const auto& entry = entries_[v];
    return {bytes_ + entry.first, static_cast<std::size_t>(entry.second)};
  }
  const std::string_view cell(bytes_, static_cast<std::size_t>(v));
  bytes_ += v;
  return cell;
}

}  // namespace corvale
