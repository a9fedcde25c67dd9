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
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CLocker.h"
#include "store/talk_info.h"

namespace imsdkmrtc {

class mrtc_plugin;

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

  void setPlugin(mrtc_plugin* plugin) { plugin_ = plugin; }

  static bool isValidTalkInfo(const talkInfo& info);

  // Local requests.
  uint32_t localCall(std::vector<int64_t>& callees, talkInfo& info);
  uint32_t localInvite(std::vector<int64_t>& invitees, talkInfo& before, talkInfo& info);
  void removeInvitedBy(const std::string& roomId, int64_t inviterId);
  uint32_t localIntoRoom(const std::vector<int64_t>& ids, talkInfo& info);
  uint32_t localJoin(talkInfo& info);
  uint32_t localTempletJoin(talkInfo& info, uint8_t active);
  uint32_t localHungup(talkInfo& info, const std::string& reason);
  uint32_t finishTalk(talkInfo& info);
  void resetTalk();
  uint32_t queryTalk(talkInfo& info);
  uint32_t connectState(int64_t userId, const std::string& state, talkInfo& info);
  bool isCurrentRoom(const std::string& roomId);
  // This user answered the current talk on another device: remembered like a
  // refusal, so that a repeated ring of it within the refusal window does not
  // ring this client again. Does nothing for another room.
  void markAnsweredElsewhere(const std::string& roomId);
  // This user declined the current talk on another device: remembered as a
  // refusal here too, for the same reason. Does nothing for another room.
  void markRefusedElsewhere(const std::string& roomId);
  // The end of a room that this client does not hold reached it: the caller
  // cancelled a one-to-one call, the talk finished, or this user answered or
  // left it on another device, before the call itself arrived (messages
  // overtake each other). For the refusal window a call of that room, late
  // or repeated, does not ring; an invitation into it still does. Does
  // nothing for the current talk.
  void markClosedBeforeCall(const std::string& roomId);

  // Received commands and time-outs.
  uint32_t remoteCall(const std::vector<int64_t>& callees, talkInfo& info, uint8_t recall);
  uint32_t remoteInvite(int64_t inviterId, const std::vector<int64_t>& invitees,
                        std::string& stateWord, talkInfo& info, uint8_t recall);
  uint32_t remoteIntoRoom(int64_t userId, talkInfo& info);
  uint32_t remoteHungup(int64_t userId, talkInfo& info, const std::string& who);
  uint32_t remoteReply(talkInfo& info);
  uint32_t checkQueryTalk(int64_t groupId, int64_t askerId, talkInfo& info);
  uint32_t remoteReplyQueryTalk(talkInfo& info);
  uint32_t memberTimeout(const std::vector<int64_t>& ids, std::vector<int64_t>& timedOut,
                         talkInfo& info);
  uint32_t recallTimeout(const std::string& roomId, int64_t since, std::vector<int64_t>& ids);
  uint32_t keepaliveTimeout(talkInfo& info);
  uint32_t loseFinishTimeout(talkInfo& info);

  // For tests: takes the lock and checks that the members, their indexes and
  // the talk state agree. On failure, *why (when given) says what is wrong.
  bool checkInvariants(std::string* why);
  // For tests: the refused talks in their stored order.
  std::vector<refusedTalk> refusedTalks();

 private:
  // Everything below requires lock_ held.
  int64_t self() const;
  bool sameRoom(const std::string& roomId) const { return roomId == roomId_; }
  void fillTalkInfo(talkInfo& info) const;
  void initTalk(const talkInfo& info, int64_t selfId);
  void clearTalk();

  void setMemberJoined(int64_t userId, bool add);
  void setMemberState(int64_t userId, uint8_t state);
  void removeMember(int64_t userId);
  bool removeMemberIfState(int64_t userId, uint8_t state);
  bool hasMemberWithState(int64_t userId, uint8_t state) const;
  // Removes every member whose id is in ids, in one pass.
  void removeMembers(const std::unordered_set<int64_t>& ids);
  void addLeftMember(int64_t userId);
  void removeLeftMember(int64_t userId);
  void addInvitees(const std::vector<int64_t>& ids, int64_t inviterId);
  void recordRefused();
  bool isRecentlyRefused(int64_t targetId, const std::string& roomId, bool recall);
  bool isClosedBeforeCall(const std::string& roomId);
  void forgetClosed(const std::string& roomId);

  talkMember* findMember(int64_t userId);
  const talkMember* findMember(int64_t userId) const;
  void appendMember(int64_t userId, uint8_t state);
  void reindexMembersFrom(size_t first);
  void addHistory(int64_t userId);

  mrtc_plugin* plugin_ = nullptr;
  imsdk::CLocker lock_;

  // The current talk.
  std::string rtcType_;
  int64_t onwerId_ = 0;
  std::string oName_;
  int64_t groupId_ = 0;
  std::string roomId_;
  std::string roomToken_;
  std::string roomName_;
  std::string addr_;
  int64_t beginTime_ = 0;
  uint8_t single_ = 0;
  std::string conferMode_;
  uint8_t tempJoin_ = 0;
  int64_t targetId_ = 0;
  std::string srvVer_;
  std::string srvTag_;
  std::string videoType_;
  int64_t connectTime_ = 0;
  uint8_t talking_ = 0;
  uint8_t active_ = 1;
  int64_t createTime_ = 0;
  uint8_t othersChanged_ = 0;

  // Members in order of arrival; memberPos_ maps each id to its index, so a
  // membership test or a state change does not scan the list.
  std::vector<talkMember> members_;
  std::unordered_map<int64_t, size_t> memberPos_;
  // Every id that belonged to the talk, in order, and the same ids as a set.
  std::vector<int64_t> historyMembers_;
  std::unordered_set<int64_t> historySet_;
  // Ids that left the room after having entered it; leftPos_ maps each to
  // its index (removal moves the last entry into the gap).
  std::vector<int64_t> leftMembers_;
  std::unordered_map<int64_t, size_t> leftPos_;

  std::vector<inviteRecord> inviteRecords_;
  std::vector<refusedTalk> refusedTalks_;
  struct closedRoom {
    int64_t closeTime;
    std::string roomId;
  };
  std::vector<closedRoom> closedRooms_;  // oldest first, at most kClosedRoomsMax
  std::map<int64_t, int64_t> connectTimes_;
  std::map<int64_t, int64_t> hangupTimes_;
};

}  // namespace imsdkmrtc
