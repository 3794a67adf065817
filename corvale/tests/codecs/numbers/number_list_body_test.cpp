#include "codecs/numbers/number_list_body.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/numbers/entropy.h"
#include "core/bigint.h"
#include "core/integer_list.h"
#include "core/varint.h"
#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/integer_lists.h"
#include "support/varints.h"

namespace corvale {
namespace {

using test::signed_bigints;
using test::signed_list;
using test::unsigned_list;
using test::varints;

std::vector<BigInt> big_list(std::initializer_list<std::uint64_t> values) {
  return std::vector<BigInt>(values.begin(), values.end());
}

void expect_candidates(const std::vector<LayoutCandidate>& got, const std::vector<LayoutCandidate>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].layout, want[i].layout) << i;
    EXPECT_EQ(got[i].bytes, want[i].bytes) << i;
  }
}

std::vector<LayoutCandidate> candidates_of(const std::vector<BigInt>& values) {
  return encode_number_list_candidates(unsigned_list(values));
}

std::vector<BigInt> decode_body(const std::string& body, std::uint8_t method, std::uint64_t count) {
  ByteCursor c{body};
  std::vector<BigInt> out = test::bigints(decode_number_list_body(c, method, count));
  EXPECT_TRUE(c.at_end()) << "method " << unsigned(method);
  return out;
}

TEST(NumberListBody, EncodesKnownListsByteForByte) {
  expect_candidates(candidates_of(big_list({})), {{0, ""}, {4, bytes({0x01})}});
  expect_candidates(candidates_of(big_list({0, 0})),
                    {{0, bytes({0, 0})}, {4, bytes({1, 0, 0})}, {16, encode_entropy_body({0, 0})}});
  expect_candidates(candidates_of(big_list({1, 256})),
                    {{0, bytes({0x01, 0x80, 0x02})}, {4, bytes({0x02, 0x01, 0x00, 0x00, 0x01})},
                     {16, encode_entropy_body({1, 256})}});
}

TEST(NumberListBody, PackedWordsGiveTheBodiesOfFullWords) {
  // Every varint length up to five bytes and every plane count up to four, in each word size.
  const std::vector<std::vector<std::uint64_t>> lists = {
      {0, 1, 127, 128, 255},
      {0, 127, 128, 16383, 16384, 65535},
      {(1u << 21) - 1, 1u << 21, (1u << 28) - 1, 1u << 28, 0xFFFFFFFF, 5},
  };
  for (const std::vector<std::uint64_t>& values : lists) {
    IntegerList packed(Signedness::Unsigned);
    packed.allow_packed_words();
    IntegerList full(Signedness::Unsigned);
    for (std::uint64_t v : values) {
      packed.push_word(v);
      full.push_word(v);
    }
    ASSERT_LT(packed.word_bytes(), 8u);
    expect_candidates(encode_number_list_candidates(packed), encode_number_list_candidates(full));
  }
}

TEST(NumberListBody, VarintBodiesAreOneVarintAValueInEveryWordSize) {
  // Both sides of every varint length, from one byte to ten, in the smallest word holding them.
  std::vector<std::uint64_t> values;
  for (unsigned bits = 7; bits < 64; bits += 7) {
    values.insert(values.end(), {(std::uint64_t{1} << bits) - 1, std::uint64_t{1} << bits, 0});
  }
  values.push_back(~0ull);
  for (const unsigned word_bytes : {1u, 2u, 4u, 8u}) {
    IntegerList packed(Signedness::Unsigned);
    packed.allow_packed_words();
    std::string want;
    for (std::uint64_t v : values) {
      if (word_bytes < 8 && v >> (8 * word_bytes) != 0) continue;
      packed.push_word(v);
      write_varint_u64(v, want);
    }
    ASSERT_EQ(packed.word_bytes(), word_bytes);
    std::string body = "head";
    ASSERT_TRUE(append_number_list_body(packed, 0, kLayoutVarints, body));
    EXPECT_EQ(body, "head" + want) << word_bytes;
  }
}

TEST(NumberListBody, WideValuesSuppressLayouts) {
  auto layouts = [](std::vector<BigInt> values) {
    std::string s;
    for (const LayoutCandidate& c : candidates_of(values)) s += std::to_string(c.layout) + " ";
    return s;
  };
  EXPECT_EQ(layouts({BigInt(~0ull), BigInt(3)}), "0 4 16 ");
  EXPECT_EQ(layouts({BigInt(3), BigInt(1) << 64}), "0 4 ");
  EXPECT_EQ(layouts({BigInt(1) << 255}), "0 4 ");
  EXPECT_EQ(layouts({BigInt(1) << 256, BigInt(0)}), "0 ");

  const std::vector<BigInt> widest{BigInt(1) << 255, BigInt(7)};
  const std::string planes = candidates_of(widest)[1].bytes;
  EXPECT_EQ(planes.size(), 1u + 32 * 2);
  EXPECT_EQ(static_cast<unsigned char>(planes[0]), 32u);
}

