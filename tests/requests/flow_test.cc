// Whole calls between several clients on the simulated network, driven only
// by what the applications request and the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "request_site.h"

namespace reqtest {
namespace {

size_t ringsFor(const simhost::Client& c, const std::string& room) {
  return only(eventsOfType(c, 1), [&](const simhost::UiEvent& e) { return e.roomId == room; })
      .size();
}

std::vector<simhost::NetMessage> hintsOnNet(const Site& site, const std::string& operType) {
  const std::string needle = "\"operType\":\"" + operType + "\"";
  return only(site.net.traffic(), [&](const simhost::NetMessage& m) {
    return m.msgType == 8 && m.properties.find(needle) != std::string::npos;
  });
}

// Ann calls Bob (a pc and a phone) and Cid in their group.
struct GroupCall : Ann, ::testing::Test {
  simhost::Client& b1 = site.add("b1", 12);
  simhost::Client& b2 = site.add("b2", 12, 2);
  simhost::Client& c = site.add("c", 13);

  // Time passes while every application keeps its talk alive.
  void live(int64_t ms) {
    for (int64_t done = 0; done < ms; done += 20000) {
      for (simhost::Client* client : {&a, &b1, &b2, &c}) client->keepAlive();
      site.advance(std::min<int64_t>(20000, ms - done));
    }
  }

  void SetUp() override {
    // The phone's application is in the foreground.
    ASSERT_EQ(codeOf(b2, b2.extra(11, "")), 0);
  }
};

TEST_F(GroupCall, OneCallFromEndToEnd) {
  ASSERT_EQ(codeOf(a, a.extra(16, R"({"enable":"on","duration":"30","count":"2"})")), 0);
  ASSERT_EQ(ask(24001, "r1", "", {12, 13}, R"({"conferMode":"chat"})"), 0);
  ASSERT_EQ(ask(24003, "r1"), 0);
  site.net.pump();
  for (simhost::Client* callee : {&b1, &b2, &c}) {
    EXPECT_EQ(ringsFor(*callee, "r1"), 1u) << callee->name();
  }
  EXPECT_EQ(ringsFor(a, "r1"), 0u);

  // Bob answers on his pc; his phone stops ringing.
  ASSERT_EQ(codeOf(b1, b1.request(24003, req(500, "r1"))), 0);
  site.net.pump();
  const auto stopped = eventsOfType(b2, 5);
  ASSERT_EQ(stopped.size(), 1u);
  EXPECT_EQ(stopped[0].annotation, "local_sdk_deal_pc_intoroom");
  EXPECT_EQ(codeOf(b2, b2.request(24003, req(500, "r1"))), 3);
  EXPECT_TRUE(eventsOfType(c, 5).empty());

  // Ann's application sees Bob's media arrive.
  ASSERT_EQ(ask(24009, "r1", "intoroom", {12}), 0);
  c.clearRecords();

  // The recall re-rings Cid only.
  live(31000);
  const auto recalls = only(a.sent(), [](const simhost::NetMessage& m) {
    return m.body.find(R"(,"flag":"recall"})") != std::string::npos;
  });
  ASSERT_GE(recalls.size(), 1u);
  EXPECT_EQ(recalls[0].limitRange, (std::vector<int64_t>{13}));
  EXPECT_EQ(recalls[0].chatId, 500);

  // At the wait time-out only Cid is reported as not answering.
  live(60000);
  const auto late = eventsOfType(a, 6);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].selects, (std::vector<int64_t>{13}));
  EXPECT_EQ(late[0].members, (std::vector<int64_t>{11, 12}));

  // Bob leaves first, then Ann: her finish hint reaches the chat once.
  ASSERT_EQ(codeOf(b1, b1.request(24005, req(500, "r1", {}, "", "hungup_uiclick"))), 0);
  site.net.pump();
  EXPECT_TRUE(hintsOnNet(site, "22").empty());
  // Ann's application sees Bob's media go.
  ASSERT_EQ(ask(24009, "r1", "levelroom", {12}), 0);
  ASSERT_EQ(ask(24005, "r1", "hungup_uiclick"), 0);
  site.net.pump();
  const auto finish = hintsOnNet(site, "22");
  ASSERT_EQ(finish.size(), 1u);
  EXPECT_EQ(finish[0].senderId, 11);
  EXPECT_EQ(finish[0].chatId, 500);
  for (simhost::Client* member : {&b1, &b2, &c}) {
    EXPECT_EQ(only(eventsOfType(*member, 21),
                   [](const simhost::UiEvent& e) {
                     return e.extend.find(R"("operType":"22")") != std::string::npos;
                   })
                  .size(),
              1u)
        << member->name();
  }
}

