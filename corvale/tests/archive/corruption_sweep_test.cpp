// Every single-bit flip and every truncation of a small real archive of each type must be
// rejected or restore the same bytes. The one place a flip can go unnoticed is the checksum
// flag itself: a type byte without bit 7 is decoded without a trailer, so its last four bytes
// become payload. Those flips are counted apart and printed, not failed. The full-size sweep
// (larger inputs) runs with CORVALE_SWEEP_FULL=1 set in the environment.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "archive/compress.h"
#include "archive/container.h"
#include "core/bigint.h"
#include "core/error.h"
#include "core/varint.h"
#include "core/zlib.h"
#include "support/archive_surgery.h"

namespace corvale {
namespace {

// A wrong decode may be longer than the original, but never needs more room than this to be
// told apart from it; a flipped count stays cheap to sweep.
constexpr std::uint64_t kSweepLimit = 1 << 20;

bool full_sweep() {
  const char* v = std::getenv("CORVALE_SWEEP_FULL");
  return v != nullptr && std::string(v) == "1";
}

std::string lines_of_integers(std::size_t n) {
  std::mt19937_64 rng(5);
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += std::to_string(1400 + static_cast<int>(rng() % 41) - 20) + "\n";
  return out;
}

std::string floats(std::size_t n) {
  std::mt19937_64 rng(6);
  std::string out;
  char number[32];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(number, sizeof number, "%.3f%c", static_cast<double>(static_cast<long>(rng() % 100000) - 50000) / 1000,
                  i + 1 < n ? ' ' : '\n');
    out += number;
  }
  return out;
}

std::string csv(std::size_t rows) {
  std::string out = "id,name,price\n";
  for (std::size_t i = 0; i < rows; ++i) {
    out += std::to_string(i) + "," + (i % 3 == 0 ? "\"c,d\"" : i % 3 == 1 ? "ab" : "e") + "," + std::to_string(i * 37 % 900) +
           "." + std::to_string(10 + i % 90) + "\n";
  }
  return out;
}

std::string log_text(std::size_t lines) {
  std::string out;
  for (std::size_t i = 0; i < lines; ++i) {
    out += "2024-05-0" + std::to_string(1 + i % 9) + " 12:" + std::to_string(10 + i % 50) + " INFO worker-" +
           std::to_string(i % 4) + " took " + std::to_string(i * 71 % 900) + " ms status=" +
           (i % 5 == 0 ? "404" : "200") + "\n";
  }
  return out;
}

std::string big_random_number(std::size_t digits) {
  std::mt19937_64 rng(7);
  std::string out = "9";
  while (out.size() < digits) out += static_cast<char>('0' + rng() % 10);
  return out + "\r\n";
}

std::string factorial(std::uint64_t n) {
  BigInt f = BigInt::from_i64(1);
  for (std::uint64_t i = 2; i <= n; ++i) f *= i;
  return f.to_decimal();
}

struct Sample {
  const char* name;
  ArchiveType type;
  std::string text;
};

std::vector<Sample> samples(std::size_t scale) {
  return {
      {"stored", ArchiveType::Stored, "5,7\n"},
      {"numeric text", ArchiveType::NumericText, "-0012345\n"},
      {"binary numeric", ArchiveType::BinaryNumeric, big_random_number(300 * scale)},
      {"power form", ArchiveType::PowerForm, (BigInt::pow(7, 900 * scale) * BigInt::from_i64(3)).to_decimal() + "\n"},
      {"formula", ArchiveType::Formula, factorial(300 * scale)},
      {"number list", ArchiveType::NumberList, lines_of_integers(60 * scale)},
      {"number text", ArchiveType::NumberText, floats(40 * scale)},
      {"table", ArchiveType::Table, csv(20 * scale)},
      {"log", ArchiveType::Log, log_text(20 * scale)},
  };
}

// A block archive of two blocks, as the program writes one: 0x8C, each block behind its length,
// a closing 0 and the CRC-32 of everything restored.
std::string block_archive(const std::string& first, const std::string& second) {
  std::string list;
  for (const std::string* text : {&first, &second}) {
    const std::string block = compress_best_archive(*text);
    write_varint_u64(block.size(), list);
    list += block;
  }
  list.push_back('\0');
  return test::make_archive(0x80 | static_cast<std::uint8_t>(ArchiveType::BlockArchive), list, first + second);
}

struct Tally {
  std::uint64_t flips = 0, flips_rejected = 0, flips_harmless = 0, unflagged_misreads = 0, flips_undetected = 0;
  std::uint64_t cuts = 0, cuts_rejected = 0, cuts_undetected = 0;
};

enum class Answer { Rejected, Same, Different };

Answer decode(const std::string& archive, const std::string& original) {
  try {
    return decode_archive(archive, kSweepLimit) == original ? Answer::Same : Answer::Different;
  } catch (const Error&) {
    return Answer::Rejected;
  }
}

Tally sweep(const std::string& archive, const std::string& original) {
  Tally t;
  for (std::size_t bit = 0; bit < archive.size() * 8; ++bit) {
    ++t.flips;
    switch (decode(test::flip_bit(archive, bit), original)) {
      case Answer::Rejected: ++t.flips_rejected; break;
      case Answer::Same: ++t.flips_harmless; break;
      case Answer::Different: ++(bit == 7 ? t.unflagged_misreads : t.flips_undetected); break;
    }
  }
  // Cut to nothing, an archive is that of the empty file; every shorter non-empty one counts.
  for (std::size_t keep = 1; keep < archive.size(); ++keep) {
    ++t.cuts;
    switch (decode(archive.substr(0, keep), original)) {
      case Answer::Rejected: ++t.cuts_rejected; break;
      case Answer::Same: break;
      case Answer::Different: ++t.cuts_undetected; break;
    }
  }
  return t;
}

TEST(CorruptionSweep, EveryFlipAndCutIsRejectedOrHarmlessOutsideTheUnflaggedTypeByte) {
  const std::size_t scale = full_sweep() ? 20 : 1;
  struct Case {
    std::string name, archive, original;
  };
  std::vector<Case> cases;
  for (const Sample& s : samples(scale)) {
    const std::string archive = compress_best_archive(s.text);
    ASSERT_EQ(static_cast<unsigned char>(archive[0]), 0x80 | static_cast<unsigned>(s.type)) << s.name;
    ASSERT_EQ(decode_archive(archive, s.text.size()), s.text) << s.name;
    cases.push_back({s.name, archive, s.text});
  }
  const std::string first = lines_of_integers(30 * scale), second = log_text(10 * scale);
  cases.push_back({"block archive", block_archive(first, second), first + second});
  ASSERT_EQ(decode_archive(cases.back().archive, kSweepLimit), cases.back().original);

  std::printf("%-15s %6s %7s %9s %8s %9s %11s %6s %8s %11s\n", "type", "bytes", "flips", "rejected", "harmless",
              "unflagged", "undetected", "cuts", "rejected", "undetected");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Tally t = sweep(c.archive, c.original);
    std::printf("%-15s %6zu %7llu %9llu %8llu %9llu %11llu %6llu %8llu %11llu\n", c.name.c_str(), c.archive.size(),
                static_cast<unsigned long long>(t.flips), static_cast<unsigned long long>(t.flips_rejected),
                static_cast<unsigned long long>(t.flips_harmless), static_cast<unsigned long long>(t.unflagged_misreads),
                static_cast<unsigned long long>(t.flips_undetected), static_cast<unsigned long long>(t.cuts),
                static_cast<unsigned long long>(t.cuts_rejected), static_cast<unsigned long long>(t.cuts_undetected));
    EXPECT_EQ(t.flips_undetected, 0u);
    EXPECT_EQ(t.cuts_undetected, 0u);
  }
}

}  // namespace
}  // namespace corvale
