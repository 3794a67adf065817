#include "archive/compress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "archive/container.h"
#include "archive/verification.h"
#include "codecs/log/log.h"
#include "codecs/single/formula/formula_numbers.h"
#include "core/bigint.h"
#include "support/archive_surgery.h"
#include "support/bytes.h"
#include "support/data_rows.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(CompressBest, InputThatNoCodecAcceptsIsRefused) {
  EXPECT_ERROR(compress_best_archive(""), kNotNumericMessage);
  EXPECT_ERROR(compress_best_archive("Nothing here is a number at all.\n"), kNotNumericMessage);
  EXPECT_EQ(std::string(kNotNumericMessage).rfind("Input is not numeric: expected a number", 0), 0u);
}

TEST(CompressBest, StructuredArchivesRestoreTheirInputAndAreStoredUnlessShorter) {
  std::string long_list;
  for (int i = 0; i < 500; ++i) long_list += std::to_string(1000 + 3 * i) + "\n";
  const std::string inputs[] = {"12\n34\n", "1\n2", "-5\r\n0\r\n0007\r\n", long_list};
  for (const std::string& input : inputs) {
    SCOPED_TRACE(testing::PrintToString(input));
    const std::string archive = compress_best_archive(input);
    ASSERT_GE(archive.size(), 5u);
    const auto type = static_cast<unsigned char>(archive[0]);
    if (type == 0x80) {
      EXPECT_EQ(archive, test::stored_archive(input));
    } else {
      EXPECT_EQ(type, 0x89);
      EXPECT_LT(archive.size() - 5, input.size());
    }
    EXPECT_EQ(decode_archive(archive, input.size()), input);
    EXPECT_EQ(compress_verified(input), archive);
  }
  // A long regular list must not fall back to storing.
  EXPECT_EQ(static_cast<unsigned char>(compress_best_archive(long_list)[0]), 0x89);
}

// The archive of input, checked to restore it exactly; returns its type byte.
unsigned char single_number_type(const std::string& input) {
  const std::string archive = compress_best_archive(input);
  EXPECT_EQ(decode_archive(archive, input.size()), input);
  EXPECT_EQ(compress_verified(input), archive);
  return static_cast<unsigned char>(archive[0]);
}

TEST(SingleNumberPath, TheOneDigitFiveIsASevenByteNumericText) {
  EXPECT_EQ(compress_best_archive("5"), test::make_archive(0x83, "M5", "5"));
}

TEST(SingleNumberPath, NeverRefusedNeverStoredAndTheShortestEncodingWins) {
  const std::string mersenne_521 = (BigInt::pow(2, 521) - BigInt(1)).to_decimal();
  std::string noise_5000 = "9";
  for (int i = 1; i < 5000; ++i) noise_5000.push_back(static_cast<char>('0' + (i * 7919 + i / 3) % 10));
  struct Case {
    const char* what;
    std::string input;
    unsigned char type;
  };
  const Case cases[] = {
      {"zero", "0", 0x83},
      {"negative zero", "-0\r\n", 0x83},
      {"leading zeros", "007", 0x83},
      {"an expression", "1000000000000000000", 0x83},
      {"the power form is shorter than M2**64+5", "18446744073709551621", 0x88},
      // Equally long type-3 and type-5 payloads: the earlier type stays.
      {"a tie", "17963770467327603550084139767370878375417047881918244742", 0x83},
      {"bytes beat base94 for a long number", "-" + noise_5000 + "\n", 0x85},
      {"all zeros, longer than type 3 takes", std::string(5000, '0'), 0x85},
      {"a power form", mersenne_521 + "\n", 0x88},
      {"a power form with leading zeros", "000" + mersenne_521, 0x88},
      {"2^64 - 1", "18446744073709551615", 0x88},
      {"2^32 + 5", "4294967301", 0x83},
      {"a factorial", range_product(2, 1000).to_decimal() + "\n", 0x8D},
      {"a Fibonacci number minus 3, negative", (BigInt(3) - fibonacci_number(5000)).to_decimal(), 0x8D},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(single_number_type(c.input), c.type);
  }
}

// The Windows tests check the same file under Wine, so both builds write these very archives.
TEST(SingleNumberPath, ArchivesMatchTheFixturesSharedWithTheWindowsTests) {
  int rows = 0;
  for (const std::vector<std::string>& row :
       test::read_data_rows(CORVALE_SOURCE_DIR "/corvale/tests/data/single-number-archives.tsv", 4)) {
    const std::string& kind = row[0];
    const std::string& ending = row[2];
    const std::string& hex = row[3];
    const std::string input = row[1] + (ending == "LF" ? "\n" : ending == "CRLF" ? "\r\n" : "");
    SCOPED_TRACE(input.substr(0, 40));
    const std::string archive = from_hex(hex);
    if (kind == "archive") {
      EXPECT_EQ(hex_of(compress_verified(input)), hex);
    }
    EXPECT_EQ(decode_archive(archive, input.size()), input);
    ++rows;
  }
  EXPECT_GE(rows, 20);
}

