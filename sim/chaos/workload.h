// Random workloads for chaos runs: a scenario (as JSON text, so that it can
// be written out and replayed as it is) drawn from a seed.
//
// A group of 2 to 50 users, each with one or two devices; one to four calls,
// group or one-to-one, with answers, refusals, busy replies, cancels,
// invitations, joins from the board and from the call card, hang-ups and
// applications that freeze; and the faults asked for, drawn from the same
// seed. Every application stops at the end, so every talk must then run out.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace mrtcsim {

// Fault kinds, as the command line names them.
inline const std::set<std::string>& faultKinds() {
  static const std::set<std::string> kKinds = {"loss",  "dup",  "delay", "partition",
                                               "crash", "skew", "media"};
  return kKinds;
}

struct Workload {
  std::string text;  // the scenario
  int64_t calls = 0;
  int64_t skewed = 0;                    // clients whose clock is off
  std::map<std::string, int64_t> cases;  // the special cases planned, by name
};

// maxGroup caps the group size (CI keeps its runs small; 50 by default).
Workload makeWorkload(uint64_t seed, const std::set<std::string>& faults, int64_t maxGroup = 50);

}  // namespace mrtcsim