TEST(NumberListBody, EveryCandidateDecodesBack) {
  std::mt19937_64 rng(99);
  std::vector<std::vector<BigInt>> lists = {
      big_list({}), big_list({0}), big_list({0, 0}), big_list({1, 256}), big_list({~0ull, 0, 1}),
      {BigInt(1) << 64, BigInt(5), BigInt(1) << 200, BigInt(0)},
      {BigInt(1) << 300, BigInt(2)},  // varints only
  };
  std::vector<BigInt> random;
  for (int i = 0; i < 500; ++i) random.emplace_back(rng() >> (rng() % 64));
  lists.push_back(random);
  for (const auto& list : lists) {
    for (const LayoutCandidate& c : candidates_of(list)) {
      EXPECT_EQ(decode_body(c.bytes, c.layout, list.size()), list) << "layout " << unsigned(c.layout);
    }
  }
  // Whether the list keeps its values in words or in big integers does not change a byte, and
  // only the values from the first index on are encoded.
  IntegerList wide = unsigned_list(random);
  wide.widen();
  const auto a = candidates_of(random);
  ASSERT_EQ(a.size(), 3u);
  expect_candidates(encode_number_list_candidates(wide), a);
  std::vector<LayoutCandidate> from_480;
  for (const std::uint8_t layout : kLayoutsInOrder) {
    std::string body = "head";
    ASSERT_TRUE(append_number_list_body(unsigned_list(random), 480, layout, body));
    from_480.push_back({layout, body.substr(4)});
  }
  expect_candidates(from_480, candidates_of(std::vector<BigInt>(random.begin() + 480, random.end())));
}

TEST(NumberListBody, ReadsExactlyItsBytesForAnEmptyList) {
  const std::string data = bytes({0x01, 0x7F});
  for (auto [method, used] : {std::pair<unsigned, unsigned>{4, 1}, {0, 0}, {16, 0}}) {
    ByteCursor c{data};
    EXPECT_TRUE(decode_number_list_body(c, static_cast<std::uint8_t>(method), 0).empty());
    EXPECT_EQ(c.pos, used) << method;
  }
}

TEST(NumberListBody, CallerBitsDoNotChangeTheLayout) {
  // Bits 0, 1 and 3 belong to the caller: method 8 and 11 are varints, 12 byte planes, 17 entropy.
  EXPECT_EQ(decode_body(bytes({0x05, 0x80, 0x01}), 8, 2), big_list({5, 128}));
  EXPECT_EQ(decode_body(bytes({0x05, 0x80, 0x01}), 11, 2), big_list({5, 128}));
  EXPECT_EQ(decode_body(bytes({0x02, 0x05, 0x00, 0x00, 0x01}), 12, 2), big_list({5, 256}));
  EXPECT_EQ(decode_body(encode_entropy_body({5, 256}), 17, 2), big_list({5, 256}));
  // Wider planes than needed and zero top planes are fine.
  EXPECT_EQ(decode_body(bytes({0x03, 0x05, 0x06, 0, 0, 0, 0}), 4, 2), big_list({5, 6}));
}

TEST(NumberListBody, ValuesPastSixtyFourBitsMidList) {
  std::string body = varints({7});
  write_varint_big(BigInt(1) << 70, body);
  body += varints({~0ull, 3});
  EXPECT_EQ(decode_body(body, 0, 4), (std::vector<BigInt>{BigInt(7), BigInt(1) << 70, BigInt(~0ull), BigInt(3)}));
  // Nine-byte planes whose top plane is zero but for one value.
  std::string planes = bytes({9});
  for (unsigned j = 0; j < 9; ++j) planes += bytes({j == 0 ? 5u : 0u, j == 8 ? 1u : 0u});
  EXPECT_EQ(decode_body(planes, 4, 2), (std::vector<BigInt>{BigInt(5), BigInt(1) << 64}));
}

