// One entry of the time-out queue.
#pragma once

#include <cstdint>
#include <string>

#include "timer/member_list.h"

namespace imsdkmrtc {

// Categories select the time-out handler.
enum : int32_t {
  kTimeoutKeepAliveCategory = 0,
  kTimeoutMemberCategory = 1,
  kTimeoutBoardCategory = 2,
  kTimeoutCardDelayCategory = 3,
  kTimeoutLoseFinishCategory = 4,
  kTimeoutRecallCategory = 5,
  // Checks that a talk which may have ended unseen is over for everybody.
  kTimeoutEndCheckCategory = 6,
};

// Types within a category; type 3 is always the keep-alive.
enum : int32_t {
  kTimeoutWait = 1,
  kTimeoutRing = 2,
  kTimeoutKeepAlive = 3,
  kTimeoutCallCard = 4,
  kTimeoutInviteCard = 5,
  kTimeoutLoseFinish = 6,
  kTimeoutRecall = 7,
  kTimeoutJoinAnswer = 8,   // a card join still waits for the members' answer
  kTimeoutFinishWatch = 9,  // a group talk left while others were in
};

// What a timer request (timerCmd `op`) asks of the queue.
enum : uint8_t {
  kTimerRemove = 0,
  kTimerAdd = 1,
};

// How an add (timerCmd `memberMode`) treats ids that other records of the
// same room already hold.
enum : int32_t {
  kMembersReplace = 0,  // move the ids out of the other records of the room
  kMembersOnlyNew = 1,  // keep only ids the room has no record for yet
  kMembersAsGiven = 2,
};

// Durations (seconds) of the call time-outs: how long members may take to
// answer, and how long a callee rings.
constexpr int32_t kWaitSeconds = 88;
constexpr int32_t kWaitSecondsP2p = 98;
#ifdef MRTC_PLANTED_TIMEOUT_FAULT
// A test build's wrong ring, which a replay of a recorded call must catch (set
// only where it is read: record/CMakeLists.txt).
constexpr int32_t kRingSeconds = 69;
#else
constexpr int32_t kRingSeconds = 68;
#endif
constexpr int32_t kP2pRingSeconds = 98;
// A card join asks the members for the talk; one of them answers within a
// round trip. Without an answer by then nobody holds the talk any more.
constexpr int32_t kJoinAnswerSeconds = 6;
// A member who left a group talk while others were in asks after this long
// whether anybody is left (the others' leaves are reported by then, a late
// media report included)...
constexpr int32_t kFinishWatchSeconds = 6;
// ...and decides after this long: an answer late on a slow network, in both
// directions, still counts, as a notice posted while somebody talks on would
// tell the whole chat the call ended.
constexpr int32_t kFinishAnswerSeconds = 21;

struct timeoutRecord {
  int32_t category = 0;
  int32_t type = 0;
  std::string key;
  memberList members;     // shared with other records that carry the same ids
  int64_t startTime = 0;  // tools::getLocalTime when added or refreshed
  int32_t duration = 0;   // seconds
  std::string extra;
  int64_t fireTime = 0;
  int32_t recallCnt = 0;
  std::string roomId;
};

}  // namespace imsdkmrtc
