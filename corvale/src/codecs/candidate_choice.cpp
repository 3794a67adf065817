#include "codecs/candidate_choice.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <type_traits>
#include <utility>

#include "codecs/candidate_road.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

constexpr std::uint8_t kMethodBase = 8;

// The values from index first on are turned into the magnitudes a body stores, measured, and
// turned back: no second list. Words wrap as two's complement, which is exact here: a zigzag or
// an offset from the smallest value always fits in 64 unsigned bits.
void zigzag_from(IntegerList& values, std::size_t first) {
  if (!values.wide()) {
    values.visit_words([&](auto& w) {
      for (std::size_t i = first; i < w.size(); ++i) w[i] = zigzag_encode_word(w[i]);
    });
    return;
  }
  for (BigInt& x : values.big().subspan(first)) x.zigzag_in_place();
}

void unzigzag_from(IntegerList& values, std::size_t first) {
  if (!values.wide()) {
    values.visit_words([&](auto& w) {
      for (std::size_t i = first; i < w.size(); ++i) w[i] = zigzag_decode_word(w[i]);
    });
    return;
  }
  for (BigInt& m : values.big().subspan(first)) m.unzigzag_in_place();
}

BigInt smallest_from(const IntegerList& values, std::size_t first) {
  if (!values.wide()) {
    return values.visit_words([&](const auto& w) {
      using S = std::make_signed_t<typename std::remove_reference_t<decltype(w)>::value_type>;
      S least = static_cast<S>(w[first]);
      for (std::size_t i = first + 1; i < w.size(); ++i) least = std::min(least, static_cast<S>(w[i]));
      return BigInt::from_i64(least);
    });
  }
  const std::span<const BigInt> rest = values.big().subspan(first);
  return *std::min_element(rest.begin(), rest.end());
}

void offset_from(IntegerList& values, std::size_t first, const BigInt& base, bool subtract) {
  if (!values.wide()) {
    // Packed words wrap in their own size: an offset from the smallest value always fits it.
    values.visit_words([&](auto& w) {
      using T = typename std::remove_reference_t<decltype(w)>::value_type;
      const auto b = static_cast<T>(base.to_i64());
      for (std::size_t i = first; i < w.size(); ++i) w[i] = static_cast<T>(subtract ? w[i] - b : w[i] + b);
    });
    return;
  }
  for (BigInt& x : values.big().subspan(first)) {
    if (subtract) {
      x -= base;
    } else {
      x += base;
    }
  }
}

}  // namespace

void CandidateChoice::offer(std::uint8_t method) {
  if (scratch_.size() > max_bytes_) return;
  // A later candidate must be strictly smaller to replace the kept one, so a stream that reaches
  // the kept one's size need not be written out.
  std::optional<std::uint64_t> size;
  if (!found_) {
    size = deflate_compress_fast(scratch_);
  } else if (size_ > 0) {
    size = deflate_compress_fast_within(scratch_, size_ - 1);
  }
  if (!size) return;
  found_ = true;
  size_ = *size;
  method_ = method;
  best_.swap(scratch_);
}

namespace {

// Lists shorter than this are chosen for on the calling thread: starting workers would cost more
// than their measurements save.
constexpr std::size_t kParallelMinValues = 1 << 16;

// One worker's candidate on the road: built in claim, measured in work, weighed against the kept
// one at the worker's next claim.
struct RoadSlot {
  std::string bytes;
  std::uint8_t method = 0;
  std::uint64_t index = 0;
  std::optional<std::uint64_t> bound;  // the size it must not pass to win; none: unbounded
  std::optional<std::uint64_t> size;   // none: over its bound
  bool pending = false;
};

std::optional<ChosenCandidate> choose_candidate_on_road(CandidateSource& source, std::uint64_t max_bytes,
                                                        const CandidateRoad& road) {
  std::vector<RoadSlot> slots(road.workers);
  std::optional<ChosenCandidate> best;
  std::uint64_t best_size = 0;
  std::uint64_t best_index = 0;
  std::uint64_t next_index = 0;

  // Measurements end in any order, so the kept candidate is the smallest, the earliest of equals:
  // the one the calling thread alone would keep.
  auto weigh = [&](RoadSlot& slot) {
    if (!slot.pending) return;
    slot.pending = false;
    if (!slot.size) return;
    if (best && (*slot.size > best_size || (*slot.size == best_size && slot.index > best_index))) return;
    if (!best) best.emplace();
    best_size = *slot.size;
    best_index = slot.index;
    best->method = slot.method;
    best->bytes.swap(slot.bytes);
  };
  auto claim = [&](unsigned worker) {
    RoadSlot& slot = slots[worker];
    weigh(slot);
    for (;;) {
      slot.bytes.clear();
      if (!source.next(slot.bytes, slot.method)) return false;
      slot.index = next_index++;
      if (slot.bytes.size() > max_bytes) continue;
      // Every candidate weighed so far came before this one, which must be strictly smaller to
      // win: a stream that reaches the kept size need not be written out.
      if (best && best_size == 0) continue;
      slot.bound = best ? std::optional<std::uint64_t>(best_size - 1) : std::nullopt;
      slot.pending = true;
      return true;
    }
  };
  auto work = [&](unsigned worker) {
    RoadSlot& slot = slots[worker];
    slot.size = slot.bound ? deflate_compress_fast_within(slot.bytes, *slot.bound)
                           : std::optional<std::uint64_t>(deflate_compress_fast(slot.bytes));
  };
  road.run(road.workers, claim, work);
  return best;
}

// The candidates of choose_difference_encoding in their order, built in place in the list: it
// is turned into magnitudes for one variant's layouts and back, never copied.
class DifferenceCandidates final : public CandidateSource {
 public:
  DifferenceCandidates(IntegerList values, const DifferenceFraming& framing)
      : values_(std::move(values)), framing_(framing), n_(values_.size()) {
    enter_order();
  }

