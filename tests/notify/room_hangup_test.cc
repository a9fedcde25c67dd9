// Room entries, hang-ups and finishes received on slot 4, the same user on
// a second device, and the words reported for one-to-one talks.
#include <gmock/gmock.h>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

Body step(const std::string& type, int64_t sender, int32_t device, const std::string& room,
          const std::string& annotation) {
  return std::move(Body(type)
                       .str("annotation", annotation)
                       .id("senderId", sender)
                       .id("groupId", room == "p1" ? 0 : kGroup)
                       .id("onwerId", kCaller)
                       .str("roomId", room)
                       .str("deviceType", std::to_string(device))
                       .str("version", "mrtc@1.8.8")
                       .str("rtcType", room == "p1" ? "p2pconfer" : "rtc"));
}

TEST_F(NotifyTest, MemberEnteringIsReportedWithItsDevice) {
  ring();
  me.clearRecords();
  deliver(kPeer2, kAndroid, kGroup, step("multi_intoroom", kPeer2, kAndroid, "r1", "accept"));
  EXPECT_THAT(events(),
              ElementsAre("3|accept|2002||300|2001|r1|||{\"peer_devtype\":\"android\"}"));
  EXPECT_TRUE(talking());
}

TEST_F(NotifyTest, EnteringARoomThisClientDoesNotHoldIsStillReported) {
  deliver(kPeer2, kPc, kGroup, step("multi_intoroom", kPeer2, kPc, "r7", ""));
  EXPECT_THAT(events(), ElementsAre("3||2002||300|2001|r7|||{\"peer_devtype\":\"pc\"}"));
  EXPECT_TRUE(me.hasLog("notify_intoroom: NO_TALKING/UNEQUAL_TALK."));
}

// This user acts on a phone while this client rings: the talk ends here.
struct OtherDevice {
  const char* name;
  bool p2p;
  std::string type;
  std::string annotation;
  std::vector<std::string> events;
};

void PrintTo(const OtherDevice& row, std::ostream* os) { *os << row.name; }

class OtherDeviceActs : public NotifyTest, public ::testing::WithParamInterface<OtherDevice> {};

TEST_P(OtherDeviceActs, TalkEndsHereAndStaysEnded) {
  const OtherDevice& row = GetParam();
  const std::string room = row.p2p ? "p1" : "r1";
  if (row.p2p) {
    deliver(kCaller, kAndroid, kMe, p2pCall());
  } else {
    ring();
  }
  me.clearRecords();
  // The phone's message reaches this client as its own user's other device.
  const int64_t target = row.p2p ? kCaller : kGroup;
  deliver(kMe, kAndroid, target, step(row.type, kMe, kAndroid, room, row.annotation));
  EXPECT_THAT(events(), ElementsAreArray(row.events));
  EXPECT_FALSE(plugin().store().isCurrentRoom(room));
  // Ringing cannot resume: the ring time-out finds no talk and reports
  // nothing, and a repeated delivery of the same step changes nothing.
  me.clearRecords();
  imsdkmrtc::timeoutRecord ringOut;
  ringOut.category = imsdkmrtc::kTimeoutMemberCategory;
  ringOut.type = imsdkmrtc::kTimeoutRing;
  ringOut.key = room;
  ringOut.members = {kMe};
  notify().onTimeoutDispatch(ringOut);
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_TRUE(me.hasLog("notify_timeout ret=3."));
}

const char kRtcExtend[] = "{\"rtcType\":\"rtc\"}";
const char kP2pExtend[] = "{\"rtcType\":\"p2pconfer\"}";

INSTANTIATE_TEST_SUITE_P(
    Steps, OtherDeviceActs,
    ::testing::Values(
        OtherDevice{"groupEntered",
                    false,
                    "multi_intoroom",
                    "accept",
                    {std::string("5|local_sdk_deal_android_intoroom|1001||300|2001|r1|||") +
                         kRtcExtend,
                     "3|accept|1001||300|2001|r1|||{\"peer_devtype\":\"android\"}"}},
        OtherDevice{"p2pAccepted",
                    true,
                    "multi_intoroom",
                    "accept",
                    {std::string("5|other_accept|1001||0|2001|p1|||") + kP2pExtend,
                     std::string("5|local_sdk_deal_android_intoroom|1001||0|2001|p1|||") +
                         kP2pExtend,
                     "3|accept|1001||0|2001|p1|||{\"peer_devtype\":\"android\"}"}},
        OtherDevice{"groupHungUp",
                    false,
                    "multi_hungup",
                    "hungup_uiclick",
                    {std::string("5|local_sdk_deal_android_hungup|1001||300|2001|r1|||") +
                     kRtcExtend}},
        OtherDevice{"groupRefused",
                    false,
                    "multi_hungup",
                    "refuse",
                    {std::string("5|local_sdk_deal_android_hungup|1001||300|2001|r1|||") +
                     kRtcExtend}},
        OtherDevice{"p2pRefused",
                    true,
                    "multi_hungup",
                    "refuse",
                    {std::string("5|other_refuse|1001||0|2001|p1|||") + kP2pExtend}},
        OtherDevice{"p2pBusy",
                    true,
                    "multi_hungup",
                    "busy_inrtc",
                    {std::string("5|other_busy_inrtc_end|1001||0|2001|p1|||") + kP2pExtend}}),
    [](const ::testing::TestParamInfo<OtherDevice>& info) { return info.param.name; });

