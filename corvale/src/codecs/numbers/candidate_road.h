#pragma once
// How the level-2 measurements that choose between candidate encodings run beyond the calling
// thread. Measurements are independent of each other, so several may run at once, but this
// library starts no threads: the program installs a road for them (set_candidate_road). Until
// then, and wherever nothing is installed (codec tests, tools, the workers of a block archive),
// every candidate is measured on the calling thread; both roads choose the same candidate.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace corvale {

// What a loop of the road does next.
enum class RoadStep {
  Work,  // call work(worker), then claim again
  Wait,  // nothing to do until another loop's claim: claim again after one
  Done,  // this loop is finished
};

struct CandidateRoad {
  // Runs up to `workers` loops at once (worker 0 on the calling thread, the others as threads
  // are free), each calling claim(worker) and, on Work, work(worker) and claim(worker) again; on
  // Wait, claim(worker) again once another loop's claim has returned. Calls of claim never
  // overlap; a loop's next claim starts after its work returned; work runs beside the other
  // loops. A loop that has not started by the time worker 0 is done may never start, so claim
  // answers Wait only while another loop holds work. Returns once every loop that started has
  // returned Done. The first exception of a claim or a work stops every loop at its next claim
  // and is rethrown here. A work may run a road of its own.
  void (*run)(unsigned workers, const std::function<RoadStep(unsigned)>& claim,
              const std::function<void(unsigned)>& work) = nullptr;
  unsigned workers = 0;  // below 2: the calling thread measures every candidate itself
};

// Installs the road for every later choice between candidates. Call it only while no choice
// runs: it is read without a lock.
void set_candidate_road(CandidateRoad road);
const CandidateRoad& candidate_road();

// Items worked on apart and kept in their order, such as the columns of a table.
struct OrderedWork {
  std::size_t count = 0;
  // Called for one item at a time, in order, before its work: it reads here what the keeps of
  // earlier items change, and work reads only what start gave it.
  std::function<void(std::size_t)> start;
  // Runs beside the work of other items.
  std::function<void(std::size_t)> work;
  // Called for one item at a time, in order, after its work.
  std::function<void(std::size_t)> keep;
  // The bytes item i holds from its start to its keep; items held at once weigh at most
  // most_weight together, or are one item alone.
  std::function<std::uint64_t(std::size_t)> weight;
  std::uint64_t most_weight = 0;
};

// Runs every item of `items` on the installed road when parallel is set and one is installed,
// else start, work and keep for each in turn on the calling thread. Rethrows the first
// exception.
void run_in_order(const OrderedWork& items, bool parallel);

}  // namespace corvale
