#include "codecs/dispatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "codecs/archive_types.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

TEST(Dispatch, StoredPayloadIsCopiedWithinTheLimit) {
  EXPECT_EQ(decode_archive_payload(0, "", 0), "");
  EXPECT_EQ(decode_archive_payload(0, std::string("a\0b", 3), 3), std::string("a\0b", 3));
  EXPECT_ERROR(decode_archive_payload(0, "abcd", 3), "Output exceeds decompression limit");
}

TEST(Dispatch, TypesWithoutACodecAreUnknown) {
  for (unsigned type : {1u, 2u, 4u, 6u, 7u, 15u, 16u, 100u, 127u}) {
    SCOPED_TRACE(type);
    EXPECT_ERROR(decode_archive_payload(static_cast<std::uint8_t>(type), "", 1000),
                 "Unknown archive type: " + std::to_string(type));
  }
}

TEST(Dispatch, EveryKnownTypeReachesADecoder) {
  // Whatever each decoder makes of these payloads, the dispatcher must not call its type unknown.
  for (unsigned type : {3u, 5u, 8u, 9u, 10u, 11u, 12u, 13u, 14u}) {
    for (const std::string& payload : {std::string(), std::string(1, '\0'), std::string("\x01\x02\x03")}) {
      SCOPED_TRACE(type);
      try {
        const std::string out = decode_archive_payload(static_cast<std::uint8_t>(type), payload, 1000);
        EXPECT_LE(out.size(), 1000u);
      } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).rfind("Unknown archive type", 0), 0u) << e.what();
      }
    }
  }
}

TEST(Dispatch, OneRowPerArchiveType) {
  struct Case { unsigned type; const char* name; bool single_number; };
  const Case cases[] = {{0, "stored", false},        {3, "numeric text", true}, {5, "binary numeric", true},
                        {8, "power form", true},     {9, "number list", false}, {10, "number text", false},
                        {11, "table", false},        {12, "block archive", false}, {13, "formula", true},
                        {14, "log", false}};
  unsigned rows = 0;
  for (unsigned type = 0; type < 128; ++type) rows += find_archive_type(static_cast<std::uint8_t>(type)) != nullptr;
  EXPECT_EQ(rows, std::size(cases));
  for (const Case& c : cases) {
    const ArchiveTypeRow* row = find_archive_type(static_cast<std::uint8_t>(c.type));
    ASSERT_NE(row, nullptr) << c.type;
    EXPECT_EQ(static_cast<unsigned>(row->type), c.type);
    EXPECT_STREQ(row->name, c.name);
    EXPECT_EQ(row->single_number, c.single_number) << c.type;
  }
}

TEST(Dispatch, BlockListsGoToTheDecoderTheProgramInstalls) {
  EXPECT_ERROR(decode_archive_payload(12, std::string(1, '\0'), 100),
               "Archive type 12 (block archive) is not supported by this version yet");
  install_block_list_decoder([](std::string_view payload, std::uint64_t limit) {
    return "block list of " + std::to_string(payload.size()) + " under " + std::to_string(limit);
  });
  EXPECT_EQ(decode_archive_payload(12, "abc", 100), "block list of 3 under 100");
  install_block_list_decoder(nullptr);
  EXPECT_ERROR(decode_archive_payload(12, "abc", 100),
               "Archive type 12 (block archive) is not supported by this version yet");
}

TEST(SingleNumberCheck, AcceptsOneOptionallySignedRunOfDigitsWithOneLineEnding) {
  struct Case {
    std::string text;
    bool number;
  };
  const Case cases[] = {
      {"0", true},       {"007", true},    {"-0\r\n", true},  {"-42\n", true},  {"123456789012345678901234567890", true},
      {"", false},       {"-", false},     {"-\n", false},    {"\n", false},    {"\r\n", false},
      {" 1", false},     {"1 ", false},    {"+1", false},     {"--1", false},   {"1-", false},
      {"1\n\n", false},  {"1\r", false},   {"1\r\n\n", false}, {"1\n\r\n", false}, {"1.5", false},
      {std::string("1\0", 2), false},      {"\xD9\xA1", false},  // a non-ASCII digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(is_single_number_text(c.text), c.number);
  }
}

}  // namespace
}  // namespace corvale
