// Messages from strangers that are not what they claim: every body type with
// broken, mistyped, huge and deeply nested bodies, live and pulled. None may
// crash, report, send or change the running talk.
#include "base/wire_words.h"
#include "notify/notify_fixture.h"

namespace notify_test {
namespace {

// Steps that carry this version go past the version check into the store.
const std::string kVersion =
    std::string(R"("version":")") + imsdkmrtc::texts::kProtocolVersion + "\"}";

// clang-format off
std::vector<std::string> badBodies() {
  const std::string mib(1 << 20, 'x');
  return {
      "", "null", "[]", "{", "\xff\xfe\x00\x01", "{\"type\":5}",
      "{\"type\":null,\"roomId\":null}", "{\"type\":\"multi_zzz\",\"roomId\":\"r1\"}",
      "{\"type\":\"multi_unknown_long_name\",\"roomId\":\"r1\"}", "{\"type\":\"multi_join\",\"roomId\":\"r1\"}",
      // Known steps whose values have the wrong JSON types.
      "{\"type\":\"multi_hungup\",\"roomId\":[\"r1\"],\"senderId\":5,\"groupId\":{},"
      "\"selects\":\"x\",\"members\":[{},\"a\",null,1.5],\"memstates\":[1,\"true\"]}",
      "{\"type\":\"multi_call\",\"roomId\":7,\"selects\":[1001],\"members\":1001," + kVersion,
      "{\"type\":\"multi_call\",\"roomId\":\"r2\",\"selects\":[1001],\"members\":[0]," + kVersion,
      "{\"type\":\"multi_invite\",\"roomId\":\"r1\",\"selects\":[[1001]]," + kVersion,
      "{\"type\":\"multi_finish\",\"roomId\":\"\",\"groupId\":\"-1\"}",
      "{\"type\":\"cmd_reply_querytalk\",\"roomId\":\"r1\",\"members\":[-5,0,1]}",
      "{\"type\":\"multi_version\",\"annotation\":\"far_sdk_versionmatchfail\","
      "\"extend\":\"{\\\"caller\\\":\\\"\"}",
      "{\"type\":\"multi_mfinish\",\"VideoStatus\":\"single\",\"roomId\":\"r1\"}",
      "{\"type\":\"multi_call\",\"roomId\":\"" + mib + "\",\"selects\":[1001]," + kVersion,
      mib, std::string(200000, '[') + std::string(200000, ']'), "{\"a\":" + std::string(100000, '{'),
      // Hints and cards that are not.
      "{\"msgBodyType\":\"12\"}",
      "{\"type\":\"vnio\",\"msgProperties\":\"{\\\"extendInfo\\\":{\\\"microconfer\\\":1}\"}",
      "{\"extendInfo\":{\"rtcType\":\"microconfer\",\"roomID\":\"m\",\"senderId\":\"1\"}}",
  };
}
// clang-format on

const uint16_t kBodyTypes[] = {0, 1, 2, 8, 12, 14, 15, 26, 255};

TEST_F(NotifyTest, GarbageLiveOrPulledIsDroppedAndTheTalkRunsOn) {
  ring();
  const auto timersBefore = timers();
  std::vector<imsdk::hostMessage> batch;
  for (uint16_t type : kBodyTypes) {
    for (const std::string& body : badBodies()) {
      net.inject(4004, kPc, kGroup, body, type, body);
      // Target 10001 also tries the service-account fix-up.
      batch.push_back(hostMsg(4004, 10001, body, 0, static_cast<uint8_t>(type), body));
    }
  }
  net.pump();
  me.pull(batch);
  me.pull({});
  plugin().onpostServer(imsdk::kEventPulled, nullptr);
  plugin().onpostServer(99, nullptr);
  EXPECT_EQ(me.events().size(), 1u);
  EXPECT_EQ(timers(), timersBefore);
  EXPECT_THAT(sent(), IsEmpty());
  EXPECT_TRUE(talking());
  EXPECT_TRUE(me.hasLog("notify: transfrom to cmd fail."));
  EXPECT_TRUE(me.hasLog("notify: not multi message."));
  EXPECT_TRUE(me.hasLog("onOffLineNotify: transfrom to cmd fail."));
}

TEST_F(NotifyTest, PushedGarbageIsAnsweredWithItsCode) {
  EXPECT_EQ(notify().onPushNotify(kCaller, ""), 81);
  EXPECT_EQ(notify().onPushNotify(kCaller, "{"), 81);
  EXPECT_EQ(notify().onPushNotify(kCaller, "{\"type\":\"multi_blank\"}"), 82);
  EXPECT_EQ(notify().onPushNotify(kCaller, "{\"type\":\"not_a_multi_command\"}"), 82);
  EXPECT_EQ(notify().onPushNotify(kCaller, "{\"type\":\"multi_time\",\"roomId\":\"r1\"}"), 0);
  EXPECT_THAT(events(), IsEmpty());
}

}  // namespace
}  // namespace notify_test
