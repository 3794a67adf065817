#include "codecs/log/log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codecs/columns/table_column.h"
#include "codecs/log/log_lines.h"
#include "codecs/numbers/number_column.h"
#include "core/varint.h"
#include "core/zlib.h"
#include "support/column_bytes.h"
#include "support/expect_error.h"
#include "support/recording_sink.h"

namespace corvale {
namespace {

// ---- A test-side writer of log payloads ----

using test::raw_column;
using test::varint;

// A dictionary column (kind 2) of up to 256 entries: one index byte a row.
std::string dictionary_column(const std::vector<std::string_view>& entries, const std::vector<std::uint8_t>& indices) {
  std::string out(1, static_cast<char>(kColumnDictionary));
  out += varint(entries.size());
  for (std::string_view entry : entries) out += test::text_bytes(entry);
  for (std::uint8_t index : indices) out.push_back(static_cast<char>(index));
  return out;
}

// The group number of every line as the number column the body holds.
std::string group_column(const std::vector<std::int64_t>& groups) {
  IntegerList values(Signedness::Signed);
  for (std::int64_t k : groups) values.push_word(static_cast<std::uint64_t>(k));
  return *encode_number_column(std::move(values));
}

struct Body {
  std::uint64_t n = 1;
  std::vector<std::uint64_t> field_counts = {2};
  std::string rest;  // the group column when there is one, then the columns

  std::string bytes() const {
    std::string out = varint(n) + varint(field_counts.size());
    for (std::uint64_t f : field_counts) out += varint(f);
    return out + rest;
  }
};

struct Payload {
  std::uint8_t flags = kLogFinalLineEnding;
  std::uint64_t lines = 8;
  Body body;

  std::string bytes() const {
    return std::string(1, static_cast<char>(flags)) + varint(lines) + deflate_compress_best(body.bytes());
  }
};

// "a 1" to "a 8", each ended by LF: 32 bytes.
Payload eight_lines() {
  Payload p;
  p.body.rest = raw_column(std::vector<std::string_view>(8, "a")) + raw_column({"1", "2", "3", "4", "5", "6", "7", "8"});
  return p;
}

std::string payload_of(std::string_view text) {
  const std::optional<std::string> payload = compress_log(text);
  EXPECT_TRUE(payload) << text;
  return payload ? *payload : std::string();
}

// The field count N, the group count and the groups' field counts at the start of a body.
struct BodyHead {
  std::uint64_t n;
  std::vector<std::uint64_t> field_counts;
};

BodyHead head_of(std::string_view body) {
  ByteCursor cursor{body};
  BodyHead head{cursor_read_varint_u64(cursor), {}};
  const std::uint64_t g = cursor_read_varint_u64(cursor);
  for (std::uint64_t k = 0; k < g; ++k) head.field_counts.push_back(cursor_read_varint_u64(cursor));
  return head;
}

BodyHead payload_head(std::string_view payload) {
  ByteCursor cursor{payload, 1};
  cursor_read_varint_u64(cursor);
  return head_of(inflate_limited(payload.substr(cursor.pos), 1 << 26, false));
}

// ---- Round trips and layout ----

std::string lines_of(const std::vector<std::string>& lines, const std::string& ending, bool final) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? ending : "") + lines[i];
  return final ? text + ending : text;
}

