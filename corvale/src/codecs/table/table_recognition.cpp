#include "codecs/table/table_recognition.h"

#include <array>
#include <cstring>
#include <limits>
#include <utility>

namespace corvale {

namespace {

constexpr char kQuote = '"';
// The separators in the order they are tried: on equal column counts the earlier one stays.
constexpr std::array<char, 4> kSeparators = {',', ';', '\t', '|'};

}  // namespace

unsigned score_table_columns(const std::vector<ColumnClass>& classes) {
  unsigned sum = 0;
  for (ColumnClass c : classes) sum += column_class_score(c);
  return sum;
}

namespace {

// ---- The grammar of text with quotes ----

struct DelimitedWalk {
  std::size_t first_record_end = 0;
  std::uint64_t records = 0;
  bool final_line_ending = false;
  bool crlf = false;
};

enum class WalkResult { Done, Invalid, Stopped };

// Walks text field by field. on_field(content, quoted, doubled, offset) receives a field's bytes
// (a quoted field's content between its quotes, doubled quotes not yet made single; offset is
// where that content starts in text); on_record_end() follows each record's last field. Either
// returns false to stop the walk.
template <class OnField, class OnRecordEnd>
WalkResult walk_delimited(std::string_view text, char separator, DelimitedWalk& walk, OnField&& on_field,
                          OnRecordEnd&& on_record_end) {
  const std::size_t n = text.size();
  const char* data = text.data();
  int kind = -1;  // 0 LF, 1 CR LF, -1 not seen yet
  std::size_t p = 0;
  for (;;) {
    // One field at p.
    bool closed = false;
    if (p < n && data[p] == kQuote) {
      bool doubled = false;
      std::size_t q = p + 1;
      for (;;) {
        const void* hit = q < n ? std::memchr(data + q, kQuote, n - q) : nullptr;
        if (hit == nullptr) break;
        q = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (q + 1 == n) {
          closed = true;
          break;
        }
        const char after = data[q + 1];
        if (after == separator || after == '\n' || after == '\r') {
          closed = true;
          break;
        }
        if (after != kQuote) break;
        doubled = true;
        q += 2;
        if (q == n) break;  // a pair ending the text leaves the field open
      }
      if (closed) {
        if (!on_field(text.substr(p + 1, q - p - 1), true, doubled, p + 1)) return WalkResult::Stopped;
        p = q + 1;
      }
    }
    if (!closed) {
      std::size_t e = p;
      while (e < n && data[e] != separator && data[e] != '\n' && data[e] != '\r') ++e;
      if (!on_field(text.substr(p, e - p), false, false, p)) return WalkResult::Stopped;
      p = e;
    }

    // What follows the field.
    if (p < n && data[p] == separator) {
      ++p;
      continue;
    }
    if (walk.records == 0) walk.first_record_end = p;
    ++walk.records;
    if (!on_record_end()) return WalkResult::Stopped;
    if (p == n) break;
    int ending;
    if (data[p] == '\n') {
      ending = 0;
    } else if (p + 1 < n && data[p + 1] == '\n') {
      ending = 1;
    } else {
      return WalkResult::Invalid;  // a CR without its LF
    }
    if (kind < 0) {
      kind = ending;
    } else if (kind != ending) {
      return WalkResult::Invalid;
    }
    p += ending == 1 ? 2 : 1;
    if (p == n) {
      walk.final_line_ending = true;
      break;
    }
  }
  walk.crlf = kind == 1;
  return WalkResult::Done;
}

std::string unescape_quotes(std::string_view content) {
  std::string out;
  out.reserve(content.size());
  for (std::size_t i = 0; i < content.size(); ++i) {
    out.push_back(content[i]);
    if (content[i] == kQuote) ++i;  // the second of a pair
  }
  return out;
}

// ---- The plain road: no quote anywhere ----

struct PlainShape {
  char separator;
  bool crlf;
  bool final_newline;
  std::size_t lines;
  std::size_t columns;
};

// Calls on_line(line) for every line of body (the text without its final LF) with the CR of a
// CR LF ending cut; false when the CR rules fail or on_line returns false.
template <class OnLine>
bool walk_plain_lines(std::string_view body, bool crlf, bool final_newline, OnLine&& on_line) {
  // A text with LF endings rarely holds a CR at all: one search over it spares one a line.
  const bool any_cr = crlf || std::memchr(body.data(), '\r', body.size()) != nullptr;
  std::size_t start = 0;
  for (;;) {
    const void* lf = std::memchr(body.data() + start, '\n', body.size() - start);
    const bool last = lf == nullptr;
    const std::size_t end = last ? body.size() : static_cast<std::size_t>(static_cast<const char*>(lf) - body.data());
    std::string_view line = body.substr(start, end - start);
    if (crlf) {
      const bool has_cr = !line.empty() && line.back() == '\r';
      if (!last ? !has_cr : (line.empty() || has_cr != final_newline)) return false;
      if (has_cr) line.remove_suffix(1);
    }
    if (any_cr && std::memchr(line.data(), '\r', line.size()) != nullptr) return false;
    if (!on_line(line)) return false;
    if (last) return true;
    start = end + 1;
  }
}

std::optional<PlainShape> find_plain_shape(std::string_view text) {
  PlainShape shape{};
  shape.final_newline = !text.empty() && text.back() == '\n';
  const std::string_view body = shape.final_newline ? text.substr(0, text.size() - 1) : text;
  const void* first_lf = std::memchr(body.data(), '\n', body.size());
  if (first_lf == nullptr) return std::nullopt;  // fewer than two lines
  const std::size_t first_len = static_cast<std::size_t>(static_cast<const char*>(first_lf) - body.data());
  shape.crlf = first_len > 0 && body[first_len - 1] == '\r';

  std::array<std::int8_t, 256> index{};
  index.fill(-1);
  for (std::size_t s = 0; s < kSeparators.size(); ++s) index[static_cast<unsigned char>(kSeparators[s])] = static_cast<std::int8_t>(s);

  std::array<std::size_t, 4> first_counts{};
  unsigned alive = 0;  // bit s: separator s still gives every line the first line's count
  auto on_line = [&](std::string_view line) {
    if (shape.lines++ == 0) {
      for (char c : line) {
        const int s = index[static_cast<unsigned char>(c)];
        if (s >= 0) ++first_counts[static_cast<std::size_t>(s)];
      }
      for (std::size_t s = 0; s < 4; ++s) {
        if (first_counts[s] >= kMinTableColumns - 1 && first_counts[s] <= kMaxTableColumns - 1) alive |= 1u << s;
      }
      return alive != 0;
    }
    // Only the separators still alive are counted, each in a loop of its own that the compiler
    // vectorises: usually one of them is left after the first line.
    for (std::size_t s = 0; s < 4; ++s) {
      if ((alive >> s & 1) == 0) continue;
      const char separator = kSeparators[s];
      std::size_t count = 0;
      for (char c : line) count += c == separator;
      if (count != first_counts[s]) alive &= ~(1u << s);
    }
    return alive != 0;
  };
  if (!walk_plain_lines(body, shape.crlf, shape.final_newline, on_line)) return std::nullopt;

  std::size_t best = 0;
  for (std::size_t s = 0; s < 4; ++s) {
    if ((alive >> s & 1) && first_counts[s] > best) {
      best = first_counts[s];
      shape.separator = kSeparators[s];
    }
  }
  shape.columns = best + 1;
  return shape;
}

// ---- The quoted road ----

struct QuotedShape {
  char separator;
  std::size_t columns;
};

std::optional<QuotedShape> find_quoted_shape(std::string_view text) {
  std::optional<QuotedShape> kept;
  for (char separator : kSeparators) {
    if (std::memchr(text.data(), separator, text.size()) == nullptr) continue;
    const std::size_t at_least = kept ? kept->columns + 1 : kMinTableColumns;
    std::size_t first_fields = 0;
    std::size_t fields = 0;
    bool first = true;
    DelimitedWalk walk;
    // Stops as soon as this separator cannot win, so a text of one endless record costs no more
    // than a walk.
    const WalkResult result = walk_delimited(
        text, separator, walk,
        [&](std::string_view, bool, bool, std::size_t) {
          return ++fields <= (first ? kMaxTableColumns : first_fields);
        },
        [&] {
          if (first) {
            first = false;
            first_fields = fields;
            fields = 0;
            return first_fields >= at_least;
          }
          const bool same = fields == first_fields;
          fields = 0;
          return same;
        });
    if (result != WalkResult::Done || walk.records < 2) continue;
    kept = QuotedShape{separator, first_fields};
  }
  return kept;
}

}  // namespace

// Receives the cells of the chosen shape one by one, classifies them and, for detect_table on
// the quoted road, keeps them (a table without quotes is cut again from its text); then makes
// the header decision.
class TableBuilder {
 public:
  TableBuilder(std::string_view text, std::size_t columns, std::size_t expected_cells, bool keep_cells, bool quoted_road)
      : keep_(keep_cells && quoted_road), classifiers_(columns), first_row_(columns) {
    table_.text_ = text;
    table_.columns_ = columns;
    table_.has_quoted_ = quoted_road;
    if (keep_) {
      table_.cells_.reserve(expected_cells);
      if (quoted_road) table_.quoted_.reserve(expected_cells);
    }
  }

