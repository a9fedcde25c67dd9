// The stand-in clock: real or virtual time, and the accounting of the threads
// that sleep on it.
//
// Invariant: `running` counts the tracked threads that are neither asleep nor
// ended. advance() only moves time while it is 0, and it marks the sleepers it
// wakes as running before it lets them go, so no step can be skipped between a
// wake-up and the next sleep. A fiber counts as running from its start until
// it first sleeps, and from each wake-up until it sleeps again or ends, the
// same as a thread.
//
// Fibers (cooperative threads) run on the thread that calls advance() or
// settle(), one at a time, exactly where a thread would be waited for. They
// cannot deadlock that thread on a lock: a fiber gives control back only
// when it sleeps or ends, and the plug-in's timer worker, the only code ever
// started as one, sleeps holding no lock (it takes its gate after each
// sleep); the plug-in's stop() waits at that gate, which no sleeping worker
// holds.
#include "clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "clock_control.h"
#include "fiber.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define COMMLIB_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define COMMLIB_TSAN 1
#endif

namespace commlib {
namespace {

// A thread asleep in virtual time. Each has its own condition variable, so
// that a step wakes only the sleepers it is due for: with one shared variable
// every wake-up and every thread going back to sleep woke every sleeper, and
// the cost of a step grew with the number of threads asleep.
struct Sleeper {
  int64_t deadline;
  bool woken;
  bool tracked;
  detail::Fiber* fiber;  // null: a thread, woken through cv
  std::condition_variable cv;
};

// The sleepers not yet woken, earliest first: by deadline, then by the order
// their threads were started in (the order in which threads happened to fall
// asleep depends on the system's scheduling, the start order does not), then
// by the order they fell asleep. A binary heap in one vector: a timer thread
// sleeps at every tick, and a tree allocated and freed a node each time.
class SleeperQueue {
 public:
  bool empty() const { return heap_.empty(); }
  Sleeper* first() const { return heap_.front().sleeper; }
  int64_t firstDeadline() const { return heap_.front().deadline; }
  void push(int64_t deadline, uint64_t order, Sleeper* s) {
    heap_.push_back({deadline, order, ++pushed_, s});
    std::push_heap(heap_.begin(), heap_.end(), later);
  }
  void popFirst() {
    std::pop_heap(heap_.begin(), heap_.end(), later);
    heap_.pop_back();
  }

