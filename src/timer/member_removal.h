// Taking member ids out of the time-out records of one room.
//
// Threads: none of its own; the caller holds the queue's lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timer/timeout_record.h"

namespace imsdkmrtc {

// Takes the ids, one after the other in the given order, out of the member
// lists of the records of (category, key). For one id, a pass over the queue
// takes the id's first occurrence out of each such record (the list's last id
// fills the freed place) and ends at the first record it empties; that record
// is deleted, the queue's last record taking its place. Passes repeat while
// one finds the id, at most kMemberRemovePasses per id.
//
// Each record's list is indexed once per call, so an id costs a lookup per
// record rather than a scan of its list.
void takeOutMembers(std::vector<timeoutRecord>& queue, int32_t category, const std::string& key,
                    const std::vector<int64_t>& ids);

}  // namespace imsdkmrtc