TEST(LogArchive, RestoresLogsByteForByteAndNeedsExactlyTheirSize) {
  const std::vector<std::string> app = {
      "2024-01-02 10:00:01 INFO start pid=41",       "2024-01-02 10:00:02 WARN slow  request 120 ms",
      "2024-01-02 10:00:02 INFO done",               "",
      "2024-01-02 10:00:07 ERROR failed: code 7 ",   "2024-01-02 10:00:09 INFO r\xc3\xa9sum\xc3\xa9 3",
      "2024-01-02 10:00:10 DEBUG\tq=3 x=-0.50 y=1e5", "2024-01-02 10:00:11 INFO a  b   c    d 12",
  };
  std::vector<std::string> carriage = app;
  carriage[2] += "\r";  // a CR inside an LF log stays in its line
  const std::string texts[] = {
      lines_of(app, "\n", true),   lines_of(app, "\n", false), lines_of(app, "\r\n", true),
      lines_of(app, "\r\n", false), lines_of(carriage, "\n", true), lines_of(app, "\r\n", false) + "\r",
      "1\n\n2\n\n3\n\n4\n\n",
      // Megabytes of lines: streamed, they go out in several pieces.
      [] {
        std::string t;
        for (int i = 0; t.size() < 2500000; ++i) {
          t += "10:" + std::to_string(i % 60) + " INFO [w" + std::to_string(i % 7) + "] took " + std::to_string(i % 997) +
               " ms\n";
        }
        return t;
      }(),
      // More lines than one range of lines, in two groups of fields, with a dictionary and a
      // raw column across its ends.
      [] {
        std::string t;
        for (int i = 0; i < 70000; ++i) {
          t += std::to_string(i % 60) + " " + (i % 3 ? "GET /a/" + std::to_string(i % 11) + " 200" : "tick") +
               (i % 7 == 0 ? " x" + std::to_string(i * 31 % 977) + "y" : i % 7 == 1 ? " q" : "") + "\n";
        }
        return t;
      }(),
      // One field longer than a piece, among short ones.
      lines_of({"1 a", "2 b", "3 " + std::string(1500000, 'c'), "4 d", "5 e", "6 f", "7 g", "8 h"}, "\n", true),
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 100)));
    const std::string payload = payload_of(text);
    test::expect_restores_whole_and_streamed(
        payload, text, [](std::string_view p, std::uint64_t limit) { return decode_log_payload(p, limit); },
        [](std::string_view p, std::uint64_t limit, OutputSink& sink) { stream_log_payload(p, limit, sink); });
  }
}

TEST(LogArchive, FlagsByteAndLineCount) {
  const std::vector<std::string> lines(8, "x 1");
  EXPECT_EQ(payload_of(lines_of(lines, "\n", true)).substr(0, 2), std::string("\x01\x08", 2));
  EXPECT_EQ(payload_of(lines_of(lines, "\r\n", true)).substr(0, 2), std::string("\x03\x08", 2));
  EXPECT_EQ(payload_of(lines_of(lines, "\r\n", false)).substr(0, 2), std::string("\x02\x08", 2));
  EXPECT_EQ(payload_of(lines_of(lines, "\n", false)).substr(0, 2), std::string("\x00\x08", 2));
}

TEST(LogArchive, GroupsInOrderOfFirstAppearanceAndTheirNumbersOnlyWhenTwoOrMore) {
  const std::vector<std::string_view> mixed = {"b 2 3", "a 1", "b 4 5", "a 6"};
  const std::string body = encode_log_columns(mixed, 2);
  const BodyHead head = head_of(body);
  EXPECT_EQ(head.n, 2u);
  EXPECT_EQ(head.field_counts, (std::vector<std::uint64_t>{3, 2}));
  // The group numbers 0 1 0 1 follow the field counts.
  ByteCursor cursor{body, 4};
  MagnitudeBudget budget(100);
  const IntegerList groups = decode_number_column(cursor, 4, budget);
  EXPECT_EQ(groups.words(), (std::vector<std::uint64_t>{0, 1, 0, 1}));

  // One group: the first column's kind byte follows its field count directly.
  const std::vector<std::string_view> same = {"a 1", "b 2"};
  EXPECT_EQ(encode_log_columns(same, 2).substr(0, 4), std::string("\x02\x01\x02\x03", 4));
  EXPECT_EQ(encode_log_columns(same, 0).substr(0, 4), std::string("\x00\x01\x01\x03", 4));
}

