// Invariants about racing deliveries, checked over a run's timeline:
// - "no_copy_ring": a call message that is no recall, for a room whose talk
//   ended on this client (its event 5, or its own hang-up answered 0), never
//   rings it: it is a copy of the ended call (redelivered, retried, late).
// - "no_stale_ring": a call or invitation delivered live more than 120 s
//   after it was sent (as the client's clock sees it) never rings.
// - "one_call_when_crossed": when a one-to-one call reaches a client that
//   holds its own unanswered one-to-one call to the sender (the two calls
//   crossed), the client with the larger room id ends its own call (event 5
//   "local_sdk_callcrossed") and rings for the incoming one; the client with
//   the smaller room keeps its call and does not ring. A client built with
//   another plug-in (an older peer) is not held to it.
// A restart wipes a client's memory of ended rooms: the plug-in keeps nothing
// across it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "invariants/invariants.h"

namespace mrtcsim {

// Races a run can make, as the chaos table counts them: a side of crossing
// calls that yields or keeps its call, a copy of an ended call delivered, a
// live call or invitation delivered too late to answer.
constexpr char kRaceCrossedYield[] = "crossed_yield";
constexpr char kRaceCrossedKeep[] = "crossed_keep";
constexpr char kRaceCopyAfterEnd[] = "copy_after_end";
constexpr char kRaceHeldLate[] = "held_past_120s";
inline const std::vector<std::string>& raceKinds() {
  static const std::vector<std::string> kKinds = {kRaceCrossedYield, kRaceCrossedKeep,
                                                  kRaceCopyAfterEnd, kRaceHeldLate};
  return kKinds;
}

struct RaceReport {
  std::vector<Violation> violations;
  std::map<std::string, int64_t> counts;  // how often each race happened
};

RaceReport checkRaces(const Scenario& scenario, const RunResult& run);

}  // namespace mrtcsim
