// Expectations against timeline items, and the timeline's JSON lines.
#include "expect.h"

#include <gtest/gtest.h>

namespace mrtcsim {
namespace {

Item event(const std::string& client, int64_t type, IdList members, int64_t t = 0) {
  Item it;
  it.t = t;
  it.client = client;
  it.kind = kind::kEvent;
  it.set("type", type)
      .set("annotation", "")
      .set("members", members)
      .set("extend", R"({"mode":"normal"})");
  return it;
}

Expectation want(const std::string& label, std::vector<Field> fields, int count = -1) {
  Expectation e;
  e.kind = kind::kEvent;
  e.label = label;
  e.want = std::move(fields);
  e.count = count;
  return e;
}

TEST(Expectations, MatchFieldsClientListsAndText) {
  Item it = event("bob", 1, {1002, 1003});
  EXPECT_TRUE(matches(want("a", {{"client", "bob"}, {"type", int64_t{1}}}), it));
  EXPECT_FALSE(matches(want("b", {{"client", "carol"}, {"type", int64_t{1}}}), it));
  // Id lists compare without order, but with every entry.
  EXPECT_TRUE(matches(want("c", {{"members", IdList{1003, 1002}}}), it));
  EXPECT_FALSE(matches(want("d", {{"members", IdList{1002}}}), it));
  // A field the item lacks, or of another type, never matches.
  EXPECT_FALSE(matches(want("e", {{"selects", IdList{}}}), it));
  EXPECT_FALSE(matches(want("f", {{"type", "1"}}), it));
  Expectation text = want("g", {});
  text.contains = R"("mode":"normal")";
  EXPECT_TRUE(matches(text, it));
  text.contains = "single";
  EXPECT_FALSE(matches(text, it));
  Expectation otherKind = want("h", {{"type", int64_t{1}}});
  otherKind.kind = kind::kTimeout;
  EXPECT_FALSE(matches(otherKind, it));
}

TEST(Expectations, CheckOnlyTheWindowAndNameTheFailure) {
  std::vector<Item> items = {event("bob", 1, {}, 1000), event("bob", 5, {}, 2000),
                             event("carol", 5, {}, 2000)};
  // Items before the window do not count.
  std::vector<std::string> failed = check(
      {want("events[0]", {{"client", "bob"}, {"type", int64_t{1}}})}, items, 1, 3, "step 4 (bob)");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(
      failed[0],
      "step 4 (bob): expectation events[0] failed: event {\"client\":\"bob\",\"type\":1} did "
      "not happen; event items in this window:\n"
      "    {\"t\":2000,\"client\":\"bob\",\"kind\":\"event\",\"type\":5,\"annotation\":\"\","
      "\"members\":[],\"extend\":\"{\\\"mode\\\":\\\"normal\\\"}\"}\n"
      "    {\"t\":2000,\"client\":\"carol\",\"kind\":\"event\",\"type\":5,\"annotation\":\"\","
      "\"members\":[],\"extend\":\"{\\\"mode\\\":\\\"normal\\\"}\"}");
  // count is exact: 0 means never, 2 means twice.
  EXPECT_TRUE(check({want("x", {{"type", int64_t{5}}}, 2)}, items, 0, 3, "s").empty());
  EXPECT_EQ(check({want("x", {{"type", int64_t{5}}}, 1)}, items, 0, 3, "s").size(), 1u);
  failed = check({want("events[2]", {{"client", "carol"}}, 0)}, items, 0, 3, "final expectations");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].substr(0, failed[0].find(';')),
            "final expectations: expectation events[2] failed: event {\"client\":\"carol\"} "
            "happened 1 time(s), expected 0");
}

TEST(Timeline, JsonLinesStayValidJson) {
  Item it;
  it.t = 61000;
  it.client = "bob";
  it.kind = kind::kLog;
  // A GB2312 full-width colon, a UTF-8 character, a quote and a tab.
  it.set("text", "notify_keepalivetimeout\xA3\xBAno_talking. \xE8\xAF\x9D \"q\"\t")
      .set("ids", IdList{3, -1});
  EXPECT_EQ(renderJson(it),
            "{\"t\":61000,\"client\":\"bob\",\"kind\":\"log\",\"text\":\"notify_keepalivetimeout"
            "\\u00a3\\u00bano_talking. \xE8\xAF\x9D \\\"q\\\"\\t\",\"ids\":[3,-1]}");
}

}  // namespace
}  // namespace mrtcsim
