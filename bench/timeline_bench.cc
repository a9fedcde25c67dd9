// What the timeline pays per client of a group call among n for the lists
// each client's records carry: the call's callees and members (equal for
// every client), its own wait list (the callees less itself) and its cancel
// list (the members plus itself). The figure per client should not grow with
// n beyond reading each list once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "item.h"

namespace {

void BM_memberListsPerClient(benchmark::State& state) {
  const auto n = static_cast<int64_t>(state.range(0));
  std::vector<int64_t> members;
  for (int64_t i = 0; i < n; ++i) members.push_back(100001 + i);
  const std::vector<int64_t> callees(members.begin() + 1, members.end());
  std::vector<std::vector<int64_t>> waits;
  std::vector<std::vector<int64_t>> cancels;
  for (int64_t k = 1; k < n; ++k) {
    std::vector<int64_t> wait = callees;
    wait.erase(wait.begin() + (k - 1));
    waits.push_back(std::move(wait));
    std::vector<int64_t> cancel = members;
    cancel.push_back(members[static_cast<size_t>(k)]);
    cancels.push_back(std::move(cancel));
  }
  for (auto _ : state) {
    // The timeline keeps every list to the end of the run.
    std::vector<codec::IdList> kept;
    kept.reserve(4 * waits.size());
    for (size_t c = 0; c < waits.size(); ++c) {
      kept.push_back(codec::sharedIds(callees));
      kept.push_back(codec::sharedIds(members));
      kept.push_back(codec::sharedIds(waits[c]));
      kept.push_back(codec::sharedIds(cancels[c]));
    }
    benchmark::DoNotOptimize(kept.data());
  }
  // Items are clients: items_per_second is clients a second.
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(waits.size()));
}
BENCHMARK(BM_memberListsPerClient)->Arg(200)->Arg(1000)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
