#include "core/zlib.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

// Text that deflates well but still spans several inflate windows.
std::string repetitive_text(std::size_t n) {
  std::string out;
  for (std::size_t i = 0; out.size() < n; ++i) out += std::to_string(i % 977) + ",";
  out.resize(n);
  return out;
}

std::uint32_t adler32_of(std::string_view data) {
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : data) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void append_be32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

// A zlib stream around our raw deflate: header 78 9C (deflate, 32 KiB window, no dictionary),
// the raw stream, the Adler-32 of data.
std::string zlib_stream(std::string_view data) {
  std::string out = "\x78\x9C";
  out += deflate_compress_best(data);
  append_be32(out, adler32_of(data));
  return out;
}

std::string encode(std::string_view data, bool zlib) { return zlib ? zlib_stream(data) : deflate_compress_best(data); }

class InflateFormats : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(RawAndZlib, InflateFormats, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "zlib" : "raw"; });

TEST_P(InflateFormats, RoundTripsAtExactlyTheLimitAndFailsOneByteShort) {
  const bool zlib = GetParam();
  const std::vector<std::string> inputs = {
      "", "a", repetitive_text(65536), repetitive_text(65537), repetitive_text(300000), random_bytes(150000, 7),
      // Long enough for the compressor to cut many blocks, stored ones among the coded ones.
      repetitive_text(2000000) + random_bytes(500000, 8) + repetitive_text(1000000),
  };
  for (const std::string& data : inputs) {
    SCOPED_TRACE(data.size());
    const std::string stream = encode(data, zlib);
    EXPECT_EQ(inflate_limited(stream, data.size(), zlib), data);
    if (data.empty()) continue;
    EXPECT_ERROR(inflate_limited(stream, data.size() - 1, zlib), "Output exceeds decompression limit");
    // The limit decides before the end of the stream is seen, so junk after it does not matter.
    EXPECT_ERROR(inflate_limited(stream + "junk", data.size() - 1, zlib), "Output exceeds decompression limit");
  }
}

TEST_P(InflateFormats, EveryCutOfAStreamIsTruncated) {
  const bool zlib = GetParam();
  const std::string stream = encode("12,13,14,15,16,17,18,19,20\n", zlib);
  for (std::size_t len = 0; len < stream.size(); ++len) {
    SCOPED_TRACE(len);
    EXPECT_ERROR(inflate_limited(stream.substr(0, len), 1000, zlib), "Truncated zlib stream");
  }
}

TEST_P(InflateFormats, BytesAfterTheStreamAreTrailingData) {
  const bool zlib = GetParam();
  EXPECT_ERROR(inflate_limited(encode("abc", zlib) + std::string(1, '\0'), 100, zlib), "Trailing data after zlib stream");
  EXPECT_ERROR(inflate_limited(encode("", zlib) + "x", 100, zlib), "Trailing data after zlib stream");
}

TEST(Inflate, CorruptStreamsAreDecompressionErrors) {
  std::string bad_adler = zlib_stream("hello, hello, hello");
  bad_adler.back() = static_cast<char>(bad_adler.back() ^ 1);
  EXPECT_ERROR(inflate_limited(bad_adler, 100, true), "Invalid zlib payload: deflate decompression error");

  // Header check bits that do not make the first two bytes a multiple of 31.
  std::string bad_header = zlib_stream("abc");
  bad_header[1] = '\x9D';
  EXPECT_ERROR(inflate_limited(bad_header, 100, true), "Invalid zlib payload: deflate decompression error");

  // Final block of the reserved type 3.
  EXPECT_ERROR(inflate_limited("\x07", 100, false), "Invalid zlib payload: deflate decompression error");
  EXPECT_ERROR(inflate_limited(std::string("\x06\x00", 2), 100, false),
               "Invalid zlib payload: deflate decompression error");

  // A raw stream is not a zlib stream: its first bytes make no valid header.
  EXPECT_ERROR(inflate_limited(deflate_compress_best("abc"), 100, true),
               "Invalid zlib payload: deflate decompression error");
}

