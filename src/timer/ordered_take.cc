#include "timer/ordered_take.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace imsdkmrtc {

namespace {

// Ids compared as one block: long enough for the block compare to beat an
// id-by-id one, short enough that the block where the run ends costs little
// to walk again.
constexpr size_t kBlockIds = 32;

// p[0] to p[n - 1] ascend, the last below `bound`. Every pair is looked at,
// four at a time, without a branch each.
bool ascendsBelow(const int64_t* p, size_t n, int64_t bound) {
  bool ascends = p[n - 1] < bound;
  size_t i = 1;
  for (; i + 4 <= n; i += 4) {
    ascends &=
        (p[i - 1] < p[i]) & (p[i] < p[i + 1]) & (p[i + 1] < p[i + 2]) & (p[i + 2] < p[i + 3]);
  }
  for (; i < n; ++i) ascends &= p[i - 1] < p[i];
  return ascends;
}

}  // namespace

size_t orderedTake::sameRun(const int64_t* ids, const int64_t* list, size_t n, int64_t bound) {
  // A whole call's request usually lists a record's ids as they are: blocks
  // of them are settled by one compare, and only the block where the run
  // ends is walked id by id.
  size_t i = 1;
  while (i < n) {
    const size_t block = std::min(kBlockIds, n - i);
    if (std::memcmp(ids + i, list + i, block * sizeof(int64_t)) == 0 &&
        ascendsBelow(list + i - 1, block + 1, bound)) {
      i += block;
      continue;
    }
    const size_t end = i + block;
    while (i < end && ids[i] == list[i] && list[i - 1] < list[i] && list[i] < bound) ++i;
    return i;
  }
  return n;
}

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
      // The ids the request and the record then share, in a run the loop
      // would take one by one.
      const size_t run = sameRun(id, next, std::min<size_t>(last - id, end - next), others);
      id += run - 1;
      next += run;
      want = next[-1];
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
