#include "codecs/numbers/candidate_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "codecs/numbers/candidate_road.h"
#include "core/error.h"
#include "core/zlib.h"
#include "main/candidate_workers.h"
#include "support/expect_error.h"

namespace corvale {
namespace {

// Byte strings of random lengths and spreads, with their level-2 sizes.
struct CandidatePool {
  explicit CandidatePool(std::mt19937_64& rng) {
    for (int i = 0; i < 24; ++i) {
      std::string bytes;
      const std::size_t n = rng() % 3000;
      const unsigned spread = 1 + static_cast<unsigned>(rng() % 200);
      for (std::size_t j = 0; j < n; ++j) bytes.push_back(static_cast<char>(rng() % spread));
      bytes_.push_back(std::move(bytes));
    }
    for (const std::string& bytes : bytes_) sizes_.push_back(deflate_compress_fast(bytes));
  }
  std::vector<std::string> bytes_;
  std::vector<std::uint64_t> sizes_;
};

// Offers pool entries in a given order, the k-th with method k, in batches of 0 to 4 of which 1
// to 3 may be open at once (a pick of kSkipped does not apply); throws when building candidate
// fail_at. Records every way the road could misuse it: a build of a batch not open, too many
// batches open, a batch closed twice or before its builds returned.
constexpr std::size_t kSkipped = SIZE_MAX;
class PickedCandidates final : public CandidateSource {
 public:
  PickedCandidates(const CandidatePool& pool, std::vector<std::size_t> picks, std::uint64_t seed,
                   std::size_t fail_at = SIZE_MAX)
      : pool_(pool), picks_(std::move(picks)), fail_at_(fail_at) {
    std::mt19937_64 rng(seed);
    open_batches_ = 1 + rng() % 3;
    for (std::size_t k = 0; k < picks_.size(); k += sizes_.back()) {
      sizes_.push_back(std::min<std::size_t>(rng() % 5, picks_.size() - k));
      firsts_.push_back(k);
    }
    unbuilt_ = sizes_;
  }
  bool next_batch() override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (open_ >= open_batches_) misused_ = true;
    if (opened_ == sizes_.size()) return false;
    state_.push_back(State::Open);
    ++opened_;
    ++open_;
    return true;
  }
  std::size_t batch_size() const override { return sizes_[opened_ - 1]; }
  std::size_t open_batches() const override { return open_batches_; }
  std::uint64_t most_held_bytes() const override { return most_held_; }
  // Allows the workers to hold only one built candidate at a time: once the road knows how large
  // candidates come, no build may start beside another.
  void hold_one() { most_held_ = 1; }
  bool crowded() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return crowded_;
  }
  void close_batch(std::size_t batch) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (batch >= opened_ || state_[batch] != State::Open || unbuilt_[batch] != 0) misused_ = true;
    state_[batch] = State::Closed;
    --open_;
  }
  bool build(std::size_t batch, std::size_t i, std::string& bytes, std::uint8_t& method) const override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      // A thread's second build comes after the road weighed its first: from then on the road
      // knows how large candidates come.
      sized_ = sized_ || !builders_.insert(std::this_thread::get_id()).second;
      if (most_held_ == 1 && sized_ && building_ > 0) crowded_ = true;
      ++building_;
      if (batch >= opened_ || state_[batch] != State::Open || i >= sizes_[batch]) {
        misused_ = true;
        return false;
      }
    }
    // Counted once the candidate is built, so that a batch closed while one runs shows.
    struct Built {
      const PickedCandidates& source;
      std::size_t batch;
      ~Built() {
        const std::lock_guard<std::mutex> lock(source.mutex_);
        --source.unbuilt_[batch];
        --source.building_;
      }
    } built{*this, batch};
    const std::size_t k = firsts_[batch] + i;
    if (k == fail_at_) throw Error("cannot build");
    if (picks_[k] == kSkipped) return false;
    bytes = pool_.bytes_[picks_[k]];
    method = static_cast<std::uint8_t>(k);
    return true;
  }

  // The threads that built candidates.
  std::set<std::thread::id> builders() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return builders_;
  }
  bool misused() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return misused_;
  }
  // Every batch was opened and closed.
  bool all_closed() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return opened_ == sizes_.size() && std::all_of(state_.begin(), state_.end(), [](State s) { return s == State::Closed; });
  }

 private:
  enum class State { Open, Closed };
  const CandidatePool& pool_;
  std::vector<std::size_t> picks_;
  std::size_t fail_at_;
  std::size_t open_batches_ = 1;
  std::uint64_t most_held_ = UINT64_MAX;
  mutable std::size_t building_ = 0;
  mutable bool sized_ = false;
  mutable bool crowded_ = false;
  std::vector<std::size_t> sizes_;
  std::vector<std::size_t> firsts_;
  mutable std::mutex mutex_;
  mutable std::set<std::thread::id> builders_;
  mutable std::vector<std::size_t> unbuilt_;
  mutable bool misused_ = false;
  std::vector<State> state_;
  std::size_t opened_ = 0;
  std::size_t open_ = 0;
};

