// Time-outs that check a talk really ended: a card join that nobody
// answered, and a group talk this user left while others were in. Like every
// time-out handler they run on the timer thread without the plug-in lock.
#include "base/log.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

void pluginNotify::notify_jointimeout(const timeoutRecord& record) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnJoinTimeout, texts::kLogBegin, logThis(this),
           texts::notify::kFnJoinTimeout);
  talkInfo talk;
  talk.roomId = record.key;
  const uint32_t result = plugin_->store().endUnansweredJoin(talk);
  if (result != kTalkDone) {
    // Answered (the talk is active now), or left or replaced meanwhile.
    MRTC_LOG(plugin_, 0, texts::notify::kFnJoinTimeout, texts::notify::kLogJoinAnswered,
             static_cast<int>(result));
    return;
  }
  // Nobody holds the talk any more: the call is over. Without this end the
  // talk would stay "not active" for ever and every later call find it busy.
  mrtcCmd finished;
  finished.annotation = texts::notify::kJoinTimeout;
  finished.senderId = plugin_->selfId();
  finished.roomId = talk.roomId;
  finished.groupId = talk.groupId;
  finished.onwerId = talk.onwerId;
  finished.rtcType = talk.rtcType;
  pushCmdEvent(kEventFinished, finished);
}

void pluginNotify::notify_finishwatch(const timeoutRecord& record) {
  const int64_t self = plugin_->selfId();
  int64_t groupId = 0;
  const finishWatch::step step = finishes_.next(record.key, self, &groupId);
  MRTC_LOG(plugin_, 0, texts::notify::kFnFinishWatch, texts::notify::kLogFinishWatch,
           record.key.c_str(), static_cast<int>(step));
  if (step == finishWatch::step::kAsk) {
    // Every member still holding the talk answers with its view of it.
    plugin_->proxy().sendMsg_querytalk(groupId, record.key);
    plugin_->addTimeout(kTimeoutFinishWatch, record.key, {}, kFinishAnswerSeconds,
                        kTimeoutEndCheckCategory, kMembersAsGiven, "");
    return;
  }
  // Calls switched off meanwhile: the answers were dropped unheard.
  if (step != finishWatch::step::kPost || !plugin_->callsEnabled()) return;
  std::string hint;
  if (!plugin_->proxy().sendWeakHintFinish(self, groupId, record.key, hint)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnFinishWatch, texts::notify::kLogFinishWatchFail);
  }
  pushTextEvent(kEventHint, hint);
}

}  // namespace imsdkmrtc
