// The node's addressing and its directory: who a message reaches, which
// JIDs are ours, and a directory file read exactly or refused with its place.
#include "address.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "directory.h"
#include "output.h"
#include "read_error.h"

namespace {

node::Directory twoGroups() {
  node::Directory dir;
  dir.groups[30001] = {20001, 20002, 20003};
  dir.groups[30002] = {20004};
  return dir;
}

std::string listed(const std::set<int64_t>& ids) {
  std::string out;
  for (int64_t id : ids) out += std::to_string(id) + " ";
  return out;
}

TEST(NodeAddress, JidsOfThisDomainOnlyNameAUser) {
  EXPECT_EQ(node::bareJid(20001, "mrtc.local"), "20001@mrtc.local");
  EXPECT_EQ(node::resourceOf(1), "pc");
  EXPECT_EQ(node::resourceOf(77), "device-77");
  struct Case {
    const char* jid;
    int64_t user;
  } cases[] = {
      {"20001@mrtc.local/pc", 20001},
      {"20001@mrtc.local", 20001},
      {"-5@mrtc.local/x", -5},
      {"20001@other.local/pc", 0},
      {"20001@mrtc.localx", 0},
      {"alice@mrtc.local", 0},
      {"@mrtc.local", 0},
      {"20001", 0},
      {"", 0},
      {"20001@mrtc/local@x", 0},
      {"20001x@mrtc.local/pc", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(node::userOfJid(c.jid, "mrtc.local"), c.user) << c.jid;
  EXPECT_EQ(node::bareOf("a@b/c/d"), "a@b");
  EXPECT_EQ(node::bareOf("a@b"), "a@b");
}

// The service account relays to the chat its properties name; what it
// cannot read stays addressed to the account itself.
TEST(NodeAddress, ChatIsTheTargetOrTheServiceAccountsRelay) {
  const node::Directory dir = twoGroups();
  struct Case {
    int64_t target;
    const char* properties;
    int64_t chat;
    bool group;
  } cases[] = {
      {30001, R"({"targetID":"20002"})", 30001, true},
      {20002, "", 20002, false},
      {10001, R"({"targetID":"30002"})", 30002, true},
      {10001, R"({"targetID":20003})", 20003, false},
      {10001, R"({"targetID":"x"})", 10001, false},
      {10001, "", 10001, false},
  };
  for (const auto& c : cases) {
    node::WireMessage m;
    m.targetId = c.target;
    m.properties = c.properties;
    node::resolveChat(m, dir);
    EXPECT_EQ(m.chatId, c.chat) << c.target << " " << c.properties;
    EXPECT_EQ(m.toGroup, c.group) << c.target << " " << c.properties;
  }
}

// A message reaches the chat and the sender's own other devices; a limit
// range narrows that to the listed users who would have got it anyway.
TEST(NodeAddress, RecipientsAreTheChatAndTheSenderWithinTheLimitRange) {
  const node::Directory dir = twoGroups();
  node::WireMessage m;
  m.senderId = 20009;
  m.chatId = 30001;
  m.toGroup = true;
  EXPECT_EQ(listed(node::recipients(m, dir)), "20001 20002 20003 20009 ");
  m.limitRange = {20003, 20009, 20004};
  EXPECT_EQ(listed(node::recipients(m, dir)), "20003 20009 ");
  m.limitRange = {20004};
  EXPECT_EQ(listed(node::recipients(m, dir)), "");
  m.chatId = 20002;
  m.toGroup = false;
  m.limitRange.clear();
  EXPECT_EQ(listed(node::recipients(m, dir)), "20002 20009 ");
  m.chatId = 20009;
  EXPECT_EQ(listed(node::recipients(m, dir)), "20009 ");
}

TEST(NodeDirectory, ReadsUsersGroupsAndConfigExactly) {
  const node::Directory d = node::readDirectory(
      R"({"domain":"d.test","users":[{"id":20001,"name":"Alice","password":"p1"},)"
      R"({"id":20002,"name":"bob","password":""}],"groups":[{"id":30001,"members":[20001,20002]}],)"
      R"("config":[{"key":"k","field":"f","value":"v"},{"key":"k","field":"g","value":{"a":1}}]})",
      "dir.json");
  EXPECT_EQ(d.domain, "d.test");
  ASSERT_EQ(d.users.size(), 2u);
  EXPECT_EQ(d.users.at(20001).name, "Alice");
  EXPECT_EQ(d.users.at(20001).password, "p1");
  EXPECT_EQ(d.userNamed("ALICE"), 20001);
  EXPECT_EQ(d.userNamed("bob"), 20002);
  EXPECT_EQ(d.userNamed("carol"), 0);
  EXPECT_EQ(d.groups.at(30001), (std::vector<int64_t>{20001, 20002}));
  EXPECT_TRUE(d.isGroup(30001));
  EXPECT_FALSE(d.isGroup(20001));
  EXPECT_EQ(d.config.at({"k", "f"}), "v");
  EXPECT_EQ(d.config.at({"k", "g"}), R"({"a":1})");
  EXPECT_EQ(node::readDirectory("{}", "empty.json").domain, "mrtc.local");
}

TEST(NodeDirectory, AFaultyFileIsRefusedNamingThePlace) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"{", "dir.json: not valid JSON"},
      {"[]", "dir.json: must be a JSON object"},
      {R"({"user":[]})", R"(dir.json: unknown key "user")"},
      {R"({"users":{}})", "dir.json: users: must be an array"},
      {R"({"users":[{"id":1,"name":"a","password":"p"},{"id":"2","name":"b","password":"p"}]})",
       R"(dir.json: users[1]: "id" must be an integer)"},
      {R"({"users":[{"id":1,"name":"a"}]})", R"(dir.json: users[0]: "password" is missing)"},
      {R"({"groups":[{"id":5,"members":[1,"2"]}]})",
       R"(dir.json: groups[0]: "members" must be an array of integers)"},
      {R"({"config":[{"key":"k","field":"f","value":1}]})",
       R"(dir.json: config[0]: "value" must be a string or a JSON object)"},
      {R"({"domain":5})", R"(dir.json: "domain" must be a string)"},
  };
  for (const auto& c : cases) {
    try {
      node::readDirectory(c.text, "dir.json");
      ADD_FAILURE() << "read: " << c.text;
    } catch (const codec::ReadError& e) {
      EXPECT_STREQ(e.what(), c.error) << c.text;
    }
  }
  try {
    node::loadDirectory("/nonexistent/dir.json");
    ADD_FAILURE() << "read a missing file";
  } catch (const codec::ReadError& e) {
    EXPECT_STREQ(e.what(), "/nonexistent/dir.json: cannot be read");
  }
}

