// Soak: chaos workloads with every fault on, one after another in one
// process, until the given number of calls was placed; resident memory is
// sampled as it goes. After the warm-up (the first tenth of the calls) it
// must not grow: every cache the plug-in keeps is bounded, and everything a
// released plug-in held is given back.
//
//   chaos_soak [calls=100000] [seed=1] [max-group=50]
//
// Prints the calls, runs, wall time and RSS (after the warm-up, the highest
// after it, at the end); exits 1 when the end RSS exceeds the warm-up RSS by
// more than 10 % + 8 MB, or when an invariant was violated.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "chaos/chaos.h"
#include "chaos/workload.h"
#include "plugin_path.h"
#include "runner.h"
#include "scenario.h"

namespace {

long rssKb() {
  std::ifstream in("/proc/self/statm");
  long pages = 0, resident = 0;
  in >> pages >> resident;
  return resident * 4;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t calls = argc > 1 ? std::atoll(argv[1]) : 100000;
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  const int64_t maxGroup = argc > 3 ? std::atoll(argv[3]) : 50;
  simhost::PluginLibrary library(mrtcsim::defaultPluginPath());
  if (!library.loaded()) {
    std::fprintf(stderr, "chaos_soak: %s\n", library.error().c_str());
    return 3;
  }
  const auto start = std::chrono::steady_clock::now();
  int64_t placed = 0, runs = 0, violations = 0;
  long warm = -1, peak = 0;
  for (int64_t i = 0; placed < calls; ++i) {
    mrtcsim::Workload work =
        mrtcsim::makeWorkload(mrtcsim::workloadSeed(seed, i), mrtcsim::faultKinds(), maxGroup);
    mrtcsim::RunResult run =
        mrtcsim::runScenario(mrtcsim::readScenario(work.text, "soak"), library);
    placed += work.calls;
    ++runs;
    for (const std::string& f : run.failures) {
      ++violations;
      std::fprintf(stderr, "run %lld: %s\n", static_cast<long long>(i), f.c_str());
    }
    const long rss = rssKb();
    if (warm < 0 && placed >= calls / 10) warm = rss;
    if (warm >= 0 && rss > peak) peak = rss;
    if (runs % 500 == 0) {
      std::printf("calls %lld runs %lld rss %ld KB\n", static_cast<long long>(placed),
                  static_cast<long long>(runs), rss);
      std::fflush(stdout);
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long end = rssKb();
  std::printf(
      "soak: %lld calls in %lld runs, %.1f s wall; RSS after warm-up %ld KB, highest after "
      "it %ld KB, at the end %ld KB; %lld violation(s)\n",
      static_cast<long long>(placed), static_cast<long long>(runs), wall, warm, peak, end,
      static_cast<long long>(violations));
  const bool grew = end > warm + warm / 10 + 8192;
  if (grew) std::printf("soak: FAILED, memory grew after the warm-up\n");
  return grew || violations > 0 ? 1 : 0;
}
