#include "codecs/single/binary_numeric.h"

#include <gtest/gtest.h>

#include <string>

#include "core/zlib.h"
#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

std::string encode(const std::string& input) {
  const SingleNumber n = *split_single_number(input);
  return encode_binary_numeric_payload(n, BigInt::from_decimal(n.significant));
}

TEST(BinaryNumeric, HeaderAndBytesOfEachShape) {
  struct Case {
    std::string input;
    std::string header;
    std::string magnitude;  // big-endian
  };
  const Case cases[] = {
      {"0", bytes({0x00}), bytes({0x00})},
      {"-0", bytes({0x01}), bytes({0x00})},
      {"007\n", bytes({0x0A, 0x02}), bytes({0x07})},
      {"000", bytes({0x08, 0x02}), bytes({0x00})},
      {"-00042\r\n", bytes({0x0D, 0x03}), bytes({0x2A})},
      {"18446744073709551615", bytes({0x00}), std::string(8, '\xFF')},
      {"4294967301\n", bytes({0x02}), bytes({0x01, 0x00, 0x00, 0x00, 0x05})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    const std::string payload = encode(c.input);
    EXPECT_EQ(payload, c.header + zlib_compress_best(c.magnitude));
    EXPECT_EQ(decode_binary_numeric_payload(payload, c.input.size()), c.input);
    EXPECT_ERROR(decode_binary_numeric_payload(payload, c.input.size() - 1), "Output exceeds decompression limit");
  }
}

TEST(BinaryNumeric, EveryMessageOfTheReader) {
  const std::string seven = zlib_compress_best(bytes({0x07}));
  struct Case {
    const char* what;
    std::string payload;
    const char* message;
  };
  const Case cases[] = {
      {"empty", "", "Missing binary numeric flags"},
      {"line-ending bits 6", bytes({0x06}) + seven, "Invalid binary numeric flags"},
      {"the power form's bit", bytes({0x10}) + seven, "Invalid binary numeric flags"},
      {"zero leading zeros", bytes({0x08, 0x00}) + seven, "Zero leading-zero count"},
      // One above the limit of 100, refused before the bytes after it are looked at.
      {"too many leading zeros", bytes({0x08, 0x65}) + "not zlib", "Output exceeds decompression limit"},
      {"header alone", bytes({0x00}), "Truncated zlib stream"},
      {"empty content", bytes({0x00}) + zlib_compress_best(""), "Empty binary integer"},
      {"bytes after the stream", bytes({0x00}) + seven + "x", "Trailing data after zlib stream"},
      {"not zlib", bytes({0x00, 0x78, 0x9D, 0x01}), "Invalid zlib payload: deflate decompression error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_ERROR(decode_binary_numeric_payload(c.payload, 100), c.message);
  }
}

TEST(BinaryNumeric, AnOversizedNumberIsRefusedBeforeItsConversion) {
  // 64 MiB of 0xFF inflate under a limit of 64 MiB, but print as some 161 million digits:
  // refused from the bit length at once, where printing would take minutes.
  const std::uint64_t limit = 64u << 20;
  const std::string payload = bytes({0x00}) + zlib_compress_best(std::string(limit, '\xFF'));
  EXPECT_ERROR(decode_binary_numeric_payload(payload, limit), "Output exceeds decompression limit");
}

}  // namespace
}  // namespace corvale
