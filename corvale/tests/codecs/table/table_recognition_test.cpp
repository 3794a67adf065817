#include "codecs/table/table_recognition.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "codecs/written/written_number.h"
#include "support/bytes.h"

namespace corvale {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Flags = std::vector<std::vector<int>>;

struct Expected {
  char separator;
  std::optional<std::string> header;
  Rows rows;
  std::optional<Flags> quoted;  // absent: the text has no quote byte
  bool final_newline;
  bool crlf;
};

struct Case {
  const char* name;
  std::string text;
  std::optional<Expected> table;  // absent: not a table
};

// Rows of `columns` cells "1" joined by separators, two lines.
std::string wide_lines(int columns) {
  std::string line(1, '1');
  line += repeat(",1", columns - 1);
  line += '\n';
  return line + line;
}

std::vector<Case> cases() {
  const Rows one_two_three_four = {{"1", "2"}, {"3", "4"}};
  return {
      // Plain road: lines, header decision, line endings.
      {"header", "a,b\n1,2\n3,4\n", Expected{',', "a,b", one_two_three_four, std::nullopt, true, false}},
      {"no header, no final LF", "1,2\n3,4", Expected{',', std::nullopt, one_two_three_four, std::nullopt, false, false}},
      {"no usable column", "x,y\nfoo,bar\n", std::nullopt},
      {"one line", "1,2,3\n", std::nullopt},
      {"empty text", "", std::nullopt},
      {"equal counts keep ','", "1;2,3\n4;5,6\n",
       Expected{',', std::nullopt, {{"1;2", "3"}, {"4;5", "6"}}, std::nullopt, true, false}},
      {"more columns win", "1,5;2;3\n4,6;7;8\n",
       Expected{';', std::nullopt, {{"1,5", "2", "3"}, {"4,6", "7", "8"}}, std::nullopt, true, false}},
      {"tab and bar", "1\t2|3\n4\t5|6\n", Expected{'\t', std::nullopt, {{"1", "2|3"}, {"4", "5|6"}}, std::nullopt, true, false}},
      {"unequal counts skip a separator", "1,2,3;4\n5,6,7,8;9\n1,2;3\n",
       Expected{';', std::nullopt, {{"1,2,3", "4"}, {"5,6,7,8", "9"}, {"1,2", "3"}}, std::nullopt, true, false}},
      {"CR LF with final", "a,b\r\n1,2\r\n3,4\r\n", Expected{',', "a,b", one_two_three_four, std::nullopt, true, true}},
      {"CR LF without final", "a,b\r\n1,2\r\n3,4", Expected{',', "a,b", one_two_three_four, std::nullopt, false, true}},
      {"CR LF, empty last cells", "a,b\r\n1,\r\n2,", Expected{',', "a,b", {{"1", ""}, {"2", ""}}, std::nullopt, false, true}},
      {"CR LF, last line LF alone", "a,b\r\n1,2\r\n3,4\n", std::nullopt},
      {"CR LF, one line LF alone", "a,b\r\n1,2\n3,4\r\n", std::nullopt},
      {"CR LF, unterminated last line with CR", "1,2\r\n3,4\r", std::nullopt},
      {"CR inside LF text", "1,2\n3\r,4\n", std::nullopt},
      {"CR on a later line only", "1,2\n3,4\r\n", std::nullopt},
      {"empty line between records", "1,2\n\n3,4\n", std::nullopt},
      {"two LF at the end", "1,2\n3,4\n\n", std::nullopt},
      {"empty cells", "1,\n,2\n", Expected{',', std::nullopt, {{"1", ""}, {"", "2"}}, std::nullopt, true, false}},
      {"1024 columns", wide_lines(1024),
       Expected{',', std::nullopt, Rows(2, std::vector<std::string>(1024, "1")), std::nullopt, true, false}},
      {"1025 columns", wide_lines(1025), std::nullopt},

      // Quoted road.
      {"quoted separator and doubled quote", "\"a,b\",1\n\"c\"\"d\",2\n",
       Expected{',', std::nullopt, {{"a,b", "1"}, {"c\"d", "2"}}, Flags{{1, 0}, {1, 0}}, true, false}},
      {"quoted header kept as written", "\"na,me\",\"v\"\"\"\n\"a\",1\n\"b\",2\n",
       Expected{',', "\"na,me\",\"v\"\"\"", {{"a", "1"}, {"b", "2"}}, Flags{{1, 0}, {1, 0}}, true, false}},
      {"header with a line break inside quotes", "\"x\ny\",n\n1,2\n3,4",
       Expected{',', "\"x\ny\",n", one_two_three_four, Flags{{0, 0}, {0, 0}}, false, false}},
      {"closing quote then a letter is literal", "\"a\"x,1\n\"b\",2\n",
       Expected{',', std::nullopt, {{"\"a\"x", "1"}, {"b", "2"}}, Flags{{0, 0}, {1, 0}}, true, false}},
      {"a quote inside a field is a byte", "a\"b,1\nc,2\n",
       Expected{',', std::nullopt, {{"a\"b", "1"}, {"c", "2"}}, Flags{{0, 0}, {0, 0}}, true, false}},
      {"doubled quote ending the text is literal", "1,2\n3,\"x\"\"",
       Expected{',', std::nullopt, {{"1", "2"}, {"3", "\"x\"\""}}, Flags{{0, 0}, {0, 0}}, false, false}},
      {"unclosed quote is literal", "1,2\n3,\"4\n5,6\n",
       Expected{',', std::nullopt, {{"1", "2"}, {"3", "\"4"}, {"5", "6"}}, Flags{{0, 0}, {0, 0}, {0, 0}}, true, false}},
      {"CR and LF inside quotes are content", "\"a\nb\",1\r\n\"c\rd\",2\r\n",
       Expected{',', std::nullopt, {{"a\nb", "1"}, {"c\rd", "2"}}, Flags{{1, 0}, {1, 0}}, true, true}},
      {"empty quoted fields and trailing separator", "\"\",1,\n\"\",2,\n",
       Expected{',', std::nullopt, {{"", "1", ""}, {"", "2", ""}}, Flags{{1, 0, 0}, {1, 0, 0}}, true, false}},
      {"quoted road mixes LF and CR LF", "\"a\",1\n\"b\",2\r\n3,4\n", std::nullopt},
      {"quoted road, lone CR outside quotes", "\"a\",1\r3,4\n", std::nullopt},
      {"quoted road, one record", "\"a\",1,2\n", std::nullopt},
      {"quoted road, unequal records", "\"a\",1\n2,3,4\n", std::nullopt},
      {"quoted road, more columns win", "\"a;b\";1;5,6\n\"c\";2;7,8\n",
       Expected{';', std::nullopt, {{"a;b", "1", "5,6"}, {"c", "2", "7,8"}}, Flags{{1, 0, 0}, {1, 0, 0}}, true, false}},
      {"quoted road, separator only inside quotes", "\"1;2\",3\n\"4\",5\n\"6;7\",8\n",
       Expected{',', std::nullopt, {{"1;2", "3"}, {"4", "5"}, {"6;7", "8"}}, Flags{{1, 0}, {1, 0}, {1, 0}}, true, false}},
  };
}

TEST(DetectTable, RecognisesTheCasesOfBothRoads) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const std::optional<ParsedTable> t = detect_table(c.text);
    EXPECT_EQ(is_table(c.text), c.table.has_value());
    ASSERT_EQ(t.has_value(), c.table.has_value());
    if (!t) continue;
    const Expected& e = *c.table;
    EXPECT_EQ(t->separator, e.separator);
    EXPECT_EQ(t->header.has_value(), e.header.has_value());
    if (t->header && e.header) {
      EXPECT_EQ(std::string(*t->header), *e.header);
    }
    EXPECT_EQ(t->final_newline, e.final_newline);
    EXPECT_EQ(t->crlf, e.crlf);
    EXPECT_EQ(t->has_quoted(), e.quoted.has_value());
    ASSERT_EQ(t->row_count(), e.rows.size());
    ASSERT_EQ(t->column_count(), e.rows[0].size());
    std::vector<std::string_view> cells;
    for (std::size_t col = 0; col < e.rows[0].size(); ++col) {
      t->cut_column(col, cells);
      ASSERT_EQ(cells.size(), e.rows.size());
      for (std::size_t r = 0; r < e.rows.size(); ++r) {
        EXPECT_EQ(std::string(cells[r]), e.rows[r][col]) << r << "," << col;
        if (e.quoted) {
          EXPECT_EQ(t->quoted(r, col), (*e.quoted)[r][col] != 0) << r << "," << col;
        }
      }
    }
  }
}

