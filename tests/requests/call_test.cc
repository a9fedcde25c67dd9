// Placing a call (24001) and inviting (24002) as the caller's host sees it:
// answers, the messages on the wire, hints, UI events and time-outs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "request_site.h"

namespace reqtest {
namespace {

constexpr const char* kGroupCallBody =
    R"({"type":"multi_call","senderId":"11","groupId":"500","onwerId":"11","roomId":"r1",)"
    R"("oName":"QW5u","roomName":"Team","cmode":"chat","beginTime":"1700000000",)"
    R"("deviceType":"1","version":"mrtc@1.8.8","VideoStatus":"multi","rtcType":"rtc",)"
    R"("selects":[12,13],"members":[11,12,13]})";
constexpr const char* kBeginHintBody = R"({"body":"Ann发起了语音通话","msgBodyType":"12"})";
constexpr const char* kBeginHintProps =
    R"({"operType":"21","operUser":"11","usersInfo":"groupId=500,roomId=r1,operUserName=Ann"})";

struct Caller {
  Site site;
  simhost::Client& a = site.add("a", 11);
  Caller() {
    site.net.addUser(11, "Ann");
    site.net.addUser(12, "Bob");
    site.net.addUser(13, "Cid");
    site.net.addGroup(500, {11, 12, 13});
  }
};

TEST(PlaceCall, GroupCallSendsTheCallHintEventAndTimeouts) {
  Caller c;
  const int64_t id = c.a.request(24001, req(500, "r1", {12, 13}, R"({"conferMode":"chat"})"));
  EXPECT_EQ(codeOf(c.a, id), 0);
  EXPECT_TRUE(c.a.hasLog("memsbers=12,13,."));

  const auto calls = sentOfType(c.a, "multi_call");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].body, kGroupCallBody);
  EXPECT_EQ(calls[0].msgType, 14);
  EXPECT_EQ(calls[0].chatId, 500);
  EXPECT_EQ(sorted(calls[0].limitRange), (std::vector<int64_t>{12, 13}));

  const auto hints = sentOfMsgType(c.a, 8);
  ASSERT_EQ(hints.size(), 1u);
  EXPECT_EQ(hints[0].chatId, 500);
  EXPECT_EQ(hints[0].body, kBeginHintBody);
  EXPECT_EQ(hints[0].properties, kBeginHintProps);
  const auto waits = timersOf(c.a, 1, 1);
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0].op, 1);
  EXPECT_EQ(waits[0].key, "r1");
  EXPECT_EQ(waits[0].members, (std::vector<int64_t>{12, 13}));
  EXPECT_EQ(waits[0].duration, 88);
  EXPECT_EQ(waits[0].memberMode, 0);
  const auto keepAlive = timersOf(c.a, 0, 3);
  ASSERT_EQ(keepAlive.size(), 1u);
  EXPECT_EQ(keepAlive[0].key, "keepalive");
  EXPECT_EQ(keepAlive[0].refresh, 1);
  EXPECT_EQ(keepAlive[0].duration, 60);
}