 private:
  struct Entry {
    int64_t deadline;
    uint64_t order;
    uint64_t seq;
    Sleeper* sleeper;
  };
  // The heap's order: the entry that wakes later sinks.
  static bool later(const Entry& a, const Entry& b) {
    if (a.deadline != b.deadline) return a.deadline > b.deadline;
    if (a.order != b.order) return a.order > b.order;
    return a.seq > b.seq;
  }
  std::vector<Entry> heap_;
  uint64_t pushed_ = 0;
};

struct Clock {
  std::mutex mu;
  std::condition_variable quiet;  // `running` fell to 0 (settle() and advance() wait)
  // Written under mu, read without it by nowMs(): the host and the plug-ins
  // ask for the time many times a step, and each read took the lock.
  std::atomic<bool> virtualTime{false};
  std::atomic<int64_t> now{0};
  int live = 0;
  int running = 0;
  // advance() is waking the due sleepers one after another (see wakeDue()).
  bool handing = false;
  SleeperQueue sleepers;
  uint64_t started = 0;
  WakeAdjuster adjust;
  // Threads started from now on run as fibers (useCooperativeThreads).
  bool cooperative = false;
  int fibers = 0;                       // fibers alive (started, not ended)
  std::deque<detail::Fiber*> starting;  // started, not yet run, in start order
  std::vector<detail::Fiber*> parked;   // ended: their stacks run the next start
};

Clock& clock() {
  static Clock* c = new Clock;  // never destroyed: detached threads may outlive main
  return *c;
}

thread_local bool tTracked = false;
thread_local uint64_t tOrder = 0;
thread_local uint64_t tTag = 0;

int64_t systemMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Runs a fiber until it sleeps or ends (lock held, released meanwhile); one
// that ended keeps its stack for the next start.
void runFiber(std::unique_lock<std::mutex>& lk, detail::Fiber* f) {
  lk.unlock();
  f->resume();
  lk.lock();
  if (f->ended) clock().parked.push_back(f);
}

// Runs the fibers started and not yet run, in start order (lock held).
void runStarting(std::unique_lock<std::mutex>& lk) {
  Clock& c = clock();
  while (!c.starting.empty()) {
    detail::Fiber* f = c.starting.front();
    c.starting.pop_front();
    runFiber(lk, f);
  }
}

// Waits (lock held) until no tracked thread or fiber runs, running the fibers
// that start meanwhile; aborts instead of hanging forever when a thread never
// goes back to sleep (a deadlock in the code under test).
void waitQuiet(std::unique_lock<std::mutex>& lk) {
  Clock& c = clock();
  for (;;) {
    runStarting(lk);
    // Mostly quiet already (fibers run to their next sleep above): a timed
    // wait would first read the system clock, at every step of advance().
    if (c.running <= 0) return;
    if (!c.quiet.wait_for(lk, std::chrono::seconds(30),
                          [&] { return c.running <= 0 || !c.starting.empty(); })) {
      std::fprintf(stderr, "commlib clock: %d thread(s) did not settle within 30 s\n", c.running);
      std::abort();
    }
    if (c.starting.empty()) return;
  }
}

// Wakes the first waiting sleeper (lock held); a tracked one counts as running
// from here on, so no step can pass before it sleeps again.
void wakeFirst() {
  Clock& c = clock();
  Sleeper* s = c.sleepers.first();
  c.sleepers.popFirst();
  s->woken = true;
  if (s->tracked) ++c.running;
  s->cv.notify_one();
}

bool dueNow() {
  Clock& c = clock();
  return !c.sleepers.empty() && c.sleepers.firstDeadline() <= c.now;
}

// Wakes the next due sleeper once nothing runs (lock held). A woken tracked
// thread counts as running, so its successor waits until it sleeps again or
// ends; an untracked one does not, and the next follows at once.
void wakeDue() {
  Clock& c = clock();
  // A fiber is left to runDue(): only the thread that runs the clock can
  // resume it.
  while (c.running <= 0 && dueNow() && c.sleepers.first()->fiber == nullptr) wakeFirst();
}

// A tracked thread stops running (lock held). While advance() works through
// the due sleepers, the thread that goes back to sleep (or ends) wakes the
// next one itself: the same order as advance() waking each in turn, but one
// thread switch per sleeper instead of two, since advance() is not woken in
// between.
void stopRunning() {
  Clock& c = clock();
  if (--c.running > 0) return;
  if (c.handing) wakeDue();
  if (c.running <= 0) c.quiet.notify_all();
}

// The due sleepers when fibers live (lock held): each in turn, a fiber run
// right here, then whatever it started, before the next. The order is the
// one wakeDue() hands threads on in.
void runDue(std::unique_lock<std::mutex>& lk) {
  Clock& c = clock();
  while (dueNow()) {
    Sleeper* s = c.sleepers.first();
    detail::Fiber* f = s->fiber;  // s lives on the sleeper's stack: read it first
    if (f == nullptr) {
      wakeFirst();
    } else {
      c.sleepers.popFirst();
      ++c.running;
      runFiber(lk, f);
    }
    waitQuiet(lk);
  }
}

// Moves the clock to a step's deadline: wakes the due sleepers one at a time
// and waits until they sleep again (lock held).
void runStep(std::unique_lock<std::mutex>& lk) {
  Clock& c = clock();
  if (c.fibers > 0) {
    runDue(lk);
    return;
  }
  c.handing = true;
  wakeDue();
  waitQuiet(lk);
  c.handing = false;
}

}  // namespace

namespace detail {

int64_t nowMs() {
  Clock& c = clock();
  return c.virtualTime.load() ? c.now.load() : systemMs();
}

void sleepMs(int64_t ms) {
  Clock& c = clock();
  std::unique_lock<std::mutex> lk(c.mu);
  if (!c.virtualTime) {
    // A tracked thread asleep in real time is not running either: settle()
    // must not wait for it to end.
    if (tTracked) stopRunning();
    lk.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    lk.lock();
    if (tTracked) ++c.running;
    return;
  }
  detail::Fiber* fiber = detail::Fiber::current();
  const bool tracked = fiber != nullptr || tTracked;
  const uint64_t tag = fiber != nullptr ? fiber->job.tag : tTag;
  const int64_t room = std::numeric_limits<int64_t>::max() - c.now;
  Sleeper s{c.now + (ms <= 0 ? 0 : ms < room ? ms : room), false, tracked, fiber, {}};
  if (tracked && tag != 0 && c.adjust) {
    // Time cannot move meanwhile: this thread still counts as running.
    const WakeAdjuster adjust = c.adjust;
    const int64_t now = c.now;
    lk.unlock();
    const int64_t asked = adjust(tag, now, s.deadline);
    lk.lock();
    s.deadline = asked > now ? asked : now;
  }
  c.sleepers.push(s.deadline, fiber != nullptr ? fiber->job.order : tOrder, &s);
  if (fiber != nullptr) {
    // Whoever runs the clock takes it off the list, counts it as running
    // and resumes it.
    --c.running;
    lk.unlock();
    fiber->suspend();
    return;
  }
  if (tracked) stopRunning();
  // Whoever wakes it (advance() or useRealTime()) has taken it off the list
  // and, for a tracked sleeper, already counted it as running.
  s.cv.wait(lk, [&] { return s.woken; });
}

uint64_t threadStarting() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  ++c.live;
  ++c.running;
  return ++c.started;
}

void threadEnded() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  --c.live;
  stopRunning();
}

