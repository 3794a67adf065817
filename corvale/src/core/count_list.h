#pragma once
// A count for every number of a text (leading zeros, fraction digits): one byte each while all
// of them are below 256, as they nearly always are, eight bytes each from the first that is not.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/varint.h"

namespace corvale {

class CountList {
 public:
  void push_back(std::uint64_t count) {
    if (!wide_ && count <= 0xFF) {
      narrow_.push_back(static_cast<std::uint8_t>(count));
      return;
    }
    if (!wide_) {
      wide_values_.assign(narrow_.begin(), narrow_.end());
      narrow_ = {};
      wide_ = true;
    }
    wide_values_.push_back(count);
  }
  // Room for n counts of one byte (a list that widens later grows as it must).
  void reserve(std::size_t n) { narrow_.reserve(n); }
  std::uint64_t operator[](std::size_t i) const { return wide_ ? wide_values_[i] : narrow_[i]; }
  std::size_t size() const { return wide_ ? wide_values_.size() : narrow_.size(); }
  bool empty() const { return size() == 0; }

 private:
  bool wide_ = false;
  std::vector<std::uint8_t> narrow_;
  std::vector<std::uint64_t> wide_values_;
};

// count varints in a row. The list grows as they are read, so a count that the bytes cannot
// hold fails on the first faulty varint before it costs memory.
inline CountList read_count_list(ByteCursor& cursor, std::uint64_t count) {
  CountList list;
  for (std::uint64_t i = 0; i < count; ++i) list.push_back(cursor_read_varint_u64(cursor));
  return list;
}

}  // namespace corvale
