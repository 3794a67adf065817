#include "codecs/numbers/entropy.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <type_traits>

#include "core/u128.h"

namespace corvale {

namespace {

constexpr unsigned extra_bits_of_token(unsigned t) { return t < 6 ? 0 : (t - 6) / 4; }

// Per token: how many raw bits follow, and the value they are added to.
constexpr auto kTokenExtraBits = [] {
  std::array<std::uint8_t, kEntropyTokenCount> e{};
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) e[t] = static_cast<std::uint8_t>(extra_bits_of_token(t));
  return e;
}();
constexpr auto kTokenBase = [] {
  std::array<std::uint64_t, kEntropyTokenCount> base{};
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    base[t] = t < 6 ? t : (std::uint64_t{4} + ((t - 6) & 3)) << extra_bits_of_token(t);
  }
  return base;
}();

// entropy_token without a branch on the value, which lists of small and large values in turn
// would mispredict at every other value. Written with a mask, as a plain select is turned into
// a branch where the small values' raw bits (none) can be skipped.
inline EntropyToken token_of(std::uint64_t v) {
  const unsigned bits = 64 - static_cast<unsigned>(__builtin_clzll(v | 1));
  const unsigned large_mask = 0u - static_cast<unsigned>(v >= 4);
  const unsigned extra = (bits - 3) & large_mask;
  const unsigned large = 4 * bits - 6 + static_cast<unsigned>((v >> extra) & 3);
  const unsigned small = static_cast<unsigned>(v) & 3;
  return {static_cast<std::uint8_t>(small ^ ((small ^ large) & large_mask)), static_cast<std::uint8_t>(extra)};
}

// The token of every value below 2^16: packed words of one or two bytes look theirs up. Filled
// when the program starts, from token_of: 65536 steps are past some compilers' limit for
// constant evaluation.
const auto kShortTokens = [] {
  std::array<std::uint8_t, 65536> tokens{};
  for (unsigned v = 0; v < tokens.size(); ++v) tokens[v] = token_of(v).token;
  return tokens;
}();

template <class T>
EntropyToken token_of_word(T v) {
  if constexpr (sizeof(T) <= 2) {
    const std::uint8_t t = kShortTokens[v];
    return {t, kTokenExtraBits[t]};
  } else {
    return token_of(v);
  }
}

using TokenTable = std::array<std::uint32_t, kEntropyTokenCount>;

// How often each token comes, and the raw bits they all carry.
struct TokenCounts {
  std::array<std::uint64_t, kEntropyTokenCount> counts{};
  std::uint64_t total_extra = 0;
};

// The tokens are worked out again in each pass rather than kept: cheaper than a byte a value
// written and read back.
template <class T>
TokenCounts count_tokens(const T* values, std::size_t n) {
  // Counted in four tables in turn, so that a run of one token does not wait on its own count.
  std::array<std::array<std::uint64_t, kEntropyTokenCount>, 4> partial{};
  for (std::size_t i = 0; i < n; ++i) ++partial[i & 3][token_of_word(values[i]).token];
  TokenCounts c;
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    c.counts[t] = partial[0][t] + partial[1][t] + partial[2][t] + partial[3][t];
    c.total_extra += c.counts[t] * kTokenExtraBits[t];
  }
  return c;
}

// The counts of n tokens scaled to frequencies that sum to kEntropyScale, every token that comes
// at least 1, and those that do not 0.
TokenTable scale_frequencies(const TokenCounts& c, std::size_t n) {
  TokenTable freq{};
  std::array<std::uint8_t, kEntropyTokenCount> order{};
  unsigned present = 0;
  std::uint64_t sum = 0;
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    if (c.counts[t] == 0) continue;
    const std::uint64_t scaled = static_cast<std::uint64_t>(static_cast<u128>(c.counts[t]) * kEntropyScale / n);
    freq[t] = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, scaled));
    sum += freq[t];
    order[present++] = static_cast<std::uint8_t>(t);
  }
  // The order is fixed by the first frequencies; the adjustments below do not re-sort.
  std::stable_sort(order.begin(), order.begin() + present,
                   [&](std::uint8_t a, std::uint8_t b) { return freq[a] > freq[b]; });
  if (sum < kEntropyScale) {
    freq[order[0]] += static_cast<std::uint32_t>(kEntropyScale - sum);
  } else if (sum > kEntropyScale) {
    // Only the floor of 1 pushes the sum over; take the excess back from tokens that can spare it.
    std::uint64_t excess = sum - kEntropyScale;
    while (excess > 0) {
      for (unsigned i = 0; i < present && excess > 0; ++i) {
        if (freq[order[i]] > 1) {
          --freq[order[i]];
          --excess;
        }
      }
    }
  }
  return freq;
}

