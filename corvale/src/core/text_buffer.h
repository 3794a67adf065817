#pragma once
// A restored text as its decoder writes it: a buffer that grows as it fills, at least doubling
// but never for more text than the output limit allows, so that what a payload claims is checked
// as the bytes come; with a sink, the text goes there a piece at a time and the buffer only ever
// holds about a piece. The one writer under the limit of number lists and number texts.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/output_budget.h"
#include "core/output_sink.h"
#include "core/u128.h"

namespace corvale {

// What the writers of a restored text may put down past the bytes they mean: digits written
// eight at a time, runs and zeros copied in blocks. Every room a TextBuffer gives has this many
// bytes to spare past it.
inline constexpr std::size_t kTextSlack = 16;

class TextBuffer {
 public:
  // first_size: the size to allocate first, held to the limit, and with a sink to about a piece
  // of piece bytes, the most the buffer holds before handing its text on.
  TextBuffer(std::uint64_t limit, u128 first_size, OutputSink* sink, std::uint64_t piece = kOutputPiece)
      : limit_(limit), sink_(sink), piece_(piece) {
    if (sink_ != nullptr) first_size = std::min<u128>(first_size, piece_ + piece_ / 4);
    grow(std::max<std::uint64_t>(static_cast<std::uint64_t>(std::min<u128>(first_size, limit)), 1));
  }

  // Where the next n bytes go, with kTextSlack bytes to spare past them, or null when n more
  // bytes would pass the limit. The bytes count once commit() is given their end.
  char* room(u128 n) {
    if (n <= static_cast<std::uint64_t>(end_ - at_)) return at_;
    const std::uint64_t used = size();
    if (n > limit_ - used) return nullptr;
    grow(used + static_cast<std::uint64_t>(n));
    return at_;
  }
  void commit(char* end) { at_ = end; }
  // The same for writers that fail at the limit: the output-limit error in place of null.
  char* room_within_limit(u128 n) {
    char* p = room(n);
    if (p == nullptr) throw output_limit_error();
    return p;
  }
  void append(std::string_view bytes) { commit(std::copy(bytes.begin(), bytes.end(), room_within_limit(bytes.size()))); }

  // The text in the buffer (all of it, without a sink).
  std::uint64_t size() const { return static_cast<std::uint64_t>(at_ - out_.data()); }
  const char* data() const { return out_.data(); }
  // The bytes that may still be written.
  std::uint64_t room_left() const { return limit_ - size(); }

  bool streams() const { return sink_ != nullptr; }
  std::uint64_t piece() const { return piece_; }
  std::uint64_t handed_on() const { return handed_on_; }
  // Hands the first n bytes of the buffer on to the sink (there must be one), and moves the
  // rest to the front.
  void hand_on(std::uint64_t n) {
    const std::uint64_t used = size();
    sink_->write(std::string_view(out_.data(), static_cast<std::size_t>(n)));
    std::memmove(out_.data(), out_.data() + n, static_cast<std::size_t>(used - n));
    handed_on_ += n;
    limit_ -= n;
    at_ = out_.data() + (used - n);
    end_ = out_.data() + std::min<std::uint64_t>(out_.size() - kTextSlack, limit_);
  }

  // Hands the buffer's text on once it makes a piece (with a sink; without one it stays).
  void hand_on_full_piece() {
    if (streams() && size() >= piece_) hand_on(size());
  }
  // The same for the whole pieces it holds, keeping the rest: many short ranges of records then
  // still go out a piece at a time.
  void hand_on_whole_pieces() {
    if (streams() && size() >= piece_) hand_on(size() / piece_ * piece_);
  }
  // The text, or with a sink the rest of it handed on and an empty buffer.
  ByteBuffer finish() {
    out_.resize(static_cast<std::size_t>(size()));
    if (sink_ == nullptr) return std::move(out_);
    sink_->write(out_.view());
    return {};
  }

 private:
  // To room for at least size bytes of text and its slack, at least doubling, never for more
  // text than the limit.
  void grow(std::uint64_t size) {
    const std::uint64_t used = at_ == nullptr ? 0 : this->size();
    const std::uint64_t text = at_ == nullptr ? 0 : out_.size() - kTextSlack;
    const std::uint64_t doubled = text > limit_ / 2 ? limit_ : 2 * text;
    out_.resize(static_cast<std::size_t>(std::max(size, doubled) + kTextSlack));
    at_ = out_.data() + used;
    end_ = out_.data() + std::min<std::uint64_t>(out_.size() - kTextSlack, limit_);
  }

  ByteBuffer out_;
  char* at_ = nullptr;   // where the next byte goes
  char* end_ = nullptr;  // the end of the room for text: no further than the limit allows
  std::uint64_t limit_;  // of the text in out_ and to come
  OutputSink* sink_;
  std::uint64_t piece_;
  std::uint64_t handed_on_ = 0;
};

// A text made whole in memory, for a decoder that returns it or, given a sink, writes it there
// at once and returns an empty buffer.
inline ByteBuffer deliver_whole(ByteBuffer text, OutputSink* sink) {
  if (sink == nullptr) return text;
  sink->write(text.view());
  return {};
}

// Writes a text whose exact size is known, record after record (the rows of a table, the lines
// of a log), each at most record_bound bytes: the room is taken a piece at a time, so that a
// record costs one look at it, a pointer compare. With a sink, each piece is handed on before
// the next one is taken.
//
//   char* p = records.start();
//   for (...) { if (p > records.stop()) p = records.next_piece(p); ...write a record at p... }
//   records.finish(p);
//
// A text written a range of records at a time takes a writer a range, and before each range
// but the first hands on the whole pieces the earlier ones left: a text of one range goes out as
// it would in one writer.
// The piece a text written record by record goes out in: it then stays in the cache from its
// writing to its handing on, and its buffer is a few pages, not a fresh megabyte.
inline constexpr std::uint64_t kRecordPiece = 256 << 10;

class RecordWriter {
 public:
  // size: the bytes still to come, all of them within the text's limit.
  RecordWriter(TextBuffer& text, std::uint64_t size, std::uint64_t record_bound)
      : text_(text), left_(size), bound_(record_bound) {}

  char* start() { return take_room(); }
  // Past it, a record may not fit the room taken.
  const char* stop() const { return stop_; }
  char* next_piece(char* p) {
    finish(p);
    text_.hand_on_full_piece();
    return take_room();
  }
  void finish(char* p) {
    left_ -= static_cast<std::uint64_t>(p - at_);
    text_.commit(p);
  }

 private:
  char* take_room() {
    const std::uint64_t piece = text_.piece();
    const std::uint64_t n = std::min(left_, bound_ > kMaxRoom - piece ? kMaxRoom : piece + bound_);
    at_ = text_.room_within_limit(n);
    // When the rest of the text fits, every record does.
    stop_ = n == left_ ? at_ + n : at_ + (n - bound_);
    return at_;
  }

  static constexpr std::uint64_t kMaxRoom = ~std::uint64_t{0};
  TextBuffer& text_;
  std::uint64_t left_;
  std::uint64_t bound_;
  char* at_ = nullptr;  // where the room taken begins
  const char* stop_ = nullptr;
};

}  // namespace corvale
