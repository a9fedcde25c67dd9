#include "store/talk_id_index.h"

#include <algorithm>
#include <functional>
#include <iterator>

namespace imsdkmrtc {

namespace {

// Fibonacci hashing: ids of one deployment are often consecutive, and the
// multiply spreads them over the hash's top bits.
constexpr uint64_t kHashFactor = 0x9E3779B97F4A7C15ull;

// Linear probing stays short while at most three quarters of the slots are
// used.
size_t mostEntries(size_t capacity) { return capacity / 4 * 3; }

// The fewest slots that take this many entries.
size_t slotsFor(size_t entries) { return (entries + 2) / 3 * 4; }

// The id's first slot: the hash scaled to the table by its top bits, so the
// table can have any size. A talk's record sizes it to its ids, where a power
// of two would leave up to twice the slots unused in every client.
size_t homeSlot(int64_t id, size_t capacity) {
  const uint64_t hash = static_cast<uint64_t>(id) * kHashFactor;
  return static_cast<size_t>((static_cast<unsigned __int128>(hash) * capacity) >> 64);
}

}  // namespace

void talkIdIndex::clear() {
  // A talk of thousands is followed by one of a few: the memory goes too.
  std::vector<uint32_t>().swap(table_);
  std::vector<entryFacts>().swap(entries_);
  std::vector<uint32_t>().swap(history_);
  std::vector<int64_t>().swap(dropped_);
  list_ = nullptr;
  historyRun_ = 0;
  historyMembers_ = 0;
  growAt_ = 0;
  reserved_ = 0;
  searches_ = 0;
}

void talkIdIndex::reserve(size_t ids) {
  reserved_ = std::max(reserved_, ids);
  if (!table_.empty() && mostEntries(table_.size()) < ids) grow(slotsFor(ids));
  // An index that reads its list in place may never need entries.
  if (!entries_.empty()) entries_.reserve(ids);
}

void talkIdIndex::reserveEntries() const {
  if (entries_.capacity() == 0) entries_.reserve(reserved_);
}

bool talkIdIndex::readsList() const {
  if (list_ == nullptr) return false;
  if (++searches_ * kEntriesPerSearch <= list_->size()) return true;
  ownEntries();
  return false;
}

uint32_t talkIdIndex::listPos(int64_t id) const {
  const auto it = std::lower_bound(list_->begin(), list_->end(), id);
  return it != list_->end() && *it == id ? static_cast<uint32_t>(it - list_->begin()) : kNone;
}

bool talkIdIndex::isDropped(int64_t id) const {
  return !dropped_.empty() && std::binary_search(dropped_.begin(), dropped_.end(), id);
}

void talkIdIndex::ownEntries() const {
  const std::vector<int64_t>& list = *list_;
  entries_.reserve(std::max(reserved_, list.size() + dropped_.size()));
  size_t members = 0;
  auto d = dropped_.begin();
  for (size_t i = 0; i < list.size(); ++i) {
    const int64_t id = list[i];
    for (; d != dropped_.end() && *d < id; ++d) {
      entries_.push_back(entryFacts{*d, kNone, kNoLeft | kHistoryBit});
    }
    // An id dropped and not yet taken out of the list is no member.
    const bool dropped = d != dropped_.end() && *d == id;
    if (dropped) ++d;
    entries_.push_back(
        entryFacts{id, dropped ? kNone : static_cast<uint32_t>(i), kNoLeft | kHistoryBit});
    members += dropped ? 0 : 1;
  }
  for (; d != dropped_.end(); ++d) entries_.push_back(entryFacts{*d, kNone, kNoLeft | kHistoryBit});
  historyRun_ = static_cast<uint32_t>(entries_.size());
  historyMembers_ = members;
  list_ = nullptr;
  std::vector<int64_t>().swap(dropped_);
}

void talkIdIndex::buildTable() const {
  grow(std::max(kMinCapacity, slotsFor(std::max(reserved_, entries_.size() + 1))));
}

size_t talkIdIndex::probe(int64_t id) const {
  const size_t capacity = table_.size();
  size_t i = homeSlot(id, capacity);
  while (table_[i] != 0 && entries_[table_[i] - 1].id != id) {
    if (++i == capacity) i = 0;
  }
  return i;
}

uint32_t talkIdIndex::find(int64_t id) const {
  if (table_.empty()) return search(id);
  const uint32_t slot = table_[probe(id)];
  return slot != 0 ? slot - 1 : kNone;
}

uint32_t talkIdIndex::search(int64_t id) const {
  if (entries_.empty()) return kNone;
  if (++searches_ * kEntriesPerSearch > entries_.size()) {
    buildTable();
    return find(id);
  }
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), id,
                                   [](const entryFacts& f, int64_t v) { return f.id < v; });
  return it != entries_.end() && it->id == id ? static_cast<uint32_t>(it - entries_.begin())
                                              : kNone;
}

