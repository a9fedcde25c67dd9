// The end of a talk that the finish hint announces to a member who never
// came into its room, and the memory of rooms announced finished.
#include "store/talk_store.h"
#include "tools.h"

namespace imsdkmrtc {

uint32_t talkStore::finishNotJoined(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0 || !sameRoom(info.roomId)) {
    finishedRooms_.remember(info.roomId, tools::get_mill_sec());
    return talking_ == 0 ? kTalkNone : kTalkOtherRoom;
  }
  // The caller is in its room from the start, though its own entry stays
  // "invited" until a media report says otherwise.
  const int64_t me = self();
  if (hasMemberWithState(me, joined) || (me > 0 && onwerId_ == me)) return kTalkAlreadyActive;
  fillTalkInfo(info);
  clearTalk();
  // A recall of the call may still be on its way.
  finishedRooms_.remember(info.roomId, tools::get_mill_sec());
  return kTalkDone;
}

bool talkStore::isFinishedRoom(const std::string& roomId, bool recall) {
  return finishedRooms_.contains(roomId, tools::get_mill_sec(), recall);
}

}  // namespace imsdkmrtc
