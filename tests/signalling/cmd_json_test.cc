// The signalling command body: written byte for byte, read back field for
// field, and every correction the reader makes to what arrives.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"
#include "simhost/simhost.h"

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
  c.extend = "{\"mode\":\"single\"}";
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

void expectSame(const mrtcCmd& a, const mrtcCmd& b) {
  EXPECT_EQ(a.rtcType, b.rtcType);
  EXPECT_EQ(a.auxText, b.auxText);
  EXPECT_EQ(a.cmdCode, b.cmdCode);
  EXPECT_EQ(a.annotation, b.annotation);
  EXPECT_EQ(a.senderId, b.senderId);
  EXPECT_EQ(a.selects, b.selects);
  EXPECT_EQ(a.groupId, b.groupId);
  EXPECT_EQ(a.onwerId, b.onwerId);
  EXPECT_EQ(a.oName, b.oName);
  EXPECT_EQ(a.beginTime, b.beginTime);
  EXPECT_EQ(a.roomId, b.roomId);
  EXPECT_EQ(a.roomToken, b.roomToken);
  EXPECT_EQ(a.roomName, b.roomName);
  EXPECT_EQ(a.addr, b.addr);
  EXPECT_EQ(a.members, b.members);
  EXPECT_EQ(a.memstates, b.memstates);
  EXPECT_EQ(a.hismembers, b.hismembers);
  EXPECT_EQ(a.deviceType, b.deviceType);
  EXPECT_EQ(a.version, b.version);
  EXPECT_EQ(a.VideoStatus, b.VideoStatus);
  EXPECT_EQ(a.extend, b.extend);
  EXPECT_EQ(a.cmode, b.cmode);
  EXPECT_EQ(a.initState, b.initState);
  EXPECT_EQ(a.recall, b.recall);
  EXPECT_EQ(a.outMembers, b.outMembers);
  EXPECT_EQ(a.srvVer, b.srvVer);
  EXPECT_EQ(a.srvTag, b.srvTag);
  EXPECT_EQ(a.videoType, b.videoType);
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
    mrtcCmd sent = fullRecord(row.code);
    std::string body = write(sent);
    EXPECT_EQ(body, fullBody(row.name));
    expectSame(read(body), sent);
  }
}

TEST_F(CmdJsonTest, WriterLeavesOutEmptyAndZeroFields) {
  const struct {
    const char* what;
    std::function<void(mrtcCmd&)> set;
    const char* body;
  } rows[] = {
      {"code only", [](mrtcCmd& c) { c.cmdCode = 1; },
       "{\"type\":\"multi_call\",\"VideoStatus\":\"multi\"}"},
      {"nothing",
       [](mrtcCmd& c) {
         c.cmdCode = 0;
         c.VideoStatus.clear();
       },
       "{}"},
      {"unnamed code",
       [](mrtcCmd& c) {
         c.cmdCode = 4;
         c.VideoStatus.clear();
       },
       "{\"type\":\"multi_unknow\"}"},
      {"extreme ids",
       [](mrtcCmd& c) {
         c.cmdCode = 0;
         c.VideoStatus.clear();
         c.groupId = INT64_MIN;
         c.deviceType = -1;
         c.selects = {INT64_MAX};
       },
       "{\"groupId\":\"-9223372036854775808\",\"deviceType\":\"-1\","
       "\"selects\":[9223372036854775807]}"},
      {"never on the wire",
       [](mrtcCmd& c) {
         c.cmdCode = 0;
         c.VideoStatus.clear();
         c.recall = true;
         c.auxText = "x";
         c.outMembers = {"1"};
         c.roomName = std::string("\x01\t", 2);
       },
       "{\"roomName\":\"\\u0001\\t\"}"},
  };
  for (const auto& row : rows) {
    mrtcCmd cmd;
    row.set(cmd);
    EXPECT_EQ(write(cmd), row.body) << row.what;
  }
}

