#include "codecs/number_list.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>
#include <stdexcept>
#include <utility>

#include "codecs/bigint.h"
#include "codecs/candidate_choice.h"
#include "codecs/decimal.h"
#include "codecs/digits.h"
#include "codecs/integer_list.h"
#include "codecs/magnitude_budget.h"
#include "codecs/number_list_body.h"
#include "codecs/output_budget.h"
#include "codecs/text_buffer.h"
#include "codecs/u128.h"
#include "codecs/value_pieces.h"
#include "codecs/varint.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {


// One integer line taken apart: the sign, the zeros before the value's digits and the digits
// themselves (at least one: a line of zeros keeps its last '0' as the value's own digit).
struct ScannedLine {
  bool negative;
  std::uint64_t leading_zeros;
  std::string_view digits;
  std::uint64_t narrow;  // the value of digits when there are at most kWordDecimalDigits of them
};

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

#if defined(__SSE2__)
// The 64 bytes at p, classed: one bit a byte in each mask.
struct ByteClasses {
  std::uint64_t digits = 0, minus = 0, lf = 0, cr = 0;

  explicit ByteClasses(const char* p) {
    const __m128i below = _mm_set1_epi8('0' - 1);
    const __m128i above = _mm_set1_epi8('9' + 1);
    for (int j = 0; j < 4; ++j) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * j));
      const auto bits = [&](__m128i match) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(match))) << (16 * j);
      };
      digits |= bits(_mm_and_si128(_mm_cmpgt_epi8(v, below), _mm_cmplt_epi8(v, above)));
      minus |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')));
      lf |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
      cr |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    }
  }
};
#endif

// The quick proof of proves_integer_lines, taken a block of 64 bytes at a time, so that a text
// can be proved while its last bytes written are still in the cache. Each byte is classed, and
// every rule is a relation between a byte and the one before it: a '-' opens a line and a digit
// follows it, an ending follows a digit, and with CR LF each CR is followed by LF and each LF
// follows a CR.
class LinesProof {
 public:
  explicit LinesProof(bool crlf) : crlf_(crlf) {}

  // n bytes at p, a multiple of 64, none of them the text's last.
  void add_blocks(const char* p, std::size_t n) {
    for (std::size_t at = 0; at < n; at += 64) add(p + at, ~std::uint64_t{0}, ~std::uint64_t{0});
  }

  // The last 1 to 64 bytes of a text of size bytes in all.
  bool finish(std::string_view last, std::size_t size) {
#if defined(__SSE2__)
    if (size < 3 || last.empty() || last.size() > 64 || last.back() == '-' || last.back() == '\r') return false;
    char block[64] = {};
    std::memcpy(block, last.data(), last.size());
    const std::uint64_t valid = last.size() == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << last.size()) - 1;
    add(block, valid, valid >> 1);
    return bad_ == 0 && inner_endings_ != 0;
#else
    (void)last;
    (void)size;
    return false;
#endif
  }

 private:
  // One block; valid marks its bytes of the text, inner those before the text's last byte.
  void add(const char* p, std::uint64_t valid, std::uint64_t inner) {
#if defined(__SSE2__)
    const ByteClasses classes(p);
    const std::uint64_t cr = crlf_ ? classes.cr : 0;
    const std::uint64_t prev_lf = classes.lf << 1 | after_lf_;
    const std::uint64_t prev_digit = classes.digits << 1 | after_digit_;
    const std::uint64_t prev_minus = classes.minus << 1 | after_minus_;
    const std::uint64_t prev_cr = cr << 1 | after_cr_;
    bad_ |= valid & ~(classes.digits | classes.minus | classes.lf | cr);
    bad_ |= classes.minus & ~prev_lf;
    bad_ |= valid & prev_minus & ~classes.digits;
    bad_ |= (crlf_ ? cr : classes.lf) & ~prev_digit;
    if (crlf_) bad_ |= valid & (classes.lf ^ prev_cr);
    inner_endings_ |= classes.lf & inner;
    after_lf_ = classes.lf >> 63;
    after_digit_ = classes.digits >> 63;
    after_minus_ = classes.minus >> 63;
    after_cr_ = cr >> 63;
#else
    (void)p;
    (void)valid;
    (void)inner;
#endif
  }

  bool crlf_;
  std::uint64_t bad_ = 0;
  std::uint64_t inner_endings_ = 0;  // LFs before the last byte
  std::uint64_t after_lf_ = 1;       // the start of the text counts as the start of a line
  std::uint64_t after_digit_ = 0;
  std::uint64_t after_minus_ = 0;
  std::uint64_t after_cr_ = 0;
};

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

