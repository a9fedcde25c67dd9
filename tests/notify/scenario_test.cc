// Whole calls on the simulated network with the timer thread running on the
// virtual clock: rings that run out, keep-alives that stop, recalls, and the
// same user answering on a second device.
#include <gmock/gmock.h>

#include <functional>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

using ::testing::ElementsAre;

class ScenarioTest : public NotifyTest {
 protected:
  ~ScenarioTest() override {
    for (auto& p : others_) p->other()->stop();
    commlib::advance(4000);
  }

  // Another plug-in on the network.
  simhost::Client& addPlugin(const std::string& name, int64_t user, uint8_t device) {
    others_.emplace_back(new imsdkmrtc::mrtc_plugin(device));
    others_.back()->settings().p2pSwitch.store(1);
    simhost::Client& c = net.addClient(name, user, device);
    c.attach(others_.back().get());
    return c;
  }
  imsdkmrtc::mrtc_plugin& pluginOf(size_t i) { return *others_[i]; }

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
  int clockSeconds() const { return clockSeconds_; }

  static imsdk::req_mrtc_request callRequest(int64_t group, std::vector<int64_t> members,
                                             const std::string& room, const std::string& extend) {
    imsdk::req_mrtc_request r;
    r.groupId = group;
    r.roomId = room;
    r.members = std::move(members);
    r.extend = extend;
    return r;
  }
  static imsdk::req_mrtc_request roomRequest(int64_t group, const std::string& room,
                                             const std::string& annotation, int64_t who) {
    imsdk::req_mrtc_request r;
    r.groupId = group;
    r.roomId = room;
    r.annotation = annotation;
    r.members = {who};
    return r;
  }

  std::vector<std::unique_ptr<imsdkmrtc::mrtc_plugin>> others_;
  int clockSeconds_ = 0;
};

size_t countType(const std::vector<simhost::UiEvent>& events, uint8_t type) {
  size_t n = 0;
  for (const auto& e : events) n += e.eventType == type ? 1 : 0;
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

struct RingOut {
  const char* name;
  int64_t target;
  std::string body;
  std::string room;
  int dueSeconds;
};

void PrintTo(const RingOut& row, std::ostream* os) { *os << row.name; }

class RingRunsOut : public ScenarioTest, public ::testing::WithParamInterface<RingOut> {};

TEST_P(RingRunsOut, UnansweredRingEndsWithBecallTimeout) {
  const RingOut& row = GetParam();
  deliver(kCaller, kAndroid, row.target, row.body);
  // The application keeps the talk alive; nobody answers.
  run(row.dueSeconds - 3, {&me});
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_TRUE(plugin().store().isCurrentRoom(row.room));
  run(6, {&me});
  auto got = me.events();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].eventType, 6);
  EXPECT_EQ(got[1].selects, std::vector<int64_t>{kMe});
  EXPECT_EQ(render(got[2]), "5|local_sdk_becalltimeout|1001||" +
                                std::to_string(got[2].groupId) + "|2001|" + row.room + "|||");
  EXPECT_FALSE(plugin().store().isCurrentRoom(row.room));
  // The wait time-out that follows finds no talk and reports nothing.
  run(30, {&me});
  EXPECT_EQ(me.events().size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RingRunsOut,
                         ::testing::Values(RingOut{"group", kGroup, groupCall(), "r1", 68},
                                           RingOut{"p2p", kMe, p2pCall(), "p1", 98}),
                         [](const ::testing::TestParamInfo<RingOut>& info) {
                           return info.param.name;
                         });

TEST_F(ScenarioTest, TalkWithoutKeepAliveEndsAfterSixtySeconds) {
  ring();
  run(58);
  EXPECT_EQ(me.events().size(), 1u);
  run(4);
  EXPECT_THAT(renderAll(me.events()).back(), "5|local_sdk_keepalivetimeout|1001||300|2001|r1|||");
  EXPECT_FALSE(talking());
  run(40);  // the ring and wait time-outs find nothing any more
  EXPECT_EQ(me.events().size(), 2u);
}

TEST_F(ScenarioTest, RecallRingsOnlyThoseStillRingingAsOftenAsAllowed) {
  simhost::Client& caller = addPlugin("caller", kCaller, kPc);
  imsdkmrtc::pluginSettings& s = pluginOf(0).settings();
  s.recallEnable.store(1);
  s.recallCount.store(2);
  s.recallDuration.store(30);
  caller.request(imsdk::kCmdCall,
                 callRequest(kGroup, {kMe, kPeer2, kPeer3}, "rc", "{\"conferMode\":\"chat\"}"));
  net.pump();
  ASSERT_EQ(countType(me.events(), 1), 1u);
  // This user answers; the caller's media link reports it in the room.
  me.request(imsdk::kCmdIntoRoom, roomRequest(kGroup, "rc", "accept", kMe));
  net.pump();
  caller.request(imsdk::kCmdConnectState, roomRequest(kGroup, "rc", "intoroom", kMe));
  run(40, {&me, &caller});
  // One callee refuses before the second recall.
  deliver(kPeer3, kPc, kGroup,
          Body("multi_hungup").str("annotation", "refuse").id("senderId", kPeer3)
              .id("groupId", kGroup).str("roomId", "rc").str("deviceType", "1"));
  run(60, {&me, &caller});

  auto sent = caller.sent();
  ASSERT_FALSE(sent.empty());
  const std::string call = sent[0].body;
  const std::string suffix = ",\"recallCnt\":\"8\",\"recallDrt\":\"1\"}";
  ASSERT_EQ(call.substr(call.size() - suffix.size()), suffix);
  const std::string stored = call.substr(0, call.size() - suffix.size()) + ",\"flag\":\"recall\"}";
  std::vector<std::string> recalls;
  for (const auto& m : sent) {
    if (m.body.find("\"flag\":\"recall\"") != std::string::npos) recalls.push_back(render(m));
  }
  EXPECT_THAT(recalls, ElementsAre("14>300[2002,2003]:" + stored, "14>300[2002]:" + stored));
  EXPECT_EQ(countType(me.events(), 1), 1u);
}

