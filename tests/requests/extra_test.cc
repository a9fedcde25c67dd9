// The settings and services channel (24006): which texts switch what, and
// the answer each type gives.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "request_site.h"

namespace reqtest {
namespace {

using imsdkmrtc::mrtc_plugin;

struct SettingRow {
  int8_t type;
  const char* cmd;
  int32_t expected;
  std::function<int64_t(mrtc_plugin&)> read;  // the setting the row touches
  int64_t value;                              // its value afterwards
};

TEST(ExtraRequest, SettingsFollowOnlyQuotedValues) {
  auto limit = [](mrtc_plugin& p) { return int64_t{p.proxy().limitRange()}; };
  auto watched = [](mrtc_plugin& p) { return p.board().watchedGroup(); };
  auto board = [](mrtc_plugin& p) { return int64_t{p.board().enabled()}; };
  auto version = [](mrtc_plugin& p) {
    imsdk::autoLock guard(p.lock());
    return int64_t{p.mcalling_version == "2.4.1"};
  };
#define SETTING(name) [](mrtc_plugin& p) -> int64_t { return p.settings().name.load(); }
  const SettingRow rows[] = {
      {1, R"({"pcOnOff":"off"})", 0, SETTING(pcOnOff), 0},
      {1, R"({"pcOnOff":false})", 7, SETTING(pcOnOff), 1},
      {1, R"({"pcOnOff":"yes"})", 7, SETTING(pcOnOff), 1},
      {2, R"({"limitRange":"on"})", 0, limit, 1},
      {10, R"({"loseDuration":"45"})", 0, SETTING(loseDuration), 45},
      {10, R"({"loseDuration":45})", 7, SETTING(loseDuration), 180},
      {10, R"({"loseDuration":"4x"})", 7, SETTING(loseDuration), 180},
      {16, R"({"duration":"45","count":"2"})", 7, SETTING(recallDuration), 45},
      {16, R"({"duration":"45","count":"2"})", 7, SETTING(recallCount), 2},
      {16, R"({"enable":"on","bellDuration":"9"})", 0, SETTING(recallBellDuration), 9},
      {16, R"({"enable":"on"})", 0, SETTING(recallEnable), 1},
      {16, R"({"enable":1,"count":3})", 7, SETTING(recallCount), 1},
      {18, R"({"p2pSwitch":"on"})", 0, SETTING(p2pSwitch), 1},
      {11, "", 0, SETTING(activeFlag), 1},
      {11, "", 0, SETTING(activeTime), kStartMs},
      {18, R"({"unbindSwitch":"on"})", 0, SETTING(unbindSwitch), 1},
      {18, R"({"unbind":"on"})", 7, SETTING(unbindSwitch), 0},
      {19, R"({"addrSwitch":"off"})", 0, SETTING(addrSwitch), 0},
      {6, R"({"boardSwitch":"on"})", 0, board, 1},
      {12, R"({"mcalling_version":"2.4.1"})", 0, version, 1},
      {12, R"({"mcalling_version":""})", 7, version, 0},
      {3, R"({"groupId":"0"})", 7, watched, 0},
      {3, R"({"groupId":500})", 7, watched, 0},
      {0, "", 7, SETTING(pcOnOff), 1},
      {23, R"({"pcOnOff":"off"})", 7, SETTING(pcOnOff), 1},
      {-1, R"({"pcOnOff":"off"})", 7, SETTING(pcOnOff), 1},
      {100, R"({"pcOnOff":"off"})", 7, SETTING(pcOnOff), 1},
  };
#undef SETTING
  for (const SettingRow& row : rows) {
    Ann t;
    EXPECT_EQ(codeOf(t.a, t.a.extra(row.type, row.cmd)), row.expected) << int(row.type) << row.cmd;
    EXPECT_EQ(row.read(t.plugin()), row.value) << int(row.type) << " " << row.cmd;
  }
}

TEST(ExtraRequest, WatchedGroupNeedsTheBoardAndTypeFourClearsIt) {
  Ann t;
  ASSERT_EQ(codeOf(t.a, t.a.extra(6, R"({"boardSwitch":"on"})")), 0);
  EXPECT_EQ(codeOf(t.a, t.a.extra(3, R"({"groupId":"500"})")), 0);
  EXPECT_EQ(t.plugin().board().watchedGroup(), 500);
  EXPECT_EQ(codeOf(t.a, t.a.extra(4, "")), 0);
  EXPECT_EQ(t.plugin().board().watchedGroup(), 0);
  // Only the watched group was asked for its talk; clearing asks nobody.
  EXPECT_EQ(sentOfType(t.a, "multi_querytalk").size(), 1u);
}

TEST(ExtraRequest, ForceOwnerAddrAnswersEvenARefusedCallAndResetForgetsTheTalk) {
  Ann t;
  auto& a = t.a;
  ASSERT_EQ(codeOf(a, a.extra(13, R"({"forceOwnerAddr":"on"})")), 0);
  EXPECT_TRUE(a.hasLog("on_extra forceOwnerAddr=1"));
  const std::string expected = "{\"addr\":\"" + t.plugin().slb().getMultiServer() + "\"}";
  for (const char* room : {"r1", "r2"}) {  // placed, then refused as busy
    const simhost::Result r = answerTo(a, a.request(24001, req(500, room, {12})));
    EXPECT_EQ(r.result, room[1] == '1' ? 0 : 2);
    EXPECT_EQ(r.extend, expected);
  }
  ASSERT_EQ(codeOf(a, a.extra(13, R"({"forceOwnerAddr":"off"})")), 0);
  EXPECT_EQ(answerTo(a, a.request(24001, req(500, "r2", {12}))).extend, "");
  // Type 15 forgets the current talk: the other room may be called now.
  EXPECT_EQ(codeOf(a, a.extra(15, "")), 0);
  EXPECT_EQ(t.ask(24001, "r2", "", {12}), 0);
}

TEST(ExtraRequest, PushedCommandsNeedASenderAFreshStampAndAText) {
  Site site;
  auto& a = site.add("a", 11);
  const std::string now = std::to_string(kStartMs);
  const std::string stale = std::to_string(kStartMs - 301 * 1000);
  const std::string future = std::to_string(kStartMs + 61 * 1000);
  const std::string body = R"({"type":"multi_blank","senderId":"12"})";
  struct Row {
    std::string cmd;
    std::string extend;
    int32_t expected;
  };
  const Row rows[] = {
      {body, R"({"senderId":"0","msgStampTime":")" + now + "\"}", 7},
      {body, R"({"senderId":2,"msgStampTime":")" + now + "\"}", 7},
      {"", R"({"senderId":"12","msgStampTime":")" + now + "\"}", 7},
      {body, R"({"senderId":"12","msgStampTime":")" + stale + "\"}", 83},
      {body, R"({"senderId":"12","msgStampTime":")" + future + "\"}", 83},
      {body, R"({"senderId":"12"})", 83},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(codeOf(a, a.extra(5, row.cmd, row.extend)), row.expected) << row.extend;
  }
  EXPECT_TRUE(a.events().empty());
}

