#include "codecs/integer_list.h"

#include <utility>

namespace corvale {

void IntegerList::push_back(BigInt value) {
  if (!wide_ && fits_word(value)) {
    words_.push_back(signedness_ == Signedness::Signed ? static_cast<std::uint64_t>(value.to_i64()) : value.to_u64());
    return;
  }
  widen();
  big_.push_back(std::move(value));
}

void IntegerList::widen() {
  if (wide_) return;
  big_.reserve(words_.size() + 1);
  for (std::uint64_t w : words_) big_.push_back(word_value(w));
  words_ = {};
  wide_ = true;
}

}  // namespace corvale
