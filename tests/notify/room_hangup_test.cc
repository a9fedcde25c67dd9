// Steps of a running talk on slot 4: hang-ups, replies, talk-state questions,
// and this user's other device acting.
#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

const std::string kRtcExtend = "{\"rtcType\":\"rtc\"}", kP2pExtend = "{\"rtcType\":\"p2pconfer\"}";

// This user hangs up on a phone while this client rings: the talk ends here
// and stays ended. (Entering on the phone is run end to end in scenario_test.)
struct OtherDevice {
  const char* name;
  std::string annotation, event;
};

class OtherDeviceHangsUp : public NotifyTest, public ::testing::WithParamInterface<OtherDevice> {};

TEST_P(OtherDeviceHangsUp, TalkEndsHereAndStaysEnded) {
  const OtherDevice& row = GetParam();
  const bool p2p = row.event.find("|0|2001|p1|") != std::string::npos;
  const std::string room = p2p ? "p1" : "r1";
  deliver(kCaller, kAndroid, p2p ? kMe : kGroup, p2p ? p2pCall() : groupCall());
  me.clearRecords();
  // The phone's message reaches this client as its own user's other device.
  deliver(kMe, kAndroid, p2p ? kCaller : kGroup,
          step("multi_hungup", kMe, kAndroid, room, row.annotation));
  // Ringing cannot resume: the ring time-out finds no talk and reports nothing.
  notify().onTimeoutDispatch(record(1, 2, room, {kMe}));
  EXPECT_THAT(events(), ElementsAre(row.event));
  EXPECT_FALSE(talking(room));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Steps, OtherDeviceHangsUp, ::testing::Values(
    OtherDevice{"group", "hungup_uiclick", "5|local_sdk_deal_android_hungup|1001||300|2001|r1|||" + kRtcExtend},
    OtherDevice{"groupRefused", "refuse", "5|local_sdk_deal_android_hungup|1001||300|2001|r1|||" + kRtcExtend},
    OtherDevice{"p2pRefused", "refuse", "5|other_refuse|1001||0|2001|p1|||" + kP2pExtend},
    OtherDevice{"p2pBusy", "busy_inrtc", "5|other_busy_inrtc_end|1001||0|2001|p1|||" + kP2pExtend}),
    rowName<OtherDevice>);
// clang-format on

// A room entry that overtakes its call silences the call only when it comes
// from this user's other device (the call was answered there).
TEST_F(NotifyTest, RoomEntryBeforeItsCallSilencesItOnlyFromThisUser) {
  deliver(kPeer2, kAndroid, kGroup, step("multi_intoroom", kPeer2, kAndroid, "r1", ""));
  deliver(kCaller, kAndroid, kGroup, groupCall("r1"));
  EXPECT_TRUE(talking("r1"));
  plugin().store().resetTalk();
  deliver(kMe, kAndroid, kGroup, step("multi_intoroom", kMe, kAndroid, "r2", ""));
  deliver(kCaller, kAndroid, kGroup, groupCall("r2"));
  EXPECT_FALSE(talking("r2"));
}

// Hang-ups of a one-to-one talk end it with the word of the acting side.
TEST_F(NotifyTest, OneToOneHangupEndsTheTalkWithTheDerivedWord) {
  const std::vector<std::vector<std::string>> rows = {
      // annotation, reported word
      {"cancel_uiclick", "peer_cancel_uiclick"},
      {"cancel_calltimeout", "peer_cancel_calltimeout"},
      {"busy_inrtc", "peer_busy_inrtc_wait"},
      {"busy_intel", "peer_busy_intel_wait"},
      {"refuse", "peer_refuse"},
      {"far_ui_refuse", "far_ui_refuse"},
      {"hungup_uiclick", "peer_hungup_uiclick_end"},
      {"hungup_dismiss", "hungup_dismiss"},
      // This user on another device, even one that names this client's own
      // device type (the network never hands a client its own message).
      {"busy_inrtc", "other_busy_inrtc_end", "me"}};
  // Each row is a new call (a later beginTime): the same call once more would
  // be a copy of one that ended, which never rings.
  int64_t begin = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    const int64_t sender = row.size() > 2 ? kMe : kCaller;
    me.clearRecords();
    EXPECT_EQ(notify().onPushNotify(kCaller, p2pCall().id("beginTime", ++begin)), 0);
    EXPECT_EQ(notify().onPushNotify(sender, step("multi_hungup", sender,
                                                 sender == kMe ? kPc : kAndroid, "p1", row[0])),
              0);
    auto got = events();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], "5|" + row[1] + "|1001||0|2001|p1|||" + kP2pExtend);
    EXPECT_FALSE(talking("p1"));
    EXPECT_EQ(timers().back(), "0/1/1/p1/" + std::to_string(sender) + "/0");
  }
  // Hung up by the peer, the one-to-one call's duration is kept in the chat.
  me.clearRecords();
  deliver(kCaller, kAndroid, kMe, p2pCall().id("beginTime", ++begin));
  deliver(kCaller, kAndroid, kMe, step("multi_hungup", kCaller, kAndroid, "p1", "hungup_uiclick"));
  auto inserted = me.inserted();
  ASSERT_EQ(inserted.size(), 1u);
  EXPECT_EQ(inserted[0].targetId, kCaller);
  EXPECT_EQ(inserted[0].body,
            "{\"type\":\"multi_time\",\"annotation\":\"0\",\"senderId\":\"1001\",\"onwerId\":"
            "\"2001\",\"roomId\":\"p1\",\"deviceType\":\"1\",\"version\":\"mrtc@1.8.8\","
            "\"VideoStatus\":\"multi\",\"rtcType\":\"p2pconfer\"}");
}

