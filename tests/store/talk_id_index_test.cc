// The talk's id index against a plain model: random changes of member
// places, left places and the history, over enough ids to grow the table
// several times, with consecutive ids (the usual deployment) and spread ones
// (long probe chains), after a talk's record in ascending order (its list
// read in place, as the store changes it, until the index needs entries of
// its own) or in another.
#include "store/talk_id_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace imsdkmrtc {
namespace {

struct Model {
  std::map<int64_t, uint32_t> member;
  std::map<int64_t, uint32_t> left;
  std::vector<int64_t> history;
};

void expectSame(const talkIdIndex& index, const Model& model, const std::vector<int64_t>& ids) {
  for (int64_t id : ids) {
    auto m = model.member.find(id);
    auto l = model.left.find(id);
    ASSERT_EQ(index.memberPos(id), m == model.member.end() ? talkIdIndex::kNone : m->second) << id;
    ASSERT_EQ(index.leftPos(id), l == model.left.end() ? talkIdIndex::kNone : l->second) << id;
  }
  std::vector<int64_t> notMembers;
  EXPECT_EQ(index.history(), model.history);
  for (int64_t id : model.history) {
    if (model.member.count(id) == 0) notMembers.push_back(id);
  }
  std::vector<int64_t> got = {-1};  // appended after what is there
  index.appendHistoryNotMembers(got);
  got.erase(got.begin());
  EXPECT_EQ(got, notMembers);
  EXPECT_EQ(index.memberCount(), model.member.size());
  EXPECT_EQ(index.leftCount(), model.left.size());
  EXPECT_EQ(index.historyCount(), model.history.size());
}

enum class recordOrder { kAscending, kShuffled };

// A record that repeats an id is left to the caller, with nothing indexed:
// the repeat last (where a pass finds it latest), or beside the first in an
// otherwise ascending record.
void expectRepeatRefused(std::vector<int64_t> record, bool reserveFirst) {
  const int64_t repeated = record[record.size() / 2];
  for (bool last : {true, false}) {
    std::vector<int64_t> repeating = record;
    repeating.insert(last ? repeating.end() : repeating.begin() + record.size() / 2, repeated);
    talkIdIndex index;
    if (reserveFirst) index.reserve(1000);
    EXPECT_FALSE(index.addFirstMembers(&repeating)) << last;
    expectSame(index, Model{}, record);
  }
}

// The member places of the model: each id of the list at its place, but
// for one dropped and not yet taken out of it.
void placeList(Model& model, const std::vector<int64_t>& list, int64_t pending = 0) {
  model.member.clear();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] != pending) model.member[list[i]] = static_cast<uint32_t>(i);
  }
}

// The store's changes of its member list while the index may read it in
// place: members taken out one at a time (the others closing up) or several
// in one pass, a drop undone at once, lookups, left places taken from ids
// that have none, the history offered ids it holds. The last drop is left
// pending: the index then takes entries of its own with that id still in
// the list.
void playList(talkIdIndex& index, Model& model, std::vector<int64_t>& list, std::mt19937& rng) {
  {
    // A left place given to a member of a list read in place is kept, and
    // the member keeps its place and its history mark.
    std::vector<int64_t> copy = list;
    talkIdIndex other;
    ASSERT_TRUE(other.addFirstMembers(&copy));
    other.setLeftPos(copy[1], 0);
    ASSERT_EQ(other.leftPos(copy[1]), 0u);
    ASSERT_EQ(other.memberPos(copy[1]), 1u);
    ASSERT_TRUE(other.inHistory(copy[1]));
  }
  for (int round = 0; round < 30 && list.size() > 8; ++round) {
    const size_t at = rng() % list.size();
    const int64_t id = list[at];
    switch (rng() % 5) {
      case 0: {
        index.setMemberPos(id, talkIdIndex::kNone);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
        for (size_t i = at; i < list.size(); ++i) {
          index.setMemberPos(list[i], static_cast<uint32_t>(i));
        }
        break;
      }
      case 1: {
        std::vector<char> drop(list.size(), 0);
        for (int k = 0; k < 4; ++k) drop[rng() % list.size()] = 1;
        for (size_t i = 0; i < list.size(); ++i) {
          if (drop[i] != 0) index.setMemberPos(list[i], talkIdIndex::kNone);
        }
        size_t out = 0;
        for (size_t i = 0; i < list.size(); ++i) {
          if (drop[i] != 0) continue;
          list[out] = list[i];
          index.setMemberPos(list[out], static_cast<uint32_t>(out));
          ++out;
        }
        list.resize(out);
        break;
      }
      case 2:
        index.setMemberPos(id, talkIdIndex::kNone);
        ASSERT_EQ(index.memberPos(id), talkIdIndex::kNone);
        ASSERT_TRUE(index.inHistory(id));
        index.setMemberPos(id, static_cast<uint32_t>(at));
        break;
      case 3:
        index.setLeftPos(id, talkIdIndex::kNone);
        break;
      default:
        EXPECT_FALSE(index.addHistory(id));
    }
    placeList(model, list);
    ASSERT_EQ(index.memberPos(id),
              model.member.count(id) != 0 ? model.member[id] : talkIdIndex::kNone);
    ASSERT_EQ(index.leftPos(id), talkIdIndex::kNone);
  }
  const int64_t pending = list[list.size() / 2];
  index.setMemberPos(pending, talkIdIndex::kNone);
  placeList(model, list, pending);
  EXPECT_EQ(index.memberCount(), model.member.size());
}

