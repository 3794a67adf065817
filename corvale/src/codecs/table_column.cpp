#include "codecs/table_column.h"

#include <cstring>
#include <limits>
#include <utility>

#include "codecs/error.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) { return a > kMaxU64 - b ? kMaxU64 : a + b; }

// Up to this many texts an index is one byte; beyond, a varint.
constexpr std::uint64_t kByteIndexTexts = 256;

void write_bytes(std::string_view bytes, std::string& out) {
  write_varint_u64(bytes.size(), out);
  out += bytes;
}

void write_index(std::uint64_t index, std::uint64_t texts, std::string& out) {
  if (texts <= kByteIndexTexts) {
    out.push_back(static_cast<char>(index));
  } else {
    write_varint_u64(index, out);
  }
}

std::uint64_t read_index(ByteCursor& cursor, std::uint64_t texts) {
  return texts <= kByteIndexTexts ? cursor_take_byte(cursor) : cursor_read_varint_u64(cursor);
}

// Dense numbers for distinct texts, in order of first appearance: open addressing over 32-bit
// slots, so a column of a million distinct cells needs a few bytes a cell, not a node each.
class TextIndex {
 public:
  // The number of text: an old one, or the next when text is new.
  std::uint32_t find_or_add(std::string_view text) {
    if (2 * (texts_.size() + 1) > slots_.size()) grow();
    const std::uint64_t h = hash(text);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      const std::uint32_t slot = slots_[i];
      if (slot == 0) {
        texts_.push_back(text);
        slots_[i] = static_cast<std::uint32_t>(texts_.size());
        return slot_number(slots_[i]);
      }
      if (texts_[slot - 1] == text) return slot_number(slot);
    }
  }
  const std::vector<std::string_view>& texts() const { return texts_; }

 private:
  static std::uint32_t slot_number(std::uint32_t slot) { return slot - 1; }

  static std::uint64_t hash(std::string_view s) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      h = (h ^ w) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, s.data() + i, s.size() - i);
    h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
  }

  void grow() {
    const std::size_t size = slots_.empty() ? 64 : slots_.size() * 2;
    slots_.assign(size, 0);
    mask_ = size - 1;
    for (std::size_t t = 0; t < texts_.size(); ++t) {
      std::size_t i = hash(texts_[t]) & mask_;
      while (slots_[i] != 0) i = (i + 1) & mask_;
      slots_[i] = static_cast<std::uint32_t>(t + 1);
    }
  }

  std::vector<std::uint32_t> slots_;  // 0 empty, else a text's number plus one
  std::vector<std::string_view> texts_;
  std::size_t mask_ = 0;
};

// The smallest candidate so far by its fast-deflate size, and the buffer the next one is built
// in; an equal size keeps the earlier candidate.
struct BestColumn {
  std::string bytes;
  std::uint64_t size = 0;
  bool found = false;
  std::string scratch;

  void offer() {
    const std::uint64_t candidate_size = deflate_compress_fast(scratch);
    if (!found || candidate_size < size) {
      found = true;
      size = candidate_size;
      bytes.swap(scratch);
    }
    scratch.clear();
  }
};

void build_dictionary_candidate(const std::vector<std::string_view>& cells, std::string& out) {
  TextIndex index;
  std::vector<std::uint32_t> numbers(cells.size());
  for (std::size_t r = 0; r < cells.size(); ++r) numbers[r] = index.find_or_add(cells[r]);
  const std::uint64_t k = index.texts().size();
  out.push_back(static_cast<char>(kColumnDictionary));
  write_varint_u64(k, out);
  for (std::string_view entry : index.texts()) write_bytes(entry, out);
  for (std::uint32_t number : numbers) write_index(number, k, out);
}

void build_raw_candidate(const std::vector<std::string_view>& cells, std::string& out) {
  out.push_back(static_cast<char>(kColumnRaw));
  for (std::string_view cell : cells) write_bytes(cell, out);
}

DecodedColumn decode_dictionary(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit) {
  const std::uint64_t k = cursor_read_varint_u64(cursor);
  if (k == 0 || k > rows) throw Error(kInvalidDictionarySize);
  DecodedColumn column;
  // Each entry takes at least its length byte, so the body bounds how many there can be.
  for (std::uint64_t e = 0; e < k; ++e) {
    const std::uint64_t length = cursor_read_varint_u64(cursor);
    column.add_entry(cursor_take_bytes(cursor, length));
  }
  // The cells are weighed as their indices arrive and never copied: a long entry chosen by
  // every row fails here, before it costs anything.
  std::uint64_t total = 0;
  for (std::uint64_t r = 0; r < rows; ++r) {
    const std::uint64_t index = read_index(cursor, k);
    if (index >= k) throw Error(kInvalidDictionaryIndex);
    total = saturating_add(total, column.entry_length(index));
    if (total > limit) throw output_limit_error();
    column.append_entry_index(index);
  }
  return column;
}

