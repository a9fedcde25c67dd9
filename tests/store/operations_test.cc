// Every store operation from the three starting points: its result code, what
// the caller's record holds afterwards (the snapshot, or the record as it was
// handed in) and what the store holds.
#include <functional>

#include "base/annotation_words.h"
#include "base/wire_words.h"
#include "store_fixture.h"

namespace imsdkmrtc {
namespace storetest {
namespace {

// Views of the starting points (see StoreTest::given).
const char kActiveView[] = "t1a1 r1 m[100:0 7:0 9:0] h[] l[] oc0";
const char kNoActiveView[] = "t1a0 r1 m[7:0 9:0 100:1] h[] l[] oc0";
const char kUntouched[] = "untouched";

using Op = std::function<uint32_t(talkStore&, talkInfo&, std::string& out)>;

// An Op that calls one store operation on the caller's record info.
#define STORE_OP(call) \
  [=](talkStore& s, talkInfo& info, std::string&) -> uint32_t { return s.call; }

struct OpCase {
  const char* name;
  StoreTest::Given given;
  Op op;
  talkInfo in;
  uint32_t code;
  const char* info;           // describe() of the caller's record, or kUntouched
  const char* out = nullptr;  // the op's other output (lists, words); nullptr: none
  // The store afterwards; nullptr: as the caller's record says, or as given
  // when the record is untouched.
  const char* after = nullptr;
  std::function<void(talkStore&)> prep = nullptr;
};

talkInfo r1() { return makeInfo("r1", {7, 9}); }
talkInfo r2() { return makeInfo("r2", {7, 9}); }
talkInfo bad() { return makeInfo("r1", {7, 1}); }

class Operations : public StoreTest {
 protected:
  void run(const OpCase& c) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    given(c.given);
    if (c.prep) c.prep(store());
    talkInfo info = c.in;
    std::string out;
    EXPECT_EQ(c.op(store(), info, out), c.code);
    std::string expectInfo = std::string(c.info) == kUntouched ? describe(c.in) : c.info;
    EXPECT_EQ(describe(info), expectInfo);
    const char* kGivenView[] = {"idle", kActiveView, kNoActiveView};
    std::string after = c.after != nullptr                  ? c.after
                        : std::string(c.info) == kUntouched ? kGivenView[c.given]
                                                            : c.info;
    EXPECT_EQ(stored(), after);
    if (c.out != nullptr) {
      EXPECT_EQ(out, c.out);
    }
  }
};

Op localCall(std::vector<int64_t> callees) {
  return [callees](talkStore& s, talkInfo& info, std::string& out) {
    std::vector<int64_t> list = callees;
    uint32_t code = s.localCall(list, info);
    out = ids(list);
    return code;
  };
}

Op localInvite(std::vector<int64_t> invitees) {
  return [invitees](talkStore& s, talkInfo& info, std::string& out) {
    std::vector<int64_t> list = invitees;
    talkInfo before;
    uint32_t code = s.localInvite(list, before, info);
    out = ids(list) + " | " + describe(before);
    return code;
  };
}

TEST_F(Operations, LocalRequests) {
  auto intoRoom = [](std::vector<int64_t> list) { return STORE_OP(localIntoRoom(list, info)); };
  Op join = STORE_OP(localJoin(info));
  auto templet = [](uint8_t active) { return STORE_OP(localTempletJoin(info, active)); };
  auto hungup = [](const char* reason) { return STORE_OP(localHungup(info, reason)); };
  Op finish = STORE_OP(finishTalk(info));
  Op query = STORE_OP(queryTalk(info));
  auto connect = [](int64_t user, const char* word) {
    return STORE_OP(connectState(user, word, info));
  };
  talkInfo joinIn = makeInfo("r1", {7, 9}, {1, 0});
  talkInfo emptyRoom = makeInfo("", {7});
  auto enter7 = [](talkStore& s) {
    talkInfo info = r1();
    ASSERT_EQ(s.connectState(7, texts::kIntoRoom, info), kTalkDone);
  };

  const OpCase cases[] = {
      // localCall: self leaves the callee list before anything is checked.
      {"call self only", kIdle, localCall({100}), r1(), 1, kUntouched, ""},
      {"call", kIdle, localCall({7, 100, 9, 100}), r1(), 0, kActiveView, "7 9"},
      {"call callee 0", kIdle, localCall({7, 0}), r1(), 1, kUntouched, "7 0"},
      {"call empty room", kIdle, localCall({7}), emptyRoom, 1, kUntouched, "7"},
      {"call member id 1", kIdle, localCall({7}), bad(), 1, kUntouched, "7"},
      {"call same room", kActive, localCall({8}), makeInfo("r1", {8}), 0, kUntouched, "8"},
      {"call other room", kActive, localCall({8}), r2(), 2, kUntouched, "8"},
      {"call bad callee first", kActive, localCall({-1}), r2(), 1, kUntouched, "-1"},
      // localInvite
      {"invite", kActive, localInvite({100, 8, 7}), r1(), 0,
       "t1a1 r1 m[100:0 7:0 9:0 8:0] h[] l[] oc0", "8 7 | t1a1 r1 m[100:0 7:0 9:0] h[] l[] oc0"},
      {"invite self only", kActive, localInvite({100}), r1(), 1, kUntouched,
       " | t0a1  m[] h[] l[] oc0"},
      {"invite id 0", kActive, localInvite({8, 0}), r1(), 1, kUntouched,
       "8 0 | t0a1  m[] h[] l[] oc0"},
      {"invite invalid idle", kIdle, localInvite({8}), bad(), 1, kUntouched,
       "8 | t0a1  m[] h[] l[] oc0"},
      {"invite idle", kIdle, localInvite({8}), r1(), 3, kUntouched, "8 | t0a1  m[] h[] l[] oc0"},
      {"invite not active before room", kNoActive, localInvite({8}), r2(), 11, kUntouched,
       "8 | t0a1  m[] h[] l[] oc0"},
      {"invite other room", kActive, localInvite({8}), r2(), 6, kUntouched,
       "8 | t0a1  m[] h[] l[] oc0"},
      // localIntoRoom: listed ids that are members enter; strangers are not added.
      {"into room", kActive, intoRoom({9, 42}), r1(), 0, "t1a1 r1 m[100:1 7:0 9:1] h[] l[] oc0"},
      {"into room invalid", kActive, intoRoom({9}), bad(), 1, kUntouched},
      {"into room idle", kIdle, intoRoom({9}), r1(), 3, kUntouched},
      {"into room not active", kNoActive, intoRoom({9}), r2(), 11, kUntouched},
      {"into room other room", kActive, intoRoom({9}), r2(), 6, kUntouched},
      // localJoin: self comes last, in the room.
      {"join", kIdle, join, joinIn, 0, "t1a1 r1 m[7:1 9:0 100:1] h[] l[] oc0"},
      {"join same room", kActive, join, joinIn, 0, kUntouched},
      {"join other room", kActive, join, r2(), 2, kUntouched},
      {"join invalid", kIdle, join, bad(), 1, kUntouched},
      // localTempletJoin
      {"templet join off", kIdle, templet(0), r1(), 0, kNoActiveView},
      {"templet join on", kIdle, templet(7), r1(), 0, "t1a1 r1 m[7:0 9:0 100:1] h[] l[] oc0"},
      {"templet join same room", kActive, templet(1), r1(), 2, kUntouched},
      {"templet join invalid", kIdle, templet(1), bad(), 1, kUntouched},
      // localHungup clears the talk whatever the code.
      {"hang up", kActive, hungup(""), r1(), 0, "t1a1 r1 m[7:0 9:0] h[100] l[] oc0", nullptr,
       "idle"},
      {"hang up other room", kActive, hungup("refuse"), r2(), 6,
       "t1a1 r1 m[7:0 9:0] h[100] l[] oc0", nullptr, "idle"},
      {"hang up invalid", kNoActive, hungup(""), bad(), 1, "t1a0 r1 m[7:0 9:0] h[] l[] oc0",
       nullptr, "idle"},
      {"hang up idle", kIdle, hungup("refuse"), r1(), 3, kUntouched},
      // finishTalk
      {"finish", kActive, finish, r1(), 0, kActiveView, nullptr, "idle"},
      {"finish invalid", kActive, finish, bad(), 1, kUntouched},
      {"finish idle", kIdle, finish, r1(), 3, kUntouched},
      {"finish other room", kActive, finish, r2(), 6, kUntouched},
      // queryTalk
      {"query", kNoActive, query, r2(), 0, kNoActiveView},
      {"query idle", kIdle, query, r1(), 3, kUntouched},
      // connectState
      {"connect idle", kIdle, connect(7, "intoroom"), r1(), 3, kUntouched},
      {"connect other room", kActive, connect(0, "x"), r2(), 6, kUntouched},
      {"connect user 0", kActive, connect(0, "x"), r1(), 1, kUntouched},
      {"connect bad word", kActive, connect(7, "enter"), r1(), 1, kUntouched},
      {"connect other enters", kActive, connect(7, "intoroom"), r1(), 0,
       "t1a1 r1 m[100:0 7:1 9:0] h[] l[] oc1"},
      {"connect stranger enters", kActive, connect(42, "intoroom"), r1(), 0,
       "t1a1 r1 m[100:0 7:0 9:0 42:1] h[] l[] oc1"},
      {"connect self enters", kActive, connect(100, "intoroom"), r1(), 0,
       "t1a1 r1 m[100:1 7:0 9:0] h[] l[] oc0"},
      {"connect invited leaves", kActive, connect(7, "levelroom"), r1(), 0,
       "t1a1 r1 m[100:0 9:0] h[7] l[] oc1"},
      {"connect joined leaves", kActive, connect(7, "levelroom"), r1(), 0,
       "t1a1 r1 m[100:0 9:0] h[7] l[7] oc1", nullptr, nullptr, enter7},
      {"connect self leaves", kNoActive, connect(100, "levelroom"), r1(), 0,
       "t1a0 r1 m[7:0 9:0] h[] l[100] oc0"},
  };
  for (const OpCase& c : cases) run(c);
}

TEST_F(Operations, ReceivedCommandsAndTimeouts) {
  auto call = [](std::vector<int64_t> callees) { return STORE_OP(remoteCall(callees, info, 0)); };
  auto invite = [](int64_t inviter, std::vector<int64_t> invitees) -> Op {
    return [inviter, invitees](talkStore& s, talkInfo& info, std::string& out) {
      out = "-";
      return s.remoteInvite(inviter, invitees, out, info, 0);
    };
  };
  auto intoRoom = [](int64_t user) { return STORE_OP(remoteIntoRoom(user, info)); };
  auto hungup = [](int64_t user, const char* who) {
    return STORE_OP(remoteHungup(user, info, who));
  };
  Op reply = STORE_OP(remoteReply(info));
  auto queryFrom = [](int64_t group, int64_t asker) {
    return STORE_OP(checkQueryTalk(group, asker, info));
  };
  Op replyQuery = [](talkStore& s, talkInfo& info, std::string& out) {
    uint32_t code = s.remoteReplyQueryTalk(info);
    out = info.addr + " " + std::to_string(info.beginTime);
    return code;
  };
  auto timeout = [](std::vector<int64_t> list) -> Op {
    return [list](talkStore& s, talkInfo& info, std::string& out) {
      std::vector<int64_t> timedOut{5};
      uint32_t code = s.memberTimeout(list, timedOut, info);
      out = ids(timedOut);
      return code;
    };
  };
  Op keepalive = STORE_OP(keepaliveTimeout(info));
  Op lose = STORE_OP(loseFinishTimeout(info));

  talkInfo called = makeInfo("r1", {100, 7, 9}, {0, 1, 0});
  talkInfo inviteNoActive = makeInfo("r1", {7, 9, 100}, {1, 0, 0});
  talkInfo anyRoom = makeInfo("", {});
  talkInfo replied = makeInfo("r1", {9, 7}, {0, 0});
  replied.addr = "10.9.9.9:1";
  replied.beginTime = 5;
  auto enter7 = [](talkStore& s) {
    talkInfo info = r1();
    ASSERT_EQ(s.remoteIntoRoom(7, info), kTalkDone);
  };
  // A received call whose members ascend, as a group lists them: the index
  // reads the member list in place until the talk changes otherwise.
  auto ringing = [](talkStore& s) {
    talkInfo info = makeInfo("r1", {7, 9, 100});
    ASSERT_EQ(s.remoteCall({100}, info, 0), kTalkDone);
  };
  auto ringingWithout9 = [ringing](talkStore& s) {
    ringing(s);
    talkInfo info = r1();
    ASSERT_EQ(s.remoteHungup(9, info, texts::kOther), kTalkDone);
  };

  const OpCase cases[] = {
      // remoteCall: members and states come from the command.
      {"call", kIdle, call({100}), called, 0, "t1a1 r1 m[100:0 7:1 9:0] h[] l[] oc0"},
      {"call no callee", kIdle, call({}), called, 1, kUntouched},
      {"call invalid", kIdle, call({100}), bad(), 1, kUntouched},
      {"call current room", kActive, call({100}), called, 8, kActiveView},
      {"call other room", kActive, call({100}), r2(), 2, kUntouched},
      // remoteInvite, by the state the invitation finds.
      {"invite idle", kIdle, invite(7, {100, 8}), r1(), 0,
       "t1a1 r1 m[7:0 9:0 100:0 8:0] h[] l[] oc0", "idle"},
      {"invite idle not me", kIdle, invite(7, {8}), r1(), 3, kUntouched, "-"},
      {"invite active", kActive, invite(7, {8, 9}), r1(), 0,
       "t1a1 r1 m[100:0 7:0 9:0 8:0] h[] l[] oc0", "talking_active"},
      {"invite active, ascending", kIdle, invite(7, {8, 9}), r1(), 0,
       "t1a1 r1 m[7:0 9:0 100:0 8:0] h[] l[] oc0", "talking_active", nullptr, ringing},
      {"invite not active", kNoActive, invite(7, {8}), inviteNoActive, 0,
       "t1a1 r1 m[7:1 9:0 100:1 8:0] h[] l[] oc0", "talking_noactive"},
      {"invite other room", kActive, invite(7, {8}), r2(), 6, kUntouched, "-"},
      {"invite no invitee", kActive, invite(7, {}), r1(), 1, kUntouched, "-"},
      {"invite invalid", kActive, invite(7, {8}), bad(), 1, kUntouched, "-"},
      // remoteIntoRoom
      {"into room member", kActive, intoRoom(9), r1(), 0, "t1a1 r1 m[100:0 7:0 9:1] h[] l[] oc0"},
      {"into room stranger", kActive, intoRoom(42), r1(), 0,
       "t1a1 r1 m[100:0 7:0 9:0 42:1] h[] l[] oc0"},
      {"into room invalid", kActive, intoRoom(9), bad(), 1, kUntouched},
      {"into room idle", kIdle, intoRoom(9), r1(), 3, kUntouched},
      {"into room other room", kActive, intoRoom(9), r2(), 6, kUntouched},
      // remoteHungup
      {"hang up other", kActive, hungup(7, "other"), r1(), 0, "t1a1 r1 m[100:0 9:0] h[7] l[] oc0"},
      {"hang up other, ascending", kIdle, hungup(7, "other"), r1(), 0,
       "t1a1 r1 m[9:0 100:0] h[7] l[] oc0", nullptr, nullptr, ringing},
      {"hang up myself ringing", kActive, hungup(100, "myself"), r1(), 0,
       "t1a1 r1 m[7:0 9:0] h[100] l[] oc0"},
      {"hang up myself in room", kNoActive, hungup(100, "myself"), r1(), 19, kNoActiveView},
      {"hang up invalid", kActive, hungup(7, "other"), bad(), 1, kUntouched},
      {"hang up idle", kIdle, hungup(7, "other"), r1(), 3, kUntouched},
      {"hang up other room", kActive, hungup(7, "other"), r2(), 6, kUntouched},
      // remoteReply
      {"reply", kNoActive, reply, bad(), 0, kNoActiveView},
      {"reply idle", kIdle, reply, r1(), 3, kUntouched},
      {"reply other room", kActive, reply, r2(), 6, kUntouched},
      // checkQueryTalk
      {"query", kActive, queryFrom(kGroup, 7), anyRoom, 0, kActiveView},
      {"query idle", kIdle, queryFrom(kGroup, 7), r1(), 3, kUntouched},
      {"query group 0 before room", kActive, queryFrom(0, 7), r2(), 1, kUntouched},
      {"query other group", kActive, queryFrom(56, 7), r1(), 7, kUntouched},
      {"query other room", kActive, queryFrom(kGroup, 7), r2(), 6, kUntouched},
      {"query stranger", kActive, queryFrom(kGroup, 42), r1(), 9, kUntouched},
      {"query not active", kNoActive, queryFrom(kGroup, 7), r1(), 11, kUntouched},
      // remoteReplyQueryTalk: the reply's members, our room entries, our address.
      {"reply query", kNoActive, replyQuery, replied, 0, "t1a1 r1 m[9:0 7:1 100:1] h[] l[] oc0",
       "10.0.0.1:8000 1700000000", nullptr, enter7},
      {"reply query invalid", kNoActive, replyQuery, bad(), 1, kUntouched,
       "10.0.0.1:8000 1700000000"},
      {"reply query idle", kIdle, replyQuery, replied, 3, kUntouched, "10.9.9.9:1 5"},
      {"reply query active", kActive, replyQuery, replied, 12, kUntouched, "10.9.9.9:1 5"},
      {"reply query other room", kNoActive, replyQuery, r2(), 6, kUntouched,
       "10.0.0.1:8000 1700000000"},
      // memberTimeout: only members still ringing time out, each once.
      {"timeout", kActive, timeout({9, 42, 7, 9}), r1(), 0, "t1a1 r1 m[100:0] h[7 9] l[] oc0",
       "5 9 7"},
      {"timeout, ascending", kIdle, timeout({9, 42, 7, 9}), r1(), 0,
       "t1a1 r1 m[100:0] h[7 9] l[] oc0", "5 9 7", nullptr, ringing},
      // Former members stay in the history's order, not the order they went.
      {"timeout after a hang-up, ascending", kIdle, timeout({7}), r1(), 0,
       "t1a1 r1 m[100:0] h[7 9] l[] oc0", "5 7", nullptr, ringingWithout9},
      {"timeout all joined", kActive, timeout({7}), r1(), 7, "t1a1 r1 m[100:0 7:1 9:0] h[] l[] oc0",
       "5", nullptr, enter7},
      {"timeout idle", kIdle, timeout({7}), r1(), 3, kUntouched, "5"},
      {"timeout not active", kNoActive, timeout({7}), r2(), 11, kUntouched, "5"},
      {"timeout other room", kActive, timeout({}), r2(), 6, kUntouched, "5"},
      {"timeout no id", kActive, timeout({}), r1(), 1, kUntouched, "5"},
      // keepaliveTimeout always ends in idle.
      {"keepalive", kNoActive, keepalive, r2(), 0, kNoActiveView, nullptr, "idle"},
      {"keepalive idle", kIdle, keepalive, r1(), 3, "t0a1  m[] h[] l[] oc0", nullptr, "idle"},
      // loseFinishTimeout
      {"lose finish", kActive, lose, r1(), 0, kActiveView},
      {"lose finish idle", kIdle, lose, r1(), 3, kUntouched},
      {"lose finish not active", kNoActive, lose, r2(), 11, kUntouched},
      {"lose finish other room", kActive, lose, r2(), 6, kUntouched},
  };
  for (const OpCase& c : cases) run(c);
}

TEST_F(Operations, RoomChecksWithoutRecord) {
  given(kActive);
  EXPECT_TRUE(store().isCurrentRoom("r1"));
  EXPECT_FALSE(store().isCurrentRoom("r1 "));
  EXPECT_FALSE(store().isCurrentRoom(std::string("r1\0", 3)));
  store().resetTalk();
  EXPECT_EQ(stored(), "idle");
  EXPECT_FALSE(store().isCurrentRoom(""));
  EXPECT_FALSE(store().isCurrentRoom("r1"));
}

// The room in talk here is never taken for one that ended before its call.
// Another room that ended first refuses a new call for five minutes, and a
// recall of it for good.
TEST_F(Operations, ClosedRoomMemorySparesTheRoomInTalk) {
  given(kActive);
  store().markClosedBeforeCall("r1");
  store().markClosedBeforeCall("r2");
  store().resetTalk();
  talkInfo late = r2();
  EXPECT_EQ(store().remoteCall({100}, late, 0), kTalkRecentlyRefused);
  talkInfo again = r1();
  EXPECT_EQ(store().remoteCall({100}, again, 0), kTalkDone);
  store().resetTalk();
  commlib::useVirtualTime(kStartMs + 300001);
  talkInfo recalled = r2();
  EXPECT_EQ(store().remoteCall({100}, recalled, 1), kTalkRecentlyRefused);
  talkInfo fresh = r2();
  EXPECT_EQ(store().remoteCall({100}, fresh, 0), kTalkDone);
}

// A room announced finished turns its invitations away for five minutes to
// the millisecond, and its recalls for good.
TEST_F(Operations, FinishedRoomMemoryLastsFiveMinutes) {
  talkInfo ended = makeInfo("r3", {7, 9});
  ASSERT_EQ(store().finishNotJoined(ended), kTalkNone);
  std::string word;
  commlib::useVirtualTime(kStartMs + 300000);
  talkInfo last = makeInfo("r3", {7});
  EXPECT_EQ(store().remoteInvite(7, {kSelf}, word, last, 0), kTalkRecentlyRefused);
  commlib::useVirtualTime(kStartMs + 300001);
  talkInfo recalled = makeInfo("r3", {7});
  EXPECT_EQ(store().remoteInvite(7, {kSelf}, word, recalled, 1), kTalkRecentlyRefused);
  talkInfo fresh = makeInfo("r3", {7});
  EXPECT_EQ(store().remoteInvite(7, {kSelf}, word, fresh, 0), kTalkDone);
}

}  // namespace
}  // namespace storetest
}  // namespace imsdkmrtc
