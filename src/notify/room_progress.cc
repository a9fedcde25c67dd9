// A running talk as its members act: entering the room, replies, talk
// queries and their answers, version notices.
#include <string>

#include "base/log.h"
#include "base/text_readers.h"
#include "base/ui_event_types.h"
#include "base/version.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

namespace {

constexpr int32_t kHintCaller = 1;
constexpr int32_t kHintInviter = 2;

// The member list of cmd shows sender in the room.
bool senderIn(const mrtcCmd& cmd, int64_t sender) {
  for (size_t i = 0; i < cmd.members.size() && i < cmd.memstates.size(); ++i) {
    if (cmd.members[i] == sender) return cmd.memstates[i] != 0;
  }
  return false;
}

}  // namespace

void pluginNotify::notify_intoroom(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnIntoRoom, texts::kLogBegin, logThis(this),
           texts::notify::kFnIntoRoom);
  MRTC_LOG(plugin_, 0, texts::notify::kFnIntoRoom, texts::notify::kLogIntoroom,
           static_cast<long long>(senderId), static_cast<long long>(cmd.groupId),
           cmd.roomId.c_str(), static_cast<int>(cmd.members.size()), cmd.annotation.c_str());
  talkInfo talk;
  talk.groupId = cmd.groupId;
  talk.roomId = cmd.roomId;
  const bool known = plugin_->store().remoteIntoRoom(senderId, talk) == kTalkDone;
  if (!known) MRTC_LOG(plugin_, 0, texts::notify::kFnIntoRoom, texts::notify::kLogIntoroomFail);
  const int64_t self = plugin_->selfId();
  // This user answered on another device before the call reached this one
  // (a message of this user comes from another device: the network never
  // hands a device its own message).
  if (!known && senderId == self) {
    plugin_->store().markClosedBeforeCall(cmd.roomId);
  }
  const bool acceptedElsewhere =
      senderId == self && talk.rtcType == texts::kP2pConfer && cmd.annotation == texts::kAccept;
  // Any entry of this user that reaches this client was made on another
  // device, whatever device type it names; one naming this client's own type
  // ends only the talk this client holds, and once (the one-to-one accept
  // above already ends it).
  const bool namesOtherType = cmd.deviceType != plugin_->ownDeviceType();
  const bool enteredElsewhere =
      senderId == self && (namesOtherType || (known && !acceptedElsewhere));
  // The caller may keep recalling until its media link reports this user in
  // the room; those repeated rings must not ring this client again.
  if (known && senderId == self) {
    plugin_->store().markAnsweredElsewhere(talk.roomId);
  }
  // This user answered on another device: stop ringing here.
  if (acceptedElsewhere) doLocalFinish(talk, texts::notify::kOtherAccept, finishWord::kAsGiven);
  if (enteredElsewhere) {
    doLocalFinish(talk,
                  texts::notify::kDealPrefix + plugin_->deviceTypeName(cmd.deviceType) +
                      texts::notify::kIntoRoomSuffix,
                  finishWord::kLocalPrefix);
  }
  cmd.extend = deviceFragment(cmd.deviceType, fragmentForm::kObject);
  pushCmdEvent(kEventIntoRoom, cmd);
}

void pluginNotify::notify_join(int64_t, mrtcCmd&) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnJoin, texts::kLogBegin, logThis(this),
           texts::notify::kFnJoin);
}

void pluginNotify::notify_reply(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnReply, texts::kLogBegin, logThis(this),
           texts::notify::kFnReply);
  MRTC_LOG(plugin_, 0, texts::notify::kFnReply, texts::notify::kLogReply,
           static_cast<long long>(senderId), static_cast<long long>(cmd.groupId),
           cmd.roomId.c_str());
  talkInfo talk;
  talk.roomId = cmd.roomId;
  talk.groupId = cmd.groupId;
  const uint32_t result = plugin_->store().remoteReply(talk);
  if (result == kTalkDone) {
    pushCmdEvent(kEventReply, cmd);
  } else {
    MRTC_LOG(plugin_, 0, texts::notify::kFnReply, texts::notify::kLogReplyFail,
             static_cast<int>(result));
  }
}

void pluginNotify::notify_querytalk(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnQueryTalk, texts::kLogBegin, logThis(this),
           texts::notify::kFnQueryTalk);
  MRTC_LOG(plugin_, 0, texts::notify::kFnQueryTalk, texts::notify::kLogQuerytalk);
  if (senderId != plugin_->selfId()) finishes_.alsoAsked(cmd.roomId, senderId);
  talkInfo talk;
  talk.roomId = cmd.roomId;
  if (plugin_->store().checkQueryTalk(cmd.groupId, senderId, talk) == kTalkDone) {
    plugin_->proxy().sendMsg_reply_querytalk(senderId, cmd.groupId, talk);
  }
}

void pluginNotify::notify_reply_querytalk(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnReplyQueryTalk, texts::kLogBegin, logThis(this),
           texts::notify::kFnReplyQueryTalk);
  // The sender still holds a talk this user left: it is in the room when it
  // owns the talk or entered it (a callee that only rings is not). This
  // user's other device counts for nothing: it sees this user's own entry.
  if (senderId != plugin_->selfId() && (senderId == cmd.onwerId || senderIn(cmd, senderId))) {
    finishes_.stillIn(cmd.roomId);
  }
  talkInfo talk;
  talk.roomId = cmd.roomId;
  talk.onwerId = cmd.onwerId;
  talk.groupId = cmd.groupId;
  talk.roomName = cmd.roomName;
  talk.members = cmd.members;
  talk.memstates = cmd.memstates;
  talk.hismembers = cmd.hismembers;
  if (plugin_->store().remoteReplyQueryTalk(talk) != kTalkDone) return;
  const std::vector<int64_t> waiting = waitingMembers(talk, plugin_->selfId());
  if (!waiting.empty()) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnReplyQueryTalk, texts::notify::kLogReplyQueryWait,
             static_cast<int>(waiting.size()));
    plugin_->addTimeout(kTimeoutWait, cmd.roomId, waiting, kWaitSeconds, kTimeoutMemberCategory,
                        kMembersReplace, "");
  }
  if (!plugin_->proxy().sendMsg_intoroom("", talk, kSendOnly)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnReplyQueryTalk, texts::notify::kLogReplyQueryIntoFail);
  }
  plugin_->startKeepAlive();
  pushCmdEvent(kEventTalkState, cmd);
}

void pluginNotify::notify_version(int64_t senderId, mrtcCmd& cmd) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnVersion, texts::kLogBegin, logThis(this),
           texts::notify::kFnVersion);
  MRTC_LOG(plugin_, 0, texts::notify::kFnVersion, texts::notify::kLogVersion,
           static_cast<long long>(senderId), static_cast<long long>(cmd.groupId),
           cmd.roomId.c_str());
  if (cmd.annotation != texts::kFarVersionFail) return;
  const int32_t check = compareVersion(cmd.version);
  const std::string self = std::to_string(plugin_->selfId());
  // The hint's case: this user called or invited the sender.
  int32_t kase = 0;
  if (getJsonString(cmd.extend, texts::notify::kKeyCaller) == self) {
    kase = kHintCaller;
  } else if (getJsonString(cmd.extend, texts::notify::kKeyInviter) == self) {
    kase = kHintInviter;
  }
  if (kase == 0) return;
  plugin_->proxy().sendVersionHint(check, kase, senderId, cmd.groupId,
                                   static_cast<int8_t>(cmd.deviceType));
}

}  // namespace imsdkmrtc
