// endedRooms: the rooms whose talk ended on this client, each with the
// beginTime its call carried, so that a copy of an ended call (the network
// or a server's retry queue handing the same call message over again, under
// a new message id) is told apart from a new call of the room.
//
// Bounded by count, never by age: copies have been seen hours after the end.
// When full, the room remembered longest ago makes room.
//
// Threads: not locked itself; its owner (the talk store) guards it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace imsdkmrtc {

// Far more rooms than a client ends while a copy of one can still arrive.
constexpr size_t kEndedRoomsKept = 256;

class endedRooms {
 public:
  // A talk of this room, begun at beginTime (seconds), ended here. A room
  // seen again keeps the latest beginTime.
  void remember(const std::string& roomId, int64_t beginTime);
  // True when a call of this room begun at beginTime is no later than the
  // talk of it that ended here: it is a copy of that call.
  bool isCopy(const std::string& roomId, int64_t beginTime) const;
  size_t size() const { return beginTimes_.size(); }

 private:
  std::unordered_map<std::string, int64_t> beginTimes_;
  std::deque<std::string> order_;  // oldest first, each room once
};

}  // namespace imsdkmrtc
