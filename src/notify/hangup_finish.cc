// A member hanging up, the talk finishing for everybody, and the talk ending
// on this client alone.
#include <string>

#include "base/json_escape.h"
#include "base/log.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

namespace {

// The word a one-to-one talk reports for a received hang-up.
std::string hangupWord(const std::string& word, bool senderIsSelf, bool otherDevice) {
  using namespace texts;
  using namespace texts::notify;
  if (!senderIsSelf && (word == kCancelCallTimeout || word == kCancelUiClick)) {
    return kPeerPrefix + word;
  }
  if (word == kBusyInRtc || word == kBusyInTel) {
    if (otherDevice) return kOtherPrefix + word + kEndSuffix;
    if (!senderIsSelf) return kPeerPrefix + word + kWaitSuffix;
    return word;
  }
  if (word == kRefuse) {
    if (otherDevice) return kOtherPrefix + word;
    if (!senderIsSelf) return kPeerPrefix + word;
    return word;
  }
  if (!senderIsSelf && word == kHungupUiClick) return kPeerPrefix + word + kEndSuffix;
  return word;
}

}  // namespace

void pluginNotify::notify_hungup(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnHungup, texts::kLogBegin, logThis(this),
           texts::notify::kFnHungup);
  MRTC_LOG(plugin_, 0, texts::notify::kFnHungup, texts::notify::kLogHungup,
           static_cast<long long>(senderId), static_cast<long long>(cmd.groupId),
           cmd.roomId.c_str());
  const int64_t self = plugin_->selfId();
  const bool senderIsSelf = senderId == self;
  // This user's hang-up or refusal reaching this client was made on another
  // device, whatever device type the command names.
  const bool otherDevice = senderIsSelf;
  std::string who;
  const bool isRefusal = cmd.annotation == texts::kFarUiRefuse || cmd.annotation == texts::kRefuse;
  if (isRefusal) who = senderIsSelf ? texts::kMyself : texts::kOther;
  talkInfo talk;
  talk.groupId = cmd.groupId;
  talk.roomId = cmd.roomId;
  const uint32_t result = plugin_->store().remoteHungup(senderId, talk, who);
  if (result != kTalkDone) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnHungup, texts::notify::kLogHungupFail,
             static_cast<int>(result));
    // Overtaken by its own end: the call of this room, when it comes, must
    // not ring (this user left it on another device, or the caller of a
    // one-to-one call hung up).
    const bool callerLeftP2p = cmd.rtcType == texts::kP2pConfer && senderId == cmd.onwerId;
    if ((result == kTalkNone || result == kTalkOtherRoom) && (senderIsSelf || callerLeftP2p)) {
      plugin_->store().markClosedBeforeCall(cmd.roomId);
    }
    return;
  }
  plugin_->removeTimeout(kTimeoutWait, cmd.roomId, senderId, kTimeoutMemberCategory);
  // This user declined on another device. A repeated ring of the room may
  // already be on its way (the caller drops this user from its recalls only
  // once the refusal reaches it, and an invitation of others makes it recall
  // the invitees): it must not ring this client again.
  if (senderIsSelf && isRefusal) plugin_->store().markRefusedElsewhere(talk.roomId);
  if (talk.rtcType == texts::kP2pConfer) {
    if (cmd.annotation == texts::kHungupUiClick) {
      // The store has already taken the peer out of the members; the
      // duration belongs in the chat with that peer all the same.
      talkInfo chat = talk;
      chat.members.insert(chat.members.begin(), senderId);
      plugin_->proxy().sendMsg_time(chat);
    }
    doLocalFinish(talk, hangupWord(cmd.annotation, senderIsSelf, otherDevice),
                  finishWord::kAsGiven);
  } else if (otherDevice) {
    doLocalFinish(talk,
                  texts::notify::kDealPrefix + plugin_->deviceTypeName(cmd.deviceType) +
                      texts::notify::kHungupSuffix,
                  finishWord::kLocalPrefix);
  } else {
    pushCmdEvent(kEventHungup, cmd);
  }
}

void pluginNotify::notify_finish(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnFinish, texts::kLogBegin, logThis(this),
           texts::notify::kFnFinish);
  MRTC_LOG(plugin_, 0, texts::notify::kFnFinish, texts::notify::kLogFinish,
           static_cast<long long>(senderId), static_cast<long long>(cmd.groupId),
           cmd.roomId.c_str(), cmd.rtcType.c_str());
  talkInfo talk;
  talk.rtcType = cmd.rtcType;
  talk.roomId = cmd.roomId;
  talk.groupId = cmd.groupId;
  const uint32_t result = plugin_->store().finishTalk(talk);
  if (cmd.cmdCode == kCmdMultiMFinish) {
    cmd.extend = "{\"sendUserId\":\"" + std::to_string(senderId) + "\"}";
    pushCmdEvent(kEventConferenceFinished, cmd);
  }
  if (result != kTalkDone) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnFinish, texts::notify::kLogFinishFail,
             static_cast<int>(result));
    // The talk is over before its call reached this client.
    if (result == kTalkNone || result == kTalkOtherRoom) {
      plugin_->store().markClosedBeforeCall(cmd.roomId);
    }
    return;
  }
  // Delayed cards of a finished talk must not appear any more.
  imsdk::timerCmd removal;
  removal.op = 0;
  removal.category = kTimeoutCardDelayCategory;
  removal.type = kTimeoutCallCard;
  plugin_->postTimer(removal);
  pushCmdEvent(kEventFinished, cmd);
}

void pluginNotify::doLocalFinish(talkInfo& talk, const std::string& word, finishWord form) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnLocalFinish, texts::kLogBegin, logThis(this),
           texts::notify::kFnLocalFinish);
  plugin_->store().finishTalk(talk);
  mrtcCmd cmd;
  cmd.annotation = form == finishWord::kAsGiven ? word : texts::notify::kLocalPrefix + word;
  cmd.senderId = plugin_->selfId();
  cmd.groupId = talk.groupId;
  cmd.roomId = talk.roomId;
  cmd.onwerId = talk.onwerId;
  cmd.rtcType = talk.rtcType;
  cmd.extend = "{\"rtcType\":\"" + jsonEscape(talk.rtcType) + "\"}";
  pushCmdEvent(kEventFinished, cmd);
  MRTC_LOG(plugin_, 0, texts::notify::kFnLocalFinish, texts::kLogEnd, logThis(this),
           texts::notify::kFnLocalFinish);
}

}  // namespace imsdkmrtc
