#pragma once
// A list of integers kept as 64-bit words while every value fits, and as big integers once one
// does not. Numbers in text almost always fit, and then no value costs an allocation; the codecs
// still handle numbers of any length through the same list and the same functions.
//
// A list holds either signed values (its words are two's-complement 64-bit integers) or
// non-negative magnitudes (its words are unsigned); the words themselves are only bits, and the
// list's signedness says how they read when a value is taken out or the list widens.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/bigint.h"

namespace corvale {

enum class Signedness : std::uint8_t { Unsigned, Signed };

class IntegerList {
 public:
  explicit IntegerList(Signedness signedness) : signedness_(signedness) {}

  Signedness signedness() const { return signedness_; }
  // For transforms that map every value from one domain to the other (zigzag, offsets).
  void set_signedness(Signedness signedness) { signedness_ = signedness; }

  std::size_t size() const { return wide_ ? big_size_ : words_.size(); }
  bool empty() const { return size() == 0; }
  // True once a value needed more than a word: the values are then in big(), not words().
  bool wide() const { return wide_; }
  // Empty and narrow again. The words and the big integers keep their storage, so a list that
  // is refilled piece after piece allocates nothing once it has held its largest piece.
  void clear() {
    words_.clear();
    big_size_ = 0;
    wide_ = false;
  }

  // bits must be a word as this list reads words.
  void push_word(std::uint64_t bits) {
    if (wide_) {
      set_word_value(append_slot(), bits);
    } else {
      words_.push_back(bits);
    }
  }
  // Any value of the list's domain; one that does not fit a word widens the list.
  void push_back(const BigInt& value);
  // Widens the list and appends a value for the caller to set in place: the returned integer
  // holds an old value and reuses its storage.
  BigInt& append_slot();

  BigInt value(std::size_t i) const { return wide_ ? big_[i] : word_value(words_[i]); }
  bool is_zero(std::size_t i) const { return wide_ ? big_[i].is_zero() : words_[i] == 0; }
  bool fits_word(const BigInt& value) const {
    return signedness_ == Signedness::Signed ? value.fits_i64() : value.fits_u64();
  }
  BigInt word_value(std::uint64_t bits) const {
    return signedness_ == Signedness::Signed ? BigInt::from_i64(static_cast<std::int64_t>(bits)) : BigInt(bits);
  }

  // Turns every word into a big integer; the list stays wide until cleared.
  void widen();

  // The storage, for transforms written once for each form: words() while narrow, big() once wide.
  std::vector<std::uint64_t>& words() { return words_; }
  const std::vector<std::uint64_t>& words() const { return words_; }
  std::span<BigInt> big() { return {big_.data(), big_size_}; }
  std::span<const BigInt> big() const { return {big_.data(), big_size_}; }

 private:
  void set_word_value(BigInt& slot, std::uint64_t bits) const {
    if (signedness_ == Signedness::Signed) {
      slot.assign_i64(static_cast<std::int64_t>(bits));
    } else {
      slot.assign_u64(bits);
    }
  }

  Signedness signedness_;
  bool wide_ = false;
  std::vector<std::uint64_t> words_;
  std::vector<BigInt> big_;  // the first big_size_ are the values; the rest keep their storage
  std::size_t big_size_ = 0;
};

}  // namespace corvale
