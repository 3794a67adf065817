#include "codecs/number_list/number_list.h"

#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "codecs/number_list/number_list_text.h"
#include "codecs/numbers/candidate_choice.h"
#include "codecs/numbers/number_list_body.h"
#include "codecs/numbers/value_pieces.h"
#include "codecs/written/number_messages.h"
#include "core/bigint.h"
#include "core/integer_list.h"
#include "core/magnitude_budget.h"
#include "core/output_budget.h"
#include "core/u128.h"
#include "core/varint.h"
#include "core/zlib.h"

namespace corvale {

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
  framing.deflate = true;
  std::optional<DifferenceEncoding> chosen = choose_difference_encoding(std::move(lines.values), framing);
  if (!chosen) throw std::logic_error("no number-list body fits under its own decoder's cap");

  std::string payload;
  payload.push_back(static_cast<char>(flags));
  write_varint_u64(n, payload);
  payload.push_back(static_cast<char>(chosen->method));
  payload += chosen->deflated ? *chosen->deflated : deflate_compress_best(chosen->bytes);
  return payload;
}

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

// The payload's outer bytes, checked before the inner body is inflated.
struct ListHeader {
  std::uint8_t flags;
  std::uint64_t n;  // lines
  std::uint8_t method;
  std::string_view deflated;  // the inner body
};

ListHeader read_list_header(std::string_view payload, std::uint64_t limit) {
  if (payload.size() <= 2) throw Error(kTruncatedNumberList);
  ListHeader header;
  header.flags = static_cast<std::uint8_t>(payload[0]);
  if (header.flags > 15) throw Error(kInvalidNumberListFlags);
  ByteCursor cursor{payload, 1};
  header.n = cursor_read_varint_u64(cursor);
  // Every line needs a digit and all but the last a line ending.
  if (header.n < 2 || static_cast<u128>(header.n) * 2 - 1 > limit) throw Error(kInvalidNumberListSize);
  header.method = cursor_take_byte(cursor);
  if ((header.method & 3) == 3 || header.method >= 32) throw Error(kInvalidNumberListMethod);
  header.deflated = payload.substr(cursor.pos);
  return header;
}

// What the inner body holds of the lines beside their values: where the leading-zero counts and
// the -0 list are, and the endings the flags give.
struct ListLines {
  std::uint8_t flags;
  std::uint64_t n;
  ByteCursor zeros_at;        // the leading-zero counts, checked
  ByteCursor minus_zeros_at;  // the -0 list, and the end of the body after it
  std::string_view ending;
  bool final_ending;

  MinusZeroLines minus_zeros(ByteCursor& at) const { return MinusZeroLines(at, (flags & kListMinusZeros) != 0, n); }
  // A cursor at the leading-zero counts, or null when there are none.
  ByteCursor* zeros(ByteCursor& at) const { return (flags & kListLeadingZeros) ? &at : nullptr; }
};

// Checks the leading-zero counts at body, which moves past them.
ListLines read_list_lines(ByteCursor& body, const ListHeader& header) {
  ListLines lines{header.flags, header.n, body, body, (header.flags & kListCrLf) ? "\r\n" : "\n",
                  (header.flags & kListFinalLineEnding) != 0};
  if (header.flags & kListLeadingZeros) {
    // Nearly every count is one byte below 0x80, a whole varint in itself; any other byte, and
    // the end of the body, go through the reader, which throws where it would have.
    for (std::uint64_t i = 0; i < header.n; ++i) {
      if (!body.at_end() && static_cast<unsigned char>(body.data[body.pos]) < 0x80) {
        ++body.pos;
      } else {
        cursor_read_varint_u64(body);
      }
    }
  }
  lines.minus_zeros_at = body;
  return lines;
}

// Takes the pieces of values from the first, each with the -0 lines among them (checked, as
// places in the piece) and its first line, to on_piece, until it returns false. Returns the end
// of the -0 list, where the body should end.
template <class OnPiece>
ByteCursor for_each_piece(ValuePieces& pieces, MagnitudeBudget* budget, const ListLines& lines, OnPiece&& on_piece) {
  pieces.rewind();
  ByteCursor list = lines.minus_zeros_at;
  MinusZeroLines minus_zeros = lines.minus_zeros(list);
  IntegerList values(Signedness::Signed);
  std::vector<std::uint64_t> minus_zero_lines;
  std::uint64_t line = 0;
  while (pieces.next(values, budget)) {
    minus_zeros.take_within(values, line, minus_zero_lines);
    if (!on_piece(values, minus_zero_lines, line)) break;
    line += values.size();
  }
  return list;
}

