#include "store/room_memory.h"

#include <algorithm>

namespace imsdkmrtc {

void roomMemory::remember(const std::string& roomId, int64_t now) {
  if (roomId.empty()) return;
  rooms_.erase(std::remove_if(rooms_.begin(), rooms_.end(),
                              [&](const entry& e) { return e.roomId == roomId; }),
               rooms_.end());
  if (limit_ == 0) return;
  if (rooms_.size() >= limit_) rooms_.erase(rooms_.begin());
  rooms_.push_back(entry{now, roomId});
}

bool roomMemory::contains(const std::string& roomId, int64_t now, bool anyAge) const {
  return std::any_of(rooms_.begin(), rooms_.end(), [&](const entry& e) {
    return e.roomId == roomId && (anyAge || now - e.at <= windowMs_);
  });
}

}  // namespace imsdkmrtc
