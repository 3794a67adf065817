#include "codecs/number_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "codecs/bigint.h"
#include "codecs/decimal.h"
#include "codecs/number_list_body.h"
#include "codecs/varint.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

using u128 = unsigned __int128;

// Lines of up to 18 significant digits keep every value, difference, zigzag and offset from the
// base inside 64 bits (second differences stay below 4 x 10^18), so the common case needs no
// big integers at all.
constexpr std::size_t kNarrowDigits = 18;

bool is_integer_line(std::string_view line) {
  std::size_t i = (!line.empty() && line[0] == '-') ? 1 : 0;
  if (i == line.size()) return false;
  for (; i < line.size(); ++i) {
    if (static_cast<unsigned char>(line[i] - '0') > 9) return false;
  }
  return true;
}

// Walks the lines of text the way the recogniser defines them, handing each (without its line
// ending) to on_line; false as soon as the text is not integer lines.
template <class OnLine>
bool scan_integer_lines(std::string_view text, bool& final_line_ending, bool& crlf, OnLine&& on_line) {
  final_line_ending = !text.empty() && text.back() == '\n';
  const std::string_view body = final_line_ending ? text.substr(0, text.size() - 1) : text;
  const char* first_lf = static_cast<const char*>(std::memchr(body.data(), '\n', body.size()));
  if (first_lf == nullptr) return false;
  const std::size_t first_len = static_cast<std::size_t>(first_lf - body.data());
  crlf = first_len > 0 && body[first_len - 1] == '\r';

  std::size_t start = 0;
  for (;;) {
    const char* lf = static_cast<const char*>(std::memchr(body.data() + start, '\n', body.size() - start));
    const bool last = lf == nullptr;
    const std::size_t end = last ? body.size() : static_cast<std::size_t>(lf - body.data());
    std::string_view line = body.substr(start, end - start);
    if (crlf) {
      const bool has_cr = !line.empty() && line.back() == '\r';
      if (!last) {
        if (!has_cr) return false;
      } else if (line.empty() ? final_line_ending : has_cr != final_line_ending) {
        return false;
      }
      if (has_cr) line.remove_suffix(1);
    }
    if (!is_integer_line(line)) return false;
    on_line(line);
    if (last) return true;
    start = end + 1;
  }
}

bool is_integer_lines(std::string_view text) {
  bool final_line_ending = false;
  bool crlf = false;
  return scan_integer_lines(text, final_line_ending, crlf, [](std::string_view) {});
}

// One line taken apart: the sign, the zeros before the value's digits and the digits themselves.
struct LineParts {
  bool negative;
  std::uint64_t leading_zeros;
  std::string_view digits;
};

LineParts split_line(std::string_view line) {
  const bool negative = line[0] == '-';
  std::string_view digits = line.substr(negative ? 1 : 0);
  std::size_t zeros = 0;
  while (zeros < digits.size() && digits[zeros] == '0') ++zeros;
  if (zeros == digits.size()) --zeros;  // the last '0' is the value's own digit
  return {negative, zeros, digits.substr(zeros)};
}

std::uint64_t parse_narrow(std::string_view digits) {
  std::uint64_t v = 0;
  for (char c : digits) v = v * 10 + static_cast<unsigned>(c - '0');
  return v;
}

// The smallest inner body so far, by its fast-deflate size, and the buffer the next candidate is
// built in; a candidate that wins trades buffers with the best, so neither is built twice.
struct BestBody {
  std::string bytes;
  std::uint64_t size = 0;
  bool found = false;
  std::uint8_t method = 0;
  std::string scratch;

  // Measures scratch as the candidate of method; an equal size keeps the earlier candidate.
  void offer(std::uint8_t candidate_method) {
    const std::uint64_t candidate_size = deflate_compress_fast(scratch);
    if (found && candidate_size >= size) return;
    found = true;
    size = candidate_size;
    method = candidate_method;
    bytes.swap(scratch);
  }
};

