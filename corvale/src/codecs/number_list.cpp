#include "codecs/number_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "codecs/bigint.h"
#include "codecs/candidate_choice.h"
#include "codecs/decimal.h"
#include "codecs/integer_list.h"
#include "codecs/magnitude_budget.h"
#include "codecs/number_list_body.h"
#include "codecs/output_budget.h"
#include "codecs/value_pieces.h"
#include "codecs/varint.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

using u128 = unsigned __int128;

// Lines of up to 18 significant digits always fit in a 64-bit word, so they are parsed without
// a big integer; longer ones go through the decimal parser and stay words when they fit.
constexpr std::size_t kNarrowDigits = 18;

// One integer line taken apart: the sign, the zeros before the value's digits and the digits
// themselves (at least one: a line of zeros keeps its last '0' as the value's own digit).
struct ScannedLine {
  bool negative;
  std::uint64_t leading_zeros;
  std::string_view digits;
  std::uint64_t narrow;  // the value of digits when there are at most kNarrowDigits of them
};

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

// Walks the lines of text the way the recogniser defines them, in one pass that also parses
// each line, handing it to on_line; false as soon as the text is not integer lines (on_line may
// have seen some lines by then). The first line's ending decides LF or CR LF for the whole text.
template <class OnLine>
bool scan_integer_lines(std::string_view text, bool& final_line_ending, bool& crlf, OnLine&& on_line) {
  const char* p = text.data();
  const char* const end = p + text.size();
  final_line_ending = false;
  crlf = false;
  for (bool first = true;; first = false) {
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    const char* const start = p;
    while (p != end && *p == '0') ++p;
    const char* digits = p;
    // Wraps past 18 digits, where the value is parsed again as a big integer.
    std::uint64_t v = 0;
    for (; p != end && is_digit(*p); ++p) v = v * 10 + static_cast<unsigned>(*p - '0');
    if (p == start) return false;
    if (digits == p) --digits;
    on_line(ScannedLine{negative, static_cast<std::uint64_t>(digits - start),
                        std::string_view(digits, static_cast<std::size_t>(p - digits)), v});

    if (p == end) return !first;  // the last line, without a line ending
    if (*p == '\r') {
      if (!first && !crlf) return false;
      crlf = true;
      if (++p == end || *p != '\n') return false;
    } else if (*p != '\n' || crlf) {
      return false;
    }
    if (++p == end) {
      final_line_ending = true;
      return !first;
    }
  }
}

bool is_integer_lines(std::string_view text) {
  bool final_line_ending = false;
  bool crlf = false;
  return scan_integer_lines(text, final_line_ending, crlf, [](const ScannedLine&) {});
}

unsigned decimal_length(std::uint64_t v) {
  static constexpr std::uint64_t kPowersOfTen[20] = {
      1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
      1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
      100000000000000ull, 1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
      1000000000000000000ull, 10000000000000000000ull};
  // v | 1 has the same digits (no power of ten is odd but 1) and a bit length of at least 1;
  // 1233 / 4096 is just above log10 2, so t is the digit count or one more.
  const std::uint64_t odd = v | 1;
  const unsigned t = static_cast<unsigned>((64 - __builtin_clzll(odd)) * 1233) >> 12;
  return t + 1 - (odd < kPowersOfTen[t] ? 1 : 0);
}

