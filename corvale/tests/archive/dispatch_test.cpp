#include "archive/dispatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "archive/archive_types.h"
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
        // A block list may hold a block of an unknown type; its own type must be known.
        EXPECT_NE(std::string(e.what()), "Unknown archive type: " + std::to_string(type));
      }
    }
  }
}

TEST(SingleNumberCheck, AppliesToWhatTheSingleNumberDecodersRestore) {
  // Numeric text hands back R text as written, so only the check stands between a crafted
  // payload and an output that is no number.
  EXPECT_EQ(decode_archive_payload(3, "R12", 10), "12");
  EXPECT_EQ(decode_archive_payload(3, "M-0\n", 10), "0\n");
  for (const char* payload : {"R1a", "R", "R\n\n", "R-", "R+1", "R 1"}) {
    SCOPED_TRACE(payload);
    EXPECT_ERROR(decode_archive_payload(3, payload, 10), "Archive decodes to something that is not a number");
  }
  // Binary numeric and power form render a magnitude with its flags: always a number.
  EXPECT_EQ(decode_archive_payload(5, std::string("\x0D\x02\x78\xDA\x63\x07\x00\x00\x08\x00\x08", 11), 10),
            "-007\r\n");
  EXPECT_EQ(decode_archive_payload(8, std::string("\x03\x02\x08\x01\x00", 5), 10), "-256\n");
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

}  // namespace
}  // namespace corvale
