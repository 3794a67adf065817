#include "codecs/table/table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codecs/columns/column_source.h"
#include "codecs/numbers/candidate_road.h"
#include "codecs/columns/table_column.h"
#include "codecs/table/table_recognition.h"
#include "core/checked_text.h"
#include "core/error.h"
#include "core/magnitude_budget.h"
#include "core/output_budget.h"
#include "core/saturating.h"
#include "core/text_buffer.h"
#include "core/varint.h"
#include "core/zlib.h"

namespace corvale {

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();
// Tables with fewer cells have their columns encoded on the calling thread: handing them to
// workers would cost more than it saves.
constexpr std::size_t kParallelTableCells = 1 << 16;

bool is_table_separator(char c) { return c == ',' || c == ';' || c == '\t' || c == '|'; }

bool unquoted_cell_needs_quotes(std::string_view cell, char separator) {
  for (char c : cell) {
    if (c == separator || c == '\n' || c == '\r') return true;
  }
  return false;
}

// The same answer as unquoted_cell_needs_quotes, for long texts.
bool holds_byte_needing_quotes(std::string_view text, char separator) {
  return std::memchr(text.data(), separator, text.size()) != nullptr ||
         std::memchr(text.data(), '\n', text.size()) != nullptr || std::memchr(text.data(), '\r', text.size()) != nullptr;
}

std::size_t count_quotes(std::string_view cell) {
  std::size_t n = 0;
  for (char c : cell) n += c == '"';
  return n;
}

// Which rows of a column are quoted, read in row order.
class QuotedRows {
 public:
  QuotedRows(bool all, const PositionList& listed) : all_(all), listed_(&listed) {}
  bool any() const { return all_ || !listed_->empty(); }
  bool next() {
    if (all_) return true;
    const bool quoted = next_ < listed_->size() && (*listed_)[next_] == row_;
    next_ += quoted;
    ++row_;
    return quoted;
  }

 private:
  bool all_;
  const PositionList* listed_;
  std::size_t next_ = 0;
  std::uint64_t row_ = 0;
};

// One column of a table between its ranges: its cells, which rows are quoted, and what the
// verdict needs to know of its bytes.
struct TableColumn {
  std::unique_ptr<ColumnSource> source;
  bool all_quoted = false;
  PositionList listed;  // the quoted rows, unless all are
  std::uint8_t held = 0;  // a bit for each byte of kVerdictBytes its restored cells hold
  std::string first_cell;  // kept when the cells were read for their bytes

