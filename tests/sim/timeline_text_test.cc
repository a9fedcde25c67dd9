// The simulator's text output, one line a happening: what each kind shows,
// what it leaves out, and long texts cut on whole characters.
#include <gtest/gtest.h>

#include "timeline.h"

namespace mrtcsim {
namespace {

Item at(int64_t t, const char* client, const char* itemKind) {
  Item it;
  it.t = t;
  it.client = client;
  it.kind = itemKind;
  return it;
}

std::string text(const Item& it, size_t limit = 0, bool logs = false) {
  TextOptions options;
  options.textLimit = limit;
  options.withLogs = logs;
  return renderText(it, options);
}

TEST(TimelineText, RequestsShowTheirFieldsAndAnswer) {
  Item call = at(12500, "alice", kind::kRequest)
                  .set("cmd", int64_t{24001})
                  .set("annotation", codec::Text(""))
                  .set("groupId", int64_t{5001})
                  .set("roomId", codec::Text("r1"))
                  .set("members", IdList{1002, 1003})
                  .set("extend", codec::Text(""));
  EXPECT_EQ(text(call),
            "[   12.500] alice     request 24001 call group=5001 room=r1 members=[1002,1003] "
            "-> no answer");
  call.set("groupId", int64_t{0}).set("members", IdList{}).set("result", int64_t{0});
  call.set("answer", codec::Text(R"({"addr":"a"})"));
  EXPECT_EQ(text(call),
            R"([   12.500] alice     request 24001 call room=r1 -> 0 answer={"addr":"a"})");
  const Item extra = at(3000007, "bob", kind::kRequest)
                         .set("cmd", int64_t{24006})
                         .set("type", int64_t{16})
                         .set("cmdText", codec::Text(R"({"enable":"on"})"))
                         .set("result", int64_t{7});
  EXPECT_EQ(text(extra),
            R"([ 3000.007] bob       request 24006 extra type=16 cmd={"enable":"on"} -> 7)");
  Item keepAlive = at(1, "carol", kind::kRequest).set("cmd", int64_t{24008});
  EXPECT_EQ(text(keepAlive), "[    0.001] carol     request 24008 keepalive");
  keepAlive.set("by", codec::Text("application"));
  keepAlive.quiet = true;
  EXPECT_EQ(text(keepAlive), "");
  EXPECT_EQ(text(keepAlive, 0, true),
            "[    0.001] carol     request 24008 keepalive (application)");
}

TEST(TimelineText, MessagesAreNamedByTheirCommandOrType) {
  Item m = at(0, "alice", kind::kMessage)
               .set("type", int64_t{15})
               .set("target", int64_t{10001})
               .set("chat", int64_t{5001})
               .set("limitRange", IdList{1002})
               .set("command", codec::Text("multi_call"))
               .set("flag", codec::Text("recall"))
               .set("body", codec::Text("{}"));
  EXPECT_EQ(text(m),
            "[    0.000] alice     send    multi_call (recall) type=15 to 10001 (for 5001) "
            "limit=[1002] {}");
  m.set("type", int64_t{8}).set("chat", int64_t{10001}).set("limitRange", IdList{});
  EXPECT_EQ(text(m), "[    0.000] alice     send    hint type=8 to 10001 {}");
  m.kind = kind::kInsert;
  m.set("type", int64_t{26});
  EXPECT_EQ(text(m), "[    0.000] alice     insert  card type=26 to 10001 {}");
  m.set("type", int64_t{2});
  EXPECT_EQ(text(m), "[    0.000] alice     insert  shared text type=2 to 10001 {}");
  m.set("type", int64_t{15}).set("command", codec::Text("")).set("flag", codec::Text(""));
  EXPECT_EQ(text(m), "[    0.000] alice     insert  message type=15 to 10001 {}");
  EXPECT_EQ(text(at(0, "alice", kind::kDeliver).set("type", int64_t{15})), "");
}

TEST(TimelineText, LongTextsAreCutOnWholeCharacters) {
  // "é" is two bytes: a cut inside it moves back to before it.
  const std::string body = "abc\xc3\xa9" + std::string(20, 'x');
  const Item m = at(0, "a", kind::kMessage)
                     .set("type", int64_t{15})
                     .set("target", int64_t{7})
                     .set("chat", int64_t{7})
                     .set("body", codec::Text(body));
  EXPECT_EQ(text(m, 4), "[    0.000] a         send    message type=15 to 7 abc...(22 more bytes)");
  EXPECT_EQ(text(m, 5),
            "[    0.000] a         send    message type=15 to 7 abc\xc3\xa9...(20 more bytes)");
  EXPECT_EQ(text(m, body.size()), "[    0.000] a         send    message type=15 to 7 " + body);
  EXPECT_EQ(text(m), "[    0.000] a         send    message type=15 to 7 " + body);
}

TEST(TimelineText, OtherKindsReadAsASentence) {
  EXPECT_EQ(text(at(2000, "bob", kind::kOnline).set("online", int64_t{0})),
            "[    2.000] bob       vanished (offline, application stopped)");
  EXPECT_EQ(text(at(2000, "bob", kind::kOnline).set("online", int64_t{1})),
            "[    2.000] bob       back online");
  EXPECT_EQ(
      text(at(2000, "bob", kind::kOnline).set("online", int64_t{0}).set("partition", int64_t{1})),
      "[    2.000] bob       cut off (partition)");
  EXPECT_EQ(
      text(at(2000, "bob", kind::kOnline).set("online", int64_t{1}).set("partition", int64_t{1})),
      "[    2.000] bob       partition over");
  EXPECT_EQ(text(at(0, "bob", kind::kTimer)
                     .set("op", codec::Text("arm"))
                     .set("type", int64_t{1})
                     .set("seconds", int64_t{60})
                     .set("refresh", int64_t{1})
                     .set("key", codec::Text("r1"))),
            "[    0.000] bob       timer   arm wait 60 s (refresh) key=r1");
  EXPECT_EQ(text(at(0, "bob", kind::kTimeout).set("type", int64_t{99})),
            "[    0.000] bob       time-out type=99 (other)");
  const Item log = at(0, "bob", kind::kLog)
                       .set("func", codec::Text("on_call"))
                       .set("text", codec::Text("begin"));
  EXPECT_EQ(text(log), "");
  EXPECT_EQ(text(log, 0, true), "[    0.000] bob       log     on_call: begin");
  EXPECT_EQ(text(at(0, "bob", "fault").set("what", codec::Text("lost")).set("n", int64_t{0})),
            "[    0.000] bob       fault what=lost n=0");
}

}  // namespace
}  // namespace mrtcsim