// Raw deflate written bit by bit: fields least significant bit first, as the format packs them,
// Huffman codewords most significant bit first.
class DeflateBits {
 public:
  DeflateBits& bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) put((value >> i) & 1);
    return *this;
  }
  DeflateBits& codeword(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) put((code >> i) & 1);
    return *this;
  }
  // A stored block of n bytes 'a', not the last one.
  DeflateBits& stored(std::uint16_t n) {
    bits(0, 3);
    while (used_ != 0) put(0);
    bits(n, 16).bits(static_cast<std::uint16_t>(~n), 16);
    bytes_.append(n, 'a');
    return *this;
  }
  // The header of a last dynamic block whose precode gives each of the (up to four) symbols in
  // precode_symbols a codeword of 2 bits, in that order of codewords, then its code lengths
  // written as the (precode symbol, extra bits, extra count) steps.
  struct Step {
    unsigned symbol;
    std::uint32_t extra = 0;
    int extra_bits = 0;
  };
  DeflateBits& dynamic(unsigned litlen_codes, unsigned offset_codes, const std::vector<unsigned>& precode_symbols,
                       const std::vector<Step>& steps) {
    static constexpr unsigned kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    bits(1, 1).bits(2, 2).bits(litlen_codes - 257, 5).bits(offset_codes - 1, 5).bits(19 - 4, 4);
    for (unsigned symbol : kOrder) {
      bool used = false;
      for (unsigned u : precode_symbols) used = used || u == symbol;
      bits(used ? 2 : 0, 3);
    }
    for (const Step& step : steps) {
      // Canonical codewords of equal length go in symbol order.
      std::uint32_t code = 0;
      for (unsigned u : precode_symbols) code += u < step.symbol ? 1 : 0;
      codeword(code, 2).bits(step.extra, step.extra_bits);
    }
    return *this;
  }
  std::string bytes() const { return used_ == 0 ? bytes_ : bytes_ + static_cast<char>(pending_); }

 private:
  void put(std::uint32_t bit) {
    pending_ = static_cast<std::uint8_t>(pending_ | bit << used_);
    if (++used_ == 8) {
      bytes_.push_back(static_cast<char>(pending_));
      pending_ = 0;
      used_ = 0;
    }
  }
  std::string bytes_;
  std::uint8_t pending_ = 0;
  int used_ = 0;
};

// Litlen codewords of the static code.
constexpr std::uint32_t kStaticLiteralA = 0x30 + 'a';  // 8 bits
constexpr std::uint32_t kStaticEndOfBlock = 0;         // 7 bits
constexpr std::uint32_t kStaticLength3 = 1;            // symbol 257, 7 bits

