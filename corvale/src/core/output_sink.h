#pragma once
// Where a decoder that streams its text puts it, a piece at a time and in order, so that a
// large output is never held whole. A decoder that has to read its payload again from the
// start says so with restart(), and everything written before is dropped.

#include <cstdint>
#include <string_view>

namespace corvale {

// Streaming decoders hand their text on in pieces of at least this much: large enough that a
// write costs little beside the text, small enough to stay in the processor's caches.
inline constexpr std::uint64_t kOutputPiece = 1 << 20;

class OutputSink {
 public:
  // Throws Error.
  virtual void write(std::string_view bytes) = 0;
  // Throws Error.
  virtual void restart() = 0;

 protected:
  OutputSink() = default;
  OutputSink(const OutputSink&) = default;
  OutputSink& operator=(const OutputSink&) = default;
  ~OutputSink() = default;
};

}  // namespace corvale