  QuotedRows quoted() const { return QuotedRows(all_quoted, listed); }
  bool holds(std::size_t byte) const { return (held >> byte) & 1; }
};

// The bytes whose presence decides whether the restored text is read again: the quote, CR and
// the separators.
constexpr std::string_view kVerdictBytes = "\"\r,;\t|";
constexpr std::size_t kQuoteByte = 0;
constexpr std::size_t kCrByte = 1;
// A cell holding none of these needs no look: no quoting check, no byte for the verdict.
constexpr std::string_view kLookedAtBytes = "\"\r\n,;\t|";

// Reads a column's cells a range at a time before any text is made: every cell that is not
// quoted must need no quotes, the quotes of the quoted ones are counted (the bytes they add are
// returned) and the bytes of kVerdictBytes they hold are noted. A fault in any cell is found
// before the quotes are weighed against the room, as when the column was read whole.
std::uint64_t look_at_cells(TableColumn& column, char separator, DecodedColumn& cells) {
  ColumnSource& source = *column.source;
  QuotedRows quoted = column.quoted();
  const bool any_quoted = quoted.any();
  const std::uint64_t range = range_rows(source.size(), source.total_bytes());
  std::uint64_t extra = 0;
  cells.clear();
  for (std::uint64_t done = 0; done < source.size();) {
    const std::uint64_t count = std::min(range, source.size() - done);
    cells.clear_cells();
    source.read(count, cells);
    if (done == 0) column.first_cell = cells.reader().next();
    done += count;
    const std::string_view bytes = cells.all_bytes();
    for (std::size_t i = 0; i < kVerdictBytes.size(); ++i) {
      if (std::memchr(bytes.data(), kVerdictBytes[i], bytes.size()) != nullptr) column.held |= 1 << i;
    }
    // A range of which no byte needs quotes, the usual one, is cleared without going through its
    // cells.
    if (!any_quoted && !holds_byte_needing_quotes(bytes, separator)) continue;
    DecodedColumn::Reader reader = cells.reader();
    for (std::uint64_t r = 0; r < count; ++r) {
      const std::string_view cell = reader.next();
      if (quoted.next()) {
        extra = saturating_add(extra, 2 + count_quotes(cell));
      } else if (unquoted_cell_needs_quotes(cell, separator)) {
        throw Error(kInvalidFieldBytes);
      }
    }
  }
  if (any_quoted) column.held |= 1 << kQuoteByte;
  source.rewind();
  return extra;
}

// Writes a range's cells as they were written into quoted: the quoted rows' in quotes, every
// quote doubled.
void quote_cells(const DecodedColumn& cells, QuotedRows& rows, DecodedColumn& quoted) {
  quoted.clear_cells();
  DecodedColumn::Reader reader = cells.reader();
  for (std::uint64_t r = 0; r < cells.size(); ++r) {
    const std::string_view cell = reader.next();
    if (!rows.next()) {
      quoted.append(cell);
      continue;
    }
    const std::size_t start = quoted.byte_size();
    char* p = quoted.grow(2 + cell.size() + count_quotes(cell));
    *p++ = '"';
    for (char c : cell) {
      *p++ = c;
      if (c == '"') *p++ = '"';
    }
    *p = '"';
    quoted.close_cell(start);
  }
}

// What the columns alone tell of the restored text: a table, not one, or ask is_table of the
// whole text.
enum class TableVerdict { Table, NotATable, ReadTheText };

// Whether a column is usable, read as the classifier of is_table reads it: its cells after the
// first record, with and without that first one (the header's field, or its first cell).
bool column_is_usable(ColumnSource& source, std::string_view header_field, bool has_header, DecodedColumn& cells) {
  ColumnClassifier classifier;
  std::string first(header_field);
  const std::uint64_t range = range_rows(source.size(), source.total_bytes());
  cells.clear();
  for (std::uint64_t done = 0; done < source.size();) {
    const std::uint64_t count = std::min(range, source.size() - done);
    cells.clear_cells();
    source.read(count, cells);
    DecodedColumn::Reader reader = cells.reader();
    for (std::uint64_t r = 0; r < count; ++r) {
      const std::string_view cell = reader.next();
      if (done + r == 0 && !has_header) {
        first = cell;
      } else {
        classifier.add(cell);
      }
    }
    done += count;
  }
  source.rewind();
  return classifier.result() != ColumnClass::Unusable || classifier.result_with_first(first) != ColumnClass::Unusable;
}

// Whether the restored text is a table, as is_table would answer, told from the columns so that
// the text can go out before it is whole. With no quote and no CR in any cell or the header,
// reading the text again takes the road without quotes and finds the separator on every line as
// often (columns - 1 times, from 1 to 1023). Another separator byte can only win the shape when
// the first line holds it at least as often; when none does, the text is read back in exactly
// the shape it was written in, and the answer depends only on each column's class over the
// records after the first, with and without that first one. One usable column is enough to say
// yes: most tables are settled by their first numeric column. Any other text is read again.
//
// A column decoded as numbers needs no classifying: each of its cells is empty or one number
// ('-', digits, a point before further digits, an exponent marker before digits), which keeps
// the class numeric, and such a column has at least one value. So it is usable under a header,
// and without one whenever a record after the first holds a value.
TableVerdict restored_table_verdict(bool has_header, std::string_view header, std::vector<TableColumn>& columns,
                                    char separator) {
  auto anywhere = [&](std::size_t byte) {
    if (std::memchr(header.data(), kVerdictBytes[byte], header.size()) != nullptr) return true;
    return std::any_of(columns.begin(), columns.end(), [byte](const TableColumn& column) { return column.holds(byte); });
  };
  auto in_first_line = [&](char c) {
    if (has_header) return static_cast<std::size_t>(std::count(header.begin(), header.end(), c));
    std::size_t n = 0;
    for (const TableColumn& column : columns) {
      n += static_cast<std::size_t>(std::count(column.first_cell.begin(), column.first_cell.end(), c));
    }
    return n;
  };
  if (anywhere(kQuoteByte) || anywhere(kCrByte)) return TableVerdict::ReadTheText;
  for (std::size_t byte = kCrByte + 1; byte < kVerdictBytes.size(); ++byte) {
    const char other = kVerdictBytes[byte];
    if (other != separator && anywhere(byte) && in_first_line(other) >= columns.size() - 1) {
      return TableVerdict::ReadTheText;
    }
  }

  for (const TableColumn& column : columns) {
    const ColumnSource& source = *column.source;
    if (!source.is_numeric()) continue;
    const std::uint64_t values = source.size() - source.empty_cells();
    if (has_header || values > (source.first_cell_empty() ? 0 : 1)) return TableVerdict::Table;
  }

  DecodedColumn cells;
  std::size_t field_start = 0;  // of this column's field in the header
  for (TableColumn& column : columns) {
    std::string_view field;
    if (has_header) {
      const std::size_t end = std::min(header.find(separator, field_start), header.size());
      field = header.substr(field_start, end - field_start);
      field_start = end + 1;
    }
    if (column_is_usable(*column.source, field, has_header, cells)) return TableVerdict::Table;
  }
  return TableVerdict::NotATable;
}

// The shape of a table's text around its cells.
struct TableLayout {
  bool has_header;
  char separator;
  bool crlf;
  bool final_line_ending;
  std::uint64_t ending_size() const { return crlf ? 2 : 1; }
};

// Writes count rows of shown (one range of each column) into text, first_row telling whether
// they include the text's first line.
void write_table_rows(TextBuffer& text, const std::vector<const DecodedColumn*>& shown, std::uint64_t count,
                      bool first_row, const TableLayout& layout) {
  // The range's exact size, and no more room a row than the cell bounds of the columns give.
  const std::uint64_t endings = count - (first_row && !layout.has_header ? 1 : 0);
  std::uint64_t size = count * (shown.size() - 1) + endings * layout.ending_size();
  std::uint64_t row_bound = layout.ending_size() + shown.size() - 1;
  std::vector<DecodedColumn::Reader> readers;
  readers.reserve(shown.size());
  for (const DecodedColumn* column : shown) {
    size += column->total_bytes();
    row_bound = saturating_add(row_bound, column->cell_bound());
    readers.push_back(column->reader());
  }
  // Held apart from the vector: a byte written could otherwise be its end, as far as the
  // compiler knows, which would then be read again after every cell.
  DecodedColumn::Reader* const first = readers.data();
  DecodedColumn::Reader* const last = first + readers.size();
  const char separator = layout.separator;
  const bool crlf = layout.crlf;
  RecordWriter records(text, size, row_bound);
  char* p = records.start();
  for (std::uint64_t r = 0; r < count; ++r) {
    if (p > records.stop()) p = records.next_piece(p);
    if (r > 0 || !first_row || layout.has_header) {
      if (crlf) *p++ = '\r';
      *p++ = '\n';
    }
    p = first->copy_next(p);
    for (DecodedColumn::Reader* reader = first + 1; reader != last; ++reader) {
      *p++ = separator;
      p = reader->copy_next(p);
    }
  }
  records.finish(p);
}

// The decoded table's text of size bytes, a range of rows after another, into text: with a sink
// a piece at a time.
void write_table_text(TextBuffer& text, std::uint64_t size, std::string_view header, std::vector<TableColumn>& columns,
                      std::uint64_t rows, const TableLayout& layout) {
  text.append(header);
  const std::uint64_t range = range_rows(rows, size);
  std::vector<DecodedColumn> cells(columns.size());
  std::vector<DecodedColumn> quoted(columns.size());
  std::vector<QuotedRows> quoted_rows;
  std::vector<const DecodedColumn*> shown;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    quoted_rows.push_back(columns[c].quoted());
    shown.push_back(quoted_rows.back().any() ? &quoted[c] : &cells[c]);
  }
  for (std::uint64_t done = 0; done < rows;) {
    const std::uint64_t count = std::min(range, rows - done);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      cells[c].clear_cells();
      columns[c].source->read(count, cells[c]);
      if (quoted_rows[c].any()) quote_cells(cells[c], quoted_rows[c], quoted[c]);
    }
    if (done > 0) text.hand_on_whole_pieces();
    write_table_rows(text, shown, count, done == 0, layout);
    done += count;
  }
  if (layout.final_line_ending) text.append(layout.crlf ? "\r\n" : "\n");
}

}  // namespace

