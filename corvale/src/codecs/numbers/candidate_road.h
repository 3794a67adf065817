#pragma once
// How the level-2 measurements that choose between candidate encodings run beyond the calling
// thread. Measurements are independent of each other, so several may run at once, but this
// library starts no threads: the program installs a road for them (set_candidate_road). Until
// then, and wherever nothing is installed (codec tests, tools, the workers of a block archive),
// every candidate is measured on the calling thread; both roads choose the same candidate.

#include <functional>

namespace corvale {

// What a loop of the road does next.
enum class RoadStep {
  Work,  // call work(worker), then claim again
  Wait,  // nothing to do until another loop's claim: claim again after one
  Done,  // this loop is finished
};

struct CandidateRoad {
  // Runs `workers` loops at once (worker 0 on the calling thread), each calling claim(worker)
  // and, on Work, work(worker) and claim(worker) again; on Wait, claim(worker) again once
  // another loop's claim has returned. Calls of claim never overlap; a loop's next claim starts
  // after its work returned; work runs beside the other loops. Returns once every loop's claim
  // has returned Done. The first exception of a claim or a work stops every loop at its next
  // claim and is rethrown here.
  void (*run)(unsigned workers, const std::function<RoadStep(unsigned)>& claim,
              const std::function<void(unsigned)>& work) = nullptr;
  unsigned workers = 0;  // below 2: the calling thread measures every candidate itself
};

// Installs the road for every later choice between candidates. Call it only while no choice
// runs: it is read without a lock.
void set_candidate_road(CandidateRoad road);
const CandidateRoad& candidate_road();

}  // namespace corvale
