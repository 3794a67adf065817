#include "codecs/written/exponent_column.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/magnitude_text.h"
#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

using F = ExponentForm;

// Writes the exponents of tokens, reads them back and renders each number's exponent.
std::vector<std::string> round_trip(const std::vector<std::string>& tokens) {
  std::vector<ExponentForm> forms;
  std::vector<std::string_view> digits;
  for (const std::string& t : tokens) {
    const ExponentSplit e = split_exponent(t);
    forms.push_back(e.form);
    if (e.form != F::kNone) digits.push_back(e.digits);
  }
  std::string column;
  encode_digit_string_column(forms, digits, column);
  ByteCursor cursor{column};
  MagnitudeBudget budget(1 << 20);
  const ExponentColumn exponents = decode_exponents(cursor, tokens.size(), budget);
  EXPECT_TRUE(cursor.at_end());
  std::vector<std::string> out;
  std::size_t k = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    std::string text = std::string(split_exponent(tokens[i]).mantissa);
    if (exponents.form(i) != F::kNone) {
      text += exponent_form_text(exponents.form(i));
      text.append(exponents.leading_zeros[k], '0');
      text += test::magnitude_text(exponents.values, k);
      ++k;
    }
    out.push_back(text);
  }
  return out;
}

TEST(ExponentColumn, RestoresFormsZerosAndValues) {
  const std::vector<std::string> tokens = {"1e5", "1E5", "2", "1e+5", "1E+5", "1e-5", "1E-5", "1e007", "3E-0000",
                                           "7e123456789012345678901234567890", "4e0"};
  EXPECT_EQ(round_trip(tokens), tokens);
}

TEST(ExponentColumn, RefusesBadColumns) {
  struct Case { const char* name; std::string bytes; std::uint64_t n; const char* message; };
  const Case cases[] = {
      {"form 7", bytes({7, 1}), 2, "Invalid exponent form"},
      // Every form is read before any is judged: a cut after a bad form reads as a cut.
      {"form 7 then a cut", bytes({7, 0x80}), 2, "Truncated number list"},
      {"no exponents", bytes({0, 0, 0x00}), 2, "Exponent flag without exponents"},
      {"no numbers", "", 0, "Exponent flag without exponents"},
      {"negative value", bytes({1, 0x00, 0x01, 0x00}), 1, "Negative exponent value"},
      {"bad column method", bytes({1, 0x03}), 1, "Invalid column method"},
      {"zeros cut off", bytes({1, 0x00, 0x02}), 1, "Truncated number list"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ByteCursor cursor{k.bytes};
    MagnitudeBudget budget(1 << 20);
    EXPECT_ERROR(decode_exponents(cursor, k.n, budget), k.message);
  }
}

}  // namespace
}  // namespace corvale
