#include "logic/version.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace corvale_gui {
namespace {

using Parts = std::vector<std::uint64_t>;
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(ParseVersion, PartsAndWhatCountsAsZero) {
  struct Case {
    const char* text;
    Parts expected;
  };
  const Case cases[] = {
      {"0.1.0", {0, 1, 0}},
      {" 2.0 ", {2, 0}},
      {"1..2", {1, 0, 2}},
      {"r1.2", {0, 2}},
      {"1.2.3-beta", {1, 2, 0}},
      {"", {0}},
      {"7", {7}},
      {".", {0, 0}},
      {"1.", {1, 0}},
      {"+1.+2", {1, 2}},
      {"+.1", {0, 1}},                // a "+" alone has no digits
      {"-1.2", {0, 2}},
      {"1 .2", {0, 2}},               // inner blanks are not trimmed
      {"18446744073709551615.1", {kMax, 1}},
      {"18446744073709551616.1", {0, 1}},  // one past the largest 64-bit value
      {"99999999999999999999999", {0}},
      // Unicode white space at both ends: no-break space, ideographic space, line breaks.
      {"\u00A02.1\u3000", {2, 1}},
      {"\r\n\t 0.3\u2028\u0085", {0, 3}},
      {"\u3000", {0}},
      {"\u00A0.\u00A0", {0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_version(c.text), c.expected) << c.text;
}

TEST(ParseVersion, ComponentsOneAtATimeThenTheEnd) {
  VersionParts parts("3..x");
  EXPECT_EQ(next_version_component(parts), 3u);
  EXPECT_EQ(next_version_component(parts), 0u);
  EXPECT_EQ(next_version_component(parts), 0u);
  EXPECT_EQ(next_version_component(parts), std::nullopt);
  EXPECT_EQ(next_version_component(parts), std::nullopt);
}

TEST(IsNewerVersion, FirstDifferenceDecidesMissingPartsAreZero) {
  const Parts own = parse_version("0.1.0");
  struct Case {
    const char* remote;
    bool newer;
  };
  const Case cases[] = {
      {"0.1.0", false}, {"0.1", false},     {"0.1.0.0", false}, {"0.0.9", false},
      {"0", false},     {"0.1.1", true},    {"0.2", true},      {"1", true},
      {"0.1.0.1", true}, {"0.0.99", false}, {"version", false}, {"0.1.0-rc1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_newer_version(parse_version(c.remote), own), c.newer) << c.remote;
  EXPECT_FALSE(is_newer_version({kMax}, {kMax}));
  EXPECT_TRUE(is_newer_version({kMax}, {kMax - 1, kMax}));
}

}  // namespace
}  // namespace corvale_gui
