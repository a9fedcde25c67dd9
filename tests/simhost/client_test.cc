// The request road and the recorded posts of a simulated client.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "simhost/fake_plugin.h"
#include "simhost/simhost.h"

namespace {

using simhost_test::CountedResult;
using simhost_test::FakePlugin;
using P = std::pair<int, uint16_t>;
using ::testing::ElementsAre;

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override { client.attach(&plugin); }
  simhost::Network net;
  simhost::Client& client = net.addClient("a", 11, 1);
  FakePlugin plugin;
};

TEST_F(ClientTest, RequestsLoopBackAndAnswersAreRecorded) {
  plugin.postTimer = true;
  imsdk::req_mrtc_request fields;
  fields.groupId = 100;
  fields.extend = "{\"rtcType\":\"rtc\"}";
  const int64_t first = client.request(imsdk::kCmdCall, fields);
  const int64_t second = client.extra(3, "cmd-text", "ext-text");
  client.keepAlive();

  EXPECT_EQ(second, first + 1);
  EXPECT_THAT(plugin.calls, ElementsAre(P{3, 24001}, P{7, 24001}, P{6, 24101}, P{3, 24006},
                                        P{7, 24006}, P{6, 24101}, P{3, 24008}, P{6, 24008}));
  ASSERT_EQ(plugin.requests.size(), 1u);
  EXPECT_EQ(plugin.requests[0].id, first);
  EXPECT_EQ(plugin.requests[0].groupId, 100);
  EXPECT_EQ(plugin.requests[0].extend, "{\"rtcType\":\"rtc\"}");
  ASSERT_EQ(plugin.extras.size(), 1u);
  EXPECT_EQ(plugin.extras[0].type, 3);
  EXPECT_EQ(plugin.extras[0].cmd + "|" + plugin.extras[0].extend, "cmd-text|ext-text");
  EXPECT_EQ(plugin.released, 2);

  std::vector<std::string> results;
  for (const auto& r : client.results()) {
    results.push_back(std::to_string(r.cmdId) + " w" + std::to_string(r.word) + " id" +
                      std::to_string(r.id - first) + " " + std::to_string(r.result) + " " +
                      r.extend);
  }
  EXPECT_THAT(results,
              ElementsAre("24001 w4 id0 13 {\"addr\":\"x\"}", "24006 w4 id1 13 {\"addr\":\"x\"}"));
  auto timers = client.timerPosts();
  ASSERT_EQ(timers.size(), 2u);
  EXPECT_EQ(timers[0].cmd.key, "room-1");
  EXPECT_EQ(timers[0].cmd.members, (std::vector<int64_t>{7, 8}));
  EXPECT_EQ(timers[0].cmd.duration, 60);
}

TEST_F(ClientTest, PostedRecordsBelongToTheHostOnlyWhenAccepted) {
  const int before = CountedResult::destroyed();
  auto* event = new imsdk::resp_mrtcEvent;
  event->annotation = "ring";
  event->members = {2, 3};
  imsdk::cmdEnvelope env{event, imsdk::kEnvelopeWordEvent};
  EXPECT_EQ(client.postToApp(imsdk::kCmdUiEvent, &env, 8, 0), 0);
  client.config().failPost = true;
  auto* refused = new CountedResult;
  imsdk::cmdEnvelope failed{refused, imsdk::kEnvelopeWordResult};
  EXPECT_EQ(client.postToApp(imsdk::kCmdCall, &failed, 8, 0), 1);
  EXPECT_EQ(CountedResult::destroyed(), before);
  delete refused;
  ASSERT_EQ(client.events().size(), 1u);
  EXPECT_EQ(client.events()[0].annotation, "ring");
  EXPECT_EQ(client.events()[0].members, (std::vector<int64_t>{2, 3}));
  EXPECT_TRUE(client.results().empty());
}

}  // namespace
