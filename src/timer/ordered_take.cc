#include "timer/ordered_take.h"

#include <limits>

namespace imsdkmrtc {

bool orderedTake::walk(const std::vector<const std::vector<int64_t>*>& lists,
                       const std::vector<int64_t>& ids) {
  emptied_.clear();
  taken_.assign(lists.size(), 0);
  if (lists.size() > kMostRecords || !lowest(lists)) return false;
  // While every list is ascending from its next id, no record holds an id
  // below the smallest next id. The lists' ends not reached are checked last.
  const int64_t* id = ids.data();
  const int64_t* const last = id + ids.size();
  while (end_ != nullptr && id != last) {
    // A run of takes from one record, until it empties or another record
    // holds the smallest id. Kept in locals, which the compiler need not
    // store back on every id.
    const int64_t* next = next_;
    const int64_t* const end = end_;
    const int64_t others = others_;
    int64_t want = *next;
    bool moved = false;
    for (; id != last; ++id) {
      if (*id < want) continue;
      if (*id > want) return false;  // it may be held further on
      ++next;
      if (next == end || *next <= want || *next >= others) {
        ++id;
        moved = true;
        break;
      }
      want = *next;
    }
    taken_[at_] = static_cast<uint32_t>(next - lists[at_]->data());
    if (!moved) break;
    if (next == end) {
      emptied_.push_back(at_);
    } else if (*next <= want) {
      return false;
    }
    if (!lowest(lists)) return false;
  }
  for (size_t r = 0; r < lists.size(); ++r) {
    const std::vector<int64_t>& list = *lists[r];
    for (size_t p = taken_[r] + 1; p < list.size(); ++p) {
      if (list[p] <= list[p - 1]) return false;
    }
  }
  return true;
}

bool orderedTake::lowest(const std::vector<const std::vector<int64_t>*>& lists) {
  end_ = nullptr;
  others_ = std::numeric_limits<int64_t>::max();
  for (uint32_t r = 0; r < lists.size(); ++r) {
    const std::vector<int64_t>& list = *lists[r];
    if (taken_[r] == list.size()) continue;
    const int64_t* next = list.data() + taken_[r];
    if (end_ != nullptr && *next == *next_) return false;
    if (end_ != nullptr && *next > *next_) {
      if (*next < others_) others_ = *next;
      continue;
    }
    if (end_ != nullptr) others_ = *next_;
    at_ = r;
    next_ = next;
    end_ = list.data() + list.size();
  }
  return true;
}

}  // namespace imsdkmrtc