namespace {

// The payload's bytes before its deflated body: flags, row and column counts, the separator.
std::string table_payload_head(const ParsedTable& table) {
  std::string head;
  head.push_back(static_cast<char>((table.final_newline ? kTableFinalLineEnding : 0) | (table.crlf ? kTableCrLf : 0) |
                                   (table.header ? kTableHeader : 0)));
  write_varint_u64(table.row_count(), head);
  write_varint_u64(table.column_count(), head);
  head.push_back(table.separator);
  return head;
}

// Column c as the body stores it: its kind byte, with the quoting bits and the list of quoted
// rows after it when any cell is quoted, then the column. Verification decodes under the input's
// exact length: the decoder's magnitude budget for that limit is charged here as it will be, and
// the body must stay within the cap it is inflated under. Each column may take twice its share of
// the text (its cells, the separator or line ending after each and the quotes around quoted
// cells) less its list of quoted rows; all of them together then stay within 2 x the input's
// length.
std::string encode_stored_column(const ParsedTable& table, std::size_t c, const std::vector<std::string_view>& cells,
                                 MagnitudeBudget& budget) {
  const std::size_t rows = table.row_count();
  PositionList quoted;
  std::string quoted_list;
  std::uint64_t share = 0;
  for (std::size_t r = 0; r < rows; ++r) {
    share += cells[r].size() + 1;
    if (table.quoted(r, c)) {
      quoted.push_back(r);
      share += 2;
    }
  }
  if (!quoted.empty() && quoted.size() < rows) write_position_list(quoted, quoted_list);
  std::string column = encode_table_column(cells, table.column_class(c), budget, 2 * share - quoted_list.size());
  if (quoted.empty()) return column;
  std::string stored;
  stored.reserve(column.size() + quoted_list.size());
  stored.push_back(static_cast<char>(column[0] | (quoted.size() == rows ? kColumnAllQuoted : kColumnQuotedRows)));
  stored += quoted_list;
  stored.append(column, 1);
  return stored;
}

// Appends every column, in order, to body. Columns are encoded apart, on the workers for a large
// table, and joined in order. Only a column of big numbers charges the budget, so each is encoded
// against the budget left when it starts, and again, in its turn, in the rare case that a column
// before it changed the budget meanwhile: the body is the one of encoding every column in turn.
void encode_table_columns(const ParsedTable& table, std::uint64_t input_size, std::string& body) {
  const std::size_t rows = table.row_count();
  const std::size_t columns = table.column_count();
  MagnitudeBudget budget(input_size);
  struct ColumnState {
    std::vector<std::string_view> cells;
    MagnitudeBudget before{0};
    MagnitudeBudget after{0};
    std::string stored;
  };
  std::vector<ColumnState> states(columns);
  // What one column holds while it is encoded: its cells, and its candidates, a few times its
  // share of the text.
  const std::uint64_t column_weight = rows * sizeof(std::string_view) + 4 * (input_size / columns);
  OrderedWork work;
  work.count = columns;
  // A column is cut from where the one before it ended, so columns are cut in turn: from the
  // cells of the one before, copied while it is still being encoded, else taken over.
  std::vector<std::string_view> spare;
  std::size_t started = 0;
  work.start = [&](std::size_t c) {
    std::vector<std::string_view> cells = c > 0 && !states[c - 1].cells.empty() ? states[c - 1].cells : std::move(spare);
    table.cut_column(c, cells);
    states[c].cells = std::move(cells);
    states[c].before = states[c].after = budget;
    started = c + 1;
  };
  work.work = [&](std::size_t c) { states[c].stored = encode_stored_column(table, c, states[c].cells, states[c].after); };
  work.keep = [&](std::size_t c) {
    ColumnState& state = states[c];
    if (state.before.remaining() != budget.remaining() || state.before.printed_left() != budget.printed_left()) {
      state.stored = encode_stored_column(table, c, state.cells, budget);
    } else {
      budget = state.after;
    }
    body += state.stored;
    std::string().swap(state.stored);
    if (started == c + 1) {
      spare = std::move(state.cells);  // the next column is cut from these
    } else {
      std::vector<std::string_view>().swap(state.cells);
    }
  };
  work.weight = [&](std::size_t) { return column_weight; };
  // Columns in progress hold at most about four times the text (or one column alone): on eight
  // threads a table of a few long columns keeps two of them going, one of many short ones eight.
  work.most_weight = 4 * input_size;
  run_in_order(work, rows * columns >= kParallelTableCells);
}

}  // namespace

