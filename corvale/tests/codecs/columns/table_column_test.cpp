#include "codecs/columns/table_column.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/columns/column_source.h"
#include "codecs/numbers/number_column.h"
#include "core/varint.h"
#include "core/zlib.h"
#include "support/bytes.h"
#include "support/column_bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

using test::raw_column;
using test::text_bytes;
using test::varint;

// ---- A test-side writer of column bodies ----

std::string dictionary_body(const std::vector<std::string>& entries, const std::vector<std::uint64_t>& indices) {
  std::string out(1, static_cast<char>(kColumnDictionary));
  out += varint(entries.size());
  for (const std::string& e : entries) out += text_bytes(e);
  for (std::uint64_t i : indices) out += entries.size() <= 256 ? std::string(1, static_cast<char>(i)) : varint(i);
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
  MagnitudeBudget budget(limit);
  const DecodedColumn column = decode_table_column(cursor, static_cast<std::uint8_t>(encoded[0]), rows, limit, limit, budget);
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

std::string number_column(std::vector<std::int64_t> values) {
  IntegerList v(Signedness::Signed);
  for (std::int64_t x : values) v.push_word(static_cast<std::uint64_t>(x));
  return *encode_number_column(std::move(v));
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
  EXPECT_EQ(encoded, raw_column(cells));
  EXPECT_EQ(decode_column(encoded, cells.size()), distinct);
}

TEST(DictionaryColumn, NearlyEqualCellsOfEveryLengthKeepTheirOwnEntries) {
  // Texts of each length up to 40 (and a few long enough for two-byte lengths), each differing
  // from the next in one byte at another place; each new one follows a repeat of an older one.
  std::vector<std::string> entries;
  for (std::size_t n : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 40, 127, 128, 300}) {
    for (std::size_t at = 0; at < std::min<std::size_t>(n, 3); ++at) {
      for (char c : {'x', 'y'}) {
        std::string s(n, 'q');
        s[at == 0 ? 0 : at == 1 ? n / 2 : n - 1] = c;
        if (std::find(entries.begin(), entries.end(), s) == entries.end()) entries.push_back(s);
      }
    }
    if (n == 0) entries.emplace_back();
  }
  std::vector<std::uint64_t> indices;
  std::mt19937 rng(5);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) indices.push_back(rng() % i);
    indices.push_back(i);
  }
  std::vector<std::string_view> cells;
  for (std::uint64_t i : indices) cells.push_back(entries[i]);

  EXPECT_TRUE(encode_dictionary_candidate(cells) == dictionary_body(entries, indices));
  EXPECT_TRUE(encode_raw_candidate(cells) == raw_column(cells));
  EXPECT_EQ(decode_column(encode_table_column(cells), cells.size()), strings(cells));
}

TEST(TableColumn, KeepsTheFirstOfEquallySmallCandidates) {
  // Small columns of every class, many of whose candidates deflate to the same size: the choice
  // must be the first candidate, in the order class, dictionary, raw, that no later one beats
  // strictly.
  std::mt19937 rng(11);
  const char* pieces[] = {"", "1", "2", "-0", "1.5", "a", "a1", "b2", "x"};
  int ties_with_class = 0;
  int ties_dictionary_raw = 0;
  for (int round = 0; round < 250; ++round) {
    std::vector<std::string> texts;
    const int rows = 1 + static_cast<int>(rng() % 5);
    for (int r = 0; r < rows; ++r) texts.push_back(pieces[rng() % std::size(pieces)]);
    const std::vector<std::string_view> cells(texts.begin(), texts.end());
    std::vector<std::string> candidates;
    switch (classify_table_column(cells)) {
      case ColumnClass::Numeric:
        candidates.push_back(encode_numeric_candidate(cells));
        break;
      case ColumnClass::Template:
        candidates.push_back(encode_template_candidate(cells, false));
        break;
      case ColumnClass::SameShape:
        candidates.push_back(encode_template_candidate(cells, true));
        break;
      case ColumnClass::Unusable:
        break;
    }
    candidates.push_back(encode_dictionary_candidate(cells));
    candidates.push_back(encode_raw_candidate(cells));
    std::vector<std::uint64_t> sizes;
    for (const std::string& c : candidates) sizes.push_back(deflate_compress_fast(c));
    std::size_t best = 0;
    for (std::size_t i = 1; i < sizes.size(); ++i) {
      if (sizes[i] < sizes[best]) best = i;
    }
    const std::size_t n = sizes.size();
    ties_with_class += n == 3 && (sizes[0] == sizes[1] || sizes[0] == sizes[2]) && best == 0;
    ties_dictionary_raw += sizes[n - 2] == sizes[n - 1] && best == n - 2;
    EXPECT_EQ(encode_table_column(cells), candidates[best]) << testing::PrintToString(texts);
    EXPECT_EQ(decode_column(candidates[best], cells.size()), texts);
  }
  EXPECT_GT(ties_with_class, 0);
  EXPECT_GT(ties_dictionary_raw, 0);
}