// A request's answer is written before what the plug-in did while
// answering, and what another thread emits meanwhile is not held back.
TEST(NodeOutput, HeldItemsFollowTheAnswerAndOtherThreadsPassThrough) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  ASSERT_NE(out, nullptr);
  std::vector<std::string> seen;
  {
    node::Output output("alice", out);
    output.addSink([&seen](const codec::Item& it) { seen.push_back(it.kind); });
    output.hold();
    output.emit(output.item("message"));
    std::thread([&output] { output.emit(output.item("timer")); }).join();
    output.emit(output.item("event"));
    output.release(output.item("request"));
    output.emit(output.item("log"));
  }
  std::fclose(out);
  const std::string lines(text, size);
  std::free(text);
  EXPECT_EQ(seen, (std::vector<std::string>{"timer", "request", "message", "event", "log"}));
  std::string kinds;
  for (size_t at = lines.find("\"kind\":"); at != std::string::npos;
       at = lines.find("\"kind\":", at + 1)) {
    kinds += lines.substr(at + 8, lines.find('"', at + 8) - at - 8) + " ";
  }
  EXPECT_EQ(kinds, "timer request message event log ");
  size_t stamped = 0;
  for (size_t at = lines.find(R"(,"client":"alice","kind":)"); at != std::string::npos;
       at = lines.find(R"(,"client":"alice","kind":)", at + 1)) {
    ++stamped;
  }
  EXPECT_EQ(stamped, 5u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 5);
}

}  // namespace
