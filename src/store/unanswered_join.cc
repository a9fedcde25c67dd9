// The store's side of a card join whose question about the talk nobody
// answered.
#include "store/talk_store.h"

namespace imsdkmrtc {

uint32_t talkStore::endUnansweredJoin(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  if (active_ != 0) return kTalkAlreadyActive;
  fillTalkInfo(info);
  clearTalk();
  return kTalkDone;
}

}  // namespace imsdkmrtc
