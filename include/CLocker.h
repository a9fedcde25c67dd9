// Host-defined lock classes as the plug-in sees them.
//
// CLocker is the host's re-entrant critical section: the thread that holds it
// may take it again, and must release it as many times as it took it.
// autoLock is the scoped guard used around every locked region; it releases
// on every way out of the scope, exceptions included.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace imsdk {

class CLocker {
 public:
  CLocker() = default;
  CLocker(const CLocker&) = delete;
  CLocker& operator=(const CLocker&) = delete;
  virtual ~CLocker() = default;
  virtual void lock() { section_.lock(); }
  virtual void unlock() { section_.unlock(); }

 private:
  std::recursive_mutex section_;
};

class autoLock {
 public:
  explicit autoLock(CLocker* locker) : count_(0), locker_(locker) {
    count_.fetch_add(1);
    locker_->lock();
  }
  autoLock(const autoLock&) = delete;
  autoLock& operator=(const autoLock&) = delete;
  ~autoLock() {
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
