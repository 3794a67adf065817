#include "codecs/log/log.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

#include "codecs/columns/column_source.h"
#include "codecs/columns/table_column.h"
#include "codecs/log/log_lines.h"
#include "codecs/numbers/number_column.h"
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

// A field count of F occurs only for F <= N + 1 <= 256, so a group number fits a byte.
constexpr std::size_t kMaxLogGroups = kMaxLogFieldCount + 1;

// Lines grouped by their number of fields, groups numbered in order of first appearance.
struct LineGroups {
  std::vector<std::uint64_t> field_counts;  // of each group
  std::vector<std::size_t> sizes;           // lines in each group
  std::vector<std::uint8_t> group_of_line;
  // With the lines' space counts: the fewest and the most spaces a line of each group holds.
  std::vector<std::uint32_t> fewest_spaces;
  std::vector<std::uint32_t> most_spaces;
};

// spaces: every line's number of spaces, or nothing to count them here.
LineGroups group_lines(const std::vector<std::string_view>& lines, std::uint64_t n,
                       const std::vector<std::uint32_t>* spaces) {
  LineGroups groups;
  std::array<std::int16_t, kMaxLogGroups + 1> group_of_count;
  group_of_count.fill(-1);
  groups.group_of_line.resize(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t f = spaces ? std::min<std::uint64_t>((*spaces)[i], n) + 1 : log_field_count(lines[i], n);
    std::int16_t& k = group_of_count[f];
    if (k < 0) {
      k = static_cast<std::int16_t>(groups.field_counts.size());
      groups.field_counts.push_back(f);
      groups.sizes.push_back(0);
      if (spaces) {
        groups.fewest_spaces.push_back((*spaces)[i]);
        groups.most_spaces.push_back((*spaces)[i]);
      }
    }
    groups.group_of_line[i] = static_cast<std::uint8_t>(k);
    ++groups.sizes[k];
    if (spaces) {
      groups.fewest_spaces[k] = std::min(groups.fewest_spaces[k], (*spaces)[i]);
      groups.most_spaces[k] = std::max(groups.most_spaces[k], (*spaces)[i]);
    }
  }
  return groups;
}

// The most spaces any one line holds.
std::uint64_t most_spaces(const std::vector<std::string_view>& lines) {
  std::size_t most = 0;
  for (std::string_view line : lines) most = std::max<std::size_t>(most, std::count(line.begin(), line.end(), ' '));
  return most;
}

}  // namespace

bool find_log_field_separator(std::string_view field, bool last_field) {
  return std::memchr(field.data(), '\n', field.size()) != nullptr ||
         (!last_field && std::memchr(field.data(), ' ', field.size()) != nullptr);
}

std::vector<std::uint64_t> log_field_count_candidates(std::uint64_t most_spaces) {
  std::vector<std::uint64_t> candidates;
  for (std::uint64_t n = 0; n <= std::min(most_spaces, kLogSmallFieldCounts); ++n) candidates.push_back(n);
  if (most_spaces > kLogSmallFieldCounts && most_spaces <= kMaxLogFieldCount) candidates.push_back(most_spaces);
  return candidates;
}

namespace {

// A column of a group, as the lines' space counts tell it apart. A group holds the lines of one
// space count, or those of n spaces or more: either way exactly the lines whose count lies
// between its fewest and its most. Field j of those lines, when none of them ends there, is cut
// alike for every field count that cuts them after it.
struct ColumnKey {
  std::uint32_t fewest_spaces;
  std::uint32_t most_spaces;
  std::uint64_t field;
  std::uint64_t budget;   // the magnitude budget left before the column
  std::uint64_t printed;  // and the digits of big values it may still print
  auto operator<=>(const ColumnKey&) const = default;
};

struct EncodedColumn {
  std::string bytes;
  MagnitudeBudget budget_after;
};

}  // namespace

struct LogColumnEncoder::Columns {
  std::map<ColumnKey, EncodedColumn> encoded;
};