TEST_F(CmdJsonTest, CommandNames) {
  const struct {
    const char* name;
    int32_t code;
  } rows[] = {
      {"multi_call", 1},     {"cmd_reply_querytalk", 53},
      {"multi_xyz", 54},     {"abc", 54},
      {"cmd_reply_xyz", 55}, {"", 55},
      {"Multi_call", 55},    {"multi_", 54},
      {"multi_ca", 54},      {"multi_ca ", 54},
      {"abcdefg", 54},       {"abcdefgh", 55},
  };
  for (const auto& row : rows) EXPECT_EQ(proxy_.nameToCode(row.name), row.code) << row.name;
  EXPECT_EQ(proxy_.codeToName(53), "cmd_reply_querytalk");
  EXPECT_EQ(proxy_.codeToName(7), "multi_unknow");
  EXPECT_TRUE(msgProxy::isP2P("p2pconfer"));
  EXPECT_FALSE(msgProxy::isP2P("p2pconfer "));
  EXPECT_FALSE(msgProxy::isP2P("P2pconfer"));
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
      {"{\"type\":\"\"}", 54, "rtc"},
      {"{\"type\":1}", 54, "rtc"},
      // A repeated key counts only the first time it appears, null or not.
      {"{\"type\":null,\"type\":\"multi_call\",\"rtcType\":null,\"rtcType\":\"p2pconfer\"}", 54,
       "rtc"},
      {"{\"type\":\"multi_zzz\"}", 54, "rtc"},
      {"{\"type\":\"zzz\"}", 54, "rtc"},
      {"{\"type\":\"cmd_something\"}", 55, "rtc"},
      // A micro-conference finish implies its call kind unless one is given.
      {"{\"type\":\"multi_mfinish\"}", 9, "microconfer"},
      {"{\"type\":\"multi_mfinish\",\"rtcType\":\"rtc\"}", 9, "rtc"},
      {"{\"type\":\"multi_mfinish\",\"rtcType\":\"\"}", 9, "rtc"},
      // A missing or empty kind is an ordinary call.
      {"{\"type\":\"multi_call\",\"rtcType\":\"\"}", 1, "rtc"},
      {"{\"type\":\"multi_call\",\"rtcType\":7}", 1, "rtc"},
      // Only a media server invites into an unbound conference.
      {"{\"type\":\"multi_invite\",\"rtcType\":\"unbindconfer\",\"deviceType\":\"6\"}", 2,
       "unbindconfer"},
      {"{\"type\":\"multi_invite\",\"rtcType\":\"unbindconfer\",\"deviceType\":\"2\"}", 2, "rtc"},
      {"{\"type\":\"multi_invite\",\"rtcType\":\"unbindconfer\"}", 2, "rtc"},
      {"{\"type\":\"multi_invite\",\"rtcType\":\"unbindconfer\",\"deviceType\":6}", 2, "rtc"},
      {"{\"type\":\"multi_call\",\"rtcType\":\"unbindconfer\"}", 1, "unbindconfer"},
  };
  for (const auto& row : rows) {
    mrtcCmd cmd = read(row.body);
    EXPECT_EQ(cmd.cmdCode, row.code) << row.body;
    EXPECT_EQ(cmd.rtcType, row.rtcType) << row.body;
  }
}

TEST_F(CmdJsonTest, ReaderTakesIdListsAndSkipsWhatIsNotAnId) {
  mrtcCmd cmd = read(
      "{\"selects\":[\"12\",13,1.5,true,null,{},[],\"-4\"],"
      "\"members\":\"12\",\"hismembers\":[18446744073709551615,5],"
      "\"memstates\":[true,1,false,\"true\",null,true]}");
  EXPECT_EQ(cmd.selects, (std::vector<int64_t>{12, 13, -4}));
  EXPECT_TRUE(cmd.members.empty());
  EXPECT_EQ(cmd.hismembers, (std::vector<int64_t>{5}));
  EXPECT_EQ(cmd.memstates, (std::vector<uint8_t>{1, 0, 0, 0, 0, 1}));
}

