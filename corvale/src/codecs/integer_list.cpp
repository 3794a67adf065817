#include "codecs/integer_list.h"


namespace corvale {

void IntegerList::push_back(const BigInt& value) {
  if (!wide_ && fits_word(value)) {
    words_.push_back(signedness_ == Signedness::Signed ? static_cast<std::uint64_t>(value.to_i64()) : value.to_u64());
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
  wide_ = true;
  big_.reserve(words_.size() + 1);
  for (std::uint64_t w : words_) push_word(w);
  words_.clear();
}

}  // namespace corvale