DecodedColumn decode_raw(ByteCursor& cursor, std::uint64_t rows, std::uint64_t limit) {
  DecodedColumn column;
  std::uint64_t room = limit;
  for (std::uint64_t r = 0; r < rows; ++r) {
    const std::uint64_t length = cursor_read_varint_u64(cursor);
    const std::string_view cell = cursor_take_bytes(cursor, length);
    if (cell.size() > room) throw output_limit_error();
    room -= cell.size();
    column.append(cell);
  }
  return column;
}

}  // namespace

void write_position_list(const PositionList& positions, std::string& out) {
  write_varint_u64(positions.size(), out);
  std::uint64_t previous = 0;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    write_varint_u64(i == 0 ? positions[0] : positions[i] - previous, out);
    previous = positions[i];
  }
}

PositionList read_position_list(ByteCursor& cursor, std::uint64_t limit) {
  const std::uint64_t count = cursor_read_varint_u64(cursor);
  PositionList positions;
  if (count == 0) return positions;
  std::uint64_t position = cursor_read_varint_u64(cursor);
  if (position >= limit) throw Error(kInvalidPosition);
  positions.push_back(position);
  for (std::uint64_t i = 1; i < count; ++i) {
    const std::uint64_t gap = cursor_read_varint_u64(cursor);
    if (gap == 0) throw Error(kRepeatedPosition);
    position = saturating_add(position, gap);
    if (position >= limit) throw Error(kInvalidPosition);
    positions.push_back(position);
  }
  return positions;
}

std::string_view DecodedColumn::Reader::next() {
  const auto* s = reinterpret_cast<const unsigned char*>(column_->stream_.data());
  // The stream was written by this class: canonical varints of at most 64 bits.
  std::uint64_t v = 0;
  for (unsigned shift = 0;; shift += 7) {
    const unsigned char b = s[stream_pos_++];
    v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) break;
  }
  if (!column_->entries_.empty()) {
    const auto& entry = column_->entries_[v];
    return std::string_view(column_->bytes_).substr(entry.first, entry.second);
  }
  const std::string_view cell = std::string_view(column_->bytes_).substr(byte_pos_, v);
  byte_pos_ += v;
  return cell;
}

void DecodedColumn::append(std::string_view cell) {
  const std::size_t start = bytes_.size();
  bytes_ += cell;
  close_cell(start);
}

void DecodedColumn::close_cell(std::size_t start) {
  const std::uint64_t length = bytes_.size() - start;
  write_varint_u64(length, stream_);
  total_ += length;
  ++count_;
}

void DecodedColumn::add_entry(std::string_view entry) {
  entries_.emplace_back(bytes_.size(), entry.size());
  bytes_ += entry;
}

void DecodedColumn::append_entry_index(std::uint64_t index) {
  write_varint_u64(index, stream_);
  total_ += entries_[index].second;
  ++count_;
}

std::string encode_table_column(const std::vector<std::string_view>& cells) {
  return encode_table_column(cells, classify_table_column(cells));
}

std::string encode_table_column(const std::vector<std::string_view>& cells, ColumnClass column_class) {
  BestColumn best;
  // NOT YET: the candidate of the column's class (numeric, template, template with text slots)
  // comes first, once the number columns it stores its digits in have landed.
  (void)column_class;
  build_dictionary_candidate(cells, best.scratch);
  best.offer();
  build_raw_candidate(cells, best.scratch);
  best.offer();
  return std::move(best.bytes);
}

DecodedColumn decode_table_column(ByteCursor& cursor, ColumnKind kind, std::uint64_t rows, std::uint64_t limit) {
  switch (kind) {
    case kColumnDictionary:
      return decode_dictionary(cursor, rows, limit);
    case kColumnRaw:
      return decode_raw(cursor, rows, limit);
    case kColumnNumeric:
    case kColumnTemplate:
    case kColumnTemplateSlots:
      // NOT YET: the numeric and template readers land with the number columns.
      throw Error("Column kind " + std::to_string(kind) + " is not supported by this version yet");
    default:
      throw Error(kInvalidColumnKind);
  }
}

}  // namespace corvale
