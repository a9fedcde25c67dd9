// Time-outs: each handler handed one due record. Whole calls with the timer
// thread running (rings that run out, keep-alives that stop, recalls, the
// same user answering on a second device) are the simulator's scenarios.
#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

// A group call rings and kPeer2 has entered; then one record falls due.
TEST_F(NotifyTest, TimeOutsOfARingingTalk) {
  struct Row {
    const char* name;
    imsdkmrtc::timeoutRecord due;
    std::vector<std::string> events;
    bool talking;
  };
  const std::vector<Row> rows = {
      {"wait reports only those who did not enter",
       record(1, 1, "r1", {kPeer2, kPeer3}),
       {"6||1001|2003|300|2001|r1||2001,1001,2002|"},
       true},
      {"wait with everybody in", record(1, 1, "r1", {kPeer2}), {}, true},
      // Whatever its category, a type 3 record is the keep-alive.
      {"keep-alive",
       record(4, 3, "keepalive", {}),
       {"5|local_sdk_keepalivetimeout|1001||300|2001|r1|||"},
       false},
      {"lose finish", record(4, 6, "r1", {}), {}, true},
      {"unknown category", record(7, 1, "r1", {kMe}), {}, true},
      {"no category", record(0, 1, "r1", {kMe}), {}, true},
  };
  // Each row rings with a new call (a later beginTime): the same call once
  // more would be a copy of one that ended, which never rings.
  int64_t begin = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    plugin().store().resetTalk();
    deliver(kCaller, kAndroid, kGroup, groupCall().id("beginTime", ++begin));
    deliver(kPeer2, kPc, kGroup, step("multi_intoroom", kPeer2, kPc, "r1", ""));
    me.clearRecords();
    notify().onTimeoutDispatch(row.due);
    EXPECT_EQ(events(), row.events);
    EXPECT_THAT(sent(), IsEmpty());
    EXPECT_EQ(talking(), row.talking);
  }
  // Without a talk the keep-alive is quiet.
  plugin().store().resetTalk();
  me.clearRecords();
  notify().onTimeoutDispatch(record(0, 3, "keepalive", {}));
  EXPECT_THAT(events(), IsEmpty());
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

// Members count as in the room only by a member state that says so; a call
// without states counts nobody.
TEST_F(NotifyTest, BoardTimeOutSummarisesACallSeenInTheWatchedGroup) {
  plugin().board().setSwitch(true);
  plugin().board().setWatchedGroup(kGroup);
  for (const char* states : {"[true,false,false,false]", ""}) {
    SCOPED_TRACE(states);
    // A call among others in the watched group: not for this user, but kept.
    // The same room again: the newer call takes the buffered one's place.
    Body call = groupCall().ids("selects", {kPeer2, kPeer3}).str("extend", "Alice");
    if (*states != '\0') call.raw("memstates", states);
    deliver(kCaller, kAndroid, kGroup, call);
    EXPECT_EQ(plugin().board().size(), 1u);
    me.clearRecords();
    notify().onTimeoutDispatch(record(2, 1, "r1", {kPeer3}));
    // Nothing left to take out: no event.
    notify().onTimeoutDispatch(record(2, 1, "r1", {kPeer3}));
    EXPECT_THAT(events(),
                ElementsAre(std::string("8||0||300|2001|r1||") + (*states != '\0' ? "2001" : "") +
                            "|{\"intotoom_count\":\"" + (*states != '\0' ? "1" : "0") +
                            "\",\"allmember_count\":\"3\",\"onwer_name\":\"Alice\"}"));
  }
}

}  // namespace
}  // namespace notify_test
