// Id lists in the timeline: one stored array per distinct content, however
// the records holding them alternate, and never a wrong list back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "item.h"

namespace codec {
namespace {

TEST(SharedIds, EqualListsShareOneArrayWhateverCameBetween) {
  const std::vector<int64_t> members = {100001, 100002, 100003};
  const std::vector<int64_t> callees = {100002, 100003};
  IdList a = sharedIds(members);
  IdList b = sharedIds(callees);
  IdList c = sharedIds(std::vector<int64_t>{100003});
  IdList again = sharedIds(members);
  EXPECT_TRUE(again.sharesWith(a));
  EXPECT_FALSE(b.sharesWith(a));
  EXPECT_EQ(idsText(again), "[100001,100002,100003]");
  // Order counts: the same ids in another order are another list.
  IdList turned = sharedIds(std::vector<int64_t>{100003, 100002});
  EXPECT_FALSE(turned.sharesWith(b));
  EXPECT_EQ(idsText(turned), "[100003,100002]");
  EXPECT_EQ(idsText(sharedIds({})), "[]");
}

TEST(SharedIds, AListChangedByItsOnlyHolderIsNotHandedOutForTheOldIds) {
  IdList owner = sharedIds(std::vector<int64_t>{7, 8});
  sharedIds(std::vector<int64_t>{9});  // the last-made list is another one now
  owner.push_back(10);                 // may change the pooled array in place
  EXPECT_EQ(idsText(sharedIds(std::vector<int64_t>{7, 8})), "[7,8]");
  EXPECT_EQ(idsText(owner), "[7,8,10]");
}

// The members of a call among n, from 100001 on.
std::vector<int64_t> members(int64_t n) {
  std::vector<int64_t> out;
  for (int64_t i = 0; i < n; ++i) out.push_back(100001 + i);
  return out;
}

std::vector<int64_t> without(std::vector<int64_t> ids, int64_t id) {
  ids.erase(std::find(ids.begin(), ids.end(), id));
  return ids;
}

TEST(SharedIds, AListOneIdAwayFromARecentOneIsStoredAsThatListAndTheId) {
  const std::vector<int64_t> all = members(600);
  const std::vector<int64_t> callees = without(all, 100001);
  const IdList everyone = sharedIds(all);
  const IdList called = sharedIds(callees);
  // One callee's wait list (the callees less itself), the first, a middle
  // one, the ones either side of positions 32, 256 and 288 (where the
  // comparison reads blocks) and the last left out; its cancel list (all
  // plus itself at the end); one id put in the middle.
  std::vector<int64_t> inserted = all;
  inserted.insert(inserted.begin() + 7, 5);
  std::vector<int64_t> plusOne = all;
  plusOne.push_back(100012);
  for (const std::vector<int64_t>& ids :
       {without(callees, 100002), without(callees, 100033), without(callees, 100034),
        without(callees, 100200), without(callees, 100257), without(callees, 100258),
        without(callees, 100289), without(callees, 100290), without(callees, 100600), plusOne,
        inserted}) {
    const IdList list = sharedIds(ids);
    EXPECT_TRUE(list.storedAsChangeOf(everyone) || list.storedAsChangeOf(called));
    EXPECT_EQ(list.vec(), ids);
    EXPECT_EQ(std::vector<int64_t>(list.begin(), list.end()), ids);
    EXPECT_EQ(list, IdList(ids));
    EXPECT_NE(list, everyone);
    EXPECT_EQ(list[list.size() - 1], ids.back());
  }
  // Two ids away is a list of its own.
  const IdList two = sharedIds(without(callees, 100003));
  const IdList further = sharedIds(without(without(callees, 100003), 100004));
  EXPECT_FALSE(further.storedAsChangeOf(called));
  EXPECT_EQ(further.size(), callees.size() - 2);
  // A changed list grown by its holder becomes its own, its base untouched.
  IdList grown = two;
  grown.push_back(7);
  EXPECT_EQ(grown.size(), callees.size());
  EXPECT_EQ(grown[grown.size() - 1], 7);
  EXPECT_EQ(called.vec(), callees);
  EXPECT_EQ(two.vec(), without(callees, 100003));
}

// Several lists one id away from one call's members are recent at once (a
// member less one, the members plus one at the end): a list shares one only
// when every id agrees, wherever it parts from their common base.
TEST(SharedIds, ARecentListIsHandedBackOnlyForTheSameIds) {
  const std::vector<int64_t> all = members(40);
  std::vector<std::vector<int64_t>> made = {all};
  for (int64_t id : {100010, 100011, 100012}) made.push_back(without(all, id));
  for (int64_t id : {100010, 100011}) {
    made.push_back(all);
    made.back().push_back(id);
  }
  std::vector<IdList> recent;
  for (const std::vector<int64_t>& ids : made) recent.push_back(sharedIds(ids));
  // Less a member, with an id before that member replaced: it parts from the
  // members before that member's list does, and agrees with it after.
  std::vector<int64_t> otherHead = without(all, 100012);
  otherHead[3] = 7;
  std::vector<int64_t> plusAnother = all;
  plusAnother.push_back(100012);
  struct Row {
    const char* what;
    std::vector<int64_t> ids;
    int same;  // index in `recent`, -1: none
  } rows[] = {
      {"less a member, made before", without(all, 100011), 2},
      {"less the first member left out, after the others", without(all, 100010), 1},
      {"plus a member, made before", made[5], 5},
      {"plus another member at the end", plusAnother, -1},
      {"less another member", without(all, 100013), -1},
      {"two ids away, the second as a recent list's", otherHead, -1},
      {"the members", all, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const IdList list = sharedIds(row.ids);
    EXPECT_EQ(list.vec(), row.ids);
    for (size_t i = 0; i < recent.size(); ++i) {
      EXPECT_EQ(list.sharesWith(recent[i]), static_cast<int>(i) == row.same) << i;
    }
  }
}

TEST(SharedText, ALongTextIsSharedAcrossOtherLongTextsBetween) {
  const std::string body(200, 'b');
  const Text first = sharedText(body);
  // Each recipient's record of the body comes between texts of its own.
  for (int i = 0; i < 10; ++i) {
    sharedText(std::string(100, static_cast<char>('0' + i)));
    const Text again = sharedText(body);
    EXPECT_EQ(&again.str(), &first.str());
  }
  EXPECT_EQ(sharedText(std::string(199, 'b') + "c").str(), std::string(199, 'b') + "c");
}

TEST(SharedIds, ListsNoRecordHoldsAreMadeAnew) {
  // Many short-lived lists: the pool sweeps the dead ones and still gives
  // each its own content.
  for (int64_t i = 0; i < 1000; ++i) {
    IdList list = sharedIds(std::vector<int64_t>{i, i + 1});
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(list[0], i);
  }
  EXPECT_EQ(idsText(sharedIds(std::vector<int64_t>{5, 6})), "[5,6]");
}

}  // namespace
}  // namespace codec
