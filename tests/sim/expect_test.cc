// Expectations against timeline items, and the media rooms' reports.
#include "expect.h"

#include <gtest/gtest.h>

#include "media_room.h"

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

TEST(MediaRooms, OthersInTheRoomReportWhoEntersAndLeaves) {
  MediaRoom rooms;
  EXPECT_TRUE(rooms.enter("alice", 1001, "r1", 5001).empty());  // alone in the room
  std::vector<MediaReport> r = rooms.enter("bob", 1002, "r1", 0);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].reporter, "alice");
  EXPECT_EQ(r[0].annotation, "intoroom");
  EXPECT_EQ(r[0].groupId, 5001);  // the room keeps the group it was opened for
  EXPECT_EQ(r[0].roomId, "r1");
  EXPECT_EQ(r[0].user, 1002);
  EXPECT_TRUE(rooms.enter("bob", 1002, "r1", 5001).empty());  // already there
  r = rooms.enter("carol", 1003, "r1", 5001);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].reporter, "alice");
  EXPECT_EQ(r[1].reporter, "bob");
  // Entering another room leaves the first one.
  r = rooms.enter("bob", 1002, "r2", 5001);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].annotation, "levelroom");
  EXPECT_EQ(r[0].reporter, "alice");
  EXPECT_EQ(r[1].reporter, "carol");
  EXPECT_EQ(rooms.roomOf("bob"), "r2");
  r = rooms.leave("alice");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].reporter, "carol");
  EXPECT_EQ(r[0].user, 1001);
  EXPECT_TRUE(rooms.leave("alice").empty());  // not in any room
  EXPECT_TRUE(rooms.enter("dave", 1004, "", 5001).empty());
  EXPECT_EQ(rooms.roomOf("dave"), "");
}

}  // namespace
}  // namespace mrtcsim
