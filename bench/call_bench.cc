// Placing a call (the caller's request) and receiving one (the callee's
// notification) for groups of 10, 100 and 1000 callees on the simulated
// host, with logging discarded. The time should grow about linearly with the
// group: at 1000 callees at most 12 times the time at 100.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "base/device_types.h"
#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "requests/request_texts.h"
#include "signalling/msg_types.h"
#include "simhost.h"
#include "timer/plugin_other.h"

namespace {

constexpr int64_t kStartMs = 1700000000000;
constexpr int64_t kCaller = 11;
constexpr int64_t kCallee = 12;
constexpr int64_t kGroup = 500;

std::vector<int64_t> callees(int64_t count) {
  std::vector<int64_t> ids;
  for (int64_t i = 0; i < count; ++i) ids.push_back(kCallee + i);
  return ids;
}

// One network with the caller's and the first callee's clients.
struct Bench {
  simhost::Network net;
  imsdkmrtc::mrtc_plugin callerPlugin;
  imsdkmrtc::mrtc_plugin calleePlugin;
  simhost::Client& caller;
  simhost::Client& callee;

  explicit Bench(int64_t count)
      : caller(net.addClient("caller", kCaller, imsdkmrtc::kDevicePc)),
        callee(net.addClient("callee", kCallee, imsdkmrtc::kDevicePc)) {
    std::vector<int64_t> members = callees(count);
    members.push_back(kCaller);
    net.addUser(kCaller, "Ann");
    net.addGroup(kGroup, members);
    caller.attach(&callerPlugin);
    callee.attach(&calleePlugin);
    simhost::setQuietLogs(caller, true);
    simhost::setQuietLogs(callee, true);
  }
  ~Bench() {
    callerPlugin.other()->stop();
    calleePlugin.other()->stop();
    commlib::advance(10000);
  }
  // Forgets everything the last round left behind, its pending call
  // time-outs included: a new talk meets an empty queue, as it does outside
  // a benchmark loop.
  void clear() {
    for (imsdkmrtc::mrtc_plugin* plugin : {&callerPlugin, &calleePlugin}) {
      imsdk::timerCmd drop;
      drop.op = 0;
      drop.category = 1;
      drop.type = 0;  // any record of the category, whatever its key
      plugin->postTimer(drop);
    }
    net.pump();
    net.clearTraffic();
    caller.clearRecords();
    callee.clearRecords();
  }
};

imsdk::req_mrtc_request callRequest(int64_t count) {
  imsdk::req_mrtc_request r;
  r.groupId = kGroup;
  r.roomId = "bench-room";
  r.roomName = "Bench";
  r.members = callees(count);
  r.extend = R"({"conferMode":"chat","rtcType":"rtc"})";
  return r;
}

void BM_on_call(benchmark::State& state) {
  commlib::useVirtualTime(kStartMs);
  Bench bench(state.range(0));
  const imsdk::req_mrtc_request request = callRequest(state.range(0));
  for (auto _ : state) {
    bench.caller.request(imsdk::kCmdCall, request);
    state.PauseTiming();
    bench.caller.extra(imsdkmrtc::kExtraTypeResetTalk, "");
    bench.clear();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}

void BM_notify_call(benchmark::State& state) {
  commlib::useVirtualTime(kStartMs);
  Bench bench(state.range(0));
  // The very message a caller sends for this group.
  bench.caller.request(imsdk::kCmdCall, callRequest(state.range(0)));
  const std::vector<simhost::NetMessage> sent = bench.caller.sent();
  if (sent.empty()) {
    state.SkipWithError("no call message");
    return;
  }
  const std::string body = sent.front().body;
  bench.caller.extra(imsdkmrtc::kExtraTypeResetTalk, "");
  bench.clear();
  for (auto _ : state) {
    bench.net.inject(kCaller, imsdkmrtc::kDevicePc, kGroup, body, imsdkmrtc::kMsgTypeAll, "",
                     {kCallee});
    bench.net.pump();
    state.PauseTiming();
    bench.callee.extra(imsdkmrtc::kExtraTypeResetTalk, "");
    bench.clear();
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_on_call)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_notify_call)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
