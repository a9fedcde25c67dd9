// Weak hints and shared texts as the host receives them.
#include <gtest/gtest.h>

#include <functional>

#include "signalling/cards_fixture.h"

namespace imsdkmrtc {
namespace {

using HintsTest = CardsFixture;

struct Posted {
  int64_t target;
  std::string body;
  std::string properties;
};

TEST_F(HintsTest, HintBodiesAndProperties) {
  const struct {
    const char* what;
    std::function<bool(msgProxy&, std::string&)> call;
    bool result;
    const char* properties;  // also handed back to the caller
    std::vector<Posted> inserted;
    std::vector<Posted> sent;
  } rows[] = {
      {"begin in a group",
       [](msgProxy& p, std::string& props) {
         return p.sendWeakHintBegin(11, 500, "r1", props, true);
       },
       true,
       R"({"operType":"21","operUser":"11","usersInfo":"groupId=500,roomId=r1,operUserName=Ann"})",
       {{500, R"({"body":"Ann发起了语音通话","msgBodyType":"12"})",
         R"({"operType":"21","operUser":"11","usersInfo":"groupId=500,roomId=r1,operUserName=Ann"})"}},
       {{500, R"({"body":"Ann发起了语音通话","msgBodyType":"12"})",
         R"({"operType":"21","operUser":"11","usersInfo":"groupId=500,roomId=r1,operUserName=Ann"})"}}},
      {"begin one-to-one",
       [](msgProxy& p, std::string& props) {
         return p.sendWeakHintBegin(11, 7, "r2", props, false);
       },
       true,
       R"({"operType":"21","operUser":"11","usersInfo":"groupId=0,roomId=r2,operUserName=Ann"})",
       {{7, R"({"body":"Ann发起了语音通话","msgBodyType":"12"})",
         R"({"operType":"21","operUser":"11","usersInfo":"groupId=0,roomId=r2,operUserName=Ann"})"}},
       {{7, R"({"body":"Ann发起了语音通话","msgBodyType":"12"})",
         R"({"operType":"21","operUser":"11","usersInfo":"groupId=0,roomId=r2,operUserName=Ann"})"}}},
      {"begin in no group",
       [](msgProxy& p, std::string& props) {
         return p.sendWeakHintBegin(11, 0, "r1", props, true);
       },
       true,
       "",
       {},
       {}},
      {"finish",
       [](msgProxy& p, std::string& props) { return p.sendWeakHintFinish(12, 500, "r3", props); },
       true,
       R"({"operType":"22","operUser":"12","usersInfo":"groupId=500,roomId=r3,operUserName=A"})",
       {{500, R"({"body":"语音通话已经结束","msgBodyType":"12"})",
         R"({"operType":"22","operUser":"12","usersInfo":"groupId=500,roomId=r3,operUserName=A"})"}},
       {{500, R"({"body":"语音通话已经结束","msgBodyType":"12"})",
         R"({"operType":"22","operUser":"12","usersInfo":"groupId=500,roomId=r3,operUserName=A"})"}}},
      {"finish of an unknown user",
       [](msgProxy& p, std::string& props) { return p.sendWeakHintFinish(99, 500, "r4", props); },
       true,
       R"({"operType":"22","operUser":"99","usersInfo":"groupId=500,roomId=r4,operUserName="})",
       {{500, R"({"body":"语音通话已经结束","msgBodyType":"12"})",
         R"({"operType":"22","operUser":"99","usersInfo":"groupId=500,roomId=r4,operUserName="})"}},
       {{500, R"({"body":"语音通话已经结束","msgBodyType":"12"})",
         R"({"operType":"22","operUser":"99","usersInfo":"groupId=500,roomId=r4,operUserName="})"}}},
      {"finish in no group",
       [](msgProxy& p, std::string& props) { return p.sendWeakHintFinish(12, 0, "r3", props); },
       false,
       "",
       {},
       {}},
  };
  for (const auto& row : rows) {
    client->clearRecords();
    std::string props;
    EXPECT_EQ(row.call(proxy(), props), row.result) << row.what;
    EXPECT_EQ(props, row.properties) << row.what;
    auto inserted = client->inserted();
    auto sent = client->sent();
    ASSERT_EQ(inserted.size(), row.inserted.size()) << row.what;
    ASSERT_EQ(sent.size(), row.sent.size()) << row.what;
    for (size_t i = 0; i < inserted.size(); ++i) {
      EXPECT_EQ(inserted[i].targetId, row.inserted[i].target) << row.what;
      EXPECT_EQ(inserted[i].body, row.inserted[i].body) << row.what;
      EXPECT_EQ(inserted[i].properties, row.inserted[i].properties) << row.what;
      EXPECT_EQ(inserted[i].msgType, 8) << row.what;
      EXPECT_EQ(inserted[i].msgFlag, 1) << row.what;
      EXPECT_EQ(inserted[i].senderId, 11) << row.what;
    }
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].targetId, row.sent[i].target) << row.what;
      EXPECT_EQ(sent[i].body, row.sent[i].body) << row.what;
      EXPECT_EQ(sent[i].properties, row.sent[i].properties) << row.what;
      EXPECT_EQ(sent[i].msgType, 8) << row.what;
      EXPECT_EQ(sent[i].msgId, inserted[i].msgId) << row.what;
      EXPECT_TRUE(sent[i].limitRange.empty()) << row.what;
    }
  }
}

