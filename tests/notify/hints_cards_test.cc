// Weak hints and cards that do not ring, received on slot 4.
#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

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

// A call card is shown as it came; a conference card of this user's own
// conference does not ring.
TEST_F(NotifyTest, CardsThatDoNotRing) {
  const std::string rtcCard =
      "{\"type\":\"rtc\",\"title\":\"call\",\"extendInfo\":{\"rtcType\":\"rtc\",\"roomID\":\"r5\","
      "\"senderId\":\"2001\",\"groupId\":\"300\",\"onwerId\":\"2001\",\"version\":\"mrtc@1.8.8\","
      "\"mode\":\"mcalling\",\"subType\":1}}";
  deliver(kCaller, kAndroid, kGroup, rtcCard, 26);
  deliver(kCaller, kAndroid, kGroup, microCard("1001"), 26);
  EXPECT_THAT(events(), ElementsAre("22||0||0|0||||" + rtcCard));
  EXPECT_THAT(timers(), IsEmpty());
  EXPECT_FALSE(talking("r5") || talking("m1"));
  EXPECT_TRUE(me.hasLog("notify_call: microconfer is onwer."));
}

}  // namespace
}  // namespace notify_test