namespace {

// encode_log_columns, taking columns from and keeping them in columns when spaces holds the
// lines' space counts.
std::string encode_log_columns_reusing(const std::vector<std::string_view>& lines, std::uint64_t n,
                                       std::uint64_t text_size, const std::vector<std::uint32_t>* spaces,
                                       std::map<ColumnKey, EncodedColumn>* columns) {
  if (n > kMaxLogFieldCount) throw std::invalid_argument("log field count above 255");
  const LineGroups groups = group_lines(lines, n, spaces);
  const std::size_t g = groups.field_counts.size();
  std::string body;
  write_varint_u64(n, body);
  write_varint_u64(g, body);
  for (std::uint64_t f : groups.field_counts) write_varint_u64(f, body);
  // The decoder inflates the body under 2 x the text's length + 1024 bytes. Each column may take
  // its raw copy's bound, 1 + 2 x its cells' bytes + a byte a cell; over all columns that is at
  // most 2 x (the lines' bytes + their count) - (the lines beyond the first of each group), and
  // the group numbers, one byte a line and 4 more, fit in what is left of the 1024.
  if (g != 1) {
    IntegerList numbers(Signedness::Signed);
    for (std::uint8_t k : groups.group_of_line) numbers.push_word(k);
    std::optional<std::string> column = encode_number_column(std::move(numbers), lines.size() + 4);
    // Offsets from the smallest group number in one byte plane always fit.
    if (!column) throw std::logic_error("group numbers without a column within their bound");
    body += *column;
  }

  // The lines of each group in line order, group after group; with one group, simply the lines.
  std::vector<std::size_t> first(g + 1, 0);
  for (std::size_t k = 0; k < g; ++k) first[k + 1] = first[k] + groups.sizes[k];
  std::vector<std::size_t> order;
  if (g > 1) {
    order.resize(lines.size());
    std::vector<std::size_t> next(first.begin(), first.end() - 1);
    for (std::size_t i = 0; i < lines.size(); ++i) order[next[groups.group_of_line[i]]++] = i;
  }

  // Field j of a line starts one byte past where field j - 1 ended, so each column is cut from
  // the one before it: every line is scanned once, whatever its number of fields.
  std::vector<std::string_view> cells;
  MagnitudeBudget budget(text_size);
  for (std::size_t k = 0; k < g; ++k) {
    const std::size_t rows = groups.sizes[k];
    const std::uint64_t f = groups.field_counts[k];
    cells.assign(rows, std::string_view());
    for (std::uint64_t j = 0; j < f; ++j) {
      std::uint64_t cell_bytes = 0;
      for (std::size_t r = 0; r < rows; ++r) {
        const std::string_view line = lines[order.empty() ? r : order[first[k] + r]];
        const char* start = j == 0 ? line.data() : cells[r].data() + cells[r].size() + 1;
        const char* end = line.data() + line.size();
        if (j + 1 < f) end = static_cast<const char*>(std::memchr(start, ' ', static_cast<std::size_t>(end - start)));
        cells[r] = std::string_view(start, static_cast<std::size_t>(end - start));
        cell_bytes += cells[r].size();
      }
      // The rest of lines that hold more spaces changes with n: it is seldom met again, and a
      // long one would only take room.
      if (columns == nullptr || (j + 1 == f && groups.most_spaces[k] > j)) {
        body += encode_table_column(cells, classify_table_column(cells), budget, 1 + 2 * cell_bytes + rows);
        continue;
      }
      const ColumnKey key{groups.fewest_spaces[k], groups.most_spaces[k], j, budget.remaining(), budget.printed_left()};
      auto found = columns->find(key);
      if (found == columns->end()) {
        std::string column = encode_table_column(cells, classify_table_column(cells), budget, 1 + 2 * cell_bytes + rows);
        found = columns->emplace(key, EncodedColumn{std::move(column), budget}).first;
      }
      body += found->second.bytes;
      budget = found->second.budget_after;
    }
  }
  return body;
}

}  // namespace

std::string encode_log_columns(const std::vector<std::string_view>& lines, std::uint64_t n,
                               std::uint64_t text_size) {
  return encode_log_columns_reusing(lines, n, text_size, nullptr, nullptr);
}

LogColumnEncoder::LogColumnEncoder(const std::vector<std::string_view>& lines, std::uint64_t text_size)
    : lines_(lines), text_size_(text_size), spaces_(lines.size()), columns_(std::make_unique<Columns>()) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    spaces_[i] = static_cast<std::uint32_t>(std::count(lines[i].begin(), lines[i].end(), ' '));
  }
}

LogColumnEncoder::~LogColumnEncoder() = default;

