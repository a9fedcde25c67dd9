// Invariants that every ring stops once its call is over, checked over a
// run's timeline:
// - "every_ring_stops": a client that rings (event 1) for a room ends that
//   ring (event 5, its own answer or hang-up, or a crash) within one timer
//   tick of the moment a message that ends the call for it reached it:
//   - the finish hint of the room (the call is over for everybody);
//   - the caller's hang-up of a one-to-one call (it cancelled);
//   - its own user's entry into the room or refusal on another device.
//   A client that was away when the call ended is reached by the pull that
//   follows. Only a message that reached the client counts, so the loss of
//   the message that ends the ring excuses the ring (it runs out by its own
//   time-out). A new invitation into the room may ring again after the
//   user's own answer or refusal elsewhere, not after the call ended.
// - "recall_obeys_switch": a client whose application switched re-ringing
//   off sends no recall until it switches it on again.
//
// The same pass counts the cases of these rules that the run made.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "chaos/invariants.h"
#include "runner.h"
#include "scenario.h"

namespace mrtcsim {

constexpr const char* kEveryRingStops = "every_ring_stops";
constexpr const char* kRecallObeysSwitch = "recall_obeys_switch";

// Appends the violations of both invariants to out.
void checkRingInvariants(const RunResult& run, std::vector<Violation>& out);

// Adds the number of times the run made each case to cases, by name:
// "group end while ringing", "answered or refused on a same-kind device",
// "call and its end in one pull", "push to calls or kind switched off",
// "one-to-one cancel after the wait", "recall after switched off",
// "recall past a refusal after an invite".
void countRingCases(const RunResult& run, std::map<std::string, int64_t>& cases);

}  // namespace mrtcsim