// The smallest inner body over the orders of differences 0 to 2, with and without a base, in
// every layout. w holds each value's two's-complement bits; every difference, zigzag and offset
// fits in 64 bits (see kNarrowDigits), so wrapping arithmetic is exact. The magnitudes of each
// variant are made in w itself and undone after its layouts are measured: no second list.
std::string best_inner_body_narrow(std::vector<std::uint64_t> w, const std::string& tail, std::uint8_t& best_method) {
  const std::size_t n = w.size();
  BestBody best;
  auto probe_layouts = [&](const std::string& prefix, std::size_t seeds, std::uint8_t flag) {
    const std::size_t count = n - seeds;
    for (const std::uint8_t layout : {kLayoutVarints, kLayoutBytePlanes, kLayoutEntropy}) {
      if (layout == kLayoutEntropy && count == 0) continue;
      best.scratch.clear();
      best.scratch += prefix;
      append_number_list_body(w.data() + seeds, count, layout, best.scratch);
      best.scratch += tail;
      best.offer(static_cast<std::uint8_t>(flag | layout));
    }
  };

  for (std::uint8_t d = 0; d <= 2; ++d) {
    if (d > 0) {
      for (std::size_t i = n; i-- > 1;) w[i] -= w[i - 1];
    }
    const std::size_t seeds = std::min<std::size_t>(d, n);
    std::string prefix;
    for (std::size_t i = 0; i < seeds; ++i) write_varint_u64(zigzag_encode_i64(static_cast<std::int64_t>(w[i])), prefix);

    for (std::size_t j = seeds; j < n; ++j) w[j] = zigzag_encode_i64(static_cast<std::int64_t>(w[j]));
    probe_layouts(prefix, seeds, d);
    for (std::size_t j = seeds; j < n; ++j) w[j] = static_cast<std::uint64_t>(zigzag_decode_u64(w[j]));

    if (n > seeds) {
      std::int64_t base = static_cast<std::int64_t>(w[seeds]);
      for (std::size_t j = seeds + 1; j < n; ++j) base = std::min(base, static_cast<std::int64_t>(w[j]));
      const auto base_bits = static_cast<std::uint64_t>(base);
      for (std::size_t j = seeds; j < n; ++j) w[j] -= base_bits;
      write_varint_u64(zigzag_encode_i64(base), prefix);
      probe_layouts(prefix, seeds, static_cast<std::uint8_t>(d | kListMethodBase));
      for (std::size_t j = seeds; j < n; ++j) w[j] += base_bits;
    }
  }
  best_method = best.method;
  return std::move(best.bytes);
}

// The same choice over big integers, for lists with a value too long for 64 bits.
std::string best_inner_body_wide(std::vector<BigInt> w, const std::string& tail, std::uint8_t& best_method) {
  const std::size_t n = w.size();
  BestBody best;
  auto probe_candidates = [&](const std::string& prefix, const std::vector<BigInt>& magnitudes, std::uint8_t flag) {
    for (const LayoutCandidate& candidate : encode_number_list_candidates(magnitudes)) {
      best.scratch.clear();
      best.scratch.reserve(prefix.size() + candidate.bytes.size() + tail.size());
      best.scratch += prefix;
      best.scratch += candidate.bytes;
      best.scratch += tail;
      best.offer(static_cast<std::uint8_t>(flag | candidate.layout));
    }
  };

  std::vector<BigInt> magnitudes;
  for (std::uint8_t d = 0; d <= 2; ++d) {
    if (d > 0) {
      for (std::size_t i = n; i-- > 1;) w[i] -= w[i - 1];
    }
    const std::size_t seeds = std::min<std::size_t>(d, n);
    std::string prefix;
    for (std::size_t i = 0; i < seeds; ++i) write_varint_big(zigzag_encode_big(w[i]), prefix);

    magnitudes.clear();
    magnitudes.reserve(n - seeds);
    for (std::size_t j = seeds; j < n; ++j) magnitudes.push_back(zigzag_encode_big(w[j]));
    probe_candidates(prefix, magnitudes, d);

    if (n > seeds) {
      const BigInt& base = *std::min_element(w.begin() + static_cast<std::ptrdiff_t>(seeds), w.end());
      for (std::size_t j = seeds; j < n; ++j) magnitudes[j - seeds] = w[j] - base;
      write_varint_big(zigzag_encode_big(base), prefix);
      probe_candidates(prefix, magnitudes, static_cast<std::uint8_t>(d | kListMethodBase));
    }
  }
  best_method = best.method;
  return std::move(best.bytes);
}

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

unsigned decimal_length(std::uint64_t v) {
  unsigned len = 1;
  while (v >= 10) {
    v /= 10;
    ++len;
  }
  return len;
}

