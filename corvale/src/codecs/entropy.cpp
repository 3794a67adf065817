#include "codecs/entropy.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace corvale {

namespace {

using u128 = unsigned __int128;

inline unsigned extra_bits_of_token(unsigned t) { return t < 6 ? 0 : (t - 6) / 4; }

}  // namespace

void encode_entropy_body(const std::uint64_t* values, std::size_t n, std::string& out) {
  std::vector<std::uint8_t> tokens(n);
  std::array<std::uint64_t, kEntropyTokenCount> counts{};
  std::uint64_t total_extra = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const EntropyToken tk = entropy_token(values[i]);
    tokens[i] = tk.token;
    ++counts[tk.token];
    total_extra += tk.extra_bits;
  }

  std::array<std::uint32_t, kEntropyTokenCount> freq{};
  std::array<std::uint8_t, kEntropyTokenCount> order{};
  unsigned present = 0;
  std::uint64_t sum = 0;
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    if (counts[t] == 0) continue;
    const std::uint64_t scaled = static_cast<std::uint64_t>(static_cast<u128>(counts[t]) * kEntropyScale / n);
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

  std::array<std::uint32_t, kEntropyTokenCount> start{};
  write_varint_u64(present, out);
  std::uint32_t running = 0;
  int previous = -1;
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    if (counts[t] == 0) continue;
    start[t] = running;
    running += freq[t];
    write_varint_u64(static_cast<std::uint64_t>(static_cast<int>(t) - previous - 1), out);
    write_varint_u64(freq[t] - 1, out);
    previous = static_cast<int>(t);
  }

  // The division by f becomes a multiplication: with m = floor(2^63 / f) + 1 the product's top
  // bits are exactly floor(x / f) for every state below 2^31 (the error stays under 2^-32 while
  // the fraction of x / f is at most 1 - 2^-14).
  struct Coder {
    std::uint32_t bound, freq, start;
    std::uint64_t reciprocal;
  };
  std::array<Coder, kEntropyTokenCount> coders{};
  for (unsigned t = 0; t < kEntropyTokenCount; ++t) {
    if (counts[t] == 0) continue;
    coders[t] = {freq[t] << 17, freq[t], start[t], (std::uint64_t{1} << 63) / freq[t] + 1};
  }

  // The encoder runs backwards so that the decoder reads forwards; at most two renormalisation
  // bytes per token, written from the end of the buffer towards its front.
  std::vector<unsigned char> stream(2 * n + 4);
  std::size_t head = stream.size();
  std::uint32_t x = kEntropyStateLow;
  for (std::size_t i = n; i-- > 0;) {
    const Coder& c = coders[tokens[i]];
    while (x >= c.bound) {
      stream[--head] = static_cast<unsigned char>(x & 0xFF);
      x >>= 8;
    }
    const auto q = static_cast<std::uint32_t>((static_cast<u128>(x) * c.reciprocal) >> 63);
    x = (q << kEntropyScaleBits) + (x - q * c.freq) + c.start;
  }
  // Written from the front end downwards, most significant first: read forwards it is the
  // little-endian state the decoder starts from.
  for (int b = 3; b >= 0; --b) stream[--head] = static_cast<unsigned char>(x >> (8 * b));
  const std::size_t stream_len = stream.size() - head;
  write_varint_u64(stream_len, out);
  out.append(reinterpret_cast<const char*>(stream.data() + head), stream_len);

  const std::size_t extra_start = out.size();
  out.resize(extra_start + static_cast<std::size_t>((total_extra + 7) / 8));
  char* dst = out.data() + extra_start;
  u128 acc = 0;
  unsigned pending = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned e = extra_bits_of_token(tokens[i]);
    if (e == 0) continue;
    acc |= static_cast<u128>(values[i] & ((std::uint64_t{1} << e) - 1)) << pending;
    pending += e;
    while (pending >= 8) {
      *dst++ = static_cast<char>(static_cast<unsigned char>(acc));
      acc >>= 8;
      pending -= 8;
    }
  }
  if (pending > 0) *dst++ = static_cast<char>(static_cast<unsigned char>(acc));
}

