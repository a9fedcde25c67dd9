// The request road, the recorded posts and the answering services of a
// simulated client.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "clock_control.h"
#include "simhost/fake_plugin.h"
#include "simhost/plugin_loader.h"
#include "simhost/simhost.h"

namespace {

using simhost_test::CountedResult;
using simhost_test::FakePlugin;

std::vector<std::pair<int, uint16_t>> slots(const FakePlugin& p) {
  std::vector<std::pair<int, uint16_t>> out;
  for (auto& c : p.calls) out.emplace_back(c.slot, c.cmd);
  return out;
}

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
  fields.members = {7, 8};
  fields.extend = "{\"rtcType\":\"rtc\"}";
  const int64_t first = client.request(imsdk::kCmdCall, fields);
  const int64_t second = client.extra(3, "cmd-text", "ext-text");
  client.keepAlive();

  EXPECT_EQ(second, first + 1);
  using P = std::pair<int, uint16_t>;
  EXPECT_THAT(slots(plugin),
              ::testing::ElementsAre(P{3, 24001}, P{7, 24001}, P{6, 24101}, P{3, 24006},
                                     P{7, 24006}, P{6, 24101}, P{3, 24008}, P{6, 24008}));
  ASSERT_EQ(plugin.requests.size(), 1u);
  EXPECT_EQ(plugin.requests[0].id, first);
  EXPECT_EQ(plugin.requests[0].groupId, 100);
  EXPECT_EQ(plugin.requests[0].extend, "{\"rtcType\":\"rtc\"}");
  ASSERT_EQ(plugin.extras.size(), 1u);
  EXPECT_EQ(plugin.extras[0].type, 3);
  EXPECT_EQ(plugin.extras[0].cmd, "cmd-text");
  EXPECT_EQ(plugin.extras[0].extend, "ext-text");
  EXPECT_EQ(plugin.released, 2);

  auto results = client.results();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].cmdId, 24001);
  EXPECT_EQ(results[0].word, 4u);
  EXPECT_EQ(results[0].id, first);
  EXPECT_EQ(results[0].result, 13);
  EXPECT_EQ(results[0].extend, "{\"addr\":\"x\"}");
  EXPECT_EQ(results[1].id, second);
  auto timers = client.timerPosts();
  ASSERT_EQ(timers.size(), 2u);
  EXPECT_EQ(timers[0].cmd.key, "room-1");
  EXPECT_EQ(timers[0].cmd.members, (std::vector<int64_t>{7, 8}));
  EXPECT_EQ(timers[0].cmd.duration, 60);
}

TEST_F(ClientTest, PostedRecordsBelongToTheHostOnlyWhenAccepted) {
  const int before = CountedResult::destroyed();
  auto* event = new imsdk::resp_mrtcEvent;
  event->eventType = 1;
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
  EXPECT_EQ(CountedResult::destroyed(), before + 1);
  ASSERT_EQ(client.events().size(), 1u);
  EXPECT_EQ(client.events()[0].annotation, "ring");
  EXPECT_EQ(client.events()[0].members, (std::vector<int64_t>{2, 3}));
  EXPECT_TRUE(client.results().empty());
}

TEST_F(ClientTest, ServicesAnswerFromConfiguration) {
  commlib::useVirtualTime(5000);
  net.addUser(11, "alice");
  auto& cfg = client.config();
  cfg.timeOffsetMs = -1200;
  cfg.loginQuery = false;
  cfg.preLoginDesc = "{\"netId\":\"3\"}";
  cfg.configItems[{"mediaServerAddr", "value"}] = "1.2.3.4:5";
  cfg.cacheCode = 2;
  cfg.cacheValues["room-9"] = "{\"token\":\"t\"}";

  EXPECT_EQ(client.getTimeMs(), 3800);
  EXPECT_FALSE(client.loginQuery());
  EXPECT_EQ(client.getPreLoginDesc(), "{\"netId\":\"3\"}");
  EXPECT_EQ(client.getConfigItem("mediaServerAddr", "value"), "1.2.3.4:5");
  EXPECT_EQ(client.getConfigItem("mediaServerAddr", "other"), "");
  imsdk::userInfo info;
  EXPECT_TRUE(client.getUserInfo(&info, 11));
  EXPECT_EQ(info.name, "alice");
  EXPECT_FALSE(client.getUserInfo(&info, 12));

  com::zbq::im::ap::SessionTicket ticket;
  com::zbq::im::ap::CacheRet ret;
  ticket.param.key = "room-9";
  EXPECT_TRUE(client.syncRequest(208, &ticket, &ret));
  EXPECT_EQ(ret.code, 2);
  EXPECT_EQ(ret.value, "{\"token\":\"t\"}");
  ticket.param.key = "room-0";
  EXPECT_FALSE(client.syncRequest(208, &ticket, &ret));
  EXPECT_FALSE(client.syncRequest(207, &ticket, &ret));
  EXPECT_EQ(client.cacheRequests(), 2);

  client.registerAddress("0", 0, "10.0.0.1", 9000, 6);
  EXPECT_EQ(client.registered(),
            (std::vector<std::pair<std::string, uint16_t>>{{"10.0.0.1", 9000}}));
  commlib::useRealTime();
}

TEST_F(ClientTest, LogLinesAreFormattedWholeUnlessQuiet) {
  const std::string longText(3000, 'q');
  client.log(2, "mrtc", "imsdkmrtc::x::y", "msg=%s, n=%d.", longText.c_str(), 42);
  simhost::setQuietLogs(client, true);
  client.log(0, "mrtc", "f", "dropped");
  auto logs = client.logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].level, 2);
  EXPECT_EQ(logs[0].tag, "mrtc");
  EXPECT_EQ(logs[0].func, "imsdkmrtc::x::y");
  EXPECT_EQ(logs[0].text, "msg=" + longText + ", n=42.");
  EXPECT_TRUE(client.hasLog(", n=42."));
  EXPECT_FALSE(client.hasLog("dropped"));
}

TEST_F(ClientTest, LifeCycleEventsReachSlot12AndPulledMessagesComeBack) {
  client.preLogin("logo");
  client.login();
  imsdk::hostMessage m1, m2;
  m1.body = "one";
  m2.body = "two";
  auto back = client.pull({m1, m2});
  using P = std::pair<int, uint16_t>;
  EXPECT_THAT(slots(plugin), ::testing::ElementsAre(P{12, 0}, P{12, 1}, P{12, 38}));
  EXPECT_THAT(plugin.pulledBodies, ::testing::ElementsAre("one", "two"));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].status, -10001);
}

TEST(PluginLibraryTest, LoadsThePluginAndDrivesItThroughTheHost) {
  simhost::PluginLibrary library(MRTC_PLUGIN_PATH);
  ASSERT_TRUE(library.loaded()) << library.error();
  simhost::Network net;
  auto& c = net.addClient("a", 1, 1);
  imsdk::IPlugin* plugin = library.create();
  ASSERT_NE(plugin, nullptr);
  c.attach(plugin);
  c.preLogin("xyz");
  EXPECT_TRUE(c.hasLog("listen prelogin logo=xyz 20210527a."));
  library.release(plugin);

  simhost::PluginLibrary missing("/nonexistent/libnothing.so");
  EXPECT_FALSE(missing.loaded());
  EXPECT_EQ(missing.create(), nullptr);
}

}  // namespace
