// Incoming calls, invites, cards and weak hints on slot 4: the ring event,
// the time-outs armed, the answers sent, every refusal, and which hints the
// host is asked to hide.
#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

const char kKeepAlive[] = "1/0/3/keepalive//60/refresh";

Body invite(std::vector<int64_t> selects) {
  return std::move(step("multi_invite", kPeer2, kPc, "r1", "")
                       .str("cmode", "chat")
                       .ids("selects", selects)
                       .ids("members", {kCaller, kMe, kPeer2})
                       .raw("memstates", "[true,false,true]"));
}

struct Ring {
  const char* name;
  int64_t sender, target;
  std::string body;
  uint16_t bodyType;
  std::string event;
  std::vector<std::string> timers;
};

class Rings : public NotifyTest, public ::testing::WithParamInterface<Ring> {};

// Ringing sends nothing: the ring time-out, the keep-alive and the wait for
// the others not yet in the room are armed.
TEST_P(Rings, EventAndTimeOutsFollowTheCallKind) {
  const Ring& row = GetParam();
  deliver(row.sender, kAndroid, row.target, row.body, row.bodyType);
  EXPECT_THAT(events(), ElementsAre(row.event));
  EXPECT_EQ(timers(), row.timers);
  EXPECT_THAT(sent(), IsEmpty());
  EXPECT_TRUE(talking(me.events()[0].roomId));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, Rings, ::testing::Values(
    Ring{"group", kCaller, kGroup, groupCall(), 14,
         "1||2001|1001,2002,2003|300|2001|r1|weekly|2001,1001,2002,2003|{\"mode\":\"normal\","
         "\"peer_devtype\":\"android\",\"rtcType\":\"rtc\",\"conferMode\":\"chat\","
         "\"initState\":[\"1001_312\"]}",
         {"1/1/2/r1/1001/68", kKeepAlive, "1/1/1/r1/2002,2003/88"}},
    Ring{"p2pRings98sWithoutWait", kCaller, kMe, p2pCall(), 14,
         "1||2001|1001|0|2001|p1||2001,1001|{\"mode\":\"normal\",\"peer_devtype\":\"android\","
         "\"rtcType\":\"p2pconfer\",\"conferMode\":\"\",\"initState\":[\"1001_322\"]}",
         {"1/1/2/p1/1001/98", kKeepAlive}},
    Ring{"singleLive", kCaller, kGroup, groupCall().str("cmode", "live")
             .str("extend", "{\"mode\":\"single\"}").str("addr", "10.0.0.1:9000")
             .str("roomToken", "tk").ids("selects", {kMe}), 14,
         "1||2001|1001|300|2001|r1|weekly|2001,1001,2002,2003|{\"mode\":\"single\","
         "\"peer_devtype\":\"android\",\"rtcType\":\"rtc\",\"addr\":\"10.0.0.1:9000\","
         "\"roomToken\":\"tk\",\"conferMode\":\"live\",\"initState\":[\"1001_300\"]}",
         {"1/1/2/r1/1001/68", kKeepAlive}},
    Ring{"givenInitStateKeptUnknownDevice", kCaller, kGroup, groupCall().str("deviceType", "9")
             .raw("initState", "[\"a_1\",\"b_2\"]").ids("selects", {kPeer2, kMe}), 14,
         "1||2001|2002,1001|300|2001|r1|weekly|2001,1001,2002,2003|{\"mode\":\"normal\","
         "\"peer_devtype\":\"unknow\",\"rtcType\":\"rtc\",\"conferMode\":\"chat\","
         "\"initState\":[\"a_1\",\"b_2\"]}",
         {"1/1/2/r1/1001/68", kKeepAlive, "1/1/1/r1/2002/88"}},
    // Members already in the room are not waited for.
    Ring{"inviteIntoIdleClient", kPeer2, kGroup, invite({kMe, kPeer3}), 14,
         "1||2002|1001,2003|300|2001|r1||2001,1001,2002,2003|{\"mode\":\"normal\","
         "\"peer_devtype\":\"pc\",\"rtcType\":\"rtc\",\"conferMode\":\"chat\","
         "\"initState\":[\"1001_312\"]}",
         {"1/1/2/r1/1001/68", kKeepAlive, "1/1/1/r1/2003/88"}},
    Ring{"conferenceCardLikeAWebCall", kCaller, kGroup, microCard("2001"), 26,
         "1||2001|1001,2002|0|2001|m1|board|1001,2002|{\"mode\":\"normal\","
         "\"peer_devtype\":\"h5\",\"rtcType\":\"microconfer\",\"conferMode\":\"chat\","
         "\"initState\":[\"1001_312\"]}",
         {"1/1/2/m1/1001/68", kKeepAlive, "1/1/1/m1/2002/88"}},
    // Its details only in its properties: the card repaired rings alike.
    Ring{"repairedConferenceCard", kCaller, kGroup,
         Body("vnio").str("msgProperties", "{\"extendInfo\":" + microInfo("2001") + "}"), 26,
         "1||2001|1001,2002|0|2001|m1|board|1001,2002|{\"mode\":\"normal\","
         "\"peer_devtype\":\"h5\",\"rtcType\":\"microconfer\",\"conferMode\":\"chat\","
         "\"initState\":[\"1001_312\"]}",
         {"1/1/2/m1/1001/68", kKeepAlive, "1/1/1/m1/2002/88"}}),
    rowName<Ring>);
