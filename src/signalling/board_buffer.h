// boardBuffer: signalling commands buffered for one watched group, from which
// a member can join a running talk (request 24004).
//
// Threads: every operation but setSwitch runs under the buffer's own lock and
// does nothing while the buffer is off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CLocker.h"
#include "signalling/mrtc_cmd.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

class msgProxy;
struct timeoutRecord;

// Talks buffered at once: any member of the watched group can start one, and
// a group has a few running talks at most. When full, the oldest goes.
constexpr size_t kBoardLimit = 16;

class boardBuffer {
 public:
  // The proxy that sends the query when a group starts being watched.
  void setProxy(msgProxy* proxy) { proxy_ = proxy; }

  void setSwitch(bool on) MRTC_EXCLUDES(lock_);
  void setWatchedGroup(int64_t groupId) MRTC_EXCLUDES(lock_);
  bool take(int64_t groupId, const std::string& roomId, mrtcCmd& out) MRTC_EXCLUDES(lock_);
  bool boardTimeout(const timeoutRecord& record, std::vector<mrtcCmd>& out) MRTC_EXCLUDES(lock_);
  // Buffers a "multi_call" seen in the watched group (the only way commands
  // enter the list).
  void offer(const mrtcCmd& cmd) MRTC_EXCLUDES(lock_);

  bool enabled() MRTC_EXCLUDES(lock_);
  int64_t watchedGroup() MRTC_EXCLUDES(lock_);
  size_t size() MRTC_EXCLUDES(lock_);

 private:
  // The plug-in names lock_ in its lock order.
  friend class mrtc_plugin;

  msgProxy* proxy_ = nullptr;
  imsdk::CLocker lock_;
  bool enabled_ MRTC_GUARDED_BY(lock_) = false;
  int64_t watchedGroup_ MRTC_GUARDED_BY(lock_) = 0;
  std::vector<mrtcCmd> list_ MRTC_GUARDED_BY(lock_);  // at most kBoardLimit, oldest first
};

}  // namespace imsdkmrtc