TEST(LogArchive, ExtraSpacesStayInTheLastField) {
  const std::vector<std::string> lines = {"a  b c", "d", "e 1  ", "f 2", " ", "3 ", "g 4", "h 5 6"};
  const std::vector<std::string_view> views(lines.begin(), lines.end());
  const std::string body = encode_log_columns(views, 1);
  EXPECT_EQ(head_of(body).field_counts, (std::vector<std::uint64_t>{2, 1}));
  const std::string payload = std::string("\x00\x08", 2) + deflate_compress_best(body);
  const std::string text = lines_of(lines, "\n", false);
  EXPECT_EQ(decode_log_payload(payload, text.size()), text);
}

TEST(LogArchive, ColumnsReusedAcrossFieldCountsMatchFreshOnes) {
  // Space counts 0 to 5 mixed, repeated lines and numbers in every field: groups of one count
  // and groups of n spaces or more, last fields cut short or kept whole.
  const std::vector<std::string> lines = {"a 1 2 3", "b 4", "c 5 6 7 8 9", "7", "d 10 11 12", "e 13 14 15 x",
                                          "a 1 2 3", "f 16 17  18", "g 19 20 21 22 23", "h 24"};
  const std::vector<std::string_view> views(lines.begin(), lines.end());
  for (const std::vector<std::uint64_t>& order :
       {std::vector<std::uint64_t>{0, 1, 2, 3, 4, 5, 6}, std::vector<std::uint64_t>{6, 3, 1, 4, 0, 2, 5, 3}}) {
    LogColumnEncoder encoder(views, 1000);
    for (std::uint64_t n : order) EXPECT_EQ(encoder.encode(n), encode_log_columns(views, n, 1000)) << n;
  }
}

TEST(LogArchive, FieldCountCandidates) {
  const std::vector<std::uint64_t> small = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  auto with = [&](std::uint64_t n) {
    std::vector<std::uint64_t> out = small;
    out.push_back(n);
    return out;
  };
  EXPECT_EQ(log_field_count_candidates(0), (std::vector<std::uint64_t>{0}));
  EXPECT_EQ(log_field_count_candidates(3), (std::vector<std::uint64_t>{0, 1, 2, 3}));
  EXPECT_EQ(log_field_count_candidates(12), small);
  EXPECT_EQ(log_field_count_candidates(13), with(13));
  EXPECT_EQ(log_field_count_candidates(20), with(20));
  EXPECT_EQ(log_field_count_candidates(255), with(255));
  EXPECT_EQ(log_field_count_candidates(256), small);
  EXPECT_EQ(log_field_count_candidates(300), small);
}

// The fast-deflate size of each candidate's body for lines, and the first smallest.
std::uint64_t best_field_count(const std::vector<std::string_view>& lines, std::uint64_t most_spaces) {
  std::uint64_t best = 0;
  std::uint64_t best_size = 0;
  for (std::uint64_t n : log_field_count_candidates(most_spaces)) {
    const std::uint64_t size = deflate_compress_fast(encode_log_columns(lines, n));
    if (n == 0 || size < best_size) {
      best = n;
      best_size = size;
    }
  }
  return best;
}

TEST(LogArchive, FieldCountIsChosenOnTheFirst4000Lines) {
  // The first 4000 lines are best cut at both spaces: whole, their middle word holds a digit
  // only now and then, so they share no template. The 20000 after them repeat ten phrases of
  // three random numbers: cut, each phrase is paid for three times, so over the whole text
  // keeping lines whole would win.
  std::mt19937_64 rng(3);
  std::vector<std::string> phrases;
  for (int i = 0; i < 10; ++i) {
    phrases.push_back(std::to_string(rng() % 100000) + " " + std::to_string(rng() % 100000) + " " +
                      std::to_string(rng() % 100000));
  }
  std::vector<std::string> lines;
  for (int i = 0; i < 4000; ++i) lines.push_back(std::string(i % 3 ? "k x " : "k y5 ") + std::to_string(i * 3));
  for (int i = 0; i < 20000; ++i) lines.push_back(phrases[rng() % 10]);
  const std::vector<std::string_view> views(lines.begin(), lines.end());
  const std::vector<std::string_view> sample(views.begin(), views.begin() + 4000);
  ASSERT_NE(best_field_count(sample, 2), best_field_count(views, 2));

  const std::string text = lines_of(lines, "\n", true);
  const std::string payload = payload_of(text);
  EXPECT_EQ(payload_head(payload).n, best_field_count(sample, 2));
  EXPECT_EQ(decode_log_payload(payload, text.size()), text);
}

