// Distinct member ids, each with one place (a number the owner gives), found
// through a flat array probed from the id's hash. Each slot carries its id
// and place together, so a look-up reads one slot, and the request that
// filled it: start() only moves to the next request, so emptying the table
// costs nothing and a request costs what its own ids cost, with no
// allocation once the table has grown to the largest request (32 bytes an
// id).
//
// Threads: none; the owner holds its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace imsdkmrtc {

class idPlaces {
 public:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

  // Empties the table for at most `most` ids.
  void start(size_t most);
  // Gives id its place. False, changing nothing, when the table has the id.
  bool add(int64_t id, uint32_t place) {
    slot& s = slots_[probe(id)];
    if (s.request == request_) return false;
    s = {id, place, request_};
    return true;
  }
  // The place of id, kNone when the table lacks it.
  uint32_t find(int64_t id) const {
    const slot& s = slots_[probe(id)];
    return s.request == request_ ? s.place : kNone;
  }

 private:
  struct slot {
    int64_t id;
    uint32_t place;
    uint32_t request;  // in use while it equals request_
  };

  // The id's slot, or the free one where it would go.
  size_t probe(int64_t id) const {
    size_t i = static_cast<size_t>((static_cast<uint64_t>(id) * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[i].request == request_ && slots_[i].id != id) i = (i + 1) & mask_;
    return i;
  }

  std::vector<slot> slots_ = std::vector<slot>(8, slot{0, 0, 0});
  size_t mask_ = 7;
  int shift_ = 61;
  uint32_t request_ = 1;  // the slots start free, even before start()
};

}  // namespace imsdkmrtc
