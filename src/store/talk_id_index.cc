#include "store/talk_id_index.h"

#include <algorithm>

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
  historyRun_ = 0;
  historyMembers_ = 0;
  growAt_ = 0;
  reserved_ = 0;
  searches_ = 0;
}

void talkIdIndex::reserve(size_t ids) {
  reserved_ = std::max(reserved_, ids);
  if (!table_.empty() && mostEntries(table_.size()) < ids) grow(slotsFor(ids));
  entries_.reserve(ids);
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
  const uint32_t e = find(id);
  return e != kNone ? entries_[e].memberPos : kNone;
}

void talkIdIndex::setMemberPos(int64_t id, uint32_t pos) {
  if (pos == kNone && find(id) == kNone) return;
  setMemberPosOf(entries_[entry(id)], pos);
}

uint32_t talkIdIndex::leftPos(int64_t id) const {
  const uint32_t e = find(id);
  if (e == kNone) return kNone;
  const uint32_t left = entries_[e].leftWord & kNoLeft;
  return left != kNoLeft ? left : kNone;
}

void talkIdIndex::setLeftPos(int64_t id, uint32_t pos) {
  if (pos == kNone && find(id) == kNone) return;
  uint32_t& word = entries_[entry(id)].leftWord;
  word = (word & kHistoryBit) | (pos == kNone ? kNoLeft : pos);
}

bool talkIdIndex::inHistory(int64_t id) const {
  const uint32_t e = find(id);
  return e != kNone && (entries_[e].leftWord & kHistoryBit) != 0;
}

bool talkIdIndex::addHistory(int64_t id) {
  const uint32_t e = entry(id);
  entryFacts& f = entries_[e];
  if ((f.leftWord & kHistoryBit) != 0) return false;
  f.leftWord |= kHistoryBit;
  if (f.memberPos != kNone) ++historyMembers_;
  appendHistory(e);
  return true;
}

bool talkIdIndex::addMember(int64_t id, uint32_t pos) {
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

bool talkIdIndex::addFirstMembers(const std::vector<int64_t>& ids) {
  const size_t n = ids.size();
  reserve(n);
  if (table_.empty() && writeAscending(ids)) {
    historyRun_ = static_cast<uint32_t>(n);
    historyMembers_ = n;
    return true;
  }
  if (table_.empty()) buildTable();
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

bool talkIdIndex::writeAscending(const std::vector<int64_t>& ids) {
  entries_.resize(ids.size());
  if (ids.empty()) return true;
  entryFacts* out = entries_.data();
  const int64_t* in = ids.data();
  const int64_t* const end = in + ids.size();
  *out = entryFacts{*in, 0, kNoLeft | kHistoryBit};
  for (uint32_t e = 1; ++in != end; ++e) {
    if (*in <= in[-1]) {
      entries_.clear();
      return false;
    }
    *++out = entryFacts{*in, e, kNoLeft | kHistoryBit};
  }
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
  if (historyMembers_ == historySize()) return;
  for (uint32_t e = 0; e < historyRun_; ++e) {
    if (entries_[e].memberPos == kNone) out.push_back(entries_[e].id);
  }
  for (uint32_t e : history_) {
    if (entries_[e].memberPos == kNone) out.push_back(entries_[e].id);
  }
}

size_t talkIdIndex::memberCount() const {
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
  size_t n = 0;
  for (const entryFacts& f : entries_) n += (f.leftWord & kHistoryBit) != 0 ? 1 : 0;
  return n;
}

}  // namespace imsdkmrtc