// The kind byte of every column of a body with one group, in order.
std::vector<ColumnKind> column_kinds(std::string_view body, std::uint64_t rows) {
  ByteCursor cursor{body};
  cursor_read_varint_u64(cursor);
  EXPECT_EQ(cursor_read_varint_u64(cursor), 1u);
  const std::uint64_t f = cursor_read_varint_u64(cursor);
  std::vector<ColumnKind> kinds;
  for (std::uint64_t j = 0; j < f; ++j) {
    kinds.push_back(cursor_take_byte(cursor));
    MagnitudeBudget budget(1 << 20);
    decode_table_column(cursor, kinds.back(), rows, 1 << 20, 1 << 20, budget);
  }
  return kinds;
}

TEST(LogArchive, ColumnsShareTheDecodersMagnitudeBudget) {
  // Two fields of 30-digit counters: as numbers each column's big values print 1500 digits, which
  // its decoder makes before it writes the text; the decoder of a text of t bytes makes no more
  // than t of them: both columns fit for t = 3050 (the text's size), only the first for t = 1600.
  std::vector<std::string> lines;
  for (int i = 0; i < 50; ++i) {
    const std::string counter = "1" + std::string(27, '0') + std::to_string(10 + i);
    lines.push_back(counter + " " + counter);
  }
  const std::vector<std::string_view> views(lines.begin(), lines.end());
  const std::vector<ColumnKind> numeric = {kColumnNumeric, kColumnNumeric};
  EXPECT_EQ(column_kinds(encode_log_columns(views, 1, 3050), 50), numeric);
  const std::vector<ColumnKind> kinds = column_kinds(encode_log_columns(views, 1, 1600), 50);
  EXPECT_EQ(kinds[0], kColumnNumeric);
  EXPECT_NE(kinds[1], kColumnNumeric);
}

TEST(LogArchive, DeclinesTextThatIsNoLog) {
  EXPECT_FALSE(compress_log("1 2\n3 4\n"));
  EXPECT_FALSE(compress_log(std::string(100, '\n')));
}

// ---- The refusal of structureless text ----

// Lines of base64 of random bytes: nearly every line holds a digit, so it passes as a log.
std::string base64_lines(std::size_t size) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937_64 rng(11);
  std::string text;
  while (text.size() < size) {
    for (int i = 0; i < 76; ++i) text.push_back(kAlphabet[rng() % 64]);
    text += "\n";
  }
  text.resize(size);
  return text;
}

TEST(LogArchive, StructurelessTextOf16KiBOrMoreIsRefused) {
  EXPECT_TRUE(compress_log(base64_lines(16383)));
  EXPECT_ERROR(compress_log(base64_lines(16384)), kStructurelessTextMessage);
  EXPECT_ERROR(compress_log(base64_lines(65536)), kStructurelessTextMessage);
  EXPECT_EQ(std::string(kStructurelessTextMessage).rfind("Input is not numeric: the text has no structure", 0), 0u);
}

