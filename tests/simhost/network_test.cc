// Delivery rules of the simulated network.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "clock_control.h"
#include "simhost/fake_plugin.h"
#include "simhost/simhost.h"

namespace {

using simhost_test::FakePlugin;
using ::testing::ElementsAre;

// Users 1 (pc "a1" and phone "a2"), 2 ("b1"), 3 ("c1"), 4 ("d1", offline),
// 5 ("e1", outside the group); group 100 holds users 1 to 4.
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    commlib::useVirtualTime(1700000000000);
    net.addGroup(100, {1, 2, 3, 4});
    add("a1", 1, 1);
    add("a2", 1, 2);
    add("b1", 2, 1);
    add("c1", 3, 1);
    add("d1", 4, 1).setOnline(false);
    add("e1", 5, 1);
  }
  void TearDown() override { commlib::useRealTime(); }

  simhost::Client& add(const std::string& name, int64_t user, int32_t device) {
    auto& c = net.addClient(name, user, device);
    plugins[name] = std::make_unique<FakePlugin>();
    c.attach(plugins[name].get());
    return c;
  }

  void send(const std::string& from, int64_t target, const std::string& body,
            const std::string& properties = "", std::vector<int64_t> limit = {}) {
    imsdk::req_sendMessage msg;
    msg.msgId = 77;
    msg.senderId = net.client(from)->userId();
    msg.targetId = target;
    msg.msgType = 14;
    msg.body = body;
    msg.properties = properties;
    msg.limitRange = limit;
    ASSERT_TRUE(net.client(from)->sendMessage(&msg, 280, 0));
  }

  std::set<std::string> receiversOf(const std::string& body) {
    std::set<std::string> names;
    for (auto& [name, plugin] : plugins) {
      for (auto& m : plugin->received) {
        if (m.body == body) names.insert(name);
      }
    }
    return names;
  }

  simhost::Network net;
  std::map<std::string, std::unique_ptr<FakePlugin>> plugins;
};

TEST_F(NetworkTest, RecipientsFollowChatLimitRangeAndSender) {
  struct Case {
    const char* what;
    std::function<void()> put;
    std::set<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"to a user", [&] { send("a1", 2, "u"); }, {"a2", "b1"}},
      {"to a group", [&] { send("a1", 100, "g"); }, {"a2", "b1", "c1"}},
      {"limited to one member", [&] { send("a1", 100, "l", "", {2}); }, {"b1"}},
      {"limited to the sender", [&] { send("a1", 100, "s", "", {1}); }, {"a2"}},
      {"limited outside the chat", [&] { send("a1", 2, "o", "", {3}); }, {}},
      {"from the phone", [&] { send("a2", 3, "p"); }, {"a1", "c1"}},
      {"injected as an existing device", [&] { net.inject(2, 1, 100, "i"); }, {"a1", "a2", "c1"}},
      {"injected from an unknown device", [&] { net.inject(2, 5, 1, "k"); }, {"a1", "a2", "b1"}},
      {"relayed to a group",
       [&] { send("a1", 10001, "r", R"({"targetID":"100"})"); },
       {"a2", "b1", "c1"}},
      {"relayed to a user by number",
       [&] { send("a1", 10001, "n", R"({"x":"1","targetID":5})"); },
       {"a2", "e1"}},
      {"service account without target",
       [&] { send("a1", 10001, "z", R"({"targetID":"x"})"); },
       {"a2"}},
  };
  for (const Case& c : cases) {
    c.put();
    net.pump();
  }
  for (const Case& c : cases) {
    std::string body = net.traffic()[&c - &cases[0]].body;
    EXPECT_EQ(receiversOf(body), c.expected) << c.what;
  }
}

TEST_F(NetworkTest, DeliveredMessageCarriesSenderTimeAndAddressAsSent) {
  commlib::advance(2500);
  send("a1", 10001, "{\"type\":\"multi_call\"}", R"({"targetID":"2"})");
  EXPECT_EQ(net.pump(), 2u);
  ASSERT_EQ(plugins["b1"]->received.size(), 1u);
  const imsdk::hostMessage& m = plugins["b1"]->received[0];
  EXPECT_EQ(m.msgId, 77);
  EXPECT_EQ(m.sendUserId, 1);
  EXPECT_EQ(m.targetId, 10001);
  EXPECT_EQ(m.msgTime, 1700000002500);
  EXPECT_EQ(m.body, "{\"type\":\"multi_call\"}");
  EXPECT_EQ(m.bodyType, 14);
  EXPECT_EQ(m.extension, R"({"targetID":"2"})");
  auto traffic = net.traffic();
  ASSERT_EQ(traffic.size(), 1u);
  EXPECT_EQ(traffic[0].chatId, 2);
  EXPECT_FALSE(traffic[0].toGroup);
  EXPECT_EQ(traffic[0].fromClient, "a1");
  EXPECT_EQ(net.client("a1")->sent().size(), 1u);
}

TEST_F(NetworkTest, InjectedMessageKeepsItsTypeTimeAndProperties) {
  net.inject(3, 2, 2, "hint", 8, R"({"k":"v"})", {}, 1600000000000);
  net.pump();
  ASSERT_EQ(plugins["b1"]->received.size(), 1u);
  const imsdk::hostMessage& m = plugins["b1"]->received[0];
  EXPECT_EQ(m.bodyType, 8);
  EXPECT_EQ(m.msgTime, 1600000000000);
  EXPECT_EQ(m.extension, R"({"k":"v"})");
  EXPECT_EQ(m.sendUserId, 3);
}

TEST_F(NetworkTest, MessagesSentWhileDeliveringGoOutInNetworkOrder) {
  plugins["b1"]->replyBody = "re:";
  send("a1", 2, "m1");
  send("a1", 2, "m2");
  // m1 and m2 reach a2 and b1; b1's two replies reach a1 and a2.
  EXPECT_EQ(net.pump(), 8u);
  EXPECT_EQ(net.pending(), 0u);
  std::vector<std::string> order;
  for (auto& m : plugins["a2"]->received) order.push_back(m.body);
  EXPECT_THAT(order, ElementsAre("m1", "m2", "re:m1", "re:m2"));
  EXPECT_EQ(plugins["a1"]->received.size(), 2u);
  EXPECT_EQ(net.pump(), 0u);
}

TEST_F(NetworkTest, RefusedSendStaysOffTheNetwork) {
  net.client("a1")->config().refuseSend = true;
  imsdk::req_sendMessage msg;
  msg.targetId = 2;
  EXPECT_FALSE(net.client("a1")->sendMessage(&msg, 280, 0));
  EXPECT_EQ(net.pump(), 0u);
  EXPECT_TRUE(net.traffic().empty());
}

TEST_F(NetworkTest, ObserverSeesEveryDeliveryBeforeThePlugin) {
  std::vector<std::string> seen;
  net.setObserver([&](const simhost::NetMessage& m, const simhost::Client& to) {
    seen.push_back(m.body + ">" + to.name() + ":" +
                   std::to_string(plugins[to.name()]->received.size()));
  });
  send("a1", 2, "x");
  net.pump();
  EXPECT_THAT(seen, ElementsAre("x>a2:0", "x>b1:0"));
}

}  // namespace
