// The hint texts the request handlers hand to the application as UI events.
#include <gtest/gtest.h>

#include <string>

#include "request_site.h"

namespace reqtest {
namespace {

struct Group {
  Site site;
  simhost::Client& a = site.add("a", 11);
  Group() {
    site.net.addUser(11, "Ann");
    site.net.addGroup(500, {11, 12, 13});
  }
};

TEST(HintEvents, BeginHintOfAGroupCallOnly) {
  struct Row {
    const char* extend;
    bool event;
  };
  const Row rows[] = {{R"({"rtcType":"rtc"})", true},
                      {"", true},
                      {R"({"mode":"single"})", false},
                      {R"({"rtcType":"p2pconfer"})", false}};
  for (const Row& row : rows) {
    Group g;
    ASSERT_EQ(codeOf(g.a, g.a.request(24001, req(500, "r1", {12, 13}, row.extend))), 0);
    const auto events = eventsOfType(g.a, 21);
    ASSERT_EQ(events.size(), row.event ? 1u : 0u) << row.extend;
    if (!row.event) continue;
    EXPECT_EQ(events[0].extend,
              R"({"operType":"21","operUser":"11","usersInfo":"groupId=500,roomId=r1,)"
              R"(operUserName=Ann"})");
    EXPECT_EQ(events[0].annotation, "");
    EXPECT_EQ(events[0].roomId, "");
  }
}

TEST(HintEvents, FinishHintAskedByTheApplication) {
  Group g;
  ASSERT_EQ(codeOf(g.a, g.a.request(24001, req(500, "r1", {12}))), 0);
  g.a.clearRecords();
  EXPECT_EQ(codeOf(g.a, g.a.extra(14, R"({"groupId":"999"})")), 0);
  // The client's own hint handler sees the hint first and reports it too.
  const auto events = eventsOfType(g.a, 21);
  ASSERT_EQ(events.size(), 2u);
  for (const simhost::UiEvent& e : events) {
    EXPECT_EQ(e.extend,
              R"({"operType":"22","operUser":"11","usersInfo":"groupId=500,roomId=r1,)"
              R"(operUserName=Ann"})");
  }
  // A second request for the same room: the hint is not written again.
  g.a.clearRecords();
  EXPECT_EQ(codeOf(g.a, g.a.extra(14, "")), 0);
  EXPECT_TRUE(sentOfMsgType(g.a, 8).empty());
  EXPECT_EQ(eventsOfType(g.a, 21).size(), 2u);
}

}  // namespace
}  // namespace reqtest