// Bounds on the length of a text with big values, from a first pass.
struct TextSize {
  u128 fixed = 0;   // line endings, leading zeros, signs, and the digits of values in words
  u128 lower = 0;   // a lower bound of the digits of big values (more than bits / 4 each)
  u128 upper = 0;   // an upper bound of those digits

  void add(const IntegerList& values) {
    if (!values.wide()) {
      for (std::uint64_t w : values.words()) {
        const auto v = static_cast<std::int64_t>(w);
        fixed += decimal_digit_count(v < 0 ? 0 - w : w) + (v < 0 ? 1 : 0);
      }
      return;
    }
    for (const BigInt& v : values.big()) {
      const unsigned sign = v.sign() < 0 ? 1 : 0;
      lower += std::max<std::uint64_t>(1, v.bit_length() / 4) + sign;
      upper += v.decimal_digits_upper_bound() + sign;
    }
  }
};

// The sum of the leading-zero counts (already checked) from zeros on.
u128 zeros_total(ByteCursor zeros, std::uint8_t flags, std::uint64_t n) {
  u128 total = 0;
  if (flags & kListLeadingZeros) {
    for (std::uint64_t i = 0; i < n; ++i) total += cursor_read_varint_u64(zeros);
  }
  return total;
}

// The text, written as the values arrive into a buffer that grows as it goes and never past the
// limit. Once a line would pass the limit nothing more is written, but the caller reads on to the
// end of the body: a fault later in the payload is reported before the limit is. The buffer is
// never cleared: each byte is written once.
class TextWriter {
 public:
  // first_size: the size to start from (the text's size when it is known), held to the limit.
  // With a sink, the proven text goes there once there is enough of it, and the buffer only
  // ever holds about a piece's text.
  TextWriter(std::uint64_t limit, u128 first_size, std::string_view ending, OutputSink* sink = nullptr)
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
  void write_magnitude(const BigInt& v) {
    if (over_) return;
    const std::uint64_t upper = v.decimal_digits_upper_bound();
    if (upper + 1 <= text_.room_left()) {
      // The printer may end its digits with a NUL one byte past them.
      char* p = room(upper + 1);
      text_.commit(p + v.write_decimal_magnitude(p));
      return;
    }
    if (least_decimal_digits(v.bit_length()) > text_.room_left()) {
      over_ = true;
      return;
    }
    // Near the limit the upper bound may not fit while the digits do.
    std::string digits;
    v.append_decimal_magnitude(digits);
    if (char* p = take(digits.size())) std::memcpy(p, digits.data(), digits.size());
  }

  // Proves the text written so far in whole blocks, keeping back at least its last byte; with
  // a sink, hands on what is proven once it is a piece's worth.
  void prove() {
    const std::uint64_t size = text_.size();
    if (size == 0) return;
    const std::uint64_t n = (size - 1 - proved_) / 64 * 64;
    proof_.add_blocks(text_.data() + proved_, n);
    proved_ += n;
    if (text_.streams() && proved_ >= kOutputPiece && !over_) {
      text_.hand_on(proved_);
      proved_ = 0;
    }
  }

  // The text with its last line ending, when it has one, and checked as the recogniser would
  // (through the quick proof first, which any text written here passes). With a sink, the rest
  // of the text goes there and the buffer returned is empty.
  ByteBuffer finish(bool final_ending) {
    if (final_ending) write_ending();
    if (over_) throw output_limit_error();
    prove();
    const std::string_view held(text_.data(), static_cast<std::size_t>(text_.size()));
    const std::uint64_t size = text_.handed_on() + held.size();
    const bool proved = size > 0 && !held.empty() && proof_.finish(held.substr(proved_), size);
    // Text already handed on cannot be read again; it was proven, so only a tail the proof
    // rejects is left to judge, and that is not the text of a list.
    if (!proved && (text_.handed_on() > 0 || !is_integer_lines(held))) throw Error(kNotANumberList);
    return text_.finish();
  }