// ---- Numeric and template columns ----

TEST(NumericColumn, LeadingZerosEmptyCellsScaleAndMinusZero) {
  const std::vector<std::string_view> cells = {"007", "", "1.5", "-0"};
  const std::string want = bytes({0, 0x17}) + bytes({1, 1}) /* row 1 empty */ + bytes({1}) /* s */ +
                           number_column({70, 15, 0}) + bytes({2, 0, 0}) /* leading zeros */ +
                           bytes({1, 2}) /* value 2 is -0 */ + bytes({1, 0, 1}) /* dropped digits */;
  const std::string candidate = encode_numeric_candidate(cells);
  EXPECT_EQ(candidate, want);
  EXPECT_EQ(decode_column(candidate, 4), strings(cells));
}

TEST(NumericColumn, RelativeCountsOnlyWhenStrictlySmaller) {
  for (const std::vector<std::string_view>& cells :
       {std::vector<std::string_view>{"12.5", "3.25"}, std::vector<std::string_view>{"1.50", "2.50", "3.50", "4.50", "5.50", "6.50", "7.5"}}) {
    auto fraction_digits = [](std::string_view c) { return c.size() - c.find('.') - 1; };
    std::size_t s = 0;
    for (std::string_view c : cells) s = std::max(s, fraction_digits(c));
    // Absolute: the digits appended to reach s; relative: the written fraction's trailing zeros.
    std::string absolute, relative;
    for (std::string_view c : cells) {
      absolute += varint(s - fraction_digits(c));
      relative += varint(c.size() - 1 - c.find_last_not_of('0'));
    }
    const std::string candidate = encode_numeric_candidate(cells);
    const bool relative_chosen = deflate_compress_fast(relative) < deflate_compress_fast(absolute);
    EXPECT_EQ((static_cast<unsigned char>(candidate[1]) & 0x08) != 0, relative_chosen);
    EXPECT_EQ(candidate.substr(candidate.size() - cells.size()), relative_chosen ? relative : absolute);
    EXPECT_EQ(decode_column(candidate, cells.size()), strings(cells));
  }
  // 12.5 and 3.25: s = 2, stored 1250 and 325.
  EXPECT_EQ(encode_numeric_candidate({"12.5", "3.25"}).substr(2, 1 + number_column({1250, 325}).size()),
            bytes({2}) + number_column({1250, 325}));
}

