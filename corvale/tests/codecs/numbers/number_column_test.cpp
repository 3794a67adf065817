#include "codecs/numbers/number_column.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codecs/numbers/number_list_body.h"
#include "core/zlib.h"
#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/integer_lists.h"

namespace corvale {
namespace {

using test::bigints;
using test::signed_list;
using test::unsigned_list;

std::string encode(const std::vector<BigInt>& values) { return encode_number_column(signed_list(values)).value(); }

// Decodes count values from column followed by a byte that must be left unread.
std::vector<BigInt> decode(const std::string& column, std::uint64_t count) {
  const std::string data = column + "\x7F";
  ByteCursor cursor{data};
  MagnitudeBudget budget(1 << 20);
  const IntegerList got = decode_number_column(cursor, count, budget);
  EXPECT_EQ(cursor.pos, column.size());
  return bigints(got);
}

// Every framed candidate in the order the encoder offers them, built from the definitions.
std::vector<std::string> all_candidates(std::vector<BigInt> d) {
  std::vector<std::string> out;
  const std::size_t n = d.size();
  for (unsigned k = 0; k <= 2; ++k) {
    for (std::size_t i = k > 0 ? n : 0; i-- > 1;) d[i] -= d[i - 1];
    const std::size_t h = std::min<std::size_t>(k, n);
    std::string head;
    for (std::size_t i = 0; i < h; ++i) write_varint_big(BigInt::zigzag(d[i]), head);
    std::vector<BigInt> zigzag;
    for (std::size_t i = h; i < n; ++i) zigzag.push_back(BigInt::zigzag(d[i]));
    for (const LayoutCandidate& c : encode_number_list_candidates(unsigned_list(zigzag))) {
      out.push_back(std::string(1, static_cast<char>(c.layout | k)) + head + c.bytes);
    }
    if (h == n) continue;
    BigInt base = d[h];
    for (std::size_t i = h; i < n; ++i) base = std::min(base, d[i]);
    std::string base_bytes;
    write_varint_big(BigInt::zigzag(base), base_bytes);
    std::vector<BigInt> offsets;
    for (std::size_t i = h; i < n; ++i) offsets.push_back(d[i] - base);
    for (const LayoutCandidate& c : encode_number_list_candidates(unsigned_list(offsets))) {
      out.push_back(std::string(1, static_cast<char>(c.layout | 8 | k)) + head + base_bytes + c.bytes);
    }
  }
  return out;
}

// The decoder alone, for the bytes it must refuse.
void decode_only(const std::string& column, std::uint64_t count) {
  ByteCursor cursor{column};
  MagnitudeBudget budget(1 << 20);
  decode_number_column(cursor, count, budget);
}

std::string first_smallest(const std::vector<std::string>& candidates) {
  std::string best;
  std::uint64_t best_size = ~0ull;
  for (const std::string& c : candidates) {
    const std::uint64_t size = deflate_compress_fast(c);
    if (size < best_size) {
      best_size = size;
      best = c;
    }
  }
  return best;
}

std::vector<std::vector<BigInt>> sample_lists() {
  std::mt19937_64 rng(17);
  std::vector<std::vector<BigInt>> lists = {
      {},
      {BigInt(5)},
      {BigInt::from_i64(-7)},
      std::vector<BigInt>(50, BigInt(42)),                                  // constant
      {BigInt::from_i64(-3), BigInt::from_i64(-9), BigInt::from_i64(-4)},  // all negative
      {BigInt::from_i64(INT64_MIN), BigInt::from_i64(INT64_MAX), BigInt(0)},
      {BigInt(1) << 61, BigInt(1), -(BigInt(1) << 61)},
      {BigInt(1) << 300, BigInt(3), -(BigInt(1) << 70)},
  };
  std::vector<BigInt> ramp;
  std::vector<BigInt> noisy;
  for (int i = 0; i < 400; ++i) {
    ramp.push_back(BigInt::from_i64(1000 + 7 * i));
    noisy.push_back(BigInt::from_i64(static_cast<std::int64_t>(rng() % 2001) - 1000));
  }
  lists.push_back(ramp);
  lists.push_back(noisy);
  return lists;
}

TEST(NumberColumn, RoundTripsAndKeepsTheFirstSmallestCandidate) {
  for (const std::vector<BigInt>& values : sample_lists()) {
    SCOPED_TRACE(values.size());
    const std::string column = encode(values);
    EXPECT_EQ(decode(column, values.size()), values);
    EXPECT_EQ(column, first_smallest(all_candidates(values)));
    // The big-integer road writes the same bytes as the 64-bit one.
    IntegerList wide = signed_list(values);
    wide.widen();
    EXPECT_EQ(encode_number_column(std::move(wide)).value(), column);
  }
}

TEST(NumberColumn, ReadInPiecesEveryMethodCarriesItsSumsAcrossPieces) {
  // Long enough for three pieces; a square and its differences reach past 64 bits midway.
  std::vector<BigInt> values;
  for (std::int64_t i = 0; i < 10000; ++i) {
    BigInt v = BigInt::from_i64(i * i - 7 * i);
    if (i > 5000) v *= BigInt(1) << 50;
    values.push_back(v);
  }
  for (const std::string& column : all_candidates(values)) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(column[0])));
    ByteCursor cursor{column};
    MagnitudeBudget budget(1 << 24);
    NumberColumnReader reader(cursor, values.size(), budget);
    EXPECT_EQ(cursor.pos, column.size());
    std::vector<BigInt> got;
    IntegerList piece(Signedness::Signed);
    int pieces = 0;
    while (reader.next(piece)) {
      ++pieces;
      EXPECT_LE(piece.size(), 4098u);
      for (const BigInt& v : bigints(piece)) got.push_back(v);
    }
    EXPECT_GE(pieces, 3);
    EXPECT_EQ(got, values);
  }
}

