// The request road's entry: routing on slot 3, the gate, dispatch on slot 7,
// records of the wrong kind and the room-token cache.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "request_site.h"
#include "requests/plugin_request.h"

namespace reqtest {
namespace {

// A host that only records which post service a request took.
class RoutingHost : public imsdk::IHostService {
 public:
  struct Post {
    int service;
    uint16_t code;
    bool hasData;
    int32_t len;
    int64_t recordId;
  };
  std::vector<Post> posts;

  int64_t getTicketValue() override { return 0; }
  std::string getTicketText() override { return ""; }
  int64_t getOwnUserId() override { return 1; }
  int32_t postToApp(uint16_t, void*, int32_t, int32_t) override { return 0; }
  int32_t postToDispatch(uint16_t code, void* data, int32_t len, int32_t) override {
    record(12, code, data, len);
    return 0;
  }
  int32_t passRequest(uint16_t code, void* data, int32_t len, int32_t) override {
    record(15, code, data, len);
    return 0;
  }
  bool sendMessage(imsdk::req_sendMessage*, int32_t, int32_t) override { return true; }
  int32_t insertMessage(imsdk::req_insertMessage*, int32_t, int32_t) override { return 0; }
  bool syncRequest(int32_t, com::zbq::im::ap::SessionTicket*,
                   com::zbq::im::ap::CacheRet*) override {
    return false;
  }
  void log(int32_t, const char*, const char*, const char*, ...) override {}
  int64_t getTimeMs() override { return 0; }
  bool loginQuery() override { return true; }
  std::string getPreLoginDesc() override { return ""; }
  bool getUserInfo(imsdk::userInfo*, int64_t) override { return false; }
  std::string getConfigItem(const std::string&, const std::string&) override { return ""; }
  int32_t registerAddress(const char*, int32_t, const char*, uint16_t, int32_t) override {
    return 0;
  }

