#include "store/ended_rooms.h"

#include <algorithm>

namespace imsdkmrtc {

void endedRooms::remember(const std::string& roomId, int64_t beginTime) {
  if (roomId.empty()) return;
  auto found = beginTimes_.find(roomId);
  if (found != beginTimes_.end()) {
    found->second = std::max(found->second, beginTime);
    // Seen again: it is now the newest, not the next to go.
    order_.erase(std::find(order_.begin(), order_.end(), roomId));
    order_.push_back(roomId);
    return;
  }
  if (order_.size() >= kEndedRoomsKept) {
    beginTimes_.erase(order_.front());
    order_.pop_front();
  }
  beginTimes_.emplace(roomId, beginTime);
  order_.push_back(roomId);
}

bool endedRooms::isCopy(const std::string& roomId, int64_t beginTime) const {
  auto found = beginTimes_.find(roomId);
  return found != beginTimes_.end() && beginTime <= found->second;
}

}  // namespace imsdkmrtc
