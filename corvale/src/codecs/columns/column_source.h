#pragma once
// A column body read a range of cells at a time. Opening it reads and checks the whole body and
// weighs every cell against the room left, so that every fault is known before any text goes
// out; then its cells are rendered a range at a time, each range into a column of its own that
// the writer reuses, and the rendering can start again from the first cell. What a kind keeps
// between ranges is what its cells need and no printed byte: a numeric or template column its
// values in compact words, a dictionary its entries, a raw column only its place in the body.

#include <cstdint>
#include <memory>
#include <string_view>

#include "codecs/columns/decoded_column.h"
#include "core/magnitude_budget.h"
#include "core/varint.h"

namespace corvale {

using ColumnKind = std::uint8_t;

class ColumnSource {
 public:
  virtual ~ColumnSource() = default;

  std::uint64_t size() const { return rows_; }
  // Of all cells together, known once the column is open.
  std::uint64_t total_bytes() const { return total_; }
  std::uint64_t empty_cells() const { return empty_; }
  bool first_cell_empty() const { return first_empty_; }
  bool is_numeric() const { return numeric_; }

  // Whether a cell may hold one of bytes: false only when none can.
  virtual bool may_hold(std::string_view bytes) const = 0;
  // Appends the next count cells to out (a column this source alone renders into; between ranges
  // the caller clears its cells).
  virtual void read(std::uint64_t count, DecodedColumn& out) = 0;
  // Back to the first cell.
  virtual void rewind() = 0;

 protected:
  explicit ColumnSource(std::uint64_t rows, bool numeric = false) : rows_(rows), numeric_(numeric) {}

  std::uint64_t rows_;
  bool numeric_;
  std::uint64_t total_ = 0;
  std::uint64_t empty_ = 0;
  bool first_empty_ = false;
};

// Opens one column body of kind (its kind byte already taken) holding rows cells, of at most room
// bytes of cells, charging big numbers to budget, and leaves the cursor just past it. limit is
// the whole decode's output limit, which bounds a column scale: a scale is a count of fraction
// digits a cell may write, not the cells' size, so the other columns' share of the text does not
// lower it. The source reads the cursor's bytes while it lives. Throws Error.
std::unique_ptr<ColumnSource> open_table_column(ByteCursor& cursor, ColumnKind kind, std::uint64_t rows,
                                                std::uint64_t limit, std::uint64_t room, MagnitudeBudget& budget);

// The openers of each kind.
std::unique_ptr<ColumnSource> open_numeric_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit,
                                                  std::uint64_t room, MagnitudeBudget& budget);
std::unique_ptr<ColumnSource> open_template_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room,
                                                   bool with_slots, MagnitudeBudget& budget);
std::unique_ptr<ColumnSource> open_dictionary_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room);
std::unique_ptr<ColumnSource> open_raw_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room);

// How many rows a range of a text's rows takes, for rows rows of cell_bytes bytes of cells: about
// 256 KiB of cells, at most 4 Ki rows, at least one. A range's cells then stay in the cache from
// their rendering to their copy into the text, and its buffers are a few pages reused, not
// megabytes faulted in fresh.
std::uint64_t range_rows(std::uint64_t rows, std::uint64_t cell_bytes);

// Whether any byte of text is one of bytes.
bool holds_any_of(std::string_view text, std::string_view bytes);

}  // namespace corvale