 private:
  void record(int service, uint16_t code, void* data, int32_t len) {
    int64_t id = -1;
    if (data != nullptr) {
      auto* env = static_cast<imsdk::cmdEnvelope*>(data);
      id = static_cast<imsdk::_sdkcmd_base*>(env->record)->id;
    }
    posts.push_back({service, code, data != nullptr, len, id});
  }
};

TEST(RequestEntry, Slot3HandsRequestsBackThroughTheirService) {
  struct Row {
    uint16_t code;
    bool present;
    int service;
    int32_t len;
  };
  const Row rows[] = {
      {24001, true, 15, 8}, {24006, true, 15, 8}, {24010, true, 15, 8},
      {24008, true, 12, 8}, {24009, true, 12, 8}, {24001, false, 15, 0},
      {24009, false, 12, 0},
  };
  for (const Row& row : rows) {
    RoutingHost host;
    imsdkmrtc::mrtc_plugin plugin;
    plugin.setHost(&host);
    imsdk::req_mrtc_request record;
    record.id = 4242;
    imsdk::cmdEnvelope env{&record, 4};
    EXPECT_TRUE(plugin.onRequest(row.code, reinterpret_cast<uintptr_t>(&env),
                                 row.present ? &env : nullptr));
    ASSERT_EQ(host.posts.size(), 1u) << row.code;
    EXPECT_EQ(host.posts[0].service, row.service) << row.code;
    EXPECT_EQ(host.posts[0].code, row.code);
    EXPECT_EQ(host.posts[0].len, row.len) << row.code;
    EXPECT_EQ(host.posts[0].hasData, row.present);
    if (row.present) {
      EXPECT_EQ(host.posts[0].recordId, 4242);
    }
  }
}

bool netLogged(const simhost::Client& c) {
  for (const simhost::LogLine& line : c.logs()) {
    if (line.func.rfind("imsdkmrtc::pluginNet::", 0) == 0) return true;
  }
  return false;
}

TEST(RequestEntry, GateDropsCallsSilentlyButNotTheSettingsChannel) {
  Site site;
  auto& a = site.add("a", 11);
  site.net.addGroup(500, {11, 12});
  EXPECT_EQ(codeOf(a, a.extra(1, R"({"pcOnOff":"off"})")), 0);
  a.clearRecords();

  const int64_t dropped = a.request(24001, req(500, "r1", {12}));
  EXPECT_EQ(codeOf(a, dropped), -1000);
  EXPECT_FALSE(netLogged(a));
  EXPECT_TRUE(a.sent().empty());

  EXPECT_EQ(codeOf(a, a.extra(1, R"({"pcOnOff":"on"})")), 0);
  EXPECT_EQ(codeOf(a, a.request(24001, req(500, "r1", {12}))), 0);
}

TEST(RequestEntry, CodesWithoutHandlerRunNothing) {
  Site site;
  auto& a = site.add("a", 11);
  for (uint16_t code : {24007, 24011, 24500, 24998}) {
    imsdk::req_mrtc_request record;
    record.id = 9;
    imsdk::cmdEnvelope env{&record, 4};
    EXPECT_TRUE(a.plugin()->onNetRequest(code, reinterpret_cast<uintptr_t>(&env), 0));
  }
  EXPECT_TRUE(a.results().empty());
  EXPECT_TRUE(a.sent().empty());
  EXPECT_TRUE(a.timerPosts().empty());
}

// What slot 7 may be handed besides a proper record: nothing, an empty
// envelope, or a record of the other kind. Each gets one answer with the
// handler's "unusable request" code and changes nothing.
TEST(RequestEntry, MissingOrWrongRecordsAreAnsweredNotFollowed) {
  Site site;
  auto& a = site.add("a", 11);
  site.net.addGroup(500, {11, 12});
  ASSERT_EQ(codeOf(a, a.request(24001, req(500, "r1", {12}))), 0);
  a.clearRecords();

  struct Row {
    uint16_t code;
    int32_t expected;
  };
  const Row rows[] = {{24001, 1}, {24002, 1}, {24003, 1}, {24004, 1}, {24005, 1},
                      {24006, 7}, {24009, 1}, {24010, 1}};
  for (const Row& row : rows) {
    imsdk::req_mrtc_extra extra;
    extra.id = 700 + row.code % 100;
    extra.type = 1;
    extra.cmd = R"({"pcOnOff":"off"})";
    imsdk::req_mrtc_request call = req(500, "r1", {12}, "", "hungup_uiclick");
    call.id = 700 + row.code % 100;
    // A call request carrying an extra record and the other way round.
    imsdk::_sdkcmd_base* wrong =
        row.code == 24006 ? static_cast<imsdk::_sdkcmd_base*>(&call) : &extra;
    imsdk::cmdEnvelope wrongEnv{wrong, 4};
    imsdk::cmdEnvelope emptyEnv{nullptr, 4};
    a.clearRecords();
    a.plugin()->onNetRequest(row.code, 0, 0);
    a.plugin()->onNetRequest(row.code, reinterpret_cast<uintptr_t>(&emptyEnv), 0);
    a.plugin()->onNetRequest(row.code, reinterpret_cast<uintptr_t>(&wrongEnv), 0);
    const auto results = a.results();
    ASSERT_EQ(results.size(), 3u) << row.code;
    for (const simhost::Result& r : results) {
      EXPECT_EQ(r.cmdId, row.code);
      EXPECT_EQ(r.result, row.expected) << row.code;
    }
    EXPECT_EQ(results[2].id, 700 + row.code % 100) << row.code;
    EXPECT_TRUE(a.sent().empty()) << row.code;
  }
  // The talk placed first is untouched: a call for it again is no new talk,
  // and the gate is still open.
  EXPECT_EQ(site.plugin(a).settings().pcOnOff.load(), 1);
  EXPECT_EQ(codeOf(a, a.request(24001, req(500, "r2", {12}))), 2);
}

TEST(RequestEntry, RoomTokensAreCachedAndStaleEntriesPurgedOneAtATime) {
  Site site;
  auto& a = site.add("a", 11);
  for (const char* room : {"A", "B", "C", "D"}) {
    a.config().cacheValues[room] =
        std::string(R"({"code":0,"result":"ok","token":"tk-)") + room + "\"}";
  }
  auto token = [&](const std::string& room) {
    const int64_t id = a.extra(22, R"({"reqData":{"roomId":")" + room + "\"}}");
    return answerTo(a, id);
  };
  for (const char* room : {"A", "B", "C"}) EXPECT_EQ(token(room).result, 0);
  EXPECT_EQ(a.cacheRequests(), 3);
  EXPECT_EQ(token("B").extend, R"({"roomId":"B","roomToken":"tk-B"})");
  EXPECT_EQ(a.cacheRequests(), 3);

  site.advance(2 * 86400 * 1000LL);
  // Two days later a hit is still served from the cache.
  EXPECT_EQ(token("A").extend, R"({"roomId":"A","roomToken":"tk-A"})");
  EXPECT_EQ(a.cacheRequests(), 3);
  // A miss asks the host and drops only the first stale entry (A).
  EXPECT_EQ(token("D").result, 0);
  EXPECT_EQ(a.cacheRequests(), 4);
  EXPECT_EQ(token("B").result, 0);
  EXPECT_EQ(token("C").result, 0);
  EXPECT_EQ(a.cacheRequests(), 4);
  EXPECT_EQ(token("A").result, 0);
  EXPECT_EQ(a.cacheRequests(), 5);

  // Unknown room, or a request text without a room: 7 and no answer text.
  a.config().cacheCode = 3;
  const simhost::Result missing = token("Z");
  EXPECT_EQ(missing.result, 7);
  EXPECT_EQ(missing.extend, "");
  EXPECT_EQ(codeOf(a, a.extra(22, R"({"roomId":"A"})")), 7);
}

}  // namespace
}  // namespace reqtest
