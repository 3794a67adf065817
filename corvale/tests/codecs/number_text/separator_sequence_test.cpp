#include "codecs/number_text/separator_sequence.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

// Writes runs, checks the period, reads them back as the separators between runs.size() + 1
// numbers and returns how many bytes the runs took.
std::size_t round_trip(const std::vector<std::string>& runs, std::uint64_t expected_period) {
  SeparatorSequenceWriter writer;
  for (const std::string& run : runs) writer.add(run);
  std::string out;
  EXPECT_EQ(writer.write(out), expected_period);
  ByteCursor cursor{out};
  const SeparatorSequence seq = read_separator_sequence(cursor, runs.size() + 1);
  EXPECT_TRUE(cursor.at_end());
  EXPECT_EQ(seq.period, expected_period);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const std::string_view got = seq.period ? seq.strings[i % seq.period] : seq.indexed(i);
    EXPECT_EQ(got, runs[i]) << "run " << i;
  }
  return out.size();
}

std::vector<std::string> repeat(std::vector<std::string> unit, std::size_t count) {
  std::vector<std::string> runs;
  for (std::size_t i = 0; i < count; ++i) runs.push_back(unit[i % unit.size()]);
  return runs;
}

// Distinct runs made of separator bytes: the first 729 strings of three bytes.
std::string distinct_run(std::size_t i) {
  static const char kBytes[] = "\t\n\r ,;[]|";
  return {kBytes[i % 9], kBytes[i / 9 % 9], kBytes[i / 81 % 9]};
}

TEST(SeparatorSequence, FindsTheSmallestPeriod) {
  struct Case { std::vector<std::string> runs; std::uint64_t period; };
  const Case cases[] = {
      {{}, 1},                                    // one number: nothing to compare
      {{", "}, 1},
      {repeat({",", ",", "\n"}, 9), 3},           // three numbers a line, last LF kept
      {repeat({",", ",", "\n"}, 8), 3},           // the last line without its LF
      {repeat({" ", " ", " ", "\r\n"}, 1000), 4},
      {{" ", " ", "\n"}, 3},                      // m <= 256: p = m always fits
  };
  for (const Case& k : cases) {
    SeparatorSequenceWriter writer;
    for (const std::string& run : k.runs) writer.add(run);
    EXPECT_EQ(writer.period(), k.period);
    round_trip(k.runs, k.period);
  }
}

TEST(SeparatorSequence, PeriodOf256FitsAndNoPeriodTurnsToADictionary) {
  std::vector<std::string> runs(255, " ");
  runs.push_back("\n");
  round_trip(runs, 256);  // 256 runs are their own period
  runs.insert(runs.begin(), " ");
  const std::size_t size = round_trip(runs, 0);  // 257 runs without a period up to 256
  EXPECT_EQ(size, 1u + 1 + 2 + 2 + runs.size());  // c, k, "\n", " ", one byte an index
}

TEST(SeparatorSequence, DictionaryIsInByteOrderWithIndexWidthByItsSize) {
  std::mt19937 rng(5);
  std::vector<std::string> runs;
  const std::string choices[] = {",", " ", "  ", "\n", ", "};
  for (int i = 0; i < 300; ++i) runs.push_back(choices[rng() % 5]);
  SeparatorSequenceWriter writer;
  for (const std::string& run : runs) writer.add(run);
  std::string out;
  ASSERT_EQ(writer.write(out), 0u);
  EXPECT_EQ(out.substr(0, 14), bytes({0, 5, 1, '\n', 1, ' ', 2, ' ', ' ', 1, ',', 2, ',', ' '}));
  EXPECT_EQ(out.size(), 14 + runs.size());
  round_trip(runs, 0);

  // 256 distinct runs still take one byte an index; 257 take varints (two bytes from 128 on).
  for (std::size_t k : {256u, 257u}) {
    std::vector<std::string> distinct;
    for (std::size_t i = 0; i < k; ++i) distinct.push_back(distinct_run(i));
    std::vector<std::string> many = distinct;
    for (int i = 0; i < 45; ++i) many.push_back(distinct[0]);
    const std::size_t dictionary = 1 + (k < 128 ? 1 : 2) + 4 * k;
    const std::size_t indices = k == 256 ? many.size() : many.size() + (k - 128);
    EXPECT_EQ(round_trip(many, 0), dictionary + indices) << k;
  }
}

struct BadSequence { const char* name; std::string bytes; std::uint64_t n; const char* message; };

TEST(SeparatorSequence, RefusesBadSequences) {
  const BadSequence cases[] = {
      {"period above the runs", bytes({3, 1, ',', 1, ','}), 3, "Too many columns"},
      {"period 2 for one number", bytes({2}), 1, "Too many columns"},
      {"period above 256", bytes({0x81, 0x02}), 1000, "Too many columns"},
      {"empty dictionary", bytes({0, 0}), 3, "Empty separator dictionary"},
      {"byte outside the set", bytes({1, 1, 'x'}), 2, "Invalid separator"},
      {"empty periodic run", bytes({1, 0}), 2, "Invalid separator"},
      {"empty dictionary run", bytes({0, 1, 0, 0}), 2, "Invalid separator"},
      {"index past the dictionary", bytes({0, 2, 1, ',', 1, ' ', 0, 2}), 3, "Invalid separator index"},
      {"run past the body", bytes({1, 3, ',', ','}), 2, "Truncated number list"},
      {"indices past the body", bytes({0, 1, 1, ',', 0}), 3, "Truncated number list"},
  };
  for (const BadSequence& k : cases) {
    ByteCursor cursor{k.bytes};
    SCOPED_TRACE(k.name);
    EXPECT_ERROR(read_separator_sequence(cursor, k.n), k.message);
  }
  // Varint indices of a dictionary of 257 runs are checked the same way.
  std::string wide = bytes({0, 0x81, 0x02});
  for (std::size_t i = 0; i < 257; ++i) wide += bytes({3}) + distinct_run(i);
  wide += bytes({0x80, 0x02});  // 256 is fine
  wide += bytes({0x81, 0x02});  // 257 is not
  ByteCursor cursor{wide};
  EXPECT_ERROR(read_separator_sequence(cursor, 3), "Invalid separator index");
}

TEST(SeparatorSequence, PrefixAndSuffixMayBeEmpty) {
  const std::string data = bytes({0, 2, ' ', '['});
  ByteCursor cursor{data};
  EXPECT_EQ(read_text_separator(cursor), "");
  EXPECT_EQ(read_text_separator(cursor), " [");
  EXPECT_TRUE(cursor.at_end());
  const std::string bad = bytes({2, ' ', '1'});
  ByteCursor bad_cursor{bad};
  EXPECT_ERROR(read_text_separator(bad_cursor), "Invalid separator");
}

}  // namespace
}  // namespace corvale
