// Live notifications, pulled batches and application requests arrive on
// three threads while time-outs fire on the timer thread. Run under
// ThreadSanitizer (clang, -DMRTC_SANITIZE=thread) this shows the offline
// cache, the hint rooms and the store are only touched under their locks;
// in any build it shows nothing deadlocks and the plug-in stays consistent.
#include <gmock/gmock.h>

#include <atomic>
#include <thread>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

// A phone client, so that pulled calls go through the offline cache.
class ThreadsTest : public NotifyTest {
 protected:
  ThreadsTest() : NotifyTest(3) {}
};

std::string room(int i) { return "t" + std::to_string(i % 5); }

Body step(const std::string& type, int64_t sender, int i) {
  return std::move(Body(type)
                       .str("annotation", i % 2 == 0 ? "refuse" : "accept")
                       .id("senderId", sender)
                       .id("groupId", kGroup)
                       .id("onwerId", kCaller)
                       .str("roomId", room(i))
                       .str("deviceType", "2")
                       .str("version", "mrtc@1.8.8"));
}

const char kHintBody[] = "{\"body\":\"x\",\"msgBodyType\":\"12\"}";

std::string hintProps(int i) {
  return "{\"operType\":\"22\",\"operUser\":\"2001\",\"usersInfo\":\"groupId=300,roomId=" +
         room(i) + "\"}";
}

TEST_F(ThreadsTest, ThreeRoadsAndTheTimerRunTogether) {
  constexpr int kRounds = 60;
  std::atomic<int> done{0};

  std::thread live([&] {
    for (int i = 0; i < kRounds; ++i) {
      net.inject(kCaller, kAndroid, kGroup, groupCall(room(i)));
      net.inject(kPeer2, kAndroid, kGroup, step("multi_intoroom", kPeer2, i));
      net.inject(kMe, kAndroid, kGroup, step("multi_hungup", kMe, i));
      net.inject(kCaller, kAndroid, kGroup, kHintBody, 8, hintProps(i));
      net.inject(kCaller, kAndroid, kGroup, step("multi_finish", kCaller, i));
      net.pump();
    }
    ++done;
  });
  std::thread pulled([&] {
    for (int i = 0; i < kRounds; ++i) {
      imsdk::hostMessage call;
      call.sendUserId = kCaller;
      call.targetId = kGroup;
      call.msgTime = net.nowMs();
      call.bodyType = 14;
      call.body = groupCall(room(i + 1));
      imsdk::hostMessage hint = call;
      hint.bodyType = 8;
      hint.body = kHintBody;
      hint.extension = hintProps(i + 2);
      imsdk::hostMessage finish = call;
      finish.body = step("multi_mfinish", kCaller, i);
      me.pull({call, hint, finish});
      if (i % 10 == 9) me.preLogin();
    }
    ++done;
  });
  std::thread requests([&] {
    for (int i = 0; i < kRounds; ++i) {
      me.extra(11, "");  // the application is active: the cache fires
      me.keepAlive();
      imsdk::req_mrtc_request into;
      into.groupId = kGroup;
      into.roomId = room(i);
      into.members = {kMe};
      me.request(imsdk::kCmdIntoRoom, into);
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
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(plugin().store().isCurrentRoom(room(i)));
  EXPECT_GT(me.events().size(), 0u);
  EXPECT_TRUE(me.hasLog("onOffLineNotify: flat count="));
}

}  // namespace
}  // namespace notify_test
