// Entering a room (24003), joining from the watched board (24004) and from a
// chat card (24010), and the media-link reports (24009). Whole calls between
// clients are played by the simulator's scenarios (sim/scenarios).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/wire_words.h"
#include "request_site.h"
#include "store/talk_info.h"

namespace reqtest {
namespace {

// A callee's accept that cannot be sent is not an entry: the callee hears 4
// and the caller nothing.
TEST(IntoRoom, UnsentAcceptOfAOneToOneCallFails) {
  Site site;
  simhost::Client& a = site.add("a", 11);
  simhost::Client& b = site.add("b", 12);
  for (simhost::Client* c : {&a, &b}) Site::plugin(*c).settings().p2pSwitch.store(1);
  ASSERT_EQ(codeOf(a, a.request(24001, req(0, "p1", {12}, R"({"rtcType":"p2pconfer"})"))), 0);
  site.net.pump();
  b.config().refuseSend = true;
  EXPECT_EQ(codeOf(b, b.request(24003, req(0, "p1", {}, "", "intoroom"))), 4);
  site.net.pump();
  EXPECT_TRUE(eventsOfType(a, 3).empty());
}

// The caller of a one-to-one call enters without an accept; entering a
// conference room sends nothing.
TEST(IntoRoom, CallerAndConferenceEntries) {
  for (const bool p2p : {true, false}) {
    Ann g;
    const int64_t group = p2p ? 0 : 500;
    const char* extend = p2p ? R"({"rtcType":"p2pconfer"})" : R"({"rtcType":"microconfer"})";
    ASSERT_EQ(g.call(extend, {12}, group), 0);
    EXPECT_EQ(g.ask(24003, "r1", "intoroom", {}, "", group), 0);
    EXPECT_EQ(sentOfType(g.a, "multi_intoroom").size(), p2p ? 1u : 0u);
  }
}

std::string callCard(const std::string& conferMode, const std::string& version,
                     const std::string& selects, const std::string& room = "r1",
                     const std::string& rtcType = "") {
  std::string card = R"({"extendInfo":{)";
  if (!rtcType.empty()) card += R"("rtcType":")" + rtcType + "\",";
  card += R"("roomID":")" + room + R"(","roomName":"Team",)";
  if (!conferMode.empty()) card += R"("conferMode":")" + conferMode + "\",";
  card += R"("senderId":"11","groupId":"500","onwerId":"11","oName":"QW5u","version":")" + version +
          R"(","mode":"mcalling","subType":1,"selects":[)" + selects + "]}}";
  return card;
}

struct CardJoiner : Ann {
  simhost::Client& c = site.add("c", 13);
  int64_t join(const std::string& card) { return c.request(24010, req(0, "", {}, card)); }
};

