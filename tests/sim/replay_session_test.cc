// A replay's record of what the plug-in did: answers joined to their own
// request, entries compared without their stamps, and only the first
// divergence kept with the steps that led to it.
#include <gtest/gtest.h>

#include "crossing.h"
#include "replay/session.h"

namespace mrtcsim {
namespace replay {
namespace {

codec::Item item(const char* client, const char* kind) {
  codec::Item it;
  it.client = client;
  it.kind = kind;
  return it;
}

codec::Item request(const char* client, int64_t id) {
  return item(client, codec::kind::kRequest).set("cmd", int64_t{24001}).set("id", id);
}

codec::Item result(const char* client, int64_t id, int64_t code, const char* answer) {
  return item(client, codec::kind::kResult).set("id", id).set("result", code).set("answer", answer);
}

std::string fieldsOf(const codec::Item& it) {
  std::string out = it.client + ":";
  for (const codec::Field& f : it.fields) out += " " + f.key + "=" + codec::valueText(f.value);
  return out;
}

TEST(ReplaySession, AnAnswerJoinsTheLatestRequestOfItsClientWithItsId) {
  Session s(0);
  s.add(request("p1", 1));
  s.add(request("p2", 1));
  s.add(item("p1", codec::kind::kEvent).set("type", int64_t{1}));
  s.add(result("p1", 1, 0, R"({"addr":"a"})"));
  s.add(request("p1", 2));
  // Another id than the client's latest request: dropped, never joined to
  // an older one.
  s.add(result("p1", 1, 5, ""));
  s.add(result("p2", 1, 3, ""));
  const std::vector<codec::Item> items = s.items();
  std::vector<std::string> lines;
  for (const codec::Item& it : items) lines.push_back(fieldsOf(it));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       R"(p1: cmd=24001 id=1 answered=1 result=0 answer={"addr":"a"})",
                       "p2: cmd=24001 id=1 answered=1 result=3",
                       "p1: type=1",
                       "p1: cmd=24001 id=2 answered=0",
                   }));
}

TEST(ReplaySession, EntriesCompareWithoutTheirStamps) {
  const codec::Item recorded = item("p1", codec::kind::kMessage)
                                   .set("seq", int64_t{4})
                                   .set("type", int64_t{15})
                                   .set("thread", int64_t{2})
                                   .set("members", codec::IdList{1, 2})
                                   .set("ret", int64_t{1});
  codec::Item produced = item("p1", codec::kind::kMessage)
                             .set("type", int64_t{15})
                             .set("members", codec::IdList{1, 2})
                             .set("seq", int64_t{9})
                             .set("service", int64_t{3});
  EXPECT_EQ(difference(recorded, produced), "");
  EXPECT_EQ(fieldsOf(bare(recorded)), "p1: type=15 members=[1,2]");
  produced.set("members", codec::IdList{2, 1});
  EXPECT_EQ(difference(recorded, produced), "members: recorded [1,2], produced [2,1]");
  produced.set("members", codec::IdList{1, 2}).set("body", codec::Text("x"));
  EXPECT_EQ(difference(recorded, produced), R"(body: recorded none, produced "x")");
  EXPECT_EQ(difference(produced, recorded), R"(body: recorded "x", produced none)");
  EXPECT_EQ(difference(recorded, item("p1", codec::kind::kEvent)),
            "kind: recorded message, produced event");
  // A number and the same digits as text are not the same.
  EXPECT_EQ(difference(item("p1", "x").set("type", int64_t{15}),
                       item("p1", "x").set("type", codec::Text("15"))),
            R"(type: recorded 15, produced "15")");
}

TEST(ReplaySession, OnlyTheFirstDivergenceIsKeptWithItsClientsLastSteps) {
  Session s(0);
  for (int64_t i = 1; i <= 8; ++i) {
    s.add(item("p1", codec::kind::kEvent).set("type", i));
    s.add(item("p2", codec::kind::kEvent).set("type", 100 + i));
  }
  Entry recorded;
  recorded.where = "a.jsonl:7";
  recorded.line = R"({"t":0,"client":"p1","kind":"event"})";
  const codec::Item produced = item("p1", codec::kind::kTimer).set("type", int64_t{1});
  EXPECT_FALSE(s.diverged());
  EXPECT_TRUE(s.diverge("p1", "kind: recorded event, produced timer", &recorded, &produced));
  EXPECT_FALSE(s.diverge("p2", "later", nullptr, nullptr));
  EXPECT_TRUE(s.diverged());
  const Divergence d = s.first();
  EXPECT_EQ(d.client, "p1");
  EXPECT_EQ(d.what, "kind: recorded event, produced timer");
  EXPECT_EQ(d.recorded, R"(a.jsonl:7: {"t":0,"client":"p1","kind":"event"})");
  EXPECT_EQ(d.produced, R"({"t":0,"client":"p1","kind":"timer","type":1})");
  ASSERT_EQ(d.before.size(), 6u);
  EXPECT_NE(d.before.front().find("event   3 "), std::string::npos) << d.before.front();
  EXPECT_NE(d.before.back().find("event   8 "), std::string::npos) << d.before.back();
  for (const std::string& line : d.before) EXPECT_EQ(line.find("p2"), std::string::npos) << line;
}

}  // namespace
}  // namespace replay
}  // namespace mrtcsim
