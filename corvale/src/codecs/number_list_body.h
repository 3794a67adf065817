#pragma once
// A list of non-negative integers in one of three body layouts (varints, byte planes, entropy
// coded), and the small signed transforms callers wrap around a body.

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bigint.h"
#include "codecs/varint.h"

namespace corvale {

// Layout bits of a caller's method byte.
inline constexpr std::uint8_t kLayoutVarints = 0;
inline constexpr std::uint8_t kLayoutBytePlanes = 4;
inline constexpr std::uint8_t kLayoutEntropy = 16;

inline constexpr const char kInvalidLayout[] = "Invalid layout";
inline constexpr const char kInvalidBytePlaneWidth[] = "Invalid byte-plane width";

struct LayoutCandidate {
  std::uint8_t layout;  // kLayoutVarints, kLayoutBytePlanes or kLayoutEntropy
  std::string bytes;    // the body alone: no method byte, no length
};

// Every layout that applies to values, in the order varints, byte planes, entropy. Byte planes
// need every value below 2^256, entropy a non-empty list of values below 2^64.
std::vector<LayoutCandidate> encode_number_list_candidates(const std::vector<BigInt>& values);
// The same candidates, byte for byte, for values that are known to fit in 64 bits.
std::vector<LayoutCandidate> encode_number_list_candidates(const std::vector<std::uint64_t>& values);
// One of those candidates for n values that fit in 64 bits, appended to out: a caller comparing
// the layouts can build them one at a time into one buffer. The entropy layout needs n >= 1.
void append_number_list_body(const std::uint64_t* values, std::size_t n, std::uint8_t layout, std::string& out);

// count values in the layout of method's bits 2 and 4 (its other bits are the caller's).
std::vector<BigInt> decode_number_list_body(ByteCursor& cursor, std::uint8_t method, std::uint64_t count);

// The decoded values, kept in 64 bits unless one of them needs more.
struct DecodedBody {
  bool wide = false;
  std::vector<std::uint64_t> narrow;  // when !wide: front zero slots, then the count values
  std::vector<BigInt> values;         // when wide: the count values alone
};
// front: room left at the start of the narrow values, so that a caller can put values of its own
// before them without a second list.
DecodedBody decode_number_list_body_narrow(ByteCursor& cursor, std::uint8_t method, std::uint64_t count,
                                           std::size_t front = 0);

BigInt zigzag_encode_big(const BigInt& x);
BigInt zigzag_decode_big(const BigInt& m);
inline std::uint64_t zigzag_encode_i64(std::int64_t x) {
  return (static_cast<std::uint64_t>(x) << 1) ^ static_cast<std::uint64_t>(x >> 63);
}
inline std::int64_t zigzag_decode_u64(std::uint64_t m) {
  return static_cast<std::int64_t>(m >> 1) ^ -static_cast<std::int64_t>(m & 1);
}

std::vector<BigInt> delta_encode_big(const std::vector<BigInt>& values);
void prefix_sum_in_place(std::vector<BigInt>& values);
void collect_zigzag_decoded_bigints(std::vector<BigInt>& out, std::vector<BigInt> magnitudes);
void collect_bigints_offset_by_base(std::vector<BigInt>& out, std::vector<BigInt> magnitudes, const BigInt& base);

}  // namespace corvale
