// Where each id of the current talk stands: its place among the members, its
// place among those who left the room, and whether (and in which order) the
// talk's history holds it. A talk can list thousands of members, and every
// client of the call keeps such a talk, so the index is small per id:
// each id gets an entry number once, its facts live in arrays by entry
// (8 bytes for the id, 4 for each place), the history is a run of entry
// numbers (a list only for ids that joined it out of entry order), and the
// hash table holds 4-byte entry numbers only. No allocation per id.
//
// Entries are never taken out while a talk lasts (an id that stops being a
// member keeps its entry with no place), so probing needs no tombstones; the
// index is emptied when the talk is.
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
  // True when the id was not in the history yet; it then comes last in it.
  bool addHistory(int64_t id);
  // The history, every id once, in the order the ids joined it.
  size_t historySize() const { return historyRun_ + history_.size(); }
  int64_t historyId(size_t i) const {
    return ids_[i < historyRun_ ? i : history_[i - historyRun_]];
  }
  // A talk's record naming its members: when the id has no member place, it
  // gets pos and joins the history (last, unless it is there already), for
  // one table probe where the three calls above take three. False, with
  // nothing changed, when the id is a member already.
  bool addMember(int64_t id, uint32_t pos);
  // Appends the ids of the history that have no member place, in history
  // order (a talk's record lists them apart from its members).
  void appendHistoryNotMembers(std::vector<int64_t>& out) const;

  // For checks: how many ids have a member place, a left place, a history
  // mark.
  size_t memberCount() const;
  size_t leftCount() const;
  size_t historyCount() const;

 private:
  // The left place and the history mark share one word: places are below
  // 2^31 (a talk never holds that many ids).
  static constexpr uint32_t kHistoryBit = 0x80000000u;
  static constexpr uint32_t kNoLeft = kHistoryBit - 1;

  // The id's entry number, or kNone.
  uint32_t find(int64_t id) const;
  // The id's entry, made (with no place) when it has none.
  uint32_t entry(int64_t id);
  // Sets the entry's history mark and puts it last in the history.
  void markHistory(uint32_t e);
  // The table slot that holds the id's entry, or the free slot where it
  // would go.
  size_t probe(int64_t id) const;
  void grow(size_t capacity);

  // Entry number + 1 by slot; 0 is a free slot.
  std::vector<uint32_t> table_;
  int shift_ = 64;
  // By entry number.
  std::vector<int64_t> ids_;
  std::vector<uint32_t> memberPos_;
  std::vector<uint32_t> leftWord_;
  // The history in order: entries 0 to historyRun_ - 1, then the entry
  // numbers listed. A talk's record puts its members into the history as
  // they get their entries, so the run usually covers them all and the list
  // stays empty.
  uint32_t historyRun_ = 0;
  std::vector<uint32_t> history_;
};

}  // namespace imsdkmrtc