TEST(NumericColumn, WrittenFormsRoundTrip) {
  const std::vector<std::vector<std::string_view>> columns = {
      {"0.00", "0.0", "0", "-0.000", "1.25"},          // zeros under a scale: t = s
      {"1e5", "1E5", "1e+5", "1E+5", "1e-5", "1E-5", "2", "1e007", "-3.5e-0"},
      {"00.5", "-00", "0.05", "123456789012345678901234567890", "-1.000000000000000000001"},
      {"9223372036854775807", "-9223372036854775808", "18446744073709551616", ""},
      {"9999999999999999999", "-9999999999999999999", "-0.9999999999999999999", "1"},
      // Scaled words, then a value that is not a word: the list widens with the later values
      // still to scale.
      {"1.5", "-2", "99999999999999999999", "-4.5", "7"},
      {"1", "-2.5", "9223372036854775807", "-3", "0.5"},
      {"", "", "5", ""},
      // Words at every change of digit count, then decimals whose point falls before, at and
      // after each of their digits.
      {"9", "10", "99", "100", "-999", "99999999", "100000000", "999999999999999999", "-1000000000000000000"},
      {"0.0001", "0.001", "0.0123", "0.1234", "1.2345", "12.345", "-123.45", "1234.5", "123456789012.3456", "9.9999"},
  };
  for (const auto& cells : columns) {
    SCOPED_TRACE(testing::PrintToString(cells));
    ASSERT_EQ(classify_table_column(cells), ColumnClass::Numeric);
    const std::string candidate = encode_numeric_candidate(cells);
    EXPECT_EQ(decode_column(candidate, cells.size()), strings(cells));
    EXPECT_EQ(decode_column(encode_table_column(cells), cells.size()), strings(cells));
  }
}

TEST(TemplateColumn, ConstantPartsAroundOneDigitField) {
  const std::vector<std::string_view> cells = {"a1b", "a22b", "a007b"};
  ASSERT_EQ(classify_table_column(cells), ColumnClass::Template);
  const std::string want = bytes({1, 0, 1}) + text_bytes("a") + text_bytes("b") + number_column({1, 22, 7}) +
                           bytes({1, 0, 0, 2});
  EXPECT_EQ(encode_template_candidate(cells, false), want);
  EXPECT_EQ(decode_column(want, 3), strings(cells));
}

TEST(TemplateColumn, TextSlotsForCellsOfTheSameShape) {
  const std::vector<std::string_view> cells = {"id1", "", "ref2"};
  ASSERT_EQ(classify_table_column(cells), ColumnClass::SameShape);
  const std::string want = bytes({4, 0x10, 1, 1, 1}) + varint(2) + text_bytes("id") + text_bytes("ref") + bytes({0, 1}) +
                           varint(1) + text_bytes("") + number_column({1, 2}) + bytes({0});
  EXPECT_EQ(encode_template_candidate(cells, true), want);
  EXPECT_EQ(decode_column(want, 3), strings(cells));
}

TEST(TemplateColumn, SlotIndicesWidenAfter256Texts) {
  for (std::size_t k : {256u, 257u}) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < k; ++i) texts.push_back(letters(i) + "-" + std::to_string(i % 10) + "/x");
    const std::vector<std::string_view> cells(texts.begin(), texts.end());
    ASSERT_EQ(classify_table_column(cells), ColumnClass::SameShape);
    const std::string candidate = encode_template_candidate(cells, true);
    std::string slot0 = varint(k);
    for (std::size_t i = 0; i < k; ++i) slot0 += text_bytes(letters(i) + "-");
    for (std::size_t i = 0; i < k; ++i) slot0 += k <= 256 ? std::string(1, static_cast<char>(i)) : varint(i);
    EXPECT_EQ(candidate.substr(3, slot0.size()), slot0) << k;
    EXPECT_EQ(decode_column(candidate, k), texts);
  }
}

TEST(TemplateColumn, LongDigitRunsAndEmptyCellsRoundTrip) {
  const std::vector<std::vector<std::string_view>> columns = {
      {"x0000000000000000000000000000001y", "x2y", "", "x00y"},
      {"x123456789012345678901234567890y", "x5y", "x007y"},
      {"2024-01-15", "2024-12-31", "1999-07-04"},
      {"v1.2.3", "", "w10.20.30", "v0.0.0"},
  };
  for (const auto& cells : columns) {
    SCOPED_TRACE(testing::PrintToString(cells));
    const ColumnClass c = classify_table_column(cells);
    ASSERT_TRUE(c == ColumnClass::Template || c == ColumnClass::SameShape);
    EXPECT_EQ(decode_column(encode_template_candidate(cells, c == ColumnClass::SameShape), cells.size()), strings(cells));
  }
}

