#include "codecs/numbers/value_pieces.h"

#include <algorithm>
#include <cstdint>

namespace corvale {

namespace {

// A piece of values holds at most this many entries and, roughly, bytes.
constexpr std::size_t kPieceValues = 4096;
constexpr std::uint64_t kPieceBytes = 4 << 20;

std::uint64_t magnitude_bytes(const BigInt& v) { return (v.bit_length() + 7) / 8; }

}  // namespace

bool ValuePieces::next(IntegerList& values, MagnitudeBudget* budget) {
  values.clear();
  const std::size_t size = piece_size();
  if (!started_) {
    for (std::size_t i = 0; i < seeds_.size(); ++i) values.push_back(seeds_.value(i));
    started_ = true;
  }
  magnitudes_.clear();
  reader_.read(magnitudes_, size);
  if (values.empty() && magnitudes_.empty()) return false;
  if (base_ != nullptr) {
    collect_bigints_offset_by_base(values, magnitudes_, *base_, budget);
  } else {
    collect_zigzag_decoded_bigints(values, magnitudes_);
  }
  for (unsigned pass = 0; pass < d_; ++pass) prefix_sum_in_place(values, carries_[pass], budget);
  return true;
}

void ValuePieces::rewind() {
  reader_.rewind();
  started_ = false;
  carries_[0] = BigInt();
  carries_[1] = BigInt();
}

// Values in a piece are about as long as the longest of the base and the running sums, so fewer
// of them are taken when those are long.
std::size_t ValuePieces::piece_size() const {
  std::uint64_t longest = base_ != nullptr ? magnitude_bytes(*base_) : 0;
  for (const BigInt& c : carries_) longest = std::max(longest, magnitude_bytes(c));
  // The seeds open the first piece; after it the carries hold them.
  for (std::size_t i = 0; !started_ && i < seeds_.size(); ++i) {
    longest = std::max(longest, magnitude_bytes(seeds_.value(i)));
  }
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(kPieceBytes / (longest + 16), 1, kPieceValues));
}

}  // namespace corvale
