#pragma once
// The column codec that tables and logs share: one list of cells (one field of every data row,
// or of every line of a log group) stored as one self-delimiting body of whichever kind deflates
// smallest: numbers, a template around digit runs, a dictionary or the raw bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/columns/column_class.h"
#include "core/bigint.h"
#include "core/byte_buffer.h"
#include "core/magnitude_budget.h"
#include "core/position_list.h"
#include "core/varint.h"

namespace corvale {

// The first byte of a column: bits 0-3 its kind. Bits 4-5 are the table archive's quoting marks
// and bits 6-7 are never written; the encoder leaves all four clear.
using ColumnKind = std::uint8_t;
inline constexpr ColumnKind kColumnNumeric = 0;
inline constexpr ColumnKind kColumnTemplate = 1;  // constant text parts around the digit runs
inline constexpr ColumnKind kColumnDictionary = 2;
inline constexpr ColumnKind kColumnRaw = 3;
inline constexpr ColumnKind kColumnTemplateSlots = 4;  // each text part chosen from a list
inline constexpr ColumnKind kColumnKindMask = 0x0F;

inline constexpr const char kInvalidColumnKind[] = "Invalid column kind";
inline constexpr const char kInvalidNumericColumnFlags[] = "Invalid numeric column flags";
inline constexpr const char kNumericColumnWithoutValues[] = "Numeric column without values";
inline constexpr const char kInvalidColumnScale[] = "Invalid column scale";
inline constexpr const char kInvalidMinusZeroPosition[] = "Invalid -0 position";
inline constexpr const char kInvalidTemplateColumnFlags[] = "Invalid template column flags";
inline constexpr const char kTemplateColumnWithoutValues[] = "Template column without values";
inline constexpr const char kInvalidTemplate[] = "Invalid template";
inline constexpr const char kInvalidTemplatePart[] = "Invalid template part";
inline constexpr const char kInvalidTextSlotSize[] = "Invalid text slot size";
inline constexpr const char kInvalidTextSlotIndex[] = "Invalid text slot index";
inline constexpr const char kNegativeTemplateDigits[] = "Negative template digits";
inline constexpr const char kInvalidTemplateZerosMarker[] = "Invalid template zeros marker";
inline constexpr const char kInvalidDictionarySize[] = "Invalid dictionary size";
inline constexpr const char kInvalidDictionaryIndex[] = "Invalid dictionary index";
inline constexpr const char kInvalidPosition[] = "Invalid position";
inline constexpr const char kRepeatedPosition[] = "Repeated position";

// The position lists of tables: empty cells, "-0" values, quoted rows.
inline PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit) {
  return read_position_list(cursor, limit, {kRepeatedPosition, kInvalidPosition});
}

// The column's best encoding, its kind byte first. Throws Error only when a number column or a
// deflate measurement fails.
std::string encode_table_column(const std::vector<std::string_view>& cells);
// The same for cells whose class is already known (table recognition has classified them), in
// a payload whose decoder charges big numbers to budget: a candidate its decoder could not
// afford is not offered, and the chosen one's numbers are charged to budget; none longer than
// max_bytes is offered either (the raw copy, at most 1 + 2 x the cells' bytes + one byte a
// cell, always is).
std::string encode_table_column(const std::vector<std::string_view>& cells, ColumnClass column_class,
                                MagnitudeBudget& budget, std::uint64_t max_bytes);

// The candidates encode_table_column weighs, each with its kind byte first: the one of the
// column's class (numeric for a numeric column; kind 1 for a template column, kind 4 with text
// slots for one of the same shape), then the dictionary, then the raw copy.
std::string encode_numeric_candidate(const std::vector<std::string_view>& cells);
std::string encode_template_candidate(const std::vector<std::string_view>& cells, bool with_slots);
std::string encode_dictionary_candidate(const std::vector<std::string_view>& cells);
std::string encode_raw_candidate(const std::vector<std::string_view>& cells);

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

// The cells of one decoded column, in order. Their bytes lie back to back in one buffer (a
// dictionary's entries once each, however often they are chosen) and each cell is one varint in
// a second buffer: its length, or a dictionary cell's entry index. A column of short cells costs
// about a byte a cell beyond its text; a crafted dictionary that repeats one long entry costs
// nothing before its total is weighed against the limit.
class DecodedColumn {
 public:
  std::uint64_t size() const { return count_; }
  std::uint64_t total_bytes() const { return total_; }  // of all cells together
  // The length of the longest cell (for a dictionary, of the longest entry).
  std::uint64_t cell_bound() const;
  std::uint64_t empty_cells() const;  // cells of no byte

  // Reads a complete column: made once nothing more is appended to the column, which then stays
  // where it is.
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
  void append_entry_index(std::uint64_t index);

 private:
  void make_room(std::size_t n);

  ByteBuffer bytes_;  // its size is the room; the first used_ bytes are written
  std::size_t used_ = 0;
  std::string stream_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> entries_;  // offset and length in bytes_
  std::uint64_t count_ = 0;
  std::uint64_t total_ = 0;
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

// Reads one column body of kind (its kind byte already taken) holding rows cells, producing at
// most room bytes of cells and charging big numbers to budget, and leaves the cursor just past
// it. limit is the whole decode's output limit, which bounds a column scale: a scale is a count
// of fraction digits a cell may write, not the cells' size, so the other columns' share of the
// text does not lower it. Throws Error.
DecodedColumn decode_table_column(ByteCursor& cursor, ColumnKind kind, std::uint64_t rows, std::uint64_t limit,
                                  std::uint64_t room, MagnitudeBudget& budget);

// The reader of kinds 1 (with_slots false) and 4 (true).
DecodedColumn decode_template_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit, bool with_slots,
                                     MagnitudeBudget& budget);

// Appends the m digit fields of a template body; digit_runs holds every value's m runs, value
// after value. Returns false when out would grow past max_bytes. Throws Error when a number
// column fails.
bool encode_template_body(const std::vector<std::string_view>& digit_runs, std::size_t m, std::string& out,
                          std::uint64_t max_bytes);

}  // namespace corvale
