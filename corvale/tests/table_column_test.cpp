#include "codecs/table_column.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/varint.h"
#include "codecs/zlib.h"
#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

// ---- A test-side writer of column bodies ----

std::string varint(std::uint64_t v) {
  std::string out;
  write_varint_u64(v, out);
  return out;
}

std::string text_bytes(std::string_view s) { return varint(s.size()) + std::string(s); }

std::string dictionary_body(const std::vector<std::string>& entries, const std::vector<std::uint64_t>& indices) {
  std::string out(1, static_cast<char>(kColumnDictionary));
  out += varint(entries.size());
  for (const std::string& e : entries) out += text_bytes(e);
  for (std::uint64_t i : indices) out += entries.size() <= 256 ? std::string(1, static_cast<char>(i)) : varint(i);
  return out;
}

std::string raw_body(const std::vector<std::string_view>& cells) {
  std::string out(1, static_cast<char>(kColumnRaw));
  for (std::string_view c : cells) out += text_bytes(c);
  return out;
}

std::vector<std::string> read_all(const DecodedColumn& column) {
  std::vector<std::string> out;
  DecodedColumn::Reader reader = column.reader();
  for (std::uint64_t i = 0; i < column.size(); ++i) out.emplace_back(reader.next());
  return out;
}

// Decodes an encoded column (kind byte first) and checks that it used every byte.
std::vector<std::string> decode_column(const std::string& encoded, std::uint64_t rows, std::uint64_t limit = 1 << 20) {
  ByteCursor cursor{encoded, 1};
  const DecodedColumn column = decode_table_column(cursor, static_cast<std::uint8_t>(encoded[0]), rows, limit);
  EXPECT_TRUE(cursor.at_end());
  return read_all(column);
}

std::vector<std::string> strings(const std::vector<std::string_view>& cells) {
  return std::vector<std::string>(cells.begin(), cells.end());
}

// Distinct texts without digits, so that only the dictionary and the raw copy compete.
std::string letters(std::size_t i) {
  std::string s;
  do {
    s.push_back(static_cast<char>('a' + i % 26));
    i /= 26;
  } while (i > 0);
  return s;
}

// ---- Position lists ----

TEST(PositionList, WritesGapsAndReadsThemBack) {
  for (const PositionList& list : {PositionList{}, PositionList{0}, PositionList{3, 4, 10}, PositionList{~0ull - 1}}) {
    std::string bytes;
    write_position_list(list, bytes);
    ByteCursor cursor{bytes};
    EXPECT_EQ(read_position_list(cursor, ~0ull), list);
    EXPECT_TRUE(cursor.at_end());
  }
  std::string bytes;
  write_position_list({3, 4, 10}, bytes);
  EXPECT_EQ(bytes, corvale::bytes({3, 3, 1, 6}));
}

TEST(PositionList, RefusesRepeatsAndPositionsAtTheLimit) {
  struct BadList {
    std::string bytes;
    std::uint64_t limit;
    const char* message;
  };
  const BadList cases[] = {
      {bytes({2, 1, 0}), 5, "Repeated position"},
      {bytes({1, 5}), 5, "Invalid position"},
      {bytes({2, 4, 1}), 5, "Invalid position"},
      {bytes({2, 1}) + varint(~0ull), ~0ull, "Invalid position"},  // the sum saturates
      {bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0}), 5, "Truncated number list"},  // a count never trusted
      {bytes({1}), 5, "Truncated number list"},
  };
  for (const BadList& c : cases) {
    ByteCursor cursor{c.bytes};
    EXPECT_ERROR(read_position_list(cursor, c.limit), c.message);
  }
  std::string ok = bytes({1, 4});
  ByteCursor cursor{ok};
  EXPECT_EQ(read_position_list(cursor, 5), PositionList{4});
}

// ---- Dictionary and raw columns ----

TEST(DictionaryColumn, IndexWidthFollowsTheNumberOfEntries) {
  for (std::size_t k : {256u, 257u}) {
    SCOPED_TRACE(k);
    // Long entries, so that the dictionary wins over the raw copy.
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < k; ++i) entries.push_back(letters(i) + std::string(40, '-'));
    // Every entry eight times, first appearances in order, the rest shuffled.
    std::vector<std::uint64_t> indices;
    for (std::size_t i = 0; i < k; ++i) indices.push_back(i);
    std::vector<std::uint64_t> repeats;
    for (int r = 0; r < 7; ++r) {
      for (std::size_t i = 0; i < k; ++i) repeats.push_back(i);
    }
    std::shuffle(repeats.begin(), repeats.end(), std::mt19937(7));
    indices.insert(indices.end(), repeats.begin(), repeats.end());
    std::vector<std::string_view> cells;
    for (std::uint64_t i : indices) cells.push_back(entries[i]);

    const std::string encoded = encode_table_column(cells);
    EXPECT_TRUE(encoded == dictionary_body(entries, indices));
    EXPECT_EQ(decode_column(encoded, cells.size()), strings(cells));
  }
}