// Streams in the corners where a whole-buffer inflater could read on where zlib's stops: each
// must fail as zlib fails, whichever inflater reads it, and a stream zlib reads must restore.
TEST(Inflate, StreamsZlibRefusesFailAndStreamsItReadsRestoreWhateverReadsThem) {
  // Dynamic blocks with code lengths for 'a' (97) and symbols from 256 on, and a precode of
  // 0, 1, 2 and 18 (zeros 11 to 138 times).
  using Step = DeflateBits::Step;
  const std::vector<unsigned> precode = {0, 1, 2, 18};
  const Step zeros_before_a{18, 97 - 11, 7};
  const Step zeros_between{18, 127, 7};  // 138 of the 158 zeros from 98 to 255
  const Step twenty_zeros{18, 20 - 11, 7};
  // 'a' of 1 bit, 256 and 257 (a length of 3) of 2 bits, and no offset codeword.
  const std::vector<Step> a_end_length_no_offsets = {zeros_before_a, {1}, zeros_between, twenty_zeros, {2}, {2}, {0}};
  // The single codeword of 1 bit is the end of the block.
  const std::vector<Step> end_alone = {{18, 138 - 11, 7}, {18, 118 - 11, 7}, {1}, {0}};

  struct Case {
    const char* what;
    std::string stream;
    std::optional<std::string> restored;  // none: the decompression error
  };
  const Case cases[] = {
      {"static litlen symbol 286",
       DeflateBits().bits(1, 1).bits(1, 2).codeword(kStaticLiteralA, 8).codeword(0xC6, 8).codeword(0, 5)
           .codeword(kStaticEndOfBlock, 7).bytes(),
       std::nullopt},
      {"static offset symbol 30, after enough output for its offset",
       DeflateBits().stored(30000).bits(1, 1).bits(1, 2).codeword(kStaticLength3, 7).codeword(30, 5).bits(0, 13)
           .codeword(kStaticEndOfBlock, 7).bytes(),
       std::nullopt},
      {"the same match with offset symbol 29",
       DeflateBits().stored(30000).bits(1, 1).bits(1, 2).codeword(kStaticLength3, 7).codeword(29, 5).bits(0, 13)
           .codeword(kStaticEndOfBlock, 7).bytes(),
       std::string(30003, 'a')},
      {"a match in a block with no offset codewords",
       DeflateBits().dynamic(258, 1, precode, a_end_length_no_offsets).codeword(0, 1).codeword(3, 2).bits(0, 1)
           .codeword(2, 2).bytes(),
       std::nullopt},
      {"literals alone in a block with no offset codewords",
       DeflateBits().dynamic(258, 1, precode, a_end_length_no_offsets).codeword(0, 1).codeword(0, 1)
           .codeword(2, 2).bytes(),
       "aa"},
      {"287 litlen code lengths, the last 29 of them 0",
       DeflateBits()
           .dynamic(287, 1, precode, {zeros_before_a, {1}, zeros_between, twenty_zeros, {2}, {2}, {18, 29 - 11, 7}, {0}})
           .codeword(0, 1).codeword(2, 2).bytes(),
       std::nullopt},
      {"zeros repeated past the last code length",
       DeflateBits().dynamic(258, 1, precode, {zeros_before_a, {1}, zeros_between, twenty_zeros, {2}, {2}, {18, 0, 7}})
           .codeword(0, 1).codeword(2, 2).bytes(),
       std::nullopt},
      {"a single litlen codeword, read as 1", DeflateBits().dynamic(257, 1, precode, end_alone).codeword(1, 1).bytes(),
       std::nullopt},
      {"a single litlen codeword, read as 0", DeflateBits().dynamic(257, 1, precode, end_alone).codeword(0, 1).bytes(),
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.restored) {
      EXPECT_EQ(inflate_limited(c.stream, c.restored->size(), false), *c.restored);
    } else {
      EXPECT_ERROR(inflate_limited(c.stream, 1 << 20, false), "Invalid zlib payload: deflate decompression error");
    }
  }
}

TEST(Inflate, ZlibStreamAskingForADictionary) {
  // 78 20: the header with the preset-dictionary flag; then the dictionary's Adler-32.
  std::string stream = "\x78\x20";
  append_be32(stream, adler32_of("dictionary"));
  stream += deflate_compress_best("abc");
  append_be32(stream, adler32_of("abc"));
  EXPECT_ERROR(inflate_limited(stream, 100, true),
               "Invalid zlib payload: deflate decompression error: requires a dictionary");
}

TEST(ZlibBest, WritesAStreamThatReadsBackUnderEitherReader) {
  for (const std::string& data : {std::string(), std::string(1, '\0'), repetitive_text(300000), random_bytes(70000, 5)}) {
    SCOPED_TRACE(data.size());
    const std::string stream = zlib_compress_best(data);
    EXPECT_EQ(static_cast<unsigned char>(stream[0]), 0x78);
    EXPECT_EQ(inflate_limited(stream, data.size(), true), data);
    std::string out = "kept";
    inflate_zlib_prefix(stream, data.size(), out);
    EXPECT_EQ(out, "kept" + data);
  }
}

TEST(ZlibPrefix, IgnoresTrailingBytesAndStopsOneBytePastTheLimit) {
  const std::string data = repetitive_text(200000);
  const std::string stream = zlib_compress_best(data);
  std::string out;
  inflate_zlib_prefix(stream + "junk after the stream", data.size(), out);
  EXPECT_EQ(out, data);
  // Past the limit it stops with exactly one byte too many, whatever the stream still holds.
  for (std::uint64_t limit : {0ull, 1ull, 65535ull, 65536ull, 199999ull}) {
    SCOPED_TRACE(limit);
    out.clear();
    inflate_zlib_prefix(stream, limit, out);
    EXPECT_EQ(out, data.substr(0, limit + 1));
  }
}

