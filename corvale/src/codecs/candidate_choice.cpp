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

// One worker's candidate on the road: built in one work, weighed up at the next claim, measured
// in the next work, weighed against the kept one at the claim after.
struct RoadSlot {
  enum class Phase { Idle, Building, Measuring };
  Phase phase = Phase::Idle;
  std::size_t in_batch = 0;
  std::uint64_t index = 0;  // in the order of every candidate
  std::string bytes;
  std::uint8_t method = 0;
  bool applies = false;
  std::optional<std::uint64_t> bound;  // the size it must not pass to win; none: unbounded
  std::optional<std::uint64_t> size;   // none: over its bound
};

std::optional<ChosenCandidate> choose_candidate_on_road(CandidateSource& source, std::uint64_t max_bytes,
                                                        const CandidateRoad& road) {
  std::vector<RoadSlot> slots(road.workers);
  std::optional<ChosenCandidate> best;
  std::uint64_t best_size = 0;
  std::uint64_t best_index = 0;
  bool in_batch = false;
  bool exhausted = false;
  std::size_t batch_size = 0;
  std::size_t batch_next = 0;
  std::uint64_t batch_first = 0;
  unsigned building = 0;

  // Measurements end in any order, so the kept candidate is the smallest, the earliest of equals:
  // the one the calling thread alone would keep.
  auto weigh = [&](RoadSlot& slot) {
    if (!slot.size) return;
    if (best && (*slot.size > best_size || (*slot.size == best_size && slot.index > best_index))) return;
    if (!best) best.emplace();
    best_size = *slot.size;
    best_index = slot.index;
    best->method = slot.method;
    best->bytes.swap(slot.bytes);
  };
  // A built candidate is measured only as far as it could still win: strictly smaller than the
  // kept one when that comes earlier, at most as large when it comes later.
  auto start_measuring = [&](RoadSlot& slot) {
    if (!slot.applies || slot.bytes.size() > max_bytes) return false;
    slot.bound.reset();
    if (best) {
      if (best_index > slot.index) {
        slot.bound = best_size;
      } else if (best_size > 0) {
        slot.bound = best_size - 1;
      } else {
        return false;
      }
    }
    slot.phase = RoadSlot::Phase::Measuring;
    return true;
  };
  auto claim = [&](unsigned worker) {
    RoadSlot& slot = slots[worker];
    if (slot.phase == RoadSlot::Phase::Building) {
      --building;
      slot.phase = RoadSlot::Phase::Idle;
      if (start_measuring(slot)) return RoadStep::Work;
    } else if (slot.phase == RoadSlot::Phase::Measuring) {
      weigh(slot);
      slot.phase = RoadSlot::Phase::Idle;
    }
    for (;;) {
      if (in_batch && batch_next < batch_size) {
        slot.in_batch = batch_next++;
        slot.index = batch_first + slot.in_batch;
        slot.phase = RoadSlot::Phase::Building;
        ++building;
        return RoadStep::Work;
      }
      if (exhausted) return RoadStep::Done;
      // The next batch changes what the current one is built from.
      if (building > 0) return RoadStep::Wait;
      batch_first += batch_size;
      if (!source.next_batch()) {
        exhausted = true;
        return RoadStep::Done;
      }
      in_batch = true;
      batch_size = source.batch_size();
      batch_next = 0;
    }
  };
  auto work = [&](unsigned worker) {
    RoadSlot& slot = slots[worker];
    if (slot.phase == RoadSlot::Phase::Building) {
      slot.bytes.clear();
      slot.applies = source.build(slot.in_batch, slot.bytes, slot.method);
      return;
    }
    slot.size = slot.bound ? deflate_compress_fast_within(slot.bytes, *slot.bound)
                           : std::optional<std::uint64_t>(deflate_compress_fast(slot.bytes));
  };
  road.run(road.workers, claim, work);
  return best;
}

// The candidates of choose_difference_encoding in their order, built from the list in place: a
// batch for each variant, its layouts; between batches the list is turned into the next
// variant's magnitudes, never copied.
class DifferenceCandidates final : public CandidateSource {
 public:
  DifferenceCandidates(IntegerList values, const DifferenceFraming& framing)
      : values_(std::move(values)), framing_(framing), n_(values_.size()) {}

  bool next_batch() override {
    if (!started_) {
      started_ = true;
      enter_order();
      return true;
    }
    if (!with_base_) {
      unzigzag_from(values_, seeds_);
      if (n_ > seeds_) {
        base_ = smallest_from(values_, seeds_);
        offset_from(values_, seeds_, base_, true);
        write_varint_big(zigzag_encode_big(base_), head_);
        with_base_ = true;
        return true;
      }
    } else {
      offset_from(values_, seeds_, base_, false);
      with_base_ = false;
    }
    if (d_ == 2) return false;
    ++d_;
    enter_order();
    return true;
  }

  std::size_t batch_size() const override { return std::size(kLayoutsInOrder); }

  bool build(std::size_t i, std::string& bytes, std::uint8_t& method) const override {
    const std::uint8_t layout = kLayoutsInOrder[i];
    method = static_cast<std::uint8_t>(d_ | (with_base_ ? kMethodBase : 0) | layout);
    if (framing_.method_byte_first) bytes.push_back(static_cast<char>(method));
    bytes += head_;
    if (!append_number_list_body(values_, seeds_, layout, bytes)) return false;
    bytes += framing_.tail;
    return true;
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

  IntegerList values_;
  const DifferenceFraming& framing_;
  const std::size_t n_;
  bool started_ = false;
  std::uint8_t d_ = 0;
  bool with_base_ = false;
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
  while (source.next_batch()) {
    for (std::size_t i = 0; i < source.batch_size(); ++i) {
      if (source.build(i, choice.next(), method)) choice.offer(method);
    }
  }
  if (!choice.found()) return std::nullopt;
  return ChosenCandidate{choice.method(), choice.take()};
}

std::optional<DifferenceEncoding> choose_difference_encoding(IntegerList values, const DifferenceFraming& framing) {
  const bool parallel = values.size() >= kParallelMinValues;
  DifferenceCandidates candidates(std::move(values), framing);
  return choose_candidate(candidates, framing.max_bytes, parallel);
}

}  // namespace corvale
