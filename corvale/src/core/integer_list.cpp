#include "core/integer_list.h"

namespace corvale {

namespace {

template <class To, class From>
void copy_words(std::vector<To>& to, std::vector<From>& from, const IntegerList& list) {
  to.clear();
  to.reserve(from.capacity());
  for (const From w : from) to.push_back(static_cast<To>(list.extend(w)));
  from.clear();
  from.shrink_to_fit();
}

}  // namespace

void IntegerList::allow_packed_words() {
  if (!empty() || wide_) throw std::logic_error("packing a list that holds values");
  packed_ = true;
  word_bytes_ = 1;
}

void IntegerList::repack(unsigned bytes) {
  if (wide_ || bytes <= word_bytes_) return;
  const unsigned to = bytes <= 2 ? 2 : bytes <= 4 ? 4 : 8;
  // Reserved for as many words as the old storage was, so a list reserved for its final
  // length stays reserved.
  visit_words([&](auto& from) {
    switch (to) {
      case 2: copy_words(words16_, from, *this); break;
      case 4: copy_words(words32_, from, *this); break;
      default: copy_words(words_, from, *this); break;
    }
  });
  word_bytes_ = to;
}

void IntegerList::push_back(const BigInt& value) {
  if (!wide_ && fits_word(value)) {
    push_word(signedness_ == Signedness::Signed ? static_cast<std::uint64_t>(value.to_i64()) : value.to_u64());
    return;
  }
  append_slot() = value;
}

BigInt& IntegerList::append_slot() {
  widen();
  if (big_size_ == big_.size()) big_.emplace_back();
  return big_[big_size_++];
}

void IntegerList::widen() {
  if (wide_) return;
  repack(8);
  wide_ = true;
  big_.reserve(words_.size() + 1);
  for (std::uint64_t w : words_) push_word(w);
  words_.clear();
}

}  // namespace corvale
