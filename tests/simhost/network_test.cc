// Delivery rules of the simulated network.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "support/support.h"

namespace {

using ::testing::ElementsAre;

// Records what the network delivers on slot 4 and, when replyBody is set,
// answers every type-14 message with it (type 15); then does `change` to the
// record it was handed.
class FakePlugin : public imsdkmrtc::mrtc_plugin {
 public:
  std::vector<imsdk::hostMessage> received;
  std::string replyBody;
  std::function<void(imsdk::hostMessage&)> change;

  int32_t onNotify(uint16_t, uintptr_t a, uintptr_t) override {
    auto& msg = *reinterpret_cast<imsdk::hostMessage*>(a);
    received.push_back(msg);
    if (change) change(msg);
    if (!replyBody.empty() && msg.bodyType == 14) {
      imsdk::req_sendMessage reply;
      reply.senderId = host()->getOwnUserId();
      reply.targetId = msg.sendUserId;
      reply.msgType = 15;
      reply.body = replyBody + msg.body;
      host()->sendMessage(&reply, 280, 0);
    }
    return 0;
  }
};

// Users 1 (pc "a1" and phone "a2"), 2 ("b1"), 3 ("c1"), 4 ("d1", offline),
// 5 ("e1", outside the group); group 100 holds users 1 to 4.
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    commlib::useVirtualTime(testsupport::kStartMs);
    net.addGroup(100, {1, 2, 3, 4});
    const struct {
      const char* name;
      int64_t user;
      int32_t device;
    } kClients[] = {{"a1", 1, 1}, {"a2", 1, 2}, {"b1", 2, 1},
                    {"c1", 3, 1}, {"d1", 4, 1}, {"e1", 5, 1}};
    for (const auto& c : kClients) {
      plugins[c.name] = std::make_unique<FakePlugin>();
      net.addClient(c.name, c.user, c.device).attach(plugins[c.name].get());
    }
    net.client("d1")->setOnline(false);
  }
  void TearDown() override { commlib::useRealTime(); }

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

  // "name:sender/target/type/time/extension" of each delivery of body.
  std::set<std::string> deliveries(const std::string& body) {
    std::set<std::string> out;
    for (auto& [name, plugin] : plugins) {
      for (auto& m : plugin->received) {
        if (m.body != body) continue;
        out.insert(name + ":" + std::to_string(m.sendUserId) + "/" + std::to_string(m.targetId) +
                   "/" + std::to_string(m.bodyType) + "/" +
                   std::to_string(m.msgTime - testsupport::kStartMs) + "/" + m.extension);
      }
    }
    return out;
  }

  simhost::Network net;
  std::map<std::string, std::unique_ptr<FakePlugin>> plugins;
};

TEST_F(NetworkTest, RecipientsAndDeliveredFields) {
  struct Case {
    const char* what;
    std::function<void()> put;
    std::set<std::string> expected;
  };
  const char* kRelayGroup = R"({"targetID":"100"})";
  const std::vector<Case> cases = {
      {"to a user", [&] { send("a1", 2, "u"); }, {"a2:1/2/14/0/", "b1:1/2/14/0/"}},
      {"to a group",
       [&] { send("a1", 100, "g"); },
       {"a2:1/100/14/0/", "b1:1/100/14/0/", "c1:1/100/14/0/"}},
      {"limited to one member", [&] { send("a1", 100, "l", "", {2}); }, {"b1:1/100/14/0/"}},
      {"limited to the sender", [&] { send("a1", 100, "s", "", {1}); }, {"a2:1/100/14/0/"}},
      {"limited outside the chat", [&] { send("a1", 2, "o", "", {3}); }, {}},
      {"from the phone", [&] { send("a2", 3, "p"); }, {"a1:1/3/14/0/", "c1:1/3/14/0/"}},
      {"injected as an existing device",
       [&] { net.inject(2, 1, 100, "i"); },
       {"a1:2/100/14/0/", "a2:2/100/14/0/", "c1:2/100/14/0/"}},
      {"injected from an unknown device",
       [&] { net.inject(2, 5, 1, "k"); },
       {"a1:2/1/14/0/", "a2:2/1/14/0/", "b1:2/1/14/0/"}},
      {"injected with type, time and properties",
       [&] { net.inject(3, 2, 2, "h", 8, R"({"k":"v"})", {}, 1700000001000); },
       {"b1:3/2/8/1000/{\"k\":\"v\"}", "c1:3/2/8/1000/{\"k\":\"v\"}"}},
      {"relayed to a group, sent later",
       [&] {
         commlib::advance(2500);
         send("a1", 10001, "r", kRelayGroup);
       },
       {"a2:1/10001/14/2500/" + std::string(kRelayGroup),
        "b1:1/10001/14/2500/" + std::string(kRelayGroup),
        "c1:1/10001/14/2500/" + std::string(kRelayGroup)}},
      {"relayed to a user by number",
       [&] { send("a1", 10001, "n", R"({"targetID":5})"); },
       {"a2:1/10001/14/2500/{\"targetID\":5}", "e1:1/10001/14/2500/{\"targetID\":5}"}},
      {"service account without target",
       [&] { send("a1", 10001, "z", R"({"targetID":"x"})"); },
       {"a2:1/10001/14/2500/{\"targetID\":\"x\"}"}},
  };
  for (const Case& c : cases) {
    c.put();
    net.pump();
    std::string body = net.traffic().back().body;
    EXPECT_EQ(deliveries(body), c.expected) << c.what;
  }
  const simhost::NetMessage relayed = net.traffic()[9];
  EXPECT_EQ(relayed.chatId, 100);
  EXPECT_TRUE(relayed.toGroup);
  EXPECT_EQ(relayed.fromClient, "a1");
  EXPECT_EQ(plugins["b1"]->received.back().msgId, 77);
  EXPECT_EQ(net.client("a1")->sent().size(), 8u);
}