TEST(NumberColumn, PassesOverCandidatesLongerThanTheRoomGiven) {
  std::vector<BigInt> values;
  for (int i = 0; i < 100; ++i) values.push_back(BigInt(1000 + i));
  const std::string best = encode(values);
  std::uint64_t shortest = ~0ull;
  for (const std::string& c : all_candidates(values)) shortest = std::min<std::uint64_t>(shortest, c.size());
  EXPECT_LE(encode_number_column(signed_list(values), shortest).value().size(), shortest);
  EXPECT_FALSE(encode_number_column(signed_list(values), shortest - 1));
  EXPECT_EQ(encode_number_column(signed_list(values), best.size()).value(), best);
}

TEST(NumberColumn, EmptyListIsAMethodByteAndAnEmptyBody) {
  const std::string column = encode({});
  EXPECT_EQ(column, bytes({0x00}));
  for (const std::string& c : {bytes({0x00}), bytes({0x02}), bytes({0x04, 0x01}), bytes({0x06, 0x01})}) {
    EXPECT_TRUE(decode(c, 0).empty());
  }
}

TEST(NumberColumn, ReadsHeadsAndBasesItHasNoValuesFor) {
  // Order 2 with one value: the head alone, an empty body and two passes that change nothing.
  EXPECT_EQ(decode(bytes({0x02, 0x0A}), 1), std::vector<BigInt>{BigInt(5)});
  // A base with nothing left for the body is read and ignored.
  EXPECT_EQ(decode(bytes({0x0A, 0x0A, 0x63}), 1), std::vector<BigInt>{BigInt(5)});
  // Ignored, a base costs the decode's budget nothing, however long.
  std::string long_base(100000, '\xFF');
  long_base.back() = 0x7F;
  const std::string column = bytes({0x0A, 0x0A}) + long_base;
  ByteCursor cursor{column};
  MagnitudeBudget budget(0);
  const std::uint64_t before = budget.remaining();
  EXPECT_EQ(bigints(decode_number_column(cursor, 1, budget)), std::vector<BigInt>{BigInt(5)});
  EXPECT_EQ(budget.remaining(), before);
  // Order 1: 10, then differences 3 and -2 offset from the base -2.
  EXPECT_EQ(decode(bytes({0x09, 0x14, 0x03, 0x05, 0x00}), 3),
            (std::vector<BigInt>{BigInt(10), BigInt(13), BigInt(11)}));
}

TEST(NumberColumn, RefusesBadMethodsInOrder) {
  for (unsigned method = 0; method < 256; ++method) {
    const bool bad_order = (method & 3) == 3 || method >= 32;
    if (!bad_order) continue;
    // Nothing after the byte: the method is judged before anything is read.
    EXPECT_ERROR(decode_only(bytes({method}), 2), "Invalid column method");
  }
  for (unsigned method : {20, 21, 22, 28, 29, 30}) {
    // The head and base are read first: cut there, the cut is what is reported.
    const unsigned k = method & 3;
    if (k > 0) EXPECT_ERROR(decode_only(bytes({method}), 2), "Truncated number list");
    std::string column = bytes({method});
    for (unsigned i = 0; i < k; ++i) column += bytes({0x02});
    if (method & 8) column += bytes({0x00});
    column += bytes({0x01, 0x00, 0x00});
    EXPECT_ERROR(decode_only(column, 2), "Invalid layout");
  }
  EXPECT_ERROR(decode_only("", 1), "Truncated number list");
  EXPECT_ERROR(decode_only(bytes({0x01, 0x80, 0x00}), 1), "Non-canonical varint");
}

}  // namespace
}  // namespace corvale