// One row per call shape: what is answered, the wait armed (0: none), and
// whether the group hint and its event appear.
TEST(PlaceCall, CallShapes) {
  struct Row {
    const char* name;
    int64_t groupId;
    std::vector<int64_t> members;
    std::string extend;
    bool unbindSwitch;
    int32_t expected;
    int32_t wait;
    size_t hints;  // weak hints written
    const char* log;
  };
  const Row rows[] = {
      {"rtc", 500, {12}, R"({"rtcType":"rtc"})", false, 0, 88, 1, "on_call: roomId=r1"},
      {"empty extend", 500, {12}, "", false, 0, 88, 1, "rtcType=,"},
      {"p2p", 0, {12}, R"({"rtcType":"p2pconfer"})", false, 0, 98, 0, "rtcType=p2pconfer"},
      {"single", 500, {12}, R"({"mode":"single"})", false, 0, 88, 0, "on_call"},
      {"unbind alone", 500, {12}, R"({"rtcType":"unbindconfer"})", false, 0, 88, 1,
       "unbindconfer rename rtc."},
      {"unbind off", 500, {12}, R"({"rtcType":"unbindconfer","outMembers":["7"]})", false, 11, 0,
       0, "on_call"},
      {"unbind on", 500, {12, 7}, R"({"rtcType":"unbindconfer","outMembers":["7"]})", true, 0, 88,
       2, "rtcType=unbindconfer"},
      {"not json", 500, {12}, "{rtcType:rtc", false, 1, 0, 0, "extendJson={rtcType:rtc."},
      {"deep brackets", 500, {12}, std::string(1 << 20, '['), false, 1, 0, 0, "extendJson=[[["},
      {"huge not json", 500, {12}, "{" + std::string(1 << 21, 'x'), false, 1, 0, 0, "on_call"},
      {"typed keys", 500, {12}, R"({"rtcType":5,"mode":null,"addr":[1]})", false, 0, 88, 1,
       "rtcType=rtc,"},
      {"array of numbers", 500, {12}, R"({"initState":[1]})", false, 1, 0, 0, "on_call"},
      {"out member number", 500, {12}, R"({"outMembers":[7]})", false, 1, 0, 0, "on_call"},
      {"self only", 500, {11}, "", false, 1, 0, 0, "memCnt=0"},
      {"no members", 500, {}, "", false, 1, 0, 0, "memCnt=0"},
      {"zero id", 500, {12, 0}, "", false, 1, 0, 0, "on_call"},
      {"negative id", 500, {12, -5}, "", false, 1, 0, 0, "on_call"},
  };
  for (const Row& row : rows) {
    Caller c;
    c.site.plugin(c.a).settings().unbindSwitch.store(row.unbindSwitch ? 1 : 0);
    const int64_t id = c.a.request(24001, req(row.groupId, "r1", row.members, row.extend));
    EXPECT_EQ(codeOf(c.a, id), row.expected) << row.name;
    EXPECT_TRUE(c.a.hasLog(row.log)) << row.name;
    const auto waits = timersOf(c.a, 1, 1);
    if (row.wait == 0) {
      EXPECT_TRUE(waits.empty()) << row.name;
      EXPECT_TRUE(c.a.sent().empty()) << row.name;
      // Nothing half-made stays behind: another call goes through.
      EXPECT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r9", {12}))), 0) << row.name;
      continue;
    }
    ASSERT_EQ(waits.size(), 1u) << row.name;
    EXPECT_EQ(waits[0].duration, row.wait) << row.name;
    EXPECT_EQ(sentOfMsgType(c.a, 8).size(), row.hints) << row.name;
    EXPECT_EQ(eventsOfType(c.a, 21).size(), row.hints > 0 ? 1u : 0u) << row.name;
    EXPECT_EQ(sentOfType(c.a, "multi_call").size(), 1u) << row.name;
  }
}

TEST(PlaceCall, OutMemberGetsItsOwnHintAndNoRing) {
  Caller c;
  c.site.net.addUser(7, "Eve");
  c.site.plugin(c.a).settings().unbindSwitch.store(1);
  ASSERT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r1", {12, 13, 7},
                                               R"({"rtcType":"unbindconfer","outMembers":["7"]})"))),
            0);
  const auto calls = sentOfType(c.a, "multi_call");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(sorted(calls[0].limitRange), (std::vector<int64_t>{12, 13}));
  const auto hints = sentOfMsgType(c.a, 8);
  ASSERT_EQ(hints.size(), 2u);
  EXPECT_EQ(hints[1].chatId, 7);
  EXPECT_EQ(hints[1].properties,
            R"({"operType":"21","operUser":"11","usersInfo":"groupId=0,roomId=r1,operUserName=Ann"})");
}

TEST(PlaceCall, MemberLineOnlyForSmallCallsAndLongExtendsAreCut) {
  Caller c;
  std::vector<int64_t> eleven;
  for (int64_t id = 12; id <= 22; ++id) eleven.push_back(id);
  const std::string pad(3 * 1024 * 1024, 'x');
  const std::string extend = R"({"conferMode":"chat","pad":")" + pad + "\"}";
  ASSERT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r1", eleven, extend))), 0);
  EXPECT_FALSE(c.a.hasLog("memsbers="));
  bool cut = false;
  for (const simhost::LogLine& line : c.a.logs()) {
    if (line.text.rfind("extendJson=", 0) == 0) {
      cut = line.text == "extendJson=" + extend.substr(0, 1024) + ".";
    }
  }
  EXPECT_TRUE(cut);
}

TEST(PlaceCall, HugeGroupIsCalledWhole) {
  Caller c;
  std::vector<int64_t> many;
  for (int64_t id = 12; id < 5012; ++id) many.push_back(id);
  ASSERT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r1", many))), 0);
  const auto calls = sentOfType(c.a, "multi_call");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].limitRange.size(), many.size());
  const auto waits = timersOf(c.a, 1, 1);
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0].members.size(), many.size());
}

TEST(PlaceCall, RefusedSendUndoesTheTalk) {
  Caller c;
  c.a.config().refuseSend = true;
  EXPECT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r1", {12, 13}))), 4);
  EXPECT_TRUE(c.a.hasLog("on_call: sendMsg_call fail."));
  EXPECT_TRUE(timersOf(c.a, 1, 1).empty());
  EXPECT_TRUE(eventsOfType(c.a, 21).empty());
  c.a.config().refuseSend = false;
  EXPECT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r2", {12, 13}))), 0);
}

