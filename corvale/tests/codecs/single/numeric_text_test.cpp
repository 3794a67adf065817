#include "codecs/single/numeric_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/zlib.h"
#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

std::string encode(const std::string& input) {
  const SingleNumber n = *split_single_number(input);
  return encode_numeric_text_payload(n, BigInt::from_decimal(n.significant));
}

std::string random_digits(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string out(1, static_cast<char>('1' + rng() % 9));
  while (out.size() < n) out.push_back(static_cast<char>('0' + rng() % 10));
  return out;
}

TEST(Base94, KnownTexts) {
  EXPECT_EQ(encode_base94(""), "!!");
  EXPECT_EQ(encode_base94(bytes({0x00})), "\"!");
  EXPECT_EQ(encode_base94(bytes({0x01, 0x00})), "##e");  // 256 = 2 * 94 + 68
  EXPECT_EQ(decode_base94("!!", 10), bytes({0x00}));
  EXPECT_EQ(decode_base94("##e", 10), bytes({0x01, 0x00}));
  // The length character brings back leading zero bytes; one that claims fewer is not checked.
  EXPECT_EQ(decode_base94(encode_base94(bytes({0x00, 0x00, 0x05})), 10), bytes({0x00, 0x00, 0x05}));
  EXPECT_EQ(decode_base94(encode_base94(bytes({0x00, 0x00, 0x05})), 3), bytes({0x00, 0x00, 0x05}));
  EXPECT_ERROR(decode_base94(encode_base94(bytes({0x00, 0x00, 0x05})), 2), kNumericPayloadExceedsLimit);
  EXPECT_EQ(decode_base94("!#e", 10), bytes({0x01, 0x00}));
}

TEST(Base94, RoundTripsShortAndLongByteStrings) {
  // Lengths around the word, leaf and halving sizes of the conversion.
  for (std::size_t n : {1u, 2u, 7u, 8u, 9u, 93u, 94u, 95u, 235u, 236u, 237u, 500u, 1000u, 4000u, 100000u}) {
    SCOPED_TRACE(n);
    std::string data = random_bytes(n, n);
    data[0] = static_cast<char>(data[0] | 1);  // no leading zero byte beyond what the length character keeps
    const std::string text = encode_base94(data);
    EXPECT_TRUE(text.find_first_not_of("!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~") ==
                std::string::npos);
    // The limit is a number of digits: a text's bytes are always well below it.
    EXPECT_EQ(decode_base94(text, 2 * n), data);
    EXPECT_ERROR(decode_base94(text, n - 1), kNumericPayloadExceedsLimit);
  }
  // Every digit of a long text counts: the halving conversion agrees with the word-by-word one.
  const std::string nines(3000, '~');
  const std::string bytes_of_nines = decode_base94("!" + nines, 6000);
  EXPECT_EQ(BigInt::from_bytes_be(reinterpret_cast<const unsigned char*>(bytes_of_nines.data()), bytes_of_nines.size()),
            BigInt::pow(94, 3000) - BigInt(1));
}

TEST(Base94, Refusals) {
  EXPECT_ERROR(decode_base94("", 10), kInvalidBase94Payload);
  EXPECT_ERROR(decode_base94("!", 10), kInvalidBase94Payload);
  EXPECT_ERROR(decode_base94("! !", 10), kInvalidBase94Payload);
  EXPECT_ERROR(decode_base94("!\x7F", 10), kInvalidBase94Payload);
  // At most floor(7 * length / 8) bytes may come out: refused above limit + 8 before converting.
  EXPECT_ERROR(decode_base94(std::string(11, '!'), 0), kNumericPayloadExceedsLimit);
  EXPECT_ERROR(decode_base94(std::string(10000000, '~'), 1000), kNumericPayloadExceedsLimit);
  EXPECT_ERROR(decode_base94(std::string(10, '!'), 0), kNumericPayloadExceedsLimit);  // one zero byte, after converting
}

