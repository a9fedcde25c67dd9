// A redacted trace keeps no one's ids, names, rooms, tokens or addresses,
// wherever they are quoted, and keeps what the replay compares: the order
// of ids, the service account, and digits that are no id.
#include "replay/redact.h"

#include <gtest/gtest.h>

#include "read_error.h"

namespace mrtcsim {
namespace replay {
namespace {

// The own-user answer, a query of the host, and a message that quotes
// everything in its texts.
const char kTrace[] =
    R"({"t":0,"client":"p1","kind":"query","seq":1,"query":"ownUser","service":6,"ret":20005})"
    "\n"
    R"({"t":1,"client":"p1","kind":"query","seq":2,"query":"cache","service":21,)"
    R"("value":"tok-77","ip":"192.0.2.9","plugin":"/opt/lib/libmrtcplugin.so.1"})"
    "\n\n"
    R"({"t":2,"client":"p1","kind":"message","seq":3,"senderId":20002,"target":10001,)"
    R"("members":[20005,20002,0],"roomId":"room-a","roomName":"Team A",)"
    R"("body":"{\"senderId\":\"20002\",\"roomId\":\"room-a\",\"x\":\"a20002 20002x 200021 20005\"}",)"
    R"("log":"name Team A as VGVhbSBB, token tok-77 at 192.0.2.9:10670, seq 3"})"
    "\n";

TEST(Redact, EveryQuotedIdentityGetsOneStandInAndIdsKeepTheirOrder) {
  const std::string out = redactTrace(kTrace, "trace.jsonl");
  EXPECT_EQ(out,
            R"({"t":0,"client":"p1","kind":"query","seq":1,"query":"ownUser","service":6,)"
            R"("ret":7000002})"
            "\n"
            R"({"t":1,"client":"p1","kind":"query","seq":2,"query":"cache","service":21,)"
            R"("value":"token1","ip":"host1.invalid","plugin":"libmrtcplugin.so.1"})"
            "\n"
            R"({"t":2,"client":"p1","kind":"message","seq":3,"senderId":7000001,)"
            R"("target":10001,"members":[7000002,7000001,0],"roomId":"room1","roomName":"Name1",)"
            R"("body":"{\"senderId\":\"7000001\",\"roomId\":\"room1\",)"
            R"(\"x\":\"a20002 20002x 200021 7000002\"}",)"
            R"("log":"name Name1 as TmFtZTE=, token token1 at host1.invalid:10670, seq 3"})"
            "\n");
}

// One call's traces from two devices share the stand-ins: an id or a room
// one device names in a field and the other only quotes maps alike.
TEST(Redact, TracesOfOneCallShareTheirStandIns) {
  const std::vector<std::string> out = redactTraces({
      {R"({"t":0,"client":"p1","kind":"message","seq":1,"senderId":30001,"roomId":"r-9"})", "a"},
      {R"({"t":0,"client":"p1","kind":"message","seq":1,"body":"30001 in r-9, 30002"})", "b"},
  });
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], R"({"t":0,"client":"p1","kind":"message","seq":1,"senderId":7000001,)"
                    R"("roomId":"room1"})"
                    "\n");
  EXPECT_EQ(out[1],
            R"({"t":0,"client":"p1","kind":"message","seq":1,"body":"7000001 in room1, 30002"})"
            "\n");
}

TEST(Redact, ABrokenTraceIsRefusedWithItsLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"{\"t\":0,\"client\":\"p1\",\"kind\":\"x\",\"seq\":1}\n{", "t.jsonl:2: not a JSON text"},
      {R"({"t":0,"client":"p1","kind":"x"})", R"(t.jsonl:1: "seq" is missing)"},
      {R"({"t":0,"client":"p1","kind":"x","seq":0})", R"(t.jsonl:1: "seq" must be positive)"},
  };
  for (const auto& c : cases) {
    try {
      redactTrace(c.text, "t.jsonl");
      ADD_FAILURE() << "redacted: " << c.text;
    } catch (const codec::ReadError& e) {
      EXPECT_STREQ(e.what(), c.error) << c.text;
    }
  }
}

}  // namespace
}  // namespace replay
}  // namespace mrtcsim
