// Placing a call (24001) and inviting (24002) as the caller's host sees it:
// answers, the messages on the wire, hints, UI events and time-outs.
#include <gmock/gmock.h>

#include <string>
#include <utility>
#include <vector>

#include "request_site.h"

namespace reqtest {
namespace {

// One row per call shape: what is answered, the wait armed (0: none), and
// whether the group hint and its event appear. A refused call leaves nothing
// behind: the next call goes through.
TEST(PlaceCall, CallShapes) {
  struct Row {
    const char* name;
    int64_t groupId;
    std::vector<int64_t> members;
    std::string extend;
    bool refuseSend;
    int32_t expected;
    int32_t wait;
    size_t hints;  // weak hints written
    const char* log;
  };
  // clang-format off
  const Row rows[] = {
      {"rtc", 500, {12}, R"({"rtcType":"rtc"})", false, 0, 88, 1, "on_call: roomId=r1"},
      {"empty extend", 500, {12}, "", false, 0, 88, 1, "rtcType=,"},
      {"p2p", 0, {12}, R"({"rtcType":"p2pconfer"})", false, 0, 98, 0, "rtcType=p2pconfer"},
      {"single", 500, {12}, R"({"mode":"single"})", false, 0, 88, 0, "on_call"},
      {"unbind alone", 500, {12}, R"({"rtcType":"unbindconfer"})", false, 0, 88, 1,
       "unbindconfer rename rtc."},
      {"unbind off", 500, {12}, R"({"rtcType":"unbindconfer","outMembers":["7"]})", false, 11, 0,
       0, "on_call"},
      {"typed keys", 500, {12}, R"({"rtcType":5,"mode":null,"addr":[1]})", false, 0, 88, 1,
       "rtcType=rtc,"},
      {"not json", 500, {12}, "{rtcType:rtc", false, 1, 0, 0, "extendJson={rtcType:rtc."},
      {"deep brackets", 500, {12}, std::string(1 << 20, '['), false, 1, 0, 0, "extendJson=[[["},
      {"array of numbers", 500, {12}, R"({"initState":[1]})", false, 1, 0, 0, "on_call"},
      {"out member number", 500, {12}, R"({"outMembers":[7]})", false, 1, 0, 0, "on_call"},
      {"self only", 500, {11}, "", false, 1, 0, 0, "memCnt=0"},
      {"no members", 500, {}, "", false, 1, 0, 0, "memCnt=0"},
      {"zero id", 500, {12, 0}, "", false, 1, 0, 0, "on_call"},
      {"negative id", 500, {12, -5}, "", false, 1, 0, 0, "on_call"},
      {"send refused", 500, {12}, "", true, 4, 0, 0, "on_call: sendMsg_call fail."},
  };
  // clang-format on
  for (const Row& row : rows) {
    Ann c;
    c.a.config().refuseSend = row.refuseSend;
    EXPECT_EQ(c.ask(24001, "r1", "", row.members, row.extend, row.groupId), row.expected)
        << row.name;
    EXPECT_TRUE(c.a.hasLog(row.log)) << row.name;
    const auto waits = timersOf(c.a, 1, 1);
    if (row.wait == 0) {
      EXPECT_TRUE(waits.empty()) << row.name;
      EXPECT_TRUE(c.a.sent().empty()) << row.name;
      EXPECT_TRUE(c.a.events().empty()) << row.name;
      c.a.config().refuseSend = false;
      EXPECT_EQ(c.ask(24001, "r9", "", {12}), 0) << row.name;
      continue;
    }
    ASSERT_EQ(waits.size(), 1u) << row.name;
    EXPECT_EQ(waits[0].duration, row.wait) << row.name;
    EXPECT_EQ(sentOfMsgType(c.a, 8).size(), row.hints) << row.name;
    EXPECT_EQ(eventsOfType(c.a, 21).size(), row.hints) << row.name;
    EXPECT_EQ(sentOfType(c.a, "multi_call").size(), 1u) << row.name;
  }
}

TEST(PlaceCall, OutMemberGetsItsOwnHintAndNoRing) {
  Ann c;
  c.site.net.addUser(7, "Eve");
  c.plugin().settings().unbindSwitch.store(1);
  ASSERT_EQ(c.ask(24001, "r1", "", {12, 13, 7}, R"({"rtcType":"unbindconfer","outMembers":["7"]})"),
            0);
  const auto calls = sentOfType(c.a, "multi_call");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_THAT(calls[0].limitRange, ::testing::UnorderedElementsAre(12, 13));
  const auto hints = sentOfMsgType(c.a, 8);
  ASSERT_EQ(hints.size(), 2u);
  EXPECT_EQ(hints[1].chatId, 7);
  EXPECT_EQ(
      hints[1].properties,
      R"({"operType":"21","operUser":"11","usersInfo":"groupId=0,roomId=r1,operUserName=Ann"})");
}

// The invitees' initial state code follows the talk's conference mode.
TEST(Invite, InviteSendsStatesOfNewMembersAndArmsTheirWait) {
  const std::pair<std::string, const char*> rows[] = {
      {"chat", "312"}, {"live", "300"}, {"control", "322"}, {"", "322"}};
  for (const auto& row : rows) {
    Ann c;
    ASSERT_EQ(c.call(row.first.empty() ? R"({"rtcType":"rtc"})"
                                       : R"({"conferMode":")" + row.first + "\"}"),
              0);
    EXPECT_EQ(c.ask(24002, "r1", "", {42, 11, 43}), 0) << row.first;
    EXPECT_TRUE(c.a.hasLog("on_invite: sendmsg succ."));
    const auto invites = sentOfType(c.a, "multi_invite");
    ASSERT_EQ(invites.size(), 1u);
    const std::string cmode = row.first.empty() ? "" : R"("cmode":")" + row.first + "\",";
    const std::string state = row.second;
    EXPECT_EQ(invites[0].body,
              R"({"type":"multi_invite","senderId":"11","groupId":"500","onwerId":"11",)"
              R"("roomId":"r1","oName":"QW5u","roomName":"Team",)" +
                  cmode +
                  R"("beginTime":"1700000000","deviceType":"1","version":"mrtc@1.8.8",)"
                  R"("VideoStatus":"multi","rtcType":"rtc","selects":[42,43],)"
                  R"("members":[11,12,13,42,43],"memstates":[false,false,false,false,false],)"
                  R"("initState":["42_)" +
                  state + R"(","43_)" + state + R"("]})");
    EXPECT_EQ(invites[0].chatId, 500);
    const auto waits = timersOf(c.a, 1, 1);
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].members, (std::vector<int64_t>{42, 43}));
    EXPECT_EQ(waits[0].duration, 88);
  }
}