TEST_F(GroupCall, RefusingCalleeTellsTheCaller) {
  ASSERT_EQ(ask(24001, "r1", "", {12, 13}), 0);
  site.net.pump();
  b1.clearRecords();
  ASSERT_EQ(codeOf(b1, b1.request(24005, req(500, "r1", {}, "", "refuse"))), 0);
  const auto refusals = sentOfType(b1, "multi_hungup");
  ASSERT_EQ(refusals.size(), 1u);
  EXPECT_EQ(refusals[0].msgType, 15);
  EXPECT_EQ(refusals[0].chatId, 500);
  EXPECT_NE(refusals[0].body.find(R"("annotation":"far_ui_refuse")"), std::string::npos);
  EXPECT_EQ(refusals[0].limitRange, (std::vector<int64_t>{11, 12}));
  // Cid still rings: no finish hint from Bob.
  EXPECT_TRUE(sentOfMsgType(b1, 8).empty());
  site.net.pump();
  EXPECT_EQ(eventsOfType(a, 4).size(), 1u);
}

TEST_F(GroupCall, CalleeWithoutTheRingJoinsFromTheCard) {
  c.setOnline(false);
  ASSERT_EQ(ask(24001, "r1", "", {12, 13}), 0);
  ASSERT_EQ(ask(24003, "r1"), 0);
  site.net.pump();
  c.setOnline(true);
  // The card Ann's client posted into the chat, as Cid's application holds it.
  const auto cards = sentOfMsgType(a, 26);
  ASSERT_EQ(cards.size(), 1u);
  ASSERT_EQ(codeOf(c, c.request(24010, req(0, "", {}, cards[0].body))), 0);
  const auto query = sentOfType(c, "multi_querytalk");
  ASSERT_EQ(query.size(), 1u);
  site.net.pump();
  const auto answers = sentOfType(a, "cmd_reply_querytalk");
  ASSERT_EQ(answers.size(), 1u);
  const auto state = eventsOfType(c, 10);
  ASSERT_EQ(state.size(), 1u);
  EXPECT_EQ(state[0].roomId, "r1");
  EXPECT_EQ(sorted(state[0].members), (std::vector<int64_t>{11, 12, 13}));
  // Cid is now in the room and tells the others.
  EXPECT_EQ(sentOfType(c, "multi_intoroom").size(), 1u);
  EXPECT_EQ(codeOf(c, c.request(24009, req(500, "r1", {13}, "", "intoroom"))), 0);
}

TEST_F(GroupCall, CalleeWhoDeclinedJoinsFromTheBoard) {
  ASSERT_EQ(codeOf(c, c.extra(6, R"({"boardSwitch":"on"})")), 0);
  ASSERT_EQ(codeOf(c, c.extra(3, R"({"groupId":"500"})")), 0);
  site.net.pump();
  ASSERT_EQ(ask(24001, "r1", "", {12, 13}), 0);
  site.net.pump();
  ASSERT_EQ(ringsFor(c, "r1"), 1u);
  ASSERT_EQ(codeOf(c, c.request(24005, req(500, "r1", {}, "", "busy"))), 0);
  c.clearRecords();
  EXPECT_EQ(codeOf(c, c.request(24004, req(500, "r1"))), 0);
  EXPECT_EQ(timersOf(c, 0, 3).size(), 1u);
  EXPECT_EQ(codeOf(c, c.request(24003, req(500, "r1"))), 0);
  const auto entries = sentOfType(c, "multi_intoroom");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].chatId, 500);
}

// Ann calls Bob alone; one-to-one calls are switched on for both.
struct OneToOne : ::testing::Test {
  Site site;
  simhost::Client& a = site.add("a", 11);
  simhost::Client& b = site.add("b", 12);

