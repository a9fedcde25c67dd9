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

 private:
  mrtc_plugin* plugin_ = nullptr;
  imsdk::CLocker lock_;
  // The store helper writes the remaining fields and private helpers here.
};

}  // namespace imsdkmrtc
