#include "codecs/number_list/number_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/number_list/number_list_lines.h"
#include "codecs/numbers/entropy.h"
#include "codecs/numbers/number_list_body.h"
#include "core/bigint.h"
#include "core/varint.h"
#include "core/zlib.h"
#include "support/bytes.h"
#include "support/expect_error.h"
#include "support/integer_lists.h"
#include "support/integer_texts.h"
#include "support/recording_sink.h"
#include "support/varints.h"

namespace corvale {
namespace {

using test::signed_bigints;
using test::varints;

std::string zigzag_varint(std::int64_t v) { return varints({zigzag_encode_i64(v)}); }

TEST(IntegerLines, PackedWordsHoldEveryValueAndEncodeLikeFullWords) {
  // Each list sits at the edge of a word size, and alternates its extremes so that its
  // differences leave that size; the payload must not depend on how the words were stored.
  struct Case {
    std::vector<std::int64_t> values;
    unsigned word_bytes;
  };
  const Case cases[] = {
      {{0, 0, 0}, 1},
      {{-128, 127, -128, 127, 0}, 1},
      {{127, -128, 5, 127}, 1},
      {{128, 0, 255}, 2},
      {{-129, 7}, 2},
      {{-32768, 32767, -32768, 32767}, 2},
      {{32768, -1, 1}, 4},
      {{INT32_MIN, INT32_MAX, INT32_MIN, 0}, 4},
      {{std::int64_t{1} << 31, -1}, 8},
      {{INT64_MIN, INT64_MAX, INT64_MIN}, 8},
  };
  for (const Case& k : cases) {
    std::string text;
    for (std::int64_t v : k.values) text += std::to_string(v) + "\n";
    SCOPED_TRACE(text);
    std::optional<IntegerLines> packed = split_integer_lines(text);
    ASSERT_TRUE(packed);
    EXPECT_EQ(packed->values.word_bytes(), k.word_bytes);
    std::vector<BigInt> want;
    for (std::int64_t v : k.values) want.push_back(BigInt::from_i64(v));
    EXPECT_EQ(test::bigints(packed->values), want);

    IntegerLines full = *packed;
    full.values.words();  // stored in 64-bit words from here on
    ASSERT_EQ(full.values.word_bytes(), 8u);
    const std::string payload = encode_number_list_payload(std::move(*packed));
    EXPECT_EQ(payload, encode_number_list_payload(std::move(full)));
    EXPECT_EQ(decode_number_list_payload(payload, text.size()), text);
  }
}

TEST(IntegerLines, PackedDifferencesWidenOnlyWhenTheyMust) {
  struct Case {
    std::vector<std::int64_t> values;
    unsigned word_bytes_after;
  };
  const Case cases[] = {
      {{-64, 63, -64}, 1},
      {{-128, 127}, 2},
      {{127, -128}, 2},
      {{-32768, 32767}, 4},
      {{INT32_MAX, INT32_MIN}, 8},
  };
  for (const Case& k : cases) {
    IntegerList list(Signedness::Signed);
    list.allow_packed_words();
    std::vector<BigInt> want;
    for (std::size_t i = 0; i < k.values.size(); ++i) {
      list.push_word(static_cast<std::uint64_t>(k.values[i]));
      want.push_back(BigInt::from_i64(k.values[i]) - (i == 0 ? BigInt(0) : BigInt::from_i64(k.values[i - 1])));
    }
    const IntegerList deltas = delta_encode_big(std::move(list));
    EXPECT_EQ(deltas.word_bytes(), k.word_bytes_after) << k.values[0];
    EXPECT_EQ(test::bigints(deltas), want) << k.values[0];
  }
}

// ---- Archive ----

std::string encode_text(std::string_view text) {
  std::optional<IntegerLines> lines = split_integer_lines(text);
  if (!lines) throw std::runtime_error("not integer lines");
  return encode_number_list_payload(std::move(*lines));
}

// Every round trip decodes under a limit of exactly the text's length, where lines near the limit
// are written one check at a time, and under a roomy one, where whole pieces are written at once.
void expect_round_trip(const std::string& text) {
  const std::string payload = encode_text(text);
  EXPECT_EQ(decode_number_list_payload(payload, text.size()), text) << testing::PrintToString(text.substr(0, 200));
  EXPECT_TRUE(decode_number_list_payload(payload, std::uint64_t{1} << 40) == text)
      << testing::PrintToString(text.substr(0, 200));
  test::RecordingSink sink;
  stream_number_list_payload(payload, text.size(), sink);
  EXPECT_TRUE(sink.text == text) << testing::PrintToString(text.substr(0, 200));
}

TEST(NumberListArchive, RoundTripsTheTextsEdgeCases) {
  for (const std::string& text : test::integer_line_edge_cases()) expect_round_trip(text);
}

TEST(NumberListArchive, StoresLeadingZerosAndMinusZerosInTheTail) {
  const std::string payload = encode_text("007\n-0\n-000\n12\n");
  EXPECT_EQ(static_cast<unsigned char>(payload[0]), 1u | 4u | 8u);
  EXPECT_EQ(static_cast<unsigned char>(payload[1]), 4u);
  const std::string inner = inflate_limited(std::string_view(payload).substr(3), 1 << 20, false);
  const std::string tail = bytes({2, 0, 2, 0}) + bytes({2, 1, 1});
  ASSERT_GE(inner.size(), tail.size());
  EXPECT_EQ(inner.substr(inner.size() - tail.size()), tail);
}

// The writer's choice, worked out independently over big integers: every order, variant and
// layout in turn, the first strictly smallest fast-deflate size winning.
std::pair<std::uint8_t, std::string> expected_choice(const std::vector<BigInt>& values, const std::string& tail) {
  const std::size_t n = values.size();
  std::uint8_t best_method = 0;
  std::string best;
  std::uint64_t best_size = ~0ull;
  std::vector<BigInt> w = values;
  for (std::uint8_t d = 0; d <= 2; ++d) {
    if (d > 0) {
      for (std::size_t i = n; i-- > 1;) w[i] -= w[i - 1];
    }
    const std::size_t s = std::min<std::size_t>(d, n);
    std::string seeds;
    for (std::size_t i = 0; i < s; ++i) write_varint_big(zigzag_encode_big(w[i]), seeds);
    struct Variant { std::uint8_t flag; std::string base; std::vector<BigInt> magnitudes; };
    std::vector<Variant> variants(1);
    variants[0].flag = 0;
    for (std::size_t j = s; j < n; ++j) variants[0].magnitudes.push_back(zigzag_encode_big(w[j]));
    if (n > s) {
      BigInt b = w[s];
      for (std::size_t j = s; j < n; ++j) b = std::min(b, w[j]);
      Variant with_base{8, "", {}};
      write_varint_big(zigzag_encode_big(b), with_base.base);
      for (std::size_t j = s; j < n; ++j) with_base.magnitudes.push_back(w[j] - b);
      variants.push_back(std::move(with_base));
    }
    for (const Variant& v : variants) {
      for (const LayoutCandidate& c : encode_number_list_candidates(test::integer_list(v.magnitudes, Signedness::Unsigned))) {
        const std::string inner = seeds + v.base + c.bytes + tail;
        const std::uint64_t size = deflate_compress_fast(inner);
        if (size < best_size) {
          best_size = size;
          best = inner;
          best_method = static_cast<std::uint8_t>(d | v.flag | c.layout);
        }
      }
    }
  }
  return {best_method, best};
}

TEST(NumberListArchive, KeepsTheFirstSmallestCandidate) {
  std::mt19937_64 rng(31);
  std::string counter, noise, quadratic;
  for (int i = 0; i < 3000; ++i) {
    counter += std::to_string(100000 + 7 * i + static_cast<int>(rng() % 3)) + "\n";
    noise += std::to_string(static_cast<int>(rng() % 200001) - 100000) + "\n";
    quadratic += std::to_string(static_cast<long long>(i) * i * 13 - 5000000) + "\n";
  }
  struct Case { std::string text; std::string tail; };
  const Case cases[] = {
      {counter, ""},
      {noise, ""},
      {quadratic, ""},
      {"5\n7\n", ""},
      {"3\n3\n3\n3\n", ""},
      {"-12\n" + std::string(40, '9') + "\n-0\n0004\n", bytes({0, 0, 0, 3}) + bytes({1, 2})},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text.substr(0, 40));
    std::vector<BigInt> values;
    std::string_view rest = k.text;
    while (!rest.empty()) {
      const std::size_t lf = rest.find('\n');
      const std::string_view line = rest.substr(0, lf);
      rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
      const bool negative = line[0] == '-';
      const BigInt magnitude = BigInt::from_decimal(line.substr(negative ? 1 : 0));
      values.push_back(negative ? -magnitude : magnitude);
    }
    const auto [method, inner] = expected_choice(values, k.tail);
    const std::string payload = encode_text(k.text);
    ByteCursor c{payload, 1};
    EXPECT_EQ(cursor_read_varint_u64(c), values.size());
    EXPECT_EQ(unsigned(cursor_take_byte(c)), unsigned(method));
    EXPECT_EQ(inflate_limited(std::string_view(payload).substr(c.pos), 1 << 24, false), inner);
  }
}

// A type-9 payload built field by field; the inner body is deflated as the writer would.
struct ListPayload {
  std::uint8_t flags = 0;
  std::uint64_t n = 2;
  std::uint8_t method = 0;
  std::string inner;

