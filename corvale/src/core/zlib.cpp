#include "core/zlib.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>

#include "core/error.h"
#include "core/output_budget.h"

namespace corvale {
namespace {

// The inflater's output window; a claimed output size costs at most one window past the limit.
constexpr std::size_t kInflateWindow = 64 * 1024;

// zlib counts in uInt; feed it in pieces so that any length works.
constexpr std::size_t kMaxFeed = UINT_MAX;

// libdeflate has no error texts of its own.
constexpr const char kDeflateError[] = "deflate compression error";

// A compressor of libdeflate, freed on every path out of the call that made it.
class Compressor {
 public:
  explicit Compressor(int level) : c_(libdeflate_alloc_compressor(level)) {
    if (c_ == nullptr) throw std::bad_alloc();
  }
  ~Compressor() { libdeflate_free_compressor(c_); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  // Compresses all of data into a buffer of the worst-case size, left uninitialised so that only
  // the pages the stream reaches are ever touched; returns the stream's length. A buffer that is
  // already large enough is used as it is.
  std::size_t compress(std::string_view data, std::unique_ptr<char[]>& out, std::size_t& capacity, bool zlib = false) {
    const std::size_t bound = zlib ? libdeflate_zlib_compress_bound(c_, data.size())
                                   : libdeflate_deflate_compress_bound(c_, data.size());
    const std::size_t n = run(data, out, capacity, bound, zlib);
    // Cannot happen with a buffer of the bound's size; kept so that a short stream is never
    // mistaken for a size.
    if (n == 0) throw Error(kDeflateError);
    return n;
  }

  // The raw deflate stream's length when it is at most max_size bytes, else nothing.
  std::optional<std::size_t> compress_within(std::string_view data, std::uint64_t max_size,
                                             std::unique_ptr<char[]>& out, std::size_t& capacity) {
    const std::size_t bound = libdeflate_deflate_compress_bound(c_, data.size());
    // libdeflate gives up (returns 0) once its output comes within kEndSlack bytes of the end of
    // the buffer; with this much room past max_size, every stream of at most max_size bytes is
    // still written whole, and a stream never depends on the room it was given.
    // (Every bound is at least 14 bytes: an empty stored block and the slack.)
    const std::size_t room = max_size < bound - kEndSlack ? static_cast<std::size_t>(max_size) + kEndSlack : bound;
    const std::size_t n = run(data, out, capacity, room, false);
    if (n == 0 || n > max_size) return std::nullopt;
    return n;
  }

 private:
  // The slack the bound keeps past any stream: libdeflate's 8-byte padding and one byte more.
  static constexpr std::size_t kEndSlack = 9;

  std::size_t run(std::string_view data, std::unique_ptr<char[]>& out, std::size_t& capacity, std::size_t room,
                  bool zlib) {
    if (capacity < room) {
      out.reset(new char[room]);
      capacity = room;
    }
    return zlib ? libdeflate_zlib_compress(c_, data.data(), data.size(), out.get(), room)
                : libdeflate_deflate_compress(c_, data.data(), data.size(), out.get(), room);
  }

  libdeflate_compressor* c_;
};

// The level-2 compressor and buffer of the outermost FastDeflateScope on this thread.
struct FastDeflateState {
  Compressor compressor{2};
  std::unique_ptr<char[]> out;
  std::size_t capacity = 0;
};
thread_local FastDeflateState* t_fast_deflate = nullptr;

class Inflater {
 public:
  explicit Inflater(bool zlib) {
    // windowBits 15: zlib header and Adler-32 trailer; -15: raw deflate.
    const int rc = inflateInit2(&strm_, zlib ? 15 : -15);
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc != Z_OK) throw Error(kInflateError);
  }
  ~Inflater() { inflateEnd(&strm_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // One inflate call over the input from `consumed` on, into the `room` bytes at window (one
  // window's worth unless told): the zlib status, the input bytes it used and the output bytes
  // it wrote.
  struct Step {
    int rc;
    std::size_t used;
    std::size_t written;
  };
  Step step(std::string_view data, std::size_t consumed, char* window, std::size_t room = kInflateWindow) {
    const std::size_t offered = std::min(data.size() - consumed, kMaxFeed);
    strm_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + consumed));
    strm_.avail_in = static_cast<uInt>(offered);
    strm_.next_out = reinterpret_cast<Bytef*>(window);
    strm_.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&strm_, Z_NO_FLUSH);
    return {rc, offered - strm_.avail_in, room - strm_.avail_out};
  }

