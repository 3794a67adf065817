#pragma once
// Static rANS over small tokens, with the low bits of each value sent raw beside the stream:
// the entropy-coded layout of a number-list body.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bigint.h"
#include "codecs/varint.h"

namespace corvale {

inline constexpr const char kInvalidEntropyTable[] = "Invalid entropy table";
inline constexpr const char kTruncatedEntropyStream[] = "Truncated entropy stream";
inline constexpr const char kInvalidEntropyState[] = "Invalid entropy state";
inline constexpr const char kInvalidEntropyStream[] = "Invalid entropy stream";
inline constexpr const char kInvalidEntropyPadding[] = "Invalid entropy padding";

inline constexpr unsigned kEntropyTokenCount = 254;
inline constexpr std::uint32_t kEntropyScaleBits = 14;
inline constexpr std::uint32_t kEntropyScale = 1u << kEntropyScaleBits;
inline constexpr std::uint32_t kEntropyStateLow = 1u << 23;

struct EntropyToken {
  std::uint8_t token;       // 0..253; 4 and 5 never occur
  std::uint8_t extra_bits;  // 0..61: the low bits of the value sent raw
};

// Values below 4 are their own token; above, the token is the bit length and the two bits under
// the top bit, so each token covers a range whose width doubles every four tokens.
inline EntropyToken entropy_token(std::uint64_t v) {
  if (v < 4) return {static_cast<std::uint8_t>(v), 0};
  const unsigned bits = 64 - static_cast<unsigned>(__builtin_clzll(v));
  const unsigned extra = bits - 3;
  return {static_cast<std::uint8_t>(4 * bits - 6 + ((v >> extra) & 3)), static_cast<std::uint8_t>(extra)};
}

// Appends the entropy body of values (n >= 1) to out.
void encode_entropy_body(const std::uint64_t* values, std::size_t n, std::string& out);
std::string encode_entropy_body(const std::vector<std::uint64_t>& values);

// Reads count values (every one below 2^64 by construction). Reads nothing when count is 0.
std::vector<std::uint64_t> decode_entropy_body_u64(ByteCursor& cursor, std::uint64_t count);
// The same, appending the values to out, which grows only once the body has passed its checks.
void decode_entropy_body_append(ByteCursor& cursor, std::uint64_t count, std::vector<std::uint64_t>& out);
std::vector<BigInt> decode_entropy_body(ByteCursor& cursor, std::uint64_t count);

}  // namespace corvale
