#pragma once
// Static rANS over small tokens, with the low bits of each value sent raw beside the stream:
// the entropy-coded layout of a number-list body.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/integer_list.h"
#include "core/varint.h"

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
inline constexpr std::uint64_t kKeptEntropyTokens = std::uint64_t{1} << 24;

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

// Appends the entropy body of values (n >= 1) to out; the narrower forms take packed words.
void encode_entropy_body(const std::uint64_t* values, std::size_t n, std::string& out);
void encode_entropy_body(const std::uint32_t* values, std::size_t n, std::string& out);
void encode_entropy_body(const std::uint16_t* values, std::size_t n, std::string& out);
void encode_entropy_body(const std::uint8_t* values, std::size_t n, std::string& out);
std::string encode_entropy_body(const std::vector<std::uint64_t>& values);

// Decodes an entropy body in pieces. The constructor checks the whole body in the order the
// format's checks run (table, stream, final state, extra bits, padding) and moves the cursor
// past it; read() then yields the values in order. The constructor's walk through the stream
// keeps each token (one byte) for read() when the body has at most kKeptEntropyTokens values,
// so that the stream is decoded once; a longer body is walked again by read(), holding nothing
// per value. So a decoder never holds more than that many tokens, nor a word for every value,
// however many a tiny body claims.
class EntropyBodyReader {
 public:
  // count = 0 reads nothing. Tokens are kept for read() when count <= max_kept_tokens.
  EntropyBodyReader(ByteCursor& cursor, std::uint64_t count, std::uint64_t max_kept_tokens = kKeptEntropyTokens);

  std::uint64_t left() const { return count_ - next_; }
  // Writes the next n values (n <= left()) to out.
  void read(std::uint64_t* out, std::size_t n);
  // Back to the first value.
  void rewind();

 private:
  std::array<std::uint32_t, kEntropyTokenCount> freq_{};
  std::array<std::uint32_t, kEntropyTokenCount> start_{};
  std::array<std::uint8_t, kEntropyScale> slot_token_{};
  const unsigned char* stream_ = nullptr;
  const unsigned char* extra_ = nullptr;
  const unsigned char* extra_end_ = nullptr;
  std::vector<std::uint8_t> tokens_;  // every token, or none when the body has too many
  std::uint64_t count_ = 0;
  std::uint32_t first_state_ = 0;

  std::uint64_t next_ = 0;
  std::uint32_t state_ = 0;
  const unsigned char* stream_at_ = nullptr;
  const unsigned char* extra_at_ = nullptr;
  std::uint64_t bits_ = 0;
  unsigned bit_count_ = 0;
};

// All count values at once (the reader, read to the end).
IntegerList decode_entropy_body(ByteCursor& cursor, std::uint64_t count);

}  // namespace corvale
