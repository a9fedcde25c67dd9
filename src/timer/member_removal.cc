#include "timer/member_removal.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "timer/timer_texts.h"

namespace imsdkmrtc {

namespace {

// Distinct ids numbered 0, 1, 2, ... in the order they came, found through a
// flat array probed from the id's hash: a call's whole member list is
// thousands of ids, and a node-based hash table paid an allocation for each.
// Slots are small (the number, plus one) so that the arrays stay in cache.
class idTable {
 public:
  static constexpr size_t kNone = std::numeric_limits<size_t>::max();

  explicit idTable(size_t most) {
    size_t capacity = 8;
    int bits = 3;
    while (capacity < most * 2) {
      capacity *= 2;
      ++bits;
    }
    slots_.assign(capacity, 0);
    shift_ = 64 - bits;
    ids_.reserve(most);
  }

  // The number of id, kNone when the table lacks it.
  size_t find(int64_t id) const {
    const uint32_t slot = slots_[probe(id)];
    return slot == 0 ? kNone : slot - 1;
  }
  // The number of id, a new one when it is new. At most `most` ids.
  size_t insert(int64_t id) {
    uint32_t& slot = slots_[probe(id)];
    if (slot == 0) {
      ids_.push_back(id);
      slot = static_cast<uint32_t>(ids_.size());
    }
    return slot - 1;
  }
  bool contains(int64_t id) const { return find(id) != kNone; }

 private:
  // The id's slot, or the free one where it would go.
  size_t probe(int64_t id) const {
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>((static_cast<uint64_t>(id) * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[i] != 0 && ids_[slots_[i] - 1] != id) i = (i + 1) & mask;
    return i;
  }

  std::vector<uint32_t> slots_;  // 0: free, else the id's number plus one
  std::vector<int64_t> ids_;     // by number
  int shift_ = 0;
};

// Where the wanted ids sit in one record's member list. Every occurrence of a
// wanted id is an entry holding its current position; the entries of one id
// are chained. Lists rarely repeat an id, so a chain is mostly one entry.
class memberIndex {
 public:
  memberIndex(const std::vector<int64_t>& members, const idTable& wanted, size_t wantedCount)
      : headIds_(std::min(members.size(), wantedCount)) {
    for (size_t i = 0; i < members.size(); ++i) {
      if (!wanted.contains(members[i])) continue;
      const size_t k = headIds_.insert(members[i]);
      if (k == heads_.size()) heads_.push_back(kNone);
      pos_.push_back(i);
      next_.push_back(heads_[k]);
      heads_[k] = pos_.size() - 1;
    }
  }

  // Takes the first occurrence of id out of members, the last id filling its
  // place. False when the list does not hold the id.
  bool removeFirst(std::vector<int64_t>& members, int64_t id) {
    const size_t k = headIds_.find(id);
    if (k == kNone || heads_[k] == kNone) return false;
    size_t* head = &heads_[k];
    size_t best = kNone;
    size_t bestPrev = kNone;
    for (size_t e = *head, prev = kNone; e != kNone; prev = e, e = next_[e]) {
      if (best == kNone || pos_[e] < pos_[best]) {
        best = e;
        bestPrev = prev;
      }
    }
    if (bestPrev == kNone) {
      *head = next_[best];
    } else {
      next_[bestPrev] = next_[best];
    }
    const size_t freed = pos_[best];
    const size_t last = members.size() - 1;
    if (freed != last) {
      const int64_t moved = members[last];
      const size_t movedK = headIds_.find(moved);
      if (movedK != kNone) {
        for (size_t e = heads_[movedK]; e != kNone; e = next_[e]) {
          if (pos_[e] == last) {
            pos_[e] = freed;
            break;
          }
        }
      }
      members[freed] = moved;
    }
    members.pop_back();
    return true;
  }

 private:
  static constexpr size_t kNone = std::numeric_limits<size_t>::max();

  idTable headIds_;            // the wanted ids the list holds, numbered
  std::vector<size_t> heads_;  // by number: the id's first entry
  std::vector<size_t> pos_;    // entry -> position in the list
  std::vector<size_t> next_;   // entry -> next entry of its id
};

}  // namespace

void takeOutMembers(std::vector<timeoutRecord>& queue, int32_t category, const std::string& key,
                    const std::vector<int64_t>& ids) {
  if (ids.empty()) return;
  auto ofRoom = [&](const timeoutRecord& r) { return r.category == category && r.key == key; };
  size_t held = 0;
  for (const timeoutRecord& r : queue) {
    if (ofRoom(r)) held += r.members.size();
  }
  if (held == 0) return;
  // The ids worth indexing: the given ones, or the room's own when these are
  // fewer (a whole member list re-armed over a record of one callee). Either
  // way every id both given and held is among them.
  const size_t wantedCount = std::min(held, ids.size());
  idTable wanted(wantedCount);
  if (held < ids.size()) {
    for (const timeoutRecord& r : queue) {
      if (!ofRoom(r)) continue;
      for (int64_t id : r.members) wanted.insert(id);
    }
  } else {
    for (int64_t id : ids) wanted.insert(id);
  }
  // One index per record of the room, kept in step with the queue's order.
  std::vector<std::unique_ptr<memberIndex>> index(queue.size());
  for (size_t i = 0; i < queue.size(); ++i) {
    if (!ofRoom(queue[i])) continue;
    index[i] = std::make_unique<memberIndex>(queue[i].members, wanted, wantedCount);
  }
  auto erase = [&](size_t at) {
    if (at + 1 != queue.size()) {
      queue[at] = std::move(queue.back());
      index[at] = std::move(index.back());
    }
    queue.pop_back();
    index.pop_back();
  };
  for (int64_t id : ids) {
    if (!wanted.contains(id)) continue;  // in no record of the room
    for (int pass = 0; pass < kMemberRemovePasses; ++pass) {
      bool changed = false;
      for (size_t i = 0; i < queue.size(); ++i) {
        if (!index[i] || !index[i]->removeFirst(queue[i].members, id)) continue;
        changed = true;
        if (queue[i].members.empty()) {
          erase(i);
          break;
        }
      }
      if (!changed) break;
    }
  }
}

}  // namespace imsdkmrtc