// A one-to-one talk has no group: an invite into it goes to the request's.
TEST(Invite, OneToOneTalkTakesTheGroupOfTheInvite) {
  Ann c;
  ASSERT_EQ(c.call(R"({"rtcType":"p2pconfer"})", {12}, 0), 0);
  ASSERT_EQ(c.ask(24002, "r1", "", {13}), 0);
  const auto invites = sentOfType(c.a, "multi_invite");
  ASSERT_EQ(invites.size(), 1u);
  EXPECT_EQ(invites[0].chatId, 500);
}

// A refused invite leaves the talk as it was: a later invite lists only the
// members from before.
TEST(Invite, RefusalsAndTheMicroConference) {
  struct Row {
    const char* name;
    const char* callExtend;  // nullptr: no talk
    std::string room;
    std::vector<int64_t> members;
    std::string extend;
    bool refuseSend;
    int32_t expected;
    bool sends;
    bool waits;
  };
  const Row rows[] = {
      {"no talk", nullptr, "r1", {42}, "", false, 3, false, false},
      {"other room", "", "r2", {42}, "", false, 6, false, false},
      {"bad extend", "", "r1", {42}, "[", false, 1, false, false},
      {"nobody new", "", "r1", {11}, "", false, 1, false, false},
      {"send refused", "", "r1", {42}, "", true, 4, false, false},
      {"empty extend", "", "r1", {42}, "", false, 0, true, true},
      {"micro", R"({"rtcType":"microconfer"})", "r1", {42}, "", false, 0, false, true},
  };
  for (const Row& row : rows) {
    Ann c;
    if (row.callExtend != nullptr) {
      ASSERT_EQ(c.call(row.callExtend, {12}), 0);
    }
    c.a.config().refuseSend = row.refuseSend;
    EXPECT_EQ(c.ask(24002, row.room, "", row.members, row.extend), row.expected) << row.name;
    EXPECT_EQ(sentOfType(c.a, "multi_invite").size(), row.sends ? 1u : 0u) << row.name;
    EXPECT_EQ(timersOf(c.a, 1, 1).size(), row.waits ? 1u : 0u) << row.name;
    if (row.expected == 0 || row.callExtend == nullptr) continue;
    c.a.config().refuseSend = false;
    c.a.clearRecords();
    ASSERT_EQ(c.ask(24002, "r1", "", {43}), 0) << row.name;
    const auto invites = sentOfType(c.a, "multi_invite");
    ASSERT_EQ(invites.size(), 1u) << row.name;
    EXPECT_NE(invites[0].body.find(R"("members":[11,12,43])"), std::string::npos) << row.name;
  }
}

}  // namespace
}  // namespace reqtest
