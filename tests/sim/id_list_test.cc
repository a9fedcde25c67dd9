// Id lists in the timeline: one stored array per distinct content, however
// the records holding them alternate, and never a wrong list back.
#include <gtest/gtest.h>

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
