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

#include "invariants/invariants.h"
#include "run_result.h"
#include "scenario.h"

namespace mrtcsim {

constexpr const char* kEveryRingStops = "every_ring_stops";
constexpr const char* kRecallObeysSwitch = "recall_obeys_switch";

// Appends the violations of both invariants to out.
void checkRingInvariants(const RunResult& run, std::vector<Violation>& out);

// The cases, as the chaos table names them.
inline const std::vector<std::string>& ringCaseNames() {
  static const std::vector<std::string> kNames = {
      "group end ringing", "same-kind device", "call+end in a pull", "push gated",
      "late p2p cancel",   "recall off",       "refusal then invite"};
  return kNames;
}

// Adds the number of times the run made each case to cases, by name: a
// finish hint reaching a ringing client; its user's answer or refusal on
// another device reaching a ringing client; a pulled call left unrung for its
// end later in the pull; a push dropped by the calls or kind switch; the
// caller's one-to-one cancel, after its wait ran out, reaching a ringing
// callee; a recall that fell due with re-ringing switched off; a recall
// more than 300 s after a refusal of a call that the caller then invited
// others into.
void countRingCases(const RunResult& run, std::map<std::string, int64_t>& cases);

}  // namespace mrtcsim