TEST_F(HintsTest, VersionHintsAreOnlyInserted) {
  const struct {
    int32_t kind;
    int32_t kase;
    int8_t device;
    bool result;
    const char* body;  // nullptr: nothing inserted
    const char* properties;
  } rows[] = {
      {2, 1, 1, true, R"({"body":"A电脑端不能接听您的语音请求，请及时升级","msgBodyType":"12"})",
       R"({"operType":"26","operUser":"12","usersInfo":"deviceType=1,callType=1,operUserName=A"})"},
      {3, 2, 2, true,
       R"({"body":"A手机端不能接听您的语音邀请，已通知对方升级","msgBodyType":"12"})",
       R"({"operType":"25","operUser":"12","usersInfo":"deviceType=2,callType=2,operUserName=A"})"},
      {2, 3, 3, true, R"({"body":"不能接听A的语音请求，请及时升级","msgBodyType":"12"})",
       R"({"operType":"24","operUser":"12","usersInfo":"deviceType=3,callType=1,operUserName=A"})"},
      {3, 4, 1, true, R"({"body":"不能接听A的语音邀请，已通知对方升级","msgBodyType":"12"})",
       R"({"operType":"23","operUser":"12","usersInfo":"deviceType=1,callType=2,operUserName=A"})"},
      {2, 7, 1, true, R"({"body":"","msgBodyType":"12"})",
       R"({"operType":"","operUser":"12","usersInfo":"deviceType=1,callType=2,operUserName=A"})"},
      {1, 1, 1, false, nullptr, nullptr},
  };
  for (const auto& row : rows) {
    client->clearRecords();
    EXPECT_EQ(proxy().sendVersionHint(row.kind, row.kase, 12, 500, row.device), row.result)
        << row.kind << "/" << row.kase;
    EXPECT_TRUE(client->sent().empty());
    auto inserted = client->inserted();
    if (row.body == nullptr) {
      EXPECT_TRUE(inserted.empty());
      continue;
    }
    ASSERT_EQ(inserted.size(), 1u);
    EXPECT_EQ(inserted[0].body, row.body);
    EXPECT_EQ(inserted[0].properties, row.properties);
    EXPECT_EQ(inserted[0].targetId, 500);
    EXPECT_EQ(inserted[0].msgType, 8);
  }
}

// Every member's client writes the finish hint of a room; this client's own
// hint handler lets only the first one through.
TEST_F(HintsTest, RepeatedFinishHintIsHeldBack) {
  const std::string kProps =
      R"({"operType":"22","operUser":"11","usersInfo":"groupId=500,roomId=r5,operUserName=Ann"})";
  std::string first;
  std::string second;
  EXPECT_TRUE(proxy().sendWeakHintFinish(11, 500, "r5", first));
  EXPECT_TRUE(proxy().sendWeakHintFinish(11, 500, "r5", second));
  EXPECT_EQ(first, kProps);
  EXPECT_EQ(second, kProps);
  ASSERT_EQ(client->sent().size(), 1u);
  EXPECT_EQ(client->inserted().size(), 1u);
  EXPECT_EQ(client->sent()[0].properties, kProps);
}

TEST_F(HintsTest, RefusedHintKeepsTheInsert) {
  client->config().refuseSend = true;
  std::string props;
  EXPECT_FALSE(proxy().sendWeakHintBegin(11, 500, "r1", props, true));
  EXPECT_EQ(client->inserted().size(), 1u);
}

TEST_F(HintsTest, SharedTextIsInsertedAndSentToTheChosen) {
  msgProxy& p = proxy();
  shareInfo info;
  info.type = "create";
  ASSERT_EQ(p.readShareInfo(R"({"groupId":"500","shareText":"hello"})", info), 0);
  ASSERT_TRUE(p.sendShareText(info.groupId, {12, 13}, info.shareText));
  auto inserted = client->inserted();
  auto sent = client->sent();
  ASSERT_EQ(inserted.size(), 1u);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body, R"({ "body":"hello" })");
  EXPECT_EQ(sent[0].msgType, 2);
  EXPECT_EQ(sent[0].targetId, 500);
  EXPECT_EQ(sent[0].limitRange, (std::vector<int64_t>{12, 13}));
  EXPECT_EQ(inserted[0].body, R"({ "body":"hello" })");
  EXPECT_EQ(inserted[0].msgType, 2);

  client->config().refuseSend = true;
  EXPECT_FALSE(p.sendShareText(7, {}, info.shareText));
}

}  // namespace
}  // namespace imsdkmrtc
