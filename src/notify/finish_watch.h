// finishWatch: group talks this user left while others were still in the
// room. When those others leave at about the same moment, each of them still
// sees somebody in the room and none posts the notice that the call ended.
// A watched room is asked about after a short while. When nobody answers as
// still in, no finish notice for it came meanwhile, and every member this
// user saw in the room asked the same (they all left), the leaver with the
// smallest user id among those that asked posts the notice. A member that
// asked earlier, while this user was still in, left before it: it counts as
// gone, though it decided long ago and is no rival for posting.
//
// Threads: used by the request thread (watch), the notification threads
// (noticeSeen, stillIn) and the timer thread (next). Every operation takes
// lock_ for its whole run and calls out to nothing, so lock_ comes after
// every other lock of the plug-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CLocker.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

class finishWatch {
 public:
  // At most this many rooms are watched; the oldest gives way. As many
  // rooms are remembered with their earlier askers, each with at most
  // kAskersKept of them.
  static constexpr size_t kLimit = 16;
  static constexpr size_t kAskersKept = 16;

  enum class step {
    kNone,  // the room is not watched (any more)
    kAsk,   // ask the group whether anybody is still in the room
    kPost,  // nobody is: post the finish notice
    kDrop,  // somebody is, a notice came, or another leaver posts it
  };

  // This user left roomId (in groupId) while others were in.
  void watch(const std::string& roomId, int64_t groupId, const std::vector<int64_t>& others)
      MRTC_EXCLUDES(lock_);
  // A finish notice for roomId was seen (received, or posted here).
  void noticeSeen(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // A member answered that it is still in roomId.
  void stillIn(const std::string& roomId) MRTC_EXCLUDES(lock_);
  // Another member asked about roomId: it left too and decides as this one
  // does (or, when this user has not left yet, it left before).
  void alsoAsked(const std::string& roomId, int64_t askerId) MRTC_EXCLUDES(lock_);
  // The watch's time-out for roomId fired: the first time it asks, the
  // second time it decides (and forgets the room). groupId gets the room's
  // group.
  step next(const std::string& roomId, int64_t selfId, int64_t* groupId) MRTC_EXCLUDES(lock_);

 private:
  struct entry {
    std::string roomId;
    int64_t groupId = 0;
    std::vector<int64_t> others;
    std::vector<int64_t> askers;  // other members that asked about the room
    std::vector<int64_t> before;  // members that asked before this user left
    bool asked = false;
    bool answered = false;  // somebody is still in, or a notice came
  };
  struct earlier {
    std::string roomId;
    std::vector<int64_t> askers;
  };
  entry* find(const std::string& roomId) MRTC_REQUIRES(lock_);
  void rememberAsker(const std::string& roomId, int64_t askerId) MRTC_REQUIRES(lock_);

  imsdk::CLocker lock_;
  std::vector<entry> rooms_ MRTC_GUARDED_BY(lock_);      // oldest first
  std::vector<earlier> earlier_ MRTC_GUARDED_BY(lock_);  // oldest first
};

}  // namespace imsdkmrtc