// A card with a conference mode gives the application the talk at once; one
// without asks the members first. A refused join leaves no talk behind.
TEST(TempletJoin, CardDecidesWhoMayJoinAndWithWhichVersion) {
  struct Row {
    const char* name;
    std::string card;
    bool refuseSend;
    int32_t expected;
    bool asks;  // "multi_querytalk" sent
    const char* log;
  };
  const std::string v = imsdkmrtc::texts::kProtocolVersion;
  std::string noSender = callCard("chat", v, R"("13")");
  noSender.replace(noSender.find(R"("senderId":"11")"), 15, R"("senderId":"0")");
  std::string noOwner = callCard("chat", v, R"("13")");
  noOwner.replace(noOwner.find(R"("onwerId":"11")"), 14, R"("onwerId":"0")");
  const Row rows[] = {
      {"callee", callCard("chat", v, R"("12","13")"), false, 0, false, "on_templetjoin"},
      {"no sender", noSender, false, 1, false, "extendJson="},
      {"no owner", noOwner, false, 1, false, "extendJson="},
      {"not a callee", callCard("chat", v, R"("12")"), false, 15, false,
       "on_templetjoin: no becall json="},
      {"micro, anyone", callCard("chat", v, R"("12")", "r1", "microconfer"), false, 0, false,
       "on_templetjoin"},
      {"newer peer", callCard("chat", "mrtc@2.0.1", R"("13")"), false, 14, false,
       "on_templetjoin: version not sync! "},
      {"older peer", callCard("chat", "mrtc@0.9.1", R"("13")"), false, 13, false,
       "on_templetjoin: version not sync! "},
      {"not json", "{\"extendInfo\":", false, 1, false, "extendJson={\"extendInfo\":."},
      {"no room", R"({"extendInfo":{"senderId":"11"}})", false, 1, false, "extendJson="},
      {"empty", "", false, 1, false, "extendJson=."},
      {"no callees", callCard("chat", v, ""), false, 1, false, "extendJson="},
      {"no mode", callCard("", v, R"("13")"), false, 0, true, "on_templetjoin"},
      {"blank mode", callCard("blank", v, R"("13")"), false, 0, true, "on_templetjoin"},
      {"query unsent", callCard("", v, R"("13")"), true, 4, false,
       "on_templetjoin: sendMsg_querytalk fail."},
  };
  for (const Row& row : rows) {
    CardJoiner j;
    j.c.config().refuseSend = row.refuseSend;
    EXPECT_EQ(codeOf(j.c, j.join(row.card)), row.expected) << row.name;
    EXPECT_TRUE(j.c.hasLog(row.log)) << row.name;
    const auto queries = sentOfType(j.c, "multi_querytalk");
    ASSERT_EQ(queries.size(), row.asks ? 1u : 0u) << row.name;
    EXPECT_EQ(j.c.sent().size(), queries.size()) << row.name;
    if (row.asks) {
      EXPECT_EQ(queries[0].body,
                R"({"type":"multi_querytalk","senderId":"13","groupId":"500","roomId":"r1",)"
                R"("deviceType":"1","version":"mrtc@1.8.8","VideoStatus":"multi"})");
      EXPECT_EQ(queries[0].msgType, 15);
      EXPECT_EQ(queries[0].chatId, 500);
      // The talk is known but not active here until the members answer.
      EXPECT_EQ(codeOf(j.c, j.c.request(24009, req(500, "r1", {13}, "", "intoroom"))), 16);
      continue;
    }
    EXPECT_EQ(timersOf(j.c, 0, 3).size(), row.expected == 0 ? 1u : 0u) << row.name;
    const auto state = eventsOfType(j.c, 10);
    ASSERT_EQ(state.size(), row.expected == 0 ? 1u : 0u) << row.name;
    if (state.empty()) {
      j.c.config().refuseSend = false;
      EXPECT_EQ(codeOf(j.c, j.join(callCard("chat", v, R"("13")", "r2"))), 0) << row.name;
      continue;
    }
    EXPECT_EQ(state[0].roomId, "r1");
    // A conference card's group is the card reader's business.
    if (row.card.find("microconfer") == std::string::npos) {
      EXPECT_EQ(state[0].groupId, 500);
    }
    EXPECT_EQ(state[0].onwerId, 11);
    EXPECT_EQ(state[0].roomName, "Team");
  }
}

// A room's first join is remembered until a join of another room finds it
// more than 20 s old and forgets it; from then on a double join of the first
// room is caught again.
TEST(TempletJoin, LongSessionForgetsOldJoinsOneByOne) {
  for (const int64_t pauseMs : {20000, 21000}) {
    CardJoiner j;
    const std::string r1 = callCard("chat", "mrtc@1.8.8", R"("13")");
    ASSERT_EQ(codeOf(j.c, j.join(r1)), 0);
    j.site.advance(pauseMs);
    ASSERT_EQ(codeOf(j.c, j.join(callCard("chat", "mrtc@1.8.8", R"("13")", "r2"))), 2);
    EXPECT_EQ(codeOf(j.c, j.join(r1)), 2) << pauseMs;
    EXPECT_EQ(codeOf(j.c, j.join(r1)), pauseMs > 20000 ? -1000 : 2) << pauseMs;
  }
}

