#include "codecs/single/formula/formula_search.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "codecs/single/formula/formula_numbers.h"
#include "codecs/single/formula/formula_reader.h"
#include "support/bytes.h"

namespace corvale {
namespace {

BigInt pow2(std::size_t e) { return BigInt(1) << e; }
const BigInt kMersenne127 = pow2(127) - BigInt(1);

// A 208-bit number of no particular form, without prime factors up to 97.
BigInt plain_number() {
  BigInt x = BigInt::from_decimal("314159265358979323846264338327950288419716939937510582097494459");
  for (std::uint64_t p = 2; p <= 97; ++p) {
    BigInt q, r;
    for (BigInt::div_rem(x, BigInt(p), q, r); r.is_zero(); BigInt::div_rem(x, BigInt(p), q, r)) x = q;
  }
  return x;
}

std::string form(const FormulaNode& node) {
  std::string out;
  write_formula(node, out);
  return out;
}

std::string found(const BigInt& n, std::uint64_t depth = 0) {
  std::optional<FormulaNode> f = search_formula(n, depth);
  return f ? form(*f) : std::string("none");
}

BigInt value_of(const std::string& bytes) {
  ByteCursor cursor{bytes};
  BigInt v = decode_formula(cursor, 1u << 30);
  EXPECT_TRUE(cursor.at_end());
  return v;
}

// Op 0 and the varint of v: the literal form below 2^56.
std::string small(std::uint64_t v) {
  std::string out(1, '\0');
  write_varint_u64(v, out);
  return out;
}

TEST(FormulaSearch, NumbersBelow2To63GetNoFormula) {
  for (std::uint64_t depth : {0u, 1u, 3u}) {
    EXPECT_EQ(found(pow2(63) - BigInt(1), depth), "none");
    EXPECT_EQ(found(BigInt(0), depth), "none");
  }
  EXPECT_EQ(found(pow2(63)), bytes({0x05, 0x00, 0x02, 0x00, 0x3F}));
}

TEST(FormulaSearch, FindsEachFamily) {
  EXPECT_EQ(found(range_product(2, 1000)), bytes({0x06, 0x00, 0xE8, 0x07}));
  EXPECT_EQ(found(fibonacci_number(5000) - BigInt(3)), bytes({0x03, 0x07, 0x00, 0x88, 0x27, 0x00, 0x03}));
  EXPECT_EQ(found(lucas_number(777)), bytes({0x08, 0x00, 0x89, 0x06}));
  EXPECT_EQ(found(primorial(1009) * BigInt(5)), bytes({0x04, 0x00, 0x05, 0x09, 0x00, 0xF1, 0x07}));
  EXPECT_EQ(found(kMersenne127), bytes({0x03, 0x05, 0x00, 0x02, 0x00, 0x7F, 0x00, 0x01}));
}

TEST(FormulaSearch, FamiliesOfferEveryCloseIndex) {
  const BigInt n = range_product(2, 1000);
  const std::vector<FormulaNode> found = search_formula_family(n, log2_estimate(n), factorial_family(), 0);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(form(found[0]), bytes({0x06, 0x00, 0xE8, 0x07}));
  EXPECT_EQ(form(found[1]), bytes({0x04, 0x00, 0xE8, 0x07, 0x06, 0x00, 0xE7, 0x07}));  // 1000 x 999!
  // Exact multiples carry their factor and no remainder; a factor of 1 is left out.
  for (std::uint64_t k : {1u, 2u, 7u, 65536u}) {
    SCOPED_TRACE(k);
    const BigInt m = fibonacci_number(500) * BigInt(k);
    const std::vector<FormulaNode> fib = search_formula_family(m, log2_estimate(m), fibonacci_family(log2_estimate(m)), 0);
    ASSERT_FALSE(fib.empty());
    const std::string unary = bytes({0x07, 0x00, 0xF4, 0x03});
    EXPECT_EQ(form(fib[0]), k == 1 ? unary : bytes({0x04}) + small(k) + unary);
  }
}

TEST(FormulaSearch, FamilyRemaindersMustBe40BitsShorter) {
  const BigInt f = fibonacci_number(145);
  ASSERT_EQ(f.bit_length(), 100u);
  for (std::size_t r_bits : {60u, 61u}) {
    SCOPED_TRACE(r_bits);
    const BigInt n = f + pow2(r_bits - 1) + BigInt(12345);
    ASSERT_EQ(n.bit_length(), 100u);
    const std::vector<FormulaNode> fib = search_formula_family(n, log2_estimate(n), fibonacci_family(log2_estimate(n)), 0);
    if (r_bits == 60) {
      ASSERT_EQ(fib.size(), 1u);
      EXPECT_EQ(value_of(form(fib[0])), n);
      EXPECT_EQ(form(fib[0]).substr(0, 4), bytes({0x02, 0x07, 0x00, 0x91}));
    } else {
      EXPECT_TRUE(fib.empty());
    }
  }
}

TEST(FormulaSearch, EqualLengthsKeepTheEarlierShape) {
  // 3 x 2^100: the power form 3 x 2^100 and the prime powers 2^100 x 3 both take 8 bytes.
  EXPECT_EQ(found(pow2(100) * BigInt(3)), bytes({0x04, 0x00, 0x03, 0x05, 0x00, 0x02, 0x00, 0x64}));
}

TEST(FormulaSearch, PrimePowersCarryTheirCofactor) {
  // 5^50 x (2^127 - 1) has no power form.
  const BigInt n = BigInt::pow(5, 50) * kMersenne127;
  const std::string product = bytes({0x05, 0x00, 0x05, 0x00, 0x32});  // 5^50
  // The cofactor is searched too, unless the search is already at depth 3.
  EXPECT_EQ(found(n), bytes({0x04, 0x03, 0x05, 0x00, 0x02, 0x00, 0x7F, 0x00, 0x01}) + product);
  EXPECT_EQ(found(n, 3), bytes({0x04, 0x01, 0x10}) + kMersenne127.to_bytes_be() + product);
  // Small primes must account for 64 bits of the number.
  const BigInt plain = plain_number();
  EXPECT_EQ(found(BigInt(3) * plain), "none");
  EXPECT_EQ(found(pow2(63) * plain), "none");
  EXPECT_EQ(found(pow2(64) * plain), bytes({0x04, 0x01}) + std::string(1, static_cast<char>(plain.to_bytes_be().size())) + plain.to_bytes_be() + bytes({0x05, 0x00, 0x02, 0x00, 0x40}));
}

TEST(FormulaSearch, LongNumbersGetNoPrimePowers) {
  // 2^s x 3^126000 x (2^89 - 1) of 200,000 and of 200,001 bits.
  const BigInt base = BigInt::pow(3, 126000) * (pow2(89) - BigInt(1));
  for (std::size_t bits : {200'000u, 200'001u}) {
    SCOPED_TRACE(bits);
    const BigInt n = base << (bits - base.bit_length());
    EXPECT_EQ(found(n) == "none", bits == 200'001u);
  }
}

TEST(FormulaSearch, TheDeepestFormulasDecodeBack) {
  // Each remainder is a Fibonacci number plus a smaller one; the fourth level writes a literal.
  const BigInt r = BigInt::pow(7, 300) + BigInt(1);
  const BigInt n = fibonacci_number(3000) + fibonacci_number(2800) + fibonacci_number(2600) + fibonacci_number(2400) + r;
  const std::optional<FormulaNode> f = search_formula(n, 0);
  ASSERT_TRUE(f);
  const std::string bytes_form = form(*f);
  const std::string lit = bytes({0x01}) + std::string(1, static_cast<char>(r.to_bytes_be().size())) + r.to_bytes_be();
  EXPECT_NE(bytes_form.find(lit), std::string::npos);
  // Under the tightest limit the compressor verifies with: the number's own digits.
  ByteCursor cursor{bytes_form};
  EXPECT_EQ(decode_formula(cursor, n.to_decimal().size()), n);
}

}  // namespace
}  // namespace corvale