TEST(CompressBest, LogsComeLastAndTheirOwnRefusalEndsTheCompression) {
  std::string log;
  for (int i = 0; i < 200; ++i) {
    log += "2024-05-0" + std::to_string(1 + i / 50) + " 12:" + std::to_string(10 + i % 50) + " INFO job " +
           std::to_string(i * 7) + (i % 3 ? " done\n" : " waiting for lock\n");
  }
  const std::string archive = compress_best_archive(log);
  EXPECT_EQ(static_cast<unsigned char>(archive[0]), 0x8E);
  EXPECT_EQ(decode_archive(archive, log.size()), log);
  EXPECT_EQ(compress_verified(log), archive);

  // Random base64 passes as a log, then is refused by the log codec with its own message.
  std::string base64;
  std::uint64_t x = 1;
  while (base64.size() < 65536) {
    for (int i = 0; i < 76; ++i) {
      x = x * 6364136223846793005ull + 1442695040888963407ull;
      base64.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[x >> 58]);
    }
    base64 += "\n";
  }
  EXPECT_ERROR(compress_best_archive(base64), kStructurelessTextMessage);
}

TEST(CompressBest, NumbersWithOtherSeparatorsAreNumberText) {
  std::string long_text;
  for (int i = 0; i < 500; ++i) long_text += std::to_string(1000 + 3 * i) + ".5, ";
  long_text += "7\n";
  // The last one's scale makes every other number of its column a 41 KB integer: its own
  // decoder could not afford them under the text's length, so the text is stored.
  std::string unaffordable = "0." + std::string(100000, '0') + "1";
  for (int i = 0; i < 50000; ++i) unaffordable += " 1";
  struct Case { std::string input; unsigned char type; };
  for (const Case& k : {Case{"12 34", 0x80}, Case{long_text, 0x8A}, Case{unaffordable, 0x80}}) {
    SCOPED_TRACE(k.input.substr(0, 40));
    const std::string archive = compress_verified(k.input);
    EXPECT_EQ(static_cast<unsigned char>(archive[0]), k.type);
    if (k.type == 0x80) {
      EXPECT_EQ(archive, test::stored_archive(k.input));
    }
    EXPECT_EQ(decode_archive(archive, k.input.size()), k.input);
  }
}

TEST(SingleNumberChoice, FirstCandidateWinsUntilAStrictlyShorterOneComes) {
  struct Offer {
    ArchiveType type;
    std::size_t length;
  };
  struct Case {
    const char* what;
    std::vector<Offer> offers;
    ArchiveType winner;
  };
  using T = ArchiveType;
  const Case cases[] = {
      {"only one", {{T::BinaryNumeric, 9}}, T::BinaryNumeric},
      {"tie keeps the earlier", {{T::NumericText, 5}, {T::BinaryNumeric, 5}}, T::NumericText},
      {"shorter replaces", {{T::NumericText, 5}, {T::BinaryNumeric, 4}}, T::BinaryNumeric},
      {"one byte shorter at the end", {{T::NumericText, 7}, {T::BinaryNumeric, 7}, {T::PowerForm, 7}, {T::Formula, 6}},
       T::Formula},
      {"later tie with the best", {{T::BinaryNumeric, 3}, {T::PowerForm, 2}, {T::Formula, 2}}, T::PowerForm},
      {"longer never replaces", {{T::BinaryNumeric, 3}, {T::PowerForm, 9}, {T::Formula, 4}}, T::BinaryNumeric},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<ArchivePayload> best;
    for (const Offer& o : c.offers) keep_shorter_payload(best, {o.type, std::string(o.length, 'p')});
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(best->type, c.winner);
  }
}

TEST(StructuredFallback, PayloadMustBeStrictlyShorterThanTheInput) {
  const std::string input = "12\n34\n";
  // One byte shorter: kept under its own type.
  EXPECT_EQ(wrap_structured_payload({ArchiveType::NumberList, "12345"}, input), test::make_archive(0x89, "12345", input));
  // As long as the input, or longer: the input itself, stored, input length + 5 bytes.
  for (std::size_t length : {input.size(), input.size() + 1}) {
    SCOPED_TRACE(length);
    const std::string archive = wrap_structured_payload({ArchiveType::Table, std::string(length, 'p')}, input);
    EXPECT_EQ(archive, test::stored_archive(input));
    EXPECT_EQ(archive.size(), input.size() + 5);
    EXPECT_EQ(decode_archive(archive, input.size()), input);
  }
}

}  // namespace
}  // namespace corvale
