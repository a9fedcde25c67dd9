// Where each id of the current talk stands: its place among the members, its
// place among those who left the room, and whether the talk's history holds
// it. A talk can list thousands of members, and every client of the call
// keeps such a talk: one flat table, probed from the id's hash, costs no
// allocation per id and about a third of the memory of three node-based
// hash tables.
//
// Entries are never taken out while a talk lasts (an id that stops being a
// member keeps its entry with no place), so probing needs no tombstones; the
// table is emptied when the talk is.
//
// Threads: none of its own; the store's lock guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imsdkmrtc {

class talkIdIndex {
 public:
  // No place in that list.
  static constexpr uint32_t kNone = 0xffffffffu;

  void clear();
  // Room for this many ids without growing.
  void reserve(size_t ids);

  uint32_t memberPos(int64_t id) const;
  bool isMember(int64_t id) const { return memberPos(id) != kNone; }
  // pos: kNone takes the id's place away.
  void setMemberPos(int64_t id, uint32_t pos);

  uint32_t leftPos(int64_t id) const;
  void setLeftPos(int64_t id, uint32_t pos);

  bool inHistory(int64_t id) const;
  // True when the id was not in the history yet.
  bool addHistory(int64_t id);

  // For checks: how many ids have a member place, a left place, a history
  // mark.
  size_t memberCount() const;
  size_t leftCount() const;
  size_t historyCount() const;

 private:
  // Left places are below 2^30 (a talk never holds that many ids).
  static constexpr uint32_t kNoLeft = (1u << 30) - 1;
  // All zero is a free slot.
  struct slot {
    int64_t id;
    uint32_t memberPos;
    uint32_t leftPos : 30;
    uint32_t history : 1;
    uint32_t used : 1;
  };

  const slot* find(int64_t id) const;
  // The id's entry, made (with no place) when it has none.
  slot& entry(int64_t id);
  size_t probe(int64_t id) const;
  void grow(size_t capacity);

  std::vector<slot> slots_;
  size_t used_ = 0;
  int shift_ = 64;
};

}  // namespace imsdkmrtc