  bool next(std::string& bytes, std::uint8_t& method) override {
    while (!done_) {
      if (layout_ == std::size(kLayoutsInOrder)) {
        leave_variant();
        continue;
      }
      const std::uint8_t layout = kLayoutsInOrder[layout_++];
      method = static_cast<std::uint8_t>(d_ | (with_base_ ? kMethodBase : 0) | layout);
      if (framing_.method_byte_first) bytes.push_back(static_cast<char>(method));
      bytes += head_;
      if (!append_number_list_body(values_, seeds_, layout, bytes)) {
        bytes.clear();
        continue;
      }
      bytes += framing_.tail;
      return true;
    }
    return false;
  }

 private:
  // Order d_ begins: the list becomes its d-th differences, the first d of them the seeds, the
  // rest zigzagged for the variant without a base.
  void enter_order() {
    if (d_ > 0) values_ = delta_encode_big(std::move(values_));
    seeds_ = std::min<std::size_t>(d_, n_);
    head_.clear();
    for (std::size_t i = 0; i < seeds_; ++i) write_varint_big(zigzag_encode_big(values_.value(i)), head_);
    zigzag_from(values_, seeds_);
  }

  // Every layout of a variant is built: on to the base variant when values follow the seeds,
  // else to the next order.
  void leave_variant() {
    layout_ = 0;
    if (!with_base_) {
      unzigzag_from(values_, seeds_);
      if (n_ > seeds_) {
        base_ = smallest_from(values_, seeds_);
        offset_from(values_, seeds_, base_, true);
        write_varint_big(zigzag_encode_big(base_), head_);
        with_base_ = true;
        return;
      }
    } else {
      offset_from(values_, seeds_, base_, false);
      with_base_ = false;
    }
    if (d_ == 2) {
      done_ = true;
      return;
    }
    ++d_;
    enter_order();
  }

  IntegerList values_;
  const DifferenceFraming& framing_;
  const std::size_t n_;
  std::uint8_t d_ = 0;
  bool with_base_ = false;
  bool done_ = false;
  std::size_t layout_ = 0;
  std::size_t seeds_ = 0;
  std::string head_;
  BigInt base_;
};

}  // namespace

std::optional<ChosenCandidate> choose_candidate(CandidateSource& source, std::uint64_t max_bytes, bool parallel) {
  const CandidateRoad& road = candidate_road();
  if (parallel && road.run != nullptr && road.workers >= 2) return choose_candidate_on_road(source, max_bytes, road);
  CandidateChoice choice(max_bytes);
  std::uint8_t method = 0;
  while (source.next(choice.next(), method)) choice.offer(method);
  if (!choice.found()) return std::nullopt;
  return ChosenCandidate{choice.method(), choice.take()};
}

std::optional<DifferenceEncoding> choose_difference_encoding(IntegerList values, const DifferenceFraming& framing) {
  const bool parallel = values.size() >= kParallelMinValues;
  DifferenceCandidates candidates(std::move(values), framing);
  return choose_candidate(candidates, framing.max_bytes, parallel);
}

}  // namespace corvale