// clang-format on

// The push road hands the handler's code back; the same checks guard slot 4.
struct Refusal {
  const char* name;
  bool ringFirst;
  std::string body;
  int32_t code;
  std::vector<std::string> sent;
};

class CallRefusals : public NotifyTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CallRefusals, RefusedCallChangesNothingAndAnswersOnlyWhereDue) {
  const Refusal& row = GetParam();
  if (row.ringFirst) ring();
  const auto eventsBefore = events(), timersBefore = timers();
  EXPECT_EQ(notify().onPushNotify(kCaller, row.body), row.code);
  EXPECT_EQ(events(), eventsBefore);
  EXPECT_EQ(timers(), timersBefore);
  EXPECT_EQ(sent(), row.sent);
  EXPECT_EQ(talking(), row.ringFirst);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Codes, CallRefusals, ::testing::Values(
    Refusal{"notSelected", false, groupCall().ids("selects", {kPeer2}), 15, {}},
    Refusal{"invalidWithoutRoom", false, groupCall().str("roomId", ""), 1, {}},
    Refusal{"singleVersionMismatchSendsNothing", false,
            groupCall().str("version", "mrtc@2.0.0").str("extend", "{\"mode\":\"single\"}"), 17, {}},
    Refusal{"sameRoomAgain", true, groupCall(), 8, {}},
    Refusal{"busyGroupCallIsIgnoredSilently", true, groupCall("r2"), 2, {}},
    Refusal{"busyP2pCallGetsBusyHangup", true, p2pCall(), 2,
            {"15>2001:{\"type\":\"multi_hungup\",\"annotation\":\"busy_inrtc\","
             "\"senderId\":\"1001\",\"onwerId\":\"2001\",\"roomId\":\"p1\",\"deviceType\":\"1\","
             "\"version\":\"mrtc@1.8.8\",\"VideoStatus\":\"multi\",\"rtcType\":\"p2pconfer\"}"}}),
    rowName<Refusal>);
// clang-format on

// The version notice that comes back is noted in the chat by the caller or
// inviter it names, and only there.
TEST_F(NotifyTest, VersionNoticeIsNotedByTheCallerOrInviterItNames) {
  net.addUser(kPeer2, "Cy");
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"{\"caller\":\"1001\"}",
       "8>300:{\"body\":\"Cy电脑端不能接听您的语音请求，请及时升级\",\"msgBodyType\":\"12\"}|"
       "{\"operType\":\"26\",\"operUser\":\"2002\",\"usersInfo\":\"deviceType=1,callType=1,"
       "operUserName=Cy\"}"},
      {"{\"inviter\":\"1001\"}",
       "8>300:{\"body\":\"Cy电脑端不能接听您的语音邀请，请及时升级\",\"msgBodyType\":\"12\"}|"
       "{\"operType\":\"26\",\"operUser\":\"2002\",\"usersInfo\":\"deviceType=1,callType=2,"
       "operUserName=Cy\"}"},
      {"{\"caller\":\"2003\"}", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    me.clearRecords();
    deliver(kPeer2, kPc, kGroup,
            step("multi_version", kPeer2, kPc, "r1", "far_sdk_versionmatchfail")
                .str("version", "mrtc@2.0.0")
                .str("extend", row.first));
    std::string hint;
    for (const auto& m : me.inserted()) {
      hint += std::to_string(m.msgType) + ">" + std::to_string(m.targetId) + ":" + m.body + "|" +
              m.properties;
    }
    EXPECT_EQ(hint, row.second);
    EXPECT_THAT(events(), IsEmpty());
    EXPECT_THAT(sent(), IsEmpty());
  }
}

