// The IPlugin slots as a host sees them: accepted ranges, constant slots, the
// command factory and the plug-in's small utilities.
#include <gtest/gtest.h>

#include <string>

#include "clock_control.h"
#include "notify/plugin_notify.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"

namespace imsdkmrtc {
namespace {

TEST(PluginSlots, RequestSlotsAcceptOnlyTheCommandRangeWithAHost) {
  mrtc_plugin plugin;
  imsdk::cmdEnvelope env;
  // Without a host every request is refused.
  EXPECT_FALSE(plugin.onRequest(24001, reinterpret_cast<uintptr_t>(&env), nullptr));
  EXPECT_FALSE(plugin.onNetRequest(24001, reinterpret_cast<uintptr_t>(&env), 0));
  EXPECT_FALSE(plugin.onOther(24101, 0, 0));

  simhost::Network net;
  simhost::Client& client = net.addClient("a", 1001);
  client.attach(&plugin);
  const std::pair<uint16_t, bool> cases[] = {{23999, false}, {24000, true}, {24998, true},
                                             {24999, false}, {0, false},    {65535, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(plugin.onRequest(c.first, 0, nullptr), c.second);
    EXPECT_EQ(plugin.onNetRequest(c.first, 0, 0), c.second);
  }
  imsdk::hostMessage msg;
  msg.bodyType = 14;
  msg.body = R"({"type":"multi_call"})";
  EXPECT_EQ(plugin.onNotify(143, reinterpret_cast<uintptr_t>(&msg), 0), 0);
}

// A post the host refuses leaves the record with the plug-in, which frees it
// once (the sanitizer builds catch a leak or a second free).
TEST(PluginSlots, RefusedPostsAreReleasedByThePlugin) {
  mrtc_plugin plugin;
  simhost::Network net;
  simhost::Client& client = net.addClient("a", 1001);
  client.attach(&plugin);
  client.config().failPost = true;
  client.extra(1, R"({"pcOnOff":"on"})");
  plugin.notify()->pushTextEvent(21, "hint");
  EXPECT_TRUE(client.results().empty());
  EXPECT_TRUE(client.events().empty());
  EXPECT_TRUE(client.hasLog("send ui event: type=21, annotation=, ret=1."));
  client.config().failPost = false;
  client.extra(1, R"({"pcOnOff":"on"})");
  ASSERT_EQ(client.results().size(), 1u);
  EXPECT_EQ(client.results()[0].result, 0);
}

TEST(PluginSlots, ConstantSlots) {
  mrtc_plugin plugin;
  EXPECT_EQ(plugin.getName(), "mrtcplugin");
  int32_t stamp = 0;
  EXPECT_EQ(plugin.getStamp(&stamp), &stamp);
  EXPECT_EQ(stamp, 1638358464);
  EXPECT_TRUE(plugin.slot1(0, 0));
  EXPECT_FALSE(plugin.slot5(0, 0, 0, 0));
  EXPECT_FALSE(plugin.slot8(0));
  EXPECT_TRUE(plugin.slot11(0, 0, 0, 0));
  EXPECT_FALSE(plugin.slot13(0, 0, 0));
  EXPECT_FALSE(plugin.slot17());
  EXPECT_TRUE(plugin.slot18());
  EXPECT_TRUE(plugin.slot19(0));
  EXPECT_TRUE(plugin.slot20());
  EXPECT_EQ(plugin.slot22(0, 0, 0), 0);
  EXPECT_EQ(plugin.slot23(0, 0, 0, 0, 0), 0);
}

TEST(CommandFactory, CreatesTheRecordOfEachId) {
  mrtc_plugin plugin;
  struct Case {
    uint16_t id;
    bool isRequest;
    int32_t size;  // 0: no record
  } cases[] = {
      {24000, true, 0},   {24001, true, 144},  {24005, true, 144}, {24006, true, 72},
      {24007, true, 184}, {24007, false, 184}, {24008, true, 0},   {24008, false, 0},
      {24009, true, 144}, {24010, true, 144},  {24001, false, 88}, {24006, false, 88},
      {24010, false, 88}, {24011, true, 0},    {24101, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + (c.isRequest ? " request" : " response"));
    imsdk::_sdkcmd_base* record = plugin.createCmd(c.id, c.isRequest);
    if (c.size == 0) {
      EXPECT_EQ(record, nullptr);
      continue;
    }
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->size(), c.size);
    plugin.releaseCmd(c.id, record, 0);
  }
  plugin.releaseCmd(24001, nullptr, 0);
}

TEST(CommandFactory, ClonesRequestRecordsOfTheSameKind) {
  mrtc_plugin plugin;
  imsdk::req_mrtc_extra extra;
  extra.id = 77;
  extra.type = 16;
  extra.cmd = R"({"enable":"on"})";
  extra.extend = "{}";
  auto* copy = dynamic_cast<imsdk::req_mrtc_extra*>(plugin.cloneCmd(24006, &extra, 0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->id, 77);
  EXPECT_EQ(copy->type, 16);
  EXPECT_EQ(copy->cmd, extra.cmd);
  EXPECT_EQ(copy->extend, "{}");
  plugin.releaseCmd(24006, copy, 0);

  imsdk::req_mrtc_request request;
  request.id = 5;
  request.members = {7, 9};
  request.roomId = "r";
  auto* call = dynamic_cast<imsdk::req_mrtc_request*>(plugin.cloneCmd(24001, &request, 0));
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->members, request.members);
  EXPECT_EQ(call->roomId, "r");
  plugin.releaseCmd(24001, call, 0);

  // A source of another kind is not copied; a null source gives a fresh record.
  auto* mismatch = dynamic_cast<imsdk::req_mrtc_request*>(plugin.cloneCmd(24001, &extra, 0));
  ASSERT_NE(mismatch, nullptr);
  EXPECT_EQ(mismatch->id, 0);
  plugin.releaseCmd(24001, mismatch, 0);
  EXPECT_EQ(plugin.cloneCmd(24008, &extra, 0), nullptr);
}

TEST(PluginUtilities, SequenceNumbersStartFromTheClockAndPeekingTakesNone) {
  commlib::useVirtualTime(1700000000000);
  mrtc_plugin plugin;
  commlib::useRealTime();
  const int64_t peeked = plugin.nextSeq(seqStep::kPeek);
  EXPECT_EQ(peeked, int64_t{16999000000});  // (1700000000 s - 100000) x 10
  EXPECT_EQ(plugin.nextSeq(seqStep::kPeek), peeked);
  EXPECT_EQ(plugin.nextSeq(seqStep::kAdvance), peeked + 1);
}

TEST(PluginUtilities, SupportedCallKindsFollowTheSwitches) {
  mrtc_plugin plugin;
  struct Case {
    const char* rtcType;
    int64_t x;
    uint8_t p2p;
    uint8_t unbind;
    bool supported;
  } cases[] = {
      {"rtc", 0, 0, 0, true},
      {"RTC", 0, 1, 1, false},
      {"microconfer", 0, 0, 0, true},
      {"unbindconfer", 5, 0, 0, true},
      {"unbindconfer", 0, 0, 0, false},
      {"unbindconfer", 0, 0, 1, true},
      {"p2pconfer", 5, 0, 1, false},
      {"p2pconfer", 0, 1, 0, true},
      {"", 0, 1, 1, false},
      {"other", 3, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rtcType) + " x=" + std::to_string(c.x));
    plugin.settings().p2pSwitch = c.p2p;
    plugin.settings().unbindSwitch = c.unbind;
    EXPECT_EQ(plugin.isSupportedRtcType(c.rtcType, c.x), c.supported);
  }
}

TEST(PluginUtilities, CallsEnabledOnlyGatesThePcClient) {
  mrtc_plugin pc;
  mrtc_plugin phone(2);
  pc.settings().pcOnOff = 0;
  phone.settings().pcOnOff = 0;
  EXPECT_FALSE(pc.callsEnabled());
  EXPECT_TRUE(phone.callsEnabled());
  pc.settings().pcOnOff = 1;
  EXPECT_TRUE(pc.callsEnabled());
}

}  // namespace
}  // namespace imsdkmrtc