// A talk's record first: the lead ids become members and join the history
// in one pass, as a received call puts them; random changes follow, each
// looked up at once, and the whole index is compared now and then. The first
// changes touch only the lead ids: a record in ascending order is then still
// read in place or indexed without a table, until enough lookups build it.
void play(int64_t first, int64_t step, bool reserveFirst, size_t lead = 0,
          recordOrder order = recordOrder::kAscending) {
  std::mt19937 rng(7);
  std::vector<int64_t> ids;
  for (int64_t i = 0; i < 3000; ++i) ids.push_back(first + i * step);
  talkIdIndex index;
  Model model;
  if (reserveFirst) index.reserve(1000);
  // The index may read it until the end.
  std::vector<int64_t> record(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(lead));
  if (lead > 0) {
    if (order == recordOrder::kShuffled) std::shuffle(record.begin(), record.end(), rng);
    expectRepeatRefused(record, reserveFirst);
    EXPECT_TRUE(index.addFirstMembers(&record));
    for (size_t i = 0; i < lead; ++i) {
      model.member[record[i]] = static_cast<uint32_t>(i);
      model.history.push_back(record[i]);
    }
    playList(index, model, record, rng);
    expectSame(index, model, ids);
  }
  for (int round = 0; round < 20000; ++round) {
    const size_t from = round < 200 && lead > 0 ? lead : round < 10000 ? 1500 : ids.size();
    const int64_t id = ids[rng() % from];
    const auto pos = static_cast<uint32_t>(rng() % 5000);
    switch (rng() % 7) {
      case 0:
      case 1:
        index.setMemberPos(id, pos);
        model.member[id] = pos;
        break;
      case 2:
        index.setMemberPos(id, talkIdIndex::kNone);
        model.member.erase(id);
        break;
      case 3:
        index.setLeftPos(id, pos);
        model.left[id] = pos;
        break;
      case 4:
        index.setLeftPos(id, talkIdIndex::kNone);
        model.left.erase(id);
        break;
      case 5: {
        // A member keeps its place; anyone else gets one and joins the
        // history unless already in it.
        const bool absent = model.member.count(id) == 0;
        const bool inHistory = index.inHistory(id);
        EXPECT_EQ(index.addMember(id, pos), absent);
        if (absent) model.member[id] = pos;
        if (absent && !inHistory) model.history.push_back(id);
        break;
      }
      default: {
        const bool fresh = !index.inHistory(id);
        EXPECT_EQ(index.addHistory(id), fresh);
        if (fresh) model.history.push_back(id);
        EXPECT_TRUE(index.inHistory(id));
      }
    }
    const auto m = model.member.find(id);
    const auto l = model.left.find(id);
    ASSERT_EQ(index.memberPos(id), m == model.member.end() ? talkIdIndex::kNone : m->second);
    ASSERT_EQ(index.leftPos(id), l == model.left.end() ? talkIdIndex::kNone : l->second);
    if (round % 500 == 499) expectSame(index, model, ids);
  }
  expectSame(index, model, ids);
  index.clear();
  expectSame(index, Model{}, ids);
}

TEST(TalkIdIndex, FollowsAModelOverGrowthAndClear) {
  play(100001, 1, false);
  play(100001, 1, true);
  // Multiples of a large power of two land on few home slots.
  play(-5, int64_t{1} << 40, false);
  play(100001, 1, true, 700);
  play(-5, int64_t{1} << 40, false, 1200);
  play(100001, 1, true, 3000);
  play(100001, 1, false, 2000, recordOrder::kShuffled);
  play(-5, int64_t{1} << 40, true, 700, recordOrder::kShuffled);
}

}  // namespace
}  // namespace imsdkmrtc
