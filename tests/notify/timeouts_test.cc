// Each time-out handler as the timer thread hands it a due record.
#include <gmock/gmock.h>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

imsdkmrtc::timeoutRecord record(int32_t category, int32_t type, const std::string& key,
                                std::vector<int64_t> members) {
  imsdkmrtc::timeoutRecord r;
  r.category = category;
  r.type = type;
  r.key = key;
  r.members = std::move(members);
  return r;
}

Body entered(int64_t who) {
  return std::move(Body("multi_intoroom")
                       .id("senderId", who)
                       .id("groupId", kGroup)
                       .str("roomId", "r1")
                       .str("deviceType", "1"));
}

TEST_F(NotifyTest, WaitTimeOutReportsOnlyThoseWhoDidNotEnter) {
  ring();
  deliver(kPeer2, kPc, kGroup, entered(kPeer2));
  me.clearRecords();
  notify().onTimeoutDispatch(record(1, 1, "r1", {kPeer2, kPeer3}));
  EXPECT_THAT(events(), ElementsAre("6||1001|2003|300|2001|r1||2001,1001,2002|"));
  EXPECT_TRUE(talking());
  // Everybody asked about is in the room: nothing to report.
  notify().onTimeoutDispatch(record(1, 1, "r1", {kPeer2}));
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_TRUE(me.hasLog("notify_timeout ret=7."));
}

TEST_F(NotifyTest, RingTimeOutEndsTheTalkWithBecallTimeout) {
  ring();
  me.clearRecords();
  notify().onTimeoutDispatch(record(1, 2, "r1", {kMe}));
  EXPECT_THAT(events(),
              ElementsAre("6||1001|1001|300|2001|r1||2001,2002,2003|",
                          "5|local_sdk_becalltimeout|1001||300|2001|r1|||"));
  EXPECT_FALSE(talking());
}

TEST_F(NotifyTest, KeepAliveTimeOutEndsAnyTalkAndIsQuietWithout) {
  ring();
  me.clearRecords();
  // Whatever its category, a type 3 record is the keep-alive.
  notify().onTimeoutDispatch(record(4, 3, "keepalive", {}));
  EXPECT_THAT(events(), ElementsAre("5|local_sdk_keepalivetimeout|1001||300|2001|r1|||"));
  EXPECT_FALSE(talking());
  notify().onTimeoutDispatch(record(0, 3, "keepalive", {}));
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_TRUE(me.hasLog("notify_keepalivetimeout\xA3\xBAno_talking."));
}

struct RecallRow {
  int32_t recallCount;
  int32_t recallCnt;
  std::vector<std::string> timers;
};

TEST_F(NotifyTest, RecallResendsTheStoredCallAndRearmsWhileCountAllows) {
  const std::string stored = "{\"type\":\"multi_call\",\"roomId\":\"r1\",\"flag\":\"recall\"}";
  const std::vector<RecallRow> rows = {
      {2, 1, {"1/5/7/300/2002,2003/30/n2"}},
      {2, 2, {}},
      {1, 1, {}},
  };
  ring();
  for (const RecallRow& row : rows) {
    SCOPED_TRACE(std::to_string(row.recallCount) + "/" + std::to_string(row.recallCnt));
    me.clearRecords();
    plugin().settings().recallCount.store(row.recallCount);
    auto r = record(5, 7, "300", {kPeer2, kPeer3});
    r.roomId = "r1";
    r.extra = stored;
    r.fireTime = kStartMs / 1000;
    r.recallCnt = row.recallCnt;
    notify().onTimeoutDispatch(r);
    EXPECT_THAT(sent(), ElementsAre("14>300[2002,2003]:" + stored));
    EXPECT_EQ(timers(), row.timers);
  }
}

TEST_F(NotifyTest, RecallSkipsMembersWhoEnteredOrHungUp) {
  ring();
  commlib::advance(1000);
  // The application reports the member's media link in the room.
  imsdkmrtc::talkInfo talk;
  talk.groupId = kGroup;
  talk.roomId = "r1";
  ASSERT_EQ(plugin().store().connectState(kPeer2, "intoroom", talk), 0u);
  auto r = record(5, 7, "300", {kPeer2, kPeer3});
  r.roomId = "r1";
  r.extra = "{}";
  r.fireTime = kStartMs / 1000;
  r.recallCnt = 1;
  me.clearRecords();
  notify().onTimeoutDispatch(r);
  EXPECT_THAT(sent(), ElementsAre("14>300[2003]:{}"));

  deliver(kPeer3, kPc, kGroup,
          Body("multi_hungup").str("annotation", "refuse").id("senderId", kPeer3)
              .id("groupId", kGroup).str("roomId", "r1").str("deviceType", "1"));
  me.clearRecords();
  notify().onTimeoutDispatch(r);
  EXPECT_THAT(sent(), IsEmpty());
  EXPECT_TRUE(me.hasLog("notify_recalltimeout ret=18."));
}

TEST_F(NotifyTest, DelayedCardIsSentAndShown) {
  const std::string card = "{\"type\":\"rtc\",\"title\":\"t\"}";
  auto r = record(3, 4, "300", {kPeer2});
  r.extra = card;
  notify().onTimeoutDispatch(r);
  EXPECT_THAT(events(), ElementsAre("22||0||0|0||||" + card));
  ASSERT_EQ(me.inserted().size(), 1u);
  EXPECT_EQ(me.inserted()[0].body, card);
}

TEST_F(NotifyTest, BoardTimeOutSummarisesACallSeenInTheWatchedGroup) {
  plugin().board().setSwitch(true);
  plugin().board().setWatchedGroup(kGroup);
  // A call among others in the watched group: not for this user, but kept.
  deliver(kCaller, kAndroid, kGroup,
          groupCall()
              .ids("selects", {kPeer2, kPeer3})
              .raw("memstates", "[true,false,false,false]")
              .str("extend", "Alice"));
  EXPECT_EQ(plugin().board().size(), 1u);
  me.clearRecords();
  notify().onTimeoutDispatch(record(2, 1, "r1", {kPeer3}));
  EXPECT_THAT(events(), ElementsAre("8||0||300|2001|r1||2001|{\"intotoom_count\":\"1\","
                                    "\"allmember_count\":\"3\",\"onwer_name\":\"Alice\"}"));
  // Nothing left to take out: no event.
  notify().onTimeoutDispatch(record(2, 1, "r1", {kPeer3}));
  EXPECT_EQ(me.events().size(), 1u);
}

TEST_F(NotifyTest, LoseFinishAndUnknownCategoriesChangeNothing) {
  ring();
  me.clearRecords();
  notify().onTimeoutDispatch(record(4, 6, "r1", {}));
  notify().onTimeoutDispatch(record(7, 1, "r1", {kMe}));
  notify().onTimeoutDispatch(record(0, 1, "r1", {kMe}));
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_THAT(sent(), IsEmpty());
  EXPECT_TRUE(talking());
  EXPECT_TRUE(me.hasLog("notify_losefinishtimeout key=r1."));
}

}  // namespace
}  // namespace notify_test
