// Live notifications, pulled batches and application requests arrive on
// three threads while time-outs fire on the timer thread. Run under
// ThreadSanitizer (clang, -DMRTC_SANITIZE=thread) this shows the offline
// cache, the hint rooms and the store are only touched under their locks;
// in any build it shows nothing deadlocks and the plug-in stays consistent.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

std::string room(int i) { return "t" + std::to_string(i % 5); }

// A phone client, so that pulled calls go through the offline cache.
TEST_F(PhoneTest, ThreeRoadsAndTheTimerRunTogether) {
  constexpr int kRounds = 60;
  std::atomic<int> done{0};
  std::thread live([&] {
    for (int i = 0; i < kRounds; ++i) {
      const std::string word = i % 2 == 0 ? "refuse" : "accept";
      net.inject(kCaller, kAndroid, kGroup, groupCall(room(i)));
      net.inject(kPeer2, kAndroid, kGroup, step("multi_intoroom", kPeer2, kAndroid, room(i), word));
      net.inject(kMe, kAndroid, kGroup, step("multi_hungup", kMe, kAndroid, room(i), word));
      net.inject(kCaller, kAndroid, kGroup, kHintBody, 8, finishHint(room(i)));
      net.inject(kCaller, kAndroid, kGroup, step("multi_finish", kCaller, kAndroid, room(i), ""));
      net.pump();
    }
    ++done;
  });
  std::thread pulled([&] {
    for (int i = 0; i < kRounds; ++i) {
      const int64_t age = kStartMs - net.nowMs();
      me.pull(
          {hostMsg(kCaller, kGroup, groupCall(room(i + 1)), age),
           hostMsg(kCaller, kGroup, kHintBody, age, 8, finishHint(room(i + 2))),
           hostMsg(kCaller, kGroup, step("multi_mfinish", kCaller, kAndroid, room(i), ""), age)});
      if (i % 10 == 9) me.preLogin();
    }
    ++done;
  });
  std::thread requests([&] {
    for (int i = 0; i < kRounds; ++i) {
      me.extra(11, "");  // the application is active: the cache fires
      me.keepAlive();
      me.request(imsdk::kCmdIntoRoom, req(kGroup, room(i), {kMe}));
      net.pump();
    }
    ++done;
  });
  // The timer thread fires whatever falls due meanwhile.
  while (done.load() < 3) commlib::advance(5000, [this] { net.pump(); });
  live.join();
  pulled.join();
  requests.join();
  me.extra(11, "");
  commlib::advance(200000, [this] { net.pump(); });
  // After everything ran out no talk is left and nothing is cached.
  EXPECT_EQ(notify().offlineCacheSize(), 0u);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(talking(room(i)));
  EXPECT_GT(me.events().size(), 0u);
  EXPECT_TRUE(me.hasLog("onOffLineNotify: flat count="));
}

// Polls every 5 ms of real time, at most `polls` times, for n events.
bool eventsReach(const simhost::Client& client, size_t n, int polls = 400) {
  for (int i = 0; i < polls && client.events().size() < n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return client.events().size() >= n;
}

TEST_F(NotifyTest, EveryMessageRoadWaitsForThePluginLock) {
  const std::vector<std::function<void()>> roads = {
      [&] { deliver(kCaller, kAndroid, kGroup, groupCall()); },
      // (another room: a finish hint for r1 would keep its late call silent)
      [&] { deliver(kCaller, kAndroid, kGroup, kHintBody, 8, finishHint("r9")); },
      // a new call: the first one again would be a copy of a call that ended
      [&] { me.pull({hostMsg(kCaller, kGroup, groupCall().id("beginTime", 1))}); }};
  for (size_t i = 0; i < roads.size(); ++i) {
    SCOPED_TRACE(i);  // live call, live hint, pulled call
    plugin().store().resetTalk();
    me.clearRecords();
    auto held = std::make_unique<imsdk::autoLock>(plugin().lock());
    std::thread roadThread(roads[i]);
    EXPECT_FALSE(eventsReach(me, 1, 20));  // still waiting for the lock
    held.reset();
    roadThread.join();
    EXPECT_EQ(me.events().size(), 1u);
  }
}

TEST_F(NotifyTest, TimeOutsFireWithoutThePluginLock) {
  ring();
  // The keep-alive runs out at 60 s on the timer thread while this thread
  // holds the plug-in lock; a handler needing it would stall here.
  auto held = std::make_unique<imsdk::autoLock>(plugin().lock());
  std::thread clock([] { commlib::advance(64000); });
  EXPECT_TRUE(eventsReach(me, 2));
  held.reset();
  clock.join();
  EXPECT_EQ(events().back(), "5|local_sdk_keepalivetimeout|1001||300|2001|r1|||");
}

}  // namespace
}  // namespace notify_test
