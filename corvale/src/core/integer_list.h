#pragma once
// A list of integers kept as 64-bit words while every value fits, and as big integers once one
// does not. Numbers in text almost always fit, and then no value costs an allocation; the codecs
// still handle numbers of any length through the same list and the same functions.
//
// A list holds either signed values (its words are two's-complement 64-bit integers) or
// non-negative magnitudes (its words are unsigned); the words themselves are only bits, and the
// list's signedness says how they read when a value is taken out or the list widens.
//
// A list may also keep its words in 1, 2 or 4 bytes each while every value fits (see
// allow_packed_words): a long list of small numbers then takes a fraction of the memory. Such a
// word is the low bits of the 64-bit one, read back sign-extended in a signed list and
// zero-extended in an unsigned one.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "core/bigint.h"

namespace corvale {

enum class Signedness : std::uint8_t { Unsigned, Signed };

class IntegerList {
 public:
  explicit IntegerList(Signedness signedness) : signedness_(signedness) {}

  // Calls f with the vector that holds the words of a narrow list, whatever their size: for
  // transforms that run on packed words as they are. Its element type is unsigned; a signed
  // list's words read through the matching signed type.
  template <class F>
  decltype(auto) visit_words(F&& f) {
    switch (word_bytes_) {
      case 1: return f(words8_);
      case 2: return f(words16_);
      case 4: return f(words32_);
      default: return f(words_);
    }
  }
  template <class F>
  decltype(auto) visit_words(F&& f) const {
    switch (word_bytes_) {
      case 1: return f(words8_);
      case 2: return f(words16_);
      case 4: return f(words32_);
      default: return f(words_);
    }
  }

  Signedness signedness() const { return signedness_; }
  // For transforms that map every value from one domain to the other (zigzag, offsets).
  void set_signedness(Signedness signedness) { signedness_ = signedness; }

  // Lets an empty list store its words in the fewest bytes (1, 2, 4 or 8) that hold every value
  // pushed so far; a value that does not fit repacks the list once into a wider size. clear()
  // keeps this choice.
  void allow_packed_words();
  // The bytes a word takes in storage: 8 unless packed.
  unsigned word_bytes() const { return word_bytes_; }

  std::size_t size() const {
    if (wide_) return big_size_;
    return visit_words([](const auto& w) { return w.size(); });
  }
  bool empty() const { return size() == 0; }
  // True once a value needed more than a word: the values are then in big(), not words().
  bool wide() const { return wide_; }
  // Empty and narrow again. The words and the big integers keep their storage, so a list that
  // is refilled piece after piece allocates nothing once it has held its largest piece.
  void clear() {
    words_.clear();
    words8_.clear();
    words16_.clear();
    words32_.clear();
    big_size_ = 0;
    wide_ = false;
    word_bytes_ = packed_ ? 1 : 8;
  }

  // bits must be a word as this list reads words.
  void push_word(std::uint64_t bits) {
    if (wide_) {
      set_word_value(append_slot(), bits);
    } else if (word_bytes_ == 8) {
      words_.push_back(bits);
    } else {
      push_packed_word(bits);
    }
  }
  // Room for n words in the storage the words take now.
  void reserve(std::size_t n) {
    if (!wide_) visit_words([&](auto& w) { w.reserve(n); });
  }
  // Any value of the list's domain; one that does not fit a word widens the list.
  void push_back(const BigInt& value);
  // Widens the list and appends a value for the caller to set in place: the returned integer
  // holds an old value and reuses its storage.
  BigInt& append_slot();

  BigInt value(std::size_t i) const { return wide_ ? big_[i] : word_value(word(i)); }
  bool is_zero(std::size_t i) const { return wide_ ? big_[i].is_zero() : word(i) == 0; }
  // Word i of a narrow list, as 64 bits.
  std::uint64_t word(std::size_t i) const {
    return visit_words([&](const auto& w) { return extend(w[i]); });
  }
  bool fits_word(const BigInt& value) const {
    return signedness_ == Signedness::Signed ? value.fits_i64() : value.fits_u64();
  }
  BigInt word_value(std::uint64_t bits) const {
    return signedness_ == Signedness::Signed ? BigInt::from_i64(static_cast<std::int64_t>(bits)) : BigInt(bits);
  }

  // Turns every word into a big integer; the list stays wide until cleared.
  void widen();
  // Stores the words in at least bytes (1, 2, 4 or 8) each, as their values read now.
  void repack(unsigned bytes);

  // The storage, for transforms written once for each form: words() while narrow, big() once wide.
  // words() turns packed words into 64-bit ones first; the const form refuses packed words.
  std::vector<std::uint64_t>& words() {
    if (word_bytes_ != 8) repack(8);
    return words_;
  }
  const std::vector<std::uint64_t>& words() const {
    if (word_bytes_ != 8) throw std::logic_error("packed words read as 64-bit words");
    return words_;
  }
  // A stored word as 64 bits, extended as this list reads words.
  template <class T>
  std::uint64_t extend(T w) const {
    if (signedness_ == Signedness::Signed) {
      return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::make_signed_t<T>>(w)));
    }
    return w;
  }
  // The fewest bytes (1, 2, 4 or 8) that hold bits as this list reads words.
  unsigned bytes_for(std::uint64_t bits) const {
    // A signed word fits n bytes when, its sign bit cleared by complementing a negative one,
    // twice it fits n unsigned bytes.
    std::uint64_t m = bits;
    if (signedness_ == Signedness::Signed) {
      m = (bits ^ static_cast<std::uint64_t>(static_cast<std::int64_t>(bits) >> 63)) << 1;
    }
    if (m < (std::uint64_t{1} << 8)) return 1;
    if (m < (std::uint64_t{1} << 16)) return 2;
    if (m < (std::uint64_t{1} << 32)) return 4;
    return 8;
  }
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

  // Inline: a list is filled a value at a time while a text is parsed.
  void push_packed_word(std::uint64_t bits) {
    const unsigned need = bytes_for(bits);
    if (need > word_bytes_) repack(need);
    switch (word_bytes_) {
      case 1: words8_.push_back(static_cast<std::uint8_t>(bits)); break;
      case 2: words16_.push_back(static_cast<std::uint16_t>(bits)); break;
      case 4: words32_.push_back(static_cast<std::uint32_t>(bits)); break;
      default: words_.push_back(bits); break;
    }
  }

  Signedness signedness_;
  bool wide_ = false;
  bool packed_ = false;
  unsigned word_bytes_ = 8;
  std::vector<std::uint64_t> words_;
  std::vector<std::uint8_t> words8_;  // the words while they are packed, in one of these
  std::vector<std::uint16_t> words16_;
  std::vector<std::uint32_t> words32_;
  std::vector<BigInt> big_;  // the first big_size_ are the values; the rest keep their storage
  std::size_t big_size_ = 0;
};

}  // namespace corvale
