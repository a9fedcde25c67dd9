// A received call ("multi_call") or invite ("multi_invite"): checked against
// this client's state, registered in the store, reported and timed.
#include <algorithm>
#include <string>
#include <utility>

#include "base/log.h"
#include "base/ui_event_types.h"
#include "base/version.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "notify/race_texts.h"
#include "signalling/msg_types.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

namespace {

constexpr int32_t kVersionEqual = 1;
constexpr int32_t kHintCallVersion = 3;
constexpr int32_t kHintInviteVersion = 4;
constexpr int32_t kSendInsertThenSend = 2;

constexpr int32_t kCallNotSelected = 15;
constexpr int32_t kCallOwnConference = 21;
constexpr int32_t kVersionMismatch = 17;
constexpr int32_t kInviteIntoRoomFailed = 4;

bool contains(const std::vector<int64_t>& ids, int64_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void removeAll(std::vector<int64_t>& ids, int64_t id) {
  ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
}

// The ids other than id, in their order: the runs between its places are
// copied whole, with no second pass to close the gaps.
std::vector<int64_t> allBut(const std::vector<int64_t>& ids, int64_t id) {
  std::vector<int64_t> out;
  out.reserve(ids.size());
  auto from = ids.begin();
  for (;;) {
    const auto at = std::find(from, ids.end(), id);
    out.insert(out.end(), from, at);
    if (at == ids.end()) return out;
    from = at + 1;
  }
}

std::string idObject(const char* key, int64_t id) {
  return std::string("{\"") + key + "\":\"" + std::to_string(id) + "\"}";
}

}  // namespace

int32_t pluginNotify::notify_call(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::kLogBegin, logThis(this),
           texts::notify::kFnCall);
  const int64_t self = plugin_->selfId();
  if (!contains(cmd.selects, self)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallNoBecall);
    return kCallNotSelected;
  }
  if (cmd.onwerId == self && cmd.rtcType == texts::kMicroConfer && cmd.auxText == "1") {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallMicroOwner);
    return kCallOwnConference;
  }
  // The same call handed over again after its talk ended here (a new message
  // id, so the id memory does not know it): it must not ring, nor answer. A
  // room whose end came before its call is turned down by the store itself
  // while that is recent; later, a call of it is a copy like any other.
  talkStore& store = plugin_->store();
  if (!cmd.recall && !store.isClosedHere(cmd.roomId) &&
      store.isEndedCopy(cmd.roomId, cmd.beginTime)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallCopy, cmd.roomId.c_str(),
             static_cast<long long>(cmd.beginTime));
    return 0;
  }
  talkInfo talk = talkFromCmd(senderId, cmd);
  MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallExtend,
           logCut(cmd.extend).c_str(), talk.single, cmd.rtcType.c_str(), cmd.roomToken.c_str(),
           cmd.srvVer.c_str(), cmd.srvTag.c_str(), cmd.videoType.c_str());
  msgProxy& proxy = plugin_->proxy();
  const int32_t check = compareVersion(cmd.version);
  if (check != kVersionEqual) {
    MRTC_LOG(plugin_, 2, texts::notify::kFnCall, texts::notify::kLogCallVersion);
    // Once per talk: every re-ring of the room would repeat them.
    if (talk.single == 0 && versionNoticed_.firstTime(talk.roomId)) {
      proxy.sendMsg_version(talk, idObject(texts::notify::kKeyCaller, senderId));
      proxy.sendVersionHint(check, kHintCallVersion, senderId, cmd.groupId,
                            static_cast<int8_t>(cmd.deviceType));
    }
    return kVersionMismatch;
  }

  uint32_t result = plugin_->store().remoteCall(cmd.selects, talk, cmd.recall ? 1 : 0);
  if (result == kTalkBusy && yieldToCrossingCall(senderId, cmd)) {
    result = plugin_->store().remoteCall(cmd.selects, talk, cmd.recall ? 1 : 0);
  }
  if (result == kTalkRecentlyRefused) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallRefused);
    return 0;
  }
  proxy.sendMsg_reply(senderId, cmd.groupId, cmd.roomId, static_cast<int32_t>(result),
                      texts::notify::kFarCallReply);
  if (result == kTalkInvalid) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallParam);
    return kTalkInvalid;
  }
  if (result == kTalkAlreadyCurrent) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallEqual);
    return kTalkAlreadyCurrent;
  }
  if (result == kTalkBusy) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallBusy);
    // A busy answer ends a one-to-one call on the caller's side: a copy of it
    // coming later is a copy of an ended call.
    if (talk.rtcType == texts::kP2pConfer) {
      plugin_->store().rememberEnded(talk.roomId, talk.beginTime);
    }
    if (talk.rtcType == texts::kP2pConfer &&
        !proxy.sendMsg_hungup(texts::notify::kBusyInRtc, talk, "", kMsgTypeFew,
                              kSendInsertThenSend)) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallBusyFail);
    }
    return kTalkBusy;
  }

  ringCall(cmd, talk, self);
  return 0;
}

