#include "notify/recent_rooms.h"

#include <algorithm>

namespace imsdkmrtc {

bool recentRooms::firstTime(const std::string& roomId) {
  if (std::find(rooms_.begin(), rooms_.end(), roomId) != rooms_.end()) return false;
  if (limit_ == 0) return true;
  if (rooms_.size() >= limit_) rooms_.pop_front();
  rooms_.push_back(roomId);
  return true;
}

}  // namespace imsdkmrtc
