// A removal that names a room's ids in ascending order, against records that
// each hold their ids in ascending order (a call's members, as a group lists
// them), settled by walking the request beside the records' lists: a compare
// or two an id, with no table and nothing hashed.
//
// Threads: none; the owner holds the queue's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imsdkmrtc {

class orderedTake {
 public:
  // Walks `ids` against `lists`, the member lists of the room's records in
  // the queue's order. True when the walk settles the request: the room then
  // holds each id once, each record loses a run of its first ids, in their
  // order, and an id the walk passes over is in no record any more (never
  // held, or taken already), as the id-by-id removal finds too. False, for
  // the general way to decide, when a list is not ascending, two records
  // hold one id, the request names a held id after a greater one, or the
  // room has more than kMostRecords records.
  bool walk(const std::vector<const std::vector<int64_t>*>& lists, const std::vector<int64_t>& ids);

  // After a settled walk: by record, the number of its first ids taken.
  const std::vector<uint32_t>& taken() const { return taken_; }
  // After a settled walk: the records emptied, in the order they emptied.
  const std::vector<uint32_t>& emptied() const { return emptied_; }

 private:
  // Finding the record with the smallest next id costs a look at each
  // record, once whenever the walk moves to another record.
  static constexpr size_t kMostRecords = 8;

  // Moves to the record whose next id is the smallest; none when every
  // record has given up all its ids. False when two records share that id.
  bool lowest(const std::vector<const std::vector<int64_t>*>& lists);
  // How many first ids, at least 1 and at most n, the request and a record
  // share where ids[0] == list[0] is a take: the same ids, ascending, below
  // `bound` (the other records' smallest next id). The walk would take each
  // of them in turn.
  static size_t sameRun(const int64_t* ids, const int64_t* list, size_t n, int64_t bound);

  std::vector<uint32_t> taken_;
  std::vector<uint32_t> emptied_;
  uint32_t at_ = 0;                // the record holding the smallest next id
  int64_t others_ = 0;             // the smallest next id of the other records
  const int64_t* next_ = nullptr;  // in the list of at_
  const int64_t* end_ = nullptr;   // null when no record has ids left
};

}  // namespace imsdkmrtc
