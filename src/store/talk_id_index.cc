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
  std::vector<slot>().swap(slots_);
  used_ = 0;
  shift_ = 64;
}

void talkIdIndex::reserve(size_t ids) {
  size_t capacity = slots_.empty() ? kMinCapacity : slots_.size();
  while (tooFull(ids, capacity)) capacity *= 2;
  if (capacity != slots_.size()) grow(capacity);
}

size_t talkIdIndex::probe(int64_t id) const {
  const size_t mask = slots_.size() - 1;
  size_t i = static_cast<size_t>((static_cast<uint64_t>(id) * kHashFactor) >> shift_);
  while (slots_[i].used != 0 && slots_[i].id != id) i = (i + 1) & mask;
  return i;
}

const talkIdIndex::slot* talkIdIndex::find(int64_t id) const {
  if (slots_.empty()) return nullptr;
  const slot& s = slots_[probe(id)];
  return s.used != 0 ? &s : nullptr;
}

void talkIdIndex::grow(size_t capacity) {
  std::vector<slot> old(capacity);
  old.swap(slots_);
  int bits = 0;
  while ((size_t{1} << bits) < capacity) ++bits;
  shift_ = 64 - bits;
  for (const slot& s : old) {
    if (s.used != 0) slots_[probe(s.id)] = s;
  }
}

talkIdIndex::slot& talkIdIndex::entry(int64_t id) {
  if (slots_.empty() || tooFull(used_ + 1, slots_.size())) {
    grow(slots_.empty() ? kMinCapacity : slots_.size() * 2);
  }
  slot& s = slots_[probe(id)];
  if (s.used == 0) {
    s.id = id;
    s.memberPos = kNone;
    s.leftPos = kNoLeft;
    s.history = 0;
    s.used = 1;
    ++used_;
  }
  return s;
}

uint32_t talkIdIndex::memberPos(int64_t id) const {
  const slot* s = find(id);
  return s != nullptr ? s->memberPos : kNone;
}

void talkIdIndex::setMemberPos(int64_t id, uint32_t pos) {
  if (pos == kNone && find(id) == nullptr) return;
  entry(id).memberPos = pos;
}

uint32_t talkIdIndex::leftPos(int64_t id) const {
  const slot* s = find(id);
  return s != nullptr && s->leftPos != kNoLeft ? s->leftPos : kNone;
}

void talkIdIndex::setLeftPos(int64_t id, uint32_t pos) {
  if (pos == kNone && find(id) == nullptr) return;
  entry(id).leftPos = pos == kNone ? kNoLeft : pos;
}

bool talkIdIndex::inHistory(int64_t id) const {
  const slot* s = find(id);
  return s != nullptr && s->history != 0;
}

bool talkIdIndex::addHistory(int64_t id) {
  slot& s = entry(id);
  if (s.history != 0) return false;
  s.history = 1;
  return true;
}

size_t talkIdIndex::memberCount() const {
  size_t n = 0;
  for (const slot& s : slots_) n += s.used != 0 && s.memberPos != kNone ? 1 : 0;
  return n;
}

size_t talkIdIndex::leftCount() const {
  size_t n = 0;
  for (const slot& s : slots_) n += s.used != 0 && s.leftPos != kNoLeft ? 1 : 0;
  return n;
}

size_t talkIdIndex::historyCount() const {
  size_t n = 0;
  for (const slot& s : slots_) n += s.used != 0 && s.history != 0 ? 1 : 0;
  return n;
}

}  // namespace imsdkmrtc