TEST(ZlibPrefix, CorruptAndIncompleteStreams) {
  std::string out;
  std::string bad_adler = zlib_compress_best("hello, hello, hello");
  bad_adler[bad_adler.size() - 1] = static_cast<char>(bad_adler.back() ^ 1);
  EXPECT_ERROR(inflate_zlib_prefix(bad_adler, 100, out), "Invalid zlib payload: corrupt deflate stream");
  // What came out before the fault stays in out, so that the caller can count the work.
  EXPECT_EQ(out, "hello, hello, hello");
  out.clear();
  EXPECT_ERROR(inflate_zlib_prefix(deflate_compress_best("abc"), 100, out), "Invalid zlib payload: corrupt deflate stream");
  std::string dictionary = "\x78\x20";
  append_be32(dictionary, adler32_of("dictionary"));
  EXPECT_ERROR(inflate_zlib_prefix(dictionary, 100, out), "Invalid zlib payload: corrupt deflate stream");
  const std::string stream = zlib_compress_best("12,13,14,15,16,17,18,19,20\n");
  for (std::size_t len = 0; len < stream.size(); ++len) {
    SCOPED_TRACE(len);
    out.clear();
    EXPECT_ERROR(inflate_zlib_prefix(stream.substr(0, len), 1000, out), "Invalid zlib payload: incomplete deflate stream");
  }
}

TEST(DeflateFast, MeasuresTheWholeStream) {
  // Incompressible data leaves as stored blocks: the probe must count every output piece.
  const std::string noise = random_bytes(100000, 3);
  EXPECT_GE(deflate_compress_fast(noise), noise.size());
  EXPECT_LT(deflate_compress_fast(noise), noise.size() + 1000);
  EXPECT_LT(deflate_compress_fast(repetitive_text(100000)), 20000u);
  // Even the empty stream has its final block.
  EXPECT_GT(deflate_compress_fast(""), 0u);
}

// The bound lets a candidate that is not yet measured cut the others short, so no data of the
// length may measure more: incompressible data, stored, comes closest.
TEST(DeflateFast, NoDataMeasuresMoreThanTheBoundOfItsLength) {
  for (const std::size_t n : {0, 1, 65535, 65536, 65537, 300000}) {
    const std::string noise = random_bytes(n, n);
    EXPECT_LE(deflate_compress_fast(noise), deflate_compress_fast_bound(n)) << n;
    EXPECT_LE(deflate_compress_fast(repetitive_text(n)), deflate_compress_fast_bound(n)) << n;
  }
}

TEST(DeflateFast, AReusedCompressorMeasuresExactlyAsAFreshOne) {
  // Sizes that grow and shrink, so the shared buffer is both reused and enlarged; a stale hash
  // table or buffer would change a measurement.
  const std::vector<std::string> inputs = {repetitive_text(100), random_bytes(70000, 5), "", repetitive_text(300000),
                                           random_bytes(10, 6), repetitive_text(100)};
  std::vector<std::uint64_t> fresh;
  for (const std::string& data : inputs) fresh.push_back(deflate_compress_fast(data));
  FastDeflateScope outer;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    FastDeflateScope nested;
    EXPECT_EQ(deflate_compress_fast(inputs[i]), fresh[i]) << i;
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(deflate_compress_fast(inputs[i]), fresh[i]) << i;
}