// Lines of random figures in fixed fields, with k lines in every 12 of base64 instead: from a
// log that stores well to one no better than its plain deflate. The payload of each is over a
// quarter of the text, so each is weighed against that deflate.
TEST(LogArchive, TheRefusalWeighsThePayloadAgainstThePlainDeflate) {
  const std::string base64 = base64_lines(1 << 17);
  bool kept = false;
  bool refused = false;
  for (const std::size_t k : {0, 6, 8, 9, 12}) {
    SCOPED_TRACE(k);
    std::mt19937_64 rng(k);
    std::size_t base64_at = 0;
    std::string text;
    for (std::size_t line = 0; text.size() < 100000; ++line) {
      if (line % 12 < k) {
        text += base64.substr(base64_at, 77);
        base64_at += 77;
        continue;
      }
      text += "1 " + std::to_string(10000 + rng() % 90000) + "U " + std::to_string(rng() % 100000000) + "." +
              std::to_string(10000000 + rng() % 90000000) + " -." + std::to_string(1000000 + rng() % 9000000) + "\n";
    }
    const std::uint64_t plain = deflate_compress_best(text).size();
    try {
      const std::optional<std::string> payload = compress_log(text);
      ASSERT_TRUE(payload);
      EXPECT_GT(4 * payload->size(), text.size());
      EXPECT_LE(20 * payload->size(), 19 * plain);
      kept = true;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), kStructurelessTextMessage);
      refused = true;
    }
  }
  EXPECT_TRUE(kept);
  EXPECT_TRUE(refused);
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
  auto add = [&](const char* name, const Payload& p, const char* message, std::uint64_t limit = 1000) {
    cases.push_back({name, p.bytes(), limit, message});
  };
  const std::vector<std::string_view> eight_a(8, "a");
  const std::vector<std::string_view> one_to_eight = {"1", "2", "3", "4", "5", "6", "7", "8"};

  cases.push_back({"empty payload", "", 1000, "Truncated log"});
  cases.push_back({"line count cut off", std::string("\x00\x80", 2), 1000, "Truncated number list"});
  cases.push_back({"no body", std::string("\x00\x08", 2), 1000, "Truncated zlib stream"});
  Payload p = eight_lines();
  p.flags = 4;
  add("flags 4", p, "Invalid log flags");
  p = eight_lines();
  p.lines = 0;
  add("no line", p, "Invalid log size");
  p.lines = 9;
  add("more line endings than the limit", p, "Invalid log size", 7);

  for (const auto& [n, counts] : std::vector<std::pair<std::uint64_t, std::vector<std::uint64_t>>>{
           {256, {2}}, {1, {}}, {9, {1, 2, 3, 4, 5, 6, 7, 8, 9}}, {0, {1, 2}}}) {
    p = eight_lines();
    p.body.n = n;
    p.body.field_counts = counts;
    add("N and the group count", p, "Invalid log groups");
  }
  for (const std::vector<std::uint64_t>& counts : std::vector<std::vector<std::uint64_t>>{{0}, {3}, {2, 2}}) {
    p = eight_lines();
    p.body.field_counts = counts;
    add("a field count", p, "Invalid log group");
  }
  p = eight_lines();
  p.body.field_counts = {2, 1};
  for (const std::vector<std::int64_t>& groups : std::vector<std::vector<std::int64_t>>{
           {0, 0, 0, 0, 0, 0, 0, 2}, {-1, 0, 0, 0, 0, 0, 0, 1}}) {
    p.body.rest = group_column(groups);
    add("a group number", p, "Invalid log group index");
  }
  p.body.rest = group_column({0, 0, 0, 0, 0, 0, 0, 0}) + raw_column(eight_a) + raw_column(one_to_eight);
  add("a group without lines", p, "Invalid log groups");
  p = eight_lines();
  p.body.n = 2;
  p.body.field_counts = {3};
  add("spaces alone past the limit", p, "Invalid log groups", 22);

  for (std::uint8_t kind : {16, 0x83}) {
    p = eight_lines();
    p.body.rest = raw_column(eight_a, kind) + raw_column(one_to_eight);
    add("a kind byte above 15", p, "Invalid log column kind");
  }
  p.body.rest = raw_column(eight_a, 5) + raw_column(one_to_eight);
  add("a kind the column codec does not know", p, "Invalid column kind");
  p.body.rest = raw_column(eight_a);
  add("a column missing", p, "Truncated number list");

  p = eight_lines();
  p.body.rest = raw_column({"a", "a", "a\nb", "a", "a", "a", "a", "a"}) + raw_column(one_to_eight);
  add("LF in a field", p, "Invalid log field");
  p.body.rest = raw_column({"a", "a b", "a", "a", "a", "a", "a", "a"}) + raw_column(one_to_eight);
  add("space in a field before the last", p, "Invalid log field");
  // With N = 2 a group of two fields was not cut at all N spaces: its last field has none.
  p.body.n = 2;
  p.body.rest = raw_column(eight_a) + raw_column({"1", "2 3", "3", "4", "5", "6", "7", "8"});
  add("space in the last field of a short line", p, "Invalid log field");

  p = eight_lines();
  p.body.rest = dictionary_column({"a", "b\nc"}, {0, 0, 0, 1, 0, 0, 0, 0}) + raw_column(one_to_eight);
  add("LF in a chosen dictionary entry", p, "Invalid log field");

  p = eight_lines();
  p.body.rest = raw_column(eight_a) + raw_column({"1", "2", "3", "4", "5", "6", "7", "89"});
  add("fields past the limit", p, "Output exceeds decompression limit", 31);
  p = eight_lines();
  p.flags = kLogFinalLineEnding | kLogCrLf;
  add("CR bytes past the limit", p, "Output exceeds decompression limit", 39);
  p = eight_lines();
  p.body.rest += "x";
  add("one byte after the last column", p, "Trailing data in log");

  p = eight_lines();
  p.body.rest = raw_column(eight_a) + raw_column(eight_a);
  add("no digit anywhere", p, "Archive decodes to something that is not a log");
  p.body.rest = raw_column(eight_a) + raw_column({"1", "2", "3", "4", "5", "6", "7", std::string_view("8\0", 2)});
  add("a NUL byte in a field", p, "Archive decodes to something that is not a log");
  // An empty last line without a final line ending: the text ends in LF and reads back as 7
  // lines ended by LF.
  p = eight_lines();
  p.flags = 0;
  p.body.n = 0;
  p.body.field_counts = {1};
  p.body.rest = raw_column({"1", "2", "3", "4", "5", "6", "7", ""});
  add("an empty last line without a final line ending", p, "Archive decodes to something that is not a log");
  return cases;
}

