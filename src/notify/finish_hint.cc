// A received finish hint ends the talk of a member who never came into the
// room: the hint is the only word a group gets that its call is over, and a
// callee left ringing would also answer the next caller busy.
#include <string>
#include <utility>
#include <vector>

#include "CLocker.h"
#include "base/log.h"
#include "base/text_readers.h"
#include "base/weak_hint_words.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "notify/ring_end_texts.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

void pluginNotify::onFinishHintReceived(const weakHint& hint) {
  if (hint.bodyType != kHintBodyType || hint.operType != kHintOperFinish) return;
  talkInfo talk;
  talk.roomId = getKeyValue(hint.usersInfo, texts::kKeyRoomId);
  if (talk.roomId.empty()) return;
  imsdk::autoLock guard(plugin_->lock());
  const uint32_t result = plugin_->store().finishNotJoined(talk);
  MRTC_LOG(plugin_, 0, texts::notify::kFnWeakHint, texts::ringend::kLogHintEnds,
           talk.roomId.c_str(), result == kTalkDone ? 1 : 0);
  if (result == kTalkNone || result == kTalkOtherRoom) {
    // The call is over for everybody before any copy of it rang here: a copy
    // still on its way, however late, must not ring.
    plugin_->store().markClosedBeforeCall(talk.roomId);
  }
  if (result != kTalkDone) return;
  // The ring and the wait of the room have nothing left to time.
  imsdk::timerCmd removal;
  removal.op = 0;
  removal.category = kTimeoutMemberCategory;
  removal.type = kTimeoutRing;
  removal.key = talk.roomId;
  // The members go to the removal whole: the local finish below needs the
  // talk's room and words, not its list (the store holds no talk any more).
  removal.members = std::move(talk.members);
  talk.members.clear();
  removal.members.push_back(plugin_->selfId());
  plugin_->postTimer(removal);
  doLocalFinish(talk, texts::ringend::kFinishHintWord, finishWord::kLocalPrefix);
}

}  // namespace imsdkmrtc
