// Host-defined lock classes as the plug-in sees them.
//
// CLocker is the host's re-entrant critical section: the thread that holds it
// may take it again, and must release it as many times as it took it.
// autoLock is the scoped guard used around every locked region; it releases
// on every way out of the scope, exceptions included.
//
// Both carry the lock annotations of thread_annotations.h. The analysis does
// not know that CLocker is re-entrant: a function entered with a lock already
// held that takes it again says so in its comment and declares no EXCLUDES.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "thread_annotations.h"

namespace imsdk {

class MRTC_CAPABILITY("CLocker") CLocker {
 public:
  CLocker() = default;
  CLocker(const CLocker&) = delete;
  CLocker& operator=(const CLocker&) = delete;
  virtual ~CLocker() = default;
  virtual void lock() MRTC_ACQUIRE() { section_.lock(); }
  virtual void unlock() MRTC_RELEASE() { section_.unlock(); }

 private:
  std::recursive_mutex section_;
};

class MRTC_SCOPED_CAPABILITY autoLock {
 public:
  explicit autoLock(CLocker* locker) MRTC_ACQUIRE(locker) : count_(0), locker_(locker) {
    count_.fetch_add(1);
    locker_->lock();
  }
  autoLock(const autoLock&) = delete;
  autoLock& operator=(const autoLock&) = delete;
  ~autoLock() MRTC_RELEASE() {
    while (count_.load() > 0) {
      count_.fetch_sub(1);
      locker_->unlock();
    }
  }

 private:
  std::atomic<int32_t> count_;
  CLocker* locker_;
};

}  // namespace imsdk
