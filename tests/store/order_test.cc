// Orders the store keeps (members, history, members that left, refused
// talks) and the time windows it applies.
#include "base/annotation_words.h"
#include "base/wire_words.h"
#include "store_fixture.h"

namespace imsdkmrtc {
namespace storetest {
namespace {

using Orders = StoreTest;

TEST_F(Orders, MembersHistoryAndLeftMembers) {
  given(kActive);  // 100 7 9
  talkInfo info = makeInfo("r1", {});
  std::vector<int64_t> invitees{8, 7};
  talkInfo before;
  ASSERT_EQ(store().localInvite(invitees, before, info), kTalkDone);
  ASSERT_EQ(store().remoteIntoRoom(42, info), kTalkDone);
  ASSERT_EQ(store().connectState(3, texts::kIntoRoom, info), kTalkDone);
  EXPECT_EQ(describe(info), "t1a1 r1 m[100:0 7:0 9:0 8:0 42:1 3:1] h[] l[] oc1");

  // Every one enters, then they leave in the order 7 9 8 42.
  for (int64_t id : {7, 9, 8}) ASSERT_EQ(store().connectState(id, "intoroom", info), kTalkDone);
  for (int64_t id : {7, 9, 8, 42}) ASSERT_EQ(store().connectState(id, "levelroom", info), 0u);
  // Former members follow the history (7 9 8), not the order of leaving;
  // 42 and 3 arrived by entering the room and were never in the history.
  EXPECT_EQ(describe(info), "t1a1 r1 m[100:0 3:1] h[7 9 8] l[7 9 8 42] oc1");

  // A member that leaves for good is taken off the left list: the last entry
  // takes its place. Coming back into the room does the same.
  ASSERT_EQ(store().remoteHungup(9, info, texts::kOther), kTalkDone);
  EXPECT_EQ(ids(info.leftMembers), "7 42 8");
  ASSERT_EQ(store().connectState(7, texts::kIntoRoom, info), kTalkDone);
  EXPECT_EQ(describe(info), "t1a1 r1 m[100:0 3:1 7:1] h[9 8] l[8 42] oc1");
  ASSERT_EQ(store().remoteIntoRoom(8, info), kTalkDone);
  EXPECT_EQ(describe(info), "t1a1 r1 m[100:0 3:1 7:1 8:1] h[9] l[42] oc1");
  // Entering through the local request only marks members already there.
  ASSERT_EQ(store().localIntoRoom({42}, info), kTalkDone);
  EXPECT_EQ(describe(info), "t1a1 r1 m[100:1 3:1 7:1 8:1] h[9] l[42] oc1");
}

// Refuses the talk in roomId (target kGroup) by hanging it up.
void refuse(talkStore& store, const std::string& roomId) {
  talkInfo info = makeInfo(roomId, {7});
  std::vector<int64_t> callees{7};
  ASSERT_EQ(store.localCall(callees, info), kTalkDone);
  ASSERT_EQ(store.localHungup(info, texts::kRefuse), kTalkDone);
}

std::string refusedRooms(talkStore& store) {
  std::string out;
  for (const refusedTalk& r : store.refusedTalks()) {
    out += (out.empty() ? "" : " ") + r.roomId + "@" +
           std::to_string((r.refuseTime - kStartMs) / 1000);
  }
  return out;
}

TEST_F(Orders, RefusedTalkWindow) {
  struct Case {
    int64_t afterMs;  // time since the refusal (negative: the clock went back)
    uint8_t recall;
    uint32_t code;
    const char* refusedLeft;
  } cases[] = {
      {299000, 1, kTalkRecentlyRefused, "r1@0"},
      {299999, 1, kTalkRecentlyRefused, "r1@0"},
      {-10000, 1, kTalkRecentlyRefused, "r1@0"},
      {300000, 1, kTalkRecentlyRefused, "r1@0"},  // a recall never outlives the refusal
      {299000, 0, kTalkDone, ""},                 // a new call is let through and forgets it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.afterMs) + " recall " + std::to_string(c.recall));
    commlib::useVirtualTime(kStartMs);
    TearDown();
    SetUp();
    refuse(store(), "r1");
    commlib::useVirtualTime(kStartMs + c.afterMs);
    talkInfo info = makeInfo("r1", {7, kSelf});
    EXPECT_EQ(store().remoteCall({kSelf}, info, c.recall), c.code);
    EXPECT_EQ(stored(), c.code == kTalkDone ? "t1a1 r1 m[7:0 100:0] h[] l[] oc0" : "idle");
    EXPECT_EQ(refusedRooms(store()), c.refusedLeft);
  }
  // The same window applies to invitations; another chat is another talk.
  commlib::useVirtualTime(kStartMs);
  store().resetTalk();
  talkInfo info = makeInfo("r1", {7});
  std::string word = "-";
  refuse(store(), "r1");
  EXPECT_EQ(store().remoteInvite(7, {kSelf}, word, info, 1), kTalkRecentlyRefused);
  EXPECT_EQ(word, "-");
  info.targetId = 7;
  EXPECT_EQ(store().remoteInvite(7, {kSelf}, word, info, 1), kTalkDone);
  EXPECT_EQ(word, "idle");
  // Only the 32 latest refusals are kept: the 33rd pushes out the oldest.
  TearDown();
  SetUp();
  for (int i = 0; i <= 32; ++i) {
    commlib::useVirtualTime(kStartMs + i * 1000);
    refuse(store(), "q" + std::to_string(i));
  }
  const std::string kept = refusedRooms(store());
  EXPECT_EQ(store().refusedTalks().size(), 32u) << kept;
  EXPECT_EQ(kept.find("q0@"), std::string::npos) << kept;
  EXPECT_NE(kept.find("q1@1"), std::string::npos) << kept;
  EXPECT_NE(kept.find("q32@32"), std::string::npos) << kept;
}

TEST_F(Orders, RecallKeepsOnlyThoseStillRinging) {
  given(kActive);
  talkInfo info = makeInfo("r1", {});
  talkInfo before;
  std::vector<int64_t> more{8, 11, 12};
  ASSERT_EQ(store().localInvite(more, before, info), kTalkDone);
  const int64_t t0 = kStartMs / 1000;
  commlib::advance(10000);
  ASSERT_EQ(store().connectState(7, texts::kIntoRoom, info), kTalkDone);  // t0+10
  commlib::advance(10000);
  ASSERT_EQ(store().remoteHungup(9, info, texts::kOther), kTalkDone);  // t0+20
  ASSERT_EQ(store().remoteHungup(8, info, texts::kMyself), kTalkDone);
  commlib::advance(10000);
  ASSERT_EQ(store().connectState(11, texts::kIntoRoom, info), kTalkDone);  // t0+30
  commlib::advance(10000);
  ASSERT_EQ(store().remoteHungup(11, info, texts::kOther), kTalkDone);  // t0+40

  struct Case {
    const char* roomId;
    int64_t since;
    std::vector<int64_t> ids;
    uint32_t code;
    const char* left;
  } cases[] = {
      {"r1", 0, {7, 9, 8, 11, 12}, 0, "8 12"},
      {"r1", t0 + 10, {7, 9, 8, 11, 12}, 0, "8 12"},
      {"r1", t0 + 11, {12, 11, 7, 9}, 0, "12 7"},
      {"r1", t0 + 31, {7, 9, 8, 11, 12}, 0, "7 8 11 12"},
      {"r1", t0 + 99, {9}, kTalkNobodyToRecall, ""},
      {"r2", 0, {8}, kTalkOtherRoom, "8"},
  };
  for (const Case& c : cases) {
    std::vector<int64_t> list = c.ids;
    EXPECT_EQ(store().recallTimeout(c.roomId, c.since, list), c.code) << c.since;
    EXPECT_EQ(ids(list), c.left) << c.since;
  }
  // A new invitation forgets who hung up.
  std::vector<int64_t> again{9};
  ASSERT_EQ(store().localInvite(again, before, info), kTalkDone);
  std::vector<int64_t> list{9};
  EXPECT_EQ(store().recallTimeout("r1", 0, list), kTalkDone);
  EXPECT_EQ(ids(list), "9");
  store().resetTalk();
  EXPECT_EQ(store().recallTimeout("r1", 0, list), kTalkNone);
  EXPECT_EQ(ids(list), "9");
}

}  // namespace
}  // namespace storetest
}  // namespace imsdkmrtc
