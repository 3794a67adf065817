#include "codecs/table/table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "codecs/columns/table_column.h"
#include "codecs/numbers/number_column.h"
#include "codecs/table/table_recognition.h"
#include "core/varint.h"
#include "core/zlib.h"
#include "support/column_bytes.h"
#include "support/expect_error.h"
#include "support/files.h"
#include "support/recording_sink.h"

namespace corvale {
namespace {

using test::raw_column;
using test::text_bytes;
using test::varint;

// ---- A test-side writer of table payloads ----

struct Payload {
  std::uint8_t flags = 0;
  std::uint64_t rows = 2;
  std::uint64_t columns = 2;
  char separator = ',';
  std::string body;

  std::string bytes() const {
    std::string out(1, static_cast<char>(flags));
    out += varint(rows) + varint(columns);
    out.push_back(separator);
    return out + deflate_compress_best(body);
  }
};

// Two rows of two raw columns: "1,2" and "3,4".
Payload two_by_two() {
  Payload p;
  p.body = raw_column({"1", "3"}) + raw_column({"2", "4"});
  return p;
}

// The inflated body of a payload: what follows its flags, row and column counts and separator.
std::string body_of(std::string_view payload) {
  ByteCursor cursor{payload, 1};
  cursor_read_varint_u64(cursor);
  cursor_read_varint_u64(cursor);
  cursor_take_byte(cursor);
  return inflate_limited(payload.substr(cursor.pos), 1 << 26, false);
}

std::string encode(std::string_view text) {
  const std::optional<std::string> payload = encode_table_archive(text);
  EXPECT_TRUE(payload) << text;
  return payload ? *payload : std::string();
}

// ---- Round trips and layout ----

TEST(TableArchive, RestoresTablesByteForByteAndNeedsExactlyTheirSize) {
  const std::string texts[] = {
      "a,b\n1,2\n3,4\n",
      "a,b\r\n1,2\r\n3,4",
      "x;y;z\n1;;3\n;5;\n7;8;9",
      "\"a,b\",1\n\"c\"\"d\",2\n",
      "\"name\",\"n\"\r\n\"x\ny\",1\r\n\"\",2\r\n",
      "id|v\nr1|\"q\"\nr2|7\n",
      "1\t2\n3\t4\n5\t6\n",
      "\"a\"x,1\n\"b\",2\n",
      "1,2\n3,\"x\"\"",
  };
  std::vector<std::string> all(std::begin(texts), std::end(texts));
  // Columns whose numbers could make a candidate far longer than their text: one long value
  // with a leading zero among small ones, long digit runs in a template, a long exponent.
  std::string wide = "n,t,e\n";
  for (int i = 0; i < 300; ++i) {
    wide += (i == 150 ? "0" + std::string(76, '7') : std::to_string(i % 42)) + ",x" +
            (i == 7 ? std::string(60, '9') : std::to_string(i)) + "y," + (i == 9 ? "1e" + std::string(40, '3') : "2") + "\n";
  }
  all.push_back(wide);
  // Values that fit in words whose differences do not.
  std::string near_limits = "a,b\n";
  for (int i = 0; i < 200; ++i) near_limits += (i % 2 ? "-9223372036854775807," : "9223372036854775807,") + std::to_string(i) + "\n";
  all.push_back(near_limits);
  // Megabytes of rows: streamed, they go out in several pieces.
  std::string long_table = "t,v,s\n";
  for (int i = 0; long_table.size() < 2500000; ++i) {
    long_table += std::to_string(1700000000 + i * 3) + "," + std::to_string(i % 977) + "." + std::to_string(i % 10) +
                  ",s" + std::to_string(i % 13) + "\n";
  }
  all.push_back(long_table);
  // One cell longer than a piece, among short ones.
  all.push_back("a,b\n1,x\n2," + std::string(1500000, 'y') + "\n3,z\n");
  // More rows than one range of rows, with quoted cells and a column of each kind across its
  // ends.
  std::string ranges = "n,when,kind,note\r\n";
  for (int i = 0; i < 70000; ++i) {
    ranges += (i % 9 == 0 ? "" : std::to_string(i * 7 % 1000) + "." + std::to_string(i % 10)) + ",2026-" +
              std::to_string(1 + i % 12) + "-" + std::to_string(10 + i % 18) + "T" + std::to_string(i % 24) + "," +
              (i % 3 == 0 ? "open" : i % 3 == 1 ? "shut" : "") + "," +
              (i % 997 == 0 ? "\"a, \"\"quoted\"\" note\"" : "w" + std::to_string(i % 5 == 0 ? i : 0)) + "\r\n";
  }
  all.push_back(ranges);
  for (const std::string& text : all) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 40)));
    const std::string payload = encode(text);
    test::expect_restores_whole_and_streamed(
        payload, text, [](std::string_view p, std::uint64_t limit) { return decode_table_archive(p, limit); },
        [](std::string_view p, std::uint64_t limit, OutputSink& sink) { stream_table_payload(p, limit, sink); });
  }
}

