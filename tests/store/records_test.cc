// Talk records: creation of the current talk from a record, and the snapshot
// the store hands back.
#include "plugin/annotation_words.h"
#include "plugin/wire_words.h"
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

TEST_F(Creation, SnapshotCarriesEveryFieldAndIgnoresOutputs) {
  // A finished one-to-one talk in which the peer entered the room: none of
  // its state carries over.
  talkInfo old = makeInfo("r0", {7});
  old.rtcType = "p2pconfer";
  std::vector<int64_t> oldCallees{7};
  ASSERT_EQ(store().localCall(oldCallees, old), kTalkDone);
  ASSERT_EQ(store().connectState(7, texts::kIntoRoom, old), kTalkDone);
  ASSERT_EQ(old.othersChanged, 1);
  ASSERT_NE(old.connectTime, 0);
  ASSERT_EQ(store().finishTalk(old), kTalkDone);
  commlib::advance(2500);
  talkInfo in = makeInfo("room-x", {7});
  in.rtcType = "microconfer";
  in.oName = "b25l";
  in.roomToken = "tok";
  in.srvVer = "v2";
  in.srvTag = "tag";
  in.videoType = "hd";
  in.single = 1;
  in.conferMode = "cm";
  in.tempJoin = 1;
  in.targetId = 77;
  in.orderTime = "order";
  // Outputs: ignored on creation.
  in.talking = 0;
  in.active = 0;
  in.createTime = 1;
  in.othersChanged = 1;
  in.connectTime = 9;
  in.leftMembers = {7};

  talkInfo out = in;
  std::vector<int64_t> callees{7};
  ASSERT_EQ(store().localCall(callees, out), kTalkDone);
  talkInfo queried;
  ASSERT_EQ(store().queryTalk(queried), kTalkDone);
  auto fields = [](const talkInfo& t) {
    return describe(t) + "|" + t.rtcType + "|" + std::to_string(t.groupId) + "|" +
           std::to_string(t.onwerId) + "|" + t.oName + "|" + t.roomToken + "|" + t.roomName + "|" +
           t.addr + "|" + std::to_string(t.beginTime) + "|" + std::to_string(t.single) + "|" +
           t.conferMode + "|" + std::to_string(t.tempJoin) + "|" +
           std::to_string(t.createTime - kStartMs) + "|" + std::to_string(t.targetId) + "|" +
           std::to_string(t.connectTime) + "|" + t.srvVer + "|" + t.srvTag + "|" + t.videoType;
  };
  const std::string want =
      "t1a1 room-x m[100:0 7:0] h[] l[] oc0|microconfer|55|100|b25l|tok|room room-x|"
      "10.0.0.1:8000|1700000000|1|cm|1|2500|77|0|v2|tag|hd";
  EXPECT_EQ(fields(out), want);
  EXPECT_EQ(fields(queried), want);
  // The order time travels with the caller's record only.
  EXPECT_EQ(out.orderTime, "order");
  EXPECT_EQ(queried.orderTime, "");
}

}  // namespace
}  // namespace storetest
}  // namespace imsdkmrtc
