// Where each id of the current talk stands: its place among the members, its
// place among those who left the room, and whether (and in which order) the
// talk's history holds it. A talk can list thousands of members, and every
// client of the call keeps such a talk, so the index is small per id.
//
// A talk's record that lists its members in ascending order (as a group
// lists them) costs nothing per id: the index reads the talk's member list
// in place, by halving, and keeps only the ids that stopped being members
// (a hang-up, a time-out), which stay in the history. Each member's place is
// its place in the list. The index gets entries of its own when anything
// else happens (a new member, a left place, an id joining the history) or
// once the searches would have cost more than building a table.
//
// With entries of its own, each id gets one once (16 bytes: the id and its
// two places), the history is a run of entry numbers (a list only for ids
// that joined it out of entry order), and the hash table holds 4-byte entry
// numbers only. No allocation per id. Entries written from an ascending
// list are searched by halving while the index gains no new id; the table
// is built when an id gets a new entry, or once the searches would have
// cost more than building it. A record in any other order is indexed at one
// table probe and one entry write per member.
//
// Entries are never taken out while a talk lasts (an id that stops being a
// member keeps its entry with no place), so probing needs no tombstones; the
// index is emptied when the talk is.
//
// Threads: none of its own; the store's lock guards it and the member list
// it reads, lookups included (a lookup may build entries and the table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imsdkmrtc {

class talkIdIndex {
 public:
  // No place in that list.
  static constexpr uint32_t kNone = 0xffffffffu;

  talkIdIndex() = default;
  // It may point at its owner's member list.
  talkIdIndex(const talkIdIndex&) = delete;
  talkIdIndex& operator=(const talkIdIndex&) = delete;

  void clear();
  // Room for this many ids without growing (the table, when it is built,
  // has room for them too).
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
  std::vector<int64_t> history() const;
  // A talk's record naming its members: when the id has no member place, it
  // gets pos and joins the history (last, unless it is there already), for
  // one table probe where the three calls above take three. False, with
  // nothing changed, when the id is a member already.
  bool addMember(int64_t id, uint32_t pos);
  // A talk's member list into an empty index, in one pass: (*members)[i]
  // gets member place i and history place i. False, with the index left
  // empty, when an id comes twice (the record is then read an id at a time).
  //
  // Ascending ids are not copied: the index reads *members in place until it
  // has entries of its own, so the caller keeps the list alive and changes
  // it only in two ways meanwhile. It takes out ids whose place it has set
  // to kNone, keeping the others' order, and then sets the moved ones' new
  // places; or it first sets a place that is not the id's place in the list
  // (a new member's, past the end), which gives the index entries of its own
  // before the list changes. Setting an id's place in the list is free.
  bool addFirstMembers(const std::vector<int64_t>* members);
  // Appends the ids of the history that have no member place, in history
  // order (a talk's record lists them apart from its members). Nothing to
  // scan while every id of the history is a member, as in most talks, nor
  // while the member list is read in place.
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
  // find() while there is no table: the entries ascend by id.
  uint32_t search(int64_t id) const;
  // The table for the entries there are and room for one more, or for the
  // ids reserved when more.
  void buildTable() const;
  // The id's entry, made (with no place) when it has none.
  uint32_t entry(int64_t id);
  // The table slot that holds the id's entry, or the free slot where it
  // would go. The table has room for one more entry.
  size_t probe(int64_t id) const;
  // A new entry for the id in the free slot, with these places.
  uint32_t addEntry(size_t slot, int64_t id, uint32_t memberPos, uint32_t leftWord);
  // Makes room in the table for one more entry.
  void roomForOne() {
    if (table_.empty()) {
      buildTable();
    } else if (entries_.size() >= growAt_) {
      grow(table_.size() * 2);
    }
  }
  // The history gets the entry last; its mark is set by the caller.
  void appendHistory(uint32_t e);
  // Keeps historyMembers_ as an entry's member place or history mark
  // changes.
  static bool countsAsHistoryMember(const entryFacts& f) {
    return f.memberPos != kNone && (f.leftWord & kHistoryBit) != 0;
  }
  void setMemberPosOf(entryFacts& f, uint32_t pos);
  // True while the member list is read in place, counting a search; past
  // the searches' budget the index takes entries of its own instead.
  bool readsList() const;
  // While the list is read in place: the id's place in it, or kNone.
  uint32_t listPos(int64_t id) const;
  bool isDropped(int64_t id) const;
  // Entries for the list read in place and the ids dropped from it, in
  // ascending order (the history's), searched by halving until a table is
  // built.
  void ownEntries() const;
  // The first entry is about to be written: room for the ids reserved.
  void reserveEntries() const;
  // Empties the index and keeps its memory.
  void forgetEntries();
  void grow(size_t capacity) const;

  static constexpr size_t kMinCapacity = 16;
  // Searches by halving cost a few instructions a step, building the table
  // about a dozen an entry: with no table, one search in this many entries
  // builds it.
  static constexpr size_t kEntriesPerSearch = 16;

  // Entry number + 1 by slot; 0 is a free slot. Empty (and growAt_ 0) until
  // built: the entries then ascend by id, and no slot is spent on a talk
  // that is seldom looked up. A lookup may build it, hence mutable.
  mutable std::vector<uint32_t> table_;
  // Entries the table takes before it must grow.
  mutable size_t growAt_ = 0;
  // Ids reserve() asked room for: the entries' and the table's size when
  // they are first made.
  size_t reserved_ = 0;
  // The talk's member list, read in place while it is set (see
  // addFirstMembers): every id in it is a member at its place there and in
  // the history, unless dropped_ names it, and no id has a left place.
  mutable const std::vector<int64_t>* list_ = nullptr;
  // While list_ is set: ids that stopped being members, ascending. They stay
  // in the history, which is the list and these ids in ascending order.
  mutable std::vector<int64_t> dropped_;
  // Searches by halving since the index was emptied.
  mutable size_t searches_ = 0;
  // By entry number. Built by a lookup too once the list has been searched
  // often enough, hence mutable, as is the history run they then make.
  mutable std::vector<entryFacts> entries_;
  // The history in order: entries 0 to historyRun_ - 1, then the entry
  // numbers listed. A talk's record puts its members into the history as
  // they get their entries, so the run usually covers them all and the list
  // stays empty.
  mutable uint32_t historyRun_ = 0;
  std::vector<uint32_t> history_;
  // Entries with a member place and a history mark: when they are the whole
  // history, no id of it is outside the members.
  mutable size_t historyMembers_ = 0;
};

}  // namespace imsdkmrtc
