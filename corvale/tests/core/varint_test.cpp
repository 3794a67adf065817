#include "core/varint.h"

#include <gtest/gtest.h>

#include <string>

#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

BigInt read_big(const std::string& s) {
  ByteCursor c{s};
  return cursor_read_varint_big(c, false, 0);
}

std::uint64_t read_u64(const std::string& s) {
  ByteCursor c{s};
  return cursor_read_varint_u64(c);
}

TEST(Varint, ReadsSmallValuesInEveryReader) {
  struct Case { std::string in; std::uint64_t value; };
  for (const Case& k : {Case{bytes({0x00}), 0}, Case{bytes({0x80, 0x01}), 128}, Case{bytes({0xAC, 0x02}), 300},
                        Case{repeat(bytes({0xFF}), 9) + bytes({0x01}), ~0ull}}) {
    EXPECT_EQ(read_u64(k.in), k.value);
    EXPECT_EQ(read_big(k.in), BigInt(k.value));
    EXPECT_EQ(decode_varint_u64(k.in), (std::pair<std::uint64_t, std::uint64_t>{k.value, k.in.size()}));
  }
}

TEST(Varint, BigReaderHasNoWidthLimit) {
  EXPECT_EQ(read_big(repeat(bytes({0xFF}), 9) + bytes({0x03})), (BigInt(1) << 65) - BigInt(1));
  std::string long_one = repeat(bytes({0x80}), 300) + bytes({0x01});
  EXPECT_EQ(read_big(long_one), BigInt(1) << 2100);
}

TEST(Varint, RejectsMalformedEncodings) {
  EXPECT_ERROR(read_u64(bytes({0x80, 0x00})), "Non-canonical varint");
  EXPECT_ERROR(read_big(bytes({0x80, 0x00})), "Non-canonical varint");
  EXPECT_ERROR(decode_varint_u64(bytes({0x80, 0x00})), "Non-canonical varint");
  EXPECT_ERROR(read_u64(repeat(bytes({0xFF}), 9) + bytes({0x02})), "Invalid varint");
  EXPECT_ERROR(decode_varint_u64(repeat(bytes({0xFF}), 9) + bytes({0x02})), "Invalid varint");
  // The 10th byte continues: too long, whatever follows.
  EXPECT_ERROR(read_u64(repeat(bytes({0x80}), 10) + bytes({0x01})), "Invalid varint");
  EXPECT_ERROR(decode_varint_u64(repeat(bytes({0x80}), 9) + bytes({0x81, 0x00})), "Invalid varint");
  EXPECT_ERROR(read_u64(repeat(bytes({0x80}), 9) + bytes({0x00})), "Non-canonical varint");
  EXPECT_ERROR(decode_varint_u64(repeat(bytes({0x80}), 9) + bytes({0x00})), "Non-canonical varint");
  {
    std::string s = repeat(bytes({0x80}), 5) + bytes({0x01});
    ByteCursor c{s};
    EXPECT_ERROR(cursor_read_varint_big(c, true, 5), "Invalid varint");
  }
}

TEST(Varint, EveryTruncatedPrefixFails) {
  std::string full;
  write_varint_u64(~0ull, full);
  for (std::size_t n = 0; n < full.size(); ++n) {
    std::string prefix = full.substr(0, n);
    EXPECT_ERROR(read_u64(prefix), "Truncated number list");
    EXPECT_ERROR(read_big(prefix), "Truncated number list");
    EXPECT_ERROR(decode_varint_u64(prefix), "Invalid varint");
  }
}

TEST(Varint, WritersProduceCanonicalFormsThatReadBack) {
  auto w64 = [](std::uint64_t v) { std::string s; write_varint_u64(v, s); return s; };
  auto wbig = [](const BigInt& v) { std::string s; write_varint_big(v, s); return s; };
  EXPECT_EQ(w64(0), bytes({0x00}));
  EXPECT_EQ(w64(127), bytes({0x7F}));
  EXPECT_EQ(w64(128), bytes({0x80, 0x01}));
  EXPECT_EQ(wbig(BigInt(1) << 64), repeat(bytes({0x80}), 9) + bytes({0x02}));
  for (std::uint64_t v : {0ull, 1ull, 127ull, 128ull, 16383ull, 16384ull, (1ull << 63), ~0ull}) {
    EXPECT_EQ(w64(v), wbig(BigInt(v)));
    EXPECT_EQ(read_u64(w64(v)), v);
  }
  BigInt big = BigInt::pow(BigInt(10), 1000) + BigInt(12345);
  std::string enc = wbig(big);
  EXPECT_NE(static_cast<unsigned char>(enc.back()), 0);
  EXPECT_EQ(read_big(enc), big);
}

TEST(ByteCursor, TakeBytesChecksWhatIsLeft) {
  std::string s = "abc";
  ByteCursor c{s};
  EXPECT_EQ(cursor_take_bytes(c, 2), "ab");
  EXPECT_ERROR(cursor_take_bytes(c, 2), "Truncated number list");
  EXPECT_EQ(c.pos, 2u);
  EXPECT_ERROR(cursor_take_bytes(c, ~0ull), "Truncated number list");
  EXPECT_EQ(cursor_take_bytes(c, 1), "c");
  EXPECT_EQ(cursor_take_bytes(c, 0), "");
}

TEST(Varint, VectorReaderStopsAtTheFirstFailure) {
  std::string s = bytes({0x01, 0x80, 0x00});
  ByteCursor c{s};
  EXPECT_ERROR(cursor_read_varint_vec(c, 5), "Non-canonical varint");
  // The faulty varint sits past the middle of what is left.
  std::string late = bytes({0x00, 0x00, 0x00, 0x80, 0x00});
  ByteCursor e{late};
  EXPECT_ERROR(cursor_read_varint_vec(e, 6), "Non-canonical varint");
  std::string t = bytes({0x01, 0x02});
  ByteCursor d{t};
  EXPECT_EQ(cursor_read_varint_vec(d, 2), (std::vector<std::uint64_t>{1, 2}));
}

}  // namespace
}  // namespace corvale
