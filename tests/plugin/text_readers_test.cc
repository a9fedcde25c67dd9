// The plain-text value readers, Base64 and the protocol version word.
#include "base/text_readers.h"

#include <gtest/gtest.h>

#include <string>

#include "base/base64.h"
#include "base/version.h"
#include "slb/slb_server.h"

namespace imsdkmrtc {
namespace {

struct TextCase {
  const char* text;
  const char* key;
  const char* jsonText;
  const char* jsonString;
  int32_t jsonInt;
};

TEST(TextReaders, GetJsonTextStringAndInt) {
  const TextCase cases[] = {
      {"", "a", "null", "", -1},
      {R"({"a":"x"})", "b", "unknow", "", -1},
      {R"({"a":""})", "a", "blank", "", -1},
      {R"({"a":"blank"})", "a", "blank", "", -1},
      {R"({"a":"null"})", "a", "null", "", -1},
      {R"({"a":12})", "a", "unknow", "", -1},
      {R"({"a":"12"})", "a", "12", "12", 12},
      {R"({"a":"-7"})", "a", "-7", "-7", -7},
      {R"({"a":"4294967297"})", "a", "4294967297", "4294967297", 1},
      {R"({"a":"1x"})", "a", "1x", "1x", -1},
      {R"({"a" : "v w"})", "a", "v w", "v w", -1},
      {R"({"a":"v\"w"})", "a", "v\\", "v\\", -1},
      {R"({"a"})", "a", "unknow", "", -1},
      {R"({"a":)", "a", "unknow", "", -1},
      {R"({"a":")", "a", "unknow", "", -1},
      {R"({"a":"x)", "a", "unknow", "", -1},
      // The key is plain text: found first inside an earlier value.
      {R"({"b":"xa:","a":"z"})", "a", ",", ",", -1},
      {R"({"xtype":"1","type":"2"})", "type", "1", "1", 1},
      // A start of the key that breaks off is passed over.
      {R"({"typ":"0","tyq":"1","type":"2"})", "type", "2", "2", 2},
      {R"({"a":"1"})", "{\"a\":\"1\"}x", "unknow", "", -1},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.key);
    EXPECT_EQ(getJsonText(c.text, c.key), c.jsonText);
    EXPECT_EQ(getJsonString(c.text, c.key), c.jsonString);
    EXPECT_EQ(getJsonInt(c.text, c.key), c.jsonInt);
  }
}

TEST(TextReaders, GetJsonBoolAcceptsOnlyQuotedOnOff) {
  struct Case {
    const char* text;
    bool found;
    bool value;
  } cases[] = {
      {R"({"k":"on"})", true, true},   {R"({"k":"off"})", true, false},
      {R"({"k":true})", false, false}, {R"({"k":"ON"})", false, false},
      {R"({"k":"1"})", false, false},  {"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    bool out = !c.value;  // proves the reader writes, or leaves it alone
    const bool before = out;
    EXPECT_EQ(getJsonBool(c.text, "k", out), c.found);
    EXPECT_EQ(out, c.found ? c.value : before);
  }
}

TEST(TextReaders, NumberAndKeyValueReadersRefuseEmptyOrQuotedValues) {
  EXPECT_EQ(getJsonNumber(R"({"x":1,"netId": 7 ,"y":2})", "netId"), "7");
  EXPECT_EQ(getJsonNumber(R"({"netId":,"x":1})", "netId"), "");
  EXPECT_EQ(getJsonNumber(R"({"netId":"7"})", "netId"), "");
  EXPECT_EQ(getJsonNumber(R"({"netId":7)", "netId"), "");  // never ends
  EXPECT_EQ(getKeyValue("groupId=0,roomId=r-1", "roomId"), "r-1");
  EXPECT_EQ(getKeyValue("roomId=", "roomId"), "");
}

TEST(TextReaders, SurviveEmptyTruncatedNonJsonAndHugeTexts) {
  const std::string nested(1 << 20, '{');
  const std::string unterminated = "{\"k\":\"" + std::string(1 << 20, 'v');
  const std::string hugeArray = "{\"mediaServerAddr\":[" + std::string(1 << 20, '1') + "]}";
  const std::string texts[] = {
      "",     "{",          "{\"k\":", "not json", std::string(1, '\0'), "\"\"\"::,,}}",
      nested, unterminated, hugeArray};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 16));
    bool flag = false;
    EXPECT_FALSE(getJsonText(text, "k").empty());
    EXPECT_EQ(getJsonInt(text, "k"), -1);
    EXPECT_FALSE(getJsonBool(text, "k", flag));
    EXPECT_EQ(getJsonNumber(text, "k"), "");
    EXPECT_EQ(getKeyValue(text, "k"), "");
    EXPECT_EQ(slbServer::jsonStringMember(text, "mediaServerAddr"), "");
    slbServer slb;
    std::string ap = "unchanged";
    std::string netId;
    EXPECT_FALSE(slb.parseApHostNetId(text, ap, netId));
    EXPECT_EQ(ap, "unchanged");
  }
}

TEST(Base64, RoundTripsAndStopsAtPadding) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},        {"A", "QQ=="},        {"AB", "QUI="},
      {"ABC", "QUJD"}, {"张三", "5byg5LiJ"}, {std::string("\xff\x00\x01", 3), "/wAB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(base64Encode(c.first), c.second);
    EXPECT_EQ(base64Decode(c.second), c.first);
  }
  EXPECT_EQ(base64Decode("QQ==QUJD"), "A");
}

TEST(ProtocolVersion, ComparesMajorKeys) {
  EXPECT_EQ(versionKey("mrtc@1.8.8"), "1");
  EXPECT_EQ(versionKey(""), "0");
  EXPECT_EQ(versionKey("mrtc@"), "0");
  EXPECT_EQ(versionKey("1.8.8"), "0");
  const std::pair<const char*, int32_t> cases[] = {
      {"mrtc@1.8.8", 1}, {"mrtc@1.2.0", 1}, {"mrtc@2.0.1", 2}, {"mrtc@10.0", 2},
      {"1.8.8", 3},      {"", 3},           {"mrtc@0.9", 3},   {"mrtc@1", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(compareVersion(c.first), c.second) << c.first;
}

}  // namespace
}  // namespace imsdkmrtc
