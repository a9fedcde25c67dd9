// Talk store operations at 100, 1000 and 5000 members. Every operation must
// grow linearly with the member count: the time at 5000 stays within six
// times the time at 1000.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/wire_words.h"
#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "store/talk_store.h"

// Bytes handed out by operator new and not given back yet. The C library's
// own figures miss blocks it keeps in per-thread caches and blocks it maps
// apart, and which of those a store's arrays land in changes with their
// sizes: the count at operator new sees every array the store keeps.
namespace {
std::atomic<int64_t> gLiveBytes{0};
constexpr size_t kHeader = alignof(std::max_align_t);

void* countedNew(size_t n) {
  auto* p = static_cast<unsigned char*>(std::malloc(n + kHeader));
  if (p == nullptr) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(p) = n;
  gLiveBytes += static_cast<int64_t>(n);
  return p + kHeader;
}

void countedDelete(void* q) noexcept {
  if (q == nullptr) return;
  unsigned char* p = static_cast<unsigned char*>(q) - kHeader;
  gLiveBytes -= static_cast<int64_t>(*reinterpret_cast<size_t*>(p));
  std::free(p);
}
}  // namespace

void* operator new(size_t n) { return countedNew(n); }
void* operator new[](size_t n) { return countedNew(n); }
void* operator new(size_t n, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return countedNew(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t& tag) noexcept { return operator new(n, tag); }
void operator delete(void* p) noexcept { countedDelete(p); }
void operator delete[](void* p) noexcept { countedDelete(p); }
void operator delete(void* p, size_t /*n*/) noexcept { countedDelete(p); }
void operator delete[](void* p, size_t /*n*/) noexcept { countedDelete(p); }
void operator delete(void* p, const std::nothrow_t& /*tag*/) noexcept { countedDelete(p); }
void operator delete[](void* p, const std::nothrow_t& /*tag*/) noexcept { countedDelete(p); }

namespace imsdkmrtc {
namespace {

constexpr int64_t kSelf = 100;
constexpr int64_t kFirstMember = 1000;

// A plug-in on a simulated host client of user kSelf.
struct Bench {
  Bench() {
    commlib::useVirtualTime(1700000000000);
    client.attach(plugin.get());
  }
  ~Bench() { client.attach(nullptr); }
  talkStore& store() { return plugin->store(); }

  simhost::Network net;
  simhost::Client& client = net.addClient("me", kSelf);
  std::unique_ptr<mrtc_plugin> plugin = std::make_unique<mrtc_plugin>();
};

std::vector<int64_t> idRange(int64_t first, int64_t count) {
  std::vector<int64_t> ids;
  ids.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) ids.push_back(first + i);
  return ids;
}

// A group talk in room "bench" whose members are n users besides self, every
// third one already in the room, with n / 2 former members.
talkInfo talkOf(int64_t n) {
  talkInfo info;
  info.rtcType = texts::kRtc;
  info.groupId = 55;
  info.onwerId = kSelf;
  info.roomId = "bench";
  info.targetId = 55;
  info.members = idRange(kFirstMember, n);
  for (int64_t i = 0; i < n; ++i) info.memstates.push_back(i % 3 == 0 ? 1 : 0);
  info.hismembers = idRange(kFirstMember + 10 * n, n / 2);
  return info;
}

void BM_localCall(benchmark::State& state) {
  Bench b;
  const talkInfo in = talkOf(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    b.store().resetTalk();
    talkInfo info = in;
    std::vector<int64_t> callees = in.members;
    state.ResumeTiming();
    benchmark::DoNotOptimize(b.store().localCall(callees, info));
  }
}

void BM_remoteCall(benchmark::State& state) {
  Bench b;
  talkInfo in = talkOf(state.range(0));
  in.onwerId = kFirstMember;
  in.members.push_back(kSelf);
  in.memstates.push_back(0);
  const std::vector<int64_t> callees = in.members;
  for (auto _ : state) {
    state.PauseTiming();
    b.store().resetTalk();
    talkInfo info = in;
    state.ResumeTiming();
    benchmark::DoNotOptimize(b.store().remoteCall(callees, info, 0));
  }
  // Every client of a group call runs this once: its cost per member is the
  // figure that decides how a call among thousands of clients scales.
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The heap a received call of n members holds in the store, per member:
// every client of a group call holds it, so it sets the memory a call among
// thousands of clients needs for each of them.
void BM_heldPerMember(benchmark::State& state) {
  Bench b;
  const int64_t n = state.range(0);
  talkInfo in = talkOf(n);
  in.onwerId = kFirstMember;
  in.members.push_back(kSelf);
  in.memstates.push_back(0);
  const std::vector<int64_t> callees = in.members;
  double held = -1;
  for (auto _ : state) {
    b.store().resetTalk();
    talkInfo info = in;
    const int64_t before = gLiveBytes.load();
    benchmark::DoNotOptimize(b.store().remoteCall(callees, info, 0));
    // The first call, on a store that never held a talk: later ones may
    // reuse arrays a reset kept.
    if (held < 0) held = static_cast<double>(gLiveBytes.load() - before);
  }
  state.counters["bytes_per_member"] = held / static_cast<double>(n);
}

// An invitation of n new users (self among them) into a talk of n members
// that this client did not know yet.
void BM_remoteInvite(benchmark::State& state) {
  Bench b;
  const int64_t n = state.range(0);
  talkInfo in = talkOf(n);
  in.onwerId = kFirstMember;
  std::vector<int64_t> invitees = idRange(kFirstMember + n, n - 1);
  invitees.push_back(kSelf);
  for (auto _ : state) {
    state.PauseTiming();
    b.store().resetTalk();
    talkInfo info = in;
    std::string word;
    state.ResumeTiming();
    benchmark::DoNotOptimize(b.store().remoteInvite(kFirstMember, invitees, word, info, 0));
  }
}

// addInvitees through localInvite: n new users, half of them named twice,
// into a running talk of n members.
void BM_addInvitees(benchmark::State& state) {
  Bench b;
  const int64_t n = state.range(0);
  const talkInfo in = talkOf(n);
  std::vector<int64_t> invitees = idRange(kFirstMember + n, n);
  for (int64_t i = 0; i < n / 2; ++i) invitees.push_back(kFirstMember + n + i);
  for (auto _ : state) {
    state.PauseTiming();
    b.store().resetTalk();
    talkInfo info = in;
    std::vector<int64_t> callees{kFirstMember};
    b.store().localCall(callees, info);
    std::vector<int64_t> list = invitees;
    talkInfo before;
    state.ResumeTiming();
    benchmark::DoNotOptimize(b.store().localInvite(list, before, info));
  }
}

// The snapshot of a talk of n members, with former members and members that
// left the room.
void BM_queryTalk(benchmark::State& state) {
  Bench b;
  const int64_t n = state.range(0);
  talkInfo info = talkOf(n);
  std::vector<int64_t> callees{kFirstMember};
  b.store().localCall(callees, info);
  for (int64_t i = 0; i < n; i += 10) {
    b.store().connectState(kFirstMember + i, texts::kIntoRoom, info);
    b.store().connectState(kFirstMember + i, texts::kLevelRoom, info);
  }
  for (auto _ : state) {
    talkInfo out;
    benchmark::DoNotOptimize(b.store().queryTalk(out));
    benchmark::DoNotOptimize(out.members.data());
  }
}

// Every member still ringing times out at once.
void BM_memberTimeout(benchmark::State& state) {
  Bench b;
  const talkInfo in = talkOf(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    b.store().resetTalk();
    talkInfo info = in;
    std::vector<int64_t> callees{kFirstMember};
    b.store().localCall(callees, info);
    std::vector<int64_t> timedOut;
    state.ResumeTiming();
    benchmark::DoNotOptimize(b.store().memberTimeout(in.members, timedOut, info));
  }
}

#define STORE_BENCH(fn) BENCHMARK(fn)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond)
STORE_BENCH(BM_localCall);
STORE_BENCH(BM_remoteCall);
STORE_BENCH(BM_heldPerMember);
STORE_BENCH(BM_remoteInvite);
STORE_BENCH(BM_addInvitees);
STORE_BENCH(BM_queryTalk);
STORE_BENCH(BM_memberTimeout);

}  // namespace
}  // namespace imsdkmrtc

BENCHMARK_MAIN();
