#include <algorithm>
#include <vector>

#include "codecs/columns/column_bytes.h"
#include "codecs/columns/column_source.h"
#include "codecs/columns/table_column.h"
#include "core/error.h"
#include "core/output_budget.h"
#include "core/saturating.h"

namespace corvale {

namespace {

// The entries stay where the body holds them; each range reads its cells' indices again.
class DictionaryColumn final : public ColumnSource {
 public:
  DictionaryColumn(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room) : ColumnSource(rows) {
    const std::uint64_t k = cursor_read_varint_u64(cursor);
    if (k == 0 || k > rows) throw Error(kInvalidDictionarySize);
    // Each entry takes at least its length byte, so the body bounds how many there can be.
    for (std::uint64_t e = 0; e < k; ++e) {
      const std::uint64_t length = cursor_read_varint_u64(cursor);
      entries_.push_back(cursor_take_bytes(cursor, length));
    }
    start_ = cursor;
    // The cells are weighed as their indices arrive and never copied: a long entry chosen by
    // every row fails here, before it costs anything.
    for (std::uint64_t r = 0; r < rows; ++r) {
      const std::uint64_t index = read_column_index(cursor, k);
      if (index >= k) throw Error(kInvalidDictionaryIndex);
      total_ = saturating_add(total_, entries_[index].size());
      if (total_ > room) throw output_limit_error();
      empty_ += entries_[index].empty();
      if (r == 0) first_empty_ = entries_[index].empty();
    }
    at_ = start_;
  }

  bool may_hold(std::string_view bytes) const override {
    return std::any_of(entries_.begin(), entries_.end(), [bytes](std::string_view e) { return holds_any_of(e, bytes); });
  }

  void read(std::uint64_t count, DecodedColumn& out) override {
    if (out.entry_count() == 0) {
      for (std::string_view entry : entries_) out.add_entry(entry);
    }
    out.reserve_cells(count);  // an index takes at least a byte of the body
    out.append_entry_indices(at_, count);
  }

  void rewind() override { at_ = start_; }

 private:
  std::vector<std::string_view> entries_;
  ByteCursor start_;  // at the first cell's index
  ByteCursor at_;
};

}  // namespace

std::unique_ptr<ColumnSource> open_dictionary_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room) {
  return std::make_unique<DictionaryColumn>(cursor, rows, room);
}

}  // namespace corvale
