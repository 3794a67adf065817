#include "logic/json_field.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace corvale_gui {
namespace {

struct FieldCase {
  const char* text;
  const char* key;
  std::optional<std::string> expected;
};

TEST(JsonStringField, FirstOccurrenceOfTheKeyDecides) {
  const FieldCase cases[] = {
      {R"({"version":"0.1.1"})", "version", "0.1.1"},
      {R"({"download":"https://x.test/get", "version" : "0.1.1"})", "version", "0.1.1"},
      {R"({"download":"https://x.test/get", "version" : "0.1.1"})", "download", "https://x.test/get"},
      {R"({"version":""})", "version", ""},
      {R"({"a":{"b":{"version":"2"}}})", "version", "2"},  // nested objects count too
      // White space around the colon: line breaks and other Unicode spaces as well.
      {"{\"version\"\r\n\t:\u00A0\u3000\u2009\"3.0\"}", "version", "3.0"},
      // Not a string: a number, true, an array.
      {R"({"version":0.2})", "version", std::nullopt},
      {R"({"version":true})", "version", std::nullopt},
      {R"({"version":["1"]})", "version", std::nullopt},
      {R"({"other":"1"})", "version", std::nullopt},
      {R"({"version":"1)", "version", std::nullopt},        // no closing quote
      {R"({"version")", "version", std::nullopt},           // nothing after the key
      {R"({"version":)", "version", std::nullopt},
      {R"({"Version":"1"})", "version", std::nullopt},      // keys match exactly
      // The first "version" is a value, followed by a comma: later ones are not tried.
      {R"({"note":"version","version":"9"})", "version", std::nullopt},
      // A backslash is an ordinary character: an escaped quote ends the value ...
      {R"({"version":"1.\"2\""})", "version", "1.\\"},
      // ... and \"version\" is no occurrence of "version", so the member after it is found.
      {R"({"note":"\"version\" below","version":"9"})", "version", "9"},
      // Invalid UTF-8 has become U+FFFD before the lookup; it is an ordinary character.
      {"{\"version\":\"1\uFFFD2\"}", "version", "1\uFFFD2"},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(json_string_field(c.text, c.key), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace corvale_gui