// The table of the tokens that come: their count, then for each the gap from the one before it
// and its frequency less one.
void write_frequency_table(const TokenTable& freq, std::string& out) {
  write_varint_u64(static_cast<std::uint64_t>(std::count_if(freq.begin(), freq.end(), [](std::uint32_t f) { return f != 0; })), out);
  int previous = -1;
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    if (freq[t] == 0) continue;
    write_varint_u64(static_cast<std::uint64_t>(static_cast<int>(t) - previous - 1), out);
    write_varint_u64(freq[t] - 1, out);
    previous = static_cast<int>(t);
  }
}

// What the encoder needs of one token. The division by f becomes a multiplication: with
// l = ceil(log2 f) and m = ceil(2^(31 + l) / f), m f exceeds 2^(31 + l) by less than 2^l, so
// (x m) >> (31 + l) is exactly floor(x / f) for every state below 2^31, and x m stays below 2^63.
struct TokenCoder {
  std::uint32_t bound;      // a state at or above this sends a byte
  std::uint32_t bound_two;  // and at or above this, two (states stay below 2^31)
  std::uint64_t reciprocal;
  std::uint32_t shift;
  std::uint32_t step;  // 2^14 - f: the next state is x + start + q step
  std::uint32_t start;
};

std::array<TokenCoder, kEntropyTokenCount> make_coders(const TokenTable& freq) {
  std::array<TokenCoder, kEntropyTokenCount> coders{};
  std::uint32_t start = 0;
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    const std::uint32_t f = freq[t];
    if (f == 0) continue;
    const unsigned l = f == 1 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(f - 1));
    const std::uint64_t power = std::uint64_t{1} << (31 + l);
    const std::uint64_t bound = std::uint64_t{f} << 17;
    coders[t] = {static_cast<std::uint32_t>(bound), static_cast<std::uint32_t>(std::min<std::uint64_t>(bound << 8, 1u << 31)),
                 (power + f - 1) / f, 31 + l, kEntropyScale - f, start};
    start += f;
  }
  return coders;
}

// The stream and the raw bits of the values, appended to out.
//
// The encoder runs backwards so that the decoder reads forwards; at most two renormalisation
// bytes per token (x < 2^31 and the bound is at least 2^17), written from the end of the
// buffer towards its front. Both bytes are always stored and the head moves over those that
// count, so that no branch depends on the data.
//
// The raw bits are written in the same backward pass: each value's bits go just below those
// of the values after it, and whole bytes are stored from the top down. The state's chain of
// multiplications leaves the core idle enough that this costs almost nothing beside a forward
// pass of its own. They are written where they end up, at the end of out, behind 8 spare bytes
// for the last word stores; the stream and its length then take the place of those bytes.
//
// The stream's buffer is left uninitialised: only the pages it reaches are ever touched. It
// has room in front for the stream's length, so that both are copied out in one piece.
template <class T>
void encode_stream_backwards(const T* values, std::size_t n, const std::array<TokenCoder, kEntropyTokenCount>& coders,
                             std::uint64_t total_extra, std::string& out) {
  const std::size_t stream_size = 2 * n + 4;
  constexpr std::size_t kLengthRoom = 10;  // the longest varint of a 64-bit length
  const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kLengthRoom + stream_size]);
  unsigned char* const stream = buffer.get() + kLengthRoom;
  const std::size_t extra_len = static_cast<std::size_t>((total_extra + 7) / 8);
  const std::size_t extra_at = out.size();
  out.resize(extra_at + 8 + extra_len);
  unsigned char* const extra = reinterpret_cast<unsigned char*>(out.data()) + extra_at + 8;

  static_assert(std::endian::native == std::endian::little);
  // The bits not yet stored sit at the top of acc, `pending` of them (at most 7 between values);
  // the padding of the last byte is the first of them.
  std::uint64_t acc = 0;
  unsigned pending = static_cast<unsigned>(8 * extra_len - total_extra);
  std::size_t extra_head = extra_len;
  auto put = [&](std::uint64_t bits, unsigned k) {  // bits < 2^k, k <= 56
    acc |= (bits << 1) << (63 - pending - k);
    pending += k;
    std::memcpy(extra + extra_head - 8, &acc, sizeof acc);
    const unsigned whole = pending >> 3;
    extra_head -= whole;
    acc <<= 8 * whole;
    pending &= 7;
  };

  std::size_t head = stream_size;
  std::uint32_t x = kEntropyStateLow;
  for (std::size_t i = n; i-- > 0;) {
    const T v = values[i];
    const EntropyToken tk = token_of_word(v);
    const TokenCoder& c = coders[tk.token];
    const unsigned sent = (x >= c.bound ? 1u : 0u) + (x >= c.bound_two ? 1u : 0u);
    stream[head - 1] = static_cast<unsigned char>(x & 0xFF);
    stream[head - 2] = static_cast<unsigned char>((x >> 8) & 0xFF);
    head -= sent;
    x >>= 8 * sent;
    const auto q = static_cast<std::uint32_t>((std::uint64_t{x} * c.reciprocal) >> c.shift);
    x += c.start + q * c.step;

    const unsigned e = tk.extra_bits;
    const std::uint64_t low = v & ((std::uint64_t{1} << e) - 1);
    if (sizeof(T) <= 4 || e <= 56) {
      put(low, e);
    } else {
      put(low >> 32, e - 32);
      put(low & 0xFFFFFFFF, 32);
    }
  }
  // Written from the front end downwards, most significant first: read forwards it is the
  // little-endian state the decoder starts from.
  for (int b = 3; b >= 0; --b) stream[--head] = static_cast<unsigned char>(x >> (8 * b));
  const std::size_t stream_len = stream_size - head;
  std::string length;
  write_varint_u64(stream_len, length);
  std::memcpy(stream + head - length.size(), length.data(), length.size());
  out.replace(extra_at, 8, reinterpret_cast<const char*>(stream + head - length.size()), length.size() + stream_len);
}