// A recalled invite from the caller of a talk this user refused stays silent
// for five minutes; a fresh one rings and makes the refusal forgotten.
// A recall is the same invitation again: once refused it stays silent, also
// past the five minutes a refusal is kept against a fresh call.
TEST_F(NotifyTest, RecalledInviteIntoARefusedTalkStaysSilent) {
  const std::string rings =
      "1||2001|1001|300|2001|r1||2001,1001,2002|{\"mode\":\"normal\",\"peer_devtype\":\"pc\","
      "\"rtcType\":\"rtc\",\"conferMode\":\"chat\",\"initState\":[\"1001_312\"]}";
  const std::string fresh = invite({kMe}).id("senderId", kCaller);
  const std::string recalled = invite({kMe}).id("senderId", kCaller).str("flag", "recall");
  struct Step {
    int64_t waitMs;
    std::string body;
    bool ringsThenRefused;
  };
  ring();
  me.request(imsdk::kCmdHungup, req(kGroup, "r1", {}, "refuse"));
  for (const Step& s :
       {Step{0, recalled, false}, Step{0, fresh, true}, Step{299000, recalled, false},
        Step{1000, recalled, false}, Step{0, fresh, true}}) {
    commlib::advance(s.waitMs);
    me.clearRecords();
    EXPECT_EQ(notify().onPushNotify(kCaller, s.body), 0);
    EXPECT_EQ(events(),
              s.ringsThenRefused ? std::vector<std::string>{rings} : std::vector<std::string>{});
    EXPECT_EQ(talking(), s.ringsThenRefused);
    EXPECT_THAT(sent(), IsEmpty());
    if (s.ringsThenRefused) me.request(imsdk::kCmdHungup, req(kGroup, "r1", {}, "refuse"));
  }
}

// A talk joined from a card without a conference mode is known but not active;
// an invite into it makes it this user's talk and enters the room. When that
// entry cannot be sent the invite fails with 4.
TEST_F(NotifyTest, InviteIntoAJoinedTalkEntersTheRoom) {
  for (bool refuseSend : {false, true}) {
    SCOPED_TRACE(refuseSend);
    const std::string room = refuseSend ? "r2" : "r1";
    plugin().store().resetTalk();
    const std::string card =
        "{\"extendInfo\":{\"roomID\":\"" + room +
        "\",\"senderId\":\"2001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"version\":"
        "\"mrtc@1.8.8\",\"mode\":\"mcalling\",\"subType\":1,\"selects\":[\"1001\"]}}";
    me.request(imsdk::kCmdTempletJoin, req(0, "", {}, "", card));
    ASSERT_TRUE(talking(room));
    me.clearRecords();
    me.updateConfig([&](simhost::ClientConfig& c) { c.refuseSend = refuseSend; });
    EXPECT_EQ(notify().onPushNotify(kPeer2, invite({kMe, kPeer3}).str("roomId", room)),
              refuseSend ? 4 : 0);
    EXPECT_THAT(events(), ElementsAre("2||2002|2003|300|2001|" + room +
                                      "||2001,1001,2002|{\"mode\":\"normal\",\"peer_devtype\":"
                                      "\"pc\",\"rtcType\":\"rtc\",\"conferMode\":\"chat\","
                                      "\"initState\":[\"1001_312\"]}"));
    EXPECT_THAT(timers(), ElementsAre("1/1/1/" + room + "/2003/88"));
    // The entry goes to this user's other devices in the group.
    EXPECT_EQ(sent(), refuseSend
                          ? std::vector<std::string>{}
                          : std::vector<std::string>{
                                "15>300[1001]:{\"type\":\"multi_intoroom\",\"senderId\":"
                                "\"1001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"roomId\":"
                                "\"" +
                                room +
                                "\",\"deviceType\":\"1\",\"version\":\"mrtc@1.8.8\","
                                "\"VideoStatus\":\"multi\",\"rtcType\":\"rtc\"}"});
  }
}

// On the live road a call of a type this client does not take, or any call
// while calls are switched off on this pc, is dropped and the host is told
// the message needs no showing.
TEST_F(NotifyTest, LiveCallOfAnUnsupportedTypeIsDropped) {
  plugin().settings().p2pSwitch.store(0);
  for (const std::string& body :
       {std::string(groupCall().str("rtcType", "tv")), std::string(p2pCall()), std::string()}) {
    SCOPED_TRACE(body);
    if (body.empty()) plugin().settings().pcOnOff.store(0);
    const std::string delivered = body.empty() ? std::string(groupCall()) : body;
    imsdk::hostMessage msg = hostMsg(kCaller, kGroup, delivered);
    EXPECT_EQ(plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0), 1);
    EXPECT_EQ(msg.body, delivered);
  }
  // A plain text message is not the plug-in's: the host shows it.
  imsdk::hostMessage text = hostMsg(kCaller, kGroup, "hello", 0, 1);
  EXPECT_EQ(plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&text), 0), 0);
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_THAT(timers(), IsEmpty());
  EXPECT_THAT(sent(), IsEmpty());
  EXPECT_FALSE(talking() || talking("p1"));
}