std::optional<std::string> encode_table_archive(std::string_view input) {
  std::optional<ParsedTable> table = detect_table(input);
  if (!table) return std::nullopt;
  std::string payload = table_payload_head(*table);
  std::string body;
  if (table->header) {
    write_varint_u64(table->header->size(), body);
    body += *table->header;
  }
  encode_table_columns(*table, input.size(), body);
  // The table's own lists give their memory to the deflate.
  table.reset();
  payload += deflate_compress_best(body);
  return payload;
}

namespace {

// The text of a payload, whole, or through sink (then the buffer returned is empty).
ByteBuffer decode_table(std::string_view payload, std::uint64_t limit, OutputSink* sink) {
  if (payload.size() < 4) throw Error(kTruncatedTable);
  const auto flags = static_cast<std::uint8_t>(payload[0]);
  if (flags >= 8) throw Error(kInvalidTableFlags);
  ByteCursor cursor{payload, 1};
  const std::uint64_t rows = cursor_read_varint_u64(cursor);
  const std::uint64_t columns = cursor_read_varint_u64(cursor);
  const char separator = static_cast<char>(cursor_take_byte(cursor));
  if (!is_table_separator(separator) || columns < kMinTableColumns || columns > kMaxTableColumns) {
    throw Error(kInvalidTableShape);
  }
  const bool has_header = (flags & kTableHeader) != 0;
  const std::uint64_t lines = saturating_add(rows, has_header ? 1 : 0);
  // Every field but the last of each line is followed by a separator, every line but the last
  // by a line ending: a table of this shape cannot be shorter.
  if (lines < 2 || saturating_mul(lines, columns) - 1 > limit) throw Error(kInvalidTableSize);

  ByteBuffer body = inflate_limited(payload.substr(cursor.pos), inner_body_limit(limit), false);
  ByteCursor in{body};
  std::string header;
  if (has_header) {
    header = cursor_take_bytes(in, cursor_read_varint_u64(in));
    if (!header_line_matches(header, separator, columns)) throw Error(kInvalidHeaderLine);
  }

  // The output as it will be, kept as a running total: the header, the separators and line
  // endings every row needs, then each column's cells as they are decoded. A column may only
  // use the room the others left, so all of them together never hold more than the limit.
  const std::uint64_t ending_size = (flags & kTableCrLf) ? 2 : 1;
  const std::uint64_t endings = lines - 1 + ((flags & kTableFinalLineEnding) ? 1 : 0);
  std::uint64_t total = saturating_add(saturating_add(header.size(), saturating_mul(rows, columns - 1)),
                                       saturating_mul(endings, ending_size));
  if (total > limit) throw output_limit_error();

  // Scaled values, their differences and bases can be far longer than what they print as.
  MagnitudeBudget budget(limit);
  std::vector<TableColumn> decoded(columns);
  DecodedColumn cells;  // one range of a column's cells
  for (TableColumn& column : decoded) {
    const std::uint8_t kind = cursor_take_byte(in);
    if ((kind & kColumnQuotingMask) == kColumnQuotingMask) throw Error(kInvalidColumnKind);
    if (kind & kColumnQuotedRows) {
      column.listed = read_position_list(in, rows);
      if (column.listed.empty()) throw Error(kInvalidQuotedPositions);
    }
    column.all_quoted = (kind & kColumnAllQuoted) != 0;
    column.source = open_table_column(in, kind & kColumnKindMask, rows, limit, limit - total, budget);
    total += column.source->total_bytes();
    if (column.quoted().any() || column.source->may_hold(kLookedAtBytes)) {
      const std::uint64_t extra = look_at_cells(column, separator, cells);
      if (extra > limit - total) throw output_limit_error();
      total += extra;
    }
  }
  if (!in.at_end()) throw Error(kTrailingTableData);
  cells = DecodedColumn();

  // Every piece has been weighed: total is the exact size of the text, within the limit.
  const TableLayout layout{has_header, separator, (flags & kTableCrLf) != 0, (flags & kTableFinalLineEnding) != 0};
  const TableVerdict verdict = restored_table_verdict(has_header, header, decoded, separator);
  if (verdict == TableVerdict::NotATable) throw Error(kNotATable);
  // A text the columns settle streams; one that needs its own bytes read is made whole first.
  const CheckedText plan{limit, total, sink, verdict == TableVerdict::Table, kRecordPiece};
  return write_checked_text(
      plan,
      [&](TextBuffer& text) {
        write_table_text(text, total, header, decoded, rows, layout);
        return verdict == TableVerdict::Table;
      },
      [](const ByteBuffer& whole) {
        if (!is_table(whole)) throw Error(kNotATable);
      },
      [] {});
}

}  // namespace

ByteBuffer decode_table_payload(std::string_view payload, std::uint64_t limit) {
  return decode_table(payload, limit, nullptr);
}

void stream_table_payload(std::string_view payload, std::uint64_t limit, OutputSink& out) {
  decode_table(payload, limit, &out);
}

std::string decode_table_archive(std::string_view payload, std::uint64_t limit) {
  return std::string(decode_table_payload(payload, limit));
}

}  // namespace corvale