TEST(NumberListBody, ReaderGivesTheSameValuesInAnyPieces) {
  std::vector<BigInt> values;
  std::mt19937_64 rng(3);
  for (int i = 0; i < 3000; ++i) values.emplace_back(rng() >> (rng() % 64));
  values[1234] = BigInt(1) << 600;  // 86 bytes as a varint: a piece ends after it
  const std::vector<BigInt> narrow(values.begin() + 1235, values.end());
  struct Case { std::vector<BigInt> list; std::uint8_t layout; };
  std::vector<Case> cases = {{values, 0}};
  for (const LayoutCandidate& c : candidates_of(narrow)) cases.push_back({narrow, c.layout});
  for (const Case& k : cases) {
    const std::string body = candidates_of(k.list)[k.layout == 0 ? 0 : k.layout == 4 ? 1 : 2].bytes;
    ByteCursor cursor{body};
    NumberListBodyReader reader(cursor, k.layout, k.list.size());
    EXPECT_TRUE(cursor.at_end());
    for (std::size_t piece : {1u, 7u, 4096u}) {
      SCOPED_TRACE(std::to_string(k.layout) + " in pieces of " + std::to_string(piece));
      reader.rewind();
      std::vector<BigInt> got;
      IntegerList out(Signedness::Unsigned);
      while (reader.left() > 0) {
        out.clear();
        const std::size_t n = reader.read(out, piece);
        ASSERT_EQ(out.size(), n);
        if (&k == &cases[0] && got.size() <= 1234 && got.size() + n > 1234) {
          EXPECT_EQ(got.size() + n, 1235u) << "the long value ends its piece";
        }
        for (const BigInt& v : test::bigints(out)) got.push_back(v);
      }
      EXPECT_EQ(got, k.list);
    }
  }
}

TEST(NumberListBody, RejectsMalformedBodies) {
  for (unsigned method : {20, 21, 22, 23, 28, 29, 30, 31}) {
    EXPECT_ERROR(decode_body(bytes({0x01, 0x00}), static_cast<std::uint8_t>(method), 1), "Invalid layout");
  }
  EXPECT_ERROR(decode_body(bytes({0x00, 0x05}), 4, 1), "Invalid byte-plane width");
  EXPECT_ERROR(decode_body(bytes({0x21, 0x05}), 4, 1), "Invalid byte-plane width");
  EXPECT_ERROR(decode_body("", 4, 1), "Truncated number list");
  EXPECT_ERROR(decode_body(bytes({0x02, 0x05, 0x06, 0x07}), 4, 2), "Truncated number list");
  EXPECT_ERROR(decode_body(bytes({0x05, 0x80}), 0, 2), "Truncated number list");
  EXPECT_ERROR(decode_body(bytes({0x05, 0x80, 0x00}), 0, 2), "Non-canonical varint");
  EXPECT_ERROR(decode_body(bytes({0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}), 0, 1),
               "Non-canonical varint");
  // The first faulty varint decides, however many follow.
  EXPECT_ERROR(decode_body(bytes({0x80, 0x00, 0x80}), 0, 3), "Non-canonical varint");
  EXPECT_ERROR(decode_body(bytes({0x00}), 16, 1), "Invalid entropy table");
}

TEST(NumberListBody, HugeCountsFailWithoutReservingForThem) {
  // A count no body could hold must end in the cursor's message, not in an allocation failure.
  const std::uint64_t huge = std::uint64_t{1} << 61;
  EXPECT_ERROR(decode_body(bytes({0x01, 0x02, 0x03}), 0, huge), "Truncated number list");
  EXPECT_ERROR(decode_body(bytes({0x01, 0x02, 0x03}), 4, huge), "Truncated number list");
  EXPECT_ERROR(decode_body(bytes({0x20, 0x02, 0x03}), 4, huge), "Truncated number list");
}

TEST(NumberListBody, SignedTransforms) {
  for (auto [m, x] : {std::pair<std::int64_t, std::int64_t>{0, 0}, {1, -1}, {2, 1}, {3, -2}}) {
    EXPECT_EQ(zigzag_decode_big(BigInt(static_cast<std::uint64_t>(m))), BigInt::from_i64(x));
    EXPECT_EQ(zigzag_encode_big(BigInt::from_i64(x)), BigInt(static_cast<std::uint64_t>(m)));
    EXPECT_EQ(zigzag_decode_u64(static_cast<std::uint64_t>(m)), x);
    EXPECT_EQ(zigzag_encode_i64(x), static_cast<std::uint64_t>(m));
  }
  EXPECT_EQ(zigzag_encode_i64(INT64_MIN), ~0ull);
  EXPECT_EQ(zigzag_decode_u64(~0ull), INT64_MIN);

  const std::vector<BigInt> values = signed_bigints({5, 3, 10});
  IntegerList deltas = delta_encode_big(signed_list(values));
  EXPECT_EQ(test::bigints(deltas), signed_bigints({5, -2, 7}));
  prefix_sum_in_place(deltas);
  EXPECT_EQ(test::bigints(deltas), values);

  IntegerList out = signed_list(signed_bigints({1}));
  collect_zigzag_decoded_bigints(out, unsigned_list(big_list({0, 1, 4})));
  collect_bigints_offset_by_base(out, unsigned_list(big_list({0, 2})), BigInt::from_i64(-3));
  EXPECT_EQ(test::bigints(out), signed_bigints({1, 0, -1, 2, -3, -1}));
}