TEST(DetectTable, KeepsTheClassOfEveryDataColumn) {
  // The header row would make the first column unusable; without it the column is a template.
  const std::optional<ParsedTable> t = detect_table("id,v,w\nx1,1.5,a\nx2,-2,\n");
  ASSERT_TRUE(t);
  ASSERT_TRUE(t->header);
  EXPECT_EQ(t->column_class(0), ColumnClass::Template);
  EXPECT_EQ(t->column_class(1), ColumnClass::Numeric);
  EXPECT_EQ(t->column_class(2), ColumnClass::Unusable);
}

TEST(ClassifyTableColumn, ClassesAndTheirScores) {
  struct ClassCase {
    std::vector<std::string_view> cells;
    ColumnClass want;
  };
  const ClassCase cases[] = {
      {{"12", "", "-3.5", "1e9", ""}, ColumnClass::Numeric},
      {{"-0", "007", "2.5E+07", "1e-5"}, ColumnClass::Numeric},
      {{"a1b", "a22b"}, ColumnClass::Template},
      {{"1.", "22."}, ColumnClass::Template},  // '1.' is not a number
      {{"+1", "+2"}, ColumnClass::Template},
      {{"a1b", "c2d"}, ColumnClass::SameShape},
      {{"1", "x2"}, ColumnClass::SameShape},
      {{"a1b", "a1b2"}, ColumnClass::Unusable},
      {{"a1b", "ab"}, ColumnClass::Unusable},
      {{"", ""}, ColumnClass::Unusable},
      {{}, ColumnClass::Unusable},
      {{"", "x", "1"}, ColumnClass::Unusable},  // the first non-empty cell has no digit
  };
  for (const ClassCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.cells));
    EXPECT_EQ(classify_table_column(c.cells), c.want);
  }
  EXPECT_EQ(score_table_columns({ColumnClass::Numeric, ColumnClass::Template, ColumnClass::SameShape, ColumnClass::Unusable}), 6u);
}

