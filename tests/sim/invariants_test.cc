// The invariant checks over a made-up timeline: each reports the break it
// exists for, lets pass what the protocol allows, and excuses a second
// finish hint only when the first was lost on its way.
#include "invariants/invariants.h"

#include <gtest/gtest.h>

namespace mrtcsim {
namespace {

class Timeline {
 public:
  Timeline() { run_.clients = {{"alice", 1001, 1}, {"bob", 1002, 1}, {"bob-phone", 1002, 2}}; }

  Item& add(int64_t t, const char* client, const char* itemKind) {
    Item it;
    it.t = t;
    it.client = client;
    it.kind = itemKind;
    run_.items.push_back(std::move(it));
    return run_.items.back();
  }
  void answered(int64_t t, const char* client, int64_t cmd, const char* room, const char* word) {
    add(t, client, kind::kRequest)
        .set("cmd", cmd)
        .set("annotation", codec::Text(word))
        .set("roomId", codec::Text(room))
        .set("answered", int64_t{1})
        .set("result", int64_t{0});
  }
  void delivered(int64_t t, const char* client, int64_t fromUser, const char* command,
                 const char* room, const char* flag = "") {
    add(t, client, kind::kDeliver)
        .set("fromUser", fromUser)
        .set("command", codec::Text(command))
        .set("flag", codec::Text(flag))
        .set("body", codec::Text(std::string(R"({"roomId":")") + room + "\"}"));
  }
  void event(int64_t t, const char* client, int64_t type, const char* room) {
    add(t, client, kind::kEvent).set("type", type).set("roomId", codec::Text(room));
  }
  void finishHint(int64_t t, const char* client, const char* room, const char* fault = nullptr) {
    Item& it = add(t, client, fault != nullptr ? kind::kFault : kind::kMessage);
    it.set("type", int64_t{8})
        .set("properties",
             codec::Text(std::string(R"({"operType":"22","usersInfo":"groupId=5001,roomId=)") +
                         room + R"(,operUserName=A"})"));
    if (fault != nullptr) it.set("fault", codec::Text(fault)).set("delays", IdList{0});
  }

  // The breaks of these invariants, "name: what (excused by)".
  std::vector<std::string> breaks(std::initializer_list<const char*> names) const {
    std::vector<std::string> out;
    for (const Violation& v : checkInvariants(Scenario(), run_)) {
      for (const char* name : names) {
        if (v.invariant != name) continue;
        out.push_back(v.invariant + ": " + v.what +
                      (v.excusedBy.empty() ? "" : " (excused by " + v.excusedBy + ")"));
      }
    }
    return out;
  }

 private:
  RunResult run_;
};

TEST(Invariants, ARingAfterTheUserAnsweredDeclinedOrLeftIsABreak) {
  Timeline tl;
  tl.delivered(1000, "bob", 1001, "multi_call", "r1");
  tl.event(1000, "bob", 1, "r1");
  tl.answered(2000, "bob", 24003, "r1", "accept");
  tl.delivered(3000, "bob", 1001, "multi_call", "r1", "recall");
  tl.event(3000, "bob", 1, "r1");
  // A new invitation into the room may ring again.
  tl.delivered(4000, "bob", 1001, "multi_invite", "r1");
  tl.event(4000, "bob", 1, "r1");
  // The phone learns that the pc answered: no ring after that.
  tl.delivered(1500, "bob-phone", 1001, "multi_call", "r2");
  tl.event(1500, "bob-phone", 1, "r2");
  tl.delivered(2500, "bob-phone", 1002, "multi_intoroom", "r2");
  tl.delivered(3500, "bob-phone", 1001, "multi_call", "r2", "recall");
  tl.event(3500, "bob-phone", 1, "r2");
  EXPECT_EQ(tl.breaks({"no_ring_back"}),
            (std::vector<std::string>{
                "no_ring_back: bob at 3000 ms: rings for room r1 after its user answered, "
                "declined or left it (cause: multi_call)",
                "no_ring_back: bob-phone at 3500 ms: rings for room r2 after its user answered, "
                "declined or left it (cause: multi_call)",
            }));
}

TEST(Invariants, ABusyReplyIsNoRefusal) {
  Timeline tl;
  tl.delivered(1000, "bob", 1001, "multi_call", "r1");
  tl.event(1000, "bob", 1, "r1");
  tl.answered(2000, "bob", 24005, "r1", "busy");
  tl.delivered(3000, "bob", 1001, "multi_call", "r1", "recall");
  tl.event(3000, "bob", 1, "r1");
  EXPECT_EQ(tl.breaks({"no_ring_back"}), std::vector<std::string>{});
  tl.answered(4000, "bob", 24005, "r1", "refuse");
  tl.delivered(5000, "bob", 1001, "multi_call", "r1", "recall");
  tl.event(5000, "bob", 1, "r1");
  EXPECT_EQ(tl.breaks({"no_ring_back"}).size(), 1u);
}

TEST(Invariants, AfterItsEndARoomShowsOnlyHintsCardsAndEntries) {
  Timeline tl;
  tl.event(1000, "alice", 5, "r1");
  tl.event(2000, "alice", 21, "r1");
  tl.event(2000, "alice", 22, "r1");
  tl.event(2000, "alice", 3, "r1");
  tl.event(3000, "alice", 4, "r1");
  tl.event(3000, "alice", 4, "r2");
  // Taking part again lifts it.
  tl.answered(4000, "alice", 24001, "r1", "");
  tl.event(5000, "alice", 4, "r1");
  EXPECT_EQ(tl.breaks({"silent_after_end"}),
            (std::vector<std::string>{"silent_after_end: alice at 3000 ms: event 4 for room r1 "
                                      "after its event 5 (cause: )"}));
}

TEST(Invariants, ASecondFinishHintIsExcusedOnlyWhenTheFirstWasLostToItsPoster) {
  Timeline tl;
  tl.finishHint(1000, "alice", "r1");
  tl.finishHint(2000, "bob", "r1");
  tl.finishHint(3000, "bob", "r2", "loss");
  tl.finishHint(3000, "alice", "r2");
  tl.finishHint(4000, "bob", "r2");
  // A duplicate whose first copy came in time excuses nothing.
  tl.finishHint(5000, "bob", "r3", "dup");
  tl.finishHint(5000, "alice", "r3");
  tl.finishHint(6000, "bob", "r3");
  EXPECT_EQ(
      tl.breaks({"one_finish_hint"}),
      (std::vector<std::string>{
          "one_finish_hint: bob at 2000 ms: a second finish hint for room r1",
          "one_finish_hint: bob at 4000 ms: a second finish hint for room r2 (excused by loss)",
          "one_finish_hint: bob at 6000 ms: a second finish hint for room r3",
      }));
}

}  // namespace
}  // namespace mrtcsim
