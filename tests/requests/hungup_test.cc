// Hanging up (24005): what each word sends in a one-to-one and a group talk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "request_site.h"

namespace reqtest {
namespace {

int32_t hangup(Ann& t, const std::string& word, const std::string& room = "r1") {
  return t.ask(24005, room, word);
}

TEST(Hungup, OneToOneWords) {
  struct Row {
    const char* word;
    bool hangup;    // "multi_hungup" sent to the peer
    bool kept;      // ... and also kept in the local chat
    bool duration;  // call-duration record kept in the local chat
  };
  const Row rows[] = {
      {"hungup_uiclick", true, false, true},  {"hungup_dismiss", false, false, true},
      {"hungup_offline", false, false, true}, {"refuse", true, true, false},
      {"cancel_uiclick", true, true, false},  {"cancel_calltimeout", true, true, false},
      {"busy", true, false, false},           {"hungup_recvdismiss", true, false, false},
  };
  for (const Row& row : rows) {
    Ann t;
    ASSERT_EQ(t.call(R"({"rtcType":"p2pconfer"})", {12}, 0), 0);
    EXPECT_EQ(hangup(t, row.word), 0) << row.word;
    const auto sent = sentOfType(t.a, "multi_hungup");
    ASSERT_EQ(sent.size(), row.hangup ? 1u : 0u) << row.word;
    if (row.hangup) {
      EXPECT_EQ(sent[0].body, std::string(R"({"type":"multi_hungup","annotation":")") + row.word +
                                  R"(","senderId":"11","onwerId":"11","roomId":"r1",)"
                                  R"("deviceType":"1","version":"mrtc@1.8.8",)"
                                  R"("VideoStatus":"multi","rtcType":"p2pconfer"})");
      EXPECT_EQ(sent[0].chatId, 12);
      EXPECT_EQ(sent[0].msgType, 14);
    }
    const auto kept = only(t.a.inserted(), [](const simhost::Inserted& m) {
      return m.body.find("\"multi_hungup\"") != std::string::npos;
    });
    EXPECT_EQ(kept.size(), row.kept ? 1u : 0u) << row.word;
    const auto durations = only(t.a.inserted(), [](const simhost::Inserted& m) {
      return m.body.find("\"multi_time\"") != std::string::npos;
    });
    ASSERT_EQ(durations.size(), row.duration ? 1u : 0u) << row.word;
    for (const simhost::Inserted& m : durations) {
      // Nobody entered the room: the call lasted 0 seconds.
      EXPECT_NE(m.body.find(R"("annotation":"0")"), std::string::npos) << m.body;
      EXPECT_EQ(m.targetId, 12);
    }
    // Only a dismissal reported by the application tells it the peer ended.
    const auto ended = eventsOfType(t.a, 5);
    const bool peerEnded = std::string(row.word) == "hungup_recvdismiss";
    ASSERT_EQ(ended.size(), peerEnded ? 1u : 0u) << row.word;
    if (peerEnded) {
      EXPECT_EQ(ended[0].annotation, "peer_hungup_uiclick_end");
      EXPECT_EQ(ended[0].roomId, "r1");
      EXPECT_EQ(ended[0].onwerId, 11);
    }
    EXPECT_TRUE(sentOfMsgType(t.a, 8).empty()) << row.word;
    // The talk is over whatever the word.
    EXPECT_EQ(hangup(t, row.word), 3) << row.word;
  }
}

TEST(Hungup, LastMemberOfAGroupTalkWritesTheFinishHint) {
  struct Row {
    const char* word;
    const char* extend;
    bool hint;
    bool event;  // the application hears that the talk is over
  };
  const Row rows[] = {
      {"hungup_uiclick", "", true, true},
      {"cancel_uiclick", R"({"rtcType":"rtc"})", true, true},
      {"busy", "", false, false},
      {"hungup_uiclick", R"({"mode":"single"})", false, false},
      {"hungup_uiclick", R"({"rtcType":"microconfer"})", false, true},
  };
  for (const Row& row : rows) {
    Ann t;
    ASSERT_EQ(t.call(row.extend, {12}), 0);
    EXPECT_EQ(hangup(t, row.word), 0) << row.word << row.extend;
    const auto hints = sentOfMsgType(t.a, 8);
    ASSERT_EQ(hints.size(), row.hint ? 1u : 0u) << row.word << row.extend;
    if (row.hint) {
      EXPECT_EQ(hints[0].body, kFinishBody);
      EXPECT_EQ(hints[0].properties, kFinishProps);
      EXPECT_EQ(hints[0].chatId, 500);
    }
    const auto events = eventsOfType(t.a, 21);
    EXPECT_EQ(!events.empty(), row.event) << row.word << row.extend;
    // Without a written hint the event carries no text.
    if (row.event && !row.hint) {
      ASSERT_EQ(events.size(), 1u);
      EXPECT_EQ(events[0].extend, "");
    }
    EXPECT_TRUE(sentOfType(t.a, "multi_hungup").empty());
  }
}

// Hang-ups that end no talk for others: the answer and that nothing is sent.
TEST(Hungup, AnswersWithoutAFinish) {
  Ann none;
  EXPECT_EQ(hangup(none, "hungup_uiclick"), 3);
  EXPECT_TRUE(none.a.hasLog("on_hungup: return ret=3."));

  Ann clear;
  ASSERT_EQ(clear.call(), 0);
  EXPECT_EQ(hangup(clear, "clear_talk"), 0);
  EXPECT_TRUE(clear.a.hasLog("on_hungup: return annotation=clear_talk."));
  EXPECT_TRUE(clear.a.sent().empty());
  EXPECT_EQ(hangup(clear, "hungup_uiclick"), 3);

  // Another room: answered 6, yet this user has left the current talk.
  Ann other;
  ASSERT_EQ(other.call(), 0);
  EXPECT_EQ(hangup(other, "hungup_uiclick", "r2"), 6);
  EXPECT_EQ(hangup(other, "hungup_uiclick"), 3);

  Ann inRoom;
  ASSERT_EQ(inRoom.call("", {12}), 0);
  ASSERT_EQ(inRoom.ask(24009, "r1", "intoroom", {12}), 0);
  inRoom.a.clearRecords();
  EXPECT_EQ(hangup(inRoom, "hungup_uiclick"), 0);
  EXPECT_TRUE(inRoom.a.sent().empty());

  Ann p2p;
  ASSERT_EQ(p2p.call(R"({"rtcType":"p2pconfer"})", {12}, 0), 0);
  p2p.a.config().refuseSend = true;
  EXPECT_EQ(hangup(p2p, "hungup_uiclick"), 4);
}

TEST(Hungup, TalkJoinedFromACardIsLeftQuietly) {
  Site site;
  auto& c = site.add("c", 13);
  const std::string card =
      R"({"extendInfo":{"roomID":"r1","roomName":"Team","conferMode":"chat","senderId":"11",)"
      R"("groupId":"500","onwerId":"11","version":"mrtc@1.8.8","mode":"mcalling",)"
      R"("subType":1,"selects":["13"]}})";
  ASSERT_EQ(codeOf(c, c.request(24010, req(0, "", {}, card))), 0);
  site.advance(4000);
  EXPECT_EQ(codeOf(c, c.request(24005, req(500, "r1", {}, "", "hungup_uiclick"))), 0);
  EXPECT_TRUE(c.hasLog("on_hungup: return tempjoin and <5s."));

  site.advance(3000);
  ASSERT_EQ(codeOf(c, c.request(24010, req(0, "", {}, card))), 0);
  site.advance(6000);
  EXPECT_EQ(codeOf(c, c.request(24005, req(500, "r1", {}, "", "hungup_uiclick"))), 0);
  EXPECT_TRUE(c.hasLog("on_hungup: return tempjoin and no other conncet."));
  EXPECT_TRUE(c.sent().empty());
}

}  // namespace
}  // namespace reqtest
