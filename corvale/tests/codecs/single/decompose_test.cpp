#include "codecs/single/decompose.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codecs/single/expression.h"
#include "support/bytes.h"
#include "support/literals.h"

namespace corvale {
namespace {

using test::big;
using test::pow;

std::string decompose(const BigInt& n, std::uint64_t depth = 0) {
  DecomposeCache cache;
  return decompose_integer_expression(n, depth, cache);
}

TEST(Decompose, ChoosesTheShortestTextInTheSearchOrder) {
  struct Case {
    const char* what;
    BigInt n;
    std::string text;
  };
  const Case cases[] = {
      {"below 100", BigInt(99), "99"},
      {"no shorter form", BigInt(100), "100"},
      {"no shorter form either", BigInt(1000), "1000"},
      {"2**10 is as long as 1024", BigInt(1024), "1024"},
      {"degree 8 comes before 16", BigInt(65536), "4**8"},
      {"first of the equally long 4**32 and 2**64", pow(2, 64), "4**32"},
      {"2**100", pow(2, 100), "4**50"},
      {"a small base with an offset beats the parenthesised one", pow(2, 64) + BigInt(5), "2**64+5"},
      {"just below a power of ten", pow(10, 100) - BigInt(1), "10**100-1"},
      {"a negative offset", pow(3, 200) - BigInt(7), "3**200-7"},
      {"a decomposed offset", pow(10, 30) + pow(10, 15) + BigInt(1), "10**30+(10**15+1)"},
      {"the first degree with the lowest estimate", pow(2, 200) + pow(3, 100), "32**40+(9**50)"},
      {"trailing zeros", BigInt(5) * pow(10, 40), "(5)*10**40"},
      {"the cofactor is left when 5 * 5 exceeds it", pow(2, 100) * pow(3, 50) * BigInt(7), "2**100*3**50*(7)"},
      {"a repunit", big(std::string(22, '5')), "5*(10**22-1)//9"},
      {"a repeated block", big(repeat("1234567890", 6)), "1234567890*(10**60-1)//9999999999"},
      {"hexadecimal", big("12345678901234567890"), "0xab54a98ceb1f0ad2"},
      {"stays decimal", big("123123123123"), "123123123123"},
      {"stays decimal too", big("600851475143"), "600851475143"},
      {"hexadecimal still shorter at 23 digits", big("98765432109876543210987"), "0x14ea15b5a63f1e5fc5eb"},
      {"base 36", big("710426631083199122076454498582770386770371535118646460770445"),
       "int('55hqh22jjmg7wuymgpgos3uobb1vmbgqznsad1p',36)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decompose(c.n), c.text);
  }
}

TEST(Decompose, DepthFourAndLargeNumbersStayDecimal) {
  const BigInt n = pow(2, 64);
  EXPECT_EQ(decompose(n, 3), "4**32");
  EXPECT_EQ(decompose(n, 4), n.to_decimal());
  const BigInt huge = pow(2, 4096);  // 4097 bits: never searched
  EXPECT_EQ(decompose(huge), huge.to_decimal());
  EXPECT_EQ(decompose(pow(2, 4095)), "32**819");
}

TEST(Decompose, TheFirstTextFoundForAValueStaysForTheWholeSearch) {
  DecomposeCache cache;
  cache.emplace(pow(2, 64).to_decimal(), "cached");
  EXPECT_EQ(decompose_integer_expression(pow(2, 64), 0, cache), "cached");
  // A value cut off by the depth is not remembered.
  EXPECT_EQ(decompose_integer_expression(pow(3, 64), 4, cache), pow(3, 64).to_decimal());
  EXPECT_EQ(cache.count(pow(3, 64).to_decimal()), 0u);
  EXPECT_EQ(decompose_integer_expression(pow(3, 64), 0, cache), "9**32");
  EXPECT_EQ(cache.at(pow(3, 64).to_decimal()), "9**32");
}

TEST(Decompose, EveryTextEvaluatesBackToItsNumber) {
  std::vector<BigInt> numbers;
  std::mt19937_64 rng(2024);
  for (int digits = 3; digits <= 200; digits += 7) {
    std::string s(1, static_cast<char>('1' + rng() % 9));
    while (s.size() < static_cast<std::size_t>(digits)) s.push_back(static_cast<char>('0' + rng() % 10));
    numbers.push_back(big(s));
  }
  for (std::uint64_t base : {2u, 3u, 7u, 10u, 12u, 35u}) {
    for (std::uint64_t exp : {20u, 57u, 150u}) {
      const BigInt p = pow(base, exp);
      for (std::int64_t offset : {-1000001, -3, 0, 1, 999999, 123456789}) numbers.push_back(p + BigInt::from_i64(offset));
      numbers.push_back(p * BigInt(997) * BigInt(991));
    }
  }
  numbers.push_back(big(repeat("9", 200)));
  numbers.push_back(big("1" + std::string(199, '0')));
  numbers.push_back(big("10203" + std::string(60, '0') + "4005" + std::string(40, '0') + "7"));
  for (const BigInt& n : numbers) {
    const std::string text = decompose(n);
    SCOPED_TRACE(n.to_decimal() + " -> " + text);
    EXPECT_EQ(parse_integer_expression(text), n);
    EXPECT_LE(text.size(), n.to_decimal().size());
  }
}

}  // namespace
}  // namespace corvale
