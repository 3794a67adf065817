#include "codecs/numbers/entropy.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

std::vector<std::uint64_t> decode(const std::string& body, std::uint64_t count) {
  ByteCursor c{body};
  std::vector<std::uint64_t> out = decode_entropy_body(c, count).words();
  EXPECT_TRUE(c.at_end()) << "the body must be read exactly";
  return out;
}

// The frequency table at the front of a body, token -> frequency.
std::map<unsigned, std::uint64_t> read_table(const std::string& body) {
  ByteCursor c{body};
  std::map<unsigned, std::uint64_t> table;
  const std::uint64_t k = cursor_read_varint_u64(c);
  std::int64_t token = -1;
  for (std::uint64_t i = 0; i < k; ++i) {
    token += static_cast<std::int64_t>(cursor_read_varint_u64(c)) + 1;
    table[static_cast<unsigned>(token)] = cursor_read_varint_u64(c) + 1;
  }
  return table;
}

// Builds an entropy body field by field, so that each malformed case says what it breaks.
struct CraftedBody {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;  // (delta, f - 1)
  std::optional<std::uint64_t> k;                                  // default: entries.size()
  std::string stream = bytes({0x00, 0x00, 0x80, 0x00});            // the state 2^23 alone
  std::optional<std::uint64_t> stream_length;                      // default: stream.size()
  std::string extra;

  std::string build() const {
    std::string out;
    write_varint_u64(k.value_or(entries.size()), out);
    for (auto [delta, f_minus_1] : entries) {
      write_varint_u64(delta, out);
      write_varint_u64(f_minus_1, out);
    }
    write_varint_u64(stream_length.value_or(stream.size()), out);
    return out + stream + extra;
  }
};

CraftedBody table_of(std::vector<std::pair<std::uint64_t, std::uint64_t>> entries) {
  CraftedBody body;
  body.entries = std::move(entries);
  return body;
}

// One token, 0, holding every slot.
CraftedBody single_token() { return table_of({{0, 16383}}); }

TEST(EntropyToken, SplitsValuesIntoTokenAndRawBits) {
  struct Case { std::uint64_t v; unsigned token, extra; };
  for (const Case& k : {Case{0, 0, 0}, Case{3, 3, 0}, Case{4, 6, 0}, Case{7, 9, 0}, Case{8, 10, 1},
                        Case{9, 10, 1}, Case{1000, 37, 7}, Case{~0ull, 253, 61}}) {
    EntropyToken t = entropy_token(k.v);
    EXPECT_EQ(t.token, k.token) << k.v;
    EXPECT_EQ(t.extra_bits, k.extra) << k.v;
  }
}

TEST(EntropyBody, EncodesKnownListsByteForByte) {
  struct Case { std::vector<std::uint64_t> values; std::string body; };
  for (const Case& k : {
           Case{{0, 0}, bytes({0x01, 0x00, 0xFF, 0x7F, 0x04, 0x00, 0x00, 0x80, 0x00})},
           Case{{0, 1}, bytes({0x02, 0x00, 0xFF, 0x3F, 0x00, 0xFF, 0x3F, 0x04, 0x00, 0x40, 0x00, 0x02})},
           Case{{5, 9, 1000}, bytes({0x03, 0x07, 0xD5, 0x2A, 0x02, 0xD4, 0x2A, 0x1A, 0xD4, 0x2A, 0x04, 0xA9, 0x4E,
                                     0x81, 0x0D, 0xD1})},
       }) {
    EXPECT_EQ(encode_entropy_body(k.values), k.body);
    EXPECT_EQ(decode(k.body, k.values.size()), k.values);
  }
}

TEST(EntropyBody, ListsOfOneTokenHaveTheBareStateAsStream) {
  // 8 and 9 share token 10; only their raw bit tells them apart.
  const std::string body = encode_entropy_body({8, 9, 9, 8, 9});
  EXPECT_EQ(body, bytes({0x01, 0x0A, 0xFF, 0x7F, 0x04, 0x00, 0x00, 0x80, 0x00, 0x16}));
}