  std::string build() const {
    std::string out(1, static_cast<char>(flags));
    write_varint_u64(n, out);
    out.push_back(static_cast<char>(method));
    return out + deflate_compress_best(inner);
  }
};

ListPayload list(std::uint64_t n, std::uint8_t method, std::string inner, std::uint8_t flags = 0) {
  ListPayload p;
  p.flags = flags;
  p.n = n;
  p.method = method;
  p.inner = std::move(inner);
  return p;
}

TEST(NumberListArchive, DecodesEveryOrderBaseAndLayout) {
  // The values 5, 7, 4 written each way the method byte allows.
  struct Case { std::uint8_t method; std::string inner; };
  const Case cases[] = {
      {0, varints({10, 14, 8})},
      {4, bytes({1, 10, 14, 8})},
      {16, encode_entropy_body({10, 14, 8})},
      {8, zigzag_varint(4) + varints({1, 3, 0})},                       // base 4
      {1, zigzag_varint(5) + zigzag_varint(2) + zigzag_varint(-3)},   // first differences
      {9, zigzag_varint(5) + zigzag_varint(-3) + varints({5, 0})},     // ... over a base of -3
      {2, zigzag_varint(5) + zigzag_varint(-3) + zigzag_varint(-5)},  // second differences
  };
  for (const Case& k : cases) {
    EXPECT_EQ(decode_number_list_payload(list(3, k.method, k.inner).build(), 100), "5\n7\n4") << unsigned(k.method);
  }
  // Two lines and d = 2: only the seeds, and an empty list of values in each layout.
  const std::string seeds = zigzag_varint(5) + zigzag_varint(-3);
  EXPECT_EQ(decode_number_list_payload(list(2, 2, seeds).build(), 3), "5\n7");
  EXPECT_EQ(decode_number_list_payload(list(2, 6, seeds + bytes({1})).build(), 3), "5\n7");
  EXPECT_EQ(decode_number_list_payload(list(2, 18, seeds).build(), 3), "5\n7");
}

TEST(NumberListArchive, SumsPastSixtyFourBitsAreExact) {
  // Every seed and magnitude fits in 64 bits, but the sums do not (the last case sits right at
  // the edges of 64 bits).
  const std::uint64_t p62 = std::uint64_t{1} << 62;
  const std::string two62 = varints({p62 << 1});  // zigzag of 2^62
  const std::string p62s = (BigInt(1) << 62).to_decimal();
  const std::string p63s = (BigInt(1) << 63).to_decimal();
  struct Case { std::uint64_t n; std::uint8_t method; std::string inner; std::string text; };
  const Case cases[] = {
      {2, 1, two62 + two62, p62s + "\n" + p63s},  // a first-order sum
      {3, 2, two62 + varints({0, 0}), p62s + "\n" + p63s + "\n" + (BigInt(3) << 62).to_decimal()},
      {2, 8, two62 + varints({0, ~0ull}), p62s + "\n" + ((BigInt(1) << 62) + BigInt(~0ull)).to_decimal()},
      {2, 0, varints({~0ull, ~0ull - 1}), "-" + p63s + "\n" + BigInt(p62 * 2 - 1).to_decimal()},  // the extremes
  };
  for (const Case& k : cases) {
    EXPECT_EQ(decode_number_list_payload(list(k.n, k.method, k.inner).build(), 1000), k.text) << unsigned(k.method);
  }
}

TEST(NumberListArchive, EveryDecoderMessage) {
  const std::string ok = varints({2, 4});  // the lines 1 and 2
  std::string wide_magnitude;
  write_varint_big(BigInt(1) << 100, wide_magnitude);
  struct Case { const char* what; std::string payload; std::uint64_t limit; const char* message; };
  const Case cases[] = {
      {"two bytes", bytes({0x00, 0x02}), 100, "Truncated number list"},
      {"no method byte", bytes({0x00, 0x80, 0x01}), 1000, "Truncated number list"},
      {"flags 16", list(2, 0, ok, 16).build(), 100, "Invalid number list flags"},
      {"n = 1", list(1, 0, varints({2})).build(), 100, "Invalid number list size"},
      {"n = 2, limit 2", list(2, 0, ok).build(), 2, "Invalid number list size"},
      {"2 n - 1 past 2^64", list((std::uint64_t{1} << 63) + 1, 0, ok).build(), ~0ull, "Invalid number list size"},
      {"order 3", list(2, 3, ok).build(), 100, "Invalid number list method"},
      {"method 32", list(2, 32, ok).build(), 100, "Invalid number list method"},
      {"not deflate", bytes({0x00, 0x02, 0x00, 0x07, 0x00}), 100, "Invalid zlib payload: deflate decompression error"},
      {"inner body past 2 x limit + 1024", list(2, 0, ok + std::string(1031, '\0')).build(), 3,
       "Output exceeds decompression limit"},
      {"missing seed", list(2, 1, "").build(), 100, "Truncated number list"},
      {"missing base", list(2, 8, "").build(), 100, "Truncated number list"},
      {"bad seed", list(2, 1, bytes({0x80, 0x00})).build(), 100, "Non-canonical varint"},
      {"layout 4 and 16", list(2, 20, ok).build(), 100, "Invalid layout"},
      {"width 0", list(2, 4, bytes({0, 1, 2})).build(), 100, "Invalid byte-plane width"},
      {"empty entropy table", list(2, 16, bytes({0})).build(), 100, "Invalid entropy table"},
      {"missing leading zeros", list(2, 0, ok + varints({1}), 4).build(), 100, "Truncated number list"},
      {"-0 index n", list(2, 0, varints({0, 0}) + varints({1, 2}), 8).build(), 100, "Invalid -0 index"},
      {"-0 on a value", list(2, 0, varints({0, 2}) + varints({1, 1}), 8).build(), 100, "Invalid -0 index"},
      {"-0 gap onto a value", list(3, 0, varints({0, 2, 0}) + varints({2, 0, 1}), 8).build(), 100,
       "Invalid -0 index"},
      {"-0 gap past n", list(2, 0, varints({0, 0}) + varints({2, 0, ~0ull}), 8).build(), 100, "Invalid -0 index"},
      {"-0 repeated", list(2, 0, varints({0, 0}) + varints({2, 0, 0}), 8).build(), 100, "Repeated -0 index"},
      {"-0 list cut", list(2, 0, varints({0, 0}) + varints({2, 0}), 8).build(), 100, "Truncated number list"},
      {"trailing byte", list(2, 0, ok + bytes({0})).build(), 100, "Trailing data in number list"},
      {"leading zeros past the limit", list(2, 0, ok + varints({0, 1ull << 62}), 4).build(), 1000,
       "Output exceeds decompression limit"},
      // Counts near 2^64 must not wrap the text's size round to something small.
      {"leading zeros of 2^64 - 1", list(2, 0, ok + varints({~0ull, 0}), 4).build(), 1000,
       "Output exceeds decompression limit"},
      {"leading zeros of 2^64 - 2", list(2, 0, ok + varints({~0ull - 1, 0}), 4).build(), 1000,
       "Output exceeds decompression limit"},
      // The text passes the limit on its first line; the checks after it still come first.
      {"trailing byte after a text past the limit", list(2, 0, varints({2000, 2}) + bytes({0})).build(), 3,
       "Trailing data in number list"},
      {"-0 on a value after a text past the limit", list(3, 0, varints({2000, 2, 0}) + varints({1, 1}), 8).build(), 5,
       "Invalid -0 index"},
      {"trailing byte after a wide text past the limit",
       list(2, 0, varints({2}) + wide_magnitude + bytes({0})).build(), 3, "Trailing data in number list"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_ERROR(decode_number_list_payload(k.payload, k.limit), k.message);
  }
  // An empty -0 list is allowed, and the size check passes at 2 n - 1 = limit.
  EXPECT_EQ(decode_number_list_payload(list(2, 0, ok + varints({0}), 8).build(), 3), "1\n2");
}

TEST(NumberListArchive, RestoresExactlyUpToTheLimit) {
  const std::vector<std::string> texts = {
      "100\n-200\n0003\n",
      "1\r\n" + test::pow2_decimal(100) + "\r\n",
      "00" + test::pow2_decimal(70) + "\n-0\n" + test::pow2_decimal(65),
  };
  for (const std::string& text : texts) {
    const std::string payload = encode_text(text);
    EXPECT_EQ(decode_number_list_payload(payload, text.size()), text);
    EXPECT_ERROR(decode_number_list_payload(payload, text.size() - 1), "Output exceeds decompression limit");
  }
}

TEST(NumberListArchive, RendersEveryDigitCountSignAndRunOfLeadingZeros) {
  // Values at each edge of the digit counts rendering changes at, both signs (so -0 too), without
  // leading zeros and with runs around the longest written at once and counts of two varint bytes.
  const std::uint64_t edges[] = {0, 1, 9, 10, 99, 100, 999, 1000, 9999, 99999, 999999, 1000000, 1000001,
                                 9999999, 99999999999, 999999999999, 1000000000000, 1000000000001,
                                 999999999999999999, 9223372036854775807u};
  const std::size_t zero_runs[] = {0, 1, 15, 16, 17, 127, 128, 300};
  for (const bool with_zeros : {false, true}) {
    for (const bool crlf : {false, true}) {
      const std::string ending = crlf ? "\r\n" : "\n";
      std::string text = "-9223372036854775808" + ending;
      for (const std::uint64_t v : edges) {
        for (const std::size_t run : zero_runs) {
          if (run > 0 && !with_zeros) continue;
          for (const char* sign : {"", "-"}) {
            text.append(sign).append(run, '0').append(std::to_string(v)).append(ending);
          }
        }
      }
      SCOPED_TRACE(testing::Message() << with_zeros << crlf);
      expect_round_trip(text);
      expect_round_trip(text.substr(0, text.size() - ending.size()));
    }
  }
}

TEST(NumberListArchive, ListsThatTurnWideAfterManyPiecesRestoreExactly) {
  // Tens of thousands of lines of words with -0 lines among them (and leading zeros or none) before the
  // first value past 64 bits, and words again after it; the same without the wide value.
  for (const bool leading_zeros : {false, true}) {
    std::string words;
    for (int i = 0; i < 40000; ++i) {
      words += i % 7 == 0 ? "-0" : leading_zeros && i % 11 == 0 ? "007" : std::to_string(i * 31 - 150000);
      words += "\r\n";
    }
    const std::string wide = words + test::pow2_decimal(70) + "\r\n-" + test::pow2_decimal(65) + "\r\n12\r\n-0";
    for (const std::string& text : {words, wide}) {
      SCOPED_TRACE(testing::Message() << leading_zeros << " " << text.size());
      const std::string payload = encode_text(text);
      // Compared whole, not printed whole: a diff of texts this long would take minutes.
      EXPECT_TRUE(decode_number_list_payload(payload, text.size()) == text);
      EXPECT_ERROR(decode_number_list_payload(payload, text.size() - 1), "Output exceeds decompression limit");
    }
  }
}

TEST(NumberListArchive, StreamedTextGoesOutInPiecesAndStartsOverWhenTheListTurnsWide) {
  // Megabytes of words, so that pieces are handed on before the value past 64 bits is met.
  std::string words;
  for (std::int64_t i = 0; words.size() < 3000000; ++i) {
    words += i % 9 == 0 ? "-0" : std::to_string(i * 7919 % 2000003 - 1000000);
    words += '\n';
  }
  const std::string wide = words + test::pow2_decimal(70) + "\n5";
  for (const std::string* text : {static_cast<const std::string*>(&words), &wide}) {
    SCOPED_TRACE(text->size());
    const std::string payload = encode_text(*text);
    test::RecordingSink sink;
    stream_number_list_payload(payload, text->size(), sink);
    EXPECT_TRUE(sink.text == *text);
    EXPECT_GE(sink.pieces, 3);
    if (text == &wide) EXPECT_GE(sink.dropped, std::size_t{1} << 20);  // the words, written once before
    test::RecordingSink short_sink;
    EXPECT_ERROR(stream_number_list_payload(payload, text->size() - 1, short_sink), "Output exceeds decompression limit");
  }
}

TEST(NumberListArchive, HostilePayloadsStayWithinTheLimit) {
  // n as large as the limit allows, but a body far too short for it.
  const std::uint64_t huge_limit = std::uint64_t{1} << 62;
  EXPECT_ERROR(decode_number_list_payload(list(huge_limit / 2, 0, varints({1, 2})).build(), huge_limit),
               "Truncated number list");
  EXPECT_ERROR(decode_number_list_payload(list(huge_limit / 2, 4, bytes({8, 1, 2})).build(), huge_limit),
               "Truncated number list");

  // One huge seed, summed into a million zeros, would need a million copies of itself: the
  // decoder stops as soon as the values cannot be printed within the limit.
  std::string huge_seed;
  write_varint_big(BigInt(1) << 700000, huge_seed);
  const std::string zeros = bytes({0x01, 0x00, 0xFF, 0x7F, 0x04, 0x00, 0x00, 0x80, 0x00});  // any count of 0
  EXPECT_ERROR(decode_number_list_payload(list(1000000, 17, huge_seed + zeros).build(), 1 << 21),
               "Output exceeds decompression limit");

  // A base of a million bytes added to two million zero magnitudes (a kilobyte of payload)
  // would copy the base into every value: the magnitude budget ends it, under the largest limit
  // an archive decoded in memory gets, long before gigabytes are built.
  const std::string million_byte_base = std::string(999999, '\xFF') + bytes({0x01});
  const std::string base_archive = list(2000000, 8 | 16, million_byte_base + zeros).build();
  EXPECT_LT(base_archive.size(), 1200u);
  EXPECT_ERROR(decode_number_list_payload(base_archive, 512u << 20), "Output exceeds decompression limit");
  // The same checks run however the sums are ordered: a first-order list whose seed is that base.
  EXPECT_ERROR(decode_number_list_payload(list(2000000, 1 | 16, million_byte_base + zeros).build(), 512u << 20),
               "Output exceeds decompression limit");

  // The same tiny body restores a list of zeros that fills the limit exactly, and one byte
  // less is refused.
  const std::uint64_t n = 100000;
  const std::string all_zeros = decode_number_list_payload(list(n, 16, zeros, 1).build(), 2 * n);
  EXPECT_EQ(all_zeros.size(), 2 * n);
  EXPECT_EQ(all_zeros.substr(0, 6), "0\n0\n0\n");
  EXPECT_ERROR(decode_number_list_payload(list(n, 16, zeros, 1).build(), 2 * n - 1),
               "Output exceeds decompression limit");
}

TEST(NumberListArchive, NeverWritesAnInnerBodyItsDecoderWouldRefuse) {
  const std::string text = test::small_integers_then_one_wide_value();
  const std::string payload = encode_text(text);
  EXPECT_LE(inflate_limited(std::string_view(payload).substr(3), 1 << 20, false).size(), 2 * text.size() + 1024);
  EXPECT_EQ(decode_number_list_payload(payload, text.size()), text);
}

TEST(NumberListArchive, RandomTextsRoundTrip) {
  std::mt19937_64 rng(test::kRandomTextSeed);
  for (int round = 0; round < test::kRandomTextCount; ++round) {
    const std::string text = test::random_integer_text(rng);
    ASSERT_TRUE(split_integer_lines(text)) << round;
    SCOPED_TRACE(round);
    expect_round_trip(text);
  }
}

}  // namespace
}  // namespace corvale