void markTracked(uint64_t order, uint64_t tag) {
  tTracked = true;
  tOrder = order;
  tTag = tag;
}

uint64_t threadTag() {
  Fiber* fiber = Fiber::current();
  return fiber != nullptr ? fiber->job.tag : tTag;
}

bool startFiber(void (*fn)(void*), void* arg, bool* started) {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  if (!c.cooperative || !c.virtualTime) return false;
  Fiber* f = nullptr;
  if (!c.parked.empty()) {
    f = c.parked.back();
    c.parked.pop_back();
  } else {
    f = Fiber::make();
  }
  *started = f != nullptr;
  if (f == nullptr) return true;
  Fiber* by = Fiber::current();
  f->job = {fn, arg, ++c.started, by != nullptr ? by->job.tag : tTag};
  f->ended = false;
  ++c.live;
  ++c.running;
  ++c.fibers;
  c.starting.push_back(f);
  // A thread that waits for the clock to settle runs it.
  c.quiet.notify_all();
  return true;
}

void fiberJobEnded(Fiber*) {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  --c.live;
  --c.fibers;
  if (--c.running <= 0) c.quiet.notify_all();
}

}  // namespace detail

void useVirtualTime(int64_t startMs) {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  c.virtualTime = true;
  c.now = startMs;
}

void useRealTime() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  if (c.fibers > 0) {
    // Nothing would run them: a fiber runs only when the clock is advanced.
    std::fprintf(stderr, "commlib clock: %d fiber(s) alive when real time was asked for\n",
                 c.fibers);
    std::abort();
  }
  c.virtualTime = false;
  while (!c.sleepers.empty()) wakeFirst();
}

bool isVirtualTime() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  return c.virtualTime;
}

void useCooperativeThreads(bool on) {
#ifdef COMMLIB_TSAN
  (void)on;  // the thread sanitizer is left real threads to watch
#else
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  c.cooperative = on;
#endif
}

void settle() {
  Clock& c = clock();
  std::unique_lock<std::mutex> lk(c.mu);
  waitQuiet(lk);
}

void advance(int64_t ms, const std::function<void()>& onStep) {
  Clock& c = clock();
  std::unique_lock<std::mutex> lk(c.mu);
  if (!c.virtualTime) return;
  waitQuiet(lk);
  const int64_t target = c.now + (ms > 0 ? ms : 0);
  for (;;) {
    int64_t next = target;
    if (!c.sleepers.empty() && c.sleepers.firstDeadline() < next) {
      next = c.sleepers.firstDeadline();
    }
    if (next > c.now) c.now = next;
    // Due sleepers run one at a time, in deadline order: two plug-ins whose
    // timers fall due in the same millisecond would otherwise send in
    // whichever order the system schedules them, and a run would not repeat.
    const bool wokeAny = dueNow();
    runStep(lk);
    if (onStep) {
      lk.unlock();
      onStep();
      lk.lock();
      waitQuiet(lk);
    }
    // Woken threads may have gone back to sleep with deadlines at target.
    if (c.now >= target && (!wokeAny || !dueNow())) break;
  }
}

void setWakeAdjuster(WakeAdjuster adjuster) {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  c.adjust = std::move(adjuster);
}

void setThreadTag(uint64_t tag) { tTag = tag; }

int liveThreads() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  return c.live;
}

}  // namespace commlib