// Every recipient of a message is handed the same record in turn: each gets
// the message as sent, whatever the plug-in before it did to the record.
TEST_F(NetworkTest, EachRecipientGetsTheMessageAsSent) {
  struct Case {
    const char* what;
    std::string body;
    std::function<void(imsdk::hostMessage&)> change;
  };
  const std::vector<Case> cases = {
      {"ids fixed up", std::string(100, 'i'),
       [](imsdk::hostMessage& m) {
         m.sendUserId = 6;
         m.targetId = 7;
         m.msgTime = 8;
         m.bodyType = 9;
         m.extension = "{}";
       }},
      {"body grown", std::string(100, 'g'), [](imsdk::hostMessage& m) { m.body += "tail"; }},
      {"body cleared", std::string(100, 'c'), [](imsdk::hostMessage& m) { m.body.clear(); }},
      {"body replaced by one as long", std::string(100, 'r'),
       [](imsdk::hostMessage& m) { m.body = std::string(m.body.size(), 'x'); }},
      {"body rewritten in place", std::string(100, 'w'),
       [](imsdk::hostMessage& m) { m.body.assign(m.body.size(), 'x'); }},
      {"short body replaced", "short", [](imsdk::hostMessage& m) { m.body = "other"; }},
  };
  for (const Case& c : cases) {
    for (auto& entry : plugins) entry.second->change = c.change;
    send("a1", 100, c.body, R"({"k":"v"})");
    net.pump();
    EXPECT_EQ(deliveries(c.body),
              (std::set<std::string>{R"(a2:1/100/14/0/{"k":"v"})", R"(b1:1/100/14/0/{"k":"v"})",
                                     R"(c1:1/100/14/0/{"k":"v"})"}))
        << c.what;
  }
}

TEST_F(NetworkTest, MessagesSentWhileDeliveringGoOutInNetworkOrder) {
  plugins["b1"]->replyBody = "re:";
  std::vector<std::string> seen;
  net.setObserver([&](const simhost::NetMessage& m, const simhost::Client& to) {
    if (to.name() == "a2")
      seen.push_back(m.body + ":" + std::to_string(plugins["a2"]->received.size()));
  });
  send("a1", 2, "m1");
  send("a1", 2, "m2");
  // m1 and m2 reach a2 and b1; b1's two replies reach a1 and a2.
  EXPECT_EQ(net.pump(), 8u);
  EXPECT_EQ(net.pending(), 0u);
  std::vector<std::string> order;
  for (auto& m : plugins["a2"]->received) order.push_back(m.body);
  EXPECT_THAT(order, ElementsAre("m1", "m2", "re:m1", "re:m2"));
  // The observer sees each delivery before the plug-in does.
  EXPECT_THAT(seen, ElementsAre("m1:0", "m2:1", "re:m1:2", "re:m2:3"));
  EXPECT_EQ(plugins["a1"]->received.size(), 2u);
  EXPECT_EQ(net.pump(), 0u);
}

}  // namespace

// Held copies go out earliest first, and in the order they were held when
// due together; each reaches only the client it was held for.
TEST_F(NetworkTest, HeldCopiesGoOutByDueTimeThenByOrder) {
  send("a1", 2, "h");
  net.pump();
  const simhost::NetMessage msg = net.traffic().back();
  for (auto& entry : plugins) entry.second->received.clear();
  net.redeliver(msg, "c1", 2000);
  net.redeliver(msg, "b1", 1000);
  net.redeliver(msg, "a2", 2000);
  EXPECT_EQ(net.nextHeldMs(), testsupport::kStartMs + 1000);
  std::vector<std::string> order;
  net.setObserver(
      [&](const simhost::NetMessage&, const simhost::Client& to) { order.push_back(to.name()); });
  commlib::advance(2000);
  EXPECT_EQ(net.pump(), 3u);
  EXPECT_THAT(order, ElementsAre("b1", "c1", "a2"));
  EXPECT_EQ(net.held(), 0u);
  EXPECT_EQ(net.nextHeldMs(), -1);
}

// A reader that keeps marks is handed only what came after them, and the
// network names each client that recorded something once until asked again.
TEST_F(NetworkTest, ChangedClientsAndRecordsAfterMarks) {
  net.takeChanged();
  simhost::Client& a1 = *net.client("a1");
  send("a1", 2, "one");
  send("a1", 2, "two");
  EXPECT_THAT(net.takeChanged(), ElementsAre(&a1));
  EXPECT_TRUE(net.takeChanged().empty());
  simhost::RecordMarks marks;
  marks.sent = 1;
  const simhost::NewRecords fresh = a1.recordsAfter(marks);
  ASSERT_EQ(fresh.sent.size(), 1u);
  EXPECT_EQ(fresh.sent[0].body, "two");
  EXPECT_EQ(fresh.to.sent, 2u);
  EXPECT_TRUE(a1.recordsAfter(fresh.to).sent.empty());
}
