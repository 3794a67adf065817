#pragma once
// A list of non-negative integers in one of three body layouts (varints, byte planes, entropy
// coded), and the small signed transforms callers wrap around a body. Lists are IntegerLists:
// 64-bit words while every value fits, big integers otherwise, behind the same functions.

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "codecs/numbers/entropy.h"
#include "core/bigint.h"
#include "core/integer_list.h"
#include "core/magnitude_budget.h"
#include "core/varint.h"

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

// The layouts in the order candidates are offered.
inline constexpr std::uint8_t kLayoutsInOrder[] = {kLayoutVarints, kLayoutBytePlanes, kLayoutEntropy};

// Appends the body of the values of magnitudes from index first on (read as non-negative) in one
// layout to out, and returns true; returns false, appending nothing, when the layout does not
// apply: byte planes need every value below 2^256, entropy a non-empty list of values below
// 2^64. Encoders that compare layouts build each candidate this way straight into the buffer
// that frames it.
bool append_number_list_body(const IntegerList& magnitudes, std::size_t first, std::uint8_t layout, std::string& out);

// Every layout that applies, in the order of kLayoutsInOrder.
std::vector<LayoutCandidate> encode_number_list_candidates(const IntegerList& magnitudes);

// Reads a body in pieces. The constructor checks the body's framing (layout, width, plane
// bytes, varint ends, the whole entropy stream) in the order the format's checks run, and moves
// the cursor just past the body; read() then yields the values in order. A decoder thus holds a
// piece of the values at a time, never the whole list a few payload bytes may claim.
class NumberListBodyReader {
 public:
  // count values in the layout of method's bits 2 and 4 (its other bits are the caller's).
  NumberListBodyReader(ByteCursor& cursor, std::uint8_t method, std::uint64_t count);

  std::uint64_t left() const { return count_ - next_; }
  // Appends the next values to out (an unsigned list): at most max of them, and never more
  // after one that is longer than 64 bytes, so that a piece stays small. Returns how many.
  std::size_t read(IntegerList& out, std::size_t max);
  // Back to the first value.
  void rewind();

 private:
  // read() of n > 0 values in each layout.
  std::size_t read_varints(IntegerList& out, std::size_t n);
  void read_entropy(IntegerList& out, std::size_t n);
  void read_byte_planes(IntegerList& out, std::size_t n);

  std::uint8_t layout_;
  std::uint64_t count_;
  std::uint64_t next_ = 0;
  const unsigned char* data_ = nullptr;  // varints or planes
  std::uint64_t size_ = 0;               // of the varints
  std::uint64_t pos_ = 0;                // in the varints
  unsigned width_ = 0;                   // of the planes
  std::optional<EntropyBodyReader> entropy_;
};

// All count values at once: the reader, read to the end. For callers whose count is already
// bounded by their output; the list grows as values arrive, never reserved by the count.
IntegerList decode_number_list_body(ByteCursor& cursor, std::uint8_t method, std::uint64_t count);

BigInt zigzag_encode_big(const BigInt& x);
BigInt zigzag_decode_big(const BigInt& m);
inline std::uint64_t zigzag_encode_i64(std::int64_t x) {
  return (static_cast<std::uint64_t>(x) << 1) ^ static_cast<std::uint64_t>(x >> 63);
}
inline std::int64_t zigzag_decode_u64(std::uint64_t m) {
  return static_cast<std::int64_t>(m >> 1) ^ -static_cast<std::int64_t>(m & 1);
}

// The same on a word of any unsigned size, read as the signed word of that size: what packed
// lists store.
template <class T>
T zigzag_encode_word(T x) {
  using S = std::make_signed_t<T>;
  return static_cast<T>(static_cast<T>(x << 1) ^ static_cast<T>(static_cast<S>(x) >> (8 * sizeof(T) - 1)));
}
template <class T>
T zigzag_decode_word(T m) {
  return static_cast<T>((m >> 1) ^ static_cast<T>(0 - (m & 1)));
}

// The differences of a signed list, made in place: the first value, then each later value minus
// the one before it. Widens the list when a difference leaves 64 bits.
IntegerList delta_encode_big(IntegerList values);

// Running sums of a signed list, in place: each entry becomes itself plus every earlier entry
// plus carry, the sum of whatever came before this piece of a longer list; carry becomes the
// last sum. Sums that are big integers are charged to budget when one is given.
void prefix_sum_in_place(IntegerList& values, BigInt& carry, MagnitudeBudget* budget = nullptr);
void prefix_sum_in_place(IntegerList& values);

// Appends to a signed list the zigzag decoding of each magnitude, or base plus each magnitude.
void collect_zigzag_decoded_bigints(IntegerList& out, const IntegerList& magnitudes);
void collect_bigints_offset_by_base(IntegerList& out, const IntegerList& magnitudes, const BigInt& base,
                                    MagnitudeBudget* budget = nullptr);

}  // namespace corvale