void talkIdIndex::grow(size_t capacity) const {
  // Filled with wide stores: a new zeroed vector goes through memset, whose
  // string-instruction path for large tables counts as one instruction a
  // byte in the instruction counts this code is measured by.
  table_.assign(capacity, 0);
  growAt_ = mostEntries(capacity);
  for (size_t e = 0; e < entries_.size(); ++e) {
    table_[probe(entries_[e].id)] = static_cast<uint32_t>(e + 1);
  }
}

uint32_t talkIdIndex::addEntry(size_t slot, int64_t id, uint32_t memberPos, uint32_t leftWord) {
  reserveEntries();
  const auto e = static_cast<uint32_t>(entries_.size());
  entries_.push_back(entryFacts{id, memberPos, leftWord});
  table_[slot] = e + 1;
  return e;
}

uint32_t talkIdIndex::entry(int64_t id) {
  if (table_.empty()) {
    const uint32_t e = search(id);
    if (e != kNone) return e;
  }
  roomForOne();
  const size_t slot = probe(id);
  if (table_[slot] != 0) return table_[slot] - 1;
  return addEntry(slot, id, kNone, kNoLeft);
}

void talkIdIndex::setMemberPosOf(entryFacts& f, uint32_t pos) {
  const bool before = countsAsHistoryMember(f);
  f.memberPos = pos;
  const bool after = countsAsHistoryMember(f);
  if (before && !after) --historyMembers_;
  if (after && !before) ++historyMembers_;
}

uint32_t talkIdIndex::memberPos(int64_t id) const {
  if (readsList()) {
    const uint32_t pos = listPos(id);
    return pos != kNone && !isDropped(id) ? pos : kNone;
  }
  const uint32_t e = find(id);
  return e != kNone ? entries_[e].memberPos : kNone;
}

void talkIdIndex::setMemberPos(int64_t id, uint32_t pos) {
  if (list_ != nullptr) {
    // The id's own place in the list: nothing to write (the list keeps it),
    // and no search, as the list may be in the middle of a compaction.
    if (pos != kNone && pos < list_->size() && (*list_)[pos] == id) {
      if (isDropped(id)) dropped_.erase(std::lower_bound(dropped_.begin(), dropped_.end(), id));
      return;
    }
    if (pos == kNone && readsList()) {
      if (listPos(id) == kNone || isDropped(id)) return;
      dropped_.insert(std::upper_bound(dropped_.begin(), dropped_.end(), id), id);
      return;
    }
    if (list_ != nullptr) ownEntries();
  }
  if (pos == kNone && find(id) == kNone) return;
  setMemberPosOf(entries_[entry(id)], pos);
}

uint32_t talkIdIndex::leftPos(int64_t id) const {
  if (list_ != nullptr) return kNone;
  const uint32_t e = find(id);
  if (e == kNone) return kNone;
  const uint32_t left = entries_[e].leftWord & kNoLeft;
  return left != kNoLeft ? left : kNone;
}

void talkIdIndex::setLeftPos(int64_t id, uint32_t pos) {
  if (list_ != nullptr) {
    if (pos == kNone) return;
    ownEntries();
  }
  if (pos == kNone && find(id) == kNone) return;
  uint32_t& word = entries_[entry(id)].leftWord;
  word = (word & kHistoryBit) | (pos == kNone ? kNoLeft : pos);
}

bool talkIdIndex::inHistory(int64_t id) const {
  if (readsList()) return listPos(id) != kNone || isDropped(id);
  const uint32_t e = find(id);
  return e != kNone && (entries_[e].leftWord & kHistoryBit) != 0;
}

bool talkIdIndex::addHistory(int64_t id) {
  if (readsList()) {
    if (listPos(id) != kNone || isDropped(id)) return false;
    ownEntries();
  }
  const uint32_t e = entry(id);
  entryFacts& f = entries_[e];
  if ((f.leftWord & kHistoryBit) != 0) return false;
  f.leftWord |= kHistoryBit;
  if (f.memberPos != kNone) ++historyMembers_;
  appendHistory(e);
  return true;
}

