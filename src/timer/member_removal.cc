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

// Ids to numbers, in one flat array probed from the id's hash: a call's whole
// member list is thousands of ids, and a node-based hash table paid an
// allocation for each. Ids are never erased.
class idTable {
 public:
  explicit idTable(size_t most) {
    size_t capacity = 8;
    while (capacity < most * 2) capacity *= 2;
    slots_.resize(capacity);
    mask_ = capacity - 1;
  }

  // The number of id, null when the table lacks it.
  size_t* find(int64_t id) {
    slot& s = probe(id);
    return s.used ? &s.value : nullptr;
  }
  // The number of id, which gets `value` when it is new. At most `most` ids.
  size_t& emplace(int64_t id, size_t value) {
    slot& s = probe(id);
    if (!s.used) s = {id, value, true};
    return s.value;
  }
  bool contains(int64_t id) { return probe(id).used; }

 private:
  struct slot {
    int64_t id = 0;
    size_t value = 0;
    bool used = false;
  };
  // The id's slot, or the free one where it would go.
  slot& probe(int64_t id) {
    size_t i = static_cast<size_t>(static_cast<uint64_t>(id) * 0x9E3779B97F4A7C15ull >> 17) & mask_;
    while (slots_[i].used && slots_[i].id != id) i = (i + 1) & mask_;
    return slots_[i];
  }

  std::vector<slot> slots_;
  size_t mask_ = 0;
};

// Where the wanted ids sit in one record's member list. Every occurrence of a
// wanted id is an entry holding its current position; the entries of one id
// are chained. Lists rarely repeat an id, so a chain is mostly one entry.
class memberIndex {
 public:
  memberIndex(const std::vector<int64_t>& members, idTable& wanted, size_t wantedCount)
      : heads_(std::min(members.size(), wantedCount)) {
    for (size_t i = 0; i < members.size(); ++i) {
      if (!wanted.contains(members[i])) continue;
      size_t& head = heads_.emplace(members[i], kNone);
      pos_.push_back(i);
      next_.push_back(head);
      head = pos_.size() - 1;
    }
  }

  // Takes the first occurrence of id out of members, the last id filling its
  // place. False when the list does not hold the id.
  bool removeFirst(std::vector<int64_t>& members, int64_t id) {
    size_t* head = heads_.find(id);
    if (head == nullptr || *head == kNone) return false;
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
      if (size_t* movedHead = heads_.find(moved)) {
        for (size_t e = *movedHead; e != kNone; e = next_[e]) {
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

  idTable heads_;             // wanted id -> its first entry
  std::vector<size_t> pos_;   // entry -> position in the list
  std::vector<size_t> next_;  // entry -> next entry of its id
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
      for (int64_t id : r.members) wanted.emplace(id, 0);
    }
  } else {
    for (int64_t id : ids) wanted.emplace(id, 0);
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
