// Number-text files through the built program: compress, decompress, and compare byte for byte.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "support/program_files.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

class NumberTextFiles : public test::ProgramFiles {};

std::string printed(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

TEST_F(NumberTextFiles, MatricesArraysAndSeriesRestoreByteForByte) {
  std::mt19937_64 rng(10);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::string matrix, array = "[", series;
  double a = 12.5, b = -3.25;
  for (int i = 0; i < 4000; ++i) {
    a += 0.01 * noise(rng);
    b += 0.05 * noise(rng);
    matrix += printed("%.6f", a) + " " + printed("%.4f", b) + " " + std::to_string(i % 17) + "\n";
    array += (i ? ", " : "") + printed("%.3f", std::abs(a));
    series += printed("%.3f", i * 0.001) + "\t" + printed("%.6e", b * 1e-4) + "\t" + printed("%.6E", a * 1e5) + "\r\n";
  }
  array += "]\n";
  struct Case { const char* name; std::string text; };
  for (const Case& k : {Case{"matrix.txt", matrix}, Case{"array.json", array}, Case{"series.tsv", series}}) {
    const std::string archive = round_trip(k.name, k.text, 0x8A);
    EXPECT_LT(archive.size() * 3, k.text.size()) << k.name;
  }
}

TEST_F(NumberTextFiles, ShortTextWhosePayloadIsNotShorterIsStored) {
  const std::string archive = round_trip("pair.txt", "12 34\n", 0x80);
  EXPECT_EQ(archive.size(), 6u + 5u);
}

}  // namespace
}  // namespace corvale