// Inviting into the talk placed by Ann.
struct Inviter : Caller {
  explicit Inviter(const std::string& extend = R"({"conferMode":"chat"})") {
    EXPECT_EQ(codeOf(a, a.request(24001, req(500, "r1", {12, 13}, extend))), 0);
    a.clearRecords();
  }
};

TEST(Invite, InviteSendsStatesOfNewMembersAndArmsTheirWait) {
  Inviter c;
  const int64_t id = c.a.request(24002, req(500, "r1", {11, 42}));
  EXPECT_EQ(codeOf(c.a, id), 0);
  EXPECT_TRUE(c.a.hasLog("on_invite: sendmsg succ."));
  const auto invites = sentOfType(c.a, "multi_invite");
  ASSERT_EQ(invites.size(), 1u);
  EXPECT_EQ(invites[0].body,
            R"({"type":"multi_invite","senderId":"11","groupId":"500","onwerId":"11","roomId":"r1",)"
            R"("oName":"QW5u","roomName":"Team","cmode":"chat","beginTime":"1700000000",)"
            R"("deviceType":"1","version":"mrtc@1.8.8","VideoStatus":"multi","rtcType":"rtc",)"
            R"("selects":[42],"members":[11,12,13,42],"memstates":[false,false,false,false],)"
            R"("initState":["42_312"]})");
  EXPECT_EQ(invites[0].chatId, 500);
  const auto waits = timersOf(c.a, 1, 1);
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0].members, (std::vector<int64_t>{42}));
  EXPECT_EQ(waits[0].duration, 88);
}

TEST(Invite, StateCodeFollowsTheConferenceMode) {
  const std::pair<const char*, const char*> rows[] = {
      {R"({"conferMode":"live"})", R"("initState":["42_300","43_300"])"},
      {R"({"conferMode":"control"})", R"("initState":["42_322","43_322"])"},
      {"", R"("initState":["42_322","43_322"])"},
  };
  for (const auto& row : rows) {
    Inviter c(row.first);
    ASSERT_EQ(codeOf(c.a, c.a.request(24002, req(500, "r1", {42, 11, 43}))), 0) << row.first;
    const auto invites = sentOfType(c.a, "multi_invite");
    ASSERT_EQ(invites.size(), 1u);
    EXPECT_NE(invites[0].body.find(row.second), std::string::npos) << invites[0].body;
  }
}

TEST(Invite, RefusalsAndTheMicroConference) {
  struct Row {
    const char* name;
    const char* callExtend;  // nullptr: no talk
    std::string room;
    std::vector<int64_t> members;
    std::string extend;
    int32_t expected;
    bool sends;
    bool waits;
  };
  const Row rows[] = {
      {"no talk", nullptr, "r1", {42}, "", 3, false, false},
      {"other room", "", "r2", {42}, "", 6, false, false},
      {"bad extend", "", "r1", {42}, "[", 1, false, false},
      {"nobody new", "", "r1", {11}, "", 1, false, false},
      {"empty extend", "", "r1", {42}, "", 0, true, true},
      {"micro", R"({"rtcType":"microconfer"})", "r1", {42}, "", 0, false, true},
  };
  for (const Row& row : rows) {
    Caller c;
    if (row.callExtend != nullptr) {
      ASSERT_EQ(codeOf(c.a, c.a.request(24001, req(500, "r1", {12}, row.callExtend))), 0);
      c.a.clearRecords();
    }
    EXPECT_EQ(codeOf(c.a, c.a.request(24002, req(500, row.room, row.members, row.extend))),
              row.expected)
        << row.name;
    EXPECT_EQ(sentOfType(c.a, "multi_invite").size(), row.sends ? 1u : 0u) << row.name;
    EXPECT_EQ(timersOf(c.a, 1, 1).size(), row.waits ? 1u : 0u) << row.name;
  }
}

TEST(Invite, RefusedSendTakesTheInviteesBack) {
  Inviter c;
  c.a.config().refuseSend = true;
  EXPECT_EQ(codeOf(c.a, c.a.request(24002, req(500, "r1", {42}))), 4);
  EXPECT_TRUE(c.a.hasLog("on_invite: sendmsg fail."));
  EXPECT_TRUE(timersOf(c.a, 1, 1).empty());
  c.a.config().refuseSend = false;
  ASSERT_EQ(codeOf(c.a, c.a.request(24002, req(500, "r1", {43}))), 0);
  const auto invites = sentOfType(c.a, "multi_invite");
  ASSERT_EQ(invites.size(), 1u);
  EXPECT_NE(invites[0].body.find(R"("members":[11,12,13,43])"), std::string::npos)
      << invites[0].body;
}

}  // namespace
}  // namespace reqtest
