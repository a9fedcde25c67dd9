// talkStore: the single owner of the current talk, its members and their
// states, and a little history of past talks.
//
// Threads: every operation takes the store lock (lock_) for its whole run and
// writes the resulting snapshot into the caller's talkInfo; operations never
// call each other (only the private helpers, which require lock_ held). The
// store is used by the request threads (under the plug-in lock, which comes
// first), the notification thread and the timer thread. It never takes the
// plug-in lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CLocker.h"
#include "store/ended_rooms.h"
#include "store/room_memory.h"
#include "store/talk_id_index.h"
#include "store/talk_info.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

class pluginEnv;

// Result codes of the store operations.
enum talkResult : uint32_t {
  kTalkDone = 0,
  kTalkInvalid = 1,
  kTalkBusy = 2,
  kTalkNone = 3,
  kTalkOtherRoom = 6,
  kTalkNoMatch = 7,
  kTalkAlreadyCurrent = 8,
  kTalkNeverMember = 9,
  kTalkNotActive = 11,
  kTalkAlreadyActive = 12,
  kTalkNobodyToRecall = 18,
  kTalkOwnOtherClientInRoom = 19,
  kTalkRecentlyRefused = 20,
};

class talkStore {
 public:
  talkStore() = default;
  talkStore(const talkStore&) = delete;
  talkStore& operator=(const talkStore&) = delete;

  void setPlugin(pluginEnv* plugin) { plugin_ = plugin; }

  static bool isValidTalkInfo(const talkInfo& info);