// Most lists are words throughout: they are checked and written in one pass, the limit reported
// only once everything else has been checked. Nothing when a value past 64 bits ends the pass.
std::optional<ByteBuffer> restore_word_list(ValuePieces& pieces, MagnitudeBudget& budget, const ListLines& lines,
                                            std::uint64_t limit, OutputSink* sink) {
  ListTextWriter text(limit, static_cast<u128>(lines.n) * (1 + lines.ending.size()), lines.ending, sink);
  ByteCursor zeros = lines.zeros_at;
  bool wide = false;
  const ByteCursor end = for_each_piece(pieces, &budget, lines, [&](const IntegerList& values,
                                                                    const std::vector<std::uint64_t>& minus_zero,
                                                                    std::uint64_t first) {
    wide = values.wide();
    if (wide) return false;
    write_lines(text, values, first, minus_zero, lines.zeros(zeros));
    text.prove();
    return true;
  });
  if (wide) return std::nullopt;
  if (!end.at_end()) throw Error(kTrailingNumberListData);
  return text.finish(lines.final_ending);
}

// A list with wider values is read again, charged as if for the first time, to check it whole
// and bound its text, so that no big value is printed before the payload is known to be sound
// and its text to fit.
ListTextSize measure_wide_list(ValuePieces& pieces, MagnitudeBudget& budget, const ListLines& lines,
                               std::uint64_t limit) {
  ListTextSize size;
  const ByteCursor end = for_each_piece(pieces, &budget, lines, [&](const IntegerList& values,
                                                                    const std::vector<std::uint64_t>& minus_zero,
                                                                    std::uint64_t) {
    size.fixed += minus_zero.size();  // the '-' of each -0
    size.add(values);
    return true;
  });
  if (!end.at_end()) throw Error(kTrailingNumberListData);
  const std::uint64_t endings = lines.n - 1 + (lines.final_ending ? 1 : 0);
  size.fixed += zeros_total(lines.zeros_at, lines.flags, lines.n) + static_cast<u128>(endings) * lines.ending.size();
  if (size.fixed + size.lower > limit) throw output_limit_error();
  return size;
}

// And then, known sound, written.
ByteBuffer write_wide_list(ValuePieces& pieces, const ListLines& lines, const ListTextSize& size,
                           std::uint64_t limit, OutputSink* sink) {
  if (sink != nullptr) sink->restart();
  ListTextWriter text(limit, size.fixed + size.upper, lines.ending, sink);
  ByteCursor zeros = lines.zeros_at;
  for_each_piece(pieces, nullptr, lines, [&](const IntegerList& values, const std::vector<std::uint64_t>& minus_zero,
                                             std::uint64_t first) {
    write_lines(text, values, first, minus_zero, lines.zeros(zeros));
    text.prove();
    return true;
  });
  return text.finish(lines.final_ending);
}

// The text of a payload, whole, or through sink (then the buffer returned is empty).
ByteBuffer decode_number_list(std::string_view payload, std::uint64_t limit, OutputSink* sink) {
  const ListHeader header = read_list_header(payload, limit);
  const ByteBuffer inner = inflate_limited(header.deflated, inner_body_limit(limit), false);
  ByteCursor body{inner};
  MagnitudeBudget budget(limit);

  const unsigned d = header.method & 3;
  IntegerList seeds(Signedness::Signed);
  for (unsigned i = 0; i < d; ++i) seeds.push_back(zigzag_decode_big(read_charged_varint(body, budget)));
  std::optional<BigInt> base;
  if (header.method & kListMethodBase) base = zigzag_decode_big(read_charged_varint(body, budget));
  NumberListBodyReader reader(body, header.method, header.n - d);
  const ListLines lines = read_list_lines(body, header);
  ValuePieces pieces(seeds, base ? &*base : nullptr, reader, d);

  const MagnitudeBudget budget_before_values = budget;
  if (std::optional<ByteBuffer> text = restore_word_list(pieces, budget, lines, limit, sink)) return std::move(*text);
  budget = budget_before_values;
  const ListTextSize size = measure_wide_list(pieces, budget, lines, limit);
  return write_wide_list(pieces, lines, size, limit, sink);
}

}  // namespace

ByteBuffer decode_number_list_payload(std::string_view payload, std::uint64_t limit) {
  return decode_number_list(payload, limit, nullptr);
}

void stream_number_list_payload(std::string_view payload, std::uint64_t limit, OutputSink& out) {
  decode_number_list(payload, limit, &out);
}

}  // namespace corvale