  // cell: the field's bytes (for a quoted field its content, doubled quotes as written);
  // offset: where they start in the text.
  void add(std::string_view cell, bool quoted, bool doubled, std::size_t offset) {
    CellRef ref{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(cell.size())};
    if (doubled) {
      if (keep_) {
        ref.offset = static_cast<std::uint32_t>(table_.text_.size() + table_.unescaped_.size());
        table_.unescaped_ += unescape_quotes(cell);
        ref.length = static_cast<std::uint32_t>(table_.unescaped_.size() - (ref.offset - table_.text_.size()));
        cell = std::string_view(table_.unescaped_).substr(ref.offset - table_.text_.size());
      } else {
        scratch_ = unescape_quotes(cell);
        cell = scratch_;
      }
    }
    if (keep_) {
      table_.cells_.push_back(ref);
      if (table_.has_quoted_) table_.quoted_.push_back(quoted ? 1 : 0);
    }
    if (table_.rows_ == 0) {
      first_row_[column_].assign(cell);
    } else {
      classifiers_[column_].add(cell);
    }
    if (++column_ == table_.columns_) {
      column_ = 0;
      ++table_.rows_;
    }
  }

  // The header decision; nothing when no column is usable with or without the first row.
  std::optional<ParsedTable> finish(std::string_view header_candidate, bool final_newline, bool crlf, char separator) {
    const std::size_t columns = table_.columns_;
    std::vector<ColumnClass> with_first(columns), without_first(columns);
    for (std::size_t c = 0; c < columns; ++c) {
      with_first[c] = classifiers_[c].result_with_first(first_row_[c]);
      without_first[c] = classifiers_[c].result();
    }
    const unsigned s_all = score_table_columns(with_first);
    const unsigned s_rest = score_table_columns(without_first);
    if (s_rest > s_all) {
      table_.header = header_candidate;
      table_.classes_ = std::move(without_first);
      --table_.rows_;
      // Every table has a second line, so a line ending follows the header.
      table_.data_start_ = static_cast<std::size_t>(header_candidate.data() - table_.text_.data()) +
                           header_candidate.size() + (crlf ? 2 : 1);
      if (keep_) {
        table_.cells_.erase(table_.cells_.begin(), table_.cells_.begin() + static_cast<std::ptrdiff_t>(columns));
        if (table_.has_quoted_) {
          table_.quoted_.erase(table_.quoted_.begin(), table_.quoted_.begin() + static_cast<std::ptrdiff_t>(columns));
        }
      }
    } else if (s_all == 0) {
      return std::nullopt;
    } else {
      table_.classes_ = std::move(with_first);
    }
    table_.final_newline = final_newline;
    table_.crlf = crlf;
    table_.separator = separator;
    return std::move(table_);
  }

