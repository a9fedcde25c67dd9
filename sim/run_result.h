// What a run of a scenario leaves: the timeline, which items each step
// checked, the clients, and what failed or was excused.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "timeline.h"

namespace mrtcsim {

struct Participant {
  std::string name;
  int64_t user = 0;
  int32_t device = 1;
};

// The items a step's expectations were checked against: [from, to).
struct StepWindow {
  size_t from = 0;
  size_t to = 0;
};

struct RunResult {
  std::vector<Item> items;
  std::vector<StepWindow> steps;      // one per step run, in scenario order
  std::vector<Participant> clients;   // scenario order
  std::vector<std::string> failures;  // failed expectations
  std::string error;                  // the run could not go on (empty when it could)
  int64_t endMs = 0;                  // virtual time the run ended, since the start
  // When every plug-in was quiet (no timer thread, nothing held on the
  // network, no application action due), since the start; -1: not within
  // the run-out time.
  int64_t quietMs = -1;
  int64_t lastStepMs = 0;  // time of the last step, since the start
  // Invariants broken where a fault excuses it: "name (fault): what".
  std::vector<std::string> excused;
  // Faults injected, by kind (loss, dup, delay, media, crash, partition).
  std::map<std::string, int64_t> faults;
};

}  // namespace mrtcsim