  // Local requests.
  uint32_t localCall(std::vector<int64_t>& callees, talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t localInvite(std::vector<int64_t>& invitees, talkInfo& before, talkInfo& info)
      MRTC_EXCLUDES(lock_);
  void removeInvitedBy(const std::string& roomId, int64_t inviterId) MRTC_EXCLUDES(lock_);
  uint32_t localIntoRoom(const std::vector<int64_t>& ids, talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t localJoin(talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t localTempletJoin(talkInfo& info, uint8_t active) MRTC_EXCLUDES(lock_);
  uint32_t localHungup(talkInfo& info, const std::string& reason) MRTC_EXCLUDES(lock_);
  uint32_t finishTalk(talkInfo& info) MRTC_EXCLUDES(lock_);
  void resetTalk() MRTC_EXCLUDES(lock_);
  uint32_t queryTalk(talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t connectState(int64_t userId, const std::string& state, talkInfo& info)
      MRTC_EXCLUDES(lock_);
  bool isCurrentRoom(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // This user answered the current talk on another device: remembered like a
  // refusal, so that a repeated ring of it within the refusal window does not
  // ring this client again. Does nothing for another room.
  void markAnsweredElsewhere(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // This user declined the current talk on another device: remembered as a
  // refusal here too, for the same reason. Does nothing for another room.
  void markRefusedElsewhere(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // The end of a room that this client does not hold reached it: the caller
  // cancelled a one-to-one call, the talk finished, or this user answered or
  // left it on another device, before the call itself arrived (messages
  // overtake each other). For the refusal window a late call of that room
  // does not ring, and a repeated ring (recall) not at all while the room is
  // kept; an invitation into it still does. Does nothing for the current
  // talk.
  void markClosedBeforeCall(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // A card join asked the members for the talk of roomId and nobody
  // answered: ends the talk when it is still that one and still not active.
  // 0 when it ended; 3, 6 or 12 (answered meanwhile) otherwise.
  uint32_t endUnansweredJoin(talkInfo& info) MRTC_EXCLUDES(lock_);
  // A finish hint for the room reached this client: the talk is over for
  // everybody. The current talk of that room ends here when this user is not
  // in its room (it rings, or rang out): 0 with the snapshot. 12 when this
  // user entered the room or placed the call (the talk stays). 3 or 6 when
  // no talk or another one is held. Unless the talk stays, the room is
  // remembered as finished: for the refusal window neither a late call of it
  // nor a late invitation into it rings.
  uint32_t finishNotJoined(talkInfo& info) MRTC_EXCLUDES(lock_);

  // A call of a room whose talk ended here, begun no later than that talk:
  // a copy of the ended call. False for the current talk's room.
  bool isEndedCopy(const std::string& roomId, int64_t beginTime) MRTC_EXCLUDES(lock_);
  // A call that ended here without becoming this client's talk (it was
  // answered busy, which ends a one-to-one call): remembered as ended too.
  void rememberEnded(const std::string& roomId, int64_t beginTime) MRTC_EXCLUDES(lock_);
  // True when the end of this room reached this client before its call did
  // (see markClosedBeforeCall): a call of it would not ring now.
  bool isClosedHere(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // True when this user declined the room here, or on another device, after
  // sentMs (the host's clock, as message stamps are): an invitation sent
  // before that refusal is older than it.
  bool refusedAfter(const std::string& roomId, int64_t sentMs) MRTC_EXCLUDES(lock_);

  // Received commands and time-outs.
  uint32_t remoteCall(const std::vector<int64_t>& callees, talkInfo& info, uint8_t recall)
      MRTC_EXCLUDES(lock_);
  uint32_t remoteInvite(int64_t inviterId, const std::vector<int64_t>& invitees,
                        std::string& stateWord, talkInfo& info, uint8_t recall)
      MRTC_EXCLUDES(lock_);
  uint32_t remoteIntoRoom(int64_t userId, talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t remoteHungup(int64_t userId, talkInfo& info, const std::string& who)
      MRTC_EXCLUDES(lock_);
  uint32_t remoteReply(talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t checkQueryTalk(int64_t groupId, int64_t askerId, talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t remoteReplyQueryTalk(talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t memberTimeout(const std::vector<int64_t>& ids, std::vector<int64_t>& timedOut,
                         talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t recallTimeout(const std::string& roomId, int64_t since, std::vector<int64_t>& ids)
      MRTC_EXCLUDES(lock_);
  uint32_t keepaliveTimeout(talkInfo& info) MRTC_EXCLUDES(lock_);
  uint32_t loseFinishTimeout(talkInfo& info) MRTC_EXCLUDES(lock_);

  // For tests: takes the lock and checks that the members, their indexes and
  // the talk state agree. On failure, *why (when given) says what is wrong.
  bool checkInvariants(std::string* why) MRTC_EXCLUDES(lock_);
  // For tests: the refused talks in their stored order.
  std::vector<refusedTalk> refusedTalks() MRTC_EXCLUDES(lock_);

 private:
  int64_t self() const MRTC_REQUIRES(lock_);
  int64_t hostNowMs() const;
  bool sameRoom(const std::string& roomId) const MRTC_REQUIRES(lock_) { return roomId == roomId_; }
  void fillTalkInfo(talkInfo& info) const MRTC_REQUIRES(lock_);
  // Finished rooms count as long as a refusal, and at most this many are kept.
  static constexpr int64_t kFinishedRoomWindowMs = 300000;
  static constexpr size_t kFinishedRoomsMax = 64;
  // The self id for initTalk when self is not put first among the members.
  static constexpr int64_t kNoSelf = 0;
  void initTalk(const talkInfo& info, int64_t selfId) MRTC_REQUIRES(lock_);
  // The member lists hold an id more than once and the index is empty:
  // indexes them an id at a time, each id's first entry kept.
  void keepFirstOfRepeated() MRTC_REQUIRES(lock_);
  void clearTalk() MRTC_REQUIRES(lock_);

  // Marks a member joined; an id not among the members is appended as joined
  // or left out.
  enum class absentMember { kAdd, kSkip };
  void setMemberJoined(int64_t userId, absentMember absent) MRTC_REQUIRES(lock_);
  void setMemberState(int64_t userId, uint8_t state) MRTC_REQUIRES(lock_);
  void removeMember(int64_t userId) MRTC_REQUIRES(lock_);
  bool removeMemberIfState(int64_t userId, uint8_t state) MRTC_REQUIRES(lock_);
  bool hasMemberWithState(int64_t userId, uint8_t state) const MRTC_REQUIRES(lock_);
  // Removes every member whose id is in ids, in one pass.
  void removeMembers(const std::vector<int64_t>& ids) MRTC_REQUIRES(lock_);
  // Removes the members whose place is marked in drop (one mark a member).
  void removeMarkedMembers(const std::vector<char>& drop) MRTC_REQUIRES(lock_);
  void addLeftMember(int64_t userId) MRTC_REQUIRES(lock_);
  void removeLeftMember(int64_t userId) MRTC_REQUIRES(lock_);
  void addInvitees(const std::vector<int64_t>& ids, int64_t inviterId) MRTC_REQUIRES(lock_);
  void recordRefused() MRTC_REQUIRES(lock_);
  bool isRecentlyRefused(int64_t targetId, const std::string& roomId, bool recall)
      MRTC_REQUIRES(lock_);
  // A recall (the same call ringing again) is refused whatever the age of
  // the record while the record is kept; any other call only within the
  // refusal window.
  bool isClosedBeforeCall(const std::string& roomId, bool recall) MRTC_REQUIRES(lock_);
  void forgetClosed(const std::string& roomId) MRTC_REQUIRES(lock_);
  bool isFinishedRoom(const std::string& roomId, bool recall) MRTC_REQUIRES(lock_);

  // The member's state, or null for an id that is no member.
  uint8_t* memberState(int64_t userId) MRTC_REQUIRES(lock_);
  const uint8_t* memberState(int64_t userId) const MRTC_REQUIRES(lock_);
  void appendMember(int64_t userId, uint8_t state) MRTC_REQUIRES(lock_);
  // The member lists' side of a new member, whose index place the caller
  // has set to the lists' end.
  void pushMember(int64_t userId, uint8_t state) MRTC_REQUIRES(lock_);
  void reindexMembersFrom(size_t first) MRTC_REQUIRES(lock_);
  void addHistory(int64_t userId) MRTC_REQUIRES(lock_);

  // The plug-in names lock_ in its lock order.
  friend class mrtc_plugin;

  pluginEnv* plugin_ = nullptr;
  imsdk::CLocker lock_;

  // The current talk.
  std::string rtcType_ MRTC_GUARDED_BY(lock_);
  int64_t onwerId_ MRTC_GUARDED_BY(lock_) = 0;
  std::string oName_ MRTC_GUARDED_BY(lock_);
  int64_t groupId_ MRTC_GUARDED_BY(lock_) = 0;
  std::string roomId_ MRTC_GUARDED_BY(lock_);
  std::string roomToken_ MRTC_GUARDED_BY(lock_);
  std::string roomName_ MRTC_GUARDED_BY(lock_);
  std::string addr_ MRTC_GUARDED_BY(lock_);
  int64_t beginTime_ MRTC_GUARDED_BY(lock_) = 0;
  uint8_t single_ MRTC_GUARDED_BY(lock_) = 0;
  std::string conferMode_ MRTC_GUARDED_BY(lock_);
  uint8_t tempJoin_ MRTC_GUARDED_BY(lock_) = 0;
  int64_t targetId_ MRTC_GUARDED_BY(lock_) = 0;
  std::string srvVer_ MRTC_GUARDED_BY(lock_);
  std::string srvTag_ MRTC_GUARDED_BY(lock_);
  std::string videoType_ MRTC_GUARDED_BY(lock_);
  int64_t connectTime_ MRTC_GUARDED_BY(lock_) = 0;
  uint8_t talking_ MRTC_GUARDED_BY(lock_) = 0;
  uint8_t active_ MRTC_GUARDED_BY(lock_) = 1;
  int64_t createTime_ MRTC_GUARDED_BY(lock_) = 0;
  uint8_t othersChanged_ MRTC_GUARDED_BY(lock_) = 0;

  // Members in order of arrival, their ids and states side by side (an id
  // and a state in one record would take 16 bytes, not 9); ids that left
  // the room after having entered it (removal moves the last entry into the
  // gap). ids_ holds each id's index in both lists, and every id that
  // belonged to the talk in order (its history), so that a membership test
  // or a state change does not scan a list.
  std::vector<int64_t> memberIds_ MRTC_GUARDED_BY(lock_);
  std::vector<uint8_t> memberStates_ MRTC_GUARDED_BY(lock_);
  std::vector<int64_t> leftMembers_ MRTC_GUARDED_BY(lock_);
  talkIdIndex ids_ MRTC_GUARDED_BY(lock_);

  std::vector<inviteRecord> inviteRecords_ MRTC_GUARDED_BY(lock_);
  std::vector<refusedTalk> refusedTalks_ MRTC_GUARDED_BY(lock_);
  struct closedRoom {
    int64_t closeTime;
    std::string roomId;
  };
  // oldest first, at most kClosedRoomsMax
  std::vector<closedRoom> closedRooms_ MRTC_GUARDED_BY(lock_);
  // Rooms whose finish hint came while this client did not hold them.
  roomMemory finishedRooms_ MRTC_GUARDED_BY(lock_){kFinishedRoomWindowMs, kFinishedRoomsMax};
  endedRooms ended_ MRTC_GUARDED_BY(lock_);
  std::map<int64_t, int64_t> connectTimes_ MRTC_GUARDED_BY(lock_);
  std::map<int64_t, int64_t> hangupTimes_ MRTC_GUARDED_BY(lock_);
};

}  // namespace imsdkmrtc