TEST(ClassifyTableColumn, AFirstCellPutInFrontGivesTheSameClassAsAFreshPass) {
  const std::vector<std::vector<std::string_view>> columns = {
      {"1", "2"}, {"a1", "a2"}, {"a1", "b2"}, {"", "3"}, {}, {"", ""}, {"a", "1"}, {"1", "a1", "a2"},
  };
  const std::string_view firsts[] = {"", "7", "a9", "b9", "x", "9x9", "-0", "a"};
  for (const auto& rest : columns) {
    ColumnClassifier classifier;
    for (std::string_view cell : rest) classifier.add(cell);
    for (std::string_view first : firsts) {
      std::vector<std::string_view> all = {first};
      all.insert(all.end(), rest.begin(), rest.end());
      SCOPED_TRACE(testing::PrintToString(all));
      EXPECT_EQ(classifier.result_with_first(first), classify_table_column(all));
    }
  }
}

// The classes by their definition: cells compared by their template parts as text.
ColumnClass classify_by_templates(const std::vector<std::string_view>& cells) {
  std::optional<CellTemplate> reference;
  bool numbers = true, same_parts = true, same_runs = true;
  for (std::string_view cell : cells) {
    if (cell.empty()) continue;
    const NumberScan scan = scan_number(cell, 0);
    numbers = numbers && scan.ok && scan.end == cell.size();
    const CellTemplate t = split_cell_template(cell);
    if (!reference) {
      reference = t;
      continue;
    }
    same_parts = same_parts && t.parts == reference->parts;
    same_runs = same_runs && t.digit_runs.size() == reference->digit_runs.size();
  }
  if (!reference) return ColumnClass::Unusable;
  if (numbers) return ColumnClass::Numeric;
  if (reference->digit_runs.empty()) return ColumnClass::Unusable;
  if (same_parts) return ColumnClass::Template;
  return same_runs ? ColumnClass::SameShape : ColumnClass::Unusable;
}

