#include "codecs/number_list/number_list_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "codecs/number_list/number_list_lines.h"
#include "codecs/written/number_messages.h"
#include "core/digits.h"
#include "core/error.h"
#include "core/output_budget.h"

namespace corvale {

void ListTextWriter::write_magnitude(const BigInt& v) {
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

void ListTextWriter::prove() {
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

ByteBuffer ListTextWriter::finish(bool final_ending) {
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

void ListTextSize::add(const IntegerList& values) {
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

namespace {

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
std::size_t write_word_lines(ListTextWriter& text, const std::uint64_t* words, std::size_t k, std::uint64_t first,
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
    p = write_decimal(magnitude, p);
  }
  if (zeros != nullptr) zeros->pos += static_cast<std::uint64_t>(leading_at - zeros->here());
  next_minus_zero = next;
  text.commit(p);
  return i;
}

}  // namespace

// Writes the lines of a piece of values, starting with line `first` of the text. minus_zero
// lists the lines of the piece (counted from first) that are -0, in increasing order; zeros is
// the cursor of the leading-zero counts, or null when there are none.
void write_lines(ListTextWriter& text, const IntegerList& values, std::uint64_t first,
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
    if (char* p = text.take(length)) write_decimal(magnitude, p);
  }
}

}  // namespace corvale