TEST(EntropyBody, NormalisesFrequenciesToTheScale) {
  // The floor of 1 for the rare token pushes the sum over and the common token pays it back.
  std::vector<std::uint64_t> one_rare(20000, 2);
  one_rare[12345] = 100;
  EXPECT_EQ(read_table(encode_entropy_body(one_rare)), (std::map<unsigned, std::uint64_t>{{2, 16383}, {entropy_token(100).token, 1}}));

  std::vector<std::uint64_t> ten_rare(100000, 1);
  std::map<unsigned, std::uint64_t> expected{{1, 16374}};
  for (unsigned i = 0; i < 10; ++i) {
    const std::uint64_t v = std::uint64_t{1} << (10 + 3 * i);  // ten distinct tokens
    ten_rare[i * 9973] = v;
    expected[entropy_token(v).token] = 1;
  }
  const std::string body = encode_entropy_body(ten_rare);
  EXPECT_EQ(read_table(body), expected);
  EXPECT_EQ(decode(body, ten_rare.size()), ten_rare);
}

TEST(EntropyBody, EqualFrequenciesLeaveTheRemainderToTheSmallestToken) {
  // Three tokens of 5461 each: the missing 1 goes to the smallest, whatever the list order.
  EXPECT_EQ(read_table(encode_entropy_body({1000, 9, 5})),
            (std::map<unsigned, std::uint64_t>{{7, 5462}, {10, 5461}, {37, 5461}}));
}

template <class T>
std::string encoded_as(const std::vector<std::uint64_t>& values) {
  const std::vector<T> words(values.begin(), values.end());
  std::string out;
  encode_entropy_body(words.data(), words.size(), out);
  return out;
}

TEST(EntropyBody, RoundTripsEveryWidth) {
  std::vector<std::uint64_t> values;
  for (unsigned b = 0; b < 64; ++b) {
    const std::uint64_t p = std::uint64_t{1} << b;
    values.insert(values.end(), {p, p - 1, p + 1, p | (p >> 1), p | (p >> 2)});
  }
  values.push_back(~0ull);
  values.push_back(~0ull - 1);
  EXPECT_EQ(decode(encode_entropy_body(values), values.size()), values);

  // Every value of a 16-bit word, coded from packed words as from 64-bit ones.
  std::vector<std::uint64_t> every_short(65536);
  for (std::uint64_t v = 0; v < every_short.size(); ++v) every_short[v] = v;
  EXPECT_EQ(encoded_as<std::uint16_t>(every_short), encode_entropy_body(every_short));
  every_short.resize(256);
  EXPECT_EQ(encoded_as<std::uint8_t>(every_short), encode_entropy_body(every_short));

  // Skewed random lists, so that the state renormalises by one and by two bytes.
  std::mt19937_64 rng(20261210);
  for (int round = 0; round < 20; ++round) {
    std::vector<std::uint64_t> list(1 + rng() % 3000);
    const unsigned max_bits = 1 + static_cast<unsigned>(rng() % 64);
    for (auto& v : list) {
      const unsigned bits = static_cast<unsigned>(rng() % max_bits) + 1;
      v = bits == 64 ? rng() : rng() & ((std::uint64_t{1} << bits) - 1);
      if (rng() % 4 == 0) v = 0;
    }
    const std::string body = encode_entropy_body(list);
    EXPECT_EQ(decode(body, list.size()), list) << "round " << round;
    // Appended after what the buffer already holds, unchanged.
    std::string framed = "head";
    encode_entropy_body(list.data(), list.size(), framed);
    EXPECT_EQ(framed, "head" + body) << "round " << round;
    // Packed words give the same body as the 64-bit words of the same values.
    if (max_bits <= 32) {
      EXPECT_EQ(encoded_as<std::uint32_t>(list), body) << "round " << round;
    }
    if (max_bits <= 16) {
      EXPECT_EQ(encoded_as<std::uint16_t>(list), body) << "round " << round;
    }
    if (max_bits <= 8) {
      EXPECT_EQ(encoded_as<std::uint8_t>(list), body) << "round " << round;
    }
  }
}

TEST(EntropyBody, CountZeroReadsNothing) {
  const std::string junk = bytes({0x00});
  ByteCursor c{junk};
  EXPECT_TRUE(decode_entropy_body(c, 0).empty());
  EXPECT_EQ(c.pos, 0u);
}