std::string encode_entropy_body(const std::vector<std::uint64_t>& values) {
  std::string out;
  encode_entropy_body(values.data(), values.size(), out);
  return out;
}

std::vector<std::uint64_t> decode_entropy_body_u64(ByteCursor& cursor, std::uint64_t count) {
  std::vector<std::uint64_t> values;
  decode_entropy_body_append(cursor, count, values);
  return values;
}

void decode_entropy_body_append(ByteCursor& cursor, std::uint64_t count, std::vector<std::uint64_t>& out) {
  if (count == 0) return;
  const std::uint64_t k = cursor_read_varint_u64(cursor);
  if (k == 0 || k > kEntropyTokenCount) throw Error(kInvalidEntropyTable);

  std::array<std::uint32_t, kEntropyTokenCount> freq{};
  std::array<std::uint32_t, kEntropyTokenCount> start{};
  std::array<std::uint8_t, kEntropyScale> slot_token;
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
    freq[token] = f;
    start[token] = total;
    std::memset(slot_token.data() + total, static_cast<int>(token), f);
    total += f;
    previous = token;
  }
  if (total != kEntropyScale) throw Error(kInvalidEntropyTable);

  const std::uint64_t stream_len = cursor_read_varint_u64(cursor);
  const std::string_view stream_view = cursor_take_bytes(cursor, stream_len);
  if (stream_len < 4) throw Error(kTruncatedEntropyStream);
  const auto* stream = reinterpret_cast<const unsigned char*>(stream_view.data());
  std::uint32_t x = static_cast<std::uint32_t>(stream[0]) | static_cast<std::uint32_t>(stream[1]) << 8 |
                    static_cast<std::uint32_t>(stream[2]) << 16 | static_cast<std::uint32_t>(stream[3]) << 24;
  if (x < kEntropyStateLow || x >= (1u << 31)) throw Error(kInvalidEntropyState);
  std::uint64_t p = 4;

  std::vector<std::uint8_t> tokens(count);
  std::uint64_t total_extra = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint32_t slot = x & (kEntropyScale - 1);
    const std::uint8_t t = slot_token[slot];
    tokens[i] = t;
    total_extra += extra_bits_of_token(t);
    x = freq[t] * (x >> kEntropyScaleBits) + slot - start[t];
    while (x < kEntropyStateLow) {
      if (p == stream_len) throw Error(kTruncatedEntropyStream);
      x = (x << 8) | stream[p++];
    }
  }
  if (p != stream_len || x != kEntropyStateLow) throw Error(kInvalidEntropyStream);

  const std::string_view extra_view = cursor_take_bytes(cursor, (total_extra + 7) / 8);
  const auto* extra = reinterpret_cast<const unsigned char*>(extra_view.data());
  const std::size_t first = out.size();
  out.resize(first + count);
  std::uint64_t* values = out.data() + first;
  u128 acc = 0;
  unsigned have = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const unsigned t = tokens[i];
    if (t < 6) {
      values[i] = t;
      continue;
    }
    const unsigned e = (t - 6) / 4;
    while (have < e) {
      acc |= static_cast<u128>(*extra++) << have;
      have += 8;
    }
    const std::uint64_t bits = e == 0 ? 0 : static_cast<std::uint64_t>(acc) & ((std::uint64_t{1} << e) - 1);
    acc >>= e;
    have -= e;
    values[i] = ((std::uint64_t{4} + ((t - 6) & 3)) << e) | bits;
  }
  // Exactly ceil(E / 8) bytes were taken, so only the last byte's high bits can be left over.
  if (acc != 0) throw Error(kInvalidEntropyPadding);
}

std::vector<BigInt> decode_entropy_body(ByteCursor& cursor, std::uint64_t count) {
  std::vector<std::uint64_t> small = decode_entropy_body_u64(cursor, count);
  std::vector<BigInt> out;
  out.reserve(small.size());
  for (std::uint64_t v : small) out.emplace_back(v);
  return out;
}

}  // namespace corvale
