// roomMemory: a bounded, time-limited set of room ids.
//
// Not thread-safe: its owner guards it (the store keeps one under its lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace imsdkmrtc {

class roomMemory {
 public:
  // A room counts for windowMs after it was remembered (the same clock as
  // the now passed in); when limit rooms are kept the oldest goes first.
  roomMemory(int64_t windowMs, size_t limit) : windowMs_(windowMs), limit_(limit) {}

  // Remembers the room (again) as of now; an empty id is never kept.
  void remember(const std::string& roomId, int64_t now);
  // True when the room was remembered less than the window ago, or, for
  // anyAge, at all (while it is kept: only the limit pushes rooms out).
  bool contains(const std::string& roomId, int64_t now, bool anyAge) const;
  size_t size() const { return rooms_.size(); }

 private:
  struct entry {
    int64_t at;
    std::string roomId;
  };
  int64_t windowMs_;
  size_t limit_;
  std::vector<entry> rooms_;  // oldest first
};

}  // namespace imsdkmrtc
