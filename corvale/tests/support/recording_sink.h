#pragma once
// An output sink for tests: keeps what a streaming decoder hands on, and what it dropped when
// it started over.

#include <cstddef>
#include <string>
#include <string_view>

#include "codecs/output_sink.h"

namespace corvale::test {

struct RecordingSink final : OutputSink {
  void write(std::string_view bytes) override {
    text.append(bytes);
    ++pieces;
  }
  void restart() override {
    dropped += text.size();
    text.clear();
    ++restarts;
  }

  std::string text;
  int pieces = 0;
  int restarts = 0;
  std::size_t dropped = 0;
};

}  // namespace corvale::test
