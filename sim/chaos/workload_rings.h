// Chaos workload parts that make the cases in which a ring must stop: a
// group call that ends while callees ring, an answer or refusal on another
// device of the same kind, a pull that holds a call and its end, a push to a
// client whose calls or call kind are off, a one-to-one cancel reaching a
// callee whose ring started late, re-ringing switched off mid-call, and an
// invitation after a refusal with re-rings more than 300 s apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mrtcsim {

struct CaseDevice {
  std::string name;
  int64_t user = 0;
};

// One step of a case: when, which client, and the step's members as a JSON
// object text ({"request":"call",...}).
struct CaseStep {
  int64_t atMs = 0;
  std::string client;
  std::string body;
};

struct RingCase {
  std::vector<CaseStep> steps;
  int64_t calls = 0;
};

// Plans one case, drawn from seed, starting at startMs among the users of
// the group (every user has at least one device). Rooms are named "ring-"
// and the index.
RingCase makeRingCase(uint64_t seed, int64_t startMs, int64_t groupId,
                      const std::vector<CaseDevice>& devices, int64_t index);

}  // namespace mrtcsim