TEST(TableArchive, EveryFileOfTheCsvEdgeCaseSuiteIsATableAndRestores) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(CORVALE_SOURCE_DIR) /
                                                               "corvale/tests/data/csv-spectrum")) {
    if (entry.path().extension() != ".csv") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string text = test::read_file(entry.path());
    EXPECT_EQ(decode_table_archive(encode(text), text.size()), text);
    ++files;
  }
  EXPECT_EQ(files, 12);
}

TEST(TableArchive, DeclinesTextThatIsNoTable) {
  EXPECT_FALSE(encode_table_archive("x,y\nfoo,bar\n"));
  EXPECT_FALSE(encode_table_archive("1,2,3\n"));
  EXPECT_FALSE(encode_table_archive(""));
}

TEST(TableArchive, HeaderAndLineEndingFlags) {
  const std::string with_header = encode("a,b\n1,2\n3,4\n");
  EXPECT_EQ(with_header.substr(0, 4), std::string("\x05\x02\x02,", 4));
  const std::string body = body_of(with_header);
  EXPECT_EQ(body.substr(0, 4), std::string("\x03" "a,b", 4));

  EXPECT_EQ(encode("a,b\r\n1,2\r\n3,4").substr(0, 4), std::string("\x06\x02\x02,", 4));
  EXPECT_EQ(encode("1;2\n3;4").substr(0, 4), std::string("\x00\x02\x02;", 4));
}

TEST(TableArchive, QuotingMarksInTheKindBytes) {
  // Column 0 quoted in every row, column 1 in none; then only row 1 of column 0 quoted.
  const std::string all = encode("\"a\"\"\",1\n\"b\",2\n");
  std::string body = body_of(all);
  EXPECT_EQ(static_cast<unsigned char>(body[0]) & kColumnQuotingMask, kColumnAllQuoted);

  const std::string some = encode("a,1\n\"b\",2\n");
  body = body_of(some);
  EXPECT_EQ(static_cast<unsigned char>(body[0]) & kColumnQuotingMask, kColumnQuotedRows);
  EXPECT_EQ(body.substr(1, 2), std::string("\x01\x01", 2));  // one position: row 1
}

TEST(TableArchive, NumbersTheDecoderCouldNotAffordAreNotStoredAsNumbers) {
  // One value of 20001 fraction digits would scale each of 20000 '1's to a 20002-digit number:
  // 166 MB of magnitudes for a 100 KB text. The column is stored some other way.
  std::string text = "v,k\n0." + std::string(20000, '0') + "1,a\n";
  for (int i = 0; i < 20000; ++i) text += "1,a\n";
  const std::string payload = encode(text);
  const std::string body = body_of(payload);
  EXPECT_EQ(body.substr(0, 4), std::string("\x03v,k", 4));
  EXPECT_NE(static_cast<unsigned char>(body[4]), kColumnNumeric);
  EXPECT_EQ(decode_table_archive(payload, text.size()), text);

  // 23 fraction digits make every later value an integer past 64 bits, but all of them together
  // are a few hundred KB, well within what the decoder of the text may build.
  std::string scaled = "id,val\n0,0." + std::string(22, '0') + "1\n";
  for (int i = 1; i <= 20000; ++i) scaled += std::to_string(i) + "," + std::to_string(i) + "\n";
  const std::string scaled_payload = encode(scaled);
  EXPECT_LT(scaled_payload.size(), 1000u);
  EXPECT_EQ(decode_table_archive(scaled_payload, scaled.size()), scaled);

  // With a short fraction in place of the long one, the column is numeric.
  std::string small = "v,k\n0.5,a\n";
  for (int i = 0; i < 2000; ++i) small += std::to_string(i * 7 % 1000) + ",a\n";
  const std::string small_payload = encode(small);
  EXPECT_EQ(static_cast<unsigned char>(body_of(small_payload)[4]),
            kColumnNumeric);
}

