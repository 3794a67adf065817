#include "codecs/numbers/candidate_choice.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>

#include "codecs/numbers/candidate_road.h"
#include "core/zlib.h"

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
  enum class Phase { Idle, Building, Measuring, Deflating };
  Phase phase = Phase::Idle;
  std::size_t batch = 0;
  std::size_t in_batch = 0;
  std::uint64_t index = 0;  // in the order of every candidate
  std::string bytes;
  std::uint8_t method = 0;
  bool applies = false;
  std::optional<std::uint64_t> bound;  // the size it must not pass to win; none: unbounded
  std::optional<std::uint64_t> size;   // none: over its bound
  std::uint64_t held = 0;              // the bytes its buffer is counted for
  // Deflating: the kept candidate of that index, held here while its level-9 stream is made.
  std::shared_ptr<const std::string> deflating;
  std::uint64_t deflating_index = 0;
  std::string deflated;
};

std::optional<ChosenCandidate> choose_candidate_on_road(CandidateSource& source, std::uint64_t max_bytes,
                                                        const CandidateRoad& road, bool deflate) {
  std::vector<RoadSlot> slots(road.workers);
  // The kept candidate's bytes are shared with a worker deflating them; otherwise its buffer and
  // a slot's trade places, so that neither is copied.
  bool found = false;
  std::uint8_t best_method = 0;
  std::shared_ptr<std::string> best_bytes;
  std::uint64_t best_size = 0;
  std::uint64_t best_index = 0;
  std::optional<std::string> best_deflated;
  // What is known of the candidates built so far: at most so many bytes once measured, and before
  // that the most any data of its length can measure. A nearly incompressible candidate (an
  // entropy-coded body, often the smallest) bounds every other measurement as soon as it is built.
  struct Known {
    std::uint64_t most;
    std::uint64_t index;
  };
  std::vector<Known> known;
  // The batch opened last and its candidates not yet handed out; for every batch opened, the
  // builds of it that have not returned (handed out or not).
  bool in_batch = false;
  bool exhausted = false;
  std::size_t batch = 0;
  std::size_t batch_size = 0;
  std::size_t batch_next = 0;
  std::uint64_t batch_first = 0;
  std::vector<std::size_t> unbuilt;
  std::size_t open = 0;
  const std::size_t most_open = std::max<std::size_t>(1, source.open_batches());
  auto built = [&](std::size_t b) {
    if (--unbuilt[b] > 0) return;
    source.close_batch(b);
    --open;
  };

  // Measurements end in any order, so the kept candidate is the smallest, the earliest of equals:
  // the one the calling thread alone would keep.
  auto weigh = [&](RoadSlot& slot) {
    if (!slot.size) return false;
    if (found && (*slot.size > best_size || (*slot.size == best_size && slot.index > best_index))) return false;
    found = true;
    best_size = *slot.size;
    best_index = slot.index;
    known.push_back({best_size, best_index});
    best_method = slot.method;
    best_deflated.reset();
    if (best_bytes && best_bytes.use_count() == 1) {
      best_bytes->swap(slot.bytes);
    } else {
      best_bytes = std::make_shared<std::string>(std::move(slot.bytes));
      slot.bytes = std::string();
    }
    return true;
  };
  // A built candidate is measured only as far as it could still win: strictly smaller than any
  // other that comes earlier, at most as large as any that comes later.
  auto start_measuring = [&](RoadSlot& slot) {
    if (!slot.applies || slot.bytes.size() > max_bytes) return false;
    known.push_back({deflate_compress_fast_bound(slot.bytes.size()), slot.index});
    slot.bound.reset();
    for (const Known& other : known) {
      if (other.index == slot.index) continue;
      if (other.index < slot.index && other.most == 0) return false;
      const std::uint64_t bound = other.index > slot.index ? other.most : other.most - 1;
      if (!slot.bound || bound < *slot.bound) slot.bound = bound;
    }
    slot.phase = RoadSlot::Phase::Measuring;
    return true;
  };
  // The buffers of built candidates held at once: a slot is counted for the buffer it keeps,
  // and while it builds for at least the largest candidate built so far.
  const std::uint64_t most_held = source.most_held_bytes();
  std::uint64_t largest = 0;
  auto room_to_build = [&](const RoadSlot& slot) {
    std::uint64_t held = best_bytes ? best_bytes->capacity() : 0;
    bool others_busy = false;
    for (const RoadSlot& other : slots) {
      if (&other == &slot) continue;
      held += other.held;
      others_busy = others_busy || other.phase != RoadSlot::Phase::Idle;
    }
    return !others_busy || held + std::max(slot.held, largest) <= most_held;
  };
  // A loop with nothing to build deflates the kept candidate, unless that is under way: the
  // winner's stream is then often ready when the last measurement ends, and no build waits.
  std::optional<std::uint64_t> deflating_best;
  auto idle = [&](RoadSlot& slot, RoadStep otherwise) {
    if (!deflate || !found || deflating_best == best_index) return otherwise;
    deflating_best = best_index;
    slot.deflating = best_bytes;
    slot.deflating_index = best_index;
    slot.phase = RoadSlot::Phase::Deflating;
    return RoadStep::Work;
  };
  auto claim = [&](unsigned worker) {
    RoadSlot& slot = slots[worker];
    if (slot.phase == RoadSlot::Phase::Building) {
      slot.held = slot.bytes.capacity();
      largest = std::max(largest, slot.held);
      built(slot.batch);
      slot.phase = RoadSlot::Phase::Idle;
      if (start_measuring(slot)) return RoadStep::Work;
    } else if (slot.phase == RoadSlot::Phase::Measuring) {
      slot.phase = RoadSlot::Phase::Idle;
      weigh(slot);
      slot.held = slot.bytes.capacity();
    } else if (slot.phase == RoadSlot::Phase::Deflating) {
      if (slot.deflating_index == best_index) best_deflated = std::move(slot.deflated);
      slot.deflated = std::string();
      slot.deflating.reset();
      slot.phase = RoadSlot::Phase::Idle;
    }
    for (;;) {
      if (in_batch && batch_next < batch_size) {
        if (!room_to_build(slot)) return idle(slot, RoadStep::Wait);
        slot.held = std::max(slot.held, largest);
        slot.batch = batch;
        slot.in_batch = batch_next++;
        slot.index = batch_first + slot.in_batch;
        slot.phase = RoadSlot::Phase::Building;
        return RoadStep::Work;
      }
      if (exhausted) return idle(slot, RoadStep::Done);
      if (open >= most_open) return idle(slot, RoadStep::Wait);
      if (in_batch) {
        ++batch;
        batch_first += batch_size;
      }
      if (!source.next_batch()) {
        exhausted = true;
        return idle(slot, RoadStep::Done);
      }
      in_batch = true;
      batch_size = source.batch_size();
      batch_next = 0;
      ++open;
      unbuilt.push_back(batch_size + 1);
      // The extra count is the batch's own, given up now that it is open: an empty batch closes
      // at once, any other once its last build returns.
      built(batch);
    }
  };
  auto work = [&](unsigned worker) {
    RoadSlot& slot = slots[worker];
    if (slot.phase == RoadSlot::Phase::Deflating) {
      slot.deflated = deflate_compress_best(*slot.deflating);
      return;
    }
    if (slot.phase == RoadSlot::Phase::Building) {
      slot.bytes.clear();
      slot.applies = source.build(slot.batch, slot.in_batch, slot.bytes, slot.method);
      return;
    }
    slot.size = slot.bound ? deflate_compress_fast_within(slot.bytes, *slot.bound)
                           : std::optional<std::uint64_t>(deflate_compress_fast(slot.bytes));
  };
  road.run(road.workers, claim, work);
  if (!found) return std::nullopt;
  ChosenCandidate chosen{best_method, std::move(*best_bytes), std::move(best_deflated)};
  return chosen;
}

