// The command line of "mrtc-sim chaos".
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "chaos/chaos.h"
#include "chaos/workload.h"
#include "plugin_path.h"

namespace mrtcsim {

namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kNoThreadCache = "glibc.malloc.tcache_count=0";
constexpr const char* kRestarted = "MRTC_SIM_CHAOS_RESTARTED";
constexpr const char* kSelf = "/proc/self/exe";

// The memory invariant reads the heap in use after each run. glibc counts the
// blocks it keeps in its per-thread caches as in use, and how many it keeps
// follows the history of the runs, not leaks: with the caches on, the figure
// steps up by half a megabyte now and then over thousands of runs while no
// block is lost. So chaos runs with those caches off, which the allocator
// reads only at start: the process starts itself again once with the setting.
// When that fails it goes on as it is.
void restartWithoutThreadCaches(int argc, char** argv) {
  if (std::getenv(kRestarted) != nullptr) return;
  const char* before = std::getenv(kTunables);
  std::string tunables = before != nullptr && *before != '\0' ? std::string(before) + ":" : "";
  tunables += kNoThreadCache;
  if (setenv(kTunables, tunables.c_str(), 1) != 0 || setenv(kRestarted, "1", 1) != 0) return;
  std::vector<char*> args;
  args.push_back(const_cast<char*>(kSelf));
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execv(kSelf, args.data());
}

}  // namespace

int chaosMain(int argc, char** argv) {
  restartWithoutThreadCaches(argc, argv);
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
