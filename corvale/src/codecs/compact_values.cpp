#include "codecs/compact_values.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "codecs/decimal_scale.h"

namespace corvale {

namespace {

unsigned width_of(std::int64_t v) {
  if (v >= INT8_MIN && v <= INT8_MAX) return 1;
  if (v >= INT16_MIN && v <= INT16_MAX) return 2;
  if (v >= INT32_MIN && v <= INT32_MAX) return 4;
  return 8;
}

// Every word at p, each in sizeof(Word) bytes; each must fit.
template <class Word>
void store_all(unsigned char* p, const std::vector<std::uint64_t>& words) {
  for (const std::uint64_t w : words) {
    const auto v = static_cast<Word>(static_cast<std::int64_t>(w));
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
  }
}

}  // namespace

void CompactValues::widen_words(unsigned width) {
  // In place, from the last value back: value i moves up to i x width, past every value before
  // it that is still to be read at the old width.
  bytes_.resize(count_ * width);
  for (std::size_t i = count_; i-- > 0;) {
    detail::store_compact_word(data() + i * width, width, detail::load_compact_word(data() + i * width_, width_));
  }
  width_ = width;
}

void CompactValues::widen_to_big() {
  for (std::size_t i = 0; i < count_; ++i) big_.push_word(static_cast<std::uint64_t>(word(i)));
  big_.widen();
  bytes_ = ByteBuffer();
  count_ = 0;
  wide_ = true;
}

void CompactValues::append(const IntegerList& piece) {
  if (piece.wide() && !wide_) widen_to_big();
  if (wide_) {
    for (std::size_t i = 0; i < piece.size(); ++i) big_.push_back(piece.value(i));
    return;
  }
  const std::vector<std::uint64_t>& words = piece.words();
  if (words.empty()) return;
  // The extremes tell the width, in a loop the compiler can run many lanes wide.
  std::int64_t low = static_cast<std::int64_t>(words[0]);
  std::int64_t high = low;
  for (const std::uint64_t w : words) {
    low = std::min(low, static_cast<std::int64_t>(w));
    high = std::max(high, static_cast<std::int64_t>(w));
  }
  const unsigned width = std::max({width_, width_of(low), width_of(high)});
  if (width > width_) widen_words(width);
  bytes_.resize((count_ + words.size()) * width_);
  unsigned char* const at = data() + count_ * width_;
  switch (width_) {
    case 1:
      store_all<std::int8_t>(at, words);
      break;
    case 2:
      store_all<std::int16_t>(at, words);
      break;
    case 4:
      store_all<std::int32_t>(at, words);
      break;
    default:
      store_all<std::int64_t>(at, words);
  }
  count_ += words.size();
}

std::vector<std::string> wide_decimal_digits(const CompactValues& values, MagnitudeBudget& budget,
                                             std::uint64_t dropped) {
  std::vector<std::string> digits;
  if (!values.wide()) return digits;
  digits.reserve(values.size());
  for (const BigInt& v : values.big().big()) budget.append_printed_digits(v, dropped, digits.emplace_back());
  return digits;
}

std::uint64_t magnitude_length(const CompactValues& values, const std::vector<std::string>& wide_digits, std::size_t i) {
  if (values.wide()) return wide_digits[i].size();
  const std::int64_t v = values.word(i);
  const std::uint64_t magnitude = (v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v)) | 1;
  // floor(log10(2^bits)) from the bit length, then one more when the value reaches that power.
  const unsigned guess = static_cast<unsigned>(64 - __builtin_clzll(magnitude)) * 1233 >> 12;
  return guess + (magnitude >= kPowersOfTen[guess] ? 1 : 0);
}

std::string_view magnitude_digits(const CompactValues& values, const std::vector<std::string>& wide_digits, std::size_t i,
                                  char (&buf)[20]) {
  if (values.wide()) return wide_digits[i];
  const std::int64_t v = values.word(i);
  const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  return {buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, magnitude).ptr - buf)};
}

}  // namespace corvale