// The candidates of choose_difference_encoding in their order: a batch for each variant, its
// layouts. Each variant's magnitudes are made from the one before: in place once that one is
// closed, as on one thread, where the list is never copied; from a copy while it is still being
// built, so that workers need not wait for its slowest layout.
class DifferenceCandidates final : public CandidateSource {
 public:
  DifferenceCandidates(IntegerList values, const DifferenceFraming& framing)
      : framing_(framing), n_(values.size()), first_values_(std::move(values)) {}

  bool next_batch() override {
    if (opened_ == 0) {
      auto& first = variants_[0];
      first = std::make_unique<Variant>(std::move(first_values_));
      enter_order(*first);
      opened_ = 1;
      return true;
    }
    const std::size_t last = opened_ - 1;
    if (variants_[last]->d == 2 && (variants_[last]->with_base || n_ <= variants_[last]->seeds)) return false;
    auto next = closed_[last] ? std::move(variants_[last]) : std::make_unique<Variant>(*variants_[last]);
    step_variant(*next);
    variants_[opened_++] = std::move(next);
    return true;
  }

  std::size_t batch_size() const override { return std::size(kLayoutsInOrder); }

  bool build(std::size_t batch, std::size_t i, std::string& bytes, std::uint8_t& method) const override {
    const Variant& v = *variants_[batch];
    const std::uint8_t layout = kLayoutsInOrder[i];
    method = static_cast<std::uint8_t>(v.d | (v.with_base ? kMethodBase : 0) | layout);
    if (framing_.method_byte_first) bytes.push_back(static_cast<char>(method));
    bytes += v.head;
    if (!append_number_list_body(v.values, v.seeds, layout, bytes)) return false;
    bytes += framing_.tail;
    return true;
  }

