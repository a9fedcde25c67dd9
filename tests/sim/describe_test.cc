// What the outputs read out of a message: the command's words of a body, a
// card's members, where a message to the service account goes, and the
// setting texts the tools write as an application would.
#include "describe.h"

#include <gtest/gtest.h>

#include "names.h"
#include "routing.h"
#include "sdk_cmd.h"
#include "setting_text.h"

namespace codec {
namespace {

std::string described(const std::string& body) {
  Item item;
  item.set("type", int64_t{300});
  describeBody(item, body);
  std::string out;
  for (const Field& f : item.fields) out += f.key + "=" + valueText(f.value) + ";";
  return out;
}

// Bodies come one after another, often the same one for every member of a
// group: the fields are always the current body's, never the one before.
TEST(DescribeBody, NamesTheCommandFlagAndAnnotationOfTheBodyAtHand) {
  const std::string call = R"({"type":"multi_call","flag":"recall","annotation":"a b","x":1})";
  EXPECT_EQ(described(call), "type=300;command=multi_call;flag=recall;annotation=a b;");
  EXPECT_EQ(described(call), "type=300;command=multi_call;flag=recall;annotation=a b;");
  EXPECT_EQ(described(R"({"type":"multi_hungup"})"), "type=300;command=multi_hungup;");
  EXPECT_EQ(described("plain words"), "type=300;");
  EXPECT_EQ(described(R"({"type":"multi_hungup"})"), "type=300;command=multi_hungup;");
  EXPECT_EQ(described(""), "type=300;");
  // Only texts count; a document that is no object carries none.
  EXPECT_EQ(described(R"({"type":5,"flag":null,"annotation":["x"]})"), "type=300;");
  EXPECT_EQ(described(R"(["multi_call"])"), "type=300;");
  EXPECT_EQ(described(R"({"annotation":"only"})"), "type=300;annotation=only;");
}

TEST(DescribeBody, CardMembersAreReadAtTheTopOrInTheirExtendInfo) {
  const std::string card =
      R"({"roomId":"top","extendInfo":{"roomId":"inner","groupId":500,"owner":"7","x":1.5}})";
  EXPECT_EQ(textMember(card, "roomId"), "top");
  EXPECT_EQ(textMember(card, "groupId"), "500");
  EXPECT_EQ(textMember(card, "owner"), "7");
  EXPECT_EQ(textMember(card, "x"), "");
  EXPECT_EQ(textMember(card, "absent"), "");
  EXPECT_EQ(textMember(R"({"groupId":-3,"extendInfo":"text"})", "groupId"), "-3");
  EXPECT_EQ(textMember(R"({"extendInfo":"text"})", "groupId"), "");
  EXPECT_EQ(textMember("{", "roomId"), "");
  EXPECT_EQ(textMember(R"(["roomId"])", "roomId"), "");
}

TEST(Routing, TheServiceAccountRelaysToTheTargetItsPropertiesName) {
  struct Case {
    const char* properties;
    int64_t target;
  } cases[] = {
      {R"({"targetID":10002})", 10002},
      {R"({"targetID":"10003"})", 10003},
      {R"({"targetID":" 10004 "})", 10004},
      {R"({"other":1,"targetID":"-5"})", -5},
      {R"({"targetID":"10x"})", 0},
      {R"({"targetID":""})", 0},
      {R"({"targetID":1.5})", 0},
      {R"({"targetID":true})", 0},
      {R"({"targetid":10002})", 0},
      {R"([10002])", 0},
      {"", 0},
      {R"({"targetID":10002)", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(relayTarget(c.properties), c.target) << c.properties;
}

TEST(SettingText, ToolsWriteFlatTextObjectsInTheOrderGiven) {
  EXPECT_EQ(recallText(30, 2), R"({"enable":"on","duration":"30","count":"2"})");
  EXPECT_EQ(switchText("boardSwitch", false), R"({"boardSwitch":"off"})");
  EXPECT_EQ(switchText("enable", true), R"({"enable":"on"})");
  EXPECT_EQ(settingText({}), "{}");
  EXPECT_EQ(settingText({{"groupId", "5\"6"}, {"b", ""}}), R"({"groupId":"5\"6","b":""})");
}

TEST(Names, EveryRequestNameLeadsBackToItsNumber) {
  const uint16_t requests[] = {
      imsdk::kCmdCall,      imsdk::kCmdInvite,       imsdk::kCmdIntoRoom,
      imsdk::kCmdJoin,      imsdk::kCmdHungup,       imsdk::kCmdExtra,
      imsdk::kCmdKeepAlive, imsdk::kCmdConnectState, imsdk::kCmdTempletJoin};
  std::string names;
  for (uint16_t cmd : requests) {
    EXPECT_EQ(requestOfName(requestName(cmd)), cmd) << cmd;
    names += requestName(cmd) + " ";
  }
  EXPECT_EQ(names, "call invite intoroom join hungup extra keepalive connectstate templetjoin ");
  EXPECT_EQ(requestName(24999), "unknown");
  EXPECT_EQ(requestOfName("unknown"), 0);
  EXPECT_EQ(requestOfName("Call"), 0);
  EXPECT_EQ(eventName(-1), "(unknown)");
  EXPECT_EQ(timeoutName(-1), "other");
  EXPECT_EQ(deviceName(77), "device 77");
}

}  // namespace
}  // namespace codec