// Writes the digits of v ending just before end; returns where they start.
char* write_decimal_backwards(std::uint64_t v, char* end) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  while (v >= 100) {
    const unsigned pair = static_cast<unsigned>(v % 100);
    v /= 100;
    end -= 2;
    std::memcpy(end, kPairs + 2 * pair, 2);
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * v, 2);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// The restored values, in 64 bits when the seeds, base, magnitudes and every prefix sum fit.
struct Values {
  bool wide = false;
  std::vector<std::uint64_t> narrow;  // each value's two's-complement bits
  std::vector<BigInt> big;
  bool is_zero(std::uint64_t i) const { return wide ? big[i].is_zero() : narrow[i] == 0; }
};

// Whether every entry and every prefix sum fits in 64 bits, worked out before the magnitudes are
// overwritten, so that the big-integer road can still start from them.
bool narrow_values_fit(const std::vector<BigInt>& seeds, const BigInt* base, const std::vector<std::uint64_t>& slots) {
  for (const BigInt& s : seeds) {
    if (!s.fits_i64()) return false;
  }
  if (base != nullptr && !base->fits_i64()) return false;
  const std::size_t d = seeds.size();
  const __int128 b = base != nullptr ? base->to_i64() : 0;
  std::int64_t first_sum = 0;
  std::int64_t second_sum = 0;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    std::int64_t w;
    if (i < d) {
      w = seeds[i].to_i64();
    } else if (base != nullptr) {
      const __int128 v = b + static_cast<__int128>(slots[i]);
      if (v > std::numeric_limits<std::int64_t>::max()) return false;
      w = static_cast<std::int64_t>(v);
    } else {
      w = zigzag_decode_u64(slots[i]);
    }
    if (d >= 1 && __builtin_add_overflow(first_sum, w, &first_sum)) return false;
    if (d == 2 && __builtin_add_overflow(second_sum, first_sum, &second_sum)) return false;
  }
  return true;
}

// Prefix sums over big integers can make every value as long as the longest seed, so a tiny
// payload could ask for far more memory than its text may hold. The digits of v number at least
// bit_length(v) / 4, hence a list whose bit lengths add up to more than 4 x limit cannot be
// printed within the limit, and first differences are at most twice that plus one bit a value.
void prefix_sum_within_budget(std::vector<BigInt>& values, u128 budget_bits) {
  u128 bits = values.empty() ? 0 : values[0].bit_length();
  for (std::size_t i = 1; i < values.size(); ++i) {
    values[i] += values[i - 1];
    bits += values[i].bit_length();
    if (bits > budget_bits) throw output_limit_error();
  }
}

Values rebuild_values(std::vector<BigInt> seeds, const BigInt* base, DecodedBody magnitudes, std::uint64_t limit) {
  Values values;
  const std::size_t d = seeds.size();
  if (!magnitudes.wide && narrow_values_fit(seeds, base, magnitudes.narrow)) {
    // In place: the body left d free slots at the front for the seeds.
    std::vector<std::uint64_t>& v = magnitudes.narrow;
    for (std::size_t i = 0; i < d; ++i) v[i] = static_cast<std::uint64_t>(seeds[i].to_i64());
    if (base != nullptr) {
      const auto b = static_cast<std::uint64_t>(base->to_i64());
      for (std::size_t i = d; i < v.size(); ++i) v[i] += b;
    } else {
      for (std::size_t i = d; i < v.size(); ++i) v[i] = static_cast<std::uint64_t>(zigzag_decode_u64(v[i]));
    }
    // Checked above: no sum leaves 64 bits, so wrapping arithmetic gives the exact values.
    for (std::size_t pass = 0; pass < d; ++pass) {
      for (std::size_t i = 1; i < v.size(); ++i) v[i] += v[i - 1];
    }
    values.narrow = std::move(v);
    return values;
  }
  values.wide = true;
  if (!magnitudes.wide) {
    magnitudes.values.reserve(magnitudes.narrow.size() - d);
    for (std::size_t i = d; i < magnitudes.narrow.size(); ++i) magnitudes.values.emplace_back(magnitudes.narrow[i]);
    magnitudes.narrow = {};
  }
  values.big = std::move(seeds);
  if (base != nullptr) {
    collect_bigints_offset_by_base(values.big, std::move(magnitudes.values), *base);
  } else {
    collect_zigzag_decoded_bigints(values.big, std::move(magnitudes.values));
  }
  const u128 final_budget = static_cast<u128>(limit) * 4;
  for (std::size_t pass = 0; pass < d; ++pass) {
    const bool last = pass + 1 == d;
    prefix_sum_within_budget(values.big, last ? final_budget : 2 * final_budget + values.big.size());
  }
  return values;
}

