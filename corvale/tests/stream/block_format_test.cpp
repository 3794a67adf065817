// Where large inputs are cut into blocks, and block lengths read from a block archive file.

#include "stream/block_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace corvale {
namespace {

// A buffer of filler with the given bytes put in at their positions.
std::string buffer_of(std::size_t size, char filler, std::initializer_list<std::pair<std::size_t, char>> bytes = {}) {
  std::string out(size, filler);
  for (const auto& [at, c] : bytes) out[at] = c;
  return out;
}

TEST(FindBlockBoundary, PrefersLineBreaksThenSeparatorsThenDigitPairsInTheWindow) {
  // t = 20: the window is the bytes 10 to 19; digit pairs may straddle 11 to 20.
  constexpr std::uint64_t t = 20;
  const struct {
    const char* label;
    std::string buffer;
    std::optional<std::uint64_t> cut;
  } cases[] = {
      {"line break at the window's last byte", buffer_of(30, 'a', {{19, '\n'}}), 20},
      {"line break at the window's first byte", buffer_of(30, 'a', {{10, '\n'}}), 11},
      {"line break just before the window", buffer_of(30, 'a', {{9, '\n'}}), std::nullopt},
      {"line break just after the window", buffer_of(30, 'a', {{20, '\n'}}), std::nullopt},
      {"the last of two line breaks", buffer_of(30, 'a', {{12, '\n'}, {15, '\n'}}), 16},
      {"a line break beats a later separator", buffer_of(30, 'a', {{11, '\n'}, {19, ','}}), 12},
      {"CR LF is cut after the LF", buffer_of(30, 'a', {{14, '\r'}, {15, '\n'}}), 16},
      {"CR without LF is no cut point", buffer_of(30, 'a', {{14, '\r'}}), std::nullopt},
      {"a separator beats a later digit pair", buffer_of(30, '7', {{12, ' '}}), 13},
      {"digits only, with one at t too", buffer_of(30, '7'), 20},
      {"a digit pair across the window's middle", buffer_of(30, 'a', {{10, '1'}, {11, '2'}}), 11},
      {"a digit pair ending at the window's first byte", buffer_of(30, 'a', {{9, '1'}, {10, '2'}}), std::nullopt},
      {"a digit pair across t", buffer_of(30, 'a', {{19, '1'}, {20, '2'}}), 20},
      {"a digit at t alone", buffer_of(30, 'a', {{20, '2'}}), std::nullopt},
      {"digits in the window that never touch", buffer_of(30, 'a', {{11, '1'}, {13, '2'}}), std::nullopt},
      {"letters only", buffer_of(30, 'a'), std::nullopt},
      // The buffer ends at t: the byte at t is not there to be read.
      {"digits only, ending at t", buffer_of(20, '7'), 19},
      {"a digit pair that would need the byte at t", buffer_of(20, 'a', {{19, '1'}}), std::nullopt},
      {"a buffer shorter than half of t", buffer_of(10, '\n'), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(find_block_boundary(c.buffer, t), c.cut);
  }
}

TEST(FindBlockBoundary, EverySeparatorCutsAndNothingElseDoes) {
  for (char c : std::string("\t ,;[]|")) {
    EXPECT_EQ(find_block_boundary(buffer_of(30, 'a', {{13, c}}), 20), 14u) << int(c);
  }
  for (char c : std::string("\r\v\f.-+:_/\\'\"{}()x")) {
    EXPECT_EQ(find_block_boundary(buffer_of(30, 'a', {{13, c}}), 20), std::nullopt) << int(c);
  }
  EXPECT_EQ(find_block_boundary("", 0), std::nullopt);
  EXPECT_EQ(find_block_boundary("\n\n", 0), std::nullopt);
}

TEST(FindBlockBoundary, AtTheRealBlockSize) {
  constexpr std::uint64_t t = kBlockCutTarget;
  constexpr std::uint64_t h = t / 2;
  std::string window(t + 1, 'x');
  window[h] = '\n';
  EXPECT_EQ(find_block_boundary(window, t), h + 1);
  window[h] = 'x';
  window[h - 1] = '\n';
  EXPECT_EQ(find_block_boundary(window, t), std::nullopt);
  window[t - 1] = ',';
  window[h + 10] = '\n';
  EXPECT_EQ(find_block_boundary(window, t), h + 11);
  EXPECT_EQ(find_block_boundary(std::string(t + 1, '5'), t), t);
}

// Every length read from one file, one after another, and what stopped the reading.
struct Lengths {
  std::vector<std::uint64_t> values;
  std::string error;
};

Lengths read_lengths(const std::string& content) {
  test::TempDir dir;
  dir.write("in", content);
  ProgressReader reader = open_progress_reader(dir / "in", content.size(), false);
  Lengths out;
  try {
    for (;;) out.values.push_back(read_block_varint(reader));
  } catch (const Error& e) {
    out.error = e.what();
  }
  return out;
}

TEST(ReadBlockVarint, FollowsTheVarintRulesOnAStream) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::string nine_ff(9, '\xFF');
  const struct {
    const char* label;
    std::string content;
    std::vector<std::uint64_t> values;
    const char* error;
  } cases[] = {
      {"nothing", "", {}, "Truncated block archive"},
      {"single bytes", bytes({0, 1, 0x7F}), {0, 1, 127}, "Truncated block archive"},
      {"two bytes", bytes({0x80, 0x01, 0xAC, 0x02}), {128, 300}, "Truncated block archive"},
      {"64 MiB", bytes({0x80, 0x80, 0x80, 0x20}), {67'108'864}, "Truncated block archive"},
      {"ending inside a length", bytes({0x05, 0x80}), {5}, "Truncated block archive"},
      {"a final 0 byte", bytes({0x80, 0x00}), {}, "Non-canonical varint"},
      {"a final 0 byte after more", bytes({0xFF, 0x80, 0x00, 0x01}), {}, "Non-canonical varint"},
      {"ten bytes, 2^64 - 1", nine_ff + bytes({0x01}), {kMax}, "Truncated block archive"},
      {"ten bytes, 10th above 1", nine_ff + bytes({0x02}), {}, "Invalid varint"},
      {"ten bytes, 10th continues", nine_ff + bytes({0x81, 0x01}), {}, "Invalid varint"},
      {"ten bytes, input ends", nine_ff, {}, "Truncated block archive"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Lengths got = read_lengths(c.content);
    EXPECT_EQ(got.values, c.values);
    EXPECT_EQ(got.error, c.error);
  }
}

TEST(ReadBlockVarint, AReadErrorReadsAsATruncatedArchive) {
  test::TempDir dir;
  // A folder opens for reading here, but every read of it fails.
  ProgressReader reader = open_progress_reader(dir.path(), 10, false);
  EXPECT_ERROR(read_block_varint(reader), "Truncated block archive");
}

}  // namespace
}  // namespace corvale