// A one-to-one call has no group: its repeated ring still reaches the peer.
TEST_F(ScenarioTest, OneToOneRecallRingsThePeerAgain) {
  simhost::Client& caller = addPlugin("caller", kCaller, kPc);
  imsdkmrtc::pluginSettings& s = pluginOf(0).settings();
  s.recallEnable.store(1);
  s.recallCount.store(1);
  s.recallDuration.store(30);
  caller.request(imsdk::kCmdCall, callRequest(0, {kMe}, "rp", "{\"rtcType\":\"p2pconfer\"}"));
  net.pump();
  ASSERT_EQ(countType(me.events(), 1), 1u);
  run(40, {&me, &caller});

  auto sent = caller.sent();
  ASSERT_FALSE(sent.empty());
  const std::string call = sent[0].body;
  const std::string stored =
      call.substr(0, call.size() - std::string(",\"recallCnt\":\"8\",\"recallDrt\":\"1\"}").size()) +
      ",\"flag\":\"recall\"}";
  std::vector<std::string> recalls;
  for (const auto& m : sent) {
    if (m.body.find("\"flag\":\"recall\"") != std::string::npos) recalls.push_back(render(m));
  }
  EXPECT_THAT(recalls, ElementsAre("14>1001[1001]:" + stored));
  // The repeated ring reached this client's talk, which keeps ringing once.
  EXPECT_EQ(countType(me.events(), 1), 1u);
}

// The same user on a phone answers: this client stops ringing for good.
TEST_F(ScenarioTest, AnswerOnAnotherDeviceStopsRingingHereForGood) {
  simhost::Client& caller = addPlugin("caller", kCaller, kPc);
  simhost::Client& phone = addPlugin("phone", kMe, kAndroid);
  pluginOf(0).settings().recallEnable.store(1);
  pluginOf(0).settings().recallCount.store(3);
  caller.request(imsdk::kCmdCall, callRequest(kGroup, {kMe, kPeer2}, "rd", ""));
  net.pump();
  ASSERT_EQ(countType(me.events(), 1), 1u);
  ASSERT_EQ(countType(phone.events(), 1), 1u);

  phone.request(imsdk::kCmdIntoRoom, roomRequest(kGroup, "rd", "accept", kMe));
  net.pump();
  caller.request(imsdk::kCmdConnectState, roomRequest(kGroup, "rd", "intoroom", kMe));
  // Ring, the end here, the phone in the room.
  auto got = callEvents(me);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1], "5|local_sdk_deal_android_intoroom|1001||300|2001|rd|||{\"rtcType\":\"rtc\"}");
  EXPECT_EQ(got[2], "3||1001||300|2001|rd|||{\"peer_devtype\":\"android\"}");
  EXPECT_FALSE(plugin().store().isCurrentRoom("rd"));

  // Recalls, ring and wait time-outs come and go; nothing rings here again.
  run(120, {&me, &phone, &caller});
  EXPECT_EQ(callEvents(me), got);
  EXPECT_TRUE(pluginOf(1).store().isCurrentRoom("rd"));
}

TEST_F(ScenarioTest, OneToOneAcceptOnAnotherDeviceEndsItHereAsOtherAccept) {
  simhost::Client& caller = addPlugin("caller", kCaller, kPc);
  simhost::Client& phone = addPlugin("phone", kMe, kAndroid);
  caller.request(imsdk::kCmdCall, callRequest(0, {kMe}, "pp", "{\"rtcType\":\"p2pconfer\"}"));
  net.pump();
  ASSERT_EQ(countType(me.events(), 1), 1u);
  phone.request(imsdk::kCmdIntoRoom, roomRequest(0, "pp", "accept", kMe));
  net.pump();
  auto got = callEvents(me);
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[1], "5|other_accept|1001||0|2001|pp|||{\"rtcType\":\"p2pconfer\"}");
  EXPECT_FALSE(plugin().store().isCurrentRoom("pp"));
  run(110, {&me, &phone, &caller});
  EXPECT_EQ(countType(me.events(), 1), 1u);
  EXPECT_EQ(countType(me.events(), 6), 0u);
}

}  // namespace
}  // namespace notify_test
