// Messages pulled after an offline period (slot 12, event 38), and the cache
// of an inactive phone client.
#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

Body finish(const std::string& type, const std::string& room) {
  return std::move(Body(type).id("senderId", kCaller).id("groupId", kGroup).str("roomId", room));
}

const char kConferenceFinished[] = "13||2001||300|0|m1|||{\"sendUserId\":\"2001\"}";

TEST_F(NotifyTest, PulledBatchActsOnFreshCallsAndEveryFinishOnly) {
  auto out = me.pull({
      hostMsg(kCaller, kGroup, groupCall("r1"), 10000),   // fresh call, finished below
      hostMsg(kCaller, kGroup, groupCall("r6"), 10000),   // fresh call
      hostMsg(kCaller, kGroup, groupCall("r2"), 121000),  // stale
      hostMsg(kCaller, kGroup, groupCall("r3"), -61000),  // from the future
      hostMsg(kPeer2, kGroup,
              Body("multi_invite").str("roomId", "r4").ids("selects", {kMe}).id("groupId", kGroup),
              130000),
      hostMsg(kCaller, kGroup, Body("multi_intoroom").str("roomId", "r1"), 5000),  // not acted on
      hostMsg(kCaller, kGroup, finish("multi_finish", "r1"), 300000),  // finish of any age
      hostMsg(kCaller, kGroup, finish("multi_mfinish", "m1"), 900000),
      hostMsg(kCaller, kGroup, kHintBody, 1000, 8, finishHint("r8")),
      hostMsg(kPeer2, kGroup, kHintBody, 1000, 8, finishHint("r8")),    // repeated: hidden
      hostMsg(kCaller, kGroup, "{\"type\":\"multi_call\"}", 1000, 12),  // not signalling
      hostMsg(kCaller, kGroup, "{not json", 1000),
      hostMsg(kCaller, kGroup, groupCall("r5").str("VideoStatus", "single"), 1000),
      hostMsg(kCaller, kMe, step("multi_hungup", kCaller, kAndroid, "p1", "refuse"),
              1000),  // one-to-one word
  });
  // The call of r1 does not ring: its finish is in the same pull.
  EXPECT_THAT(events(), ElementsAre(::testing::StartsWith("1||2001|1001,2002,2003|300|2001|r6|"),
                                    kConferenceFinished,
                                    "21||0||0|0||||" + finishHint("r8"),  // shown, and hidden
                                    "21||0||0|0||||" + finishHint("r8")));
  std::vector<int32_t> statuses;
  for (const auto& m : out) statuses.push_back(m.status);
  EXPECT_THAT(statuses, ElementsAre(-10001, -10001, -10001, -10001, -10001, -10001, -10001, -10001,
                                    0, -10001, 0, 0, 0, 0));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: pull count=14."));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: flat count=9."));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: call of room r1 ends later in this pull."));
  EXPECT_TRUE(talking("r6"));
}

TEST_F(NotifyTest, PulledCallsOfADisabledPcOrUnsupportedKindAreNotActedOn) {
  plugin().settings().p2pSwitch.store(0);
  me.pull({hostMsg(kCaller, kMe, p2pCall(), 1000)});
  EXPECT_TRUE(me.hasLog("no support."));
  plugin().settings().pcOnOff.store(0);
  me.pull({hostMsg(kCaller, kGroup, groupCall(), 1000),
           hostMsg(kCaller, kGroup, finish("multi_finish", "r9"), 1000)});
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_FALSE(talking());
  // A finish pulled while calls were off still ends its room: a late copy
  // of that call must not ring once calls are back on.
  plugin().settings().pcOnOff.store(1);
  deliver(kCaller, kAndroid, kGroup, groupCall("r9"));
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_FALSE(talking("r9"));
}

// An inactive phone acts on a pulled conference finish at once; the call
// waits, and is never rung once it is too old.
TEST_F(PhoneTest, InactivePhoneHoldsCallsWithinTheirAge) {
  me.pull({hostMsg(kCaller, kGroup, groupCall("r1"), 10000),
           hostMsg(kCaller, kGroup, finish("multi_mfinish", "m1"), 10000)});
  EXPECT_THAT(events(), ElementsAre(kConferenceFinished));
  EXPECT_EQ(notify().offlineCacheSize(), 1u);
  commlib::advance(111000);  // the call is now 121 s old
  notify().fireCacheOffline();
  EXPECT_EQ(notify().offlineCacheSize(), 0u);
  EXPECT_THAT(events(), ElementsAre(kConferenceFinished));
  EXPECT_FALSE(talking());
}

}  // namespace
}  // namespace notify_test
