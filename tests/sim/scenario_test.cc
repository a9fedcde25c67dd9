// Scenario files: what a valid one reads as, and the error an invalid one
// gets (file, place, problem) before anything runs.
#include "scenario.h"

#include <gtest/gtest.h>

#include "step_actions.h"

namespace mrtcsim {
namespace {

// Users 1001..1003, group 5001, clients alice (pc) and bob (android).
std::string withSteps(const std::string& steps, const std::string& more = "") {
  return R"({"users":[{"id":1001,"name":"A"},{"id":1002,"name":"B"},{"id":1003}],)"
         R"("groups":[{"id":5001,"members":[1001,1002,1003]}],)"
         R"("clients":[{"name":"alice","user":1001},{"name":"bob","user":1002,"device":2}],)" +
         more + R"("steps":)" + steps + "}";
}

TEST(ScenarioReader, ReadsStepsAsWritten) {
  Scenario sc = readScenario(withSteps(R"([
    {"at":1.5,"client":"alice","request":"call","groupId":5001,"roomId":"r1","roomName":"n",
     "members":[1002,1003],"extend":{"rtcType":"rtc","initState":["1002_312"]},"kind":3,
     "expect":{"result":0,"events":[{"client":"bob","type":1,"members":[1003,1002]}]}},
    {"client":"bob","extra":{"type":16,"cmd":{"enable":"on","duration":"30"}}},
    {"advance":0.25},
    {"inject":{"as":"bob","to":5001,"body":"x","bodyType":15,"limitRange":[1001],"age":130}},
    {"client":"bob","push":{"from":1001,"bodyFrom":"alice","age":2}},
    {"client":"alice","online":false}
  ])"),
                             "f.json");
  ASSERT_EQ(sc.steps.size(), 6u);
  const Step& call = sc.steps[0];
  EXPECT_EQ(call.index, 1);
  EXPECT_TRUE(call.hasAt);
  EXPECT_EQ(call.atMs, 1500);
  EXPECT_EQ(call.action, findStepAction("request"));
  EXPECT_EQ(call.request.cmd, 24001);
  EXPECT_EQ(call.request.kind, 3);
  EXPECT_EQ(call.request.members, (IdList{1002, 1003}));
  EXPECT_EQ(call.request.extend, R"({"rtcType":"rtc","initState":["1002_312"]})");
  ASSERT_EQ(call.expects.size(), 2u);
  EXPECT_EQ(call.expects[0].label, "result");
  EXPECT_EQ(call.expects[0].kind, kind::kRequest);
  ASSERT_EQ(call.expects[0].want.size(), 3u);
  EXPECT_EQ(std::get<int64_t>(call.expects[0].want[1].value), 24001);
  EXPECT_EQ(call.expects[1].label, "events[0]");
  EXPECT_EQ(call.expects[1].count, -1);

  EXPECT_EQ(sc.steps[1].extra.type, 16);
  EXPECT_EQ(sc.steps[1].extra.cmd, R"({"enable":"on","duration":"30"})");
  EXPECT_EQ(sc.steps[2].advanceMs, 250);
  const MessageSpec& m = sc.steps[3].message;
  EXPECT_EQ(m.senderId, 1002);
  EXPECT_EQ(m.device, 2);  // taken from the client named in "as"
  EXPECT_EQ(m.bodyType, 15);
  EXPECT_EQ(m.ageMs, 130000);
  EXPECT_EQ(sc.steps[4].push.bodyFrom, "alice");
  EXPECT_EQ(sc.steps[4].push.ageMs, 2000);
  EXPECT_FALSE(sc.steps[5].online);
}

struct BadCase {
  const char* name;
  std::string text;
  std::string error;
};

TEST(ScenarioReader, NamesFileAndPlaceOfEachMistake) {
  const BadCase cases[] = {
      {"not JSON", "{\n  \"clients\": [}",
       "f.json: line 2, column 15: not valid JSON (Invalid value.)"},
      {"no clients", R"({"steps":[]})", "f.json: top level: \"clients\" is missing"},
      {"client of an unknown user",
       R"({"users":[{"id":1}],"clients":[{"name":"a","user":2}],"steps":[]})",
       "f.json: clients[0]: user 2 is not in users"},
      {"group member not a user",
       R"({"users":[{"id":1}],"groups":[{"id":9,"members":[1,7]}],)"
       R"("clients":[{"name":"a","user":1}],"steps":[]})",
       "f.json: groups[0]: member 7 is not in users"},
      {"unknown client", withSteps(R"([{"at":1},{"client":"dave","keepalive":true}])"),
       "f.json: step 2: unknown client \"dave\""},
      {"misspelt key", withSteps(R"([{"client":"alice","request":"call","rooomId":"r"}])"),
       "f.json: step 1: unknown key \"rooomId\""},
      {"two actions", withSteps(R"([{"client":"alice","request":"call","advance":3}])"),
       "f.json: step 1: one action per step (\"request\" and \"advance\")"},
      {"unknown request", withSteps(R"([{"client":"alice","request":"dial"}])"),
       "f.json: step 1: unknown request \"dial\" (call, invite, intoroom, join, hungup, "
       "keepalive, connectstate, templetjoin, or a number 24001..24010)"},
      {"request without client", withSteps(R"([{"request":"call"}])"),
       "f.json: step 1: \"client\" is missing"},
      {"request field on another step", withSteps(R"([{"advance":3,"roomId":"r"}])"),
       "f.json: step 1: \"roomId\" belongs to a \"request\" step"},
      {"time going back", withSteps(R"([{"at":5},{"at":2.5}])"),
       "f.json: step 2: \"at\" goes back in time (2.5 s after an earlier step at 5 s)"},
      {"misspelt expectation field",
       withSteps(R"([{"client":"alice","keepalive":true,"expect":{"events":[{"typ":1}]}}])"),
       "f.json: step 1: expect: events[0]: unknown key \"typ\""},
      {"result without a request", withSteps(R"([{"advance":1,"expect":{"result":0}}])"),
       "f.json: step 1: expect: \"result\" belongs to a step that makes a request"},
      {"extra type beyond 8 bits", withSteps(R"([{"client":"bob","extra":{"type":300}}])"),
       "f.json: step 1: extra: \"type\" must fit in 8 bits (-128..127)"},
      {"inject without sender", withSteps(R"([{"inject":{"to":5001,"body":"x"}}])"),
       "f.json: step 1: inject: the sender is missing: \"as\" (a client) or \"from\" (a user id)"},
      {"pull with body and bodyFrom",
       withSteps(
           R"([{"client":"bob","pull":{"messages":[{"from":1,"to":2,"body":"x","bodyFrom":"alice"}]}}])"),
       "f.json: step 1: pull: messages[0]: give exactly one of \"body\" and \"bodyFrom\""},
  };
  for (const BadCase& c : cases) {
    try {
      readScenario(c.text, "f.json");
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ScenarioError& e) {
      EXPECT_EQ(e.what(), c.error) << c.name;
    }
  }
}

}  // namespace
}  // namespace mrtcsim
