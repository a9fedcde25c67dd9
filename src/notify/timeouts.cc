// Due time-outs, handed over by the timer thread. These handlers run on that
// thread without the plug-in lock: they reach the store through its own lock
// and the host, which may be called from any thread.
#include <string>

#include "base/json_escape.h"
#include "base/log.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "notify/ring_end_texts.h"
#include "timer/timeout_record.h"
#include "tools.h"

namespace imsdkmrtc {

void pluginNotify::onTimeoutDispatch(const timeoutRecord& record) {
  if (record.type == kTimeoutKeepAlive) {
    notify_keepalivetimeout(record);
    return;
  }
  switch (record.category) {
    case kTimeoutMemberCategory:
      notify_timeout(record);
      break;
    case kTimeoutBoardCategory:
      notify_boardtimeout(record);
      break;
    case kTimeoutCardDelayCategory:
      notify_templetdelay(record);
      break;
    case kTimeoutLoseFinishCategory:
      notify_losefinishtimeout(record);
      break;
    case kTimeoutRecallCategory:
      notify_recalltimeout(record);
      break;
    case kTimeoutEndCheckCategory:
      if (record.type == kTimeoutJoinAnswer) notify_jointimeout(record);
      if (record.type == kTimeoutFinishWatch) notify_finishwatch(record);
      break;
    default:
      break;
  }
}

void pluginNotify::notify_timeout(const timeoutRecord& record) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnTimeout, texts::kLogBegin, logThis(this),
           texts::notify::kFnTimeout);
  MRTC_LOG(plugin_, 0, texts::notify::kFnTimeout, texts::notify::kLogTimeout, record.type,
           record.key.c_str(), static_cast<int>(record.members.size()));
  const int64_t self = plugin_->selfId();
  talkInfo talk;
  talk.roomId = record.key;
  std::vector<int64_t> out;
  const uint32_t result = plugin_->store().memberTimeout(record.members, out, talk);
  MRTC_LOG(plugin_, 0, texts::notify::kFnTimeout, texts::notify::kLogTimeoutOut,
           static_cast<int>(out.size()));
  if (result != kTalkDone) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnTimeout, texts::notify::kLogTimeoutFail,
             static_cast<int>(result));
    return;
  }
  mrtcCmd missed;
  missed.roomId = talk.roomId;
  missed.groupId = talk.groupId;
  missed.onwerId = talk.onwerId;
  missed.rtcType = talk.rtcType;
  missed.members = talk.members;
  missed.selects = out;
  missed.senderId = self;
  pushCmdEvent(kEventNoAnswer, missed);
  if (record.type != kTimeoutRing) return;
  // This user's own ring ran out.
  plugin_->store().finishTalk(talk);
  mrtcCmd finished;
  finished.annotation = texts::notify::kBeCallTimeout;
  finished.senderId = self;
  finished.roomId = talk.roomId;
  finished.groupId = talk.groupId;
  finished.onwerId = talk.onwerId;
  pushCmdEvent(kEventFinished, finished);
}

void pluginNotify::notify_keepalivetimeout(const timeoutRecord&) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnKeepAlive, texts::kLogBegin, logThis(this),
           texts::notify::kFnKeepAlive);
  talkInfo talk;
  if (plugin_->store().keepaliveTimeout(talk) != kTalkDone) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnKeepAlive, texts::notify::kLogKeepaliveNone);
    return;
  }
  mrtcCmd finished;
  finished.annotation = texts::notify::kKeepAliveTimeout;
  finished.senderId = plugin_->selfId();
  finished.roomId = talk.roomId;
  finished.groupId = talk.groupId;
  finished.onwerId = talk.onwerId;
  pushCmdEvent(kEventFinished, finished);
  MRTC_LOG(plugin_, 0, texts::notify::kFnKeepAlive, texts::notify::kLogKeepalive);
}

