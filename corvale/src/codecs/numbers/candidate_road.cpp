#include "codecs/numbers/candidate_road.h"

#include <vector>

namespace corvale {
namespace {

CandidateRoad g_road;

}  // namespace

void set_candidate_road(CandidateRoad road) { g_road = road; }

const CandidateRoad& candidate_road() { return g_road; }

void run_in_order(const OrderedWork& items, bool parallel) {
  const CandidateRoad& road = g_road;
  if (!parallel || road.run == nullptr || road.workers < 2) {
    for (std::size_t i = 0; i < items.count; ++i) {
      items.start(i);
      items.work(i);
      items.keep(i);
    }
    return;
  }
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<std::size_t> held_by(road.workers, kNone);  // the item each loop works on
  std::vector<bool> worked(items.count, false);
  std::size_t next_start = 0;
  std::size_t next_keep = 0;
  std::uint64_t held = 0;
  auto claim = [&](unsigned worker) {
    if (held_by[worker] != kNone) {
      worked[held_by[worker]] = true;
      held_by[worker] = kNone;
    }
    for (; next_keep < next_start && worked[next_keep]; ++next_keep) {
      items.keep(next_keep);
      held -= items.weight(next_keep);
    }
    if (next_start == items.count) return RoadStep::Done;
    const std::uint64_t weight = items.weight(next_start);
    // Over the weight, this loop leaves the items to those holding one, and its thread to any
    // road their work runs (a large column's own choice): a waiting loop would hold the thread.
    if (next_keep < next_start && held + weight > items.most_weight) return RoadStep::Done;
    items.start(next_start);
    held += weight;
    held_by[worker] = next_start++;
    return RoadStep::Work;
  };
  auto work = [&](unsigned worker) { items.work(held_by[worker]); };
  road.run(road.workers, claim, work);
}

}  // namespace corvale
