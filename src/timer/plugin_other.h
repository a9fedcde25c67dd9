// pluginOther: the time-out queue and its worker thread.
//
// Threads: requests (slot 6) arrive on any host thread and only take
// `queueLock`. The worker thread runs one tick at a time holding its stop
// flag's gate; a tick looks at the queue under `queueLock` alone and, when a
// record is due, takes `tickLock`, then `queueLock` (always in that order)
// and runs the due record's handler inside the tick, so a handler may post
// new timer requests. `stop()` may be called from any thread but the worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "CLocker.h"
#include "sdk_cmd.h"
#include "thread_annotations.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

class pluginEnv;

// Shared by pluginOther and its worker threads and outlives both: a worker
// that sees `stop` leaves without touching pluginOther or the plug-in.
struct stopFlag {
  // Set once when the plug-in is released.
  bool stop MRTC_GUARDED_BY(gate) = false;
  // Workers holding the flag (and a releasing stop() for a moment). Changed
  // under pluginOther's `queueLock` while pluginOther lives; atomic because a
  // worker that was told to stop drops its reference without that lock.
  std::atomic<int32_t> refs{1};
  // Held by a worker for a whole tick and while it logs; stop() sets `stop`
  // under it, so once stop() returns no worker is inside pluginOther and none
  // will enter it again.
  imsdk::CLocker gate;
};

class pluginOther {
 public:
  // Where a due record goes; runs on the worker thread inside the tick.
  using dispatchFn = std::function<void(const timeoutRecord&)>;

  // `dispatch` is the plug-in's time-out handler, handed over when the
  // plug-in assembles its members (the timer knows nothing above it).
  pluginOther(pluginEnv* plugin, dispatchFn dispatch)
      : plugin_(plugin), dispatch_(std::move(dispatch)) {}
  // Tells a running worker to stop (a no-op after the release's stop()); it
  // never waits for the worker to end.
  virtual ~pluginOther();
  pluginOther(const pluginOther&) = delete;
  pluginOther& operator=(const pluginOther&) = delete;

  // Request entry (slot 6): acts on command 24101 only; `a` points at the
  // timerCmd. Starts a worker when the request found the queue empty.
  bool onRequest(uint16_t type, uintptr_t a, uintptr_t b);
  // Applies one add or remove. Returns the number of records before an add,
  // 1 after a remove. Takes queueLock, again when onRequest holds it.
  int32_t onTimeout(const imsdk::timerCmd& request);
  // Tells a running worker to stop (plug-in release). Waits for a tick in
  // progress, never for the thread to end. Always true.
  bool stop() MRTC_EXCLUDES(tickLock, queueLock);

  // Test hook: when set, due records go here instead of the plug-in's
  // time-out handler.
  void setDispatchOverride(dispatchFn fn);
  // A copy of the queue in its current order.
  std::vector<timeoutRecord> snapshot();

 private:
  struct workerStart {
    pluginOther* other;
    stopFlag* flag;
  };

  // Worker thread body: ticks every 3000 ms until the queue is empty after a
  // tick or the flag says stop.
  static void timer(void* arg);
  // One tick (called with the flag's gate held and stop not set). True when
  // the queue is empty after it.
  bool dotick() MRTC_EXCLUDES(tickLock, queueLock);
  // Takes the first due record, if any, and hands it on. Returns the number
  // of records left.
  size_t fireDue() MRTC_EXCLUDES(tickLock, queueLock);
  // The end of a worker that was not stopped.
  // True when this was the flag's last holder: the caller deletes it.
  bool leave(stopFlag* flag) MRTC_REQUIRES(flag->gate) MRTC_EXCLUDES(queueLock);
  void startWorker() MRTC_REQUIRES(queueLock);
  bool popDue(timeoutRecord& out, size_t& left) MRTC_REQUIRES(queueLock);
  void eraseAt(size_t index) MRTC_REQUIRES(queueLock);
  // Lowers earliestDue_ to the second `record` falls due, if that is sooner.
  void noteDue(const timeoutRecord& record) MRTC_REQUIRES(queueLock);
  void dispatch(const timeoutRecord& record) MRTC_REQUIRES(tickLock);
  // The ids as a record's list: a queued record's list when one carries the
  // same ids, else a new one.
  memberList listFor(std::vector<int64_t> ids) const MRTC_REQUIRES(queueLock);

  pluginEnv* plugin_;
  // Set once at assembly, before any worker runs.
  const dispatchFn dispatch_;
  imsdk::CLocker queueLock;
  // Never taken on the request side.
  imsdk::CLocker tickLock MRTC_ACQUIRED_BEFORE(queueLock);
  stopFlag* uninitFlag MRTC_GUARDED_BY(queueLock) = nullptr;
  std::vector<timeoutRecord> timeouts MRTC_GUARDED_BY(queueLock);  // unordered
  // No record falls due before this second: a tick before it has nothing to
  // fire and skips the scan. Adds and refreshes lower it; a removal leaves it
  // (still a lower bound); a tick that fires forgets it and a tick that
  // scans in vain sets it exactly.
  static constexpr int64_t kNeverDue = std::numeric_limits<int64_t>::max();
  static constexpr int64_t kDueUnknown = std::numeric_limits<int64_t>::min();
  int64_t earliestDue_ MRTC_GUARDED_BY(queueLock) = kNeverDue;
  bool stopped_ MRTC_GUARDED_BY(queueLock) = false;
  dispatchFn dispatchOverride_ MRTC_GUARDED_BY(tickLock);
};

}  // namespace imsdkmrtc
