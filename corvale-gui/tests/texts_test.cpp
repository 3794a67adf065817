#include "logic/texts.h"
#include "logic/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace corvale_gui {
namespace {

TEST(Texts, FillTakesValuesInOrder) {
  EXPECT_EQ(fill(texts(true).compressing, {"a.csv"}), "Compressing \xE2\x80\x9C" "a.csv\xE2\x80\x9D");
  EXPECT_EQ(fill(texts(false).extracting, {"a"}), "Распаковка \xC2\xAB" "a\xC2\xBB");
  EXPECT_EQ(fill(texts(true).newer_version, {"0.2", "0.1.0"}),
            "Version 0.2 is available; you have 0.1.0.\nOpen the download page?");
  // A value that itself holds {} is not filled again.
  EXPECT_EQ(fill("{} and {}", {"{}", "x"}), "{} and x");
  EXPECT_EQ(fill("{} {}", {"only"}), "only {}");
}

TEST(Texts, AboutBoxNamesVersionAndSupport) {
  const std::string english = about_text(true);
  EXPECT_EQ(english.rfind("Corvale " CORVALE_VERSION "\n\nLossless archiver for telemetry, time series, tables "
                          "and logs.\nArchive format " CORVALE_ARCHIVE_FORMAT_TEXT ".\n\n",
                          0),
            0u);
  EXPECT_NE(english.find(CORVALE_SUPPORT_CONTACT), std::string::npos);
  EXPECT_EQ(english.find('\n', english.size() - 1), std::string::npos);  // no trailing break
  const std::string russian = about_text(false);
  EXPECT_EQ(russian.rfind("Corvale " CORVALE_VERSION "\n\nАрхиватор без потерь", 0), 0u);
  EXPECT_NE(russian.find(CORVALE_SUPPORT_CONTACT), std::string::npos);
}

TEST(Utf16, RoundTripAndUnpairedSurrogates) {
  const std::string mixed = "Сжатие «ф» \u2192 \U0001F600 x";
  EXPECT_EQ(utf8_from_utf16(utf16_from_utf8(mixed)), mixed);
  EXPECT_EQ(utf16_from_utf8("\U0001F600"), std::u16string(u"\xD83D\xDE00"));

  const char16_t lone_high[] = {u'a', 0xD800, u'b', 0};
  const char16_t lone_low[] = {0xDC00, 0};
  const char16_t high_at_end[] = {u'a', 0xDBFF, 0};
  EXPECT_EQ(utf8_from_utf16(lone_high), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(utf8_from_utf16(lone_low), "\xEF\xBF\xBD");
  EXPECT_EQ(utf8_from_utf16(high_at_end), "a\xEF\xBF\xBD");
}

TEST(Utf16, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    const char* bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},         // overlong form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
      {"\xE2\x86", u"\uFFFD"},               // cut short: one replacement
      {"\xE2\x86x", u"\uFFFDx"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
  };
  for (const Case& c : cases) EXPECT_EQ(utf16_from_utf8(c.bytes), c.expected) << c.bytes;
}

}  // namespace
}  // namespace corvale_gui
