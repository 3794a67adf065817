#pragma once
// The decoded values of a text's numbers, each kept in as few bytes as hold every value so far:
// 1, 2, 4 or 8 (all widened at once when a value needs more), or as big integers once one
// needs more than 64 bits. Numbers of a few digits then cost a byte or two each instead of
// eight, so a decode holds little beyond the text it restores.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/byte_buffer.h"
#include "codecs/integer_list.h"
#include "codecs/magnitude_budget.h"

namespace corvale {

namespace detail {
// The word of width bytes at p, sign-extended.
inline std::int64_t load_compact_word(const unsigned char* p, unsigned width) {
  switch (width) {
    case 1:
      return static_cast<std::int8_t>(*p);
    case 2: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case 4: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default: {
      std::int64_t v;
      std::memcpy(&v, p, 8);
      return v;
    }
  }
}
// v in width bytes at p; v must fit.
inline void store_compact_word(unsigned char* p, unsigned width, std::int64_t v) {
  switch (width) {
    case 1:
      *p = static_cast<unsigned char>(v);
      break;
    case 2: {
      const auto w = static_cast<std::int16_t>(v);
      std::memcpy(p, &w, 2);
      break;
    }
    case 4: {
      const auto w = static_cast<std::int32_t>(v);
      std::memcpy(p, &w, 4);
      break;
    }
    default:
      std::memcpy(p, &v, 8);
  }
}
}  // namespace detail

class CompactValues {
 public:
  // Appends a piece of signed values.
  void append(const IntegerList& piece);

  std::size_t size() const { return wide_ ? big_.size() : count_; }
  // True once a value needed more than 64 bits: the values are then in big().
  bool wide() const { return wide_; }
  std::int64_t word(std::size_t i) const { return detail::load_compact_word(data() + i * width_, width_); }
  // Replaces value i by one of the same sign and no larger magnitude (a value divided).
  void shrink_word(std::size_t i, std::int64_t v) { detail::store_compact_word(data() + i * width_, width_, v); }
  const IntegerList& big() const { return big_; }

  bool is_zero(std::size_t i) const { return wide_ ? big_.is_zero(i) : word(i) == 0; }
  bool is_negative(std::size_t i) const { return wide_ ? big_.big()[i].sign() < 0 : word(i) < 0; }

 private:
  unsigned char* data() { return reinterpret_cast<unsigned char*>(bytes_.data()); }
  const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(bytes_.data()); }
  void widen_words(unsigned width);
  void widen_to_big();

  unsigned width_ = 1;  // bytes a word
  std::size_t count_ = 0;
  // Grown without clearing: every byte is stored before it is read, and a large block grows
  // without its bytes being copied.
  ByteBuffer bytes_;
  bool wide_ = false;
  IntegerList big_{Signedness::Signed};
};

// The decimal digits of every magnitude of values once they are big integers (none while they
// are words, whose digits are written on demand), made once. Each value is to be printed less
// at most dropped digits: its digits are weighed against what budget lets the decode print.
std::vector<std::string> wide_decimal_digits(const CompactValues& values, MagnitudeBudget& budget,
                                             std::uint64_t dropped);
// How many digits the magnitude of value i has.
std::uint64_t magnitude_length(const CompactValues& values, const std::vector<std::string>& wide_digits, std::size_t i);
// The digits of the magnitude of value i; buf holds them for a word.
std::string_view magnitude_digits(const CompactValues& values, const std::vector<std::string>& wide_digits, std::size_t i,
                                  char (&buf)[20]);

}  // namespace corvale
