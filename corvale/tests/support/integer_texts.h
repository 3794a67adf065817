#pragma once
// Integer-line texts shared by the round-trip tests and the archive checksum test, so that both
// see exactly the same inputs.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/bigint.h"

namespace corvale::test {

inline std::string pow2_decimal(unsigned bits, std::int64_t plus = 0) {
  return (BigInt(1) << bits).operator+=(BigInt::from_i64(plus)).to_decimal();
}

// One text for each rule of the number-list format: line endings, leading zeros, -0, two lines,
// the edges of 64 bits and values far past them.
inline std::vector<std::string> integer_line_edge_cases() {
  const std::string thousands_of_digits = "9" + std::string(3000, '7');
  return {
      "1\n2", "12\n34\n", "007\n-0\n-000\n12\n", "0\n0\n0", "-0\n-0", "000\n0000\n",
      "1\r\n2\r\n", "-5\r\n0007\r\n-0\r\n3",
      "5\n7", "-9\n1000000\n",  // two lines: second differences leave no values after the seeds
      "999999999999999999\n-999999999999999999\n999999999999999999\n",   // the widest 64-bit road
      "1000000000000000000\n-1000000000000000000\n1\n",                  // one digit past it
      "9223372036854775807\n-9223372036854775808\n0\n",
      pow2_decimal(64) + "\n" + pow2_decimal(64, -1) + "\n-" + pow2_decimal(64) + "\n",
      pow2_decimal(300) + "\n-" + pow2_decimal(299) + "\n5\n",
      thousands_of_digits + "\n-" + thousands_of_digits + "\n000" + thousands_of_digits + "\n1",
  };
}

// 42 small integers and one 77-digit integer with a leading zero (163 bytes). The wide value's
// bytes (0x65 thirty-two times) make byte planes the body that deflates best, but those planes
// and a zero count for every line pass 2 x 163 + 1024 bytes, the inner-body cap of a decode
// limited to this text's length: an encoder that chose them would write an archive that its
// own decoder refuses when verifying.
inline std::string small_integers_then_one_wide_value() {
  std::string text;
  for (int digit : {7, 2, 7, 8, 0, 4, 8, 1, 9, 6, 1, 5, 1, 7, 0, 2, 8, 2, 1, 6, 4, 9, 4, 3, 8, 3, 3, 5, 4, 1, 1, 8,
                    5, 7, 8, 8, 0, 2, 4, 8, 4, 5}) {
    text += std::to_string(digit) + "\n";
  }
  return text + "045862749070466414657963409748539132130118699808743909678373396018820494484837\n";
}

// Integer-line texts of every shape the recogniser takes, from a seeded generator.
inline std::string random_integer_text(std::mt19937_64& rng) {
  const bool crlf = rng() % 3 == 0;
  const std::size_t n = 2 + rng() % 300;
  const int style = static_cast<int>(rng() % 5);
  std::int64_t walk = static_cast<std::int64_t>(rng() % 1000000);
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) text += crlf ? "\r\n" : "\n";
    std::string line;
    switch (style) {
      case 0:  // a counter with noise
        walk += static_cast<std::int64_t>(rng() % 7) - 1;
        line = std::to_string(walk);
        break;
      case 1:  // small signed values
        line = std::to_string(static_cast<std::int64_t>(rng() % 2001) - 1000);
        break;
      case 2:  // anything in 64 bits
        line = std::to_string(static_cast<std::int64_t>(rng()));
        break;
      case 3: {  // big values, some far past 64 bits
        BigInt v(rng());
        for (unsigned k = static_cast<unsigned>(rng() % 6); k > 0; --k) {
          v <<= 64;
          v += rng();
        }
        line = (rng() % 2 ? "-" : "") + v.to_decimal();
        break;
      }
      default:  // timestamps
        line = std::to_string(1700000000000ll + static_cast<std::int64_t>(i) * 1000 + static_cast<std::int64_t>(rng() % 50));
        break;
    }
    const unsigned r = static_cast<unsigned>(rng() % 40);
    if (r == 0) line = "-" + std::string(1 + rng() % 3, '0');
    if (r == 1) line = (line[0] == '-' ? "-" + std::string(1 + rng() % 4, '0') + line.substr(1)
                                       : std::string(1 + rng() % 4, '0') + line);
    text += line;
  }
  if (rng() % 2) text += crlf ? "\r\n" : "\n";
  return text;
}

// The random round-trip texts: this many from this seed, shared so that the checksum test
// covers the same ones.
inline constexpr std::uint64_t kRandomTextSeed = 0xC0FFEE;
inline constexpr int kRandomTextCount = 150;

}  // namespace corvale::test
