// The signalling command body: written byte for byte, read back field for
// field, and every correction the reader makes to what arrives.
#include <gtest/gtest.h>

#include <string>

#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"
#include "simhost.h"

namespace imsdkmrtc {
namespace {

// Every field that travels set to a non-default value; strings carry bytes
// the writer must escape and UTF-8 it must pass through.
mrtcCmd fullRecord(int32_t code) {
  mrtcCmd c;
  c.cmdCode = code;
  c.rtcType = "p2pconfer";
  c.annotation = "refuse";
  c.senderId = -5;
  c.selects = {12, -13};
  c.groupId = 900000000000000001;
  c.onwerId = 7;
  c.oName = "5byg5LiJ";
  c.beginTime = 1700000000;
  c.roomId = "r-1";
  c.roomToken = "tok\"en";
  c.roomName = "a\\b\n\xE4\xB8\x89";
  c.addr = "10.0.0.1:4000";
  c.members = {7, 12};
  c.memstates = {1, 0};
  c.hismembers = {99};
  c.deviceType = 3;
  c.version = "mrtc@1.8.8";
  c.VideoStatus = "video";
  c.extend = R"({"mode":"single"})";
  c.cmode = "free";
  c.initState = {"7_111", "12_300"};
  c.srvVer = "2.1";
  c.srvTag = "east";
  c.videoType = "2";
  return c;
}

const char* const kFullBody =
    "{\"type\":\"%s\",\"annotation\":\"refuse\",\"senderId\":\"-5\","
    "\"groupId\":\"900000000000000001\",\"onwerId\":\"7\",\"roomId\":\"r-1\","
    "\"roomToken\":\"tok\\\"en\",\"oName\":\"5byg5LiJ\",\"roomName\":\"a\\\\b\\n\xE4\xB8\x89\","
    "\"addr\":\"10.0.0.1:4000\",\"srvVer\":\"2.1\",\"srvTag\":\"east\",\"videoType\":\"2\","
    "\"cmode\":\"free\",\"beginTime\":\"1700000000\",\"deviceType\":\"3\","
    "\"version\":\"mrtc@1.8.8\",\"VideoStatus\":\"video\","
    "\"extend\":\"{\\\"mode\\\":\\\"single\\\"}\",\"rtcType\":\"p2pconfer\","
    "\"selects\":[12,-13],\"members\":[7,12],\"memstates\":[true,false],\"hismembers\":[99],"
    "\"initState\":[\"7_111\",\"12_300\"]}";

std::string fullBody(const std::string& name) {
  std::string body = kFullBody;
  body.replace(body.find("%s"), 2, name);
  return body;
}

class CmdJsonTest : public ::testing::Test {
 protected:
  mrtc_plugin plugin_;
  msgProxy& proxy_ = plugin_.proxy();

