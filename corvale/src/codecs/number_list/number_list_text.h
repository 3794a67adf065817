#pragma once
// The text of a number list as its values come: each line written straight into its place, the
// text proved to be integer lines as it grows, and its length bounded before big values print.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "codecs/number_list/number_list_proof.h"
#include "core/bigint.h"
#include "core/byte_buffer.h"
#include "core/integer_list.h"
#include "core/output_sink.h"
#include "core/text_buffer.h"
#include "core/u128.h"
#include "core/varint.h"

namespace corvale {

// The text, written as the values arrive into a buffer that grows as it goes and never past the
// limit. Once a line would pass the limit nothing more is written, but the caller reads on to the
// end of the body: a fault later in the payload is reported before the limit is. The buffer is
// never cleared: each byte is written once.
class ListTextWriter {
 public:
  // first_size: the size to start from (the text's size when it is known), held to the limit.
  // With a sink, the proven text goes there once there is enough of it, and the buffer only
  // ever holds about a piece's text.
  ListTextWriter(std::uint64_t limit, u128 first_size, std::string_view ending, OutputSink* sink = nullptr)
      : text_(limit, first_size, sink), ending_(ending), proof_(ending.size() == 2) {}

  bool over() const { return over_; }
  std::string_view ending() const { return ending_; }

  // The place of n more bytes, or null, and over() from then on, when they would pass the limit.
  char* take(std::uint64_t n) {
    char* p = room(n);
    if (p == nullptr) {
      over_ = true;
      return nullptr;
    }
    text_.commit(p + n);
    return p;
  }

  // Room for n more bytes without a check for each: the place of the next byte, or null when
  // they might pass the limit (the caller then writes with take()). Bytes written there count
  // once commit() is called with the end of them.
  char* room(std::uint64_t n) { return over_ ? nullptr : text_.room(n); }
  void commit(char* end) { text_.commit(end); }

  void write_ending() {
    if (char* p = take(ending_.size())) std::memcpy(p, ending_.data(), ending_.size());
  }

  // The digits of a big magnitude, refused before they are printed when they cannot fit.
  void write_magnitude(const BigInt& v);

  // Proves the text written so far in whole blocks, keeping back at least its last byte; with
  // a sink, hands on what is proven once it is a piece's worth.
  void prove();

  // The text with its last line ending, when it has one, and checked as the recogniser would
  // (through the quick proof first, which any text written here passes). With a sink, the rest
  // of the text goes there and the buffer returned is empty.
  ByteBuffer finish(bool final_ending);

 private:
  TextBuffer text_;
  bool over_ = false;
  std::string_view ending_;
  LinesProof proof_;
  std::uint64_t proved_ = 0;  // the bytes of the buffer that proof_ has taken
};

// Bounds on the length of a text with big values, from a first pass.
struct ListTextSize {
  u128 fixed = 0;   // line endings, leading zeros, signs, and the digits of values in words
  u128 lower = 0;   // a lower bound of the digits of big values (more than bits / 4 each)
  u128 upper = 0;   // an upper bound of those digits

  // The lines of a piece of values, but for their leading zeros and -0 signs.
  void add(const IntegerList& values);
};

// Writes the lines of a piece of values, starting with line `first` of the text. minus_zero
// lists the lines of the piece (counted from first) that are -0, in increasing order; zeros is
// the cursor of the leading-zero counts, or null when there are none.
void write_lines(ListTextWriter& text, const IntegerList& values, std::uint64_t first,
                 const std::vector<std::uint64_t>& minus_zero, ByteCursor* zeros);

}  // namespace corvale