template <class T>
void encode_entropy_body_of(const T* values, std::size_t n, std::string& out) {
  const TokenCounts counts = count_tokens(values, n);
  const TokenTable freq = scale_frequencies(counts, n);
  write_frequency_table(freq, out);
  encode_stream_backwards(values, n, make_coders(freq), counts.total_extra, out);
}

}  // namespace

void encode_entropy_body(const std::uint64_t* values, std::size_t n, std::string& out) {
  encode_entropy_body_of(values, n, out);
}
void encode_entropy_body(const std::uint32_t* values, std::size_t n, std::string& out) {
  encode_entropy_body_of(values, n, out);
}
void encode_entropy_body(const std::uint16_t* values, std::size_t n, std::string& out) {
  encode_entropy_body_of(values, n, out);
}
void encode_entropy_body(const std::uint8_t* values, std::size_t n, std::string& out) {
  encode_entropy_body_of(values, n, out);
}

std::string encode_entropy_body(const std::vector<std::uint64_t>& values) {
  std::string out;
  encode_entropy_body(values.data(), values.size(), out);
  return out;
}

EntropyBodyReader::EntropyBodyReader(ByteCursor& cursor, std::uint64_t count, std::uint64_t max_kept_tokens)
    : count_(count) {
  if (count == 0) return;
  const std::uint64_t k = cursor_read_varint_u64(cursor);
  if (k == 0 || k > kEntropyTokenCount) throw Error(kInvalidEntropyTable);

  std::uint32_t total = 0;
  std::int64_t previous = -1;
  for (std::uint64_t i = 0; i < k; ++i) {
    const std::uint64_t delta = cursor_read_varint_u64(cursor);
    const std::uint64_t f_minus_1 = cursor_read_varint_u64(cursor);
    // Both can be near 2^64; compare before adding so nothing wraps.
    if (delta > 253 || static_cast<std::uint64_t>(previous + 1) + delta > 253) throw Error(kInvalidEntropyTable);
    const unsigned token = static_cast<unsigned>(previous + 1 + static_cast<std::int64_t>(delta));
    if (token == 4 || token == 5) throw Error(kInvalidEntropyTable);
    if (f_minus_1 >= kEntropyScale || total + f_minus_1 + 1 > kEntropyScale) throw Error(kInvalidEntropyTable);
    const std::uint32_t f = static_cast<std::uint32_t>(f_minus_1 + 1);
    freq_[token] = f;
    start_[token] = total;
    std::memset(slot_token_.data() + total, static_cast<int>(token), f);
    total += f;
    previous = token;
  }
  if (total != kEntropyScale) throw Error(kInvalidEntropyTable);

  const std::uint64_t stream_len = cursor_read_varint_u64(cursor);
  const std::string_view stream = cursor_take_bytes(cursor, stream_len);
  if (stream_len < 4) throw Error(kTruncatedEntropyStream);
  stream_ = reinterpret_cast<const unsigned char*>(stream.data());
  first_state_ = static_cast<std::uint32_t>(stream_[0]) | static_cast<std::uint32_t>(stream_[1]) << 8 |
                 static_cast<std::uint32_t>(stream_[2]) << 16 | static_cast<std::uint32_t>(stream_[3]) << 24;
  if (first_state_ < kEntropyStateLow || first_state_ >= (1u << 31)) throw Error(kInvalidEntropyState);

  // A first pass over the tokens: the stream must end exactly where the state returns to its
  // start, and the tokens say how many extra bits follow.
  std::uint32_t x = first_state_;
  std::uint64_t p = 4;
  u128 total_extra = 0;
  auto walk = [&](auto keep) {
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint32_t slot = x & (kEntropyScale - 1);
      const std::uint8_t t = slot_token_[slot];
      if constexpr (decltype(keep)::value) tokens_.push_back(t);
      total_extra += kTokenExtraBits[t];
      x = freq_[t] * (x >> kEntropyScaleBits) + slot - start_[t];
      while (x < kEntropyStateLow) {
        if (p == stream_len) throw Error(kTruncatedEntropyStream);
        x = (x << 8) | stream_[p++];
      }
    }
  };
  if (count <= max_kept_tokens) {
    // Room at once for at most max_kept_tokens bytes, whatever the count claims: pages are
    // touched only as tokens arrive, and the list is never copied to grow (its copy would double
    // the peak).
    tokens_.reserve(static_cast<std::size_t>(count));
    walk(std::true_type{});
  } else {
    walk(std::false_type{});
  }
  if (p != stream_len || x != kEntropyStateLow) throw Error(kInvalidEntropyStream);

  const u128 extra_len = (total_extra + 7) / 8;
  if (extra_len > cursor.remaining()) throw Error(kCursorOutOfBytes);
  extra_ = reinterpret_cast<const unsigned char*>(cursor_take_bytes(cursor, static_cast<std::uint64_t>(extra_len)).data());
  extra_end_ = extra_ + static_cast<std::size_t>(extra_len);
  // Exactly ceil(E / 8) bytes were taken, so only the last byte's high bits are padding.
  const unsigned used_in_last = static_cast<unsigned>(total_extra % 8);
  if (used_in_last != 0 && (extra_[extra_len - 1] >> used_in_last) != 0) throw Error(kInvalidEntropyPadding);
  rewind();
}