// The program's worker threads installed for the codecs while it lives.
class CandidateWorkers {
 public:
  explicit CandidateWorkers(unsigned workers) { install_parallel_candidate_choice(workers); }
  ~CandidateWorkers() { set_candidate_road({}); }
};

// Random sequences drawn from a small pool, so that equal sizes (the same bytes offered again,
// or different bytes that deflate alike) come often: the first strictly smallest must win, as
// when every candidate is measured whole.
TEST(CandidateChoice, KeepsTheFirstStrictlySmallestAsAPlainMeasurementWould) {
  std::mt19937_64 rng(17);
  const CandidatePool pool(rng);
  const std::size_t none = pool.bytes_.size();

  for (int round = 0; round < 300; ++round) {
    const std::uint64_t cap = (round % 3 == 0) ? 1500 : UINT64_MAX;
    std::vector<std::size_t> picks(1 + rng() % 12);
    for (std::size_t& pick : picks) pick = rng() % 8 == 0 ? kSkipped : rng() % none;
    std::size_t expected = none;
    std::uint8_t expected_method = 0;
    for (std::size_t k = 0; k < picks.size(); ++k) {
      if (picks[k] == kSkipped || pool.bytes_[picks[k]].size() > cap) continue;
      if (expected == none || pool.sizes_[picks[k]] < pool.sizes_[expected]) {
        expected = picks[k];
        expected_method = static_cast<std::uint8_t>(k);
      }
    }
    SCOPED_TRACE(round);

    CandidateChoice choice(cap);
    for (std::size_t k = 0; k < picks.size(); ++k) {
      if (picks[k] == kSkipped) continue;
      choice.next() = pool.bytes_[picks[k]];
      choice.offer(static_cast<std::uint8_t>(k));
    }
    ASSERT_EQ(choice.found(), expected != none);
    if (choice.found()) {
      EXPECT_EQ(choice.method(), expected_method);
      EXPECT_EQ(choice.take(), pool.bytes_[expected]);
    }

    // On worker threads the builds and measurements end in any order, and each measurement is
    // bounded by whatever was weighed when it began; the choice must not depend on it.
    const CandidateWorkers workers(2 + round % 7);
    PickedCandidates source(pool, picks, round);
    // Every other round the kept candidates are deflated beside the measurements as well: the
    // stream handed back is the winner's, however often the kept one changed.
    const bool deflate = round % 2 == 0;
    if (round % 5 == 0) source.hold_one();
    const std::optional<ChosenCandidate> chosen = choose_candidate(source, cap, true, deflate);
    EXPECT_FALSE(source.misused());
    EXPECT_FALSE(source.crowded()) << "more candidates held than allowed";
    EXPECT_TRUE(source.all_closed());
    ASSERT_EQ(chosen.has_value(), expected != none);
    if (chosen) {
      EXPECT_EQ(chosen->method, expected_method);
      EXPECT_EQ(chosen->bytes, pool.bytes_[expected]);
      ASSERT_EQ(chosen->deflated.has_value(), deflate);
      if (deflate) EXPECT_TRUE(*chosen->deflated == deflate_compress_best(chosen->bytes));
    }
  }
}

// A candidate whose building makes a choice of its own, as a table's column would: the inner
// choices share the installed threads with the outer one, and all choose as on one thread.
class NestedCandidates final : public CandidateSource {
 public:
  explicit NestedCandidates(const CandidatePool& pool) : pool_(pool) {}
  bool next_batch() override { return !std::exchange(started_, true); }
  std::size_t batch_size() const override { return 6; }
  bool build(std::size_t, std::size_t i, std::string& bytes, std::uint8_t& method) const override {
    PickedCandidates inner(pool_, {i, i + 6, i + 12, i + 1}, i);
    const std::optional<ChosenCandidate> chosen = choose_candidate(inner, UINT64_MAX, true);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      const std::set<std::thread::id> builders = inner.builders();
      threads_.insert(builders.begin(), builders.end());
      threads_.insert(std::this_thread::get_id());
    }
    bytes = chosen->bytes;
    method = static_cast<std::uint8_t>(i);
    return true;
  }
  std::size_t threads() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return threads_.size();
  }

 private:
  const CandidatePool& pool_;
  bool started_ = false;
  mutable std::mutex mutex_;
  mutable std::set<std::thread::id> threads_;
};

