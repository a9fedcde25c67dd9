// The command line of "mrtc-sim chaos".
#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>

#include "chaos/chaos.h"
#include "chaos/workload.h"
#include "plugin_path.h"

namespace mrtcsim {

int chaosMain(int argc, char** argv) {
  CLI::App app{
      "mrtc-sim chaos runs random call workloads under network and device faults, all drawn\n"
      "from one seed, and checks the invariants after every run: no ring comes back, one\n"
      "finish hint per talk, no event after a talk's end but hints, every talk runs out in\n"
      "time, memory comes back, no deadlock. A failing run is written out as a scenario that\n"
      "replays it (chaos-SEED-RUN.json) and shrunk (chaos-SEED-RUN-small.json).\n"
      "Exit status: 0 when no invariant was violated, 1 otherwise, 3 when the plug-in\n"
      "library cannot be loaded.",
      "mrtc-sim chaos"};
  ChaosOptions options;
  std::string faults;
  std::string pluginPath;
  bool noShrink = false;
  app.add_option("--seed", options.seed, "Seed of the whole run")->capture_default_str();
  app.add_option("--runs", options.runs, "Number of workloads")->capture_default_str();
  app.add_option("--first", options.first, "Index of the first workload")->capture_default_str();
  app.add_option("--faults", faults,
                 "Comma list of loss,dup,delay,partition,crash,skew,media (all when absent)");
  app.add_option("--out", options.outDir, "Directory for failing scenarios")->capture_default_str();
  app.add_option("--max-group", options.maxGroup, "Largest group a workload may have (2 to 50)")
      ->capture_default_str();
  app.add_flag("--no-shrink", noShrink, "Write failing scenarios without shrinking them");
  app.add_option("--plugin", pluginPath, "Plug-in library to load")->type_name("PATH");
  CLI11_PARSE(app, argc, argv);
  options.shrink = !noShrink;
  std::stringstream list(faults);
  for (std::string kind; std::getline(list, kind, ',');) {
    if (kind.empty()) continue;
    if (faultKinds().count(kind) == 0) {
      std::cerr << "mrtc-sim chaos: unknown fault \"" << kind << "\"\n";
      return 2;
    }
    options.faults.insert(kind);
  }
  simhost::PluginLibrary library(pluginPath.empty() ? defaultPluginPath() : pluginPath);
  if (!library.loaded()) {
    std::cerr << "mrtc-sim: " << library.error() << "\n";
    return 3;
  }
  ChaosSummary summary = runChaos(options, library, std::cerr);
  printSummary(options, summary, std::cout);
  return summary.failed() ? 1 : 0;
}

}  // namespace mrtcsim