TEST_F(CmdJsonTest, ReaderSkipsScalarsOfTheWrongType) {
  mrtcCmd cmd = read(
      "{\"senderId\":12,\"groupId\":\"\",\"onwerId\":\"8\",\"beginTime\":[1],"
      "\"deviceType\":\"4294967298\",\"roomId\":5,\"annotation\":null,"
      "\"initState\":[\"a\",1,\"b\"],\"VideoStatus\":{},\"version\":\"v\"}");
  EXPECT_EQ(cmd.senderId, 0);
  EXPECT_EQ(cmd.groupId, 0);
  EXPECT_EQ(cmd.onwerId, 8);
  EXPECT_EQ(cmd.beginTime, 0);
  EXPECT_EQ(cmd.deviceType, 2);  // low 32 bits
  EXPECT_EQ(cmd.roomId, "");
  EXPECT_EQ(cmd.annotation, "");
  EXPECT_EQ(cmd.initState, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(cmd.VideoStatus, "multi");
  EXPECT_EQ(cmd.version, "v");
}

TEST_F(CmdJsonTest, RecallFlag) {
  const struct {
    const char* body;
    bool recall;
  } rows[] = {
      {"{\"flag\":\"recall\"}", true},   {"{\"flag\":\"other\"}", false},
      {"{\"flag\":\"recall \"}", false}, {"{\"flag\":\"recall\\u0000x\"}", false},
      {"{\"flag\":true}", false},        {"{\"flag\":null}", false},
  };
  for (const auto& row : rows) EXPECT_EQ(read(row.body).recall, row.recall) << row.body;
}

TEST_F(CmdJsonTest, CorrectionsAreLogged) {
  simhost::Network net;
  simhost::Client& client = net.addClient("a", 11, 1);
  client.attach(&plugin_);
  const std::string body = "{\"type\":\"multi_call\",\"addr\":\"1.2.3.4:5\"}";
  EXPECT_EQ(read(body).addr, "1.2.3.4:5");
  EXPECT_TRUE(client.logs().empty());

  // Unless allowed, a media address chosen by another client is dropped.
  plugin_.settings().addrSwitch.store(0);
  EXPECT_EQ(read(body).addr, "");
  read("{\"type\":\"multi_invite\",\"rtcType\":\"unbindconfer\"}");
  const auto logs = client.logs();
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].text, "notify: transJson2Cmd addrmark:1.2.3.4:5.");
  EXPECT_EQ(logs[1].text, "notify: transJson2Cmd rtcType:rtc.");
  for (const auto& line : logs) {
    EXPECT_EQ(line.func, "imsdkmrtc::msgProxy::transJson2Cmd");
    EXPECT_EQ(line.tag, "mrtc");
    EXPECT_EQ(line.level, 0);
  }
  plugin_.setHost(nullptr);
}

TEST_F(CmdJsonTest, UnreadableBodyLeavesRecordUntouched) {
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  const std::string rows[] = {"",   "{\"type\":\"multi_call\"", "not json", "[1,2]", "\"x\"",
                              deep, "{\"a\":" + deep + "x}"};
  for (const auto& text : rows) {
    mrtcCmd cmd;
    cmd.roomId = "kept";
    EXPECT_FALSE(proxy_.transJson2Cmd(text, cmd)) << text.substr(0, 40);
    EXPECT_EQ(cmd.roomId, "kept");
    EXPECT_EQ(cmd.cmdCode, 54);
    EXPECT_EQ(cmd.rtcType, "");
  }
  // Deep nesting under an unknown key is parsed without recursion and ignored.
  mrtcCmd cmd = read("{\"type\":\"multi_time\",\"x\":" + deep + "}");
  EXPECT_EQ(cmd.cmdCode, 10);
}