// Hang-ups of a one-to-one talk end it with the word of the acting side.
struct P2pWord {
  std::string annotation;
  int64_t sender;
  std::string reported;
};

TEST_F(NotifyTest, OneToOneHangupEndsTheTalkWithTheDerivedWord) {
  const std::vector<P2pWord> rows = {
      {"cancel_uiclick", kCaller, "peer_cancel_uiclick"},
      {"cancel_calltimeout", kCaller, "peer_cancel_calltimeout"},
      {"busy_inrtc", kCaller, "peer_busy_inrtc_wait"},
      {"busy_intel", kCaller, "peer_busy_intel_wait"},
      {"refuse", kCaller, "peer_refuse"},
      {"far_ui_refuse", kCaller, "far_ui_refuse"},
      {"hungup_uiclick", kCaller, "peer_hungup_uiclick_end"},
      {"hungup_dismiss", kCaller, "hungup_dismiss"},
      // This user on this same device: reported as sent.
      {"busy_inrtc", kMe, "busy_inrtc"},
  };
  for (const P2pWord& row : rows) {
    SCOPED_TRACE(row.annotation + " from " + std::to_string(row.sender));
    me.clearRecords();
    EXPECT_EQ(notify().onPushNotify(kCaller, p2pCall()), 0);
    const int32_t device = row.sender == kMe ? kPc : kAndroid;
    EXPECT_EQ(notify().onPushNotify(row.sender, step("multi_hungup", row.sender, device, "p1",
                                                     row.annotation)),
              0);
    auto got = me.events();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(render(got[1]), "5|" + row.reported + "|1001||0|2001|p1|||" + kP2pExtend);
    EXPECT_FALSE(plugin().store().isCurrentRoom("p1"));
    EXPECT_EQ(timers().back(), "0/1/1/p1/" + std::to_string(row.sender) + "/0");
  }
}

TEST_F(NotifyTest, OneToOneHangupByThePeerStoresTheCallDuration) {
  deliver(kCaller, kAndroid, kMe, p2pCall());
  deliver(kCaller, kAndroid, kMe, step("multi_hungup", kCaller, kAndroid, "p1", "hungup_uiclick"));
  auto inserted = me.inserted();
  ASSERT_EQ(inserted.size(), 1u);
  EXPECT_EQ(inserted[0].targetId, kCaller);
  EXPECT_EQ(inserted[0].body,
            "{\"type\":\"multi_time\",\"annotation\":\"0\",\"senderId\":\"1001\","
            "\"onwerId\":\"2001\",\"roomId\":\"p1\",\"deviceType\":\"1\",\"version\":"
            "\"mrtc@1.8.8\",\"VideoStatus\":\"multi\",\"rtcType\":\"p2pconfer\"}");
}

TEST_F(NotifyTest, GroupHangupOfAnotherMemberIsReportedUnchanged) {
  ring();
  me.clearRecords();
  deliver(kPeer2, kPc, kGroup, step("multi_hungup", kPeer2, kPc, "r1", "refuse"));
  EXPECT_THAT(events(), ElementsAre("4|refuse|2002||300|2001|r1|||"));
  EXPECT_THAT(timers(), ElementsAre("0/1/1/r1/2002/0"));
  EXPECT_TRUE(talking());
  // A hang-up for another room is refused by the store and reported nowhere.
  deliver(kPeer3, kPc, kGroup, step("multi_hungup", kPeer3, kPc, "r9", "hungup_uiclick"));
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_TRUE(me.hasLog("notify_hungup: ret=6."));
}

TEST_F(NotifyTest, FinishEndsTheTalkAndDropsDelayedCards) {
  ring();
  me.clearRecords();
  deliver(kCaller, kAndroid, kGroup, step("multi_finish", kCaller, kAndroid, "r1", ""));
  EXPECT_THAT(events(), ElementsAre("5||2001||300|2001|r1|||"));
  EXPECT_THAT(timers(), ElementsAre("0/3/4///0"));
  EXPECT_FALSE(talking());
}

TEST_F(NotifyTest, ConferenceFinishIsReportedEvenWithoutATalk) {
  deliver(kCaller, kAndroid, kGroup,
          Body("multi_mfinish").id("senderId", kCaller).id("groupId", kGroup).str("roomId", "m1"));
  EXPECT_THAT(events(), ElementsAre("13||2001||300|0|m1|||{\"sendUserId\":\"2001\"}"));
  EXPECT_TRUE(me.hasLog("notify_finish finish fail ret=3."));
  EXPECT_THAT(timers(), IsEmpty());
}

