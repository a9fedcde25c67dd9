// Messages pulled after an offline period (slot 12, event 38), and the cache
// of an inactive phone client.
#include <gmock/gmock.h>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

imsdk::hostMessage pulled(int64_t sender, int64_t target, const std::string& body,
                          int64_t ageMs, uint8_t bodyType = 14,
                          const std::string& extension = "") {
  imsdk::hostMessage m;
  m.sendUserId = sender;
  m.targetId = target;
  m.msgTime = kStartMs - ageMs;
  m.body = body;
  m.bodyType = bodyType;
  m.extension = extension;
  return m;
}

Body finish(const std::string& type, const std::string& room) {
  return std::move(Body(type).id("senderId", kCaller).id("groupId", kGroup).str("roomId", room));
}

const char kFinishHintBody[] = "{\"body\":\"ended\",\"msgBodyType\":\"12\"}";
const char kFinishHintProps[] =
    "{\"operType\":\"22\",\"operUser\":\"2001\",\"usersInfo\":\"groupId=300,roomId=r8\"}";

TEST_F(NotifyTest, PulledBatchActsOnFreshCallsAndEveryFinishOnly) {
  const std::string p2pRefuse = Body("multi_hungup")
                                    .str("annotation", "refuse")
                                    .id("senderId", kCaller)
                                    .str("roomId", "p1")
                                    .str("rtcType", "p2pconfer");
  auto out = me.pull({
      pulled(kCaller, kGroup, groupCall("r1"), 10000),                  // fresh call
      pulled(kCaller, kGroup, groupCall("r2"), 121000),                 // stale
      pulled(kCaller, kGroup, groupCall("r3"), -61000),                 // from the future
      pulled(kPeer2, kGroup, Body("multi_invite").str("roomId", "r4")
                                 .ids("selects", {kMe}).id("groupId", kGroup), 130000),
      pulled(kCaller, kGroup, Body("multi_intoroom").str("roomId", "r1"), 5000),  // not acted on
      pulled(kCaller, kGroup, finish("multi_finish", "r1"), 300000),    // finish of any age
      pulled(kCaller, kGroup, finish("multi_mfinish", "m1"), 900000),
      pulled(kCaller, kGroup, kFinishHintBody, 1000, 8, kFinishHintProps),
      pulled(kCaller, kGroup, "{\"type\":\"multi_call\"}", 1000, 12),   // not signalling
      pulled(kCaller, kGroup, "{not json", 1000),
      pulled(kCaller, kGroup, groupCall("r5").str("VideoStatus", "single"), 1000),
      pulled(kCaller, kMe, p2pRefuse, 1000),                            // one-to-one word
  });
  EXPECT_THAT(events(),
              ElementsAre(::testing::StartsWith("1||2001|1001,2002,2003|300|2001|r1|"),
                          "5||2001||300|0|r1|||", "13||2001||300|0|m1|||{\"sendUserId\":\"2001\"}",
                          "21||0||0|0||||" + std::string(kFinishHintProps)));
  std::vector<int32_t> statuses;
  for (const auto& m : out) statuses.push_back(m.status);
  EXPECT_THAT(statuses, ElementsAre(-10001, -10001, -10001, -10001, -10001, -10001, -10001, 0, 0,
                                    0, 0, 0));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: pull count=12."));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: flat count=7."));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: transfrom to cmd fail."));
  EXPECT_FALSE(talking());
}

TEST_F(NotifyTest, PulledCallsOfADisabledPcOrUnsupportedKindAreNotActedOn) {
  plugin().settings().p2pSwitch.store(0);
  me.pull({pulled(kCaller, kMe, p2pCall(), 1000)});
  EXPECT_TRUE(me.hasLog("no support."));
  plugin().settings().pcOnOff.store(0);
  me.pull({pulled(kCaller, kGroup, groupCall(), 1000)});
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_FALSE(talking());
}

TEST_F(NotifyTest, PulledRepeatedFinishHintIsHidden) {
  auto out = me.pull({pulled(kCaller, kGroup, kFinishHintBody, 1000, 8, kFinishHintProps),
                      pulled(kPeer2, kGroup, kFinishHintBody, 1000, 8, kFinishHintProps)});
  EXPECT_EQ(out[0].status, 0);
  EXPECT_EQ(out[1].status, -10001);
  EXPECT_TRUE(me.hasLog("onOffLineNotify: flat count=1."));
}

// A phone client that the application has not reported active.
class PhoneTest : public NotifyTest {
 protected:
  PhoneTest() : NotifyTest(3) {}
};

TEST_F(PhoneTest, InactivePhoneHoldsCallsUntilActiveWithinTheirAge) {
  me.pull({pulled(kCaller, kGroup, groupCall("r1"), 10000),
           pulled(kCaller, kGroup, finish("multi_mfinish", "m1"), 10000)});
  // The conference finish is acted on at once; the call waits.
  EXPECT_THAT(events(), ElementsAre("13||2001||300|0|m1|||{\"sendUserId\":\"2001\"}"));
  EXPECT_EQ(notify().offlineCacheSize(), 1u);
  EXPECT_FALSE(talking());

  commlib::advance(100000);  // the call is now 110 s old
  notify().fireCacheOffline();
  auto got = me.events();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].eventType, 1);
  EXPECT_EQ(got[1].extend,
            "{\"mode\":\"normal\",\"peer_devtype\":\"android\",\"rtcType\":\"rtc\","
            "\"conferMode\":\"chat\",\"initState\":[\"1001_312\"]}");
  EXPECT_TRUE(talking());
  EXPECT_EQ(notify().offlineCacheSize(), 0u);
}

TEST_F(PhoneTest, CachedCallTooOldOrClearedAtPreLoginNeverRings) {
  me.pull({pulled(kCaller, kGroup, groupCall("r1"), 10000)});
  commlib::advance(111000);  // 121 s old
  notify().fireCacheOffline();
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_EQ(notify().offlineCacheSize(), 0u);

  me.pull({pulled(kCaller, kGroup, groupCall("r2"), 1000)});
  EXPECT_EQ(notify().offlineCacheSize(), 1u);
  me.preLogin();
  EXPECT_EQ(notify().offlineCacheSize(), 0u);
  notify().fireCacheOffline();
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_TRUE(me.hasLog("fireCacheOffline\xA3\xBAoffcnt=0."));
}

TEST_F(PhoneTest, ActivePhoneRingsAtOnce) {
  plugin().settings().activeFlag.store(1);
  me.pull({pulled(kCaller, kGroup, groupCall("r1"), 1000)});
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_EQ(notify().offlineCacheSize(), 0u);
}

}  // namespace
}  // namespace notify_test