TEST(CallExtendTest, ReadsFieldsAndDerivesVideoType) {
  const struct {
    const char* text;
    bool ok;
    const char* rtcType;
    const char* videoType;
    size_t outCount;
  } rows[] = {
      {"", true, "", "", 0},
      {"{}", true, "rtc", "", 0},
      {"{\"rtcType\":null}", true, "rtc", "", 0},
      {"{\"rtcType\":5}", true, "rtc", "", 0},
      {"{\"rtcType\":\"p2pconfer\",\"initState\":[\"42_312\"]}", true, "p2pconfer", "1", 0},
      {"{\"rtcType\":\"p2pconfer\",\"initState\":[\"42_312\",\"43_311\",\"44_300\"]}", true,
       "p2pconfer", "2", 0},
      {"{\"rtcType\":\"p2pconfer\",\"initState\":[\"42_911_3\"]}", true, "p2pconfer", "2", 0},
      {"{\"rtcType\":\"p2pconfer\",\"initState\":[\"42_1111\",\"x11\",\"_\"]}", true, "p2pconfer",
       "1", 0},
      {"{\"rtcType\":\"rtc\",\"initState\":[\"42_311\"]}", true, "rtc", "", 0},
      {"{\"initState\":[\"a\",1]}", false, "rtc", "", 0},
      {"{\"outMembers\":[\"7\",\"8\"]}", true, "rtc", "", 2},
      {"{\"outMembers\":[\"7\",8]}", false, "rtc", "", 1},
      {"{\"outMembers\":\"7\"}", true, "rtc", "", 0},
      {"{\"mode\":", false, "", "", 0},
      {"[]", false, "", "", 0},
  };
  for (const auto& row : rows) {
    callExtend ext;
    EXPECT_EQ(msgProxy::parseCallExtend(row.text, ext), row.ok) << row.text;
    EXPECT_EQ(ext.rtcType, row.rtcType) << row.text;
    EXPECT_EQ(ext.videoType, row.videoType) << row.text;
    EXPECT_EQ(ext.outMembers.size(), row.outCount) << row.text;
  }
  callExtend ext;
  ASSERT_TRUE(msgProxy::parseCallExtend(
      "{\"addr\":\"a:1\",\"conferMode\":\"cm\",\"mode\":\"single\",\"roomToken\":\"t\","
      "\"srvVer\":\"v\",\"srvTag\":\"g\",\"initState\":[\"1_100\"],\"extra\":[{}]}",
      ext));
  EXPECT_EQ(ext.addr, "a:1");
  EXPECT_EQ(ext.conferMode, "cm");
  EXPECT_EQ(ext.mode, "single");
  EXPECT_EQ(ext.roomToken, "t");
  EXPECT_EQ(ext.srvVer, "v");
  EXPECT_EQ(ext.srvTag, "g");
  EXPECT_EQ(ext.initState, (std::vector<std::string>{"1_100"}));
}

TEST(CacheAnswerTest, NeedsCodeZeroAndToken) {
  const struct {
    const char* text;
    bool ok;
    int64_t code;
    const char* token;
  } rows[] = {
      {"{\"code\":0,\"result\":\"ok\",\"token\":\"T1\"}", true, 0, "T1"},
      {"{\"code\":404,\"result\":\"none\",\"token\":\"T1\"}", false, 404, "T1"},
      {"{\"code\":0,\"result\":\"ok\",\"token\":\"\"}", false, 0, ""},
      {"{\"code\":\"0\",\"token\":\"T1\"}", false, -1, "T1"},
      {"{\"code\":0,\"token\":7}", false, 0, ""},
      {"{\"code\":0,", false, -1, ""},
      {"", false, -1, ""},
  };
  for (const auto& row : rows) {
    cacheAnswer answer;
    EXPECT_EQ(msgProxy::readCacheAnswer(row.text, answer), row.ok) << row.text;
    EXPECT_EQ(answer.code, row.code) << row.text;
    EXPECT_EQ(answer.token, row.token) << row.text;
  }
  cacheAnswer answer;
  ASSERT_TRUE(
      msgProxy::readCacheAnswer("{\"code\":0,\"result\":\"done\",\"token\":\"T\"}", answer));
  EXPECT_EQ(answer.result, "done");
}

}  // namespace
}  // namespace imsdkmrtc