// Exact size first, then one pass of writing: every value is known to fit in 64 bits.
std::string render_narrow(const std::vector<std::uint64_t>& bits, const std::vector<std::uint64_t>& zeros,
                          const std::vector<std::uint64_t>& minus_zeros, std::string_view ending, bool final_ending,
                          std::uint64_t limit) {
  const std::size_t n = bits.size();
  const auto* values = reinterpret_cast<const std::int64_t*>(bits.data());
  auto magnitude = [](std::int64_t v) { return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v); };
  // Counts of leading zeros come from the archive and may be near 2^64 each: 128 bits hold the
  // sum of n of them, line endings and digits included, without wrapping.
  u128 total = static_cast<u128>(n - 1 + (final_ending ? 1 : 0)) * ending.size() + minus_zeros.size();
  for (std::size_t i = 0; i < n; ++i) {
    total += decimal_length(magnitude(values[i])) + (values[i] < 0 ? 1 : 0);
    if (!zeros.empty()) total += zeros[i];
  }
  if (total > limit) throw output_limit_error();

  std::string out(static_cast<std::size_t>(total), '\0');
  char* p = out.data();
  std::size_t next_minus_zero = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) {
      std::memcpy(p, ending.data(), ending.size());
      p += ending.size();
    }
    const bool minus_zero = next_minus_zero < minus_zeros.size() && minus_zeros[next_minus_zero] == i;
    if (minus_zero) ++next_minus_zero;
    if (values[i] < 0 || minus_zero) *p++ = '-';
    if (!zeros.empty() && zeros[i] > 0) {
      std::memset(p, '0', zeros[i]);
      p += zeros[i];
    }
    char digits[20];
    char* end = digits + sizeof digits;
    char* begin = write_decimal_backwards(magnitude(values[i]), end);
    std::memcpy(p, begin, static_cast<std::size_t>(end - begin));
    p += end - begin;
  }
  if (final_ending) std::memcpy(p, ending.data(), ending.size());
  return out;
}

// Grows the text line by line, bounding each piece by the room left before it is made.
std::string render_wide(const std::vector<BigInt>& values, const std::vector<std::uint64_t>& zeros,
                        const std::vector<std::uint64_t>& minus_zeros, std::string_view ending, bool final_ending,
                        std::uint64_t limit) {
  std::string out;
  std::size_t next_minus_zero = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ending;
    const bool minus_zero = next_minus_zero < minus_zeros.size() && minus_zeros[next_minus_zero] == i;
    if (minus_zero) ++next_minus_zero;
    if (values[i].sign() < 0 || minus_zero) out.push_back('-');
    const std::uint64_t z = zeros.empty() ? 0 : zeros[i];
    check_output_room(out.size(), z, limit);
    out.append(z, '0');
    check_decimal_output_size(values[i], room_under_limit(out.size(), limit));
    values[i].append_decimal_magnitude(out);
    if (out.size() > limit) throw output_limit_error();
  }
  if (final_ending) {
    out += ending;
    if (out.size() > limit) throw output_limit_error();
  }
  return out;
}

}  // namespace

std::optional<IntegerLines> split_integer_lines(std::string_view text) {
  IntegerLines result;
  const bool ok = scan_integer_lines(text, result.final_line_ending, result.crlf,
                                     [&](std::string_view line) { result.lines.push_back(line); });
  if (!ok) return std::nullopt;
  return result;
}