TEST(NumberListBody, TransformsLeaveSixtyFourBitsExactly) {
  // Differences and sums that leave 64 bits go on in big integers, in the same list.
  const std::vector<BigInt> extremes = signed_bigints({INT64_MAX, INT64_MIN, INT64_MAX, -1});
  IntegerList deltas = delta_encode_big(signed_list(extremes));
  EXPECT_TRUE(deltas.wide());
  EXPECT_EQ(test::bigints(deltas),
            (std::vector<BigInt>{BigInt::from_i64(INT64_MAX), -(BigInt(~0ull)), BigInt(~0ull), BigInt::from_i64(INT64_MIN)}));
  prefix_sum_in_place(deltas);
  EXPECT_EQ(test::bigints(deltas), extremes);

  // A base plus a magnitude past 2^63 - 1.
  IntegerList offsets(Signedness::Signed);
  collect_bigints_offset_by_base(offsets, unsigned_list(big_list({1, ~0ull})), BigInt::from_i64(-1));
  EXPECT_EQ(test::bigints(offsets), (std::vector<BigInt>{BigInt(0), BigInt(~0ull) - BigInt(1)}));
  IntegerList small(Signedness::Signed);
  collect_bigints_offset_by_base(small, unsigned_list(big_list({0, ~0ull})), BigInt::from_i64(INT64_MIN));
  EXPECT_FALSE(small.wide());
  EXPECT_EQ(test::bigints(small), signed_bigints({INT64_MIN, INT64_MAX}));
  // Magnitudes whose OR (7) passes the room a base leaves under 2^63 while their largest (5)
  // fits stay words; one more past the room widens the list, keeping what it held.
  IntegerList near = signed_list(signed_bigints({1}));
  collect_bigints_offset_by_base(near, unsigned_list(big_list({5, 2})), BigInt::from_i64(INT64_MAX - 6));
  EXPECT_FALSE(near.wide());
  collect_bigints_offset_by_base(near, unsigned_list(big_list({6, 7})), BigInt::from_i64(INT64_MAX - 6));
  EXPECT_TRUE(near.wide());
  EXPECT_EQ(test::bigints(near), (std::vector<BigInt>{BigInt(1), BigInt::from_i64(INT64_MAX - 1),
                                                      BigInt::from_i64(INT64_MAX - 4), BigInt::from_i64(INT64_MAX),
                                                      BigInt::from_i64(INT64_MAX) + BigInt(1)}));
}

TEST(NumberListBody, PrefixSumsCarryFromPieceToPiece) {
  // Summing a list in pieces, each carrying the sum before it, gives the sums of the whole list;
  // the pieces' sums leave 64 bits half way.
  std::vector<BigInt> values;
  for (int i = 0; i < 40; ++i) values.push_back(BigInt::from_i64(INT64_MAX / 16 + i));
  IntegerList whole = signed_list(values);
  prefix_sum_in_place(whole);
  BigInt carry;
  std::vector<BigInt> pieces;
  for (std::size_t first = 0; first < values.size(); first += 7) {
    const std::size_t last = std::min(values.size(), first + 7);
    IntegerList piece = signed_list(std::vector<BigInt>(values.begin() + first, values.begin() + last));
    prefix_sum_in_place(piece, carry);
    for (const BigInt& v : test::bigints(piece)) pieces.push_back(v);
  }
  EXPECT_EQ(pieces, test::bigints(whole));
  EXPECT_EQ(carry, pieces.back());

  // Big sums are charged to a budget, which stops them.
  MagnitudeBudget budget(10);  // 1044 bytes past the fixed part, spent here
  budget.charge_bytes(MagnitudeBudget::kFixedAllowance);
  IntegerList repeats = signed_list(std::vector<BigInt>(100, BigInt(0)));
  BigInt huge = BigInt(1) << 800;  // 101 bytes a sum
  EXPECT_ERROR(prefix_sum_in_place(repeats, huge, &budget), "Output exceeds decompression limit");
}

}  // namespace
}  // namespace corvale
