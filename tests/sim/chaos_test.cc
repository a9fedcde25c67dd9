// Chaos runs replay exactly, and a failing run shrinks to a small scenario
// that still fails the same way.
#include "chaos/chaos.h"

#include <gtest/gtest.h>

#include "chaos/workload.h"
#include "plugin_loader.h"
#include "runner.h"
#include "scenario.h"
#include "step_actions.h"

namespace mrtcsim {
namespace {

const simhost::PluginLibrary& chaosLibrary() {
  static simhost::PluginLibrary lib(MRTC_PLUGIN_PATH);
  return lib;
}

// The timeline as --json prints it. Log lines stay out: they carry object
// addresses.
std::string timeline(const std::string& text) {
  RunResult run = runScenario(readScenario(text, "chaos.json"), chaosLibrary());
  std::string out;
  for (const Item& it : run.items) {
    if (it.kind != kind::kLog) out += renderJson(it) + "\n";
  }
  return out;
}

TEST(ChaosReplay, ARecordedSeedReplaysToTheSameTimelineByteForByte) {
  const uint64_t seed = workloadSeed(15, 3);
  const Workload work = makeWorkload(seed, faultKinds(), 12);
  EXPECT_EQ(makeWorkload(seed, faultKinds(), 12).text, work.text);
  const std::string first = timeline(work.text);
  // Faults were drawn (and recorded) in this run, and the run went on.
  EXPECT_NE(first.find(R"("kind":"fault")"), std::string::npos);
  EXPECT_NE(first.find(R"("kind":"deliver")"), std::string::npos);
  EXPECT_EQ(timeline(work.text), first);
}

// A run-out shorter than the ring breaks "talk_ends" on purpose. The
// shrinker must keep that failure and take away every client and step that
// does not matter to it.
TEST(ChaosShrink, KeepsTheFailureAndDropsWhatDoesNotMatter) {
  const std::string text =
      R"({"users":[{"id":1001},{"id":1002},{"id":1003}],)"
      R"("groups":[{"id":5001,"members":[1001,1002,1003]}],)"
      R"("clients":[{"name":"alice","user":1001,"timeOffset":20},{"name":"bob","user":1002},)"
      R"({"name":"carol","user":1003}],"invariants":["talk_ends"],"runOut":30,"steps":[)"
      R"({"at":1,"client":"carol","request":"keepalive"},)"
      R"({"at":2,"client":"alice","request":"call","groupId":5001,"roomId":"r","members":[1002]},)"
      R"({"at":3,"client":"carol","request":"keepalive"},)"
      R"({"at":4,"client":"alice","freeze":true},{"at":4,"client":"bob","freeze":true},)"
      R"({"at":4,"client":"carol","freeze":true}]})";
  // The run-out (30 s) is shorter than the ring: the call is still busy when
  // the run ends, which "talk_ends" reports once every application stopped.
  const std::string small = shrinkScenario(text, "talk_ends", chaosLibrary());
  const Scenario sc = readScenario(small, "small.json");
  ASSERT_EQ(sc.clients.size(), 1u);
  EXPECT_EQ(sc.clients[0].timeOffsetMs, 0);
  ASSERT_EQ(sc.steps.size(), 2u);
  EXPECT_EQ(sc.steps[0].client, "alice");
  EXPECT_EQ(sc.steps[0].action, findStepAction("request"));
  RunResult run = runScenario(sc, chaosLibrary());
  ASSERT_EQ(run.failures.size(), 1u);
  EXPECT_EQ(run.failures[0].rfind("invariant talk_ends: ", 0), 0u) << run.failures[0];
}

}  // namespace
}  // namespace mrtcsim
