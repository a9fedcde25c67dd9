// One tick of the virtual clock among 10, 100 and 1000 sleeping threads, each
// a plug-in's timer thread that wakes every 3 s: advance() wakes every one of
// them in turn. The time per thread (items per second) must stay flat as the
// threads grow: a wake-up costs one thread switch, whatever sleeps beside it.
// Real time: the woken threads do the work, the benchmark's own thread waits.
// The second argument runs them as fibers (cooperative threads) instead: a
// wake-up is then a context switch on the benchmark's own thread.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>

#include "clock_control.h"
#include "thread_start.h"
#include "tools.h"

namespace {

constexpr int64_t kTickMs = 3000;

std::atomic<bool> gStop{false};

void ticker(void*) {
  while (!gStop.load()) tools::sleep(kTickMs);
}

void BM_TickSleepers(benchmark::State& state) {
  commlib::useVirtualTime(1000000);
  commlib::useCooperativeThreads(state.range(1) != 0);
  gStop = false;
  const int64_t threads = state.range(0);
  for (int64_t i = 0; i < threads; ++i) {
    if (!platform::startThread(&ticker, nullptr)) {
      state.SkipWithError("no thread could be started");
      break;
    }
  }
  commlib::settle();
  for (auto _ : state) commlib::advance(kTickMs);
  // Each sees the flag at its next wake-up and ends.
  gStop = true;
  commlib::advance(kTickMs);
  if (commlib::liveThreads() != 0) state.SkipWithError("sleepers left running");
  commlib::useCooperativeThreads(false);
  state.SetItemsProcessed(state.iterations() * threads);
}
BENCHMARK(BM_TickSleepers)
    ->ArgNames({"sleepers", "fibers"})
    ->ArgsProduct({{10, 100, 1000}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
