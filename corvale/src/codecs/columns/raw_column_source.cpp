#include "codecs/columns/column_bytes.h"
#include "codecs/columns/column_source.h"
#include "core/output_budget.h"

namespace corvale {

namespace {

// Each cell is its length and its bytes, read again from the body for every range.
class RawColumn final : public ColumnSource {
 public:
  RawColumn(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room) : ColumnSource(rows), start_(cursor) {
    for (std::uint64_t r = 0; r < rows; ++r) {
      const std::uint64_t length = cursor_read_short_varint_u64(cursor);
      const std::string_view cell = take_cell_bytes(cursor, length);
      if (cell.size() > room - total_) throw output_limit_error();
      total_ += cell.size();
      empty_ += cell.empty();
      if (r == 0) first_empty_ = cell.empty();
    }
    body_ = start_.data.substr(start_.pos, cursor.pos - start_.pos);
    at_ = start_;
  }

  // The lengths are in the body too: a byte among them may answer yes.
  bool may_hold(std::string_view bytes) const override { return holds_any_of(body_, bytes); }

  void read(std::uint64_t count, DecodedColumn& out) override {
    out.reserve_cells(count);
    out.append_written_cells(at_, count);
  }

  void rewind() override { at_ = start_; }

 private:
  ByteCursor start_;
  ByteCursor at_;
  std::string_view body_;  // the column's bytes
};

}  // namespace

std::unique_ptr<ColumnSource> open_raw_column(ByteCursor& cursor, std::uint64_t rows, std::uint64_t room) {
  return std::make_unique<RawColumn>(cursor, rows, room);
}

}  // namespace corvale
