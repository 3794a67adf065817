#pragma once
// The worker threads on which the codecs measure candidate encodings of one large list at once
// (the codecs start no threads; they run on the road installed here).

#include <functional>

#include "codecs/numbers/candidate_road.h"

namespace corvale {

// Runs the loops of a CandidateRoad: worker 0 on the calling thread, the others on the threads
// installed below, whichever are idle; it returns once every loop a thread took has finished (a
// loop none took by then is dropped: it would only have found the work done). Called from inside
// a loop (a choice within a candidate's building), its loops share the same threads. Rethrows
// the first exception of any loop.
void run_candidate_workers(unsigned workers, const std::function<RoadStep(unsigned)>& claim,
                           const std::function<void(unsigned)>& work);

// Makes every later choice between large candidates measure them on `workers` threads, the
// calling one and workers - 1 started here (2 or more; fewer leaves every measurement on the
// calling thread). Call it only while no choice runs.
void install_parallel_candidate_choice(unsigned workers);

}  // namespace corvale
