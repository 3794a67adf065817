#include "logic/update_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvale_gui {
namespace {

TEST(SettingsFolder, InsideApplicationDataOrTheCurrentFolder) {
  EXPECT_EQ(settings_folder(std::filesystem::path("/home/u/AppData")),
            std::filesystem::path("/home/u/AppData/corvale"));
  EXPECT_EQ(settings_folder(std::nullopt), std::filesystem::path("corvale"));
  EXPECT_EQ(settings_folder(std::filesystem::path()), std::filesystem::path("corvale"));
}

TEST(AutomaticCheckDue, OnceADayByTheStamp) {
  constexpr std::uint64_t kSecond = 10'000'000;  // file times count 100 ns
  const std::uint64_t now = 133'000'000'000'000'000;
  struct Case {
    const char* name;
    std::optional<std::uint64_t> stamp;
    bool due;
  };
  const Case cases[] = {
      {"no stamp", std::nullopt, true},
      {"just checked", now, false},
      {"86,400 s ago", now - 86'400 * kSecond, false},
      {"86,401 s ago less 100 ns", now - 86'401 * kSecond + 1, false},
      {"86,401 s ago", now - 86'401 * kSecond, true},
      {"a week ago", now - 7 * 86'400 * kSecond, true},
      {"100 ns in the future", now + 1, true},
      {"a day in the future", now + 86'400 * kSecond, true},
      {"at the epoch", 0, true},
  };
  for (const Case& c : cases) EXPECT_EQ(automatic_check_due(c.stamp, now), c.due) << c.name;
  EXPECT_FALSE(automatic_check_due(0, 0));
}

TEST(UpdateClient, ArgumentsInTheirOrder) {
  const std::vector<std::string> expected = {
      "-s", "-f", "-L", "-m", "10", "-A", "Corvale/0.1.0", CORVALE_UPDATE_SERVER "/version.json"};
  EXPECT_EQ(update_client_arguments(), expected);
}

TEST(DownloadAddress, OnlyHttps) {
  struct Case {
    std::optional<std::string> address;
    bool accepted;
  };
  const Case cases[] = {
      {"https://example.test/download", true},
      {"https://", true},
      {std::nullopt, false},
      {"", false},
      {"http://example.test/download", false},
      {"HTTPS://example.test/", false},
      {" https://example.test/", false},
      {"file:///C:/Windows/System32/calc.exe", false},
      {"C:\\Windows\\System32\\calc.exe", false},
      {"\\\\server\\share\\setup.exe", false},
      {"calc.exe", false},
      {"ftp://example.test/", false},
      {"https:example.test", false},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> accepted = accepted_download_address(c.address);
    EXPECT_EQ(accepted.has_value(), c.accepted) << c.address.value_or("<none>");
    if (c.accepted) {
      EXPECT_EQ(accepted, c.address);
    }
  }
}

TEST(ReadUpdateDocument, VersionAndDownload) {
  struct Case {
    const char* name;
    std::optional<std::string> output;
    bool failed;
    bool newer;
    std::string version;
    std::optional<std::string> download;
  };
  const Case cases[] = {
      {"client failed", std::nullopt, true, false, "", std::nullopt},
      {"empty output", "", true, false, "", std::nullopt},
      {"version a number", R"({"version":0.2})", true, false, "", std::nullopt},
      {"same version", R"({"version":"0.1.0"})", false, false, "0.1.0", std::nullopt},
      {"shorter same", R"({"version":"0.1"})", false, false, "0.1", std::nullopt},
      {"older", R"({"version":"0.0.9","download":"https://x.test/"})", false, false, "0.0.9", "https://x.test/"},
      {"newer, download first", R"({"download":"https://x.test/get","version" : "0.1.1"})", false, true,
       "0.1.1", "https://x.test/get"},
      {"newer, no download", R"({"version":"0.2"})", false, true, "0.2", std::nullopt},
      {"newer, download not https", R"({"version":"0.2","download":"C:\\evil.exe"})", false, true, "0.2",
       std::nullopt},
      {"version text kept as found", R"({"version":" 0.2 "})", false, true, " 0.2 ", std::nullopt},
      {"invalid UTF-8 read as U+FFFD", "{\"version\":\"0.\xFF\xFE.5\"}", false, false, "0.\uFFFD\uFFFD.5",
       std::nullopt},
  };
  for (const Case& c : cases) {
    const UpdateOutcome outcome = read_update_document(c.output);
    EXPECT_EQ(outcome.failed, c.failed) << c.name;
    EXPECT_EQ(outcome.newer, c.newer) << c.name;
    EXPECT_EQ(outcome.version, c.version) << c.name;
    EXPECT_EQ(outcome.download, c.download) << c.name;
  }
}

TEST(ReadUpdateDocument, AtMostOneMebibyte) {
  std::string document = R"({"version":"0.2"})";
  document.resize(kMaxUpdateDocumentBytes, ' ');
  EXPECT_FALSE(read_update_document(document).failed);
  document += ' ';
  EXPECT_TRUE(read_update_document(document).failed);
}

struct Fields {
  std::optional<std::string> version, download, error;
  bool keep_open = false;
  UpdateFields view() { return {version, download, error, keep_open}; }
};

TEST(StoreUpdateOutcome, WhatEachOutcomeChanges) {
  Fields f;
  store_update_outcome(read_update_document(std::nullopt), false, f.view());
  EXPECT_EQ(f.error, "сайт недоступен");
  EXPECT_FALSE(f.version || f.download || f.keep_open);

  // Nothing newer clears the error and touches nothing else.
  store_update_outcome(read_update_document(R"({"version":"0.1.0"})"), true, f.view());
  EXPECT_EQ(f.error, std::nullopt);
  EXPECT_FALSE(f.version || f.download || f.keep_open);

  f.error = "the site is not reachable";
  store_update_outcome(read_update_document(R"({"version":"0.3","download":"https://x.test/"})"), true,
                       f.view());
  EXPECT_EQ(f.version, "0.3");
  EXPECT_EQ(f.download, "https://x.test/");
  EXPECT_TRUE(f.keep_open);
  EXPECT_EQ(f.error, "the site is not reachable");  // left as it was

  // A newer version found once stays through failures and through "nothing newer".
  store_update_outcome(read_update_document(std::nullopt), true, f.view());
  store_update_outcome(read_update_document(R"({"version":"0.0.1"})"), true, f.view());
  EXPECT_EQ(f.version, "0.3");
  EXPECT_EQ(f.download, "https://x.test/");
  EXPECT_EQ(f.error, std::nullopt);

  // A later newer version without an address replaces both.
  store_update_outcome(read_update_document(R"({"version":"0.4"})"), true, f.view());
  EXPECT_EQ(f.version, "0.4");
  EXPECT_EQ(f.download, std::nullopt);
}

}  // namespace
}  // namespace corvale_gui