TEST(DictionaryColumn, AllEmptyCellsOrRawCopy) {
  const std::vector<std::string_view> empty(5, "");
  EXPECT_EQ(decode_column(encode_table_column(empty), 5), strings(empty));
  EXPECT_EQ(classify_table_column(empty), ColumnClass::Unusable);

  std::vector<std::string> distinct;
  std::mt19937 rng(3);
  for (int i = 0; i < 200; ++i) {
    std::string s;
    for (int j = 0; j < 12; ++j) s.push_back(static_cast<char>('a' + rng() % 26));
    distinct.push_back(s);
  }
  const std::vector<std::string_view> cells(distinct.begin(), distinct.end());
  const std::string encoded = encode_table_column(cells);
  EXPECT_EQ(encoded, raw_body(cells));
  EXPECT_EQ(decode_column(encoded, cells.size()), distinct);
}

TEST(TableColumn, KeepsTheFirstOfEquallySmallCandidates) {
  // Small columns, many of whose candidates deflate to the same size: the choice must be the
  // first candidate no later one beats strictly.
  std::mt19937 rng(11);
  int ties = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> texts;
    const int rows = 1 + static_cast<int>(rng() % 6);
    for (int r = 0; r < rows; ++r) texts.push_back(std::string(rng() % 3, static_cast<char>('a' + rng() % 2)));
    const std::vector<std::string_view> cells(texts.begin(), texts.end());
    std::vector<std::string> entries;
    std::vector<std::uint64_t> indices;
    for (const std::string& t : texts) {
      auto it = std::find(entries.begin(), entries.end(), t);
      if (it == entries.end()) it = entries.insert(entries.end(), t);
      indices.push_back(static_cast<std::uint64_t>(it - entries.begin()));
    }
    const std::string dictionary = dictionary_body(entries, indices);
    const std::string raw = raw_body(cells);
    const std::uint64_t dictionary_size = deflate_compress_fast(dictionary);
    const std::uint64_t raw_size = deflate_compress_fast(raw);
    ties += dictionary_size == raw_size;
    EXPECT_EQ(encode_table_column(cells), raw_size < dictionary_size ? raw : dictionary);
  }
  EXPECT_GT(ties, 0);
}

TEST(TableColumn, DecoderMessages) {
  struct BadColumn {
    const char* name;
    std::string body;  // kind byte first
    std::uint64_t rows;
    std::uint64_t limit;
    const char* message;
  };
  const BadColumn cases[] = {
      {"kind 5", bytes({5}), 1, 100, "Invalid column kind"},
      {"kind 15", bytes({15}), 1, 100, "Invalid column kind"},
      {"dictionary of 0", dictionary_body({}, {}), 2, 100, "Invalid dictionary size"},
      {"dictionary of rows + 1", dictionary_body({"a", "b", "c"}, {0, 1}), 2, 100, "Invalid dictionary size"},
      {"index equal to the size", dictionary_body({"a", "b"}, {0, 2}), 2, 100, "Invalid dictionary index"},
      {"wide index equal to the size", bytes({2}) + varint(257) + std::string(257, '\0') + varint(257), 300, 100,
       "Invalid dictionary index"},
      {"entry past the body", bytes({2, 1, 5, 'a'}), 1, 100, "Truncated number list"},
      {"indices missing", dictionary_body({"a"}, {0}), 2, 100, "Truncated number list"},
      {"dictionary past the limit", dictionary_body({"abc"}, {0, 0, 0, 0}), 4, 11, "Output exceeds decompression limit"},
      {"raw cell past the body", bytes({3, 3, 'a'}), 1, 100, "Truncated number list"},
      {"raw past the limit", raw_body({"abc", "de"}), 2, 4, "Output exceeds decompression limit"},
  };
  for (const BadColumn& c : cases) {
    SCOPED_TRACE(c.name);
    ByteCursor cursor{c.body, 1};
    EXPECT_ERROR(decode_table_column(cursor, static_cast<std::uint8_t>(c.body[0]), c.rows, c.limit), c.message);
  }
  // Exactly at the limit is allowed.
  EXPECT_EQ(decode_column(dictionary_body({"abc"}, {0, 0, 0, 0}), 4, 12), std::vector<std::string>(4, "abc"));
  EXPECT_EQ(decode_column(raw_body({"abc", "de"}), 2, 5), (std::vector<std::string>{"abc", "de"}));
}

}  // namespace
}  // namespace corvale
