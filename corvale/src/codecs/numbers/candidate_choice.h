#pragma once
// How the structured codecs choose between encodings of the same data: frame each candidate as
// it will be stored, measure it with raw deflate at level 2, and keep the first strictly
// smallest. The number list and the number column share the search over difference orders,
// bases and body layouts built on it.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/numbers/number_list_body.h"
#include "core/integer_list.h"

namespace corvale {

// Candidates are built in next() and handed over with offer(); the kept one and the buffer for
// the next trade places, so neither is copied.
class CandidateChoice {
 public:
  // max_bytes: a candidate longer than this is passed over unmeasured (an encoder's cap: a body
  // its own decoder would refuse).
  explicit CandidateChoice(std::uint64_t max_bytes = std::numeric_limits<std::uint64_t>::max())
      : max_bytes_(max_bytes) {}

  // The empty buffer to build the next candidate in.
  std::string& next() {
    scratch_.clear();
    return scratch_;
  }
  // Measures the candidate built in next(), tagged with its method. It is kept when none is kept
  // yet or when it is strictly smaller than the kept one: the earlier wins a tie. Throws the
  // deflate wrapper's error.
  void offer(std::uint8_t method);

  bool found() const { return found_; }
  std::uint8_t method() const { return method_; }
  std::string take() { return std::move(best_); }

 private:
  std::uint64_t max_bytes_;
  bool found_ = false;
  std::uint8_t method_ = 0;
  std::uint64_t size_ = 0;
  std::string best_;
  std::string scratch_;
};

// The candidates of one choice in their fixed order, in batches: the candidates of one batch
// may be built at once. Batches are numbered from 0 in the order they open; a batch is open
// from next_batch until close_batch.
class CandidateSource {
 public:
  virtual ~CandidateSource() = default;
  // Opens the next batch (the first, on the first call); false once none is left. Called only
  // while fewer than open_batches() batches are open, and never beside close_batch.
  virtual bool next_batch() = 0;
  // The number of candidates in the batch opened last.
  virtual std::size_t batch_size() const = 0;
  // Builds candidate i of open batch `batch` into bytes (empty on entry) and names its method;
  // false when it does not apply. Calls for different candidates may run at once, and beside
  // next_batch when more than one batch may be open.
  virtual bool build(std::size_t batch, std::size_t i, std::string& bytes, std::uint8_t& method) const = 0;
  // How many batches may be open at once: a source whose next batch is made from the one before
  // it, in place, allows one, so that a batch opens only once the one before it is wholly built.
  virtual std::size_t open_batches() const { return 1; }
  // Every build of the batch has returned and none will come: what it was built from may go.
  virtual void close_batch(std::size_t batch) { (void)batch; }
  // How many bytes of built candidates workers may hold at once (the kept one included): a
  // build that would pass it waits for one in progress, unless none is.
  virtual std::uint64_t most_held_bytes() const { return std::numeric_limits<std::uint64_t>::max(); }
};

struct ChosenCandidate {
  std::uint8_t method;
  std::string bytes;
  // deflate_compress_best(bytes), when it was made on the road's workers during the choice.
  std::optional<std::string> deflated = std::nullopt;
};

// Draws every candidate from source and keeps the first strictly smallest after level-2 deflate,
// passing over those longer than max_bytes; none when no candidate was measured. With parallel
// set and a road installed (candidate_road.h), candidates are built and measured on the road's
// workers, and the same candidate is chosen: worth it only when candidates are large enough to
// outweigh starting the workers. With deflate set as well, a worker with nothing left to build
// deflates the kept candidate at level 9 beside the measurements still running, and again
// whenever another takes its place, so that the winner's stream comes back with it. Throws the
// deflate wrapper's error.
std::optional<ChosenCandidate> choose_candidate(CandidateSource& source, std::uint64_t max_bytes, bool parallel,
                                                bool deflate = false);

// How a codec stores one encoding of a list: the method byte either opens the bytes (a number
// column) or is kept apart (a number list), then the first d values of the d-th differences
// (the seeds), the base when there is one, the body, then the codec's own tail.
struct DifferenceFraming {
  bool method_byte_first = false;
  std::string_view tail;
  std::uint64_t max_bytes = std::numeric_limits<std::uint64_t>::max();
  bool deflate = false;  // the chosen encoding is stored deflated at level 9 (see choose_candidate)
};

// method: d | 8 when a base is stored | the layout; bytes framed as the DifferenceFraming says.
using DifferenceEncoding = ChosenCandidate;

// The search both the number list and the number column run: for d = 0, 1, 2 (the list
// replaced by its differences at the start of d = 1 and d = 2), first without a base, then, when
// values follow the seeds, with the smallest of them as base; for each, every layout of the
// remaining magnitudes, in the order the candidates come. Candidates are framed and chosen by
// CandidateChoice. values: a signed list, consumed. None when every candidate is over max_bytes.
std::optional<DifferenceEncoding> choose_difference_encoding(IntegerList values, const DifferenceFraming& framing);

}  // namespace corvale
