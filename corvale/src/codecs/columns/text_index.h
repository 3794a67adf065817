#pragma once
// Distinct texts of a column found again by their hash, for the encoders that number them (a
// dictionary's entries, a template's slot texts).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace corvale {

// The n < 8 bytes at p as one word, read as at most two overlapping loads rather than by a
// library call: texts of the same length are equal exactly when these words are.
inline std::uint64_t short_word(const char* p, std::size_t n) {
  if (n >= 4) {
    std::uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    return lo | static_cast<std::uint64_t>(hi) << 32;
  }
  if (n == 0) return 0;
  const auto byte = [p](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])); };
  return byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
}

// Cells are mostly short: compared in a word or two rather than by a library call.
inline bool same_text(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8) return short_word(a.data(), n) == short_word(b.data(), n);
  if (n > 16) return std::memcmp(a.data(), b.data(), n) == 0;
  std::uint64_t a0, a1, b0, b1;
  std::memcpy(&a0, a.data(), 8);
  std::memcpy(&a1, a.data() + n - 8, 8);
  std::memcpy(&b0, b.data(), 8);
  std::memcpy(&b1, b.data() + n - 8, 8);
  return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

// Distinct texts found again by their hash: open addressing over slots of a hash and a number
// the caller gives each new text, so a column of a million distinct cells needs a few bytes a
// cell, not a node each, and texts are compared only when their hashes agree. The index keeps
// no text of its own: text_of(number) gives any number back from the caller's lists.
class TextIndex {
 public:
  // The number of the text equal to text, or fresh, now kept as text's number. Inline in the
  // loops over cells, the growing kept out of line.
  template <class TextOf>
  [[gnu::always_inline]] std::uint32_t find_or_add(std::string_view text, std::uint32_t fresh, const TextOf& text_of) {
    if (2 * (count_ + 1) > slots_.size()) grow(text_of);
    const std::uint64_t h = hash(text);
    const auto tag = static_cast<std::uint32_t>(h);
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (slot.number == 0) {
        ++count_;
        slot = Slot{tag, fresh + 1};
        return fresh;
      }
      if (slot.tag == tag && same_text(text_of(slot.number - 1), text)) return slot.number - 1;
    }
  }

 private:
  // A slot keeps the low half of its text's hash, which holds the slot bits of every table
  // smaller than 2^32 slots: growing moves slots without reading a text again.
  struct Slot {
    std::uint32_t tag;     // the low half of the text's hash
    std::uint32_t number;  // 0 empty, else the text's number plus one
  };

  static std::uint64_t hash(std::string_view s) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      h = (h ^ w) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 32;
    }
    h = (h ^ short_word(s.data() + i, s.size() - i)) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
  }

  template <class TextOf>
  [[gnu::noinline]] void grow(const TextOf& text_of) {
    const std::size_t size = slots_.empty() ? 64 : slots_.size() * 2;
    const std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size, Slot{0, 0}));
    mask_ = size - 1;
    const bool tag_holds_slot = size <= (std::uint64_t{1} << 32);
    for (const Slot& slot : old) {
      if (slot.number == 0) continue;
      std::size_t i = (tag_holds_slot ? slot.tag : hash(text_of(slot.number - 1))) & mask_;
      while (slots_[i].number != 0) i = (i + 1) & mask_;
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
  std::size_t mask_ = 0;
};

// Distinct texts numbered in order of first appearance.
class TextList {
 public:
  std::uint32_t find_or_add(std::string_view text) {
    const std::uint32_t number = index_.find_or_add(text, static_cast<std::uint32_t>(texts_.size()),
                                                    [this](std::uint32_t n) { return texts_[n]; });
    if (number == texts_.size()) texts_.push_back(text);
    return number;
  }
  const std::vector<std::string_view>& texts() const { return texts_; }

 private:
  TextIndex index_;
  std::vector<std::string_view> texts_;
};

}  // namespace corvale