void pluginNotify::ringCall(mrtcCmd& cmd, const talkInfo& talk, int64_t self) {
  fillDefaultInitState(cmd, self);
  MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallCounts,
           static_cast<int>(cmd.selects.size()), static_cast<int>(cmd.members.size()));
  cmd.extend = buildEventExtend(cmd.rtcType, cmd.addr, talk.single != 0, cmd.deviceType, cmd.cmode,
                                cmd.roomToken, cmd.initState, cmd.srvVer, cmd.srvTag);
  pushCmdEvent(kEventCall, cmd);
  const bool p2p = talk.rtcType == texts::kP2pConfer;
  plugin_->addTimeout(kTimeoutRing, talk.roomId, {self}, p2p ? kP2pRingSeconds : kRingSeconds,
                      kTimeoutMemberCategory, kMembersReplace, "");
  plugin_->startKeepAlive();
  if (!p2p && cmd.selects.size() >= 2) {
    std::vector<int64_t> others = allBut(cmd.selects, self);
    MRTC_LOG(plugin_, 0, texts::notify::kFnCall, texts::notify::kLogCallWait,
             static_cast<int>(others.size()));
    plugin_->addTimeout(kTimeoutWait, talk.roomId, std::move(others), kWaitSeconds,
                        kTimeoutMemberCategory, kMembersReplace, "");
  }
}

int32_t pluginNotify::notify_invite(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::kLogBegin, logThis(this),
           texts::notify::kFnInvite);
  const int64_t self = plugin_->selfId();
  const bool beInvited = contains(cmd.selects, self);
  MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteMe, beInvited ? 1 : 0);
  talkInfo talk = talkFromCmd(senderId, cmd);
  talk.memstates = cmd.memstates;
  talk.hismembers = cmd.hismembers;
  MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteExtend,
           logCut(cmd.extend).c_str(), talk.single, cmd.rtcType.c_str(), cmd.roomToken.c_str());
  msgProxy& proxy = plugin_->proxy();
  const int32_t check = compareVersion(cmd.version);
  if (check != kVersionEqual) {
    MRTC_LOG(plugin_, 2, texts::notify::kFnInvite, texts::notify::kLogInviteVersion);
    if (talk.single == 0 && versionNoticed_.firstTime(talk.roomId)) {
      proxy.sendMsg_version(talk, idObject(texts::notify::kKeyInviter, senderId));
      proxy.sendVersionHint(check, kHintInviteVersion, senderId, cmd.groupId,
                            static_cast<int8_t>(cmd.deviceType));
    }
    return kVersionMismatch;
  }

  // What this client already holds of the room, to tell a re-ring of the
  // invitation from news.
  talkInfo before;
  const bool held = plugin_->store().queryTalk(before) == kTalkDone &&
                    before.roomId == cmd.roomId && before.active != 0;
  std::string state;
  const uint32_t result =
      plugin_->store().remoteInvite(senderId, cmd.selects, state, talk, cmd.recall ? 1 : 0);
  if (result == kTalkRecentlyRefused) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteRefused);
    return 0;
  }
  if (beInvited) {
    proxy.sendMsg_reply(senderId, cmd.groupId, cmd.roomId, static_cast<int32_t>(result),
                        texts::notify::kFarCallInvite);
  }
  if (result != kTalkDone) {
    if (result == kTalkBusy) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteBusy);
    }
    MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteFail,
             static_cast<int>(result));
    return static_cast<int32_t>(result);
  }

  fillDefaultInitState(cmd, self);
  cmd.extend = buildEventExtend(cmd.rtcType, cmd.addr, talk.single != 0, cmd.deviceType, cmd.cmode,
                                cmd.roomToken, cmd.initState, cmd.srvVer, cmd.srvTag);
  if (state == texts::kTalkingActive || state == texts::kTalkingNoActive) {
    mrtcCmd copy = cmd;
    if (beInvited) removeAll(copy.selects, self);
    // Only invitees new to this client are news: a re-ring of an invitation
    // is as quiet as a re-ring of a call, and arms no second wait.
    if (held && state == texts::kTalkingActive) {
      for (int64_t id : before.members) removeAll(copy.selects, id);
    }
    if (!copy.selects.empty()) {
      pushCmdEvent(kEventInvite, copy);
      plugin_->addTimeout(kTimeoutWait, talk.roomId, copy.selects, kWaitSeconds,
                          kTimeoutMemberCategory, kMembersReplace, "");
    }
    if (state == texts::kTalkingNoActive && !proxy.sendMsg_intoroom("", talk, kSendOnly)) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteIntoFail);
      return kInviteIntoRoomFailed;
    }
  } else if (state == texts::kIdle) {
    ringInvite(cmd, talk, self);
  }
  return 0;
}

void pluginNotify::ringInvite(const mrtcCmd& cmd, const talkInfo& talk, int64_t self) {
  mrtcCmd copy = cmd;
  copy.members = talk.members;
  copy.memstates = talk.memstates;
  pushCmdEvent(kEventCall, copy);
  plugin_->addTimeout(kTimeoutRing, talk.roomId, {self}, kRingSeconds, kTimeoutMemberCategory,
                      kMembersReplace, "");
  plugin_->startKeepAlive();
  std::vector<int64_t> waiting = waitingMembers(talk, self);
  if (!waiting.empty()) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnInvite, texts::notify::kLogInviteWait,
             static_cast<int>(waiting.size()));
    plugin_->addTimeout(kTimeoutWait, talk.roomId, std::move(waiting), kWaitSeconds,
                        kTimeoutMemberCategory, kMembersReplace, "");
  }
}

}  // namespace imsdkmrtc
