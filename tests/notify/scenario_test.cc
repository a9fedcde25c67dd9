// Time-outs: each handler handed one due record, then whole calls on the
// simulated network with the timer thread running on the virtual clock (rings
// that run out, keep-alives that stop, recalls, the same user answering on a
// second device).
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
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    plugin().store().resetTalk();
    ring();
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
  // Nothing left to take out: no event.
  notify().onTimeoutDispatch(record(2, 1, "r1", {kPeer3}));
  EXPECT_THAT(events(), ElementsAre("8||0||300|2001|r1||2001|{\"intotoom_count\":\"1\","
                                    "\"allmember_count\":\"3\",\"onwer_name\":\"Alice\"}"));
}

class ScenarioTest : public NotifyTest {
 protected:
  ~ScenarioTest() override {
    for (auto& p : others_) p->other()->stop();
    commlib::advance(4000);
  }

  // Another plug-in on the network; the caller's recalls as given.
  simhost::Client& addPlugin(const std::string& name, int64_t user, uint8_t device,
                             int recallCount = 0) {
    others_.emplace_back(new imsdkmrtc::mrtc_plugin(device));
    imsdkmrtc::pluginSettings& s = others_.back()->settings();
    s.p2pSwitch.store(1);
    s.recallEnable.store(recallCount > 0 ? 1 : 0);
    s.recallCount.store(recallCount);
    s.recallDuration.store(30);
    simhost::Client& c = net.addClient(name, user, device);
    c.attach(others_.back().get());
    return c;
  }

  // Moves the clock second by second, delivering what the timer threads
  // send; the applications in `alive` send a keep-alive every 20 s.
  void run(int seconds, const std::vector<simhost::Client*>& alive = {}) {
    for (int s = 0; s < seconds; ++s) {
      if (++clockSeconds_ % 20 == 0) {
        for (simhost::Client* c : alive) c->keepAlive();
      }
      commlib::advance(1000, [this] { net.pump(); });
      net.pump();
    }
  }

  std::vector<std::unique_ptr<imsdkmrtc::mrtc_plugin>> others_;
  int clockSeconds_ = 0;
};

size_t rings(const simhost::Client& client) {
  size_t n = 0;
  for (const auto& e : client.events()) n += e.eventType == 1 ? 1 : 0;
  return n;
}

// The events about the call itself, without the chat's hints and cards.
std::vector<std::string> callEvents(const simhost::Client& client) {
  std::vector<std::string> out;
  for (const auto& e : client.events()) {
    if (e.eventType != 21 && e.eventType != 22) out.push_back(render(e));
  }
  return out;
}

// The caller's repeated rings: the first call as sent, its recall hints
// replaced by the flag "recall", rendered with "CALL" for that body.
std::vector<std::string> recalls(const simhost::Client& caller) {
  const std::string call = caller.sent().at(0).body;
  const std::string stored =
      call.substr(0, call.rfind(",\"recallCnt\":\"8\",\"recallDrt\":\"1\"}")) +
      ",\"flag\":\"recall\"}";
  std::vector<std::string> out;
  for (auto m : caller.sent()) {
    if (m.body.find("\"flag\":\"recall\"") == std::string::npos) continue;
    if (m.body == stored) m.body = "CALL";
    out.push_back(render(m));
  }
  return out;
}

struct RingOut {
  const char* name;
  int64_t target;
  std::string body;
  int dueSeconds;
  std::vector<std::string> events;
};

class RingRunsOut : public ScenarioTest, public ::testing::WithParamInterface<RingOut> {};

TEST_P(RingRunsOut, UnansweredRingEndsWithBecallTimeout) {
  const RingOut& row = GetParam();
  deliver(kCaller, kAndroid, row.target, row.body);
  const std::string room = me.events()[0].roomId;
  // The application keeps the talk alive; nobody answers.
  run(row.dueSeconds - 3, {&me});
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_TRUE(talking(room));
  // The ring runs out; the wait time-out that follows finds no talk.
  run(36, {&me});
  auto got = events();
  got.erase(got.begin());
  EXPECT_EQ(got, row.events);
  EXPECT_FALSE(talking(room));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, RingRunsOut, ::testing::Values(
    RingOut{"group", kGroup, groupCall(), 68,
            {"6||1001|1001|300|2001|r1||2001,2002,2003|",
             "5|local_sdk_becalltimeout|1001||300|2001|r1|||"}},
    RingOut{"p2p", kMe, p2pCall(), 98,
            {"6||1001|1001|0|2001|p1||2001|", "5|local_sdk_becalltimeout|1001||0|2001|p1|||"}}),
    rowName<RingOut>);
