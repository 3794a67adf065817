#pragma once
// An output sink for tests: keeps what a streaming decoder hands on, and what it dropped when
// it started over.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/output_sink.h"
#include "core/text_buffer.h"
#include "support/expect_error.h"

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

// A payload of text restores under a limit equal to its length, whole through decode(payload,
// limit) and in pieces through stream(payload, limit, sink), and fails one byte short either way.
// The texts over 2 MiB given here go out in several pieces, those of one piece of records or less
// in one.
template <class Decode, class Stream>
void expect_restores_whole_and_streamed(const std::string& payload, const std::string& text, Decode&& decode,
                                        Stream&& stream) {
  EXPECT_TRUE(decode(payload, text.size()) == text);
  EXPECT_ERROR(decode(payload, text.size() - 1), "Output exceeds decompression limit");
  RecordingSink sink;
  stream(payload, text.size(), sink);
  EXPECT_TRUE(sink.text == text);
  if (text.size() > (std::size_t{2} << 20)) EXPECT_GT(sink.pieces, 1);
  if (text.size() <= kRecordPiece) EXPECT_EQ(sink.pieces, 1);
  EXPECT_EQ(sink.restarts, 0);
  RecordingSink short_sink;
  EXPECT_ERROR(stream(payload, text.size() - 1, short_sink), "Output exceeds decompression limit");
}

}  // namespace corvale::test