 private:
  bool keep_;
  ParsedTable table_;
  std::vector<ColumnClassifier> classifiers_;  // fed every row but the first
  std::vector<std::string> first_row_;
  std::string scratch_;
  std::size_t column_ = 0;
};

namespace {

std::optional<ParsedTable> recognise_table(std::string_view text, bool keep_cells) {
  if (keep_cells && text.size() >= (std::size_t{1} << 31)) return std::nullopt;
  if (std::memchr(text.data(), kQuote, text.size()) == nullptr) {
    const std::optional<PlainShape> shape = find_plain_shape(text);
    if (!shape) return std::nullopt;
    TableBuilder builder(text, shape->columns, shape->lines * shape->columns, keep_cells, false);
    const std::string_view body = shape->final_newline ? text.substr(0, text.size() - 1) : text;
    std::string_view first_line;
    bool first = true;
    walk_plain_lines(body, shape->crlf, shape->final_newline, [&](std::string_view line) {
      if (first) first_line = line;
      first = false;
      const std::size_t base = static_cast<std::size_t>(line.data() - text.data());
      // Cells are short: a plain loop beats a library search started for each of them.
      std::size_t start = 0;
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != shape->separator) continue;
        builder.add(line.substr(start, i - start), false, false, base + start);
        start = i + 1;
      }
      builder.add(line.substr(start), false, false, base + start);
      return true;
    });
    return builder.finish(first_line, shape->final_newline, shape->crlf, shape->separator);
  }