// ---- Every message of the decoder ----

struct BadCase {
  const char* name;
  std::string payload;
  std::uint64_t limit;
  const char* message;
};

std::vector<BadCase> bad_cases() {
  std::vector<BadCase> cases;
  auto add = [&](const char* name, Payload p, const char* message, std::uint64_t limit = 1000) {
    cases.push_back({name, p.bytes(), limit, message});
  };
  cases.push_back({"three bytes", std::string("\x00\x02\x02", 3), 1000, "Truncated table"});
  cases.push_back({"no separator byte", std::string("\x00\x82\x01\x02", 4), 1000, "Truncated number list"});
  cases.push_back({"bad rows varint", std::string("\x00\x80\x00\x02,", 5), 1000, "Non-canonical varint"});

  Payload p = two_by_two();
  p.flags = 8;
  add("flags 8", p, "Invalid table flags");
  for (const auto& [separator, columns] : {std::pair<char, std::uint64_t>{':', 2}, {',', 1}, {',', 1025}, {'\n', 2}}) {
    p = two_by_two();
    p.separator = separator;
    p.columns = columns;
    add("shape", p, "Invalid table shape");
  }
  p = two_by_two();
  p.rows = 1;
  add("one row, no header", p, "Invalid table size");
  p.rows = 0;
  p.flags = kTableHeader;
  add("header alone", p, "Invalid table size");
  p = two_by_two();
  p.rows = 3;
  p.columns = 4;
  add("shape beyond the limit", p, "Invalid table size", 10);
  p.rows = ~0ull;
  add("rows times columns saturate", p, "Invalid table size", ~0ull - 2);

  p = two_by_two();
  p.flags = kTableHeader;
  p.body = text_bytes("a,b,c") + raw_column({"1", "3"}) + raw_column({"2", "4"});
  add("header of three fields", p, "Invalid header line");
  p.body = text_bytes("a,b\n") + raw_column({"1", "3"}) + raw_column({"2", "4"});
  add("header with a line ending", p, "Invalid header line");
  p.body = text_bytes("a,b");
  add("no column after the header", p, "Truncated number list");

  for (std::uint8_t kind : {0x30, 0x35, 0x05, 0x0F}) {
    p = two_by_two();
    p.body = raw_column({"1", "3"}, kind) + raw_column({"2", "4"});
    add("kind byte", p, "Invalid column kind");
  }
  p = two_by_two();
  p.body = std::string("\x23\x00", 2) + raw_column({"1", "3"}).substr(1) + raw_column({"2", "4"});
  add("empty quoted list", p, "Invalid quoted positions");
  p.body = std::string("\x23\x01\x02", 3) + raw_column({"1", "3"}).substr(1) + raw_column({"2", "4"});
  add("quoted row past the rows", p, "Invalid position");
  p.body = std::string("\x23\x02\x00\x00", 4) + raw_column({"1", "3"}).substr(1) + raw_column({"2", "4"});
  add("quoted row twice", p, "Repeated position");

  for (const char* cell : {"1,5", "1\n5", "1\r5"}) {
    p = two_by_two();
    p.body = raw_column({"1", cell}) + raw_column({"2", "4"});
    add("unquoted field bytes", p, "Invalid field bytes");
  }
  p = two_by_two();
  p.body = raw_column({"1", "3"}) + raw_column({"2", "4"}) + "x";
  add("one byte after the last column", p, "Trailing data in table");
  p.body = raw_column({"1", "3"}) + raw_column({"2"});
  add("column cut short", p, "Truncated number list");

  p = two_by_two();
  p.body = raw_column({"12345", "1"}) + raw_column({"12345", "2"});
  add("columns together past the limit", p, "Output exceeds decompression limit", 14);
  p.flags = kTableCrLf | kTableFinalLineEnding;
  p.body = raw_column({"1", "3"}) + raw_column({"2", "4"});
  add("line endings past the limit", p, "Output exceeds decompression limit", 9);
  p = two_by_two();
  p.body = std::string(1, kColumnAllQuoted | kColumnRaw) + text_bytes("\"\"") + text_bytes("3") + raw_column({"2", "4"});
  add("quotes past the limit", p, "Output exceeds decompression limit", 11);

  p = two_by_two();
  p.body = raw_column({"a", "b"}) + raw_column({"c", "d"});
  add("no digits anywhere", p, "Archive decodes to something that is not a table");
  p.body = raw_column({"1", "3"}) + raw_column({"\"x", "y\""});
  add("a quote that changes the grammar", p, "Archive decodes to something that is not a table");
  return cases;
}

