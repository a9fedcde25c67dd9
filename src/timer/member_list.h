// The member ids of a time-out record, as one list that never changes once
// built.
//
// Threads: a list is read-only (its digest, worked out once, is atomic), so
// copies of it on any threads need no lock.
// Records of the queue share one list when they carry the same ids (a
// caller's wait, recall and card records all list the callees), and so do
// the copies handed out (a snapshot, a due record on its way to its handler).
// Taking ids out of a record builds a new list for that record alone: the
// other holders of the old one keep seeing it unchanged.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace imsdkmrtc {

class memberList {
 public:
  using const_iterator = std::vector<int64_t>::const_iterator;

  memberList() = default;
  // Implicit, so that a record is filled like a plain list of ids.
  // The digest is worked out when the list is first compared: most lists
  // never are, and hashing a whole call's members costs some instructions an
  // id.
  memberList(std::vector<int64_t> ids);
  memberList(std::initializer_list<int64_t> ids) : memberList(std::vector<int64_t>(ids)) {}
  // For a caller that has the ids' digest already: `idsHash` is hashOf(ids), or 0
  // for one worked out when first needed.
  memberList(std::vector<int64_t> ids, uint64_t idsHash);

  const std::vector<int64_t>& ids() const;
  // Readers written for a plain list keep working.
  operator const std::vector<int64_t>&() const { return ids(); }

  size_t size() const { return ids().size(); }
  bool empty() const { return ids().empty(); }
  int64_t operator[](size_t i) const { return ids()[i]; }
  const_iterator begin() const { return ids().begin(); }
  const_iterator end() const { return ids().end(); }

  // The same ids in the same order.
  bool sameIds(const std::vector<int64_t>& ids, uint64_t idsHash) const;
  // True when both hold the one stored list (not merely equal ids).
  bool sharesWith(const memberList& other) const { return block_ == other.block_; }

  // A digest of the ids in order, equal for equal lists; the queue compares
  // it before comparing ids when it looks for a list to share.
  static uint64_t hashOf(const std::vector<int64_t>& ids);

  friend bool operator==(const memberList& a, const memberList& b) { return a.ids() == b.ids(); }
  friend bool operator!=(const memberList& a, const memberList& b) { return !(a == b); }
  friend bool operator==(const memberList& a, const std::vector<int64_t>& b) {
    return a.ids() == b;
  }
  friend bool operator!=(const memberList& a, const std::vector<int64_t>& b) { return !(a == b); }

 private:
  struct block {
    std::vector<int64_t> ids;
    // hashOf(ids), or 0 until first needed (a list whose digest is 0 works
    // it out each time). Atomic, as copies of one list may be compared on
    // several threads; each writes the same value.
    mutable std::atomic<uint64_t> hash{0};
  };

  // Null for no ids: most records (keep-alive, cards of one target, end
  // checks) have none and allocate nothing.
  std::shared_ptr<const block> block_;
};

}  // namespace imsdkmrtc