// clang-format on

TEST_F(ScenarioTest, TalkWithoutKeepAliveEndsAfterSixtySeconds) {
  ring();
  run(58);
  EXPECT_EQ(me.events().size(), 1u);
  run(44);  // the ring and wait time-outs that follow find nothing any more
  EXPECT_EQ(events().back(), "5|local_sdk_keepalivetimeout|1001||300|2001|r1|||");
  EXPECT_EQ(me.events().size(), 2u);
  EXPECT_FALSE(talking());
}

TEST_F(ScenarioTest, RecallRingsOnlyThoseStillRingingAsOftenAsAllowed) {
  simhost::Client& caller = addPlugin("caller", kCaller, kPc, 2);
  caller.request(imsdk::kCmdCall,
                 req(kGroup, "rc", {kMe, kPeer2, kPeer3}, "", "{\"conferMode\":\"chat\"}"));
  net.pump();
  // This user answers; the caller's media link reports it in the room.
  me.request(imsdk::kCmdIntoRoom, req(kGroup, "rc", {kMe}, "accept"));
  net.pump();
  caller.request(imsdk::kCmdConnectState, req(kGroup, "rc", {kMe}, "intoroom"));
  run(40, {&me, &caller});
  // One callee refuses before the second recall.
  deliver(kPeer3, kPc, kGroup, step("multi_hungup", kPeer3, kPc, "rc", "refuse"));
  run(60, {&me, &caller});
  EXPECT_THAT(recalls(caller), ElementsAre("14>300[2002,2003]:CALL", "14>300[2002]:CALL"));
  EXPECT_EQ(rings(me), 1u);
}

// A one-to-one talk is never rung again, placed from no chat or from a group
// chat, even when the recall settings reach past the peer's 98-second ring:
// its single repeated-ring entry finds nobody to ring, and the ring that ended
// does not come back.
class OneToOneRecall : public ScenarioTest, public ::testing::WithParamInterface<int64_t> {};

TEST_P(OneToOneRecall, NeverRingsThePeerAgain) {
  const std::string group = std::to_string(GetParam());
  simhost::Client& caller = addPlugin("caller", kCaller, kPc, 4);
  caller.request(imsdk::kCmdCall, req(GetParam(), "rp", {kMe}, "", "{\"rtcType\":\"p2pconfer\"}"));
  net.pump();
  run(135, {&me, &caller});
  EXPECT_THAT(recalls(caller), IsEmpty());
  EXPECT_EQ(rings(me), 1u);
  EXPECT_EQ(events().back(), "5|local_sdk_becalltimeout|1001||" + group + "|2001|rp|||");
  size_t stopped = 0;
  for (const auto& line : caller.logs()) {
    stopped += line.text == "notify_recalltimeout ret=18." ? 1 : 0;
    EXPECT_EQ(line.text.find("send_recall"), std::string::npos);
  }
  EXPECT_EQ(stopped, 1u);
}

INSTANTIATE_TEST_SUITE_P(FromChat, OneToOneRecall, ::testing::Values(int64_t{0}, kGroup));

// However this client's ring of a group call ended, what the caller sends
// afterwards: a repeated ring (recall) of the room rings again only when the
// ring ran out here, the caller not knowing it; the refusal memory (five
// minutes) keeps it quiet after this user declined here or on the phone, or
// answered on the phone. The call sent again as a fresh call is the caller
// calling anew and always rings.
struct Ended {
  const char* name;
  simhost::Client* (*by)(simhost::Client& me, simhost::Client& phone);  // null: it ran out
  uint16_t request;
  const char* annotation;
  size_t ringsAfterRecall;
};

class RingEnded : public ScenarioTest, public ::testing::WithParamInterface<Ended> {};

