// The request road's entry: the gate, dispatch on slot 7, records of the
// wrong kind and the room-token cache.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "request_site.h"
#include "requests/plugin_request.h"

namespace reqtest {
namespace {

bool netLogged(const simhost::Client& c) {
  for (const simhost::LogLine& line : c.logs()) {
    if (line.func.rfind("imsdkmrtc::pluginNet::", 0) == 0) return true;
  }
  return false;
}

TEST(RequestEntry, GateDropsCallsSilentlyButNotTheSettingsChannel) {
  Ann t;
  EXPECT_EQ(codeOf(t.a, t.a.extra(1, R"({"pcOnOff":"off"})")), 0);
  t.a.clearRecords();
  EXPECT_EQ(t.ask(24001, "r1", "", {12}), -1000);
  EXPECT_FALSE(netLogged(t.a));
  EXPECT_TRUE(t.a.sent().empty());
  EXPECT_EQ(codeOf(t.a, t.a.extra(1, R"({"pcOnOff":"on"})")), 0);
  EXPECT_EQ(t.ask(24001, "r1", "", {12}), 0);
}

// What slot 7 may be handed besides a proper record: nothing, an empty
// envelope, or a record of the other kind. Each gets one answer with the
// handler's "unusable request" code and changes nothing; codes without a
// handler get no answer at all.
TEST(RequestEntry, MissingOrWrongRecordsAreAnsweredNotFollowed) {
  Ann t;
  ASSERT_EQ(t.ask(24001, "r1", "", {12}), 0);
  const std::pair<uint16_t, int32_t> rows[] = {{24001, 1}, {24002, 1}, {24003, 1}, {24004, 1},
                                               {24005, 1}, {24006, 7}, {24009, 1}, {24010, 1}};
  for (const auto& row : rows) {
    imsdk::req_mrtc_extra extra;
    extra.type = 1;
    extra.cmd = R"({"pcOnOff":"off"})";
    imsdk::req_mrtc_request call = req(500, "r1", {12}, "", "hungup_uiclick");
    call.id = extra.id = row.first;
    // A call request carrying an extra record and the other way round.
    imsdk::_sdkcmd_base* wrong =
        row.first == 24006 ? static_cast<imsdk::_sdkcmd_base*>(&call) : &extra;
    imsdk::cmdEnvelope wrongEnv{wrong, 4};
    imsdk::cmdEnvelope emptyEnv{nullptr, 4};
    t.a.clearRecords();
    t.a.plugin()->onNetRequest(row.first, 0, 0);
    t.a.plugin()->onNetRequest(row.first, reinterpret_cast<uintptr_t>(&emptyEnv), 0);
    t.a.plugin()->onNetRequest(row.first, reinterpret_cast<uintptr_t>(&wrongEnv), 0);
    const auto results = t.a.results();
    ASSERT_EQ(results.size(), 3u) << row.first;
    for (const simhost::Result& r : results) {
      EXPECT_EQ(r.cmdId, row.first);
      EXPECT_EQ(r.result, row.second) << row.first;
    }
    EXPECT_EQ(results[2].id, row.first);
    EXPECT_TRUE(t.a.sent().empty()) << row.first;
  }
  t.a.clearRecords();
  for (uint16_t code : {24007, 24011, 24500, 24998}) {
    imsdk::req_mrtc_request record = req(500, "r1", {12});
    imsdk::cmdEnvelope env{&record, 4};
    EXPECT_TRUE(t.a.plugin()->onNetRequest(code, reinterpret_cast<uintptr_t>(&env), 0));
  }
  EXPECT_TRUE(t.a.results().empty());
  EXPECT_TRUE(t.a.timerPosts().empty());
  // The talk placed first is untouched and the gate still open.
  EXPECT_EQ(t.plugin().settings().pcOnOff.load(), 1);
  EXPECT_EQ(t.ask(24001, "r2", "", {12}), 2);
}

// Each step: seconds passed before it, the room asked, the host requests made
// so far. Hits are served from the cache however old; a miss drops the first
// entry older than a day, and only that one.
TEST(RequestEntry, RoomTokensAreCachedAndStaleEntriesPurgedOneAtATime) {
  Site site;
  auto& a = site.add("a", 11);
  for (const char* room : {"A", "B", "C", "D", "E"}) {
    a.config().cacheValues[room] =
        std::string(R"({"code":0,"result":"ok","token":"tk-)") + room + "\"}";
  }
  struct Step {
    int64_t seconds;
    std::string room;
    int asked;
  };
  const Step steps[] = {{0, "A", 1}, {0, "B", 2}, {0, "C", 3}, {0, "B", 3}, {86400, "D", 4},
                        {0, "A", 4}, {1, "E", 5}, {0, "B", 5}, {0, "C", 5}, {0, "A", 6}};
  for (const Step& s : steps) {
    site.advance(s.seconds * 1000);
    const simhost::Result r =
        answerTo(a, a.extra(22, R"({"reqData":{"roomId":")" + s.room + "\"}}"));
    EXPECT_EQ(r.result, 0) << s.room;
    EXPECT_EQ(r.extend, R"({"roomId":")" + s.room + R"(","roomToken":"tk-)" + s.room + "\"}");
    EXPECT_EQ(a.cacheRequests(), s.asked) << s.room;
  }
  // Unknown room, or a request text without a room: 7 and no answer text.
  a.config().cacheCode = 3;
  const simhost::Result missing = answerTo(a, a.extra(22, R"({"reqData":{"roomId":"Z"}})"));
  EXPECT_EQ(missing.result, 7);
  EXPECT_EQ(missing.extend, "");
  EXPECT_EQ(codeOf(a, a.extra(22, R"({"roomId":"A"})")), 7);
}

}  // namespace
}  // namespace reqtest
