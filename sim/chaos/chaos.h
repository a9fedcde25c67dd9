// Chaos runs: many random workloads under faults, each checked against the
// invariants; a failing run is written out as a scenario that replays it and
// then shrunk to a small scenario that still fails the same way.
//
// Not thread-safe: one chaos run per process (the clock is global).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "plugin_loader.h"

namespace mrtcsim {

struct ChaosOptions {
  uint64_t seed = 1;
  int64_t runs = 1;
  int64_t first = 0;             // index of the first workload (to replay one of a long run)
  std::set<std::string> faults;  // empty: every kind
  std::string outDir = ".";      // where failing scenarios are written
  bool shrink = true;
  int64_t watchdogSeconds = 300;
  int64_t maxGroup = 50;  // a run taking longer (wall time) is a deadlock
};

struct ChaosSummary {
  int64_t runs = 0;
  int64_t calls = 0;
  int64_t messages = 0;    // signalling and chat messages sent
  int64_t deliveries = 0;  // messages handed to plug-ins
  std::map<std::string, int64_t> faults;
  std::map<std::string, int64_t> violations;
  std::map<std::string, int64_t> excused;  // "invariant (fault)"
  // cases the runs made (and the workloads planned), by name
  std::map<std::string, int64_t> cases;
  std::map<std::string, int64_t> races;  // races the runs made, by kind
  std::vector<std::string> written;      // replay scenarios
  bool failed() const;
};

// The seed of the index-th workload of a chaos run.
uint64_t workloadSeed(uint64_t seed, int64_t index);

ChaosSummary runChaos(const ChaosOptions& options, const simhost::PluginLibrary& library,
                      std::ostream& log);
void printSummary(const ChaosOptions& options, const ChaosSummary& summary, std::ostream& out);

// Takes clients (with their steps), steps, faults and clock offsets out of a
// failing scenario while it still breaks the same invariant; returns the
// smallest text found.
// onTrial runs before each trial run.
std::string shrinkScenario(const std::string& text, const std::string& invariant,
                           const simhost::PluginLibrary& library,
                           const std::function<void()>& onTrial = {});

// "mrtc-sim chaos ...": its own command line; returns the exit status.
int chaosMain(int argc, char** argv);

}  // namespace mrtcsim
