// Distinct member ids numbered 0, 1, 2, ... in the order they came, found
// through a flat array probed from the id's hash. One table serves every
// request of a queue: start() empties only the slots the last request
// filled, and the arrays keep their size, so a request costs what its own
// ids cost, with no allocation once the table has grown to the largest
// member list the queue has seen (about 20 to 28 bytes an id).
//
// Threads: none; the owner holds its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace imsdkmrtc {

class idNumbers {
 public:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

  // Empties the table for at most `most` ids.
  void start(size_t most);
  // The number of id, kNone when the table lacks it.
  uint32_t find(int64_t id) const {
    const uint32_t slot = slots_[probe(id)];
    return slot == 0 ? kNone : slot - 1;
  }
  // The number of id, a new one when it is new.
  uint32_t insert(int64_t id);
  bool contains(int64_t id) const { return find(id) != kNone; }
  size_t count() const { return ids_.size(); }

 private:
  // The id's slot, or the free one where it would go.
  size_t probe(int64_t id) const {
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>((static_cast<uint64_t>(id) * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[i] != 0 && ids_[slots_[i] - 1] != id) i = (i + 1) & mask;
    return i;
  }

  // 0: free, else the id's number plus one.
  std::vector<uint32_t> slots_ = std::vector<uint32_t>(8, 0);
  std::vector<int64_t> ids_;  // by number
  // The slots in use, emptied by the next start().
  std::vector<uint32_t> filled_;
  int shift_ = 61;
};

}  // namespace imsdkmrtc