TEST(CandidateChoice, ChoicesInsideCandidatesShareTheWorkerThreads) {
  std::mt19937_64 rng(5);
  const CandidatePool pool(rng);
  NestedCandidates alone(pool);
  const std::optional<ChosenCandidate> expected = choose_candidate(alone, UINT64_MAX, false);
  ASSERT_TRUE(expected);
  for (int round = 0; round < 20; ++round) {
    const CandidateWorkers workers(4);
    NestedCandidates nested(pool);
    const std::optional<ChosenCandidate> chosen = choose_candidate(nested, UINT64_MAX, true);
    EXPECT_LE(nested.threads(), 4u) << "inner choices started threads of their own";
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->method, expected->method);
    EXPECT_EQ(chosen->bytes, expected->bytes);
  }
}

// Items of uneven work on the workers: every item is started, worked and kept once, starts and
// keeps in order, and never more weight held at once than allowed.
TEST(CandidateRoad, ItemsRunInOrderWithinTheirWeight) {
  auto mix = [](std::size_t i) {
    std::uint64_t x = i;
    for (std::size_t k = 0; k < (i % 7) * 20000; ++k) x = x * 6364136223846793005u + 1442695040888963407u;
    return x;
  };
  for (const unsigned threads : {1u, 3u, 8u}) {
    const CandidateWorkers workers(threads);
    constexpr std::size_t kItems = 200;
    std::vector<std::uint64_t> made(kItems), kept;
    std::size_t next_start = 0;
    std::uint64_t held = 0, most_held = 0;
    bool out_of_order = false;
    OrderedWork items;
    items.count = kItems;
    items.weight = [](std::size_t i) -> std::uint64_t { return 1 + i % 5; };
    items.most_weight = 9;
    items.start = [&](std::size_t i) {
      out_of_order |= i != next_start++;
      held += items.weight(i);
      most_held = std::max(most_held, held);
    };
    items.work = [&](std::size_t i) { made[i] = mix(i); };
    items.keep = [&](std::size_t i) {
      out_of_order |= i != kept.size();
      kept.push_back(made[i]);
      held -= items.weight(i);
    };
    run_in_order(items, true);
    SCOPED_TRACE(threads);
    EXPECT_FALSE(out_of_order);
    EXPECT_LE(most_held, 9u);
    ASSERT_EQ(kept.size(), kItems);
    for (std::size_t i = 0; i < kItems; ++i) EXPECT_EQ(kept[i], mix(i)) << i;
  }
}

// The workers build a variant of the list from a copy while the variant before it is still
// being built; on one thread each is made in place. Both must give the same encoding.
TEST(CandidateChoice, ADifferenceEncodingOnWorkerThreadsIsTheOneOfOneThread) {
  std::mt19937_64 rng(23);
  IntegerList values(Signedness::Signed);
  values.allow_packed_words();
  std::int64_t v = 1000;
  for (int i = 0; i < 70000; ++i) {
    v += static_cast<std::int64_t>(rng() % 61) - 30 + (i % 89 == 0 ? 5000 : 0);
    values.push_word(static_cast<std::uint64_t>(v));
  }
  const DifferenceFraming framing{false, "tail", UINT64_MAX};
  const std::optional<DifferenceEncoding> alone = choose_difference_encoding(values, framing);
  const CandidateWorkers workers(8);
  const std::optional<DifferenceEncoding> shared = choose_difference_encoding(values, framing);
  ASSERT_TRUE(alone && shared);
  EXPECT_EQ(shared->method, alone->method);
  EXPECT_TRUE(shared->bytes == alone->bytes);
}

TEST(CandidateChoice, AFailureToBuildACandidateOnWorkerThreadsReachesTheCaller) {
  std::mt19937_64 rng(3);
  const CandidatePool pool(rng);
  const CandidateWorkers workers(4);
  for (const std::size_t fail_at : {0, 1, 5, 11}) {
    PickedCandidates source(pool, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, fail_at, fail_at);
    EXPECT_ERROR(choose_candidate(source, UINT64_MAX, true), "cannot build");
  }
}

}  // namespace
}  // namespace corvale