TEST(ExtraRequest, FinishHintGoesToTheTalksGroupAndTheApplication) {
  Ann t;
  auto& a = t.a;
  // Without a talk nothing is written, yet the request is done.
  EXPECT_EQ(codeOf(a, a.extra(14, R"({"groupId":"500"})")), 0);
  EXPECT_TRUE(a.sent().empty());
  ASSERT_EQ(t.call("", {12}), 0);
  EXPECT_EQ(codeOf(a, a.extra(14, R"({"groupId":"999"})")), 0);
  const auto hints = sentOfMsgType(a, 8);
  ASSERT_EQ(hints.size(), 1u);
  EXPECT_EQ(hints[0].chatId, 500);
  EXPECT_EQ(hints[0].body, kFinishBody);
  EXPECT_EQ(hints[0].properties, kFinishProps);
  // The client's own hint handler sees the hint first and reports it too.
  const auto events = eventsOfType(a, 21);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].extend, kFinishProps);
  EXPECT_EQ(events[1].extend, kFinishProps);
  // Asked again for the same room, the hint is not written twice.
  a.clearRecords();
  EXPECT_EQ(codeOf(a, a.extra(14, "")), 0);
  EXPECT_TRUE(a.sent().empty());
}

// Shared texts go to the new group's members one by one, or to one person,
// and then to the group limited to the listed recipients; nobody twice.
TEST(ExtraRequest, SharedTextRecipients) {
  const std::string members =
      R"("members":[{"peer":"11","rank":"onwer"},{"peer":"12","rank":"mem"},)"
      R"({"peer":"14","rank":"mgr"}])";
  struct Row {
    const char* name;
    std::string cmd;
    std::string extend;
    int32_t expected;
    std::vector<std::pair<int64_t, std::vector<int64_t>>> sends;  // chat, limit
  };
  // clang-format off
  const Row rows[] = {
      {"create", R"({"type":"create"})",
       R"({"groupId":"500","shareText":"hello",)" + members + R"(,"outMembers":["13"]})", 0,
       {{12, {}}, {14, {}}, {500, {13}}}},
      {"create face to a member", R"({"type":"create"})",
       R"({"faceToId":"12","shareText":"hello",)" + members + "}", 0, {{12, {}}, {14, {}}}},
      {"history face to", R"({"type":"history"})", R"({"faceToId":"12","shareText":"hello"})", 0,
       {{12, {}}}},
      {"unknown kind", R"({"type":"join"})", R"({"groupId":"500","shareText":"hello"})", 7, {}},
  };
  // clang-format on
  for (const Row& row : rows) {
    Site site;
    auto& a = site.add("a", 11);
    site.net.addGroup(500, {11, 12, 13, 14});
    EXPECT_EQ(codeOf(a, a.extra(21, row.cmd, row.extend)), row.expected) << row.name;
    const auto sent = sentOfMsgType(a, 2);
    ASSERT_EQ(sent.size(), row.sends.size()) << row.name;
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].body, R"({ "body":"hello" })") << row.name;
      EXPECT_EQ(sent[i].chatId, row.sends[i].first) << row.name << " " << i;
      EXPECT_EQ(sent[i].limitRange, row.sends[i].second) << row.name << " " << i;
    }
  }
}

}  // namespace
}  // namespace reqtest
