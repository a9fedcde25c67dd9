#include "timer/member_removal.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "timer/member_list.h"
#include "timer/timer_texts.h"

namespace imsdkmrtc {

namespace {

bool ofRoom(const timeoutRecord& r, int32_t category, const std::string& key) {
  return r.category == category && r.key == key;
}

}  // namespace

memberRemoval& memberRemoval::ofThisThread() {
  thread_local memberRemoval removal;
  return removal;
}

void memberRemoval::takeOut(std::vector<timeoutRecord>& queue, int32_t category,
                            const std::string& key, const std::vector<int64_t>& ids) {
  if (ids.empty() || !index(queue, category, key, ids)) return;
  for (size_t i = 0; i < ids.size(); ++i) {
    const uint32_t k = givenNumbers_.empty() ? wanted_.find(ids[i]) : givenNumbers_[i];
    if (k == kNone) continue;  // in no record of the room
    for (int n = 0; n < kMemberRemovePasses; ++n) {
      if (!pass(queue, k)) break;
    }
  }
  publish(queue);
}

bool memberRemoval::index(const std::vector<timeoutRecord>& queue, int32_t category,
                          const std::string& key, const std::vector<int64_t>& ids) {
  records_.clear();
  recordAt_.assign(queue.size(), kNone);
  size_t held = 0;
  for (size_t i = 0; i < queue.size(); ++i) {
    if (!ofRoom(queue[i], category, key)) continue;
    recordAt_[i] = static_cast<uint32_t>(records_.size());
    records_.push_back({i, held, queue[i].members.size(), false, false});
    held += queue[i].members.size();
  }
  if (held == 0) return false;
  // The ids worth numbering: the given ones, or the room's own when these are
  // fewer (a whole member list re-armed over a record of one callee). Either
  // way every id both given and held is among them.
  wanted_.start(std::min(held, ids.size()));
  givenNumbers_.clear();
  if (held < ids.size()) {
    for (const roomRecord& r : records_) {
      for (int64_t id : queue[r.at].members) wanted_.insert(id);
    }
  } else {
    for (int64_t id : ids) givenNumbers_.push_back(wanted_.insert(id));
  }
  heads_.assign(wanted_.count(), kNone);
  occurrences_.clear();
  occurrenceOf_.assign(held, kNone);
  origin_.resize(held);
  for (uint32_t r = 0; r < records_.size(); ++r) {
    const std::vector<int64_t>& members = queue[records_[r].at].members;
    for (size_t p = 0; p < members.size(); ++p) {
      const uint32_t k = wanted_.find(members[p]);
      if (k == kNone) continue;
      const auto e = static_cast<uint32_t>(occurrences_.size());
      occurrences_.push_back({r, static_cast<uint32_t>(p), heads_[k]});
      heads_[k] = e;
      occurrenceOf_[records_[r].base + p] = e;
    }
  }
  firstOf_.assign(records_.size(), kNone);
  return true;
}

bool memberRemoval::pass(std::vector<timeoutRecord>& queue, uint32_t k) {
  // The id's first occurrence in each record that holds it; occurrences
  // already taken out, or of deleted records, leave the chain on the way.
  hits_.clear();
  size_t live = 0;
  for (uint32_t* link = &heads_[k]; *link != kNone;) {
    const occurrence& o = occurrences_[*link];
    if (o.pos == kNone || records_[o.record].gone) {
      *link = o.next;
      continue;
    }
    ++live;
    uint32_t& first = firstOf_[o.record];
    if (first == kNone) {
      hits_.push_back(o.record);
      first = *link;
    } else if (o.pos < occurrences_[first].pos) {
      first = *link;
    }
    link = &occurrences_[*link].next;
  }
  // A pass meets the records in the queue's order, which stays as it is
  // until the pass ends at a record it empties.
  if (hits_.size() > 1) {
    std::sort(hits_.begin(), hits_.end(),
              [&](uint32_t a, uint32_t b) { return records_[a].at < records_[b].at; });
  }
  bool ended = false;
  size_t taken = 0;
  for (uint32_t r : hits_) {
    const uint32_t e = firstOf_[r];
    firstOf_[r] = kNone;
    if (ended) continue;
    ++taken;
    if (!takeAt(e)) continue;
    erase(queue, r);
    ended = true;
  }
  // An emptied record had no occurrence left, so what is left is what a
  // next pass would find.
  return live > taken;
}

bool memberRemoval::takeAt(uint32_t e) {
  roomRecord& r = records_[occurrences_[e].record];
  uint32_t* origin = origin_.data() + r.base;
  if (!r.edited) {
    // The list itself stays as it is (other records or readers may hold
    // it); its places are followed here, and publish() builds the result.
    std::iota(origin, origin + r.size, 0u);
    r.edited = true;
  }
  const uint32_t freed = occurrences_[e].pos;
  occurrences_[e].pos = kNone;
  const size_t last = --r.size;
  if (freed != last) {
    const uint32_t from = origin[last];
    const uint32_t moved = occurrenceOf_[r.base + from];
    if (moved != kNone) occurrences_[moved].pos = freed;
    origin[freed] = from;
  }
  return r.size == 0;
}

void memberRemoval::erase(std::vector<timeoutRecord>& queue, uint32_t record) {
  const size_t at = records_[record].at;
  records_[record].gone = true;
  if (at + 1 != queue.size()) {
    queue[at] = std::move(queue.back());
    recordAt_[at] = recordAt_.back();
    if (recordAt_[at] != kNone) records_[recordAt_[at]].at = at;
  }
  queue.pop_back();
  recordAt_.pop_back();
}

void memberRemoval::publish(std::vector<timeoutRecord>& queue) {
  for (const roomRecord& r : records_) {
    if (!r.edited || r.gone) continue;
    const std::vector<int64_t>& was = queue[r.at].members;
    const uint32_t* origin = origin_.data() + r.base;
    std::vector<int64_t> now(r.size);
    for (size_t p = 0; p < r.size; ++p) now[p] = was[origin[p]];
    queue[r.at].members = memberList(std::move(now));
  }
}

std::vector<int64_t> memberRemoval::notHeld(const std::vector<timeoutRecord>& queue,
                                            int32_t category, const std::string& key,
                                            const std::vector<int64_t>& ids) {
  size_t held = 0;
  for (const timeoutRecord& r : queue) {
    if (ofRoom(r, category, key)) held += r.members.size();
  }
  if (held == 0) return ids;
  // Number the smaller side, then pass once over the other.
  std::vector<int64_t> out;
  if (held < ids.size()) {
    wanted_.start(held);
    for (const timeoutRecord& r : queue) {
      if (!ofRoom(r, category, key)) continue;
      for (int64_t id : r.members) wanted_.insert(id);
    }
    for (int64_t id : ids) {
      if (!wanted_.contains(id)) out.push_back(id);
    }
    return out;
  }
  wanted_.start(ids.size());
  for (int64_t id : ids) wanted_.insert(id);
  seen_.assign(wanted_.count(), 0);
  for (const timeoutRecord& r : queue) {
    if (!ofRoom(r, category, key)) continue;
    for (int64_t id : r.members) {
      const uint32_t k = wanted_.find(id);
      if (k != kNone) seen_[k] = 1;
    }
  }
  for (int64_t id : ids) {
    if (seen_[wanted_.find(id)] == 0) out.push_back(id);
  }
  return out;
}

}  // namespace imsdkmrtc
