// Talk records: creation of the current talk from a record.
#include "store_fixture.h"

namespace imsdkmrtc {
namespace storetest {
namespace {

using Creation = StoreTest;

// The creating record's members, states and former members, against the
// talk the store then holds (self 100 is added first when the operation
// creates with self).
TEST_F(Creation, MembersFromTheRecord) {
  struct Case {
    bool withSelf;  // localCall creates with self, remoteCall without
    std::vector<int64_t> members;
    std::vector<uint8_t> memstates;
    std::vector<int64_t> hismembers;
    const char* view;
  } cases[] = {
      // Self comes first; its own entry in the record is skipped.
      {true, {100, 7, 9}, {1, 0, 1}, {}, "t1a1 r1 m[100:0 7:0 9:1] h[] l[] oc0"},
      {true, {7, 9}, {1}, {}, "t1a1 r1 m[100:0 7:1 9:0] h[] l[] oc0"},  // short state list
      // A repeated id keeps its first entry.
      {true, {7, 9, 7}, {0, 0, 1}, {}, "t1a1 r1 m[100:0 7:0 9:0] h[] l[] oc0"},
      // Former members once each, in order, never a member.
      {true, {7, 9}, {}, {9, 5, 5, 100, 6}, "t1a1 r1 m[100:0 7:0 9:0] h[5 6] l[] oc0"},
      {false, {7, 100, 9}, {0, 1, 0}, {100, 3}, "t1a1 r1 m[7:0 100:1 9:0] h[3] l[] oc0"},
      {false, {7, 9, 7, 11, 9}, {0, 1, 1, 1}, {7, 4}, "t1a1 r1 m[7:0 9:1 11:1] h[4] l[] oc0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.view);
    store().resetTalk();
    talkInfo info = makeInfo("r1", c.members, c.memstates);
    info.hismembers = c.hismembers;
    std::vector<int64_t> callees{7};
    uint32_t code =
        c.withSelf ? store().localCall(callees, info) : store().remoteCall(callees, info, 0);
    ASSERT_EQ(code, kTalkDone);
    EXPECT_EQ(describe(info), c.view);
    EXPECT_EQ(stored(), c.view);
  }
}

}  // namespace
}  // namespace storetest
}  // namespace imsdkmrtc
