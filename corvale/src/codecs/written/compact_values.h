#pragma once
// The decoded values of a text's numbers, each kept in as few bytes as hold every value so far:
// 1, 2, 4 or 8 (all widened at once when a value needs more), and a big integer for each value
// that needs more than 64 bits. Numbers of a few digits then cost a byte or two each instead of
// eight, so a decode holds little beyond the text it restores.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/written/decimal_scale.h"
#include "core/byte_buffer.h"
#include "core/integer_list.h"
#include "core/magnitude_budget.h"
#include "core/varint.h"

namespace corvale {

namespace detail {
// The least word of width bytes.
inline std::int64_t least_compact_word(unsigned width) {
  return width >= 8 ? INT64_MIN : -(std::int64_t{1} << (8 * width - 1));
}
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
  // Appends a piece of signed values. The fewest digits each big value will print, less dropped
  // (the digits a decimal scale may take off it), are charged to budget when one is given: a
  // decode stops at the first value past its limit, not once it has read them all.
  void append(const IntegerList& piece, MagnitudeBudget* budget = nullptr, std::uint64_t dropped = 0);

  std::size_t size() const { return count_; }
  // True once some value needed more than 64 bits. Only those values are big integers: the
  // others stay words, each in a slot of the common width, so that one long number costs its
  // column no more than itself.
  bool wide() const { return !big_.empty(); }
  bool is_big(std::size_t i) const { return load(i) == marker_; }
  // Value i, which is not big.
  std::int64_t word(std::size_t i) const { return load(i); }
  // The slots, taken once for a loop that writes elsewhere (and so would have to look up where
  // they are at every value): valid until the next append.
  struct Words {
    const unsigned char* data;
    unsigned width;
    std::int64_t operator[](std::size_t i) const { return detail::load_compact_word(data + i * width, width); }
  };
  Words words() const { return {data(), width_}; }
  // Replaces value i, which is not big, by one of the same sign and no larger magnitude (a value
  // divided).
  void shrink_word(std::size_t i, std::int64_t v) { detail::store_compact_word(data() + i * width_, width_, v); }

  // A big value is never 0, and its mark is no 0 either.
  bool is_zero(std::size_t i) const { return load(i) == 0; }
  bool is_negative(std::size_t i) const {
    const std::int64_t w = load(i);
    return w != marker_ ? w < 0 : big_[big_ordinal(i)].negative;
  }

  // Big value i, until make_digits() has let it go.
  const BigInt& big_value(std::size_t i) const { return big_[big_ordinal(i)].value; }
  // Makes the decimal digits of the magnitude of every big value whose digits are not made yet,
  // and lets those big integers go. Each is to be printed less at most dropped digits: what it
  // prints beyond the fewest digits append() charged is charged to budget.
  void make_digits(MagnitudeBudget& budget, std::uint64_t dropped);
  // The digits of big value i, once made; a decimal scale may cut them.
  std::string& big_digits(std::size_t i) { return big_[big_ordinal(i)].digits; }
  const std::string& big_digits(std::size_t i) const { return big_[big_ordinal(i)].digits; }

 private:
  struct Big {
    std::size_t index;
    bool negative;
    BigInt value;
    std::string digits;
    std::uint64_t printed_charged;  // digits charged to a budget so far
  };

  unsigned char* data() { return reinterpret_cast<unsigned char*>(bytes_.data()); }
  const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(bytes_.data()); }
  std::int64_t load(std::size_t i) const { return detail::load_compact_word(data() + i * width_, width_); }
  std::size_t big_ordinal(std::size_t i) const;
  void widen_words(unsigned width);
  void append_mixed(const IntegerList& piece, MagnitudeBudget* budget, std::uint64_t dropped);

  unsigned width_ = 1;  // bytes a word
  // The slot of a big value: the least word of the width, which no word of that width holds.
  std::int64_t marker_ = detail::least_compact_word(1);
  std::size_t count_ = 0;
  // Grown without clearing: every byte is stored before it is read, and a large block grows
  // without its bytes being copied.
  ByteBuffer bytes_;
  std::vector<Big> big_;  // in value order
};

// Takes the digits a decimal scale s appended off value i, given its stored count x (relative or
// absolute), and returns its fraction digits; a big value's digits must be made, and are cut.
// Throws "Invalid decimal scale".
std::uint64_t undo_word_decimal_scale(CompactValues& values, std::size_t i, std::uint64_t s, std::uint64_t x, bool relative);
inline std::uint64_t undo_decimal_scale(CompactValues& values, std::size_t i, std::uint64_t s, std::uint64_t x,
                                        bool relative) {
  if (values.is_big(i)) return undo_decimal_scale(values.big_digits(i), s, x, relative);
  // The usual value: no digit appended (a count of 0, and for a relative count a last digit that
  // is not 0), so all s fraction digits are written and the value stays as it is.
  if (x == 0 && (!relative || values.word(i) % 10 != 0)) return s;
  return undo_word_decimal_scale(values, i, s, x, relative);
}

// A number column's values taken piece by piece into as few bytes as they need: a column of small
// numbers then holds a byte or two a value while it is read, not a full word. Each is printed
// less at most dropped digits.
CompactValues read_compact_number_column(ByteCursor& cursor, std::uint64_t count, std::uint64_t dropped,
                                         MagnitudeBudget& budget);

}  // namespace corvale