 private:
  z_stream strm_{};
};

}  // namespace

std::uint64_t deflate_compress_fast_bound(std::uint64_t length) {
  // No compressor: the bound of every compressor this library can make, so none is allocated.
  return libdeflate_deflate_compress_bound(nullptr, static_cast<std::size_t>(length));
}

FastDeflateScope::FastDeflateScope() : owner_(t_fast_deflate == nullptr) {
  if (owner_) t_fast_deflate = new FastDeflateState;
}

FastDeflateScope::~FastDeflateScope() {
  if (!owner_) return;
  delete t_fast_deflate;
  t_fast_deflate = nullptr;
}

std::string deflate_compress_best(std::string_view data) {
  std::unique_ptr<char[]> out;
  std::size_t capacity = 0;
  const std::size_t n = Compressor(9).compress(data, out, capacity);
  // Copied out at its own size: bodies often shrink severalfold, and the result should not carry
  // the input's size as spare capacity.
  return std::string(out.get(), n);
}

std::optional<std::uint64_t> deflate_compress_best_within(std::string_view data, std::uint64_t max_size) {
  std::unique_ptr<char[]> out;
  std::size_t capacity = 0;
  return Compressor(9).compress_within(data, max_size, out, capacity);
}

std::string zlib_compress_best(std::string_view data) {
  std::unique_ptr<char[]> out;
  std::size_t capacity = 0;
  const std::size_t n = Compressor(9).compress(data, out, capacity, true);
  return std::string(out.get(), n);
}

std::uint64_t deflate_compress_fast(std::string_view data) {
  if (FastDeflateState* state = t_fast_deflate) return state->compressor.compress(data, state->out, state->capacity);
  std::unique_ptr<char[]> out;
  std::size_t capacity = 0;
  return Compressor(2).compress(data, out, capacity);
}

std::optional<std::uint64_t> deflate_compress_fast_within(std::string_view data, std::uint64_t max_size) {
  if (FastDeflateState* state = t_fast_deflate) {
    return state->compressor.compress_within(data, max_size, state->out, state->capacity);
  }
  std::unique_ptr<char[]> out;
  std::size_t capacity = 0;
  return Compressor(2).compress_within(data, max_size, out, capacity);
}

namespace {

// libdeflate's inflate, where it can answer alone: the whole stream at once, several times
// faster than zlib's steps, but into a buffer that must hold all of it and with no way to go
// on from where a full one stopped. The buffer starts at a few times the stream's own size and
// grows fourfold to the limit, each try from the start, so a stream that claims much more than
// it holds costs memory only as far as its bytes really arrive (the tries together cost at most
// a third more than the last). Answers the bytes when data is one complete stream of at most
// limit bytes, which the patched library accepts only when zlib does; nothing on any other
// outcome, whose message zlib's steps then find.
std::optional<ByteBuffer> inflate_whole(std::string_view data, std::uint64_t limit, bool zlib) {
  const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  if (!decompressor) return std::nullopt;
  const std::uint64_t first = std::max<std::uint64_t>(kInflateWindow, data.size() < (UINT64_MAX >> 4) ? 8 * data.size() : UINT64_MAX);
  std::uint64_t room = std::min({first, limit, std::uint64_t{SIZE_MAX}});
  for (;;) {
    ByteBuffer out;
    try {
      out = ByteBuffer(static_cast<std::size_t>(room));
    } catch (const std::bad_alloc&) {
      // zlib's steps allocate only for bytes that arrive.
      return std::nullopt;
    }
    std::size_t used = 0;
    std::size_t written = 0;
    const libdeflate_result rc =
        zlib ? libdeflate_zlib_decompress_ex(decompressor.get(), data.data(), data.size(), out.data(), out.size(), &used, &written)
             : libdeflate_deflate_decompress_ex(decompressor.get(), data.data(), data.size(), out.data(), out.size(), &used, &written);
    if (rc == LIBDEFLATE_SUCCESS) {
      if (used != data.size()) return std::nullopt;
      out.resize(written);
      return out;
    }
    if (rc != LIBDEFLATE_INSUFFICIENT_SPACE || room >= std::min<std::uint64_t>(limit, SIZE_MAX)) return std::nullopt;
    out = ByteBuffer();  // freed before the larger one is taken
    room = std::min({room < (UINT64_MAX >> 2) ? 4 * room : UINT64_MAX, limit, std::uint64_t{SIZE_MAX}});
  }
}

}  // namespace

