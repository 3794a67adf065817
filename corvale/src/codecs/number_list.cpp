#include "codecs/number_list.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "codecs/bigint.h"
#include "codecs/candidate_choice.h"
#include "codecs/integer_list.h"
#include "codecs/magnitude_budget.h"
#include "codecs/number_list_body.h"
#include "codecs/number_list_text.h"
#include "codecs/number_messages.h"
#include "codecs/output_budget.h"
#include "codecs/u128.h"
#include "codecs/value_pieces.h"
#include "codecs/varint.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

// ---- Decoding ----
//
// The values are rebuilt a piece at a time and never held whole: each piece is checked in the
// order the format's checks run (the -0 list against the values it marks) and, while the values
// are words, written as text straight away. So a decode holds its inner body, its output (never
// past the limit) and a piece of values, whatever the count a tiny payload claims; every big
// integer it builds is charged to the magnitude budget.

// A seed or base varint, charged before it is built.
BigInt read_charged_varint(ByteCursor& body, MagnitudeBudget& budget) {
  const VarintScan s = scan_varint(body.here(), body.remaining(), 0);
  if (s.fault == VarintFault::None) budget.charge_bytes((7 * s.length + 7) / 8);
  return cursor_read_varint_big(body, false, 0);
}

// The -0 list, taken in step with the lines: its entries come in increasing line order, so
// each is checked against its line's value when the values reach it, and the next entry is read
// only then, which keeps the order of the format's checks.
class MinusZeroLines {
 public:
  MinusZeroLines(ByteCursor& body, bool present, std::uint64_t n) : body_(body), n_(n) {
    if (!present) return;
    left_ = cursor_read_varint_u64(body_);
    if (left_ > 0) set_next(cursor_read_varint_u64(body_));
  }

  bool pending() const { return left_ > 0; }

  // Takes the pending entry and reads the one after it.
  void take() {
    if (--left_ == 0) return;
    const std::uint64_t gap = cursor_read_varint_u64(body_);
    if (gap == 0) throw Error(kRepeatedMinusZeroIndex);
    set_next(line_ > std::numeric_limits<std::uint64_t>::max() - gap ? std::numeric_limits<std::uint64_t>::max()
                                                                       : line_ + gap);
  }

  // Takes every entry that falls on the lines first .. first + values.size() - 1, each of which
  // must hold 0, into lines (cleared first) as places in values.
  void take_within(const IntegerList& values, std::uint64_t first, std::vector<std::uint64_t>& lines) {
    lines.clear();
    while (pending() && line_ - first < values.size()) {
      if (!values.is_zero(line_ - first)) throw Error(kInvalidMinusZeroIndex);
      lines.push_back(line_ - first);
      take();
    }
  }

 private:
  void set_next(std::uint64_t line) {
    if (line >= n_) throw Error(kInvalidMinusZeroIndex);
    line_ = line;
  }

  ByteCursor& body_;
  std::uint64_t n_;
  std::uint64_t left_ = 0;
  std::uint64_t line_ = 0;
};

// The sum of the leading-zero counts (already checked) from zeros on.
u128 zeros_total(ByteCursor zeros, std::uint8_t flags, std::uint64_t n) {
  u128 total = 0;
  if (flags & kListLeadingZeros) {
    for (std::uint64_t i = 0; i < n; ++i) total += cursor_read_varint_u64(zeros);
  }
  return total;
}

}  // namespace

std::string encode_number_list_payload(IntegerLines lines) {
  const std::size_t n = lines.values.size();
  std::uint8_t flags = (lines.final_line_ending ? kListFinalLineEnding : 0) | (lines.crlf ? kListCrLf : 0);
  std::string tail;
  if (!lines.leading_zeros.empty()) {
    flags |= kListLeadingZeros;
    tail.swap(lines.leading_zeros);
  }
  const std::vector<std::uint64_t>& minus_zeros = lines.minus_zeros;
  if (!minus_zeros.empty()) {
    flags |= kListMinusZeros;
    write_varint_u64(minus_zeros.size(), tail);
    write_varint_u64(minus_zeros[0], tail);
    for (std::size_t k = 1; k < minus_zeros.size(); ++k) write_varint_u64(minus_zeros[k] - minus_zeros[k - 1], tail);
  }

  // An inner body is only worth writing if its own decoder, given this text's length as its
  // limit, would inflate it: a byte-plane body can be many times the text (one very wide value
  // widens every line). The plain varints of the values as they are always fit: no varint is
  // longer than its number's digits, and each line's count of leading zeros takes at most one
  // byte more than the zeros themselves, so the cap always leaves a candidate.
  DifferenceFraming framing;
  framing.tail = tail;
  framing.max_bytes = inner_body_limit(lines.text_length);
  std::optional<DifferenceEncoding> chosen = choose_difference_encoding(std::move(lines.values), framing);
  if (!chosen) throw std::logic_error("no number-list body fits under its own decoder's cap");

  std::string payload;
  payload.push_back(static_cast<char>(flags));
  write_varint_u64(n, payload);
  payload.push_back(static_cast<char>(chosen->method));
  payload += deflate_compress_best(chosen->bytes);
  return payload;
}