// Writes the digits of v ending just before end; returns where they start.
char* write_decimal_backwards(std::uint64_t v, char* end) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  while (v >= 100) {
    const unsigned pair = static_cast<unsigned>(v % 100);
    v /= 100;
    end -= 2;
    std::memcpy(end, kPairs + 2 * pair, 2);
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * v, 2);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// ---- Decoding ----
//
// The values are rebuilt twice, a piece at a time, and never held whole: a first pass checks
// everything in the order the format's checks run (the -0 list against the values it marks,
// the trailing bytes) and measures the text, a second writes the text into a buffer allocated
// once at its size. So a decode holds its inner body, its output and a few pieces of values,
// whatever the count a tiny payload claims; every big integer the first pass builds is charged
// to the magnitude budget.

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
  std::uint64_t line() const { return line_; }
  std::uint64_t taken() const { return taken_; }

  // Takes the pending entry and reads the one after it.
  void take() {
    ++taken_;
    if (--left_ == 0) return;
    const std::uint64_t gap = cursor_read_varint_u64(body_);
    if (gap == 0) throw Error(kRepeatedMinusZeroIndex);
    set_next(line_ > std::numeric_limits<std::uint64_t>::max() - gap ? std::numeric_limits<std::uint64_t>::max()
                                                                       : line_ + gap);
  }

  // Takes every entry that falls on the lines first .. first + values.size() - 1, each of which
  // must hold 0.
  void take_within(const IntegerList& values, std::uint64_t first) {
    while (pending() && line_ - first < values.size()) {
      if (!values.is_zero(line_ - first)) throw Error(kInvalidMinusZeroIndex);
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
  std::uint64_t taken_ = 0;
};

// Bounds on the length of the text, from the first pass.
struct TextSize {
  u128 fixed = 0;   // line endings, leading zeros, signs, and the digits of values in words
  u128 lower = 0;   // a lower bound of the digits of big values (more than bits / 4 each)
  u128 upper = 0;   // an upper bound of those digits
  bool any_big = false;

  void add(const IntegerList& values) {
    if (!values.wide()) {
      for (std::uint64_t w : values.words()) {
        const auto v = static_cast<std::int64_t>(w);
        fixed += decimal_length(v < 0 ? 0 - w : w) + (v < 0 ? 1 : 0);
      }
      return;
    }
    any_big = true;
    for (const BigInt& v : values.big()) {
      const unsigned sign = v.sign() < 0 ? 1 : 0;
      lower += std::max<std::uint64_t>(1, v.bit_length() / 4) + sign;
      upper += v.decimal_digits_upper_bound() + sign;
    }
  }
};

// Writes the text into a buffer of its largest possible size (its exact size when no value is
// big), refusing anything past the limit. The buffer is not cleared first: the pages of the bound
// that the text never reaches are never touched.
class TextWriter {
 public:
  TextWriter(std::uint64_t capacity, std::uint64_t limit) : capacity_(capacity), limit_(limit) {
    // One more byte: the big-integer printer ends its digits with a NUL.
    out_.reserve(static_cast<std::size_t>(capacity) + 1);
  }

  char* reserve(std::uint64_t n) {
    if (n > capacity_ - pos_) throw output_limit_error();
    char* p = out_.data() + pos_;
    pos_ += n;
    return p;
  }
  void write(std::string_view bytes) { std::memcpy(reserve(bytes.size()), bytes.data(), bytes.size()); }
  // A line ending, one or two bytes: short enough that a call to copy it would cost more.
  void write_ending(std::string_view ending) {
    char* p = reserve(ending.size());
    p[0] = ending[0];
    if (ending.size() == 2) p[1] = ending[1];
  }

  void write_magnitude(const BigInt& v) {
    check_decimal_output_size(v, room_under_limit(pos_, limit_));
    if (v.decimal_digits_upper_bound() <= capacity_ - pos_) {
      pos_ += v.write_decimal_magnitude(out_.data() + pos_);
      return;
    }
    // Near the limit the upper bound may not fit while the digits do.
    std::string digits;
    v.append_decimal_magnitude(digits);
    write(digits);
  }

  ByteBuffer finish() {
    out_.resize(static_cast<std::size_t>(pos_));
    return std::move(out_);
  }

 private:
  ByteBuffer out_;
  std::uint64_t pos_ = 0;
  std::uint64_t capacity_;
  std::uint64_t limit_;
};

void write_line(TextWriter& text, const IntegerList& values, std::size_t i, bool minus_zero, std::uint64_t zeros) {
  const bool narrow = !values.wide();
  const std::uint64_t w = narrow ? values.words()[i] : 0;
  const bool negative = narrow ? static_cast<std::int64_t>(w) < 0 : values.big()[i].sign() < 0;
  if (negative || minus_zero) *text.reserve(1) = '-';
  if (zeros > 0) std::memset(text.reserve(zeros), '0', zeros);
  if (!narrow) {
    text.write_magnitude(values.big()[i]);
    return;
  }
  // Measured first, so the digits go straight to their place.
  const std::uint64_t magnitude = negative ? 0 - w : w;
  const unsigned length = decimal_length(magnitude);
  write_decimal_backwards(magnitude, text.reserve(length) + length);
}

}  // namespace