// A call of group 500 (Ann and Bob, version as given) buffered on Dan's board.
TEST(BoardJoin, BufferedCallsOfTheWatchedGroupOnly) {
  struct Row {
    const char* name;
    bool board;
    const char* version;
    int64_t groupId;
    int32_t expected;
  };
  const Row rows[] = {
      {"joins", true, "mrtc@1.8.8", 500, 0},        {"board off", false, "mrtc@1.8.8", 500, 10},
      {"other group", true, "mrtc@1.8.8", 501, 10}, {"newer peer", true, "mrtc@2.0.0", 500, 14},
      {"older peer", true, "mrtc@0.1", 500, 13},
  };
  for (const Row& row : rows) {
    Site site;
    auto& d = site.add("d", 14);
    site.net.addGroup(500, {11, 12, 14});
    site.net.addGroup(501, {11, 12, 14});
    imsdkmrtc::mrtcCmd cmd;
    cmd.cmdCode = imsdkmrtc::kCmdMultiCall;
    cmd.groupId = 500;
    cmd.onwerId = cmd.senderId = 11;
    cmd.roomId = "r1";
    cmd.roomName = "Team";
    cmd.version = row.version;
    cmd.cmode = "chat";
    cmd.members = cmd.hismembers = {11, 12};
    cmd.memstates = {1, 0};
    imsdkmrtc::mrtc_plugin& plugin = site.plugin(d);
    plugin.board().setSwitch(true);
    plugin.board().setWatchedGroup(500);
    plugin.board().offer(cmd);
    plugin.board().setSwitch(row.board);
    d.clearRecords();
    EXPECT_EQ(codeOf(d, d.request(24004, req(row.groupId, "r1"))), row.expected) << row.name;
    if (row.expected != 0) {
      EXPECT_TRUE(d.timerPosts().empty()) << row.name;
      continue;
    }
    // Those not yet in the room are waited for; this user now is in it.
    const auto waits = timersOf(d, 1, 1);
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].members, (std::vector<int64_t>{11, 12}));
    EXPECT_EQ(waits[0].duration, 88);
    EXPECT_EQ(timersOf(d, 0, 3).size(), 1u);
    EXPECT_EQ(codeOf(d, d.request(24009, req(500, "r1", {14}, "", "intoroom"))), 0);
  }
}

TEST(ConnectState, ReportsChangeTheTalkAndClearLostFinishWatches) {
  struct Row {
    const char* name;
    std::vector<int64_t> callees;
    std::vector<int64_t> members;
    const char* word;
    int32_t expected;
    bool removal;
  };
  const Row rows[] = {
      {"callee entered", {12}, {12}, "intoroom", 0, true},
      {"self entered", {12}, {11}, "intoroom", 0, true},
      {"last other left", {12}, {12}, "levelroom", 0, false},
      {"one of two left", {12, 13}, {12}, "levelroom", 0, true},
      {"nobody named", {12}, {}, "intoroom", 1, false},
      {"unknown word", {12}, {12}, "inroom", 1, false},
  };
  for (const Row& row : rows) {
    Ann g;
    ASSERT_EQ(g.call("", row.callees), 0);
    EXPECT_EQ(g.ask(24009, "r1", row.word, row.members), row.expected) << row.name;
    const auto removals = timersOf(g.a, 4, 6);
    ASSERT_EQ(removals.size(), row.removal ? 1u : 0u) << row.name;
    if (row.removal) {
      EXPECT_EQ(removals[0].op, 0);
      EXPECT_EQ(removals[0].key, "");
      EXPECT_TRUE(removals[0].members.empty());
    }
    if (row.expected != 0) {
      EXPECT_TRUE(g.a.hasLog("on_connectstate: deal fail=1.")) << row.name;
    }
  }
  Ann idle;
  EXPECT_EQ(idle.ask(24009, "r1", "intoroom"), 3);
  EXPECT_TRUE(idle.a.hasLog("on_connectstate: roomId=r1,groupId=500,targetId=0,cmd=intoroom."));
}

}  // namespace
}  // namespace reqtest
