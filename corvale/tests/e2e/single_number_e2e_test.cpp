// A 24.9 MB single number through the built program: 2^82589933 - 1 written in decimal becomes
// a power-form archive of a few bytes and comes back byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "core/bigint.h"
#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

class SingleNumberFiles : public test::ProgramFiles {};

TEST_F(SingleNumberFiles, A25MegabyteMersenneNumberBecomesAFewBytes) {
  const std::string number = (BigInt::pow(2, 82589933) - BigInt(1)).to_decimal() + "\n";
  ASSERT_EQ(number.size(), 24862049u);
  dir_.write("m.txt", number);

  const test::ProcessResult c = run({"compress", "-i", "m.txt", "-o", "m.cv"});
  ASSERT_EQ(c.status, 0) << c.err;
  // Type 8 with a line feed and a negative offset: 2^82589933 - 1.
  const std::string archive = dir_.read("m.cv");
  EXPECT_EQ(archive.substr(0, 10), std::string("\x88\x12\x02\xED\xF1\xB0\x27\x01\x01\x01", 10));
  EXPECT_EQ(archive.size(), 14u);
  EXPECT_EQ(c.out, "m.txt -> m.cv: 24862049 -> 14 bytes\n");

  const test::ProcessResult d = run({"decompress", "-i", "m.cv", "-o", "m.out", "--max-output", "24862049"});
  ASSERT_EQ(d.status, 0) << d.err;
  EXPECT_TRUE(dir_.read("m.out") == number);
  const test::ProcessResult short_limit = run({"decompress", "-i", "m.cv", "-o", "m.short", "--max-output", "24862048"});
  EXPECT_EQ(short_limit.err, "Error: Output exceeds decompression limit\n");
}

}  // namespace
}  // namespace corvale