std::string LogColumnEncoder::encode(std::uint64_t n) {
  std::string body = encode_log_columns_reusing(lines_, n, text_size_, &spaces_, &columns_->encoded);
  // The field counts are weighed in rising order. Lines of unequal space counts share a group
  // only as those of n spaces or more, so a group whose fewest are n or fewer does not come back
  // for a larger n: its columns are let go.
  std::erase_if(columns_->encoded, [n](const auto& entry) {
    const ColumnKey& key = entry.first;
    return key.fewest_spaces < key.most_spaces && key.fewest_spaces <= n;
  });
  return body;
}

std::optional<std::string> compress_log(std::string_view text) {
  std::optional<LogLines> log = detect_log_lines(text);
  if (!log) return std::nullopt;
  const std::vector<std::string_view>& lines = log->lines;
  // Thousands of small columns are weighed below; they share one compressor.
  FastDeflateScope deflate_scope;

  const std::vector<std::uint64_t> candidates = log_field_count_candidates(most_spaces(lines));

  const bool sample_is_all = lines.size() <= kLogSampleLines;
  const std::vector<std::string_view> sample(lines.begin(), lines.begin() + std::min(lines.size(), kLogSampleLines));
  std::uint64_t best_n = 0;
  std::uint64_t best_size = 0;
  std::string best_body;
  // Weighed as the whole text's body: the budgets are the whole text's too.
  LogColumnEncoder sample_encoder(sample, text.size());
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    std::string body = sample_encoder.encode(candidates[c]);
    // A later candidate only counts when strictly smaller, so its measurement may give up there.
    const std::optional<std::uint64_t> size =
        c == 0 ? deflate_compress_fast(body) : deflate_compress_fast_within(body, best_size - 1);
    if (size) {
      best_n = candidates[c];
      best_size = *size;
      // When the sample is the whole text, the winner's body is the final one.
      if (sample_is_all) best_body = std::move(body);
    }
  }
  std::string body = sample_is_all ? std::move(best_body) : encode_log_columns(lines, best_n, text.size());

  std::string payload(1, static_cast<char>((log->final_newline ? kLogFinalLineEnding : 0) | (log->crlf ? kLogCrLf : 0)));
  write_varint_u64(lines.size(), payload);
  // Neither the lines nor, once deflated, the body are needed again: the deflates below have
  // the memory they held.
  std::vector<std::string_view>().swap(log->lines);
  payload += deflate_compress_best(body);
  std::string().swap(body);

  // Text without structure (random bytes, base64, hex) passes as a log when one token in five
  // holds a digit; storing it column by column would then lose to plain deflate.
  // It is refused when 20 x the payload > 19 x the plain stream, that is when the plain stream
  // is at most (20 x the payload - 1) / 19 bytes: the plain stream is only measured that far.
  if (text.size() >= kLogRefusalMinInput && 4 * static_cast<std::uint64_t>(payload.size()) > text.size()) {
    const std::uint64_t most_refused = (20 * static_cast<std::uint64_t>(payload.size()) - 1) / 19;
    if (deflate_compress_best_within(text, most_refused)) throw Error(kStructurelessTextMessage);
  }
  return payload;
}

namespace {

// The group number of every line, checked against the group count as each is produced; counts
// the lines of every group in sizes.
std::vector<std::uint8_t> read_group_numbers(ByteCursor& cursor, std::uint64_t lines, std::uint64_t g,
                                             std::vector<std::uint64_t>& sizes, MagnitudeBudget& budget) {
  // A byte a line: the whole list of values, one word each, could be eight times the text.
  std::vector<std::uint8_t> groups;
  NumberColumnReader reader(cursor, lines, budget);
  IntegerList piece(Signedness::Signed);
  while (reader.next(piece)) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
      const std::uint64_t k = piece.wide() ? (piece.big()[i].fits_u64() ? piece.big()[i].to_u64() : g)
                                           : piece.words()[i];  // a negative word reads as 2^63 or more
      if (k >= g) throw Error(kInvalidLogGroupIndex);
      groups.push_back(static_cast<std::uint8_t>(k));
      ++sizes[k];
    }
  }
  return groups;
}

