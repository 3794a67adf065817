#include "codecs/single/power_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "codecs/single/single_number.h"
#include "core/varint.h"
#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/literals.h"
#include "support/varints.h"

namespace corvale {
namespace {

using test::pow;

using test::varints;

TEST(FindPowerForm, KnownForms) {
  struct Case {
    const char* what;
    BigInt n;
    std::uint64_t base, exponent, factor;
    std::int64_t offset;
  };
  const Case cases[] = {
      {"64 bits are searched", pow(2, 63), 2, 63, 1, 0},
      {"2^100", pow(2, 100), 2, 100, 1, 0},
      {"2^100 + 5", pow(2, 100) + BigInt(5), 2, 100, 1, 5},
      {"just below a power", pow(2, 200) - BigInt(1), 2, 200, 1, -1},
      {"2^64 - 1", pow(2, 64) - BigInt(1), 2, 64, 1, -1},
      {"a factor", BigInt(3) * pow(10, 60) + BigInt(7), 10, 60, 3, 7},
      {"perfect-power bases are never used", pow(9, 40), 3, 80, 1, 0},
      {"a wide factor", BigInt(65535) * pow(97, 20) - BigInt(2), 97, 20, 65535, -2},
      {"a cheaper base beats a wide factor", BigInt(65536) * pow(3, 50), 54, 16, 9, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<PowerCandidate> p = find_power_form(c.n);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->base, c.base);
    EXPECT_EQ(p->exponent, c.exponent);
    EXPECT_EQ(p->factor, c.factor);
    EXPECT_EQ(p->offset, BigInt::from_i64(c.offset));
  }
  EXPECT_FALSE(find_power_form(pow(2, 63) - BigInt(1)));
  EXPECT_FALSE(find_power_form(BigInt(0)));
  EXPECT_FALSE(find_power_form(BigInt(1000000007)));
  // 210 is past the bases, and no base of at most 99 comes within a factor of 2^16 of it.
  EXPECT_FALSE(find_power_form(pow(210, 40)));
}

TEST(FindPowerForm, EveryCandidateAddsUpAndStaysInItsRanges) {
  std::vector<BigInt> numbers;
  std::mt19937_64 rng(99);
  for (std::uint64_t base : {2u, 3u, 6u, 7u, 10u, 12u, 97u}) {
    for (std::uint64_t exp : {70u, 333u, 2000u}) {
      for (std::uint64_t factor : {1u, 7u, 1000u, 65535u}) {
        numbers.push_back(BigInt(factor) * pow(base, exp) + BigInt::from_i64(static_cast<std::int64_t>(rng() % 2001) - 1000));
      }
    }
  }
  // Many passing pairs of one base (17 for a power of two), the first of equal cost kept.
  numbers.push_back(pow(2, 5000) + BigInt(1));
  numbers.push_back(pow(2, 64) + BigInt(12345));
  for (const BigInt& n : numbers) {
    SCOPED_TRACE(n.to_decimal());
    const std::optional<PowerCandidate> p = find_power_form(n);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(BigInt(p->factor) * pow(p->base, p->exponent) + p->offset, n);
    EXPECT_GE(p->base, 2u);
    EXPECT_LE(p->base, 99u);
    EXPECT_GE(p->exponent, 2u);
    EXPECT_GE(p->factor, 1u);
    EXPECT_LE(p->factor, 65536u);
    for (std::uint64_t perfect : {4u, 8u, 9u, 16u, 25u, 27u, 32u, 36u, 49u, 64u, 81u}) EXPECT_NE(p->base, perfect);
  }
}

TEST(PowerFormPayload, Layout) {
  PowerCandidate p = *find_power_form(pow(2, 100));
  EXPECT_EQ(encode_power_form_payload(p, 0x00, 0), bytes({0x00, 0x02, 0x64, 0x01, 0x00}));
  p = *find_power_form(pow(2, 100) + BigInt(5));
  EXPECT_EQ(encode_power_form_payload(p, 0x00, 0), bytes({0x00, 0x02, 0x64, 0x01, 0x01, 0x05}));
  p = *find_power_form(pow(2, 200) - BigInt(1));
  EXPECT_EQ(encode_power_form_payload(p, 0x00, 0), bytes({0x10, 0x02, 0xC8, 0x01, 0x01, 0x01, 0x01}));
  // The number's own flags and leading zeros come first.
  EXPECT_EQ(encode_power_form_payload(p, 0x0D, 3), bytes({0x1D, 0x03, 0x02, 0xC8, 0x01, 0x01, 0x01, 0x01}));
  EXPECT_EQ(decode_power_form_payload(bytes({0x1D, 0x03, 0x02, 0xC8, 0x01, 0x01, 0x01, 0x01}), 1000),
            "-000" + (pow(2, 200) - BigInt(1)).to_decimal() + "\r\n");
}

TEST(PowerFormPayload, RestoresExactlyUnderTheLimit) {
  const std::string n = (pow(2, 100) + BigInt(5)).to_decimal();
  const std::string payload = bytes({0x02, 0x02, 0x64, 0x01, 0x01, 0x05});
  EXPECT_EQ(decode_power_form_payload(payload, n.size() + 1), n + "\n");
  EXPECT_ERROR(decode_power_form_payload(payload, n.size()), "Output exceeds decompression limit");
  // 1 * 2^8 - 0xFF.
  EXPECT_EQ(decode_power_form_payload(bytes({0x10, 0x02, 0x08, 0x01, 0x01, 0xFF}), 10), "1");
  // Bases the search never picks are read all the same, and so are 64-bit bases and factors.
  EXPECT_EQ(decode_power_form_payload(bytes({0x00, 0x04, 0x03, 0x01, 0x00}), 10), "64");
  const std::uint64_t base = (std::uint64_t{1} << 32) + 5;
  const std::uint64_t factor = ~std::uint64_t{0};
  EXPECT_EQ(decode_power_form_payload(bytes({0x00}) + varints({base, 2, factor, 0}), 100),
            (BigInt(factor) * BigInt(base) * BigInt(base)).to_decimal());
  EXPECT_EQ(decode_power_form_payload(bytes({0x00}) + varints({factor, 3, 1, 0}), 100),
            "6277101735386680762814942322444851025767571854389858533375");
}

TEST(PowerFormPayload, EveryMessage) {
  struct Case {
    const char* what;
    std::string payload;
    std::uint64_t limit;
    const char* message;
  };
  const std::uint64_t big_exponent = (std::uint64_t{1} << 32) + 5;
  const Case cases[] = {
      {"empty", "", 100, "Missing binary numeric flags"},
      {"bit 5", bytes({0x20, 0x02, 0x08, 0x01, 0x00}), 100, "Invalid binary numeric flags"},
      {"header alone", bytes({0x00}), 100, "Invalid varint"},
      {"three counts", bytes({0x00, 0x02, 0x08, 0x01}), 100, "Invalid varint"},
      {"non-canonical count", bytes({0x00, 0x82, 0x00, 0x08, 0x01, 0x00}), 100, "Non-canonical varint"},
      {"base 1", bytes({0x00, 0x01, 0x08, 0x01, 0x05}), 100, "Invalid power form"},
      {"base 0", bytes({0x00, 0x00, 0x08, 0x01, 0x00}), 100, "Invalid power form"},
      {"exponent 0", bytes({0x00, 0x02, 0x00, 0x01, 0x00}), 100, "Invalid power form"},
      {"factor 0", bytes({0x00, 0x02, 0x08, 0x00, 0x00, 0x01}), 100, "Invalid power form"},
      {"one offset byte short", bytes({0x00, 0x02, 0x08, 0x01, 0x02, 0x05}), 100, "Truncated or extended power offset"},
      {"one offset byte more", bytes({0x00, 0x02, 0x08, 0x01, 0x01, 0x05, 0x06}), 100,
       "Truncated or extended power offset"},
      {"offset with a leading zero", bytes({0x00, 0x02, 0x08, 0x01, 0x02, 0x00, 0x05}), 100,
       "Non-canonical power offset"},
      {"negative zero offset", bytes({0x10, 0x02, 0x08, 0x01, 0x00}), 100, "Negative zero offset"},
      {"negative", bytes({0x10, 0x02, 0x08, 0x01, 0x02, 0x01, 0x01}), 100, "Power form is negative"},
      {"a trillion digits", bytes({0x00}) + varints({10, 1000000000000, 1, 0}), 512u << 20,
       "Output exceeds decompression limit"},
      {"exponent 2^32 + 5 past the estimate", bytes({0x00}) + varints({2, big_exponent, 1, 0}), 1000,
       "Output exceeds decompression limit"},
      {"exponent 2^32 + 5 under a vast limit", bytes({0x00}) + varints({2, big_exponent, 1, 0}), std::uint64_t{1} << 62,
       "Output exceeds decompression limit"},
      {"leading zeros count in the estimate", bytes({0x08, 0x64, 0x0A, 0x01, 0x02, 0x00}), 100,
       "Output exceeds decompression limit"},
      {"the rendered text", bytes({0x02, 0x0A, 0x02, 0x01, 0x01, 0x01}), 3, "Output exceeds decompression limit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_ERROR(decode_power_form_payload(c.payload, c.limit), c.message);
  }
}

TEST(PowerFormEstimates, DoubleConversionsAndLog2) {
  EXPECT_EQ(double_to_u64(-1.5), 0u);
  EXPECT_EQ(double_to_u64(std::nan("")), 0u);
  EXPECT_EQ(double_to_u64(2.9), 2u);
  EXPECT_EQ(double_to_u64(18446744073709551616.0), ~std::uint64_t{0});
  EXPECT_EQ(double_to_u64(1e300), ~std::uint64_t{0});
  EXPECT_EQ(log2_estimate(pow(2, 1000)), 1000.0);
  EXPECT_EQ(log2_estimate(BigInt(8)), 3.0);
  EXPECT_NEAR(log2_estimate(pow(3, 500)), 500 * std::log2(3.0), 1e-9);
}

}  // namespace
}  // namespace corvale