 private:
  TextBuffer text_;
  bool over_ = false;
  std::string_view ending_;
  LinesProof proof_;
  std::uint64_t proved_ = 0;  // the bytes of the buffer that proof_ has taken
};

// The longest line of a value in a word: a line ending before it, a sign and 20 digits.
constexpr std::uint64_t kLongestWordLine = 23;
// Leading zeros up to this many are written by the quick loop, from one store; more end it.
constexpr std::uint64_t kQuickLeadingZeros = 16;
// The quick loop stores a few bytes past each value's digits, which the next line overwrites.
constexpr std::uint64_t kQuickSpill = kDigitSlack;

// Each number below 1000 as a line after a line ending (LF or CR LF): the ending and the digits,
// first byte lowest, and the count of those bytes in the top byte.
constexpr std::array<std::uint64_t, 1000> small_lines(std::string_view ending) {
  std::array<std::uint64_t, 1000> t{};
  for (std::uint32_t v = 0; v < 1000; ++v) {
    const std::uint32_t digits = kThreeDigits[v];
    const unsigned length = digits >> 24;
    std::uint64_t bytes = 0;
    for (std::size_t j = 0; j < ending.size(); ++j) bytes |= static_cast<std::uint64_t>(ending[j]) << (8 * j);
    bytes |= static_cast<std::uint64_t>((digits & 0xFFFFFF) >> (8 * (3 - length))) << (8 * ending.size());
    t[v] = bytes | static_cast<std::uint64_t>(ending.size() + length) << 56;
  }
  return t;
}
constexpr auto kLfLines = small_lines("\n");
constexpr auto kCrLfLines = small_lines("\r\n");

// The lines of a piece of words, written straight to their place while their longest text fits
// under the limit and each line's leading zeros are few: returns the lines written, the rest
// being left to the careful loop. Everything the loop reads is held in locals:
// each byte it stores could otherwise be taken to change the writer's fields.
std::size_t write_word_lines(TextWriter& text, const std::uint64_t* words, std::size_t k, std::uint64_t first,
                             const std::vector<std::uint64_t>& minus_zero, std::size_t& next_minus_zero,
                             ByteCursor* zeros) {
  const std::uint64_t longest = kLongestWordLine + kQuickSpill + (zeros != nullptr ? kQuickLeadingZeros : 0);
  char* p = text.room(static_cast<std::uint64_t>(k) * longest);
  if (p == nullptr) return 0;
  static constexpr char kZeros[kQuickLeadingZeros + 1] = "0000000000000000";
  // Both bytes of the ending are always stored; a one-byte ending has its second overwritten.
  const std::string_view ending = text.ending();
  const char ending_bytes[2] = {ending[0], ending.back()};
  const std::size_t ending_size = ending.size();
  const std::uint64_t* const minus_zero_at = minus_zero.data();
  const std::size_t minus_zero_count = minus_zero.size();
  std::size_t next = next_minus_zero;
  // The next -0 line of the piece; past every line when there is none.
  std::size_t minus_zero_line = next < minus_zero_count ? minus_zero_at[next] : k;
  const unsigned char* leading_at = zeros != nullptr ? zeros->here() : nullptr;
  const std::array<std::uint64_t, 1000>& small_lines = ending_size == 2 ? kCrLfLines : kLfLines;
  const unsigned ending_bits = 8 * static_cast<unsigned>(ending_size);
  const std::uint64_t ending_mask = (std::uint64_t{1} << ending_bits) - 1;
  const std::uint64_t digits_mask = 0xFFFFFFFFFFFFFF & ~ending_mask;  // up to three digits: no byte reaches the top
  const std::uint64_t minus_after_ending = std::uint64_t{'-'} << ending_bits;
  std::size_t i = 0;
  for (; i < k; ++i) {
    const std::uint64_t w = words[i];
    // The common line, a small value after a line ending and nothing else, in one store; a
    // negative one has its '-' put between the ending and the digits.
    if ((leading_at == nullptr || *leading_at == 0) && i != minus_zero_line && first + i > 0) {
      if (w < 1000) {
        const std::uint64_t line = small_lines[w];
        std::memcpy(p, &line, 8);
        p += line >> 56;
        leading_at += leading_at != nullptr ? 1 : 0;
        continue;
      }
      if (0 - w < 1000) {
        const std::uint64_t line = small_lines[0 - w];
        const std::uint64_t negative_line = (line & ending_mask) | (line & digits_mask) << 8 | minus_after_ending;
        std::memcpy(p, &negative_line, 8);
        p += (line >> 56) + 1;
        leading_at += leading_at != nullptr ? 1 : 0;
        continue;
      }
    }
    std::uint64_t leading = 0;
    if (leading_at != nullptr) {
      // Counts were checked when the body was opened; nearly all are a single byte.
      if (*leading_at < 0x80) {
        leading = *leading_at;
        if (leading > kQuickLeadingZeros) break;
        ++leading_at;
      } else {
        break;
      }
    }
    if (first + i > 0) {
      std::memcpy(p, ending_bytes, 2);
      p += ending_size;
    }
    const bool negative = static_cast<std::int64_t>(w) < 0;
    const bool is_minus_zero = i == minus_zero_line;
    if (is_minus_zero) {
      ++next;
      minus_zero_line = next < minus_zero_count ? minus_zero_at[next] : k;
    }
    *p = '-';
    p += negative || is_minus_zero;
    if (leading_at != nullptr) {
      std::memcpy(p, kZeros, kQuickLeadingZeros);
      p += leading;
    }
    const std::uint64_t magnitude = negative ? 0 - w : w;
    p = write_decimal_digits(magnitude, decimal_digit_count(magnitude), p);
  }
  if (zeros != nullptr) zeros->pos += static_cast<std::uint64_t>(leading_at - zeros->here());
  next_minus_zero = next;
  text.commit(p);
  return i;
}