TEST(LogArchive, EveryDecoderMessageByACraftedPayload) {
  // The fixture itself decodes, at exactly its size.
  EXPECT_EQ(decode_log_payload(eight_lines().bytes(), 32), "a 1\na 2\na 3\na 4\na 5\na 6\na 7\na 8\n");
  for (const BadCase& c : bad_cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_ERROR(decode_log_payload(c.payload, c.limit), c.message);
  }
}

TEST(LogArchive, CraftedPayloadsThatAreStillLogs) {
  // A space in the last field of a line cut at all N spaces; a group of one field beside it.
  Payload p;
  p.flags = 0;
  p.body.n = 1;
  p.body.field_counts = {2, 1};
  p.body.rest = group_column({0, 1, 0, 0, 0, 0, 0, 0}) + raw_column({"a", "a", "a", "a", "a", "a", "a"}) +
                raw_column({"1 2", "3", "4", "5", "6", "7", "8"}) + raw_column({"9"});
  EXPECT_EQ(decode_log_payload(p.bytes(), 1000), "a 1 2\n9\na 3\na 4\na 5\na 6\na 7\na 8");

  // A dictionary entry that no line chooses may hold anything.
  p = eight_lines();
  p.body.rest = dictionary_column({"a", "b\n c"}, {0, 0, 0, 0, 0, 0, 0, 0}) +
                raw_column({"1", "2", "3", "4", "5", "6", "7", "8"});
  EXPECT_EQ(decode_log_payload(p.bytes(), 1000), "a 1\na 2\na 3\na 4\na 5\na 6\na 7\na 8\n");

  // Nine lines, the last empty and unterminated: too few digit tokens as cells (8 in 41), but
  // the text is eight lines of five tokens with a final line ending, which is a log.
  p = Payload();
  p.flags = 0;
  p.lines = 9;
  p.body.n = 0;
  p.body.field_counts = {1};
  std::vector<std::string_view> cells(8, "1 a a a a");
  cells.push_back("");
  p.body.rest = raw_column(cells);
  std::string text;
  for (int i = 0; i < 8; ++i) text += "1 a a a a\n";
  ASSERT_TRUE(is_log_text(text));
  EXPECT_EQ(decode_log_payload(p.bytes(), 1000), text);
  // Streamed, the text is only known to read back differently once written: it is made again
  // in memory.
  test::RecordingSink sink;
  stream_log_payload(p.bytes(), 1000, sink);
  EXPECT_EQ(sink.text, text);
  EXPECT_EQ(sink.restarts, 1);

  // A column scale is weighed against the whole limit, not against the room the line endings
  // leave: eight zeros stored under a scale of 10, every digit dropped again, in 16 bytes.
  p = Payload();
  p.body.n = 0;
  p.body.field_counts = {1};
  IntegerList zeros(Signedness::Signed);
  for (int i = 0; i < 8; ++i) zeros.push_word(0);
  p.body.rest = std::string("\x00\x04", 2) + varint(10) + *encode_number_column(std::move(zeros));
  for (int i = 0; i < 8; ++i) p.body.rest += varint(10);
  EXPECT_EQ(decode_log_payload(p.bytes(), 16), "0\n0\n0\n0\n0\n0\n0\n0\n");
}