// Passed-through short inputs, stored blocks (one and several), compressed blocks and mixes, the
// last of many blocks; limits on both sides of each stream's size, far off, and at every eighth
// of it, where a measurement gives up in an early block. At level 2 the shared buffer and
// compressor are reused between bounds, so a stream that depended on the room it was given, or a
// compressor left in a state that changes the next measurement after giving up, would show.
// Level 2 parses greedily, level 9 lazily: each gives up in its own loop.
TEST(Deflate, ABoundedMeasurementAgreesWithThePlainOneAroundEveryLimit) {
  std::vector<std::string> inputs = {"", "7", repetitive_text(47), random_bytes(47, 1), repetitive_text(48),
                                     random_bytes(48, 2), random_bytes(65535, 3), random_bytes(140000, 4),
                                     repetitive_text(300000)};
  std::mt19937_64 rng(9);
  for (const std::size_t length : {20000, 50000, 70000, 90000, 100000, 120000, 900000}) {
    std::string mixed;
    while (mixed.size() < length) {
      mixed += (rng() & 1) ? random_bytes(rng() % 3000, rng()) : repetitive_text(rng() % 5000);
    }
    inputs.push_back(std::move(mixed));
  }
  // Many blocks that a lower bound on their cost comes close to: hex digits (four bits each
  // under any code), symbols with odds 1/2, 1/4, ... (which a Huffman code matches exactly),
  // and lines of numbers.
  std::string hex;
  std::string dyadic;
  std::string lines;
  while (hex.size() < 700000) hex += "0123456789abcdef"[rng() % 16];
  while (dyadic.size() < 700000) dyadic += static_cast<char>('a' + std::countr_zero(rng() | (1ull << 20)));
  while (lines.size() < 700000) lines += std::to_string(rng() % 100000) + (rng() % 8 ? "," : "\n");
  inputs.push_back(std::move(hex));
  inputs.push_back(std::move(dyadic));
  inputs.push_back(std::move(lines));
  struct Level {
    int level;
    std::uint64_t (*plain)(std::string_view);
    std::optional<std::uint64_t> (*within)(std::string_view, std::uint64_t);
  };
  const Level levels[] = {
      {2, deflate_compress_fast, deflate_compress_fast_within},
      {9, [](std::string_view data) -> std::uint64_t { return deflate_compress_best(data).size(); },
       deflate_compress_best_within},
  };
  FastDeflateScope scope;
  for (const Level& level : levels) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::uint64_t size = level.plain(inputs[i]);
      std::vector<std::uint64_t> limits = {0, 1, size * 2, UINT64_MAX};
      for (std::uint64_t eighths = 1; eighths < 8; ++eighths) limits.push_back(size * eighths / 8);
      for (std::uint64_t delta = 0; delta <= 12; ++delta) {
        limits.push_back(size + delta);
        if (delta <= size) limits.push_back(size - delta);
      }
      for (const std::uint64_t limit : limits) {
        SCOPED_TRACE(testing::Message() << "level " << level.level << ", input " << i << ", size " << size
                                        << ", limit " << limit);
        const std::optional<std::uint64_t> bounded = level.within(inputs[i], limit);
        if (size <= limit) {
          EXPECT_EQ(bounded, size);
        } else {
          EXPECT_EQ(bounded, std::nullopt);
        }
        // Only level 2 shares its compressor between measurements.
        if (level.level == 2) EXPECT_EQ(level.plain(inputs[i]), size);
      }
    }
  }
}

TEST(Crc32, MatchesTheStandardCheckValues) {
  EXPECT_EQ(crc32_of(""), 0u);
  EXPECT_EQ(crc32_of("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32_of("abc"), 0x352441C2u);
}

TEST(Crc32, CarriesOnOverDataInPieces) {
  for (std::size_t cut = 0; cut <= 9; ++cut) {
    const std::string_view check = "123456789";
    EXPECT_EQ(crc32_update(crc32_of(check.substr(0, cut)), check.substr(cut)), 0xCBF43926u) << cut;
  }
  // An empty piece without storage leaves the running value alone.
  EXPECT_EQ(crc32_update(0xCBF43926u, std::string_view()), 0xCBF43926u);
}

TEST(Crc32, JoinsPiecesCheckedApart) {
  const std::string data = "0123456789\n" + std::string(70000, '7') + "\n42";
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{11}, data.size() - 1, data.size()}) {
    const std::string_view a = std::string_view(data).substr(0, cut);
    const std::string_view b = std::string_view(data).substr(cut);
    EXPECT_EQ(crc32_combine_of(crc32_of(a), crc32_of(b), b.size()), crc32_of(data)) << cut;
  }
}

// The checksum of every length and alignment up to a few hundred bytes, and of long buffers, as
// the bit-by-bit definition gives it: the fast paths for long data must agree with it.
TEST(Crc32, AgreesWithTheBitwiseDefinitionOnLongAndUnalignedData) {
  auto bitwise = [](std::string_view data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
      crc ^= c;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
  };
  const std::string data = random_bytes(300000, 11);
  for (std::size_t start = 0; start < 16; ++start) {
    for (std::size_t len = 0; len < 300; len += 1 + len / 8) {
      EXPECT_EQ(crc32_of(std::string_view(data).substr(start, len)), bitwise(std::string_view(data).substr(start, len)))
          << start << " " << len;
    }
  }
  EXPECT_EQ(crc32_of(std::string_view(data).substr(3)), bitwise(std::string_view(data).substr(3)));
  EXPECT_EQ(crc32_update(crc32_of(std::string_view(data).substr(0, 123457)), std::string_view(data).substr(123457)),
            bitwise(data));
}

}  // namespace
}  // namespace corvale