  void SetUp() override {
    site.net.addUser(11, "Ann");
    site.net.addUser(12, "Bob");
    for (simhost::Client* client : {&a, &b}) {
      ASSERT_EQ(codeOf(*client, client->extra(18, R"({"p2pSwitch":"on"})")), 0);
    }
    ASSERT_EQ(codeOf(a, a.request(24001, req(0, "p1", {12}, R"({"rtcType":"p2pconfer"})"))), 0);
    site.net.pump();
  }
};

// An accept that cannot be sent is not an entry: the callee hears 4 and the
// caller nothing.
TEST_F(OneToOne, AcceptThatCannotBeSentFails) {
  b.config().refuseSend = true;
  EXPECT_EQ(codeOf(b, b.request(24003, req(0, "p1", {}, "", "intoroom"))), 4);
  site.net.pump();
  EXPECT_TRUE(eventsOfType(a, 3).empty());
}

size_t durationRecords(const simhost::Client& c) {
  return only(c.inserted(),
              [](const simhost::Inserted& m) {
                return m.body.find(R"("type":"multi_time")") != std::string::npos;
              })
      .size();
}

TEST_F(OneToOne, AcceptTalkAndHangUp) {
  ASSERT_EQ(ringsFor(b, "p1"), 1u);
  EXPECT_TRUE(sentOfMsgType(a, 8).empty());
  ASSERT_EQ(codeOf(b, b.request(24003, req(0, "p1", {}, "", "intoroom"))), 0);
  const auto entries = sentOfType(b, "multi_intoroom");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_NE(entries[0].body.find(R"("annotation":"accept")"), std::string::npos);
  EXPECT_NE(entries[1].body.find(R"("annotation":"intoroom")"), std::string::npos);
  for (const auto& m : entries) {
    EXPECT_EQ(m.chatId, 11);
    EXPECT_EQ(m.msgType, 14);
  }
  site.net.pump();
  EXPECT_EQ(eventsOfType(a, 3).size(), 2u);
  ASSERT_EQ(codeOf(a, a.request(24003, req(0, "p1", {}, "", "intoroom"))), 0);
  ASSERT_EQ(codeOf(a, a.request(24009, req(0, "p1", {12}, "", "intoroom"))), 0);
  site.net.pump();

  site.advance(42000);
  ASSERT_EQ(codeOf(a, a.request(24005, req(0, "p1", {}, "", "hungup_uiclick"))), 0);
  site.net.pump();
  EXPECT_EQ(durationRecords(a), 1u);
  EXPECT_EQ(durationRecords(b), 1u);
  EXPECT_EQ(eventsOfType(b, 5).size(), 1u);
  EXPECT_EQ(codeOf(b, b.request(24005, req(0, "p1", {}, "", "hungup_uiclick"))), 3);
}

TEST_F(OneToOne, RefusedCallIsNotRecalledWithinFiveMinutes) {
  const std::string call = sentOfType(a, "multi_call").at(0).body;
  ASSERT_EQ(codeOf(b, b.request(24005, req(0, "p1", {}, "", "refuse"))), 0);
  const auto refusals = sentOfType(b, "multi_hungup");
  ASSERT_EQ(refusals.size(), 1u);
  EXPECT_NE(refusals[0].body.find(R"("annotation":"refuse")"), std::string::npos);
  site.net.pump();
  EXPECT_EQ(eventsOfType(a, 5).size(), 1u);
  EXPECT_EQ(codeOf(a, a.request(24005, req(0, "p1", {}, "", "hungup_uiclick"))), 3);

  // A repeated ring of the room is refused up to 300 s after, not later.
  const std::string recall = call.substr(0, call.size() - 1) + R"(,"flag":"recall"})";
  b.clearRecords();
  site.advance(299 * 1000);
  site.net.inject(11, 1, 12, recall);
  site.net.pump();
  EXPECT_EQ(ringsFor(b, "p1"), 0u);
  site.advance(2000);
  site.net.inject(11, 1, 12, recall);
  site.net.pump();
  EXPECT_EQ(ringsFor(b, "p1"), 1u);
}

}  // namespace
}  // namespace reqtest