ByteBuffer inflate_limited(std::string_view data, std::uint64_t limit, bool zlib) {
  if (std::optional<ByteBuffer> whole = inflate_whole(data, limit, zlib)) return std::move(*whole);
  Inflater inflater(zlib);
  ByteBuffer out;
  std::size_t consumed = 0;
  for (;;) {
    // Inflated in place, one window's room a step: zlib sees the same steps as with a separate
    // window, so a stream fails at the same point with the same message.
    const std::size_t at = out.size();
    if (out.capacity() - at < kInflateWindow) {
      // Grow geometrically, but never beyond one window past the limit, so a stream claiming a
      // huge output holds no more than that.
      const std::uint64_t wanted = std::max<std::uint64_t>(at + kInflateWindow, 2 * static_cast<std::uint64_t>(out.capacity()));
      const std::uint64_t most = limit > UINT64_MAX - kInflateWindow ? UINT64_MAX : limit + kInflateWindow;
      out.reserve(static_cast<std::size_t>(std::min(wanted, most)));
    }
    // zlib copies the end of each call's output into its own window, so a call covers as many
    // windows as the buffer has room for, but only while none of them but the last can pass the
    // limit: the calls then fail at the same point with the same message as a window a call.
    const std::uint64_t windows_free = (out.capacity() - at) / kInflateWindow;
    const std::uint64_t windows_under_limit = room_under_limit(at, limit) / kInflateWindow + 1;
    const std::uint64_t windows =
        std::min({windows_free, windows_under_limit, std::uint64_t{UINT_MAX / kInflateWindow}});
    const auto [rc, c, w] = inflater.step(data, consumed, out.data() + at, windows * kInflateWindow);
    if (rc == Z_NEED_DICT) throw Error(kInflateNeedsDictionary);
    // A buffer error only means that this step could not move; the progress test below decides.
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw Error(kInflateError);

    // Before the end-of-stream test, so that a last step past the limit fails on the limit.
    check_output_room(at, w, limit);
    out.resize(at + w);
    consumed += c;

    if (rc == Z_STREAM_END) {
      if (consumed < data.size()) throw Error(kTrailingZlibData);
      return out;
    }
    if (c == 0 && w == 0) throw Error(kTruncatedZlibStream);
  }
}

void inflate_zlib_prefix(std::string_view data, std::uint64_t limit, std::string& out) {
  Inflater inflater(true);
  const std::size_t start = out.size();
  std::string window(kInflateWindow, '\0');
  std::size_t consumed = 0;
  for (;;) {
    const auto [rc, c, w] = inflater.step(data, consumed, window.data());
    // At most limit bytes so far: the loop returns as soon as it is past, and a reader that
    // stops there never sees what follows, a fault included.
    const std::uint64_t left = limit - (out.size() - start);
    if (w > left) {
      out.append(window.data(), static_cast<std::size_t>(left) + 1);
      return;
    }
    out.append(window.data(), w);
    // A stream that needs a preset dictionary cannot be read here: it is as corrupt as bad data.
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw Error(kCorruptDeflateStream);
    consumed += c;
    if (rc == Z_STREAM_END) return;
    if (c == 0 && w == 0) throw Error(kIncompleteDeflateStream);
  }
}

std::uint32_t crc32_of(std::string_view data) { return crc32_update(0, data); }

std::uint32_t crc32_update(std::uint32_t crc, std::string_view data) {
  // libdeflate's CRC-32 uses the processor's carry-less multiply where it has one, several times
  // faster than zlib's on whole outputs. It starts over at 0 when given no buffer, so an empty
  // piece must not reach it.
  if (data.empty()) return crc;
  return libdeflate_crc32(crc, data.data(), data.size());
}

std::uint32_t crc32_combine_of(std::uint32_t crc_a, std::uint32_t crc_b, std::uint64_t length_b) {
  // zlib takes the length as a long, 32 bits on Windows; a longer b shifts crc_a in steps, as
  // combining with a CRC of 0 only moves crc_a past that many bytes.
  constexpr std::uint64_t kStep = 0x4000'0000;
  uLong crc = crc_a;
  for (; length_b > kStep; length_b -= kStep) crc = ::crc32_combine(crc, 0, static_cast<z_off_t>(kStep));
  return static_cast<std::uint32_t>(::crc32_combine(crc, crc_b, static_cast<z_off_t>(length_b)));
}

}  // namespace corvale