TEST(TableArchive, EveryDecoderMessageByACraftedPayload) {
  for (const BadCase& c : bad_cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_ERROR(decode_table_archive(c.payload, c.limit), c.message);
  }
}

TEST(TableArchive, CraftedPayloadsThatAreStillTables) {
  // Bits 6-7 of a kind byte are ignored; a cell holding the separator decodes in a quoted row.
  Payload p = two_by_two();
  p.body = raw_column({"1", "3"}, kColumnRaw | 0xC0) + std::string("\x23\x01\x01", 3) + raw_column({"2", "4,5"}).substr(1);
  EXPECT_EQ(decode_table_archive(p.bytes(), 1000), "1,2\n3,\"4,5\"");

  // A column scale is weighed against the whole limit, not against the room the other columns
  // leave: zeros stored under a scale of 5 to 8, every digit dropped again, restore in 8 bytes.
  for (std::uint64_t s = 5; s <= 8; ++s) {
    SCOPED_TRACE(s);
    p = Payload();
    p.flags = 0x01;
    IntegerList zeros(Signedness::Signed);
    zeros.push_word(0);
    zeros.push_word(0);
    p.body = std::string("\x00\x04", 2) + varint(s) + *encode_number_column(std::move(zeros)) + varint(s) + varint(s) +
             raw_column({"0", "0"});
    EXPECT_EQ(decode_table_archive(p.bytes(), 8), "0,0\n0,0\n");
  }
}

