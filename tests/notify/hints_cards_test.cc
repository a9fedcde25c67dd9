// Weak hints and cards received on slot 4.
#include <gmock/gmock.h>

#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class HintTest : public NotifyTest {
 protected:
  // Slot 4 with a weak hint: 1 asks the host to hide it.
  int32_t hint(const std::string& body, const std::string& props) {
    imsdk::hostMessage msg;
    msg.sendUserId = kCaller;
    msg.targetId = kGroup;
    msg.bodyType = 8;
    msg.body = body;
    msg.extension = props;
    return plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0);
  }
  static std::string finishProps(const std::string& room) {
    return "{\"operType\":\"22\",\"operUser\":\"2001\",\"usersInfo\":\"groupId=300,roomId=" +
           room + ",operUserName=Bob\"}";
  }
  const std::string body = "{\"body\":\"x\",\"msgBodyType\":\"12\"}";
};

TEST_F(HintTest, OnlyTheFirstFinishHintOfARoomIsShownForTenMinutes) {
  EXPECT_EQ(hint(body, finishProps("R")), 0);
  EXPECT_EQ(hint(body, finishProps("R")), 1);
  EXPECT_EQ(hint(body, finishProps("S")), 0);
  EXPECT_EQ(hint(body, finishProps("V")), 0);
  commlib::advance(601000);
  // Each hint drops at most one expired room: T drops R, S drops V and is
  // still hidden, R drops S and is shown again.
  EXPECT_EQ(hint(body, finishProps("T")), 0);
  EXPECT_EQ(hint(body, finishProps("S")), 1);
  EXPECT_EQ(hint(body, finishProps("R")), 0);
  EXPECT_EQ(hint(body, finishProps("S")), 0);
  EXPECT_EQ(me.events().size(), 8u);
  EXPECT_EQ(render(me.events()[0]), "21||0||0|0||||" + finishProps("R"));
}

TEST_F(HintTest, BeginHintOutsideAGroupIsHiddenUnlessUnboundCallsAreOn) {
  const std::string outside = "{\"operType\":\"21\",\"usersInfo\":\"groupId=0,roomId=U\"}";
  const std::string inGroup = "{\"operType\":\"21\",\"usersInfo\":\"groupId=300,roomId=U\"}";
  EXPECT_EQ(hint(body, outside), 1);
  EXPECT_EQ(hint(body, inGroup), 0);
  plugin().settings().unbindSwitch.store(1);
  EXPECT_EQ(hint(body, outside), 0);
  EXPECT_EQ(me.events().size(), 3u);
}

TEST_F(HintTest, OtherHintsAreShownWithoutEvent) {
  EXPECT_EQ(hint("{\"msgBodyType\":\"11\"}", finishProps("R")), 0);
  EXPECT_EQ(hint(body, "{\"operType\":\"23\",\"usersInfo\":\"roomId=R\"}"), 0);
  EXPECT_EQ(hint(body, "{\"operType\":\"22\",\"usersInfo\":\"groupId=1\"}"), 0);
  EXPECT_EQ(hint("", ""), 0);
  EXPECT_EQ(me.events().size(), 1u);  // only the finish hint without a room
}

const char kRtcCard[] =
    "{\"type\":\"rtc\",\"title\":\"call\",\"extendInfo\":{\"rtcType\":\"rtc\",\"roomID\":\"r5\","
    "\"senderId\":\"2001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"version\":\"mrtc@1.8.8\","
    "\"mode\":\"mcalling\",\"subType\":1}}";

std::string microCard(const std::string& owner, const std::string& conferType) {
  return "{\"type\":\"rtc\",\"extendInfo\":{\"rtcType\":\"microconfer\",\"conferType\":\"" +
         conferType +
         "\",\"roomID\":\"m1\",\"senderId\":\"2001\",\"onwerId\":\"" + owner +
         "\",\"version\":\"mrtc@1.8.8\",\"mode\":\"mcalling\",\"conferMode\":\"chat\","
         "\"beginTime\":\"1700000000\",\"roomName\":\"board\",\"selects\":[\"1001\",\"2002\"]}}";
}

TEST_F(NotifyTest, CallCardIsShownAsItCame) {
  deliver(kCaller, kAndroid, kGroup, kRtcCard, 26);
  EXPECT_THAT(events(), ElementsAre(std::string("22||0||0|0||||") + kRtcCard));
  EXPECT_FALSE(talking());
}

TEST_F(NotifyTest, ConferenceCardRingsLikeACallFromTheWeb) {
  deliver(kCaller, kAndroid, kGroup, microCard("2001", "1"), 26);
  EXPECT_THAT(events(),
              ElementsAre("1||2001|1001,2002|0|2001|m1|board|1001,2002|{\"mode\":\"normal\","
                          "\"peer_devtype\":\"h5\",\"rtcType\":\"microconfer\","
                          "\"conferMode\":\"chat\",\"initState\":[\"1001_312\"]}"));
  EXPECT_THAT(timers(), ElementsAre("1/1/2/m1/1001/68", "1/0/3/keepalive//60/refresh",
                                    "1/1/1/m1/2002/88"));
}

TEST_F(NotifyTest, OwnConferenceCardDoesNotRing) {
  deliver(kCaller, kAndroid, kGroup, microCard("1001", "1"), 26);
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_TRUE(me.hasLog("notify_call: microconfer is onwer."));
}

}  // namespace
}  // namespace notify_test
