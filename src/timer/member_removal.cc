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
  if (ids.empty()) return;
  const size_t held = gather(queue, category, key);
  if (held == 0) return;
  if (held > kFewHeld && walked(queue, ids)) {
    publish(queue);
    return;
  }
  const std::vector<int64_t>& given = held <= kFewHeld ? keepHeld(queue, ids) : ids;
  if (given.empty()) return;
  if (held <= given.size() && placeHeld(queue, held)) {
    takeHeld(queue, given);
  } else {
    index(queue, given, held);
    for (size_t i = 0; i < given.size(); ++i) {
      const uint32_t k = givenNumbers_.empty() ? wanted_.find(given[i]) : givenNumbers_[i];
      if (k != kNone) takeOutId(queue, k);  // else in no record of the room
    }
  }
  publish(queue);
}

size_t memberRemoval::gather(const std::vector<timeoutRecord>& queue, int32_t category,
                             const std::string& key) {
  records_.clear();
  lists_.clear();
  recordAt_.assign(queue.size(), kNone);
  size_t held = 0;
  for (size_t i = 0; i < queue.size(); ++i) {
    if (!ofRoom(queue[i], category, key)) continue;
    recordAt_[i] = static_cast<uint32_t>(records_.size());
    records_.push_back({i, held, queue[i].members.size(), false, false});
    lists_.push_back(&queue[i].members.ids());
    held += queue[i].members.size();
  }
  return held;
}

bool memberRemoval::walked(std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids) {
  if (!ordered_.walk(lists_, ids)) return false;
  // A record that keeps ids loses its first ones, one after the other, each
  // freed place filled by the list's last id.
  const std::vector<uint32_t>& taken = ordered_.taken();
  for (uint32_t r = 0; r < records_.size(); ++r) {
    if (taken[r] == 0 || taken[r] == records_[r].size) continue;
    const auto base = static_cast<uint32_t>(records_[r].base);
    const auto size = static_cast<uint32_t>(records_[r].size);
    growTo(held_, base + size);
    growTo(origin_, base + size);
    std::iota(origin_.data() + base, origin_.data() + base + size, 0u);
    for (uint32_t p = 0; p < size; ++p) held_[base + p] = {r, p};
    for (uint32_t p = 0; p < taken[r]; ++p) takePlace(queue, base + p);
  }
  for (uint32_t r : ordered_.emptied()) erase(queue, r);
  return true;
}

const std::vector<int64_t>& memberRemoval::keepHeld(const std::vector<timeoutRecord>& queue,
                                                    const std::vector<int64_t>& ids) {
  int64_t few[kFewHeld];
  size_t distinct = 0;
  for (const roomRecord& r : records_) {
    for (int64_t id : queue[r.at].members) {
      if (std::find(few, few + distinct, id) == few + distinct) few[distinct++] = id;
    }
  }
  // Each held id's places in the request, merged back into the request's
  // order when there are several.
  keptAt_.clear();
  for (size_t d = 0; d < distinct; ++d) {
    for (auto it = std::find(ids.begin(), ids.end(), few[d]); it != ids.end();
         it = std::find(it + 1, ids.end(), few[d])) {
      keptAt_.push_back(static_cast<size_t>(it - ids.begin()));
    }
  }
  if (distinct > 1) std::sort(keptAt_.begin(), keptAt_.end());
  kept_.clear();
  for (size_t at : keptAt_) kept_.push_back(ids[at]);
  return kept_;
}

bool memberRemoval::placeHeld(const std::vector<timeoutRecord>& queue, size_t held) {
  heldPlaces_.start(held);
  growTo(held_, held);
  growTo(origin_, held);
  for (uint32_t r = 0; r < records_.size(); ++r) {
    const std::vector<int64_t>& members = queue[records_[r].at].members;
    const auto base = static_cast<uint32_t>(records_[r].base);
    // Every record is set up as edited, which costs less than asking on
    // each take; `edited` itself is set by the first take.
    std::iota(origin_.data() + base, origin_.data() + base + members.size(), 0u);
    for (uint32_t p = 0; p < members.size(); ++p) {
      if (!heldPlaces_.add(members[p], base + p)) return false;
      held_[base + p] = {r, p};
    }
  }
  return true;
}

void memberRemoval::takeHeld(std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids) {
  for (int64_t id : ids) {
    const uint32_t placed = heldPlaces_.find(id);
    if (placed != kNone) takePlace(queue, placed);  // else in no record of the room
  }
}

void memberRemoval::takePlace(std::vector<timeoutRecord>& queue, uint32_t placed) {
  heldPlace& taken = held_[placed];
  const uint32_t freed = taken.now;
  if (freed == kNone) return;  // a repeat of an id taken out already
  taken.now = kNone;
  roomRecord& r = records_[taken.record];
  r.edited = true;
  const size_t last = --r.size;
  if (freed != last) {
    // As in takeAt(): the list stays, publish() builds the result.
    uint32_t* origin = origin_.data() + r.base;
    const uint32_t from = origin[last];
    origin[freed] = from;
    held_[r.base + from].now = freed;
  }
  if (r.size == 0) erase(queue, taken.record);
}

void memberRemoval::index(const std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids,
                          size_t held) {
  // The ids worth numbering: the given ones, or the room's own when these are
  // fewer (a whole member list re-armed over a record of one callee). Either
  // way every id both given and held is among them.
  wanted_.start(std::min(held, ids.size()));
  givenNumbers_.clear();
  occurrences_.clear();
  occurrenceOf_.assign(held, kNone);
  growTo(origin_, held);
  auto chain = [&](uint32_t k, uint32_t r, size_t p) {
    const auto e = static_cast<uint32_t>(occurrences_.size());
    occurrences_.push_back({r, static_cast<uint32_t>(p), heads_[k]});
    heads_[k] = e;
    occurrenceOf_[records_[r].base + p] = e;
  };
  if (held < ids.size()) {
    // Each held id is chained as it is numbered.
    heads_.clear();
    for (uint32_t r = 0; r < records_.size(); ++r) {
      const std::vector<int64_t>& members = queue[records_[r].at].members;
      for (size_t p = 0; p < members.size(); ++p) {
        const uint32_t k = wanted_.insert(members[p]);
        if (k == heads_.size()) heads_.push_back(kNone);
        chain(k, r, p);
      }
    }
  } else {
    for (int64_t id : ids) givenNumbers_.push_back(wanted_.insert(id));
    heads_.assign(wanted_.count(), kNone);
    for (uint32_t r = 0; r < records_.size(); ++r) {
      const std::vector<int64_t>& members = queue[records_[r].at].members;
      for (size_t p = 0; p < members.size(); ++p) {
        const uint32_t k = wanted_.find(members[p]);
        if (k != kNone) chain(k, r, p);
      }
    }
  }
  firstOf_.assign(records_.size(), kNone);
}

void memberRemoval::takeOutId(std::vector<timeoutRecord>& queue, uint32_t k) {
  // An id in one place of the room, as most are, needs no pass: that place
  // goes, and its record when that emptied it, and a second pass would find
  // nothing, just as when the passes run.
  const uint32_t e = heads_[k];
  if (e != kNone && occurrences_[e].next == kNone) {
    heads_[k] = kNone;
    if (occurrences_[e].pos != kNone && takeAt(e)) erase(queue, occurrences_[e].record);
    return;
  }
  for (int n = 0; n < kMemberRemovePasses; ++n) {
    if (!pass(queue, k)) break;
  }
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
