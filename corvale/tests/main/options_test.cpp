#include "main/options.h"

#include <gtest/gtest.h>

#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(ParseSize, AcceptedForms) {
  const struct {
    const char* text;
    std::uint64_t bytes;
  } cases[] = {
      {"0", 0},
      {"+5", 5},
      {"1024", 1024},
      {"10G", 10737418240ull},
      {"10g", 10737418240ull},
      {"10gb", 10737418240ull},
      {" 10G\t", 10737418240ull},
      {"\xC2\xA0" "10G" "\xE3\x80\x80", 10737418240ull},  // U+00A0 before, U+3000 after
      {"7b", 7},
      {"3KB", 3072},
      {"2m", 2097152},
      {"1T", 1099511627776ull},
      {"16777215T", 16777215ull << 40},  // the largest count of T that fits in 64 bits
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551615B", UINT64_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_size(c.text), c.bytes) << '"' << c.text << '"';
}

TEST(ParseSize, RejectedFormsQuoteTheValueAsTyped) {
  const char* cases[] = {
      "", "   ", "B", "KB", "k", "+", "++5", "-5", "1.5G", "512MiB", "10 G", "1 0", "10GBB", "10BG",
      "G10", "0x10", "20000000T", "16777216T", "18446744073709551616", "18446744073709551615K",
      " 10\xE2\x80\x8B",  // U+200B is not white space
  };
  for (const char* text : cases) EXPECT_ERROR(parse_size(text), std::string("Invalid size: ") + text);
}

TEST(ParseSize, InvalidUtf8IsShownWithReplacementCharacter) {
  EXPECT_ERROR(parse_size("1\xFFK"), "Invalid size: 1\xEF\xBF\xBDK");
}

TEST(ParseThreadCount, Bounds) {
  EXPECT_EQ(parse_thread_count("1"), 1u);
  EXPECT_EQ(parse_thread_count("+8"), 8u);
  EXPECT_EQ(parse_thread_count("256"), 256u);
  EXPECT_EQ(parse_thread_count("0008"), 8u);
  for (const char* text : {"0", "257", "-1", " 8", "8 ", "", "+", "8k", "99999999999999999999"}) {
    EXPECT_ERROR(parse_thread_count(text), std::string("Invalid thread count: ") + text);
  }
}

TEST(DefaultThreadCount, StaysWithinOneToEight) {
  const std::uint64_t n = default_thread_count();
  EXPECT_GE(n, 1u);
  EXPECT_LE(n, 8u);
}

TEST(ParseCommandLine, ValuesAreTakenVerbatimAndFlagsMayRepeat) {
  const CommandLine cl = parse_command_line(
      {"decompress", "--progress", "-i", "-weird", "--output", "--progress", "-j", "3", "--max-output", " 1k ",
       "--progress"});
  ASSERT_EQ(cl.action, CommandLine::Action::Run);
  EXPECT_EQ(cl.options.mode, Mode::Decompress);
  EXPECT_EQ(cl.options.input, "-weird");
  EXPECT_EQ(cl.options.output, "--progress");
  EXPECT_EQ(cl.options.threads, "3");
  EXPECT_EQ(cl.options.max_output, " 1k ");
  EXPECT_TRUE(cl.options.progress);
  EXPECT_FALSE(cl.options.no_verify);
}

TEST(ParseCommandLine, HelpEndsTheLoopBeforeLaterErrors) {
  EXPECT_EQ(parse_command_line({"compress", "-h", "--bogus"}).action, CommandLine::Action::ShowHelp);
  EXPECT_EQ(parse_command_line({"--version", "--bogus"}).action, CommandLine::Action::ShowVersion);
  EXPECT_ERROR(parse_command_line({"compress", "--version"}), "Unknown argument: --version");
}

}  // namespace
}  // namespace corvale
