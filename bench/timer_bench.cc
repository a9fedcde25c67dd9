// Re-arming a room's time-out for its whole member list (an add that first
// takes the ids out of the room's record) at 100, 1000 and 5000 ids. The cost
// must grow linearly: the time at 5000 stays within six times the time at
// 1000.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "plugin/mrtc_plugin.h"
#include "sdk_cmd.h"
#include "timer/plugin_other.h"

namespace imsdkmrtc {
namespace {

imsdk::timerCmd waitFor(int64_t count) {
  imsdk::timerCmd cmd;
  cmd.op = 1;
  cmd.memberMode = 0;
  cmd.category = 1;
  cmd.type = 1;
  cmd.key = "bench-room";
  cmd.duration = 88;
  for (int64_t i = 0; i < count; ++i) cmd.members.push_back(1000 + i);
  return cmd;
}

void BM_AddReplacingSameIds(benchmark::State& state) {
  // No host: the queue's log lines go nowhere and no worker is started.
  mrtc_plugin plugin;
  pluginOther& other = *plugin.other();
  const imsdk::timerCmd cmd = waitFor(state.range(0));
  other.onTimeout(cmd);
  for (auto _ : state) {
    // Empties and deletes the room's record, then queues the same one again.
    benchmark::DoNotOptimize(other.onTimeout(cmd));
  }
  const std::vector<timeoutRecord> queue = other.snapshot();
  if (queue.size() != 1 || queue[0].members != cmd.members) {
    state.SkipWithError("the queue does not hold exactly the re-armed record");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AddReplacingSameIds)->Arg(100)->Arg(1000)->Arg(5000)->Complexity();

}  // namespace
}  // namespace imsdkmrtc

BENCHMARK_MAIN();