TEST(NumericTextWriter, ShortestCandidateInTheOrderMzbR) {
  const std::string two_64_plus_5 = "18446744073709551621";
  struct Case {
    std::string input;
    std::string payload;
  };
  const Case cases[] = {
      {"0", "M0"},  // M and R are both two bytes; M comes first
      {"5", "M5"},
      {"-42", "M-42"},
      {"-0", "R-0"},
      {"007", "R007"},
      {"-05\n", "R-05\n"},
      {two_64_plus_5, "M2**64+5"},
      {two_64_plus_5 + "\n", "M2**64+5\n"},
      {"-" + two_64_plus_5 + "\r\n", "M-2**64+5\r\n"},
      {std::string(200, '9'), "M10**200-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(encode(c.input), c.payload);
  }
}

TEST(NumericTextWriter, LongNumbersGetBytesInBase94) {
  // 201 digits: no expression is searched even where one would be short.
  const std::string power = BigInt::pow(2, 666).to_decimal();
  ASSERT_EQ(power.size(), 201u);
  EXPECT_EQ(encode(power).substr(0, 2), "z+");  // a run of zero bytes deflates
  // Random digits do not deflate: the bytes go in base94 unless the digits are shorter.
  const std::string noise = random_digits(300, 1);
  const BigInt value = BigInt::from_decimal(noise);
  EXPECT_EQ(encode("-" + noise), "b-" + encode_base94(value.to_bytes_be()));
  for (const std::string& input : {power, noise, "-" + noise + "\r\n", random_digits(4000, 2) + "\n"}) {
    SCOPED_TRACE(input.substr(0, 20));
    EXPECT_EQ(decode_numeric_text_archive(encode(input), input.size()), input);
  }
}

TEST(NumericTextReader, EachPrefix) {
  const std::string bytes_1234 = bytes({0x04, 0xD2});
  struct Case {
    std::string text;
    std::string number;
  };
  const Case cases[] = {
      {"R12", "12"},
      {"R-007", "-007"},
      {"M-(0-5)", "5"},
      {"M(0-5)", "-5"},
      {"M-0", "0"},
      {"B" + encode_base94(bytes_1234), "1234"},
      {"B-" + encode_base94(bytes_1234), "-1234"},
      {"B-" + encode_base94(bytes({0x00})), "-0"},
      {"b+" + encode_base94(bytes_1234), "1234"},
      {"b-" + encode_base94(bytes_1234), "-1234"},
      {"z+" + encode_base94(zlib_compress_best(bytes_1234)), "1234"},
      {"z-" + encode_base94(zlib_compress_best(bytes_1234)), "-1234"},
      {"z+" + encode_base94(zlib_compress_best("")), "0"},
      {"Z" + encode_base94(zlib_compress_best(bytes_1234) + "junk"), "1234"},
      // '-' is a base94 digit: the unsigned reading is tried first and fails, then the signed one.
      {"Z-" + encode_base94(zlib_compress_best(bytes_1234)), "-1234"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(decode_numeric_text_payload(c.text, 100), c.number);
    EXPECT_EQ(decode_numeric_text_archive(c.text + "\n", 100), c.number + "\n");
  }
}

TEST(NumericTextReader, EveryMessageOfASingleText) {
  const std::string many_zeros = encode_base94(zlib_compress_best(std::string(101, '\0')));
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"", kEmptyNumericPayload},
      {"R1\xC3\xA9", kNumericPayloadMustBeAscii},
      {"Q1", std::string(kUnknownNumericPrefix) + "Q"},
      {"C3", std::string(kUnknownNumericPrefix) + "C"},
      {"b5", kMissingNumericPayloadSign},
      {"z", kMissingNumericPayloadSign},
      {"b+!", kInvalidBase94Payload},
      {"B- !", kInvalidBase94Payload},
      {"z+" + encode_base94("not a zlib stream"), "Invalid zlib payload: corrupt deflate stream"},
      {"z+" + encode_base94(zlib_compress_best("abc").substr(0, 5)), "Invalid zlib payload: incomplete deflate stream"},
      {"Z" + encode_base94("not zlib"), "Invalid zlib payload: corrupt deflate stream"},
      {"Z-" + encode_base94("not zlib"), "Invalid zlib payload: corrupt deflate stream"},
      {"z+" + many_zeros, kNumericPayloadExceedsLimit},
      {"b+" + encode_base94(std::string(101, '\x01')), kNumericPayloadExceedsLimit},
      {"M2**-1", "Power must be a nonnegative integer"},
      // A number of a trillion digits is refused from its exponent alone.
      {"M10**1000000000000", "Power must be a nonnegative integer"},
      {"M10**1000000", "Power exceeds evaluation limit"},
      {"M", "Expected an integer"},
      // Numbers too long for the limit, refused from their bit length.
      {"b+" + encode_base94(std::string(60, '\xFF')), "Output exceeds decompression limit"},
      {"M9**99999", "Output exceeds decompression limit"},
      {"M-10**100", "Output exceeds decompression limit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    EXPECT_ERROR(decode_numeric_text_payload(c.text, 100), c.message);
  }
  EXPECT_EQ(decode_numeric_text_payload("M10**99", 100), "1" + std::string(99, '0'));
  EXPECT_EQ(decode_numeric_text_payload("M-10**98", 100), "-1" + std::string(98, '0'));
}

TEST(NumericTextReader, LineEndingAndLimit) {
  EXPECT_EQ(decode_numeric_text_archive("R12\r\n", 4), "12\r\n");
  EXPECT_ERROR(decode_numeric_text_archive("R12\r\n", 3), "Output exceeds decompression limit");
  EXPECT_EQ(decode_numeric_text_archive("M10**9\n", 11), "1000000000\n");
  EXPECT_ERROR(decode_numeric_text_archive("M10**9\n", 10), "Output exceeds decompression limit");
  // Only one line ending is cut; what stays must still read as a text.
  EXPECT_ERROR(decode_numeric_text_archive("\n", 10), kEmptyNumericPayload);
  EXPECT_ERROR(decode_numeric_text_archive("R1\xFF", 10), kNumericPayloadMustBeAscii);
  EXPECT_ERROR(decode_numeric_text_archive("R1\xC3\xA9", 10), kNumericPayloadMustBeAscii);
}

TEST(NumericTextChunks, DigitsOfEveryChunkPaddedToTheWidth) {
  const std::string b7 = "B" + encode_base94(bytes({0x07}));
  struct Case {
    std::string payload;
    std::string number;
  };
  const Case cases[] = {
      {"C3\nR12\nR7", "12007"},
      {"-C3\nR12\nR7", "-12007"},
      {"C3\nR12\nR7\n", "12007\n"},
      {"C+3\nM10*10\n" + b7 + "\nR0", "100007000"},
      {"C1\nR5", "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload);
    EXPECT_EQ(decode_numeric_text_archive(c.payload, 100), c.number);
  }
}

TEST(NumericTextChunks, EveryMessage) {
  const std::string zeros_11 = "Z" + encode_base94(zlib_compress_best(std::string(11, '\0')));
  struct Case {
    std::string payload;
    std::uint64_t limit;
    std::string message;
  };
  const Case cases[] = {
      {"C", 100, kMissingChunkHeader},
      {"-C", 100, kMissingChunkHeader},
      {"C3R1", 100, kMissingChunkHeader},
      {"C0\nR1", 100, kInvalidChunkWidth},
      {"C\nR1", 100, kInvalidChunkWidth},
      {"C+\nR1", 100, kInvalidChunkWidth},
      {"C-3\nR1", 100, kInvalidChunkWidth},
      {"C 3\nR1", 100, kInvalidChunkWidth},
      {"C\xC3\xA9\nR1", 100, kInvalidChunkWidth},  // UTF-8, so only the header is wrong
      {"C\xFF\nR1", 100, kNumericPayloadMustBeAscii},
      {"C18446744073709551616\nR1", ~std::uint64_t{0}, kInvalidChunkWidth},
      {"C101\nR1", 100, kInvalidChunkWidth},
      {"C3\nR1234", 100, kInvalidNumericChunk},
      {"C2\nR000", 100, kInvalidNumericChunk},  // the first chunk is held to the width too
      {"C3\nR12\nR-5", 100, kInvalidNumericChunk},
      {"C3\nR12\nR", 100, kInvalidNumericChunk},
      {"C3\nR1x", 100, kInvalidNumericChunk},
      {"C3\nM10**3", 100, kInvalidNumericChunk},
      {"C3\nb+" + encode_base94(bytes({0x04, 0xD2})), 100, kInvalidNumericChunk},
      {"C3\nR1\n\nR2", 100, kEmptyNumericPayload},
      {"C3\nR1\nC3", 100, std::string(kUnknownNumericPrefix) + "C"},
      // A chunk's bytes are held to the whole limit, like a whole text's.
      {"C10\n" + zeros_11, 10, kNumericPayloadExceedsLimit},
      {"C3\nR1\nR2", 3, "Output exceeds decompression limit"},
      {"-C3\nR1\nR2", 4, "Output exceeds decompression limit"},
      {"C3\nR1\nR2\n", 4, "Output exceeds decompression limit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload.substr(0, 40));
    EXPECT_ERROR(decode_numeric_text_archive(c.payload, c.limit), c.message);
  }
  EXPECT_EQ(decode_numeric_text_archive("C3\nR1\nR2", 4), "1002");
  EXPECT_EQ(decode_numeric_text_archive("C3\nR1\nR2\n", 5), "1002\n");
}

TEST(NumericTextChunks, EveryChunkIsReadLikeAWholeText) {
  // Each chunk has an expression budget of its own: 257 chunks of one operation each, and 25
  // chunks of 13 operations each.
  EXPECT_EQ(decode_numeric_text_archive("C1\n" + repeat("M1\n", 256) + "M1", 1000), std::string(257, '1'));
  const std::string product = "M(10**99+1)*(10**99+7)+12345";
  const BigInt e99 = BigInt::pow(10, 99);
  const std::string value = ((e99 + BigInt(1)) * (e99 + BigInt(7)) + BigInt(12345)).to_decimal();
  ASSERT_EQ(value.size(), 199u);
  std::string expected;
  for (int i = 0; i < 25; ++i) expected += value;
  EXPECT_EQ(decode_numeric_text_archive("C199\n" + repeat(product + "\n", 24) + product, 10000), expected);
  // One chunk over its own budget still fails.
  EXPECT_ERROR(decode_numeric_text_archive("C1\nM1\nM1" + repeat("+0", 128), 1000),
               "Integer expression exceeds evaluation limit");

  // Each chunk's bytes are held to the limit, not to the width nor to what earlier chunks took:
  // three chunks of 1000 zero bytes restore 2001 digits under 2001; 20 zero bytes and 07 make
  // the digit 7 of a chunk of width 5; 11 zero bytes make the digit 0 of a chunk of width 10.
  const std::string zeros = "Z" + encode_base94(zlib_compress_best(std::string(1000, '\0')));
  EXPECT_EQ(decode_numeric_text_archive("C1000\n" + zeros + "\n" + zeros + "\n" + zeros, 2001),
            "0" + std::string(2000, '0'));
  std::string seven(20, '\0');
  seven += '\x07';
  EXPECT_EQ(decode_numeric_text_archive("C5\nR1\nB" + encode_base94(seven), 100), "100007");
  EXPECT_EQ(decode_numeric_text_archive("C10\nZ" + encode_base94(zlib_compress_best(std::string(11, '\0'))), 100), "0");
}

}  // namespace
}  // namespace corvale