TEST(EntropyBody, RejectsMalformedTables) {
  struct Case { const char* what; CraftedBody body; };
  CraftedBody k_zero = single_token();
  k_zero.k = 0;
  CraftedBody k_too_big = single_token();
  k_too_big.k = 255;
  const Case cases[] = {
      {"k = 0", k_zero},
      {"k = 255", k_too_big},
      {"token 4", table_of({{4, 16383}})},
      {"token 5", table_of({{0, 8191}, {4, 8191}})},
      {"token 254", table_of({{0, 8191}, {253, 8191}})},
      {"delta of 2^64 - 1", table_of({{0, 8191}, {~0ull, 8191}})},
      {"sum 16383", table_of({{0, 16382}})},
      {"running total past the scale", table_of({{0, 16383}, {0, 0}})},
      {"f - 1 of 2^64 - 1", table_of({{0, ~0ull}})},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_ERROR(decode(k.body.build(), 2), "Invalid entropy table");
  }
}

TEST(EntropyBody, RejectsMalformedStreams) {
  CraftedBody short_length = single_token();
  short_length.stream = bytes({0x00, 0x00, 0x80});
  EXPECT_ERROR(decode(short_length.build(), 2), "Truncated entropy stream");

  CraftedBody cut = single_token();
  cut.stream_length = 5;  // one byte more than there is
  EXPECT_ERROR(decode(cut.build(), 2), "Truncated number list");

  CraftedBody low_state = single_token();
  low_state.stream = bytes({0xFF, 0xFF, 0x7F, 0x00});  // 2^23 - 1
  EXPECT_ERROR(decode(low_state.build(), 2), "Invalid entropy state");
  CraftedBody high_state = single_token();
  high_state.stream = bytes({0x00, 0x00, 0x00, 0x80});  // 2^31
  EXPECT_ERROR(decode(high_state.build(), 2), "Invalid entropy state");

  CraftedBody extra_byte = single_token();
  extra_byte.stream += bytes({0x00});
  EXPECT_ERROR(decode(extra_byte.build(), 2), "Invalid entropy stream");
  CraftedBody wrong_final_state = single_token();
  wrong_final_state.stream = bytes({0x01, 0x00, 0x80, 0x00});  // a full-scale token never moves it
  EXPECT_ERROR(decode(wrong_final_state.build(), 2), "Invalid entropy stream");

  // Two half-scale tokens: the first decode halves the state and needs a byte the stream lacks.
  CraftedBody starved = table_of({{0, 8191}, {0, 8191}});
  EXPECT_ERROR(decode(starved.build(), 1), "Truncated entropy stream");
}

TEST(EntropyBody, RejectsMissingOrDirtyExtraBits) {
  std::string body = encode_entropy_body({9, 1000});  // 1 + 7 bits: one full byte
  body.pop_back();
  EXPECT_ERROR(decode(body, 2), "Truncated number list");

  std::string one_bit = encode_entropy_body({9});
  ASSERT_EQ(static_cast<unsigned char>(one_bit.back()), 0x01);
  one_bit.back() = static_cast<char>(0x81);
  EXPECT_ERROR(decode(one_bit, 1), "Invalid entropy padding");
}

TEST(EntropyBody, ReaderGivesTheSameValuesInAnyPiecesAndAfterRewinding) {
  std::mt19937_64 rng(7);
  std::vector<std::uint64_t> values;
  for (int i = 0; i < 5000; ++i) values.push_back(rng() >> (rng() % 64));
  const std::string body = encode_entropy_body(values) + "tail";
  // With the tokens kept from the constructor's walk, and with the stream walked again.
  for (const std::uint64_t max_kept_tokens : {kKeptEntropyTokens, std::uint64_t{0}}) {
    ByteCursor c{body};
    EntropyBodyReader reader(c, values.size(), max_kept_tokens);
    EXPECT_EQ(c.pos, body.size() - 4) << "the cursor stops right after the body";
    for (std::size_t piece : {1u, 7u, 4096u}) {
      SCOPED_TRACE(testing::Message() << "piece " << piece << ", tokens kept up to " << max_kept_tokens);
      reader.rewind();
      std::vector<std::uint64_t> got;
      while (reader.left() > 0) {
        const std::size_t n = std::min<std::uint64_t>(piece, reader.left());
        got.resize(got.size() + n);
        reader.read(got.data() + got.size() - n, n);
      }
      EXPECT_EQ(got, values);
    }
  }
}

}  // namespace
}  // namespace corvale