TEST(ClassifyTableColumn, NumbersAndNearNumbersInEveryOrderMatchTheDefinition) {
  // Numbers of every template, cells one byte away from being numbers, and text with and without
  // digits: every column of three of them, classified alone and with a first cell put in front.
  const std::string_view pool[] = {"7",   "-7",  "7.5",  "-0.5",  "7e5",  "7E5",  "7e+5", "7E-5", "-7.5e-05",
                                   "3.25", "10", "7.",   "+7",    ".5",   "7e",   "7e+",  "7.5x", "--7",
                                   "a7",  "x",   "7-5",  "7.5.5", "-",    "a7b",  "a77b", "a7b7", "b7a", ""};
  for (std::string_view a : pool) {
    for (std::string_view b : pool) {
      for (std::string_view c : pool) {
        const std::vector<std::string_view> rest = {a, b, c};
        ColumnClassifier classifier;
        for (std::string_view cell : rest) classifier.add(cell);
        ASSERT_EQ(classifier.result(), classify_by_templates(rest)) << testing::PrintToString(rest);
        for (std::string_view first : {std::string_view("9"), std::string_view("-9.0"), std::string_view("y9")}) {
          std::vector<std::string_view> all = {first};
          all.insert(all.end(), rest.begin(), rest.end());
          ASSERT_EQ(classifier.result_with_first(first), classify_by_templates(all)) << testing::PrintToString(all);
        }
      }
    }
  }
}

TEST(SplitCellTemplate, PartsAroundDigitRuns) {
  const CellTemplate t = split_cell_template("a1b22");
  EXPECT_EQ(t.parts, (std::vector<std::string_view>{"a", "b", ""}));
  EXPECT_EQ(t.digit_runs, (std::vector<std::string_view>{"1", "22"}));
  EXPECT_EQ(split_cell_template("123").parts, (std::vector<std::string_view>{"", ""}));
  EXPECT_EQ(split_cell_template("abc").parts, (std::vector<std::string_view>{"abc"}));
  EXPECT_TRUE(split_cell_template("").digit_runs.empty());
}

TEST(HeaderLineMatches, OneRecordOfTheColumnCountWithoutALineEnding) {
  struct HeaderCase {
    std::string text;
    std::size_t columns;
    bool ok;
  };
  const HeaderCase cases[] = {
      {"a,b", 2, true},
      {"\"a,b\",\"x\ny\"", 2, true},  // a separator and a line break inside quotes
      {"\"a\"\"\",", 2, true},           // a doubled quote, then an empty last field
      {"a,b", 3, false},
      {"a,b,c", 2, false},
      {"a,b\n", 2, false},
      {"a,b\r\n", 2, false},
      {"a,b\nc,d", 2, false},
      {"a,\rb", 2, false},
      {"", 2, false},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(header_line_matches(c.text, ',', c.columns), c.ok);
  }
}

}  // namespace
}  // namespace corvale
