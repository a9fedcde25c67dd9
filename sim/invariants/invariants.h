// Invariants a run must keep whatever the network and the devices did to it,
// checked over the run's timeline:
// - "no_ring_back": a client never rings (event 1) for a room its user has
//   answered, declined or left, on any device, once the message saying so
//   reached it (its own request counts at once). A new invitation into the
//   room may ring again; so may a room the user enters again.
// - "one_finish_hint": at most one finish hint is posted per room.
// - "silent_after_end": after a client's event 5 for a room, no UI event for
//   that room but hints and cards, until the user takes part in it again.
// - "talk_ends": once the last application stopped, every plug-in is quiet
//   (no talk, no time-out, nothing in flight) within the bound the time-outs
//   give (see talkEndBoundMs). Not checked while an application still runs.
// - "no_copy_ring", "no_stale_ring", "one_call_when_crossed": the races of
//   invariants/invariants_races.h.
// A fault excuses a violation it makes unavoidable (the violation is then
// reported as excused, not failed):
// - loss, delay: "one_finish_hint" when the finish hint already posted for
//   the room was lost or late (a duplicate too, when its first copy was
//   late) on its way to the client that posts a second one. Only that hint
//   tells a member that somebody else closed the talk; without it the member
//   that believes itself last posts its own.
// - crash: the "no_ring_back" and "silent_after_end" memory of a client is
//   wiped when it restarts: the plug-in keeps nothing across a restart.
// Their numbers and words are their own copy (independent_words.h): an independent check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run_result.h"
#include "scenario.h"

namespace mrtcsim {

struct Violation {
  std::string invariant;
  std::string what;
  int64_t t = 0;          // ms since the start
  std::string excusedBy;  // the fault that makes it unavoidable, if one does
};

inline const std::vector<std::string>& invariantNames() {
  static const std::vector<std::string> kNames = {
      "no_ring_back", "one_finish_hint", "silent_after_end", "talk_ends", "memory",
      // invariants_races.h
      "no_copy_ring", "no_stale_ring", "one_call_when_crossed",
      // invariants_rings.h
      "every_ring_stops", "recall_obeys_switch",
      // invariants_busy.h
      "nobody_left_busy", "no_throw_out", "one_finish_notice"};
  return kNames;
}

// The longest a plug-in may stay busy after the last application stopped:
// the last keep-alive's 60-second time-out ends the talks of the stopped
// applications; a recall sent just before that rings for up to 98 s more
// (the one-to-one ring; the group ring 68 s and the wait 88 s are shorter);
// each time-out fires on the next 3-second tick; and a late message or media
// report may start that chain as late as the faults (or a hold) delay it.
int64_t talkEndBoundMs(const Scenario& scenario);

std::vector<Violation> checkInvariants(const Scenario& scenario, const RunResult& run);

}  // namespace mrtcsim
