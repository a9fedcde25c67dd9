// recentRooms: a bounded memory of room ids, for what must happen once per
// talk (the version notice). The oldest room goes first when it is full.
//
// Not thread-safe: its owner guards it.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace imsdkmrtc {

class recentRooms {
 public:
  explicit recentRooms(size_t limit) : limit_(limit) {}

  // True the first time roomId is offered (it is then remembered); false
  // while it is remembered.
  bool firstTime(const std::string& roomId);

 private:
  size_t limit_;
  std::deque<std::string> rooms_;  // oldest first
};

}  // namespace imsdkmrtc