namespace {

// The text of a payload, whole, or through sink (then the buffer returned is empty).
ByteBuffer decode_number_list(std::string_view payload, std::uint64_t limit, OutputSink* sink) {
  if (payload.size() <= 2) throw Error(kTruncatedNumberList);
  const auto flags = static_cast<std::uint8_t>(payload[0]);
  if (flags > 15) throw Error(kInvalidNumberListFlags);
  ByteCursor cursor{payload, 1};
  const std::uint64_t n = cursor_read_varint_u64(cursor);
  // Every line needs a digit and all but the last a line ending.
  if (n < 2 || static_cast<u128>(n) * 2 - 1 > limit) throw Error(kInvalidNumberListSize);
  const std::uint8_t method = cursor_take_byte(cursor);
  if ((method & 3) == 3 || method >= 32) throw Error(kInvalidNumberListMethod);
  const unsigned d = method & 3;

  const ByteBuffer inner = inflate_limited(payload.substr(cursor.pos), inner_body_limit(limit), false);
  ByteCursor body{inner};
  MagnitudeBudget budget(limit);

  IntegerList seeds(Signedness::Signed);
  for (unsigned i = 0; i < d; ++i) seeds.push_back(zigzag_decode_big(read_charged_varint(body, budget)));
  std::optional<BigInt> base;
  if (method & kListMethodBase) base = zigzag_decode_big(read_charged_varint(body, budget));
  NumberListBodyReader reader(body, method, n - d);

  const ByteCursor zeros_at = body;
  if (flags & kListLeadingZeros) {
    // Nearly every count is one byte below 0x80, a whole varint in itself; any other byte, and
    // the end of the body, go through the reader, which throws where it would have.
    for (std::uint64_t i = 0; i < n; ++i) {
      if (!body.at_end() && static_cast<unsigned char>(body.data[body.pos]) < 0x80) {
        ++body.pos;
      } else {
        cursor_read_varint_u64(body);
      }
    }
  }
  const ByteCursor minus_zeros_at = body;
  const std::string_view ending = (flags & kListCrLf) ? "\r\n" : "\n";
  const bool final_ending = (flags & kListFinalLineEnding) != 0;
  ValuePieces pieces(seeds, base ? &*base : nullptr, reader, d);
  IntegerList values(Signedness::Signed);
  std::vector<std::uint64_t> minus_zero_lines;  // of the piece
  const MagnitudeBudget budget_before_values = budget;

  // Most lists are words throughout: they are checked and written in one pass, the limit
  // reported only once everything else has been checked. A value past 64 bits ends that pass,
  // and the list is read again in two: one that checks and measures, so that no big value is
  // printed before the payload is known to be sound and its text to fit, and one that writes.
  {
    ListTextWriter text(limit, static_cast<u128>(n) * (1 + ending.size()), ending, sink);
    ByteCursor zeros = zeros_at;
    MinusZeroLines minus_zeros(body, (flags & kListMinusZeros) != 0, n);
    std::uint64_t line = 0;
    bool wide = false;
    while (!wide && pieces.next(values, &budget)) {
      minus_zeros.take_within(values, line, minus_zero_lines);
      wide = values.wide();
      if (!wide) {
        write_lines(text, values, line, minus_zero_lines, (flags & kListLeadingZeros) ? &zeros : nullptr);
        text.prove();
      }
      line += values.size();
    }
    if (!wide) {
      if (!body.at_end()) throw Error(kTrailingNumberListData);
      return text.finish(final_ending);
    }
  }

  // Read again from the start, charged as if for the first time.
  ListTextSize size;
  pieces.rewind();
  budget = budget_before_values;
  body = minus_zeros_at;
  {
    MinusZeroLines minus_zeros(body, (flags & kListMinusZeros) != 0, n);
    std::uint64_t line = 0;
    while (pieces.next(values, &budget)) {
      minus_zeros.take_within(values, line, minus_zero_lines);
      size.fixed += minus_zero_lines.size();  // the '-' of each -0
      size.add(values);
      line += values.size();
    }
  }
  if (!body.at_end()) throw Error(kTrailingNumberListData);
  size.fixed += zeros_total(zeros_at, flags, n) + static_cast<u128>(n - 1 + (final_ending ? 1 : 0)) * ending.size();
  if (size.fixed + size.lower > limit) throw output_limit_error();

  if (sink != nullptr) sink->restart();
  ListTextWriter text(limit, size.fixed + size.upper, ending, sink);
  pieces.rewind();
  ByteCursor zeros = zeros_at;
  ByteCursor list = minus_zeros_at;
  MinusZeroLines minus_zeros(list, (flags & kListMinusZeros) != 0, n);
  std::uint64_t line = 0;
  while (pieces.next(values, nullptr)) {
    minus_zeros.take_within(values, line, minus_zero_lines);
    write_lines(text, values, line, minus_zero_lines, (flags & kListLeadingZeros) ? &zeros : nullptr);
    text.prove();
    line += values.size();
  }
  return text.finish(final_ending);
}

}  // namespace

ByteBuffer decode_number_list_payload(std::string_view payload, std::uint64_t limit) {
  return decode_number_list(payload, limit, nullptr);
}

void stream_number_list_payload(std::string_view payload, std::uint64_t limit, OutputSink& out) {
  decode_number_list(payload, limit, &out);
}

}  // namespace corvale