  const std::optional<QuotedShape> shape = find_quoted_shape(text);
  if (!shape) return std::nullopt;
  // Every field but the first of a record follows a separator or a line ending: an upper bound
  // on the cells that spares the copies of a growing list.
  std::size_t fields = 1;
  if (keep_cells) {
    for (char c : text) fields += c == shape->separator || c == '\n';
  }
  TableBuilder builder(text, shape->columns, fields, keep_cells, true);
  DelimitedWalk walk;
  walk_delimited(
      text, shape->separator, walk,
      [&](std::string_view cell, bool quoted, bool doubled, std::size_t offset) {
        builder.add(cell, quoted, doubled, offset);
        return true;
      },
      [] { return true; });
  return builder.finish(text.substr(0, walk.first_record_end), walk.final_line_ending, walk.crlf, shape->separator);
}

}  // namespace

bool header_line_matches(std::string_view text, char separator, std::size_t columns) {
  std::size_t fields = 0;
  DelimitedWalk walk;
  const WalkResult result = walk_delimited(
      text, separator, walk, [&](std::string_view, bool, bool, std::size_t) { return ++fields <= columns; },
      [] { return false; });
  // The walk stops after the first record; it must also have been the whole text.
  return result == WalkResult::Stopped && fields == columns && walk.first_record_end == text.size();
}

void ParsedTable::cut_column(std::size_t column, std::vector<std::string_view>& cells) const {
  cells.resize(rows_);
  if (has_quoted_) {
    for (std::size_t r = 0; r < rows_; ++r) {
      const CellRef ref = cells_[r * columns_ + column];
      cells[r] = ref.offset < text_.size() ? text_.substr(ref.offset, ref.length)
                                           : std::string_view(unescaped_).substr(ref.offset - text_.size(), ref.length);
    }
    return;
  }
  // Recognition found every line to hold columns_ - 1 separators and no CR but that of a CR LF
  // ending: a field ends at the next separator, the last one at the line's CR, LF or the end.
  const char* const end = text_.data() + text_.size();
  const char sep = separator;
  const char* line = text_.data() + data_start_;
  for (std::size_t r = 0; r < rows_; ++r) {
    const char* p = column == 0 ? line : cells[r].data() + cells[r].size() + 1;
    const char* const start = p;
    if (column + 1 < columns_) {
      while (*p != sep) ++p;
    } else {
      while (p != end && *p != '\n' && *p != '\r') ++p;
    }
    cells[r] = std::string_view(start, static_cast<std::size_t>(p - start));
    if (column == 0 && r + 1 < rows_) {
      line = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))) + 1;
    }
  }
}

std::optional<ParsedTable> detect_table(std::string_view text) { return recognise_table(text, true); }

bool is_table(std::string_view text) { return recognise_table(text, false).has_value(); }

}  // namespace corvale