// Values are read a few thousand at a time and kept as narrow as they allow: columns whose
// values grow past one byte, then past a word, several thousand rows in.
TEST(TableColumn, LongColumnsWidenAsTheirValuesGrow) {
  std::vector<std::string> numbers, templated;
  for (int r = 0; r < 12000; ++r) {
    std::string value = std::to_string(r % 7);
    if (r == 5000) value = "-300";
    if (r > 9000) value = std::to_string(r);
    if (r == 11000) value = "123456789012345678901234567890";
    numbers.push_back(value);
    templated.push_back("id" + value.substr(value[0] == '-') + "/x");
  }
  for (const std::vector<std::string>* texts : {&numbers, &templated}) {
    const std::vector<std::string_view> cells(texts->begin(), texts->end());
    const ColumnClass c = classify_table_column(cells);
    const std::string candidate = c == ColumnClass::Numeric ? encode_numeric_candidate(cells)
                                                            : encode_template_candidate(cells, false);
    EXPECT_EQ(decode_column(candidate, cells.size()), *texts);
  }
}

// The cells of an encoded column (kind byte first) read count at a time from one source, twice:
// after a rewind the source starts again from the first cell.
std::vector<std::string> read_in_ranges(const std::string& encoded, std::uint64_t rows, std::uint64_t count) {
  ByteCursor cursor{encoded, 1};
  MagnitudeBudget budget(1 << 20);
  const std::unique_ptr<ColumnSource> source =
      open_table_column(cursor, static_cast<std::uint8_t>(encoded[0]), rows, 1 << 20, 1 << 20, budget);
  EXPECT_TRUE(cursor.at_end());
  std::vector<std::string> first_pass;
  DecodedColumn cells;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<std::string> out;
    std::uint64_t total = 0;
    for (std::uint64_t done = 0; done < rows; done += count) {
      cells.clear_cells();
      source->read(std::min(count, rows - done), cells);
      total += cells.total_bytes();
      for (std::string& cell : read_all(cells)) out.push_back(std::move(cell));
    }
    EXPECT_EQ(total, source->total_bytes());
    if (pass == 0) first_pass = out;
    EXPECT_EQ(out, first_pass);
    source->rewind();
  }
  return first_pass;
}

TEST(ColumnSource, EveryKindReadInRangesGivesTheCellsOfTheWholeColumn) {
  // Rows where a range may end: on an empty cell, a minus zero, an exponent, a big value, a
  // slot's change of text, a text of more than 127 bytes.
  std::vector<std::string> numbers, templates, slotted, texts, words, names;
  for (int i = 0; i < 700; ++i) {
    const std::string n = std::to_string(i * 37 % 1009);
    numbers.push_back(i % 11 == 0 ? "" : i % 13 == 0 ? "-0" : i % 17 == 0 ? n + "e-0" + n : i == 333 ? "-" + std::string(30, '8') : i % 3 == 0 ? "0" + n + ".5" : n);
    templates.push_back(i % 19 == 0 ? "" : "id-" + n + ":" + (i == 401 ? std::string(40, '7') : "00" + std::to_string(i % 7)) + "s");
    slotted.push_back(std::string(i % 5 == 0 ? "ab" : "cde") + n + (i % 3 == 0 ? "/" : "+") + std::to_string(i));
    words.push_back("w" + std::to_string(i * 7 % 200));  // 200 entries: indices of one byte, some past 0x7F
    names.push_back("n" + std::to_string(i * 7 % 300));  // 300 entries: varint indices
    texts.push_back(i % 23 == 0 ? "" : i == 555 ? std::string(200, 'w') : "t\"," + std::string(static_cast<std::size_t>(i % 4), 'q'));
  }
  const auto views = [](const std::vector<std::string>& cells) { return std::vector<std::string_view>(cells.begin(), cells.end()); };
  const std::pair<std::string, std::vector<std::string>> columns[] = {
      {encode_numeric_candidate(views(numbers)), numbers},
      {encode_template_candidate(views(templates), false), templates},
      {encode_template_candidate(views(slotted), true), slotted},
      {encode_dictionary_candidate(views(texts)), texts},
      {encode_dictionary_candidate(views(words)), words},
      {encode_dictionary_candidate(views(names)), names},
      {encode_raw_candidate(views(texts)), texts},
  };
  for (const auto& [encoded, cells] : columns) {
    SCOPED_TRACE(static_cast<int>(encoded[0]));
    ASSERT_EQ(decode_column(encoded, cells.size()), cells);
    for (std::uint64_t count : {1, 2, 64, 699, 700}) EXPECT_EQ(read_in_ranges(encoded, cells.size(), count), cells);
  }
}

