// Weak hints as the host receives them.
#include <gtest/gtest.h>

#include "signalling/signalling_fixture.h"

namespace imsdkmrtc {
namespace {

using HintsTest = CardsFixture;

// A hint is inserted locally and sent, with the same id, body and properties.
TEST_F(HintsTest, HintBodiesAndProperties) {
  const char kBegin[] = R"({"body":"Ann发起了语音通话","msgBodyType":"12"})";
  const char kFinish[] = R"({"body":"语音通话已经结束","msgBodyType":"12"})";
  const struct {
    const char* what;
    bool begin;
    int64_t user, chat;
    const char* room;
    bool inGroup;
    bool result;
    int64_t target;  // 0: nothing posted
    const char* body;
    const char* properties;  // also handed back to the caller
  } rows[] = {
      {"begin in a group", true, 11, 500, "r1", true, true, 500, kBegin,
       R"({"operType":"21","operUser":"11","usersInfo":"groupId=500,roomId=r1,operUserName=Ann"})"},
      {"begin one-to-one", true, 11, 7, "r2", false, true, 7, kBegin,
       R"({"operType":"21","operUser":"11","usersInfo":"groupId=0,roomId=r2,operUserName=Ann"})"},
      {"begin in no group", true, 11, 0, "r1", true, true, 0, "", ""},
      {"finish", false, 12, 500, "r3", true, true, 500, kFinish,
       R"({"operType":"22","operUser":"12","usersInfo":"groupId=500,roomId=r3,operUserName=A"})"},
      {"finish of an unknown user", false, 99, 500, "r4", true, true, 500, kFinish,
       R"({"operType":"22","operUser":"99","usersInfo":"groupId=500,roomId=r4,operUserName="})"},
      {"finish in no group", false, 12, 0, "r3", true, false, 0, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    client->clearRecords();
    std::string props;
    EXPECT_EQ(row.begin
                  ? proxy().sendWeakHintBegin(row.user, row.chat, row.room, props,
                                              row.inGroup ? hintChat::kGroup : hintChat::kPeer)
                  : proxy().sendWeakHintFinish(row.user, row.chat, row.room, props),
              row.result);
    EXPECT_EQ(props, row.properties);
    auto inserted = client->inserted();
    auto sent = client->sent();
    ASSERT_EQ(inserted.size(), row.target ? 1u : 0u);
    ASSERT_EQ(sent.size(), inserted.size());
    if (!row.target) continue;
    const std::string where =
        "from 11 to " + std::to_string(row.target) + " type 8 flag 1 limit []";
    EXPECT_EQ(route(inserted[0]), where);
    EXPECT_EQ(route(sent[0]), where);
    EXPECT_EQ(inserted[0].body, row.body);
    EXPECT_EQ(sent[0].body, row.body);
    EXPECT_EQ(inserted[0].properties, row.properties);
    EXPECT_EQ(sent[0].properties, row.properties);
    EXPECT_EQ(sent[0].msgId, inserted[0].msgId);
  }
}

TEST_F(HintsTest, VersionHintsAreOnlyInserted) {
  const struct {
    int32_t kind, kase;
    int8_t device;
    const char* body;  // nullptr: refused, nothing inserted
    const char* properties;
  } rows[] = {
      {2, 1, 1, R"({"body":"A电脑端不能接听您的语音请求，请及时升级","msgBodyType":"12"})",
       R"({"operType":"26","operUser":"12","usersInfo":"deviceType=1,callType=1,operUserName=A"})"},
      {3, 2, 2, R"({"body":"A手机端不能接听您的语音邀请，已通知对方升级","msgBodyType":"12"})",
       R"({"operType":"25","operUser":"12","usersInfo":"deviceType=2,callType=2,operUserName=A"})"},
      {2, 3, 3, R"({"body":"不能接听A的语音请求，请及时升级","msgBodyType":"12"})",
       R"({"operType":"24","operUser":"12","usersInfo":"deviceType=3,callType=1,operUserName=A"})"},
      {3, 4, 1, R"({"body":"不能接听A的语音邀请，已通知对方升级","msgBodyType":"12"})",
       R"({"operType":"23","operUser":"12","usersInfo":"deviceType=1,callType=2,operUserName=A"})"},
      {2, 7, 1, R"({"body":"","msgBodyType":"12"})",
       R"({"operType":"","operUser":"12","usersInfo":"deviceType=1,callType=2,operUserName=A"})"},
      {1, 1, 1, nullptr, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.kind) + "/" + std::to_string(row.kase));
    client->clearRecords();
    EXPECT_EQ(proxy().sendVersionHint(row.kind, row.kase, 12, 500, row.device),
              row.body != nullptr);
    EXPECT_TRUE(client->sent().empty());
    auto inserted = client->inserted();
    ASSERT_EQ(inserted.size(), row.body ? 1u : 0u);
    if (!row.body) continue;
    EXPECT_EQ(route(inserted[0]), "from 11 to 500 type 8 flag 1 limit []");
    EXPECT_EQ(inserted[0].body, row.body);
    EXPECT_EQ(inserted[0].properties, row.properties);
  }
}

// Every member's client writes the finish hint of a room; only the first one
// goes out. A refused send keeps the local insert.
TEST_F(HintsTest, RepeatedFinishHintIsHeldBackAndRefusedHintStaysLocal) {
  std::string first, second;
  EXPECT_TRUE(proxy().sendWeakHintFinish(11, 500, "r5", first));
  EXPECT_TRUE(proxy().sendWeakHintFinish(11, 500, "r5", second));
  EXPECT_EQ(second, first);
  EXPECT_EQ(client->sent().size(), 1u);
  EXPECT_EQ(client->inserted().size(), 1u);

  client->clearRecords();
  client->config().refuseSend = true;
  EXPECT_FALSE(proxy().sendWeakHintBegin(11, 500, "r1", first, hintChat::kGroup));
  EXPECT_EQ(client->inserted().size(), 1u);
}

}  // namespace
}  // namespace imsdkmrtc
