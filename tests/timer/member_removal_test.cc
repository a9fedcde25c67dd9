// Taking many ids out of the records of a room gives exactly what taking them
// out one at a time does: checked against a plain one-id-at-a-time version
// on random queues, through the queue's remove and replacing add.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "timer/timer_fixture.h"

namespace timertest {
namespace {

using imsdkmrtc::timeoutRecord;

// One id at a time: a pass takes the id's first occurrence out of each record
// of the room (the last id fills the place) and ends at the first record it
// empties, which the queue's last record replaces; passes repeat while one
// finds the id, at most 50 per id. Sets *limited when an id used all 50.
void referenceTakeOut(std::vector<timeoutRecord>& queue, int32_t category, const std::string& key,
                      const std::vector<int64_t>& ids, bool* limited) {
  for (int64_t id : ids) {
    int pass = 0;
    for (; pass < 50; ++pass) {
      bool changed = false;
      for (size_t i = 0; i < queue.size(); ++i) {
        timeoutRecord& r = queue[i];
        if (r.category != category || r.key != key) continue;
        auto it = std::find(r.members.begin(), r.members.end(), id);
        if (it == r.members.end()) continue;
        *it = r.members.back();
        r.members.pop_back();
        changed = true;
        if (r.members.empty()) {
          queue[i] = queue.back();
          queue.pop_back();
          break;
        }
      }
      if (!changed) break;
    }
    if (pass == 50) *limited = true;
  }
}

std::vector<std::string> describeAll(const std::vector<timeoutRecord>& queue) {
  std::vector<std::string> out;
  for (const timeoutRecord& r : queue) out.push_back(describe(r));
  return out;
}

// A random queue and request: mostly a few records, sometimes very many of
// one room; ids from a small or a large alphabet, so that lists repeat ids
// or not.
std::vector<imsdk::timerCmd> draw(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int alphabet = std::vector<int>{2, 4, 12, 400}[pick(0, 3)];
  auto ids = [&](int count) {
    std::vector<int64_t> out;
    for (int i = 0; i < count; ++i) out.push_back(100 + pick(0, alphabet - 1));
    return out;
  };
  const bool crowded = pick(0, 4) == 0;
  std::vector<imsdk::timerCmd> cmds;
  for (int i = crowded ? pick(45, 70) : pick(0, 8); i > 0; --i) {
    const int length = crowded ? pick(1, 2) : pick(0, alphabet == 2 ? 130 : 40);
    cmds.push_back(addCmd(pick(1, 2), std::vector<int32_t>{1, 2, 7}[pick(0, 2)],
                          pick(0, 3) == 0 ? "r2" : "r1", ids(length), pick(1, 99), 2));
  }
  std::vector<int64_t> requested = ids(pick(0, 30));
  cmds.push_back(pick(0, 1) == 0 ? addCmd(1, pick(1, 2), "r1", requested, 88, 0)
                                 : removeCmd(1, pick(1, 2), "r1", requested));
  return cmds;
}

TEST_F(TimerTest, TakingIdsOutMatchesOneAtATime) {
  std::mt19937 rng(20261206);
  int limited = 0;
  int emptied = 0;
  for (int round = 0; round < 600; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<imsdk::timerCmd> cmds = draw(rng);
    const imsdk::timerCmd request = cmds.back();
    cmds.pop_back();
    imsdkmrtc::pluginOther other(plugin_, nullptr);
    for (const imsdk::timerCmd& cmd : cmds) other.onTimeout(cmd);
    std::vector<timeoutRecord> expected = other.snapshot();
    const size_t before = expected.size();
    bool hitLimit = false;
    referenceTakeOut(expected, request.category, request.key, request.members, &hitLimit);
    limited += hitLimit ? 1 : 0;
    emptied += expected.size() < before ? 1 : 0;
    if (request.op == 1 && !request.members.empty()) {
      expected.push_back({request.category, request.type, request.key, request.members, 0,
                          request.duration, "", 0, 0, ""});
    }
    other.onTimeout(request);
    ASSERT_EQ(describeAll(expected), describeAll(other.snapshot()));
  }
  // The draws reach the bounds that make the order subtle.
  EXPECT_GT(limited, 10);
  EXPECT_GT(emptied, 100);
}

}  // namespace
}  // namespace timertest
