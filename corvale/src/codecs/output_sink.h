#pragma once
// Where a decoder that streams its text puts it, a piece at a time and in order, so that a
// large output is never held whole. A decoder that has to read its payload again from the
// start says so with restart(), and everything written before is dropped.

#include <string_view>

namespace corvale {

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