  // Three variants at once keep eight workers building while holding at most two copies of the
  // list.
  std::size_t open_batches() const override { return 3; }

  // Three bodies at their cap at once, about six times the text: room for the four to six
  // candidates that keep eight workers busy on an ordinary list, while a list whose candidates
  // are several times its text (wide values, byte planes) holds no more than that.
  std::uint64_t most_held_bytes() const override {
    const std::uint64_t cap = framing_.max_bytes;
    return cap > std::numeric_limits<std::uint64_t>::max() / 3 ? cap : 3 * cap;
  }

  void close_batch(std::size_t batch) override {
    closed_[batch] = true;
    // The last variant opened stays: the next is made from it.
    if (batch + 1 < opened_) variants_[batch].reset();
  }

 private:
  // The list as one variant stores it: the d-th differences, the first `seeds` of them the
  // seeds (their varints in head), the rest zigzagged, or offset from the base written after the
  // seeds in head.
  struct Variant {
    explicit Variant(IntegerList list) : values(std::move(list)) {}
    IntegerList values;
    std::uint8_t d = 0;
    bool with_base = false;
    std::size_t seeds = 0;
    std::string head;
    BigInt base;
  };

  // From a variant without base to the one with, when values follow the seeds; else to the
  // next order.
  void step_variant(Variant& v) const {
    if (!v.with_base) {
      unzigzag_from(v.values, v.seeds);
      if (n_ > v.seeds) {
        v.base = smallest_from(v.values, v.seeds);
        offset_from(v.values, v.seeds, v.base, true);
        write_varint_big(zigzag_encode_big(v.base), v.head);
        v.with_base = true;
        return;
      }
    } else {
      offset_from(v.values, v.seeds, v.base, false);
      v.with_base = false;
    }
    ++v.d;
    enter_order(v);
  }

  // Order v.d begins: the list becomes its d-th differences, the first d of them the seeds, the
  // rest zigzagged for the variant without a base.
  void enter_order(Variant& v) const {
    if (v.d > 0) v.values = delta_encode_big(std::move(v.values));
    v.seeds = std::min<std::size_t>(v.d, n_);
    v.head.clear();
    for (std::size_t i = 0; i < v.seeds; ++i) write_varint_big(zigzag_encode_big(v.values.value(i)), v.head);
    zigzag_from(v.values, v.seeds);
  }

  // Three orders, each without and with a base.
  static constexpr std::size_t kMostVariants = 6;

  const DifferenceFraming& framing_;
  const std::size_t n_;
  IntegerList first_values_;
  std::array<std::unique_ptr<Variant>, kMostVariants> variants_;
  std::array<bool, kMostVariants> closed_{};
  std::size_t opened_ = 0;
};

}  // namespace

std::optional<ChosenCandidate> choose_candidate(CandidateSource& source, std::uint64_t max_bytes, bool parallel,
                                                bool deflate) {
  const CandidateRoad& road = candidate_road();
  if (parallel && road.run != nullptr && road.workers >= 2) {
    return choose_candidate_on_road(source, max_bytes, road, deflate);
  }
  CandidateChoice choice(max_bytes);
  std::uint8_t method = 0;
  for (std::size_t batch = 0; source.next_batch(); ++batch) {
    for (std::size_t i = 0; i < source.batch_size(); ++i) {
      if (source.build(batch, i, choice.next(), method)) choice.offer(method);
    }
    source.close_batch(batch);
  }
  if (!choice.found()) return std::nullopt;
  return ChosenCandidate{choice.method(), choice.take()};
}

std::optional<DifferenceEncoding> choose_difference_encoding(IntegerList values, const DifferenceFraming& framing) {
  const bool parallel = values.size() >= kParallelMinValues;
  DifferenceCandidates candidates(std::move(values), framing);
  return choose_candidate(candidates, framing.max_bytes, parallel, framing.deflate);
}

}  // namespace corvale
