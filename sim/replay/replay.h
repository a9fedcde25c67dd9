// `mrtc-sim replay`: runs a real plug-in library against one or more
// recorded traces on the virtual clock and says whether it did what the
// recording says (see replay_host.h for how each crossing is checked).
#pragma once

#include <string>
#include <vector>

#include "plugin_loader.h"
#include "runner.h"
#include "scenario.h"
#include "session.h"
#include "trace.h"

namespace mrtcsim {
namespace replay {

struct ReplayResult {
  RunResult run;      // the timeline, as a scenario run's (for --json, --html)
  Scenario scenario;  // what the report says about the traces
  Divergence divergence;
  int64_t fed = 0;       // host -> plug-in crossings given again
  int64_t compared = 0;  // outputs compared
};

ReplayResult replayTraces(const Trace& trace, const simhost::PluginLibrary& library,
                          const std::vector<std::string>& files);

// `mrtc-sim replay ...` and `mrtc-sim redact ...`; argv[0] is the subcommand.
int replayMain(int argc, char** argv);
int redactMain(int argc, char** argv);

}  // namespace replay
}  // namespace mrtcsim