bool talkIdIndex::addMember(int64_t id, uint32_t pos) {
  if (list_ != nullptr) ownEntries();
  uint32_t e = table_.empty() ? search(id) : kNone;
  if (e == kNone) {
    roomForOne();
    const size_t slot = probe(id);
    if (table_[slot] == 0) {
      // A new id, the usual case while a talk's record is read: its entry
      // is written whole.
      appendHistory(addEntry(slot, id, pos, kNoLeft | kHistoryBit));
      ++historyMembers_;
      return true;
    }
    e = table_[slot] - 1;
  }
  entryFacts& f = entries_[e];
  if (f.memberPos != kNone) return false;
  const bool marked = (f.leftWord & kHistoryBit) != 0;
  f.leftWord |= kHistoryBit;
  setMemberPosOf(f, pos);
  if (!marked) appendHistory(e);
  return true;
}

bool talkIdIndex::addFirstMembers(const std::vector<int64_t>* members) {
  const std::vector<int64_t>& ids = *members;
  const size_t n = ids.size();
  reserved_ = std::max(reserved_, n);
  if (table_.empty() &&
      std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<int64_t>()) == ids.end()) {
    list_ = members;
    return true;
  }
  if (table_.empty()) buildTable();
  reserveEntries();
  entries_.resize(n);
  entryFacts* entries = entries_.data();
  uint32_t* table = table_.data();
  const size_t capacity = table_.size();
  for (size_t i = 0; i < n; ++i) {
    const int64_t id = ids[i];
    size_t slot = homeSlot(id, capacity);
    while (table[slot] != 0) {
      if (entries[table[slot] - 1].id == id) {
        forgetEntries();
        return false;
      }
      if (++slot == capacity) slot = 0;
    }
    const auto e = static_cast<uint32_t>(i);
    table[slot] = e + 1;
    entries[i] = entryFacts{id, e, kNoLeft | kHistoryBit};
  }
  historyRun_ = static_cast<uint32_t>(n);
  historyMembers_ = n;
  return true;
}

void talkIdIndex::forgetEntries() {
  std::fill(table_.begin(), table_.end(), 0);
  entries_.clear();
  history_.clear();
  historyRun_ = 0;
  historyMembers_ = 0;
}

void talkIdIndex::appendHistory(uint32_t e) {
  if (history_.empty() && e == historyRun_) {
    ++historyRun_;
  } else {
    history_.push_back(e);
  }
}

void talkIdIndex::appendHistoryNotMembers(std::vector<int64_t>& out) const {
  if (list_ != nullptr) {
    // The history ascends; the ids dropped are its only non-members.
    out.insert(out.end(), dropped_.begin(), dropped_.end());
    return;
  }
  if (historyMembers_ == historyRun_ + history_.size()) return;
  for (uint32_t e = 0; e < historyRun_; ++e) {
    if (entries_[e].memberPos == kNone) out.push_back(entries_[e].id);
  }
  for (uint32_t e : history_) {
    if (entries_[e].memberPos == kNone) out.push_back(entries_[e].id);
  }
}

std::vector<int64_t> talkIdIndex::history() const {
  std::vector<int64_t> out;
  if (list_ != nullptr) {
    std::set_union(list_->begin(), list_->end(), dropped_.begin(), dropped_.end(),
                   std::back_inserter(out));
    return out;
  }
  for (uint32_t e = 0; e < historyRun_; ++e) out.push_back(entries_[e].id);
  for (uint32_t e : history_) out.push_back(entries_[e].id);
  return out;
}

size_t talkIdIndex::memberCount() const {
  if (list_ != nullptr) {
    size_t n = list_->size();
    for (int64_t id : dropped_) n -= listPos(id) != kNone ? 1 : 0;
    return n;
  }
  size_t n = 0;
  for (const entryFacts& f : entries_) n += f.memberPos != kNone ? 1 : 0;
  return n;
}

size_t talkIdIndex::leftCount() const {
  size_t n = 0;
  for (const entryFacts& f : entries_) n += (f.leftWord & kNoLeft) != kNoLeft ? 1 : 0;
  return n;
}

size_t talkIdIndex::historyCount() const {
  if (list_ != nullptr) return history().size();
  size_t n = 0;
  for (const entryFacts& f : entries_) n += (f.leftWord & kHistoryBit) != 0 ? 1 : 0;
  return n;
}

}  // namespace imsdkmrtc
