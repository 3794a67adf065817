#pragma once
// The only door to the deflate libraries: raw deflate at the two levels the codecs use and the
// CRC-32 of the container (through libdeflate, the faster of the two at both), and an inflater
// that never produces more than its limit: libdeflate's where it can tell the whole stream is
// sound, else zlib's, whose stepwise inflate gives every failure its message and bounds the
// work on hostile data.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"

namespace corvale {

inline constexpr const char kTrailingZlibData[] = "Trailing data after zlib stream";
inline constexpr const char kTruncatedZlibStream[] = "Truncated zlib stream";
inline constexpr const char kInflateError[] = "Invalid zlib payload: deflate decompression error";
inline constexpr const char kInflateNeedsDictionary[] =
    "Invalid zlib payload: deflate decompression error: requires a dictionary";

// The raw deflate stream (no header, no trailer) of data at level 9. Throws Error.
std::string deflate_compress_best(std::string_view data);

// The length of deflate_compress_best(data) when it is at most max_size, else nothing, giving up
// as deflate_compress_fast_within does: for a caller that only asks whether the level-9 stream
// comes in under a bound. Throws Error.
std::optional<std::uint64_t> deflate_compress_best_within(std::string_view data, std::uint64_t max_size);

// The zlib stream (RFC 1950: header, deflate at level 9, Adler-32) of data. Throws Error.
std::string zlib_compress_best(std::string_view data);

// The length of the raw deflate stream of data at level 2: the yardstick by which codecs pick
// between candidate encodings. Throws Error.
std::uint64_t deflate_compress_fast(std::string_view data);

// The same length when it is at most max_size, else nothing: the measurement of a candidate
// that must come in under the best so far. A losing stream is not written past max_size, and
// the compressor gives up as soon as it can prove the stream will pass it: at the end of a
// deflate block that does, or inside one once a lower bound on the block's cost does. A loser
// close to max_size is still read almost whole: input not yet parsed might cost nothing.
// Throws Error.
std::optional<std::uint64_t> deflate_compress_fast_within(std::string_view data, std::uint64_t max_size);

// The most bytes deflate_compress_fast can answer for any data of this length: what a candidate
// is known to measure at most before it is measured.
std::uint64_t deflate_compress_fast_bound(std::uint64_t length);

// While one lives on a thread, deflate_compress_fast on that thread reuses one compressor and one
// output buffer instead of making both for every measurement. A codec that weighs thousands of
// small candidates holds one for the length of its call; nested ones share the outermost.
class FastDeflateScope {
 public:
  FastDeflateScope();
  ~FastDeflateScope();
  FastDeflateScope(const FastDeflateScope&) = delete;
  FastDeflateScope& operator=(const FastDeflateScope&) = delete;

 private:
  bool owner_;
};

// Inflates a zlib stream (zlib = true, Adler-32 checked) or a raw deflate stream. The whole of
// data must be one complete stream, producing at most limit bytes. Throws Error with the message
// of zlib's steps, whichever library did the work.
ByteBuffer inflate_limited(std::string_view data, std::uint64_t limit, bool zlib);

inline constexpr const char kCorruptDeflateStream[] = "Invalid zlib payload: corrupt deflate stream";
inline constexpr const char kIncompleteDeflateStream[] = "Invalid zlib payload: incomplete deflate stream";

// Inflates the zlib stream at the start of data into out, ignoring any bytes after its end, and
// stops once it has produced more than limit bytes: at most limit + 1 bytes are appended, so the
// caller sees that the limit was passed and words that itself. On an error, out keeps what was
// inflated before it, so the caller can count that work too. Throws Error.
void inflate_zlib_prefix(std::string_view data, std::uint64_t limit, std::string& out);

// CRC-32 of IEEE 802.3 (reflected, initial and final inversion).
std::uint32_t crc32_of(std::string_view data);
// The CRC-32 of everything before data (0 for nothing) carried on over data, for data that
// arrives in pieces: crc32_update(crc32_of(a), b) == crc32_of(a + b).
std::uint32_t crc32_update(std::uint32_t crc, std::string_view data);
// crc32_of(a + b) from crc32_of(a), crc32_of(b) and the length of b: pieces
// checked on different threads are joined in order without being read again.
std::uint32_t crc32_combine_of(std::uint32_t crc_a, std::uint32_t crc_b, std::uint64_t length_b);

}  // namespace corvale