// The decoder's final check must accept exactly the texts table recognition accepts, whether it
// settles them from the columns or reads the text again.
TEST(TableArchive, FinalCheckAgreesWithTableRecognition) {
  struct Case {
    const char* name;
    std::uint8_t flags;
    char separator;
    std::string header;
    std::vector<std::vector<std::string_view>> columns;
    bool table;
    bool first_numeric = false;  // the first column stored as numbers, not raw
  };
  const Case cases[] = {
      {"numbers under a header", kTableHeader, ',', "a,b", {{"1", "2"}, {"x", "y"}}, true},
      {"no digit anywhere", 0, ',', "", {{"a", "b"}, {"c", "d"}}, false},
      {"a header with digits over letters", kTableHeader, ',', "1,x", {{"a", "b"}, {"c", "d"}}, false},
      {"a column usable only with its first cell", 0, ',', "", {{"1", "", ""}, {"a", "b", "c"}}, true},
      {"a header cell making a column usable", kTableHeader, ';', "1;2", {{"", ""}, {"a", "b"}}, true},
      {"CR LF endings", kTableCrLf | kTableFinalLineEnding, '\t', "", {{"1", "2"}, {"a b", "c d"}}, true},
      // Another separator on every line, less often than the real one: the shape stays.
      {"fewer semicolons on every line", 0, ',', "", {{"1", "2"}, {"a;b", "c;d"}, {"e", "f"}}, true},
      // A comma in a later line only, in a table of another separator.
      {"a stray comma", 0, '|', "", {{"1", "2", "3"}, {"a", "b,c", "d"}}, true},
      // More semicolons than commas on every line: the text reads as another table, of which no
      // column is usable.
      {"more semicolons on every line", 0, ',', "", {{"1", "1.5", "2"}, {"a;b;c", "d;e;f", "g;h;i"}}, false},
      {"a quote that changes the grammar", 0, ',', "", {{"1", "3"}, {"\"x", "y\""}}, false},
      // Columns decoded as numbers, in every written form.
      {"a numeric column under a header", kTableHeader, ',', "a,b", {{"", "-0.5e-07"}, {"x", "y"}}, true, true},
      {"a numeric column valued after its first record", 0, ',', "", {{"", "", "007"}, {"a", "b", "c"}}, true, true},
      {"a numeric column valued only in its first record", 0, ',', "", {{"1E+5", "", ""}, {"a", "b", "c"}}, true, true},
      {"a numeric column in a text of another shape", 0, ',', "", {{"1", "1.5", "2"}, {"a;b;c", "d;e;f", "g;h;i"}},
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Payload p;
    p.flags = c.flags;
    p.separator = c.separator;
    p.columns = c.columns.size();
    p.rows = c.columns[0].size();
    if (!c.header.empty()) p.body = text_bytes(c.header);
    for (std::size_t k = 0; k < c.columns.size(); ++k) {
      p.body += k == 0 && c.first_numeric ? encode_numeric_candidate(c.columns[k]) : raw_column(c.columns[k]);
    }

    const std::string_view ending = (c.flags & kTableCrLf) ? "\r\n" : "\n";
    std::string text = c.header;
    for (std::size_t r = 0; r < p.rows; ++r) {
      if (r > 0 || !c.header.empty()) text += ending;
      for (std::size_t k = 0; k < c.columns.size(); ++k) {
        if (k > 0) text.push_back(c.separator);
        text += c.columns[k][r];
      }
    }
    if (c.flags & kTableFinalLineEnding) text += ending;

    ASSERT_EQ(is_table(text), c.table);
    test::RecordingSink sink;
    if (c.table) {
      EXPECT_EQ(decode_table_archive(p.bytes(), 1000), text);
      stream_table_payload(p.bytes(), 1000, sink);
      EXPECT_EQ(sink.text, text);
    } else {
      EXPECT_ERROR(decode_table_archive(p.bytes(), 1000), "Archive decodes to something that is not a table");
      // Settled before the text is written, or on the whole text before it goes out.
      EXPECT_ERROR(stream_table_payload(p.bytes(), 1000, sink), "Archive decodes to something that is not a table");
      EXPECT_EQ(sink.pieces, 0);
    }
  }
}

TEST(TableArchive, ExpansionBombsStopAtTheLimit) {
  // One dictionary entry of 64 KiB chosen by a million rows would be 64 GiB; three raw columns
  // of 3 MiB each would each fit alone under a limit of 8 MiB.
  Payload dictionary;
  dictionary.rows = 1 << 20;
  dictionary.body = std::string(1, kColumnDictionary) + varint(1) + text_bytes(std::string(1 << 16, '7')) +
                    std::string(1 << 20, '\0') + raw_column(std::vector<std::string_view>(1 << 20, "1"));
  EXPECT_ERROR(decode_table_archive(dictionary.bytes(), 8 << 20), "Output exceeds decompression limit");

  Payload wide;
  wide.rows = 3;
  wide.columns = 3;
  for (int c = 0; c < 3; ++c) wide.body += raw_column({std::string(3 << 20, '1'), "1", "1"});
  EXPECT_ERROR(decode_table_archive(wide.bytes(), 8 << 20), "Output exceeds decompression limit");
}

}  // namespace
}  // namespace corvale
