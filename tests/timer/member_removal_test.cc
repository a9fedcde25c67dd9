// Taking many ids out of the records of a room gives exactly what taking them
// out one at a time does (whichever way the room's ids are found and taken), and an add of only new
// ids keeps exactly the ids no record of the room holds: checked against plain versions on random
// queues, and case by case for the walk that settles an ascending request and each way back from
// it. Records and copies of them share id lists, so a change through one holder must never show in
// another.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "timer/ordered_take.h"
#include "timer/timer_fixture.h"

namespace timertest {
namespace {

using imsdkmrtc::timeoutRecord;

// A record as the plain versions change it: its own list of ids.
struct plainRecord {
  int32_t category;
  int32_t type;
  std::string key;
  std::vector<int64_t> members;
  int32_t duration;
};

std::vector<plainRecord> plain(const std::vector<timeoutRecord>& queue) {
  std::vector<plainRecord> out;
  for (const timeoutRecord& r : queue) {
    out.push_back({r.category, r.type, r.key, r.members.ids(), r.duration});
  }
  return out;
}

std::vector<std::string> describeAll(const std::vector<plainRecord>& queue) {
  std::vector<std::string> out;
  for (const plainRecord& p : queue) {
    timeoutRecord r;
    r.category = p.category;
    r.type = p.type;
    r.key = p.key;
    r.members = p.members;
    r.duration = p.duration;
    out.push_back(describe(r));
  }
  return out;
}

bool ofRoom(const plainRecord& r, int32_t category, const std::string& key) {
  return r.category == category && r.key == key;
}

// Whether the walk settles taking `ids` out of the records of room (1, "r1").
bool walkSettles(const std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids) {
  std::vector<const std::vector<int64_t>*> lists;
  for (const timeoutRecord& r : queue) {
    if (r.category == 1 && r.key == "r1") lists.push_back(&r.members.ids());
  }
  return imsdkmrtc::orderedTake().walk(lists, ids);
}

// One id at a time: a pass takes the id's first occurrence out of each record
// of the room (the last id fills the place) and ends at the first record it
// empties, which the queue's last record replaces; passes repeat while one
// finds the id, at most 50 per id. Sets *limited when an id used all 50.
void referenceTakeOut(std::vector<plainRecord>& queue, int32_t category, const std::string& key,
                      const std::vector<int64_t>& ids, bool* limited) {
  for (int64_t id : ids) {
    int pass = 0;
    for (; pass < 50; ++pass) {
      bool changed = false;
      for (size_t i = 0; i < queue.size(); ++i) {
        plainRecord& r = queue[i];
        if (!ofRoom(r, category, key)) continue;
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

std::vector<int64_t> referenceNotHeld(const std::vector<plainRecord>& queue, int32_t category,
                                      const std::string& key, const std::vector<int64_t>& ids) {
  std::vector<int64_t> out;
  for (int64_t id : ids) {
    bool held = false;
    for (const plainRecord& r : queue) {
      held = held || (ofRoom(r, category, key) &&
                      std::find(r.members.begin(), r.members.end(), id) != r.members.end());
    }
    if (!held) out.push_back(id);
  }
  return out;
}

// A whole call's members taken out at once: the room's records split one
// list of members (a record for each, or a few callees' rings beside the
// others' wait, or pieces), now and then with an id held twice; records of
// another room share lists or not. The request names the list, in its order
// or another, with ids repeated, left out or added. A list of a few members
// against a long request is among them.
std::vector<imsdk::timerCmd> drawWholeCall(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<int64_t> list;
  for (int i = pick(0, 2) == 0 ? pick(1, 4) : pick(5, 60); i > 0; --i) {
    list.push_back(100 + static_cast<int64_t>(list.size()));
  }
  std::vector<int64_t> split = list;
  if (pick(0, 1) == 0) std::shuffle(split.begin(), split.end(), rng);
  if (pick(0, 4) == 0)
    split.insert(split.begin() + pick(0, static_cast<int>(split.size())), split[0]);
  std::vector<std::vector<int64_t>> lists;
  const int shape = pick(0, 2);
  for (size_t at = 0; at < split.size();) {
    size_t length = split.size() - at;
    if (shape == 0) length = 1;
    if (shape == 1 && lists.size() < 3 && pick(0, 1) == 0) length = 1;
    if (shape == 2) length = std::min(length, static_cast<size_t>(pick(1, 12)));
    lists.emplace_back(split.begin() + static_cast<std::ptrdiff_t>(at),
                       split.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  for (int i = pick(0, 3); i > 0; --i) {
    lists.push_back(pick(0, 1) == 0 ? lists[0] : std::vector<int64_t>{list[0], 999});
  }
  std::shuffle(lists.begin(), lists.end(), rng);
  std::vector<imsdk::timerCmd> cmds;
  for (const std::vector<int64_t>& ids : lists) {
    cmds.push_back(addCmd(1, pick(1, 2), pick(0, 4) == 0 ? "r2" : "r1", ids, pick(1, 99), 2));
  }
  std::vector<int64_t> requested = list;
  if (pick(0, 1) == 0) std::shuffle(requested.begin(), requested.end(), rng);
  if (pick(0, 2) == 0)
    requested.erase(requested.begin() + pick(0, static_cast<int>(list.size()) - 1));
  for (int i = pick(0, 1) == 0 ? 0 : pick(1, 80); i > 0; --i) {
    const int64_t id =
        pick(0, 1) == 0 ? list[pick(0, static_cast<int>(list.size()) - 1)] : 500 + pick(0, 99);
    requested.insert(requested.begin() + pick(0, static_cast<int>(requested.size())), id);
  }
  cmds.push_back(pick(0, 1) == 0 ? addCmd(1, pick(1, 2), "r1", requested, 88, 0)
                                 : removeCmd(1, pick(1, 2), "r1", requested));
  return cmds;
}

// Records that split ascending ids among them (a call's members among its
// ring and wait records), a few or more than the walk looks at, with records
// of another room between; now and then an id in two records or a list out
// of order. The request names ascending ids with repeats and ids held
// nowhere, or only the smaller ones, or two of them swapped.
std::vector<imsdk::timerCmd> drawAscending(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<std::vector<int64_t>> lists(static_cast<size_t>(pick(1, 10)));
  const int64_t top = 100 + pick(5, 80);
  for (int64_t id = 100; id < top; ++id) {
    if (pick(0, 3) != 0)
      lists[static_cast<size_t>(pick(0, static_cast<int>(lists.size()) - 1))].push_back(id);
  }
  std::vector<int64_t>& some =
      lists[static_cast<size_t>(pick(0, static_cast<int>(lists.size()) - 1))];
  if (pick(0, 5) == 0) {
    some.push_back(100 + pick(0, static_cast<int>(top - 101)));
    std::sort(some.begin(), some.end());
  }
  if (pick(0, 5) == 0 && some.size() > 1)
    std::swap(some[0], some[static_cast<size_t>(pick(1, static_cast<int>(some.size()) - 1))]);
  std::vector<imsdk::timerCmd> cmds;
  for (const std::vector<int64_t>& ids : lists) {
    if (!ids.empty()) cmds.push_back(addCmd(1, pick(1, 2), "r1", ids, pick(1, 99), 2));
    if (pick(0, 3) == 0) cmds.push_back(addCmd(1, 1, "r2", {100, 101}, 88, 2));
  }
  std::shuffle(cmds.begin(), cmds.end(), rng);
  std::vector<int64_t> requested;
  for (int64_t id = 90; id < top + 10; ++id) {
    for (int n = pick(0, 5) == 0 ? 2 : 1; n > 0; --n) requested.push_back(id);
  }
  if (pick(0, 2) == 0)
    requested.resize(static_cast<size_t>(pick(1, static_cast<int>(requested.size()))));
  if (pick(0, 4) == 0 && requested.size() > 1) {
    const auto at = static_cast<size_t>(pick(0, static_cast<int>(requested.size()) - 2));
    std::swap(requested[at], requested[at + 1]);
  }
  cmds.push_back(pick(0, 1) == 0 ? addCmd(1, pick(1, 2), "r1", requested, 88, 0)
                                 : removeCmd(1, pick(1, 2), "r1", requested));
  return cmds;
}

// A random queue and request: mostly a few records, sometimes very many of
// one room; ids from a small or a large alphabet, so that lists repeat ids
// or not, and records often carry the same ids.
std::vector<imsdk::timerCmd> draw(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int shape = pick(0, 3);
  if (shape == 0) return drawWholeCall(rng);
  if (shape == 1) return drawAscending(rng);
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
    const std::vector<int64_t> list =
        !cmds.empty() && pick(0, 3) == 0 ? cmds.back().members : ids(length);
    cmds.push_back(addCmd(pick(1, 2), std::vector<int32_t>{1, 2, 7}[pick(0, 2)],
                          pick(0, 3) == 0 ? "r2" : "r1", list, pick(1, 99), 2));
  }
  std::vector<int64_t> requested = ids(pick(0, 30));
  const int kind = pick(0, 2);
  cmds.push_back(kind == 0   ? addCmd(1, pick(1, 2), "r1", requested, 88, 0)
                 : kind == 1 ? addCmd(1, pick(1, 2), "r1", requested, 88, 1)
                             : removeCmd(1, pick(1, 2), "r1", requested));
  return cmds;
}

TEST_F(TimerTest, TakingIdsOutMatchesOneAtATime) {
  std::mt19937 rng(20261206);
  int limited = 0;
  int emptied = 0;
  int onlyNew = 0;
  int roomGone = 0;
  int walked = 0;
  for (int round = 0; round < 1600; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<imsdk::timerCmd> cmds = draw(rng);
    const imsdk::timerCmd request = cmds.back();
    cmds.pop_back();
    imsdkmrtc::pluginOther other(plugin_, nullptr);
    for (const imsdk::timerCmd& cmd : cmds) other.onTimeout(cmd);
    // A copy taken before the request shares the queue's lists.
    const std::vector<timeoutRecord> earlier = other.snapshot();
    const std::vector<std::string> earlierText = describeAll(plain(earlier));
    std::vector<plainRecord> expected = plain(earlier);
    std::vector<int64_t> added = request.members;
    if (request.memberMode == 1) {
      added = referenceNotHeld(expected, request.category, request.key, request.members);
      onlyNew += added.size() != request.members.size() ? 1 : 0;
    } else {
      size_t held = 0;
      for (const plainRecord& r : expected) held += ofRoom(r, 1, "r1") ? r.members.size() : 0;
      walked += held > 4 && walkSettles(earlier, request.members) ? 1 : 0;
      const size_t before = expected.size();
      bool hitLimit = false;
      referenceTakeOut(expected, request.category, request.key, request.members, &hitLimit);
      limited += hitLimit ? 1 : 0;
      emptied += expected.size() < before ? 1 : 0;
      auto inRoom = [&](const plainRecord& r) { return ofRoom(r, 1, "r1"); };
      roomGone +=
          before - expected.size() > 1 && std::none_of(expected.begin(), expected.end(), inRoom)
              ? 1
              : 0;
    }
    if (request.op == 1 && !added.empty()) {
      expected.push_back({request.category, request.type, request.key, added, request.duration});
    }
    other.onTimeout(request);
    ASSERT_EQ(describeAll(expected), describeAll(plain(other.snapshot())));
    ASSERT_EQ(earlierText, describeAll(plain(earlier)));
  }
  // The draws reach the bounds that make the order subtle.
  EXPECT_GT(limited, 10);
  EXPECT_GT(emptied, 100);
  EXPECT_GT(onlyNew, 50);
  EXPECT_GT(roomGone, 60);
  EXPECT_GT(walked, 120);
}

struct WalkCase {
  const char* name;
  std::vector<imsdk::timerCmd> before;
  std::vector<int64_t> ids;  // taken out of room (1, "r1")
  bool walked;               // settled by the walk, else id by id
  std::vector<std::string> queue;
};

TEST_F(TimerTest, AnAscendingRemovalIsWalkedAndAnyOtherTakenIdById) {
  auto wait = [](std::vector<int64_t> ids) { return addCmd(1, 1, "r1", std::move(ids), 88, 2); };
  auto ring = [](std::vector<int64_t> ids) { return addCmd(1, 2, "r1", std::move(ids), 68, 2); };
  auto elsewhere = [](const char* key) { return addCmd(1, 1, key, {9}, 88, 2); };
  const imsdk::timerCmd keepAlive = addCmd(0, 3, "keepalive", {}, 60, 2);
  std::vector<imsdk::timerCmd> nineRecords;
  for (int64_t id = 1; id <= 9; ++id) nineRecords.push_back(wait({id}));
  // Ids from..to, but for those left out; long enough that the walk compares
  // them in blocks.
  auto run = [](int64_t from, int64_t to, std::vector<int64_t> without = {}) {
    std::vector<int64_t> ids;
    for (int64_t id = from; id <= to; ++id) {
      if (std::find(without.begin(), without.end(), id) == without.end()) ids.push_back(id);
    }
    return ids;
  };
  std::vector<int64_t> lastDiffers = run(1, 69);
  lastDiffers.push_back(71);
  std::vector<int64_t> repeatInBlock = run(1, 70);
  repeatInBlock.insert(repeatInBlock.begin() + 40, 40);
  nineRecords.push_back(elsewhere("x"));
  nineRecords.push_back(elsewhere("y"));
  // clang-format off
  const std::vector<WalkCase> cases = {
      {"a finished call: the callee's ring and wait go, ids not held pass",
       {ring({13}), keepAlive, wait({12, 14, 15, 16, 17})}, {11, 12, 13, 14, 15, 16, 17, 13}, true,
       {"0/3/keepalive/[]/60"}},
      {"records go in the order they empty",
       {wait({1, 2}), ring({3, 4, 5}), elsewhere("x"), elsewhere("y")}, {1, 2, 3, 4, 5}, true,
       {"1/1/y/[9]/88", "1/1/x/[9]/88"}},
      {"a record that keeps ids loses its first ones, its last filling each place",
       {wait({1, 2, 3, 4, 5, 6})}, {1, 2}, true, {"1/1/r1/[6,5,3,4]/88"}},
      {"a record keeping one id of many", {wait({1, 2, 3, 4, 5})}, {1, 2, 3, 4}, true,
       {"1/1/r1/[5]/88"}},
      {"takes alternate between records",
       {wait({1, 3, 5, 7, 9}), ring({2, 4, 6}), elsewhere("x")}, {1, 2, 3, 4, 5}, true,
       {"1/1/r1/[9,7]/88", "1/2/r1/[6]/68", "1/1/x/[9]/88"}},
      {"ids held nowhere pass", {wait({2, 4, 6, 8, 10})}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true, {}},
      {"a repeated id finds nothing more",
       {wait({1, 2, 3, 4, 5}), elsewhere("x"), elsewhere("y")}, {1, 1, 2, 2, 3, 4, 5, 5}, true,
       {"1/1/y/[9]/88", "1/1/x/[9]/88"}},
      {"a record of the room without ids stays",
       {addCmd(1, 7, "r1", {}, 30, 2), wait({1, 2, 3, 4, 5})}, {1, 2, 3, 4, 5}, true,
       {"1/7/r1/[]/30"}},
      {"order changed", {wait({1, 2, 3, 4, 5})}, {2, 1}, false, {"1/1/r1/[4,5,3]/88"}},
      {"a held id named before a smaller one", {wait({1, 2, 3, 4, 5, 6})}, {3}, false,
       {"1/1/r1/[1,2,6,4,5]/88"}},
      {"one record holds an id twice", {wait({1, 2, 3, 4, 2})}, {1, 2, 3, 4}, false, {}},
      {"an id held twice in a row, where the request ends", {wait({1, 2, 3, 4, 4, 5})}, {1, 2, 3, 4},
       false, {"1/1/r1/[5]/88"}},
      {"two records hold one id", {wait({1, 2, 3}), ring({3, 4, 5}), elsewhere("x")}, {1, 2, 3},
       false, {"1/1/x/[9]/88", "1/2/r1/[5,4]/68"}},
      {"a list not ascending past the walk holds an id the walk passed",
       {wait({1, 3}), ring({9, 2, 10}), elsewhere("x")}, {1, 2, 3}, false,
       {"1/1/x/[9]/88", "1/2/r1/[9,10]/68"}},
      {"more records than the walk looks at", nineRecords, {1, 2, 3, 4, 5, 6, 7, 8, 9}, false,
       {"1/1/y/[9]/88", "1/1/x/[9]/88"}},
      {"a whole call: a callee's ring inside the others' wait", {wait(run(2, 70, {35})), ring({35}),
       elsewhere("x"), elsewhere("y")}, run(1, 71), true, {"1/1/x/[9]/88", "1/1/y/[9]/88"}},
      {"a long record that differs from the request at its last id", {wait(lastDiffers)},
       run(1, 70), true, {"1/1/r1/[71]/88"}},
      {"a long record holding an id twice in a row", {wait(repeatInBlock)}, run(1, 70), false, {}},
      {"a long record's run reaching another record's next id",
       {wait(run(1, 70, {35})), ring({35}), elsewhere("x")}, run(1, 70, {35}), false,
       {"1/1/x/[9]/88", "1/2/r1/[35]/68"}},
  };
  // clang-format on
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.name);
    imsdkmrtc::pluginOther other(plugin_, nullptr);
    for (const imsdk::timerCmd& cmd : c.before) other.onTimeout(cmd);
    EXPECT_EQ(c.walked, walkSettles(other.snapshot(), c.ids));
    other.onTimeout(removeCmd(1, 1, "r1", c.ids));
    EXPECT_EQ(c.queue, describeAll(plain(other.snapshot())));
  }
}

TEST_F(TimerTest, RecordsWithTheSameIdsShareOneListThatNoHolderChanges) {
  imsdkmrtc::pluginOther other(plugin_, nullptr);
  other.onTimeout(addCmd(1, 1, "r1", {5, 6, 7}, 88));
  other.onTimeout(addCmd(5, 7, "100", {5, 6, 7}, 30, 2));
  other.onTimeout(addCmd(3, 4, "100", {5, 6, 7}, 5, 2));
  other.onTimeout(addCmd(1, 2, "r1", {5, 6}, 68, 2));
  const std::vector<timeoutRecord> earlier = other.snapshot();
  ASSERT_EQ(4u, earlier.size());
  EXPECT_TRUE(earlier[0].members.sharesWith(earlier[1].members));
  EXPECT_TRUE(earlier[0].members.sharesWith(earlier[2].members));
  EXPECT_FALSE(earlier[0].members.sharesWith(earlier[3].members));

  // A callee answered: the room's records lose the id, the recall and the
  // card keep theirs, and so does the copy taken before.
  other.onTimeout(removeCmd(1, 1, "r1", {6}));
  const std::vector<timeoutRecord> now = other.snapshot();
  EXPECT_EQ((std::vector<std::string>{"1/1/r1/[5,7]/88", "5/7/100/[5,6,7]/30", "3/4/100/[5,6,7]/5",
                                      "1/2/r1/[5]/68"}),
            describeAll(plain(now)));
  EXPECT_TRUE(now[1].members.sharesWith(now[2].members));
  EXPECT_EQ((std::vector<std::string>{"1/1/r1/[5,6,7]/88", "5/7/100/[5,6,7]/30",
                                      "3/4/100/[5,6,7]/5", "1/2/r1/[5,6]/68"}),
            describeAll(plain(earlier)));
}

// The digest only narrows the search: two lists whose digests collide (made
// so from the digest's steps) are told apart by their ids, never shared.
TEST_F(TimerTest, ListsWhoseDigestsCollideAreNotShared) {
  auto step = [](uint64_t h, int64_t id) {
    h ^= static_cast<uint64_t>(id);
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 32);
  };
  const uint64_t start = 0x9E3779B97F4A7C15ull ^ 2;
  const int64_t other = static_cast<int64_t>(step(start, 5) ^ 6 ^ step(start, 7));
  ASSERT_EQ(imsdkmrtc::memberList::hashOf({5, 6}), imsdkmrtc::memberList::hashOf({7, other}))
      << "the digest changed: make the colliding list anew";
  imsdkmrtc::pluginOther queue(plugin_, nullptr);
  queue.onTimeout(addCmd(1, 1, "r1", {5, 6}, 88));
  queue.onTimeout(addCmd(1, 2, "r2", {7, other}, 68));
  const std::vector<timeoutRecord> records = queue.snapshot();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(
      (std::vector<std::string>{"1/1/r1/[5,6]/88", "1/2/r2/[7," + std::to_string(other) + "]/68"}),
      describeAll(plain(records)));
  EXPECT_FALSE(records[0].members.sharesWith(records[1].members));
}

}  // namespace
}  // namespace timertest