// Adds the tokens of a decoded column's cells to count. The text is read back as is_log_text
// reads it: its bytes are the cells, the spaces between them and the line endings, and no cell
// holds an LF, so the text's tokens are exactly its cells' tokens (a CR before an LF is a plain
// byte) and a forbidden byte can only be in a cell. A numeric cell is a sign, digits, a point
// and an exponent marker; a template cell holds digit runs between its text parts: either one,
// when not empty, holds a digit, and when its bytes hold no space, LF or forbidden byte it is
// one token. A dictionary's entries are counted once each, as often as cells choose them (an
// entry no cell chooses is in no text); other cells are read one by one.
//
// This one is for a dictionary column, of which uses tells how many cells choose each entry.
void add_entry_tokens(const DecodedColumn& column, const std::vector<std::uint64_t>& uses, LogTokenCount& count) {
  for (std::uint64_t e = 0; e < uses.size(); ++e) {
    if (uses[e] == 0) continue;
    LogTokenCount one;
    count_log_tokens(column.entry(e), one);
    count.tokens += uses[e] * one.tokens;
    count.digit_tokens += uses[e] * one.digit_tokens;
    count.forbidden = count.forbidden || one.forbidden;
  }
}

// The same for a column of any other kind.
void add_column_tokens(const DecodedColumn& column, ColumnKind kind, LogTokenCount& count) {
  const bool numeric = kind == kColumnNumeric;
  const bool one_token_a_cell = numeric || holds_no_space_nor_forbidden_byte(column.all_bytes());
  if (one_token_a_cell && (numeric || kind == kColumnTemplate || kind == kColumnTemplateSlots)) {
    count.tokens += column.size();
    count.digit_tokens += column.size() - column.empty_cells();
    return;
  }
  DecodedColumn::Reader reader = column.reader();
  if (one_token_a_cell) {
    count.tokens += column.size();
    for (std::uint64_t r = 0; r < column.size(); ++r) {
      const std::string_view cell = reader.next();
      count.digit_tokens += std::any_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    return;
  }
  for (std::uint64_t r = 0; r < column.size(); ++r) count_log_tokens(reader.next(), count);
}

// Bytes that make a cell more than one token, or a forbidden one, or end its line: a cell of
// none of them is one token.
std::string log_looked_at_bytes() {
  std::string bytes = " \x7F";
  for (int c = 0; c < ' '; ++c) {
    if (c != '\t' && c != '\r') bytes.push_back(static_cast<char>(c));
  }
  return bytes;
}

// Checks that no cell of a column ends its line early (or splits it, but for the last field)
// and adds their tokens to count, reading the cells a range at a time when they must be read.
void look_at_log_cells(ColumnSource& source, ColumnKind kind, bool last_field, LogTokenCount& count,
                       DecodedColumn& cells) {
  static const std::string looked_at = log_looked_at_bytes();
  if ((kind == kColumnNumeric || kind == kColumnTemplate || kind == kColumnTemplateSlots) &&
      !source.may_hold(looked_at)) {
    // One token a cell, with a digit unless empty.
    count.tokens += source.size();
    count.digit_tokens += source.size() - source.empty_cells();
    return;
  }
  const std::uint64_t range = range_rows(source.size(), source.total_bytes());
  cells.clear();
  for (std::uint64_t done = 0; done < source.size(); done += range) {
    cells.clear_cells();
    source.read(std::min(range, source.size() - done), cells);
    if (cells.entry_count() == 0) {
      // The cells lie back to back: one look at all of them.
      if (find_log_field_separator(cells.all_bytes(), last_field)) throw Error(kInvalidLogField);
      add_column_tokens(cells, kind, count);
      continue;
    }
    // A dictionary's entries need not all be chosen: only the chosen ones count, once each.
    const std::vector<std::uint64_t> uses = cells.entry_uses();
    for (std::uint64_t e = 0; e < uses.size(); ++e) {
      if (uses[e] != 0 && find_log_field_separator(cells.entry(e), last_field)) throw Error(kInvalidLogField);
    }
    add_entry_tokens(cells, uses, count);
  }
  source.rewind();
}

// The line groups of a log: how many fields each has and where its columns start.
struct LogGroups {
  std::vector<std::uint64_t> field_counts;
  std::vector<std::size_t> first_column;
  std::vector<std::uint8_t> group_of_line;  // empty: every line is in group 0
};

// Opens the columns of every group, in group order, field after field, adding their bytes to
// total and their tokens to tokens. Each column may use only the room the others left, so
// together they never hold more than the limit. Throws Error.
std::vector<std::unique_ptr<ColumnSource>> open_log_columns(ByteCursor& in, const LogGroups& groups,
                                                            const std::vector<std::uint64_t>& sizes, std::uint64_t n,
                                                            std::uint64_t limit, std::uint64_t& total,
                                                            MagnitudeBudget& budget, LogTokenCount& tokens) {
  std::vector<std::unique_ptr<ColumnSource>> columns;
  DecodedColumn cells;  // one range of a column's cells
  for (std::size_t k = 0; k < groups.field_counts.size(); ++k) {
    const std::uint64_t f = groups.field_counts[k];
    for (std::uint64_t j = 0; j < f; ++j) {
      const std::uint8_t kind = cursor_take_byte(in);
      if (kind > kColumnKindMask) throw Error(kInvalidLogColumnKind);
      std::unique_ptr<ColumnSource> column = open_table_column(in, kind, sizes[k], limit, limit - total, budget);
      look_at_log_cells(*column, kind, j == n && f == n + 1, tokens, cells);
      total = saturating_add(total, column->total_bytes());
      if (total > limit) throw output_limit_error();
      columns.push_back(std::move(column));
    }
  }
  return columns;
}

// Writes count lines, from line first on, of the ranges in cells (which hold every group's
// cells of those lines) into text.
void write_log_lines(TextBuffer& text, std::vector<DecodedColumn>& cells, const LogGroups& groups,
                     const std::vector<std::uint64_t>& group_lines, std::uint64_t first, std::uint64_t count,
                     bool crlf) {
  // The range's exact size, and no more room a line than the cell bounds of its group give.
  const std::uint64_t ending_size = crlf ? 2 : 1;
  std::uint64_t size = (count - (first == 0 ? 1 : 0)) * ending_size;
  std::uint64_t line_bound = 0;
  std::vector<DecodedColumn::Reader> readers;
  for (std::size_t k = 0; k < groups.field_counts.size(); ++k) {
    size += group_lines[k] * (groups.field_counts[k] - 1);
    std::uint64_t bound = ending_size + groups.field_counts[k] - 1;
    for (std::uint64_t j = 0; j < groups.field_counts[k]; ++j) {
      const DecodedColumn& column = cells[readers.size()];
      size += column.total_bytes();
      bound = saturating_add(bound, column.cell_bound());
      readers.push_back(column.reader());
    }
    line_bound = std::max(line_bound, bound);
  }
  RecordWriter records(text, size, line_bound);
  char* p = records.start();
  for (std::uint64_t i = first; i < first + count; ++i) {
    if (p > records.stop()) p = records.next_piece(p);
    if (i > 0) {
      if (crlf) *p++ = '\r';
      *p++ = '\n';
    }
    const std::size_t k = groups.group_of_line.empty() ? 0 : groups.group_of_line[i];
    // Held apart from the vectors: a byte written could otherwise be one of theirs, as far as
    // the compiler knows, which would then be read again after every cell.
    DecodedColumn::Reader* field = readers.data() + groups.first_column[k];
    DecodedColumn::Reader* const last = field + groups.field_counts[k];
    p = field->copy_next(p);
    while (++field != last) {
      *p++ = ' ';
      p = field->copy_next(p);
    }
  }
  records.finish(p);
}

// The decoded text of size bytes, a range of lines after another, into text: with a sink a
// piece at a time. The line groups' columns lie in group order, field after field.
void write_log_text(TextBuffer& text, std::uint64_t size, const std::vector<std::unique_ptr<ColumnSource>>& columns,
                    const LogGroups& groups, std::uint64_t lines, bool crlf, bool final_newline) {
  const std::uint64_t range = range_rows(lines, size);
  std::vector<DecodedColumn> cells(columns.size());
  std::vector<std::uint64_t> group_lines(groups.field_counts.size());
  for (std::uint64_t done = 0; done < lines;) {
    const std::uint64_t count = std::min(range, lines - done);
    std::fill(group_lines.begin(), group_lines.end(), 0);
    if (groups.group_of_line.empty()) {
      group_lines[0] = count;
    } else {
      for (std::uint64_t i = done; i < done + count; ++i) ++group_lines[groups.group_of_line[i]];
    }
    for (std::size_t k = 0; k < group_lines.size(); ++k) {
      for (std::uint64_t j = 0; j < groups.field_counts[k]; ++j) {
        const std::size_t c = groups.first_column[k] + j;
        cells[c].clear_cells();
        columns[c]->read(group_lines[k], cells[c]);
      }
    }
    if (done > 0) text.hand_on_whole_pieces();
    write_log_lines(text, cells, groups, group_lines, done, count, crlf);
    done += count;
  }
  if (final_newline) text.append(crlf ? "\r\n" : "\n");
}

// The text of a payload, whole, or through sink (then the buffer returned is empty).
ByteBuffer decode_log(std::string_view payload, std::uint64_t limit, OutputSink* sink) {
  if (payload.empty()) throw Error(kTruncatedLog);
  const auto flags = static_cast<std::uint8_t>(payload[0]);
  if (flags >= 4) throw Error(kInvalidLogFlags);
  const bool final_newline = (flags & kLogFinalLineEnding) != 0;
  const bool crlf = (flags & kLogCrLf) != 0;
  ByteCursor cursor{payload, 1};
  const std::uint64_t lines = cursor_read_varint_u64(cursor);
  // L lines need L - 1 line endings.
  if (lines == 0 || lines - 1 > limit) throw Error(kInvalidLogSize);

  ByteBuffer body = inflate_limited(payload.substr(cursor.pos), inner_body_limit(limit), false);
  ByteCursor in{body};
  const std::uint64_t n = cursor_read_varint_u64(in);
  const std::uint64_t g = cursor_read_varint_u64(in);
  if (n > kMaxLogFieldCount || g == 0 || g > lines || g > n + 1) throw Error(kInvalidLogGroups);
  LogGroups groups;
  std::array<bool, kMaxLogGroups + 1> seen{};
  for (std::uint64_t k = 0; k < g; ++k) {
    const std::uint64_t f = cursor_read_varint_u64(in);
    if (f == 0 || f > n + 1 || seen[f]) throw Error(kInvalidLogGroup);
    seen[f] = true;
    groups.first_column.push_back(k == 0 ? 0 : groups.first_column.back() + groups.field_counts.back());
    groups.field_counts.push_back(f);
  }

  MagnitudeBudget budget(limit);
  std::vector<std::uint64_t> sizes(g, 0);
  if (g == 1) {
    sizes[0] = lines;
  } else {
    groups.group_of_line = read_group_numbers(in, lines, g, sizes, budget);
  }
  // Every line but the last ends with a line ending, and a line of F fields holds F - 1 spaces.
  std::uint64_t total = lines - 1;
  for (std::uint64_t k = 0; k < g; ++k) {
    if (sizes[k] == 0) throw Error(kInvalidLogGroups);
    total = saturating_add(total, saturating_mul(groups.field_counts[k] - 1, sizes[k]));
  }
  if (total > limit) throw Error(kInvalidLogGroups);

  LogTokenCount tokens;
  const std::vector<std::unique_ptr<ColumnSource>> columns =
      open_log_columns(in, groups, sizes, n, limit, total, budget, tokens);
  if (!in.at_end()) throw Error(kTrailingLogData);

  // The exact size of the text: the fields and spaces weighed so far, the LF of a final line
  // ending, and a CR before every LF of a CR LF log.
  const std::uint64_t endings = lines - 1 + (final_newline ? 1 : 0);
  const std::uint64_t size = saturating_add(saturating_add(total, final_newline ? 1 : 0), crlf ? endings : 0);
  if (size > limit) throw output_limit_error();

  // Every byte of the text has been weighed: size is its exact length, within the limit.
  const auto write_text = [&](TextBuffer& text) {
    write_log_text(text, size, columns, groups, lines, crlf, final_newline);
  };
  const auto reads_as_written = [&](const TextBuffer& text) {
    return final_newline || text.size() == 0 || text.data()[text.size() - 1] != '\n';
  };
  // A text that ends in LF without a final line ending (its last line empty) reads back with
  // one line fewer and a final line ending, so its cells' tokens no longer tell: it is read
  // again as a whole, and a streamed one is made again in memory.
  return write_checked_text(
      {limit, size, sink, true, kRecordPiece},
      [&](TextBuffer& text) {
        write_text(text);
        if (!reads_as_written(text)) return false;
        if (!counts_make_a_log(lines, tokens)) throw Error(kNotALog);
        return true;
      },
      [](const ByteBuffer& whole) {
        if (!is_log_text(whole.view())) throw Error(kNotALog);
      },
      [&] {
        for (const auto& column : columns) column->rewind();
      });
}

}  // namespace

ByteBuffer decode_log_payload(std::string_view payload, std::uint64_t limit) { return decode_log(payload, limit, nullptr); }

void stream_log_payload(std::string_view payload, std::uint64_t limit, OutputSink& out) {
  decode_log(payload, limit, &out);
}

}  // namespace corvale
