// Numbers with formulas through the built program: compress to formula archives, restore byte
// for byte, and refuse hostile formula archives quickly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/single/formula/formula.h"
#include "codecs/single/formula/formula_numbers.h"
#include "support/bytes.h"
#include "support/literals.h"
#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

using test::lit;

constexpr unsigned char kFormulaArchive = 0x8D;

class FormulaFiles : public test::ProgramFiles {};

// An archive of type 13 without a checksum: no flags, then the formula.
std::string formula_archive(const FormulaNode& formula) {
  std::string out = bytes({0x0D, 0x00});
  write_formula(formula, out);
  return out;
}

TEST_F(FormulaFiles, StructuredNumbersBecomeFormulaArchives) {
  const std::string factorial = range_product(2, 20000).to_decimal() + "\n";
  EXPECT_LT(round_trip("factorial.txt", factorial, kFormulaArchive).size(), 12u);
  const std::string fibonacci = fibonacci_number(100000).to_decimal();
  EXPECT_LT(round_trip("fibonacci.txt", fibonacci, kFormulaArchive).size(), 12u);
  // Small prime powers times a large prime (2^127 - 1), with sign, leading zeros and CR LF.
  const BigInt product = BigInt::pow(2, 300) * BigInt::pow(3, 200) * BigInt::pow(7, 50) * ((BigInt(1) << 127) - BigInt(1));
  const std::string prime_powers = "-000" + product.to_decimal() + "\r\n";
  EXPECT_LT(round_trip("prime-powers.txt", prime_powers, kFormulaArchive).size(), 40u);
}

TEST_F(FormulaFiles, HostileFormulasFailAtOnce) {
  const std::string kLimit = "Output exceeds decompression limit";
  // 3^1,783,485,233 has 2.8 billion bits; F(1,783,485,233) 1.2 billion.
  const std::string huge_power = formula_archive(FormulaNode::binary(FormulaOp::Power, lit(3), lit(1'783'485'233)));
  const std::string huge_fibonacci = formula_archive(FormulaNode::unary(FormulaOp::Fibonacci, lit(1'783'485'233)));
  EXPECT_EQ(huge_fibonacci.size(), 9u);
  FormulaNode sum = FormulaNode::unary(FormulaOp::Fibonacci, lit(1'783'485'233));
  for (int i = 0; i < 20; ++i) {
    sum = FormulaNode::binary(FormulaOp::Subtract, std::move(sum), FormulaNode::unary(FormulaOp::Fibonacci, lit(1'700'000'000 - i)));
  }
  const std::string many_fibonacci = formula_archive(sum);
  for (const std::string* archive : {&huge_power, &huge_fibonacci, &many_fibonacci}) {
    expect_refused(*archive, kLimit, {"--max-output", "1K"});
  }
  expect_refused(huge_power, kLimit);
  expect_refused(many_fibonacci, kLimit);
}

}  // namespace
}  // namespace corvale
