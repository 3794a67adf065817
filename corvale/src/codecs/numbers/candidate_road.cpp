#include "codecs/numbers/candidate_road.h"

namespace corvale {
namespace {

CandidateRoad g_road;

}  // namespace

void set_candidate_road(CandidateRoad road) { g_road = road; }

const CandidateRoad& candidate_road() { return g_road; }

}  // namespace corvale