// On the live road a one-to-one word is rewritten into the message itself,
// and the host is told whether the message needs further showing.
TEST_F(NotifyTest, LiveOneToOneWordsRewriteTheMessageBody) {
  struct Row {
    int64_t sender;
    int32_t device;
    std::string annotation;
    int32_t slotResult;
    std::string bodyWord;
    const char* room = "p1";
  };
  for (const Row& row :
       std::vector<Row>{{kCaller, kAndroid, "refuse", 0, "peer_refuse"},
                        {kCaller, kAndroid, "busy_intel", 0, "peer_busy_intel"},
                        {kMe, kAndroid, "busy_inrtc", 0, "other_busy_inrtc"},
                        {kMe, kPc, "refuse", 0, "other_refuse"},
                        {kMe, kAndroid, "accept", 0, "other_accept"},
                        {kCaller, kAndroid, "accept", 1, "accept"},
                        {kMe, kAndroid, "cancel_uiclick", 1, "cancel_uiclick"},
                        {kCaller, kAndroid, "cancel_uiclick", 0, "peer_cancel_uiclick"},
                        // A group call's words are never rewritten.
                        {kCaller, kAndroid, "refuse", 1, "refuse", "r1"}}) {
    SCOPED_TRACE(row.annotation + " from " + std::to_string(row.sender));
    const std::string body = step("multi_hungup", row.sender, row.device, row.room, row.annotation);
    imsdk::hostMessage msg = hostMsg(row.sender, kMe, body);
    EXPECT_EQ(plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0),
              row.slotResult);
    // A word left as it is leaves the body untouched.
    EXPECT_EQ(msg.body, row.bodyWord == row.annotation
                            ? body
                            : "{\"type\":\"multi_hungup\",\"annotation\":\"" + row.bodyWord +
                                  "\",\"senderId\":\"" + std::to_string(row.sender) +
                                  "\",\"onwerId\":\"2001\",\"roomId\":\"p1\",\"deviceType\":\"" +
                                  std::to_string(row.device) +
                                  "\",\"version\":\"mrtc@1.8.8\","
                                  "\"VideoStatus\":\"multi\",\"rtcType\":\"p2pconfer\"}");
  }
}

TEST_F(NotifyTest, ReplyAndTalkQuery) {
  ring();
  me.clearRecords();
  deliver(kPeer2, kPc, kGroup, step("multi_reply", kPeer2, kPc, "r1", "far_sdk_callreply"));
  deliver(kPeer2, kPc, kGroup, step("multi_reply", kPeer2, kPc, "r5", ""));
  EXPECT_THAT(events(), ElementsAre("7|far_sdk_callreply|2002||300|2001|r1|||"));
  // A member asks for the talk: answered to the asker only; a stranger is ignored.
  const std::string query = Body("multi_querytalk").id("groupId", kGroup).str("roomId", "r1");
  deliver(kPeer2, kPc, kGroup, query);
  deliver(4004, kPc, kGroup, query);
  EXPECT_THAT(
      sent(),
      ElementsAre(
          "15>300[2002]:{\"type\":\"cmd_reply_querytalk\",\"senderId\":"
          "\"1001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"roomId\":\"r1\",\"roomName\":"
          "\"weekly\","
          "\"deviceType\":\"1\",\"version\":\"mrtc@1.8.8\",\"VideoStatus\":\"multi\",\"members\":"
          "[2001,1001,2002,2003],\"memstates\":[false,false,false,false]}"));
  EXPECT_EQ(me.events().size(), 1u);
}

}  // namespace
}  // namespace notify_test