TEST(ColumnSource, NumbersOfEveryWidthWithSignsAndFractionsReadInRanges) {
  // Words of one to eight bytes with their signs and points only, the usual numbers, with now
  // and then an empty cell or a minus zero in a range.
  std::vector<std::string> tiny, cents;
  std::uint64_t total = 0;
  for (int i = 0; i < 700; ++i) {
    tiny.push_back(i % 41 == 0 ? "" : i % 97 == 0 ? "-0" : std::to_string(i % 9 - 4));
    const std::uint64_t n = static_cast<std::uint64_t>(i) * i * i * i * 7919 % 100000000000;
    const std::string fraction = std::to_string(100 + n % 100).substr(1);
    cents.push_back(i % 59 == 0 ? "" : (i % 2 ? "-" : "") + std::to_string(n / 100) + "." + fraction);
    total += cents.back().size();
  }
  const auto views = [](const std::vector<std::string>& cells) { return std::vector<std::string_view>(cells.begin(), cells.end()); };
  for (const std::vector<std::string>* cells : {&tiny, &cents}) {
    const std::string encoded = encode_numeric_candidate(views(*cells));
    ASSERT_EQ(decode_column(encoded, cells->size()), *cells);
    for (std::uint64_t count : {1, 2, 40, 64, 699, 700}) EXPECT_EQ(read_in_ranges(encoded, cells->size(), count), *cells);
  }
  const std::string encoded = encode_numeric_candidate(views(cents));
  EXPECT_EQ(decode_column(encoded, cents.size(), total), cents);
  EXPECT_ERROR(decode_column(encoded, cents.size(), total - 1), "Output exceeds decompression limit");
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
      {"raw past the limit", raw_column({"abc", "de"}), 2, 4, "Output exceeds decompression limit"},

      {"numeric, no flags byte", bytes({0}), 1, 100, "Truncated number list"},
      {"numeric, relative without scale", bytes({0, 0x08}), 1, 100, "Invalid numeric column flags"},
      {"numeric, flag 0x40", bytes({0, 0x40}), 1, 100, "Invalid numeric column flags"},
      {"numeric, every row empty", bytes({0, 0x10, 1, 0}), 1, 100, "Numeric column without values"},
      {"numeric, scale 0", bytes({0, 0x04, 0}), 1, 100, "Invalid column scale"},
      {"numeric, scale above the limit", bytes({0, 0x04, 101}), 1, 100, "Invalid column scale"},
      {"numeric, -0 on 5", bytes({0, 0x02}) + number_column({5}) + bytes({1, 0}), 1, 100, "Invalid -0 position"},
      {"numeric, -0 past the values", bytes({0, 0x02}) + number_column({0}) + bytes({1, 1}), 1, 100, "Invalid position"},
      {"numeric, more dropped digits than the scale", bytes({0, 0x04, 1}) + number_column({10}) + bytes({2}), 1, 100,
       "Invalid decimal scale"},
      {"numeric, exponent flag without exponents", bytes({0, 0x20}) + number_column({1}) + bytes({0}), 1, 100,
       "Exponent flag without exponents"},
      {"numeric, digits past the limit", bytes({0, 0}) + number_column({123456}), 1, 5, "Output exceeds decompression limit"},
      {"numeric, zeros past the limit", bytes({0, 0x01}) + number_column({1}) + varint(1000), 1, 100,
       "Output exceeds decompression limit"},
      // A base of 100000 bytes added to each of 10000 values: 1 GB of magnitudes for a 1 MB limit.
      {"numeric, a long base under every value",
       bytes({0, 0, 8}) + std::string(100000, '\xFF') + bytes({1}) + std::string(10000, '\0'), 10000, 1 << 20,
       "Output exceeds decompression limit"},
      {"template, a long base under every value",
       bytes({1, 0, 1}) + text_bytes("") + text_bytes("") + bytes({8}) + std::string(100000, '\xFE') + bytes({1}) +
           std::string(10000, '\0') + bytes({0}),
       10000, 1 << 20, "Output exceeds decompression limit"},
      {"numeric, minus sign past the limit", bytes({0, 0}) + number_column({-12}), 1, 2, "Output exceeds decompression limit"},

      {"template, flag 0x01", bytes({1, 0x01}), 1, 100, "Invalid template column flags"},
      {"template, every row empty", bytes({1, 0x10, 1, 0}), 1, 100, "Template column without values"},
      {"template, m = 0", bytes({1, 0, 0}), 1, 100, "Invalid template"},
      {"template, m past the bytes left", bytes({1, 0, 3, 0, 0}), 1, 100, "Invalid template"},
      {"template, empty inner part", bytes({1, 0, 2}) + text_bytes("a") + text_bytes("") + text_bytes("b"), 1, 100,
       "Invalid template part"},
      {"template, digit in a part", bytes({1, 0, 1}) + text_bytes("a1") + text_bytes("b"), 1, 100, "Invalid template part"},
      {"template, negative digits", bytes({1, 0, 1}) + text_bytes("a") + text_bytes("b") + number_column({-1}) + bytes({0}), 1,
       100, "Negative template digits"},
      {"template, zeros marker 2", bytes({1, 0, 1}) + text_bytes("a") + text_bytes("b") + number_column({1}) + bytes({2}), 1,
       100, "Invalid template zeros marker"},
      {"template, digits past the limit", bytes({1, 0, 1}) + text_bytes("") + text_bytes("") + number_column({123456}) + bytes({0}),
       1, 5, "Output exceeds decompression limit"},
      {"template, zeros past the limit",
       bytes({1, 0, 1}) + text_bytes("") + text_bytes("") + number_column({1}) + bytes({1}) + varint(1000), 1, 100,
       "Output exceeds decompression limit"},
      {"template, parts past the limit", bytes({1, 0, 1}) + text_bytes("abc") + text_bytes("de") + number_column({1, 2}) + bytes({0}),
       2, 11, "Output exceeds decompression limit"},
      {"slots, size 0", bytes({4, 0, 1, 0}), 1, 100, "Invalid text slot size"},
      {"slots, size above the values", bytes({4, 0, 1, 2}) + text_bytes("a") + text_bytes("b"), 1, 100, "Invalid text slot size"},
      {"slots, index equal to the size", bytes({4, 0, 1, 2}) + text_bytes("a") + text_bytes("b") + bytes({0, 2}), 2, 100,
       "Invalid text slot index"},
      {"slots, digit in a text", bytes({4, 0, 1, 1}) + text_bytes("7"), 1, 100, "Invalid template part"},
  };
  for (const BadColumn& c : cases) {
    SCOPED_TRACE(c.name);
    ByteCursor cursor{c.body, 1};
    MagnitudeBudget budget(c.limit);
    EXPECT_ERROR(decode_table_column(cursor, static_cast<std::uint8_t>(c.body[0]), c.rows, c.limit, c.limit, budget), c.message);
  }
  // Exactly at the limit is allowed.
  EXPECT_EQ(decode_column(dictionary_body({"abc"}, {0, 0, 0, 0}), 4, 12), std::vector<std::string>(4, "abc"));
  EXPECT_EQ(decode_column(raw_column({"abc", "de"}), 2, 5), (std::vector<std::string>{"abc", "de"}));
  EXPECT_EQ(decode_column(bytes({1, 0, 1}) + text_bytes("abc") + text_bytes("de") + number_column({1, 2}) + bytes({0}), 2, 12),
            (std::vector<std::string>{"abc1de", "abc2de"}));
  EXPECT_EQ(decode_column(bytes({0, 0}) + number_column({-12}), 1, 3), std::vector<std::string>{"-12"});
}

}  // namespace
}  // namespace corvale
