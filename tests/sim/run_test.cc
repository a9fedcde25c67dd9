// Runs that cannot go on stop with the file and step; the applications'
// keep-alives and media reports follow what each application believes.
#include <gtest/gtest.h>

#include "plugin_loader.h"
#include "runner.h"
#include "scenario.h"

namespace mrtcsim {
namespace {

const simhost::PluginLibrary& library() {
  static simhost::PluginLibrary lib(MRTC_PLUGIN_PATH);
  return lib;
}

RunResult run(const std::string& steps, const std::string& clients = "") {
  std::string text =
      R"({"users":[{"id":1001},{"id":1002}],"groups":[{"id":5001,"members":[1001,1002]}],)"
      R"("clients":[{"name":"alice","user":1001},{"name":"bob","user":1002)" +
      clients + R"(}],"runOut":0,"steps":)" + steps + "}";
  return runScenario(readScenario(text, "f.json"), library());
}

size_t count(const RunResult& r, const std::string& client, const char* k, int64_t cmd) {
  size_t n = 0;
  for (const Item& it : r.items) {
    if (it.client == client && it.kind == k && it.num("cmd") == cmd) ++n;
  }
  return n;
}

TEST(Run, StepsThatCannotRunStopTheRunNamingThem) {
  ASSERT_TRUE(library().loaded()) << library().error();
  RunResult r = run(R"([{"advance":10},{"at":5}])");
  EXPECT_EQ(r.error,
            "f.json: step 2: \"at\" 5000 ms is earlier than the current time, 10000 ms (an "
            "\"advance\" went past it)");
  r = run(R"([{"client":"bob","push":{"bodyFrom":"alice"}}])");
  EXPECT_EQ(r.error,
            "f.json: step 1: client \"alice\" has sent no signalling message to take a body from");
}

TEST(Run, KeepAlivesOnlyWhileTheApplicationIsInATalk) {
  ASSERT_TRUE(library().loaded()) << library().error();
  // Bob rings from 1 s, answers, and hangs up at 50 s; his application sends
  // a keep-alive every 20 s in between (21 s, 41 s) and none after.
  RunResult r = run(R"([
    {"at":1,"client":"alice","request":"call","groupId":5001,"roomId":"r","members":[1002],
     "extend":{"rtcType":"rtc"}},
    {"at":2,"client":"bob","request":"intoroom","groupId":5001,"roomId":"r","members":[1002]},
    {"at":50,"client":"bob","request":"hungup","annotation":"hungup_uiclick","groupId":5001,"roomId":"r"},
    {"at":120}])");
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(count(r, "bob", kind::kRequest, 24008), 2u);
  // Alice stays in her talk until the end: 21, 41, ..., 101 s.
  EXPECT_EQ(count(r, "alice", kind::kRequest, 24008), 5u);
  // Bob's entering and leaving were reported to Alice, who was in the room.
  EXPECT_EQ(count(r, "alice", kind::kRequest, 24009), 2u);
  EXPECT_EQ(count(r, "bob", kind::kRequest, 24009), 0u);
}

TEST(Run, AVanishedClientsApplicationDoesNothingMore) {
  ASSERT_TRUE(library().loaded()) << library().error();
  RunResult r = run(R"([
    {"at":1,"client":"alice","request":"call","groupId":5001,"roomId":"r","members":[1002],
     "extend":{"rtcType":"rtc"}},
    {"at":2,"client":"bob","request":"intoroom","groupId":5001,"roomId":"r","members":[1002]},
    {"at":3,"client":"bob","online":false},
    {"at":50}])");
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(count(r, "bob", kind::kRequest, 24008), 0u);
  // The media server saw Bob go: Alice's application reports it.
  bool left = false;
  for (const Item& it : r.items) {
    left = left || (it.client == "alice" && it.num("cmd") == 24009 &&
                    it.str("annotation") == "levelroom" && it.t == 3000);
  }
  EXPECT_TRUE(left);
}

}  // namespace
}  // namespace mrtcsim