std::optional<IntegerLines> split_integer_lines(std::string_view text) {
  IntegerLines result;
  result.text_length = text.size();
  result.values.allow_packed_words();
  std::string& zeros = result.leading_zeros;
  bool any_zeros = false;
  std::size_t most_lines = 0;
  std::uint64_t i = 0;
  const bool ok = scan_integer_lines(text, result.final_line_ending, result.crlf, [&](const ScannedLine& line) {
    // Measured once the first line is an integer, so other texts never pay for it; reserved
    // so that the list never grows by copying.
    if (i == 0) {
      most_lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
      result.values.reserve(most_lines);
    }
    // The counts are written only from the first line that has leading zeros on: a byte a line
    // when some do, nothing when none does.
    if (line.leading_zeros != 0 && !any_zeros) {
      any_zeros = true;
      zeros.reserve(most_lines);
      zeros.assign(static_cast<std::size_t>(i), '\0');
    }
    if (any_zeros) write_varint_u64(line.leading_zeros, zeros);
    if (line.negative && line.digits == "0") result.minus_zeros.push_back(i);
    if (line.digits.size() <= kNarrowDigits) {
      result.values.push_word(line.negative ? 0 - line.narrow : line.narrow);
    } else {
      BigInt v = parse_decimal_digits(line.digits);
      if (line.negative) v.negate();
      result.values.push_back(std::move(v));
    }
    ++i;
  });
  if (!ok) return std::nullopt;
  return result;
}

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

ByteBuffer decode_number_list_payload(std::string_view payload, std::uint64_t limit) {
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
  u128 zeros_total = 0;
  if (flags & kListLeadingZeros) {
    for (std::uint64_t i = 0; i < n; ++i) zeros_total += cursor_read_varint_u64(body);
  }
  const ByteCursor minus_zeros_at = body;

  // First pass: the checks, and the size of the text.
  ValuePieces pieces(seeds, base ? &*base : nullptr, reader, d);
  IntegerList values(Signedness::Signed);
  TextSize size;
  {
    MinusZeroLines minus_zeros(body, (flags & kListMinusZeros) != 0, n);
    std::uint64_t line = 0;
    while (pieces.next(values, &budget)) {
      minus_zeros.take_within(values, line);
      size.add(values);
      line += values.size();
    }
    size.fixed += minus_zeros.taken();  // the '-' of each -0
  }
  if (!body.at_end()) throw Error(kTrailingNumberListData);

  const std::string_view ending = (flags & kListCrLf) ? "\r\n" : "\n";
  const bool final_ending = (flags & kListFinalLineEnding) != 0;
  size.fixed += zeros_total + static_cast<u128>(n - 1 + (final_ending ? 1 : 0)) * ending.size();
  if (size.fixed + size.lower > limit) throw output_limit_error();
  const u128 most = size.fixed + size.upper;

  // Second pass: the text.
  TextWriter text(static_cast<std::uint64_t>(most < limit ? most : limit), limit);
  pieces.rewind();
  ByteCursor zeros = zeros_at;
  ByteCursor list = minus_zeros_at;
  MinusZeroLines minus_zeros(list, (flags & kListMinusZeros) != 0, n);
  std::uint64_t line = 0;
  while (pieces.next(values, nullptr)) {
    for (std::size_t i = 0; i < values.size(); ++i, ++line) {
      if (line > 0) text.write_ending(ending);
      const bool minus_zero = minus_zeros.pending() && minus_zeros.line() == line;
      if (minus_zero) minus_zeros.take();
      const std::uint64_t leading = (flags & kListLeadingZeros) ? cursor_read_varint_u64(zeros) : 0;
      write_line(text, values, i, minus_zero, leading);
    }
  }
  if (final_ending) text.write_ending(ending);
  ByteBuffer out = text.finish();
  if (!is_integer_lines(out)) throw Error(kNotANumberList);
  return out;
}

}  // namespace corvale