// The decoder settles whether its text is a log from the columns' tokens; a scan of the whole
// text must agree on every one of these payloads. Eight lines of two fields (N = 1), each column
// stored as the kind given; the second field is the last and may hold spaces.
TEST(LogArchive, ColumnTokensDecideAsTheWholeTextWould) {
  using Cells = std::vector<std::string_view>;
  const Cells digits = {"1", "2", "3", "4", "5", "6", "7", "8"};
  const Cells letters(8, "a");
  auto column = [](ColumnKind kind, const Cells& cells) {
    switch (kind) {
      case kColumnNumeric:
        return encode_numeric_candidate(cells);
      case kColumnTemplateSlots:
        return encode_template_candidate(cells, true);
      case kColumnDictionary:
        return encode_dictionary_candidate(cells);
      default:
        return raw_column(cells);
    }
  };
  struct Case {
    const char* name;
    ColumnKind first_kind;
    Cells first;
    ColumnKind second_kind;
    Cells second;
    bool crlf;
    bool log;
    std::string second_column = {};  // when set, stored in place of the second column
  };
  const std::vector<Case> cases = {
      {"numbers beside letters", kColumnNumeric, digits, kColumnRaw, letters, false, true},
      {"numbers beside letters, CR LF", kColumnNumeric, digits, kColumnDictionary, letters, true, true},
      // 5 x 1 digit token against 5 tokens a line: just a log; one token more and not.
      {"one token in five", kColumnRaw, letters, kColumnTemplateSlots,
       Cells{"b c d 1", "b c d 2", "b c d 3", "b c d 4", "b c d 5", "b c d 6", "b c d 7", "b c d 8"}, false, true},
      {"one token in six", kColumnRaw, letters, kColumnTemplateSlots,
       Cells{"b c d e 1", "b c d e 2", "b c d e 3", "b c d e 4", "b c d e 5", "b c d e 6", "b c d e 7", "b c d e 8"},
       false, false},
      {"digit tokens in a raw last field", kColumnRaw, letters, kColumnRaw,
       Cells{"1 2", "b", "b", "b", "b", "b", "b", "b"}, false, false},
      {"digit tokens in a raw last field, enough", kColumnRaw, letters, kColumnRaw,
       Cells{"1 2", "3 4", "b", "b", "b", "b", "b", "b"}, false, true},
      // Empty numeric and template cells are tokens without a digit.
      {"empty numeric cells", kColumnNumeric, Cells{"", "", "", "", "", "", "", "5"}, kColumnRaw, letters, false, false},
      {"few empty numeric cells", kColumnNumeric, Cells{"", "", "", "", "1", "2.5", "-3e5", "-0"}, kColumnRaw, letters,
       false, true},
      {"empty template cells", kColumnTemplateSlots, Cells{"", "", "", "", "", "", "", "x5"}, kColumnRaw, letters,
       false, false},
      // Bytes that no log holds, wherever a cell has them.
      {"a control byte in a template part", kColumnTemplateSlots,
       Cells{"\x01" "1", "\x01" "2", "\x01" "3", "\x01" "4", "\x01" "5", "\x01" "6", "\x01" "7", "\x01" "8"},
       kColumnRaw, letters, false, false},
      {"DEL in a template part", kColumnTemplateSlots,
       Cells{"1\x7f", "2\x7f", "3\x7f", "4\x7f", "5\x7f", "6\x7f", "7\x7f", "8\x7f"}, kColumnRaw, letters, false,
       false},
      {"TAB and CR in a template part", kColumnTemplateSlots,
       Cells{"\t1", "\r2", "\t3", "\t4", "\t5", "\t6", "\t7", "\t8"}, kColumnRaw, letters, false, true},
      {"DEL in a raw cell", kColumnNumeric, digits, kColumnRaw, Cells{"a", "a", "a", "a\x7f", "a", "a", "a", "a"},
       false, false},
      {"a control byte in a chosen dictionary entry", kColumnNumeric, digits, kColumnDictionary,
       Cells{"a", "a", "\x1b", "a", "a", "a", "a", "a"}, false, false},
      // Entries count as often as they are chosen: never, or once a line.
      {"digits only in an entry no line chooses", kColumnRaw, letters, kColumnDictionary,
       Cells(8, "b c d e 1"), false, false, dictionary_column({"b c d e 1", "1 2 3 4 5 6 7 8 9"}, std::vector<std::uint8_t>(8, 0))},
      {"an entry chosen by every line", kColumnRaw, letters, kColumnDictionary, Cells(8, "b c d 1"), false, true,
       dictionary_column({"x", "b c d 1"}, std::vector<std::uint8_t>(8, 1))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Payload p;
    p.flags = c.crlf ? kLogCrLf : 0;
    p.body.rest = column(c.first_kind, c.first) +
                  (c.second_column.empty() ? column(c.second_kind, c.second) : c.second_column);
    ASSERT_EQ(static_cast<ColumnKind>(p.body.rest[0]), c.first_kind);
    std::string text;
    for (std::size_t i = 0; i < 8; ++i) {
      if (i > 0) text += c.crlf ? "\r\n" : "\n";
      text += std::string(c.first[i]) + " " + std::string(c.second[i]);
    }
    EXPECT_EQ(is_log_text(text), c.log);
    test::RecordingSink sink;
    if (c.log) {
      EXPECT_EQ(decode_log_payload(p.bytes(), 1000), text);
      stream_log_payload(p.bytes(), 1000, sink);
      EXPECT_EQ(sink.text, text);
    } else {
      EXPECT_ERROR(decode_log_payload(p.bytes(), 1000), "Archive decodes to something that is not a log");
      EXPECT_ERROR(stream_log_payload(p.bytes(), 1000, sink), "Archive decodes to something that is not a log");
    }
  }
}

TEST(LogArchive, StreamedTextThatFailsItsFinalCheckFailsAfterItsPieces) {
  // A million lines of letters: well formed up to the final check, which needs every line.
  Payload p;
  p.lines = 1 << 20;
  p.body.n = 0;
  p.body.field_counts = {1};
  p.body.rest = dictionary_column({"abcd"}, std::vector<std::uint8_t>(p.lines, 0));
  test::RecordingSink sink;
  EXPECT_ERROR(stream_log_payload(p.bytes(), 8 << 20, sink), "Archive decodes to something that is not a log");
  EXPECT_GE(sink.pieces, 4);
}

TEST(LogArchive, ExpansionBombsStopAtTheLimit) {
  // One dictionary entry of 64 KiB chosen by a million lines would be 64 GiB.
  Payload p;
  p.lines = 1 << 20;
  p.body.n = 0;
  p.body.field_counts = {1};
  p.body.rest = std::string(1, kColumnDictionary) + varint(1) + varint(1 << 16) + std::string(1 << 16, '7') +
                std::string(1 << 20, '\0');
  EXPECT_ERROR(decode_log_payload(p.bytes(), 8 << 20), "Output exceeds decompression limit");
}

}  // namespace
}  // namespace corvale