// Slot 4 with a weak hint: 1 asks the host to hide it.
int32_t hint(imsdkmrtc::mrtc_plugin& plugin, const std::string& body, const std::string& props) {
  imsdk::hostMessage msg = hostMsg(kCaller, kGroup, body, 0, 8, props);
  return plugin.onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0);
}

TEST_F(NotifyTest, OnlyTheFirstFinishHintOfARoomIsShownForTenMinutes) {
  std::vector<int32_t> hidden;
  for (const char* room : {"R", "R", "S", "V"})
    hidden.push_back(hint(plugin(), kHintBody, finishHint(room)));
  commlib::advance(601000);
  // Each hint drops at most one expired room: T drops R, S drops V and is
  // still hidden, R drops S and is shown again.
  for (const char* room : {"T", "S", "R", "S"})
    hidden.push_back(hint(plugin(), kHintBody, finishHint(room)));
  EXPECT_THAT(hidden, ElementsAre(0, 1, 0, 0, 0, 1, 0, 0));
  EXPECT_EQ(me.events().size(), 8u);
  EXPECT_EQ(render(me.events()[0]), "21||0||0|0||||" + finishHint("R"));
}

// A begin hint outside a group is hidden unless unbound calls are on; other
// hints are shown, only the finish hint raising an event.
TEST_F(NotifyTest, OtherHints) {
  const std::string outside = "{\"operType\":\"21\",\"usersInfo\":\"groupId=0,roomId=U\"}";
  std::vector<int32_t> hidden = {
      hint(plugin(), kHintBody, outside),
      hint(plugin(), kHintBody, "{\"operType\":\"21\",\"usersInfo\":\"groupId=300,roomId=U\"}"),
      hint(plugin(), "{\"msgBodyType\":\"11\"}", finishHint("R")),
      hint(plugin(), kHintBody, "{\"operType\":\"23\",\"usersInfo\":\"roomId=R\"}"),
      hint(plugin(), kHintBody, "{\"operType\":\"22\",\"usersInfo\":\"groupId=1\"}"),
      hint(plugin(), "", "")};
  plugin().settings().unbindSwitch.store(1);
  hidden.push_back(hint(plugin(), kHintBody, outside));
  EXPECT_THAT(hidden, ElementsAre(1, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(me.events().size(), 4u);
}

// A call card is shown as it came, also one that is repaired to be read
// (its details only in its properties); a conference card of this user's
// own conference does not ring.
TEST_F(NotifyTest, CardsThatDoNotRing) {
  const std::string rtcCard =
      "{\"type\":\"rtc\",\"title\":\"call\",\"extendInfo\":{\"rtcType\":\"rtc\",\"roomID\":\"r5\","
      "\"senderId\":\"2001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"version\":\"mrtc@1.8.8\","
      "\"mode\":\"mcalling\",\"subType\":1,\"selects\":[\"1001\",\"2002\"]}}";
  const std::string repairedCard =
      R"({"type":"vnio","title":"call","msgProperties":"{\"extendInfo\":{\"rtcType\":)"
      R"(\"unbindconfer\",\"roomID\":\"u5\",\"senderId\":\"2001\",\"onwerId\":\"2001\",)"
      R"(\"version\":\"mrtc@1.8.8\",\"mode\":\"mcalling\"}}"})";
  deliver(kCaller, kAndroid, kGroup, rtcCard, 26);
  deliver(kCaller, kAndroid, kGroup, repairedCard, 26);
  deliver(kCaller, kAndroid, kGroup, microCard("1001"), 26);
  EXPECT_THAT(events(), ElementsAre("22||0||0|0||||" + rtcCard, "22||0||0|0||||" + repairedCard));
  EXPECT_THAT(timers(), IsEmpty());
  EXPECT_FALSE(talking("r5") || talking("m1"));
  EXPECT_TRUE(me.hasLog("notify_call: microconfer is onwer."));
  EXPECT_TRUE(me.hasLog("reviseVnioMicroTemplet: code=0."));
}

}  // namespace
}  // namespace notify_test
