#include "codecs/zlib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

#include "codecs/error.h"
#include "codecs/varint.h"

namespace corvale {
namespace {

// The inflater's output window; a claimed output size costs at most one window past the limit.
constexpr std::size_t kInflateWindow = 64 * 1024;
constexpr std::size_t kDeflateWindow = 64 * 1024;

// zlib counts in uInt; feed it in pieces so that any length works.
constexpr std::size_t kMaxFeed = UINT_MAX;

std::string zlib_error_text(const z_stream& strm, int code) {
  if (strm.msg != nullptr) return strm.msg;
  return zError(code);
}

class Deflater {
 public:
  explicit Deflater(int level) {
    // windowBits -15: raw deflate, no header or trailer.
    const int rc = deflateInit2(&strm_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc != Z_OK) throw Error(zlib_error_text(strm_, rc));
  }
  ~Deflater() { deflateEnd(&strm_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // One deflate call over the rest of data into [out, out + out_size); returns the bytes written
  // and sets done at the end of the stream.
  std::size_t step(std::string_view data, std::size_t& fed, char* out, std::size_t out_size, bool& done) {
    if (strm_.avail_in == 0 && fed < data.size()) {
      const std::size_t n = std::min(data.size() - fed, kMaxFeed);
      strm_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + fed));
      strm_.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    const std::size_t offered = std::min(out_size, kMaxFeed);
    strm_.next_out = reinterpret_cast<Bytef*>(out);
    strm_.avail_out = static_cast<uInt>(offered);
    const int rc = deflate(&strm_, fed == data.size() ? Z_FINISH : Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw Error(zlib_error_text(strm_, rc));
    done = rc == Z_STREAM_END;
    return offered - strm_.avail_out;
  }

 private:
  z_stream strm_{};
};

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

  z_stream& stream() { return strm_; }

 private:
  z_stream strm_{};
};

}  // namespace

std::string deflate_compress_best(std::string_view data) {
  Deflater deflater(9);
  // Through a window rather than a guessed full-size buffer: bodies often shrink severalfold,
  // and the result should not carry the input's size as spare capacity.
  std::string window(kDeflateWindow, '\0');
  std::string out;
  std::size_t fed = 0;
  for (bool done = false; !done;) {
    out.append(window.data(), deflater.step(data, fed, window.data(), window.size(), done));
  }
  return out;
}

std::uint64_t deflate_compress_fast(std::string_view data) {
  Deflater deflater(2);
  // Only the size matters, so the output goes through a small scratch window on the stack: the
  // probe runs once per candidate and should cost no more than the compressor itself.
  char window[16 * 1024];
  std::uint64_t total = 0;
  std::size_t fed = 0;
  for (bool done = false; !done;) total += deflater.step(data, fed, window, sizeof window, done);
  return total;
}

std::string inflate_limited(std::string_view data, std::uint64_t limit, bool zlib) {
  Inflater inflater(zlib);
  z_stream& strm = inflater.stream();
  std::string out;
  std::string window(kInflateWindow, '\0');
  std::size_t consumed = 0;
  for (;;) {
    const std::size_t offered = std::min(data.size() - consumed, kMaxFeed);
    strm.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + consumed));
    strm.avail_in = static_cast<uInt>(offered);
    strm.next_out = reinterpret_cast<Bytef*>(window.data());
    strm.avail_out = static_cast<uInt>(window.size());
    const int rc = inflate(&strm, Z_NO_FLUSH);
    const std::size_t c = offered - strm.avail_in;
    const std::size_t w = window.size() - strm.avail_out;

    if (rc == Z_NEED_DICT) throw Error(kInflateNeedsDictionary);
    // A buffer error only means that this step could not move; the progress test below decides.
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) throw Error(kInflateError);

    // Before the end-of-stream test, so that a last step past the limit fails on the limit.
    const std::uint64_t room = limit > out.size() ? limit - out.size() : 0;
    if (w > room) throw output_limit_error();
    if (w > 0) {
      if (out.capacity() - out.size() < w) {
        // Grow geometrically, but never beyond the limit, so a stream claiming a huge output
        // holds no more than limit bytes.
        const std::uint64_t wanted = std::max<std::uint64_t>(out.size() + w, 2 * static_cast<std::uint64_t>(out.capacity()));
        out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, limit)));
      }
      out.append(window.data(), w);
    }
    consumed += c;

    if (rc == Z_STREAM_END) {
      if (consumed < data.size()) throw Error(kTrailingZlibData);
      return out;
    }
    if (c == 0 && w == 0) throw Error(kTruncatedZlibStream);
  }
}

std::uint32_t crc32_of(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32_z(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<z_size_t>(data.size())));
}

}  // namespace corvale
