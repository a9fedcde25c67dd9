#include "store/talk_id_index.h"

namespace imsdkmrtc {

namespace {

// Fibonacci hashing: ids of one deployment are often consecutive, and the
// multiply spreads them over the table's top bits.
constexpr uint64_t kHashFactor = 0x9E3779B97F4A7C15ull;
constexpr size_t kMinCapacity = 16;

// Linear probing stays short while at most three quarters of the slots are
// used.
bool tooFull(size_t used, size_t capacity) { return used * 4 > capacity * 3; }

}  // namespace

void talkIdIndex::clear() {
  // A talk of thousands is followed by one of a few: the memory goes too.
  std::vector<uint32_t>().swap(table_);
  std::vector<int64_t>().swap(ids_);
  std::vector<uint32_t>().swap(memberPos_);
  std::vector<uint32_t>().swap(leftWord_);
  std::vector<uint32_t>().swap(history_);
  historyRun_ = 0;
  shift_ = 64;
}

void talkIdIndex::reserve(size_t ids) {
  size_t capacity = table_.empty() ? kMinCapacity : table_.size();
  while (tooFull(ids, capacity)) capacity *= 2;
  if (capacity != table_.size()) grow(capacity);
  ids_.reserve(ids);
  memberPos_.reserve(ids);
  leftWord_.reserve(ids);
}

size_t talkIdIndex::probe(int64_t id) const {
  const size_t mask = table_.size() - 1;
  size_t i = static_cast<size_t>((static_cast<uint64_t>(id) * kHashFactor) >> shift_);
  while (table_[i] != 0 && ids_[table_[i] - 1] != id) i = (i + 1) & mask;
  return i;
}

uint32_t talkIdIndex::find(int64_t id) const {
  if (table_.empty()) return kNone;
  const uint32_t slot = table_[probe(id)];
  return slot != 0 ? slot - 1 : kNone;
}

void talkIdIndex::grow(size_t capacity) {
  table_.assign(capacity, 0);
  int bits = 0;
  while ((size_t{1} << bits) < capacity) ++bits;
  shift_ = 64 - bits;
  for (size_t e = 0; e < ids_.size(); ++e) table_[probe(ids_[e])] = static_cast<uint32_t>(e + 1);
}

uint32_t talkIdIndex::entry(int64_t id) {
  if (table_.empty() || tooFull(ids_.size() + 1, table_.size())) {
    grow(table_.empty() ? kMinCapacity : table_.size() * 2);
  }
  const size_t slot = probe(id);
  if (table_[slot] != 0) return table_[slot] - 1;
  const auto e = static_cast<uint32_t>(ids_.size());
  ids_.push_back(id);
  memberPos_.push_back(kNone);
  leftWord_.push_back(kNoLeft);
  table_[slot] = e + 1;
  return e;
}

uint32_t talkIdIndex::memberPos(int64_t id) const {
  const uint32_t e = find(id);
  return e != kNone ? memberPos_[e] : kNone;
}

void talkIdIndex::setMemberPos(int64_t id, uint32_t pos) {
  if (pos == kNone && find(id) == kNone) return;
  memberPos_[entry(id)] = pos;
}

uint32_t talkIdIndex::leftPos(int64_t id) const {
  const uint32_t e = find(id);
  if (e == kNone) return kNone;
  const uint32_t left = leftWord_[e] & kNoLeft;
  return left != kNoLeft ? left : kNone;
}

void talkIdIndex::setLeftPos(int64_t id, uint32_t pos) {
  if (pos == kNone && find(id) == kNone) return;
  uint32_t& word = leftWord_[entry(id)];
  word = (word & kHistoryBit) | (pos == kNone ? kNoLeft : pos);
}

bool talkIdIndex::inHistory(int64_t id) const {
  const uint32_t e = find(id);
  return e != kNone && (leftWord_[e] & kHistoryBit) != 0;
}

bool talkIdIndex::addHistory(int64_t id) {
  const uint32_t e = entry(id);
  if ((leftWord_[e] & kHistoryBit) != 0) return false;
  markHistory(e);
  return true;
}

bool talkIdIndex::addMember(int64_t id, uint32_t pos) {
  const uint32_t e = entry(id);
  if (memberPos_[e] != kNone) return false;
  memberPos_[e] = pos;
  if ((leftWord_[e] & kHistoryBit) == 0) markHistory(e);
  return true;
}

void talkIdIndex::markHistory(uint32_t e) {
  leftWord_[e] |= kHistoryBit;
  if (history_.empty() && e == historyRun_) {
    ++historyRun_;
  } else {
    history_.push_back(e);
  }
}

void talkIdIndex::appendHistoryNotMembers(std::vector<int64_t>& out) const {
  for (uint32_t e = 0; e < historyRun_; ++e) {
    if (memberPos_[e] == kNone) out.push_back(ids_[e]);
  }
  for (uint32_t e : history_) {
    if (memberPos_[e] == kNone) out.push_back(ids_[e]);
  }
}

size_t talkIdIndex::memberCount() const {
  size_t n = 0;
  for (uint32_t pos : memberPos_) n += pos != kNone ? 1 : 0;
  return n;
}

size_t talkIdIndex::leftCount() const {
  size_t n = 0;
  for (uint32_t word : leftWord_) n += (word & kNoLeft) != kNoLeft ? 1 : 0;
  return n;
}

size_t talkIdIndex::historyCount() const {
  size_t n = 0;
  for (uint32_t word : leftWord_) n += (word & kHistoryBit) != 0 ? 1 : 0;
  return n;
}

}  // namespace imsdkmrtc
