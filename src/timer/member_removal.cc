#include "timer/member_removal.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "timer/timer_texts.h"

namespace imsdkmrtc {

namespace {

// Where the wanted ids sit in one record's member list. Every occurrence of a
// wanted id is an entry holding its current position; the entries of one id
// are chained. Lists rarely repeat an id, so a chain is mostly one entry.
class memberIndex {
 public:
  memberIndex(const std::vector<int64_t>& members, const std::unordered_set<int64_t>& wanted) {
    heads_.reserve(std::min(members.size(), wanted.size()));
    for (size_t i = 0; i < members.size(); ++i) {
      if (wanted.count(members[i]) == 0) continue;
      auto head = heads_.emplace(members[i], kNone).first;
      pos_.push_back(i);
      next_.push_back(head->second);
      head->second = pos_.size() - 1;
    }
  }

  // Takes the first occurrence of id out of members, the last id filling its
  // place. False when the list does not hold the id.
  bool removeFirst(std::vector<int64_t>& members, int64_t id) {
    auto head = heads_.find(id);
    if (head == heads_.end() || head->second == kNone) return false;
    size_t best = kNone;
    size_t bestPrev = kNone;
    for (size_t e = head->second, prev = kNone; e != kNone; prev = e, e = next_[e]) {
      if (best == kNone || pos_[e] < pos_[best]) {
        best = e;
        bestPrev = prev;
      }
    }
    if (bestPrev == kNone) {
      head->second = next_[best];
    } else {
      next_[bestPrev] = next_[best];
    }
    const size_t freed = pos_[best];
    const size_t last = members.size() - 1;
    if (freed != last) {
      const int64_t moved = members[last];
      auto movedHead = heads_.find(moved);
      if (movedHead != heads_.end()) {
        for (size_t e = movedHead->second; e != kNone; e = next_[e]) {
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

  std::unordered_map<int64_t, size_t> heads_;  // wanted id -> its first entry
  std::vector<size_t> pos_;                    // entry -> position in the list
  std::vector<size_t> next_;                   // entry -> next entry of its id
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
  std::unordered_set<int64_t> wanted;
  if (held < ids.size()) {
    for (const timeoutRecord& r : queue) {
      if (ofRoom(r)) wanted.insert(r.members.begin(), r.members.end());
    }
  } else {
    wanted.insert(ids.begin(), ids.end());
  }
  // One index per record of the room, kept in step with the queue's order.
  std::vector<std::unique_ptr<memberIndex>> index(queue.size());
  for (size_t i = 0; i < queue.size(); ++i) {
    if (ofRoom(queue[i])) index[i] = std::make_unique<memberIndex>(queue[i].members, wanted);
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
    if (wanted.count(id) == 0) continue;  // in no record of the room
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