void pluginNotify::notify_recalltimeout(const timeoutRecord& record) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnRecall, texts::kLogBegin, logThis(this),
           texts::notify::kFnRecall);
  MRTC_LOG(plugin_, 0, texts::notify::kFnRecall, texts::notify::kLogRecall, record.key.c_str(),
           record.roomId.c_str(), static_cast<long long>(record.fireTime), record.recallCnt,
           static_cast<int>(record.members.size()));
  // Re-ringing switched off while the recall waited: it sends nothing, and
  // the recalls after it are not planned either.
  pluginSettings& settings = plugin_->settings();
  if (settings.recallEnable.load() == 0) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnRecall, texts::ringend::kLogRecallOff);
    return;
  }
  std::vector<int64_t> ids = record.members;
  const uint32_t result = plugin_->store().recallTimeout(record.roomId, record.fireTime, ids);
  if (result != kTalkDone) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnRecall, texts::notify::kLogRecallFail,
             static_cast<int>(result));
    return;
  }
  const int64_t target = tools::strToInt64(record.key);
  MRTC_LOG(plugin_, 0, texts::notify::kFnRecall, texts::notify::kLogRecallSend,
           record.recallCnt + 1, static_cast<int>(ids.size()));
  plugin_->proxy().sendRecall(target, record.extra, ids);
  if (record.recallCnt < settings.recallCount.load()) {
    plugin_->addRecallTimeout(record.key, record.roomId, ids, settings.recallDuration.load(),
                              kTimeoutRecallCategory, record.extra, record.fireTime,
                              record.recallCnt + 1);
  }
}

void pluginNotify::notify_templetdelay(const timeoutRecord& record) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnTempletDelay, texts::kLogBegin, logThis(this),
           texts::notify::kFnTempletDelay);
  const int64_t target = tools::strToInt64(record.key);
  plugin_->proxy().sendTempMsssage(
      target, record.extra, record.members,
      record.type == kTimeoutCallCard ? cardDelivery::kInsertThenSend : cardDelivery::kSendOnly);
  pushTextEvent(kEventCard, record.extra);
}

void pluginNotify::notify_boardtimeout(const timeoutRecord& record) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnBoard, texts::kLogBegin, logThis(this),
           texts::notify::kFnBoard);
  std::vector<mrtcCmd> held;
  if (!plugin_->board().boardTimeout(record, held)) return;
  if (held.empty()) {
    pushCmdEvent(kEventBoardEmpty, mrtcCmd());
    return;
  }
  const mrtcCmd& first = held.front();
  if (plugin_->store().isCurrentRoom(first.roomId)) return;
  mrtcCmd summary;
  summary.roomId = first.roomId;
  summary.groupId = first.groupId;
  summary.onwerId = first.onwerId;
  for (size_t i = 0; i < first.members.size(); ++i) {
    if (i < first.memstates.size() && first.memstates[i] != 0) {
      summary.members.push_back(first.members[i]);
    }
  }
  summary.extend = "{\"intotoom_count\":\"" + std::to_string(summary.members.size()) +
                   "\",\"allmember_count\":\"" + std::to_string(first.members.size()) +
                   "\",\"onwer_name\":\"" + jsonEscape(first.extend) + "\"}";
  pushCmdEvent(kEventBoardSummary, summary);
}

void pluginNotify::notify_losefinishtimeout(const timeoutRecord& record) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnLoseFinish, texts::kLogBegin, logThis(this),
           texts::notify::kFnLoseFinish);
  MRTC_LOG(plugin_, 0, texts::notify::kFnLoseFinish, texts::notify::kLogLoseFinish,
           record.key.c_str());
  talkInfo talk;
  talk.roomId = record.key;
  const uint32_t result = plugin_->store().loseFinishTimeout(talk);
  if (result != kTalkDone) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnLoseFinish, texts::notify::kLogLoseFinishFail,
             static_cast<int>(result));
  }
}

}  // namespace imsdkmrtc