std::string encode_number_list_payload(const IntegerLines& lines) {
  const std::size_t n = lines.lines.size();
  // Written as they come and dropped when every count is 0: a byte a line, not eight.
  std::string zero_counts;
  zero_counts.reserve(n);
  bool any_zeros = false;
  std::vector<std::uint64_t> minus_zeros;
  std::vector<std::uint64_t> narrow;  // two's-complement bits
  narrow.reserve(n);
  bool wide = false;
  for (std::size_t i = 0; i < n; ++i) {
    const LineParts parts = split_line(lines.lines[i]);
    write_varint_u64(parts.leading_zeros, zero_counts);
    any_zeros |= parts.leading_zeros != 0;
    const bool zero = parts.digits == "0";
    if (parts.negative && zero) minus_zeros.push_back(i);
    if (wide) continue;
    if (parts.digits.size() > kNarrowDigits) {
      wide = true;
      narrow = {};
      continue;
    }
    const std::uint64_t v = parse_narrow(parts.digits);
    narrow.push_back(parts.negative ? 0 - v : v);
  }

  std::uint8_t flags = (lines.final_line_ending ? kListFinalLineEnding : 0) | (lines.crlf ? kListCrLf : 0);
  std::string tail;
  if (any_zeros) {
    flags |= kListLeadingZeros;
    tail.swap(zero_counts);
  }
  zero_counts = {};
  if (!minus_zeros.empty()) {
    flags |= kListMinusZeros;
    write_varint_u64(minus_zeros.size(), tail);
    write_varint_u64(minus_zeros[0], tail);
    for (std::size_t k = 1; k < minus_zeros.size(); ++k) write_varint_u64(minus_zeros[k] - minus_zeros[k - 1], tail);
  }

  std::uint8_t method = 0;
  std::string inner;
  if (!wide) {
    inner = best_inner_body_narrow(std::move(narrow), tail, method);
  } else {
    std::vector<BigInt> values;
    values.reserve(n);
    for (std::string_view line : lines.lines) {
      const LineParts parts = split_line(line);
      BigInt v = parse_decimal_digits(parts.digits);
      values.push_back(parts.negative ? -v : std::move(v));
    }
    inner = best_inner_body_wide(std::move(values), tail, method);
  }

  std::string payload;
  payload.push_back(static_cast<char>(flags));
  write_varint_u64(n, payload);
  payload.push_back(static_cast<char>(method));
  payload += deflate_compress_best(inner);
  return payload;
}

std::string decode_number_list_payload(std::string_view payload, std::uint64_t limit) {
  if (payload.size() <= 2) throw Error(kTruncatedNumberList);
  const auto flags = static_cast<std::uint8_t>(payload[0]);
  if (flags > 15) throw Error(kInvalidNumberListFlags);
  ByteCursor cursor{payload, 1};
  const std::uint64_t n = cursor_read_varint_u64(cursor);
  // Every line needs a digit and all but the last a line ending.
  if (n < 2 || static_cast<u128>(n) * 2 - 1 > limit) throw Error(kInvalidNumberListSize);
  const std::uint8_t method = cursor_take_byte(cursor);
  if ((method & 3) == 3 || method >= 32) throw Error(kInvalidNumberListMethod);
  const unsigned d = method & 3;

  const std::string inner = inflate_limited(payload.substr(cursor.pos), inner_body_limit(limit), false);
  ByteCursor body{inner};

  std::vector<BigInt> seeds;
  for (unsigned i = 0; i < d; ++i) seeds.push_back(zigzag_decode_big(cursor_read_varint_big(body, false, 0)));
  BigInt base;
  const bool has_base = (method & kListMethodBase) != 0;
  if (has_base) base = zigzag_decode_big(cursor_read_varint_big(body, false, 0));
  DecodedBody magnitudes = decode_number_list_body_narrow(body, method, n - d, d);
  const Values values = rebuild_values(std::move(seeds), has_base ? &base : nullptr, std::move(magnitudes), limit);

  std::vector<std::uint64_t> zeros;
  if (flags & kListLeadingZeros) zeros = cursor_read_varint_vec(body, n);

  std::vector<std::uint64_t> minus_zeros;
  if (flags & kListMinusZeros) {
    const std::uint64_t k = cursor_read_varint_u64(body);
    if (k > 0) {
      std::uint64_t index = cursor_read_varint_u64(body);
      if (index >= n || !values.is_zero(index)) throw Error(kInvalidMinusZeroIndex);
      minus_zeros.push_back(index);
      for (std::uint64_t j = 1; j < k; ++j) {
        const std::uint64_t gap = cursor_read_varint_u64(body);
        if (gap == 0) throw Error(kRepeatedMinusZeroIndex);
        index = saturating_add(index, gap);
        if (index >= n || !values.is_zero(index)) throw Error(kInvalidMinusZeroIndex);
        minus_zeros.push_back(index);
      }
    }
  }
  if (!body.at_end()) throw Error(kTrailingNumberListData);

  const std::string_view ending = (flags & kListCrLf) ? "\r\n" : "\n";
  const bool final_ending = (flags & kListFinalLineEnding) != 0;
  std::string out = values.wide ? render_wide(values.big, zeros, minus_zeros, ending, final_ending, limit)
                                : render_narrow(values.narrow, zeros, minus_zeros, ending, final_ending, limit);
  if (!is_integer_lines(out)) throw Error(kNotANumberList);
  return out;
}

}  // namespace corvale