// On the live road a one-to-one word is rewritten into the message itself,
// and the host is told the message needs no further showing.
TEST_F(NotifyTest, LiveOneToOneWordsRewriteTheMessageBody) {
  struct Row {
    int64_t sender;
    int32_t device;
    std::string annotation;
    int32_t slotResult;
    std::string bodyWord;
  };
  const std::vector<Row> rows = {
      {kCaller, kAndroid, "refuse", 0, "peer_refuse"},
      {kCaller, kAndroid, "busy_intel", 0, "peer_busy_intel"},
      {kMe, kAndroid, "busy_inrtc", 0, "other_busy_inrtc"},
      {kMe, kPc, "refuse", 0, "refuse"},
      {kMe, kAndroid, "accept", 0, "other_accept"},
      {kCaller, kAndroid, "accept", 1, "accept"},
      {kMe, kAndroid, "cancel_uiclick", 1, "cancel_uiclick"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.annotation + " from " + std::to_string(row.sender));
    imsdk::hostMessage msg;
    msg.sendUserId = row.sender;
    msg.targetId = kMe;
    msg.bodyType = 14;
    msg.body = step("multi_hungup", row.sender, row.device, "p1", row.annotation);
    EXPECT_EQ(plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0),
              row.slotResult);
    EXPECT_NE(msg.body.find("\"annotation\":\"" + row.bodyWord + "\""), std::string::npos)
        << msg.body;
  }
}

TEST_F(NotifyTest, ReplyQueryAndVersionSteps) {
  ring();
  me.clearRecords();
  deliver(kPeer2, kPc, kGroup, step("multi_reply", kPeer2, kPc, "r1", "far_sdk_callreply"));
  EXPECT_THAT(events(), ElementsAre("7|far_sdk_callreply|2002||300|2001|r1|||"));
  deliver(kPeer2, kPc, kGroup, step("multi_reply", kPeer2, kPc, "r5", ""));
  EXPECT_TRUE(me.hasLog("notify_reply reply fail ret=6."));

  // A member asks for the talk: answered to the asker only.
  deliver(kPeer2, kPc, kGroup, Body("multi_querytalk").id("groupId", kGroup).str("roomId", "r1"));
  EXPECT_THAT(sent(), ElementsAre("15>300[2002]:{\"type\":\"cmd_reply_querytalk\",\"senderId\":"
                                  "\"1001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"roomId\":"
                                  "\"r1\",\"roomName\":\"weekly\",\"deviceType\":\"1\","
                                  "\"version\":\"mrtc@1.8.8\",\"VideoStatus\":\"multi\","
                                  "\"members\":[2001,1001,2002,2003],\"memstates\":[false,false,"
                                  "false,false]}"));
  // A stranger asking is ignored silently.
  deliver(4004, kPc, kGroup, Body("multi_querytalk").id("groupId", kGroup).str("roomId", "r1"));
  EXPECT_EQ(me.sent().size(), 1u);

  // A version notice meant for somebody else, or of another word, is ignored.
  const size_t before = me.sent().size();
  deliver(kPeer2, kPc, kGroup,
          step("multi_version", kPeer2, kPc, "r1", "far_sdk_callreply")
              .str("extend", "{\"caller\":\"1001\"}"));
  deliver(kPeer2, kPc, kGroup,
          step("multi_version", kPeer2, kPc, "r1", "far_sdk_versionmatchfail")
              .str("extend", "{\"caller\":\"1002\"}"));
  EXPECT_EQ(me.sent().size(), before);
}

TEST_F(NotifyTest, TalkStateAnswerMakesAJoinedTalkActive) {
  // Joined from a card without being active yet, as a card join leaves it.
  imsdkmrtc::talkInfo talk;
  talk.groupId = kGroup;
  talk.roomId = "rq";
  talk.members = {kCaller, kPeer2, kPeer3};
  ASSERT_EQ(plugin().store().localTempletJoin(talk, 0), 0u);
  me.clearRecords();
  deliver(kPeer2, kPc, kGroup,
          Body("cmd_reply_querytalk")
              .id("senderId", kPeer2)
              .id("groupId", kGroup)
              .id("onwerId", kCaller)
              .str("roomId", "rq")
              .str("roomName", "weekly")
              .ids("members", {kCaller, kPeer2, kPeer3, kMe})
              .raw("memstates", "[true,true,false,false]"));
  EXPECT_THAT(events(), ElementsAre("10||2002||300|2001|rq|weekly|2001,2002,2003,1001|"));
  EXPECT_THAT(timers(), ElementsAre("1/1/1/rq/2003/88", "1/0/3/keepalive//60/refresh"));
  EXPECT_THAT(sent(), ElementsAre("15>300[1001]:{\"type\":\"multi_intoroom\",\"senderId\":"
                                  "\"1001\",\"groupId\":\"300\",\"onwerId\":\"2001\","
                                  "\"roomId\":\"rq\",\"roomName\":\"weekly\",\"deviceType\":"
                                  "\"1\",\"version\":\"mrtc@1.8.8\",\"VideoStatus\":\"multi\"}"));
  // Now active: a second answer is refused by the store and does nothing.
  deliver(kPeer3, kPc, kGroup,
          Body("cmd_reply_querytalk").id("groupId", kGroup).str("roomId", "rq")
              .ids("members", {kCaller, kMe}));
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_EQ(me.sent().size(), 1u);
}

}  // namespace
}  // namespace notify_test