TEST_P(RingEnded, ComesBackOnlyWhenTheCallerRingsAnew) {
  const Ended& row = GetParam();
  simhost::Client& phone = addPlugin("phone", kMe, kAndroid);
  ring();
  ASSERT_EQ(rings(me), 1u);
  if (row.by == nullptr) {
    run(72, {&me});
  } else {
    row.by(me, phone)->request(row.request, req(kGroup, "r1", {kMe}, row.annotation));
    net.pump();
  }
  ASSERT_FALSE(talking());
  deliver(kCaller, kAndroid, kGroup, groupCall().str("flag", "recall"));
  EXPECT_EQ(rings(me), row.ringsAfterRecall);
  deliver(kCaller, kAndroid, kGroup, groupCall());
  EXPECT_EQ(rings(me), 2u);
}

simhost::Client* here(simhost::Client& me, simhost::Client&) { return &me; }
simhost::Client* onPhone(simhost::Client&, simhost::Client& phone) { return &phone; }

// clang-format off
INSTANTIATE_TEST_SUITE_P(Ways, RingEnded, ::testing::Values(
    Ended{"refused_here", here, imsdk::kCmdHungup, "refuse", 1},
    Ended{"refused_on_the_phone", onPhone, imsdk::kCmdHungup, "refuse", 1},
    Ended{"answered_on_the_phone", onPhone, imsdk::kCmdIntoRoom, "accept", 1},
    Ended{"ran_out_here", nullptr, 0, "", 2}),
    rowName<Ended>);
// clang-format on

// The same user on a phone answers: this client stops ringing for good,
// through recalls, ring and wait time-outs, even when the caller never learns
// from its media link that this user is in the room (so it keeps recalling).
struct Answered {
  const char* name;
  int64_t group;
  std::string extend;
  std::vector<std::string> events;
};

class AnsweredElsewhere : public ScenarioTest, public ::testing::WithParamInterface<Answered> {};

TEST_P(AnsweredElsewhere, RingingHereStopsForGood) {
  const Answered& row = GetParam();
  simhost::Client& caller = addPlugin("caller", kCaller, kPc, 3);
  simhost::Client& phone = addPlugin("phone", kMe, kAndroid);
  const std::vector<int64_t> callees =
      row.group ? std::vector<int64_t>{kMe, kPeer2} : std::vector<int64_t>{kMe};
  caller.request(imsdk::kCmdCall, req(row.group, "rd", callees, "", row.extend));
  net.pump();
  ASSERT_EQ(rings(phone), 1u);
  phone.request(imsdk::kCmdIntoRoom, req(row.group, "rd", {kMe}, "accept"));
  net.pump();
  const auto got = callEvents(me);
  ASSERT_GE(got.size(), row.events.size());
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + row.events.size()), row.events);
  EXPECT_FALSE(talking("rd"));
  run(120, {&me, &phone, &caller});
  EXPECT_EQ(callEvents(me), got);
  EXPECT_EQ(rings(me), 1u);
  EXPECT_TRUE(others_[1]->store().isCurrentRoom("rd"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, AnsweredElsewhere, ::testing::Values(
    Answered{"group", kGroup, "",
             {"1||2001|1001,2002|300|2001|rd||2001,1001,2002|{\"mode\":\"normal\",\"peer_devtype\":"
              "\"pc\",\"rtcType\":\"rtc\",\"conferMode\":\"\",\"initState\":[\"1001_322\"]}",
              "5|local_sdk_deal_android_intoroom|1001||300|2001|rd|||{\"rtcType\":\"rtc\"}",
              "3||1001||300|2001|rd|||{\"peer_devtype\":\"android\"}"}},
    Answered{"p2p", 0, "{\"rtcType\":\"p2pconfer\"}",
             {"1||2001|1001|0|2001|rd||2001,1001|{\"mode\":\"normal\",\"peer_devtype\":\"pc\","
              "\"rtcType\":\"p2pconfer\",\"conferMode\":\"\",\"initState\":[\"1001_322\"]}",
              "5|other_accept|1001||0|2001|rd|||{\"rtcType\":\"p2pconfer\"}",
              "5|local_sdk_deal_android_intoroom|1001||0|2001|rd|||{\"rtcType\":\"p2pconfer\"}",
              "3|accept|1001||0|2001|rd|||{\"peer_devtype\":\"android\"}"}}),
    rowName<Answered>);
// clang-format on

}  // namespace
}  // namespace notify_test
