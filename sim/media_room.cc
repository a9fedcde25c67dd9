#include "media_room.h"

namespace mrtcsim {

std::vector<MediaReport> MediaRoom::reportsFor(const Room& room, const std::string& roomId,
                                               const Member& who, const char* annotation) const {
  std::vector<MediaReport> out;
  for (const Member& m : room.present) {
    if (m.client == who.client) continue;
    out.push_back({m.client, annotation, room.groupId, roomId, who.user});
  }
  return out;
}

std::vector<MediaReport> MediaRoom::enter(const std::string& client, int64_t user,
                                          const std::string& roomId, int64_t groupId) {
  std::vector<MediaReport> out;
  if (roomId.empty() || roomOf(client) == roomId) return out;
  out = leave(client);
  Room& room = rooms_[roomId];
  if (room.present.empty() || room.groupId == 0) room.groupId = groupId;
  Member me{client, user};
  std::vector<MediaReport> entered = reportsFor(room, roomId, me, kEntered);
  out.insert(out.end(), entered.begin(), entered.end());
  room.present.push_back(me);
  return out;
}

std::vector<MediaReport> MediaRoom::leave(const std::string& client) {
  std::vector<MediaReport> out;
  for (auto it = rooms_.begin(); it != rooms_.end(); ++it) {
    Room& room = it->second;
    for (size_t i = 0; i < room.present.size(); ++i) {
      if (room.present[i].client != client) continue;
      Member me = room.present[i];
      room.present.erase(room.present.begin() + static_cast<std::ptrdiff_t>(i));
      out = reportsFor(room, it->first, me, kLeft);
      if (room.present.empty()) rooms_.erase(it);
      return out;
    }
  }
  return out;
}

std::string MediaRoom::roomOf(const std::string& client) const {
  for (const auto& [roomId, room] : rooms_) {
    for (const Member& m : room.present) {
      if (m.client == client) return roomId;
    }
  }
  return "";
}

}  // namespace mrtcsim
