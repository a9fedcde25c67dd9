// The time-out queue's member work at 100 to 10 000 ids, with the cost of
// one id as a figure (`per_id`, seconds): it should stay flat as the lists
// grow.
//
//   BM_AddReplacingSameIds  re-arming a room's wait for its whole member list
//                           (every id is taken out of the room's record, which
//                           empties and goes, then the same record is queued)
//   BM_AddOnlyNewIds        an add that keeps only the ids the room lacks, over
//                           records that already hold them all
//   BM_RemoveOneId          one member hanging up: one id out of the room's
//                           record of N (per_id: per id the record holds)
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "plugin/mrtc_plugin.h"
#include "sdk_cmd.h"
#include "timer/plugin_other.h"

namespace imsdkmrtc {
namespace {

imsdk::timerCmd waitFor(int64_t count, int32_t memberMode) {
  imsdk::timerCmd cmd;
  cmd.op = kTimerAdd;
  cmd.memberMode = memberMode;
  cmd.category = kTimeoutMemberCategory;
  cmd.type = kTimeoutWait;
  cmd.key = "bench-room";
  cmd.duration = kWaitSeconds;
  for (int64_t i = 0; i < count; ++i) cmd.members.push_back(1000 + i);
  return cmd;
}

void perId(benchmark::State& state) {
  state.SetComplexityN(state.range(0));
  state.counters["per_id"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_AddReplacingSameIds(benchmark::State& state) {
  // No host: the queue's log lines go nowhere and no worker is started.
  mrtc_plugin plugin;
  pluginOther& other = *plugin.other();
  const imsdk::timerCmd cmd = waitFor(state.range(0), kMembersReplace);
  other.onTimeout(cmd);
  for (auto _ : state) {
    benchmark::DoNotOptimize(other.onTimeout(cmd));
  }
  const std::vector<timeoutRecord> queue = other.snapshot();
  if (queue.size() != 1 || queue[0].members != cmd.members) {
    state.SkipWithError("the queue does not hold exactly the re-armed record");
  }
  perId(state);
}
BENCHMARK(BM_AddReplacingSameIds)->RangeMultiplier(10)->Range(100, 10000)->Arg(5000)->Complexity();

void BM_AddOnlyNewIds(benchmark::State& state) {
  mrtc_plugin plugin;
  pluginOther& other = *plugin.other();
  imsdk::timerCmd half = waitFor(state.range(0) / 2, kMembersAsGiven);
  half.type = kTimeoutRing;
  other.onTimeout(half);
  // The first add queues the other half; every later one finds all the ids
  // pending and adds nothing, as a re-ring of the same invitation does.
  const imsdk::timerCmd cmd = waitFor(state.range(0), kMembersOnlyNew);
  other.onTimeout(cmd);
  for (auto _ : state) {
    benchmark::DoNotOptimize(other.onTimeout(cmd));
  }
  const std::vector<timeoutRecord> queue = other.snapshot();
  if (queue.size() != 2 ||
      queue[0].members.size() + queue[1].members.size() != cmd.members.size()) {
    state.SkipWithError("the adds did not keep exactly the new ids");
  }
  perId(state);
}
BENCHMARK(BM_AddOnlyNewIds)->RangeMultiplier(10)->Range(100, 10000)->Arg(5000)->Complexity();

void BM_RemoveOneId(benchmark::State& state) {
  mrtc_plugin plugin;
  pluginOther& other = *plugin.other();
  const int64_t count = state.range(0);
  const imsdk::timerCmd wait = waitFor(count, kMembersReplace);
  other.onTimeout(wait);
  imsdk::timerCmd answer = waitFor(0, kMembersReplace);
  answer.op = kTimerRemove;
  // Members answer in a scattered order (the stride is prime to every size);
  // when half have answered the wait is armed anew, outside the timing.
  int64_t step = 0;
  for (auto _ : state) {
    answer.members = {1000 + (step * 7919) % count};
    other.onTimeout(answer);
    if (++step == count / 2) {
      state.PauseTiming();
      other.onTimeout(wait);
      step = 0;
      state.ResumeTiming();
    }
  }
  // per_id: the time of one removal over the ids the record holds.
  perId(state);
}
BENCHMARK(BM_RemoveOneId)->RangeMultiplier(10)->Range(100, 10000)->Arg(5000)->Complexity();

}  // namespace
}  // namespace imsdkmrtc

BENCHMARK_MAIN();