  std::string write(const mrtcCmd& cmd) {
    std::string out;
    EXPECT_TRUE(proxy_.transCmd2Json(cmd, out));
    return out;
  }
  mrtcCmd read(const std::string& text) {
    mrtcCmd cmd;
    EXPECT_TRUE(proxy_.transJson2Cmd(text, cmd)) << text;
    return cmd;
  }
};

TEST_F(CmdJsonTest, EveryCommandWritesExactBodyAndReadsBack) {
  const struct {
    int32_t code;
    const char* name;
  } rows[] = {
      {1, "multi_call"},       {2, "multi_invite"},         {3, "multi_intoroom"},
      {5, "multi_hungup"},     {6, "multi_finish"},         {8, "multi_version"},
      {9, "multi_mfinish"},    {10, "multi_time"},          {51, "multi_reply"},
      {52, "multi_querytalk"}, {53, "cmd_reply_querytalk"}, {54, "multi_blank"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string body = write(fullRecord(row.code));
    EXPECT_EQ(body, fullBody(row.name));
    // Every field read back lands where the writer took it from.
    mrtcCmd back = read(body);
    EXPECT_EQ(back.cmdCode, row.code);
    EXPECT_EQ(write(back), body);
  }
}

TEST_F(CmdJsonTest, WriterLeavesOutEmptyAndZeroFields) {
  mrtcCmd cmd;
  cmd.cmdCode = 1;
  EXPECT_EQ(write(cmd), R"({"type":"multi_call","VideoStatus":"multi"})");
  cmd.cmdCode = 4;
  cmd.VideoStatus.clear();
  EXPECT_EQ(write(cmd), R"({"type":"multi_unknow"})");
  cmd.cmdCode = 0;
  EXPECT_EQ(write(cmd), "{}");
  // Extreme ids; fields kept only locally never go out; control bytes escaped.
  cmd.groupId = INT64_MIN;
  cmd.deviceType = -1;
  cmd.selects = {INT64_MAX};
  cmd.recall = true;
  cmd.auxText = "x";
  cmd.outMembers = {"1"};
  cmd.roomName = std::string("\x01\t", 2);
  EXPECT_EQ(write(cmd),
            R"({"groupId":"-9223372036854775808","roomName":"\u0001\t","deviceType":"-1",)"
            R"("selects":[9223372036854775807]})");
  // The largest id reads back as itself; one past it is no id.
  EXPECT_EQ(read(write(cmd)).selects, std::vector<int64_t>{INT64_MAX});
  EXPECT_TRUE(read(R"({"type":"multi_call","selects":[9223372036854775808]})").selects.empty());
}

// What a received body turns into, for the fields each correction touches.
struct readCase {
  const char* body;
  int32_t code;
  const char* rtcType;
};

TEST_F(CmdJsonTest, ReaderCorrectsTypeAndCallKind) {
  const readCase rows[] = {
      // An absent, null, empty or non-string name leaves the blank code.
      {"{}", 54, "rtc"},
      {"{\"type\":null}", 54, "rtc"},
      {R"({"type":""})", 54, "rtc"},
      {"{\"type\":1}", 54, "rtc"},
      // A repeated key counts only the first time it appears, null or not.
      {R"({"type":null,"type":"multi_call","rtcType":null,"rtcType":"p2pconfer"})", 54, "rtc"},
      {R"({"type":"multi_zzz"})", 54, "rtc"},
      {R"({"type":"zzz"})", 54, "rtc"},
      {R"({"type":"cmd_something"})", 55, "rtc"},
      {R"({"type":"Multi_call"})", 55, "rtc"},
      {R"({"type":"abcdefg"})", 54, "rtc"},
      {R"({"type":"abcdefgh"})", 55, "rtc"},
      // A micro-conference finish implies its call kind unless one is given.
      {R"({"type":"multi_mfinish"})", 9, "microconfer"},
      {R"({"type":"multi_mfinish","rtcType":"rtc"})", 9, "rtc"},
      {R"({"type":"multi_mfinish","rtcType":""})", 9, "rtc"},
      // A missing or empty kind is an ordinary call.
      {R"({"type":"multi_call","rtcType":""})", 1, "rtc"},
      {R"({"type":"multi_call","rtcType":7})", 1, "rtc"},
      // Only a media server invites into an unbound conference.
      {R"({"type":"multi_invite","rtcType":"unbindconfer","deviceType":"6"})", 2, "unbindconfer"},
      {R"({"type":"multi_invite","rtcType":"unbindconfer","deviceType":"2"})", 2, "rtc"},
      {R"({"type":"multi_invite","rtcType":"unbindconfer"})", 2, "rtc"},
      {R"({"type":"multi_invite","rtcType":"unbindconfer","deviceType":6})", 2, "rtc"},
      {R"({"type":"multi_call","rtcType":"unbindconfer"})", 1, "unbindconfer"},
  };
  for (const auto& row : rows) {
    mrtcCmd cmd = read(row.body);
    EXPECT_EQ(cmd.cmdCode, row.code) << row.body;
    EXPECT_EQ(cmd.rtcType, row.rtcType) << row.body;
  }
}

TEST_F(CmdJsonTest, CorrectionsAreLogged) {
  simhost::Network net;
  simhost::Client& client = net.addClient("a", 11, 1);
  client.attach(&plugin_);
  const std::string body = R"({"type":"multi_call","addr":"1.2.3.4:5"})";
  EXPECT_EQ(read(body).addr, "1.2.3.4:5");
  EXPECT_TRUE(client.logs().empty());

  // Unless allowed, a media address chosen by another client is dropped.
  plugin_.settings().addrSwitch.store(0);
  EXPECT_EQ(read(body).addr, "");
  read(R"({"type":"multi_invite","rtcType":"unbindconfer"})");
  const auto logs = client.logs();
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].text, "notify: transJson2Cmd addrmark:1.2.3.4:5.");
  EXPECT_EQ(logs[1].text, "notify: transJson2Cmd rtcType:rtc.");
  EXPECT_EQ(logs[0].func, "imsdkmrtc::msgProxy::transJson2Cmd");
  EXPECT_EQ(logs[1].tag + std::to_string(logs[1].level), "mrtc0");
  plugin_.setHost(nullptr);
}

}  // namespace
}  // namespace imsdkmrtc
