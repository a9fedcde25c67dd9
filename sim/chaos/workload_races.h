// Race workloads added to a chaos workload: one-to-one calls that cross,
// copies of a call handed over again seconds to hours after it ended, and
// live deliveries held back past the 120 seconds a call can be answered in.
//
// They draw from the workload's own dice and plan their steps through it, so
// one seed still makes one workload.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chaos/workload_step.h"
#include "scenario.h"

namespace mrtcsim {

// What the race workloads use of the workload being built.
struct RaceHooks {
  std::function<int64_t(int64_t lo, int64_t hi)> range;
  std::function<bool(double p)> chance;
  // A step of a client at a time; body writes the step's action keys.
  std::function<void(int64_t atMs, const std::string& client, std::function<void(StepWriter&)>)>
      plan;
  // A device of the user (drawn when the user has two).
  std::function<std::string(int64_t user)> deviceOf;
};

// A call the workload placed.
struct CallMade {
  std::string room;
  std::string callerDevice;
  std::vector<int64_t> callees;
  int64_t startMs = 0;
  bool group = false;
};

struct RacePlan {
  std::vector<HoldSpec> holds;
  int64_t calls = 0;  // calls the race workloads placed
};

// Plans the races for a workload whose users are users and whose calls were
// made; crossing calls start after fromMs.
RacePlan planRaces(RaceHooks& hooks, const std::vector<int64_t>& users,
                   const std::vector<CallMade>& made, int64_t fromMs);

}  // namespace mrtcsim
