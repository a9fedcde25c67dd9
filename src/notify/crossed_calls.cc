// Crossing one-to-one calls: this user rang the peer while the peer rang this
// user, and each call reached the other side while its own was unanswered.
// Answering busy on both sides would leave no call at all, so the two ends
// agree without a word: the call with the smaller room id (compared as bytes)
// goes on. The side holding the larger room yields; the other answers busy as
// before, so a peer that does not know this rule still ends with one call.
#include <algorithm>
#include <string>

#include "base/log.h"
#include "notify/crossing_rule.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "notify/race_texts.h"
#include "signalling/msg_types.h"

namespace imsdkmrtc {

namespace {

// This user placed the talk, one-to-one, to peer, who has not joined yet.
bool isOwnUnansweredCallTo(const talkInfo& own, int64_t self, int64_t peer) {
  if (own.rtcType != texts::kP2pConfer || own.onwerId != self || own.roomId.empty()) {
    return false;
  }
  bool hasPeer = false;
  for (size_t i = 0; i < own.members.size(); ++i) {
    if (own.members[i] == self) continue;
    if (own.members[i] != peer) return false;
    const bool joined = i < own.memstates.size() && own.memstates[i] != 0;
    if (joined) return false;
    hasPeer = true;
  }
  if (hasPeer) return true;
  // The wait ran out and took the peer out of the members, while the
  // application kept the call (it was told nobody answered): still this
  // user's call to the peer, who is in the talk's history.
  return std::find(own.hismembers.begin(), own.hismembers.end(), peer) != own.hismembers.end();
}

}  // namespace

bool pluginNotify::yieldToCrossingCall(int64_t senderId, const mrtcCmd& cmd) {
  if (!crossingRuleOn() || cmd.rtcType != texts::kP2pConfer || cmd.recall) return false;
  const int64_t self = plugin_->selfId();
  talkInfo own;
  if (plugin_->store().queryTalk(own) != kTalkDone) return false;
  if (!isOwnUnansweredCallTo(own, self, senderId)) return false;
  using namespace texts::notify;
  if (own.roomId < cmd.roomId) {
    MRTC_LOG(plugin_, 0, kFnCrossed, kLogCrossedKeep, own.roomId.c_str(), cmd.roomId.c_str());
    return false;
  }
  // The peer's call ended before it reached here (its cancel overtook it):
  // it would not ring, so giving up the own call would leave none.
  if (plugin_->store().isClosedHere(cmd.roomId)) {
    MRTC_LOG(plugin_, 0, kFnCrossed, kLogCrossedClosed, cmd.roomId.c_str());
    return false;
  }
  MRTC_LOG(plugin_, 0, kFnCrossed, kLogCrossedYield, own.roomId.c_str(), cmd.roomId.c_str());
  // The cancel goes to the peer's chat even when the wait took the peer out.
  if (std::find(own.members.begin(), own.members.end(), senderId) == own.members.end()) {
    own.members.insert(own.members.begin(), senderId);
  }
  // Ended as the caller's cancel would end it, so that the peer's client
  // (and this user's other devices) close it like any cancelled call.
  if (!plugin_->proxy().sendMsg_hungup(texts::kCancelUiClick, own, std::string(), kMsgTypeAll,
                                       kInsertThenSend)) {
    MRTC_LOG(plugin_, 0, kFnCrossed, kLogCrossedSendFail);
  }
  doLocalFinish(own, kCallCrossed, finishWord::kLocalPrefix);
  return true;
}

}  // namespace imsdkmrtc