// Writes the lines of a piece of values, starting with line `first` of the text. minus_zero
// lists the lines of the piece (counted from first) that are -0, in increasing order; zeros is
// the cursor of the leading-zero counts, or null when there are none.
void write_lines(TextWriter& text, const IntegerList& values, std::uint64_t first,
                 const std::vector<std::uint64_t>& minus_zero, ByteCursor* zeros) {
  const std::size_t k = values.size();
  std::size_t next_minus_zero = 0;
  std::size_t i = 0;
  if (!values.wide()) i = write_word_lines(text, values.words().data(), k, first, minus_zero, next_minus_zero, zeros);
  for (; i < k && !text.over(); ++i) {
    if (first + i > 0) text.write_ending();
    const bool narrow = !values.wide();
    const std::uint64_t w = narrow ? values.words()[i] : 0;
    const bool negative = narrow ? static_cast<std::int64_t>(w) < 0 : values.big()[i].sign() < 0;
    const bool is_minus_zero = next_minus_zero < minus_zero.size() && minus_zero[next_minus_zero] == i;
    next_minus_zero += is_minus_zero;
    if (negative || is_minus_zero) {
      if (char* p = text.take(1)) *p = '-';
    }
    const std::uint64_t leading = zeros != nullptr ? cursor_read_varint_u64(*zeros) : 0;
    if (leading > 0) {
      if (char* p = text.take(leading)) std::memset(p, '0', leading);
    }
    if (!narrow) {
      text.write_magnitude(values.big()[i]);
      continue;
    }
    const std::uint64_t magnitude = negative ? 0 - w : w;
    const unsigned length = decimal_digit_count(magnitude);
    if (char* p = text.take(length)) write_decimal_digits(magnitude, length, p);
  }
}

}  // namespace

bool proves_integer_lines(std::string_view text, bool crlf) {
  LinesProof proof(crlf);
  const std::size_t whole = text.empty() ? 0 : (text.size() - 1) / 64 * 64;
  proof.add_blocks(text.data(), whole);
  return proof.finish(text.substr(whole), text.size());
}

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
    // The scan's word is the value of a short line; a longer one goes through the decimal
    // parser, and stays a word if it fits one.
    if (line.digits.size() <= kWordDecimalDigits) {
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
    TextWriter text(limit, static_cast<u128>(n) * (1 + ending.size()), ending, sink);
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
  TextSize size;
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
  TextWriter text(limit, size.fixed + size.upper, ending, sink);
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
