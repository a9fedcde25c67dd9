// What the time-out records of one room hold of some member ids: taking the
// ids out of them, and finding the ids they lack.
//
// Threads: none of its own; the caller holds the queue's lock. Each thread
// has one object, which serves every queue the thread changes and keeps its
// arrays between requests: a request costs time in step with the ids it
// names and the room's records hold, and allocates nothing once the arrays
// have grown to the largest request the thread has served (tables allocated
// per request cost more in page faults than in work at thousands of ids). A
// process with many plug-ins, as the simulator runs one per client, keeps
// one set of arrays per thread rather than one per plug-in. A request calls
// nothing outside this class, so one thread never enters it twice at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "timer/id_numbers.h"
#include "timer/id_places.h"
#include "timer/ordered_take.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

class memberRemoval {
 public:
  static memberRemoval& ofThisThread();

  // Takes the ids, one after the other in the given order, out of the member
  // lists of the records of (category, key). For one id, a pass over the
  // queue takes the id's first occurrence out of each such record (the
  // list's last id fills the freed place) and ends at the first record it
  // empties; that record is deleted, the queue's last record taking its
  // place. Passes repeat while one finds the id, at most kMemberRemovePasses
  // per id. A record that loses ids gets a list of its own; any other holder
  // of its old list keeps it unchanged.
  void takeOut(std::vector<timeoutRecord>& queue, int32_t category, const std::string& key,
               const std::vector<int64_t>& ids);

  // The ids, in their order and with their repeats, that no record of
  // (category, key) holds.
  std::vector<int64_t> notHeld(const std::vector<timeoutRecord>& queue, int32_t category,
                               const std::string& key, const std::vector<int64_t>& ids);

 private:
  static constexpr uint32_t kNone = idNumbers::kNone;
  // Up to this many ids held by the room, keepHeld() filters the request.
  static constexpr size_t kFewHeld = 4;

  // One place of a wanted id in a record's list. The occurrences of one id,
  // across the room's records, are chained.
  struct occurrence {
    uint32_t record;  // in records_
    uint32_t pos;     // kNone once taken out
    uint32_t next;
  };
  // A held id, when the room holds each id once.
  struct heldPlace {
    uint32_t record;  // in records_
    uint32_t now;     // its place now, kNone once taken out
  };
  // A record of the room, in the queue's order when indexed.
  struct roomRecord {
    size_t at;    // its place in the queue, kept current
    size_t base;  // where its places start in occurrenceOf_ and origin_
    size_t size;  // its ids left
    bool edited;  // has lost ids: origin_ holds its places
    bool gone;    // emptied and deleted from the queue
  };

  // Finds the room's records. Returns the ids they hold, repeats counted.
  size_t gather(const std::vector<timeoutRecord>& queue, int32_t category, const std::string& key);
  // Settles the request by orderedTake's walk and applies it. False, with
  // nothing changed, when the walk cannot settle it.
  bool walked(std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids);
  // A room of a few ids (a callee's own ring) against a long request (the
  // members of a whole call): the given ids that the room holds, in their
  // order and with their repeats, found by comparing with each held id,
  // which costs less than hashing every given id. The ids left out are in no
  // record, so taking them out would change nothing.
  const std::vector<int64_t>& keepHeld(const std::vector<timeoutRecord>& queue,
                                       const std::vector<int64_t>& ids);
  // When the room holds each id once, and no more ids than the request
  // names, places every held id, which takes less than numbering and
  // chaining: each given id then takes its one place out, in the request's
  // order, with no pass (a second pass would find nothing). False, with
  // nothing changed, when an id is held twice.
  bool placeHeld(const std::vector<timeoutRecord>& queue, size_t held);
  // Takes the ids out, in their order, each from its one place that
  // placeHeld() found (a repeat finds it taken).
  void takeHeld(std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids);
  // Takes out the id at `placed` (in held_), unless it is out already.
  void takePlace(std::vector<timeoutRecord>& queue, uint32_t placed);
  // Numbers the wanted ids and chains their places.
  void index(const std::vector<timeoutRecord>& queue, const std::vector<int64_t>& ids, size_t held);
  // All the passes for the id numbered k.
  void takeOutId(std::vector<timeoutRecord>& queue, uint32_t k);
  // One pass for the id numbered k. False when no further pass would find
  // the id.
  bool pass(std::vector<timeoutRecord>& queue, uint32_t k);
  // Takes one occurrence out of its record. True when that emptied it.
  bool takeAt(uint32_t e);
  void erase(std::vector<timeoutRecord>& queue, uint32_t record);
  // Gives each changed record that stays its new list.
  void publish(std::vector<timeoutRecord>& queue);

  // Grown, never shrunk, so that a request after a smaller one writes only
  // what it uses.
  template <typename T>
  static void growTo(std::vector<T>& v, size_t size) {
    if (v.size() < size) v.resize(size);
  }

  orderedTake ordered_;
  std::vector<const std::vector<int64_t>*> lists_;  // by room record: its ids
  idNumbers wanted_;
  idPlaces heldPlaces_;          // placeHeld(): by id, its record's base plus its
                                 // place as indexed
  std::vector<heldPlace> held_;  // placeHeld(): by the same number
  std::vector<roomRecord> records_;
  std::vector<uint32_t> recordAt_;       // by queue place: the room record there, or kNone
  std::vector<uint32_t> givenNumbers_;   // the given ids' numbers, when they were numbered
  std::vector<uint32_t> heads_;          // by id number: its first occurrence
  std::vector<occurrence> occurrences_;  // chained by id
  std::vector<uint32_t> occurrenceOf_;   // by a record's base plus a place as indexed
  std::vector<uint32_t> origin_;         // by a record's base plus a place now: the place as
                                         // indexed whose id sits there
  std::vector<uint32_t> firstOf_;        // by record, during a pass: its first occurrence
  std::vector<uint32_t> hits_;           // the records one pass reaches
  std::vector<uint8_t> seen_;            // by id number, for notHeld
  std::vector<size_t> keptAt_;           // keepHeld(): places in the request
  std::vector<int64_t> kept_;            // keepHeld()'s result
};

}  // namespace imsdkmrtc