void EntropyBodyReader::rewind() {
  next_ = 0;
  state_ = first_state_;
  // An empty body has no stream at all, and no offset may be added to its null pointer.
  stream_at_ = stream_ != nullptr ? stream_ + 4 : nullptr;
  extra_at_ = extra_;
  bits_ = 0;
  bit_count_ = 0;
}

void EntropyBodyReader::read(std::uint64_t* out, std::size_t n) {
  if (n > left()) throw std::logic_error("entropy body read past its count");
  // The constructor walked this very stream: no refill or extra byte can run past its end.
  std::uint32_t x = state_;
  const unsigned char* stream = stream_at_;
  const unsigned char* extra = extra_at_;
  std::uint64_t bits = bits_;
  unsigned have = bit_count_;
  // The next k <= 56 raw bits. Refilled eight bytes at a time while eight remain: the bits above
  // `have` are then either 0 or the very bits the next refill puts there, so OR-ing them in again
  // changes nothing. Never more than 63 bits are held.
  const unsigned char* const extra_end = extra_end_;
  auto take = [&](unsigned k) {
    if (have < k) {
      if (extra_end - extra >= 8) {
        std::uint64_t word;
        std::memcpy(&word, extra, 8);
        if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
        bits |= word << have;
        const unsigned bytes = (63 - have) / 8;
        extra += bytes;
        have += 8 * bytes;
      } else {
        while (have < k) {
          bits |= static_cast<std::uint64_t>(*extra++) << have;
          have += 8;
        }
      }
    }
    const std::uint64_t low = bits & ((std::uint64_t{1} << k) - 1);
    bits >>= k;
    have -= k;
    return low;
  };
  // Small values are tokens with no raw bits and a base of their own, so every token takes the
  // same path.
  auto value_of = [&](unsigned t) {
    const unsigned e = kTokenExtraBits[t];
    std::uint64_t low;
    if (e <= 56) {
      low = take(e);
    } else {
      low = take(32);
      low |= take(e - 32) << 32;
    }
    return kTokenBase[t] | low;
  };
  if (!tokens_.empty()) {
    const std::uint8_t* tokens = tokens_.data() + next_;
    for (std::size_t i = 0; i < n; ++i) out[i] = value_of(tokens[i]);
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t slot = x & (kEntropyScale - 1);
      const unsigned t = slot_token_[slot];
      x = freq_[t] * (x >> kEntropyScaleBits) + slot - start_[t];
      while (x < kEntropyStateLow) x = (x << 8) | *stream++;
      out[i] = value_of(t);
    }
  }
  state_ = x;
  stream_at_ = stream;
  extra_at_ = extra;
  bits_ = bits;
  bit_count_ = have;
  next_ += n;
}

IntegerList decode_entropy_body(ByteCursor& cursor, std::uint64_t count) {
  EntropyBodyReader reader(cursor, count);
  IntegerList out(Signedness::Unsigned);
  // Grown a piece at a time, never reserved by the claimed count.
  std::uint64_t piece[4096];
  while (reader.left() > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(reader.left(), std::size(piece)));
    reader.read(piece, n);
    out.words().insert(out.words().end(), piece, piece + n);
  }
  return out;
}

}  // namespace corvale
