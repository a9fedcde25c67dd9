// Where each id of the current talk stands: its place among the members, its
// place among those who left the room, and whether (and in which order) the
// talk's history holds it. A talk can list thousands of members, and every
// client of the call keeps such a talk, so the index is small per id:
// each id gets an entry once (16 bytes: the id and its two places), the
// history is a run of entry numbers (a list only for ids that joined it out
// of entry order), and the hash table holds 4-byte entry numbers only. No
// allocation per id, and a talk's record is indexed at one table probe and
// one entry write per member.
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
    return entries_[i < historyRun_ ? i : history_[i - historyRun_]].id;
  }
  // A talk's record naming its members: when the id has no member place, it
  // gets pos and joins the history (last, unless it is there already), for
  // one table probe where the three calls above take three. False, with
  // nothing changed, when the id is a member already.
  bool addMember(int64_t id, uint32_t pos);
  // A talk's record into an empty index, in one pass: ids[i] gets member
  // place i and history place i. False, with the index left empty, when an
  // id comes twice (the record is then read an id at a time).
  bool addFirstMembers(const std::vector<int64_t>& ids);
  // Appends the ids of the history that have no member place, in history
  // order (a talk's record lists them apart from its members). Nothing to
  // scan while every id of the history is a member, as in most talks.
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

  struct entryFacts {
    // Not zeroed when the entries of a record are made together: its pass
    // writes each of them.
    entryFacts() {}
    entryFacts(int64_t i, uint32_t m, uint32_t l) : id(i), memberPos(m), leftWord(l) {}
    int64_t id;
    uint32_t memberPos;
    uint32_t leftWord;
  };

  // The id's entry number, or kNone.
  uint32_t find(int64_t id) const;
  // The id's entry, made (with no place) when it has none.
  uint32_t entry(int64_t id);
  // The table slot that holds the id's entry, or the free slot where it
  // would go. The table has room for one more entry.
  size_t probe(int64_t id) const;
  // A new entry for the id in the free slot, with these places.
  uint32_t addEntry(size_t slot, int64_t id, uint32_t memberPos, uint32_t leftWord);
  // Makes room in the table for one more entry.
  void roomForOne() {
    if (entries_.size() >= growAt_) grow(table_.empty() ? kMinCapacity : table_.size() * 2);
  }
  // The history gets the entry last; its mark is set by the caller.
  void appendHistory(uint32_t e);
  // Keeps historyMembers_ as an entry's member place or history mark
  // changes.
  static bool countsAsHistoryMember(const entryFacts& f) {
    return f.memberPos != kNone && (f.leftWord & kHistoryBit) != 0;
  }
  void setMemberPosOf(entryFacts& f, uint32_t pos);
  // Empties the index and keeps its memory.
  void forgetEntries();
  void grow(size_t capacity);

  static constexpr size_t kMinCapacity = 16;

  // Entry number + 1 by slot; 0 is a free slot.
  std::vector<uint32_t> table_;
  // Entries the table takes before it must grow.
  size_t growAt_ = 0;
  // By entry number.
  std::vector<entryFacts> entries_;
  // The history in order: entries 0 to historyRun_ - 1, then the entry
  // numbers listed. A talk's record puts its members into the history as
  // they get their entries, so the run usually covers them all and the list
  // stays empty.
  uint32_t historyRun_ = 0;
  std::vector<uint32_t> history_;
  // Entries with a member place and a history mark: when they are the whole
  // history, no id of it is outside the members.
  size_t historyMembers_ = 0;
};

}  // namespace imsdkmrtc
