// Hostile archives: whatever the bytes, decoding ends in output within the limit or in an Error,
// never in a crash, a hang or unbounded memory. Seeded, so every run sees the same inputs.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archive/compress.h"
#include "archive/container.h"
#include "core/error.h"
#include "core/zlib.h"
#include "support/archive_surgery.h"

namespace corvale {
namespace {

using test::cut_tail;
using test::fix_checksum;
using test::flip_bit;
using test::stored_archive;

// Small explicit arithmetic on the raw engine output, so the cases do not depend on how a
// standard library implements its distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : engine_(seed) {}
  std::uint64_t below(std::uint64_t n) { return engine_() % n; }
  std::uint8_t byte() { return static_cast<std::uint8_t>(engine_() & 0xFF); }
  std::string bytes(std::size_t n) {
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(byte());
    return out;
  }
  // Limits around the interesting edges: nothing, one byte, about the input, unbounded.
  std::uint64_t limit(std::size_t size) {
    switch (below(5)) {
      case 0: return 0;
      case 1: return 1;
      case 2: return size;
      case 3: return size / 2;
      default: return UINT64_MAX;
    }
  }

 private:
  std::mt19937_64 engine_;
};

// Text of the kinds the codecs handle, so mutations start from plausible archives.
std::string sample_data(Rng& rng) {
  std::string out;
  const std::size_t lines = rng.below(20);
  for (std::size_t i = 0; i < lines; ++i) {
    out += std::to_string(rng.below(1000000));
    out += rng.below(4) == 0 ? "," : "\n";
  }
  return out;
}

// Decodes, and reports what happened; any other exception or a sanitizer report fails the test.
bool decodes_within(const std::string& archive, std::uint64_t limit, std::string* out = nullptr) {
  try {
    std::string restored = decode_archive(archive, limit);
    EXPECT_LE(restored.size(), limit);
    if (out) *out = std::move(restored);
    return true;
  } catch (const Error&) {
    return false;
  }
}

TEST(DecodeFuzz, RandomBytesDecodeWithinTheLimitOrFail) {
  Rng rng(0xC0FFEE);
  for (int i = 0; i < 3000; ++i) {
    std::string archive = rng.bytes(rng.below(80));
    // Every type, flagged or not, gets its share of first bytes.
    if (!archive.empty() && rng.below(2)) archive[0] = static_cast<char>((rng.below(16)) | (rng.below(2) << 7));
    decodes_within(archive, rng.limit(archive.size()));
  }
}

TEST(DecodeFuzz, DamageToAStoredArchiveIsNeverSilent) {
  Rng rng(42);
  for (int i = 0; i < 1500; ++i) {
    const std::string data = sample_data(rng);
    const std::string archive = stored_archive(data);
    SCOPED_TRACE(testing::PrintToString(archive));
    // Any single flipped bit after the type byte: a CRC-32 catches every one-bit error.
    const std::size_t bit = 8 + rng.below((archive.size() - 1) * 8);
    EXPECT_FALSE(decodes_within(flip_bit(archive, bit), UINT64_MAX)) << "bit " << bit;
    // A cut tail leaves too few bytes or a trailer made of payload bytes, which a CRC-32
    // rejects (these seeded cases hold no 1-in-2^32 coincidence); cut to nothing, it is the
    // archive of empty data.
    const std::string cut = cut_tail(archive, 1 + rng.below(archive.size()));
    EXPECT_EQ(decodes_within(cut, UINT64_MAX), cut.empty()) << "cut to " << cut.size();
  }
}

TEST(DecodeFuzz, MutatedArchivesWithRepairedChecksumsStayWithinTheLimit) {
  Rng rng(7);
  for (int i = 0; i < 2000; ++i) {
    const std::string data = sample_data(rng);
    std::string archive = stored_archive(data, rng.below(4) != 0);
    switch (rng.below(4)) {
      case 0:  // flip a few bits anywhere, the type byte included
        for (std::uint64_t n = 1 + rng.below(4); n > 0; --n) archive = flip_bit(archive, rng.below(archive.size() * 8));
        break;
      case 1:  // a random type byte in front of a plausible payload
        archive[0] = static_cast<char>(rng.byte());
        break;
      case 2:  // cut anywhere
        archive = cut_tail(archive, rng.below(archive.size() + 1));
        break;
      default:  // insert random bytes into the payload
        archive.insert(1 + rng.below(archive.size()), rng.bytes(1 + rng.below(8)));
        break;
    }
    // Make the trailer agree with the payload as stored data, so decoding gets past the
    // checksum wherever the payload itself decodes.
    if (archive.size() >= 5 && rng.below(2)) archive = fix_checksum(archive, archive.substr(1, archive.size() - 5));
    decodes_within(archive, rng.limit(data.size()));
  }
}

// Integer lines, which the compressor turns into codec archives rather than stored ones.
std::string integer_lines(Rng& rng) {
  std::string out;
  const std::size_t lines = 2 + rng.below(40);
  const std::uint64_t scale = std::uint64_t{1} << rng.below(64);
  const char* line_ending = rng.below(4) == 0 ? "\r\n" : "\n";
  for (std::size_t i = 0; i < lines; ++i) {
    if (rng.below(5) == 0) out += '-';
    out += std::to_string(rng.below(scale));
    out += line_ending;
  }
  return out;
}

TEST(DecodeFuzz, MutatedCodecArchivesDecodeWithinTheLimitOrFail) {
  Rng rng(2024);
  for (int i = 0; i < 400; ++i) {
    const std::string data = integer_lines(rng);
    const std::string archive = compress_best_archive(data);
    ASSERT_EQ(decode_archive(archive, data.size()), data);
    for (int m = 0; m < 5; ++m) {
      std::string damaged = archive;
      // The payload decoder runs before the trailer is checked, so it meets every mutation.
      for (std::uint64_t n = 1 + rng.below(3); n > 0; --n) {
        damaged = flip_bit(damaged, 8 + rng.below((damaged.size() - 1) * 8));
      }
      if (rng.below(3) == 0) damaged = cut_tail(damaged, rng.below(damaged.size()));
      if (rng.below(3) == 0) damaged[0] = static_cast<char>(damaged[0] & 0x7F);  // drop the trailer check
      std::string restored;
      if (decodes_within(damaged, rng.limit(data.size()), &restored) && (damaged[0] & 0x80)) {
        // Past the checksum, a flagged archive can only give the original data back.
        EXPECT_EQ(restored, data);
      }
    }
  }
}

TEST(DecodeFuzz, MutatedDeflateStreamsInflateWithinTheLimitOrFail) {
  Rng rng(99);
  for (int i = 0; i < 1500; ++i) {
    const std::string data = sample_data(rng) + rng.bytes(rng.below(16));
    std::string stream = deflate_compress_best(data);
    for (std::uint64_t n = rng.below(4); n > 0; --n) stream = flip_bit(stream, rng.below(stream.size() * 8));
    if (rng.below(4) == 0) stream = cut_tail(stream, rng.below(stream.size() + 1));
    const std::uint64_t limit = rng.limit(data.size());
    for (bool zlib : {false, true}) {
      try {
        EXPECT_LE(inflate_limited(zlib ? "\x78\x9C" + stream : stream, limit, zlib).size(), limit);
      } catch (const Error&) {
      }
    }
  }
}

}  // namespace
}  // namespace corvale
