// The stand-in clock: real or virtual time, and the accounting of the threads
// that sleep on it.
//
// Invariant: `running` counts the tracked threads that are neither asleep nor
// ended. advance() only moves time while it is 0, and it marks the sleepers it
// wakes as running before it lets them go, so no step can be skipped between a
// wake-up and the next sleep.
#include "clock.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <list>
#include <mutex>
#include <thread>

#include "clock_control.h"

namespace commlib {
namespace {

struct Sleeper {
  int64_t deadline;
  bool woken;
  bool tracked;
};

struct Clock {
  std::mutex mu;
  std::condition_variable cv;
  bool virtualTime = false;
  int64_t now = 0;
  int live = 0;
  int running = 0;
  std::list<Sleeper*> sleepers;
};

Clock& clock() {
  static Clock* c = new Clock;  // never destroyed: detached threads may outlive main
  return *c;
}

thread_local bool tTracked = false;

int64_t systemMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Waits (lock held) until no tracked thread runs; aborts instead of hanging
// forever when a thread never goes back to sleep (a deadlock in the code
// under test).
void waitQuiet(std::unique_lock<std::mutex>& lk) {
  Clock& c = clock();
  if (!c.cv.wait_for(lk, std::chrono::seconds(30), [&] { return c.running <= 0; })) {
    std::fprintf(stderr, "commlib clock: %d thread(s) did not settle within 30 s\n", c.running);
    std::abort();
  }
}

}  // namespace

namespace detail {

int64_t nowMs() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  return c.virtualTime ? c.now : systemMs();
}

void sleepMs(int64_t ms) {
  Clock& c = clock();
  std::unique_lock<std::mutex> lk(c.mu);
  if (!c.virtualTime) {
    // A tracked thread asleep in real time is not running either: settle()
    // must not wait for it to end.
    if (tTracked) {
      --c.running;
      c.cv.notify_all();
    }
    lk.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    lk.lock();
    if (tTracked) ++c.running;
    return;
  }
  const int64_t room = std::numeric_limits<int64_t>::max() - c.now;
  Sleeper s{c.now + (ms <= 0 ? 0 : ms < room ? ms : room), false, tTracked};
  c.sleepers.push_back(&s);
  if (tTracked) {
    --c.running;
    c.cv.notify_all();
  }
  c.cv.wait(lk, [&] { return s.woken || !c.virtualTime; });
  c.sleepers.remove(&s);
  // A tracked sleeper woken by advance() was already counted as running.
  if (tTracked && !s.woken) ++c.running;
}

void threadStarting() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  ++c.live;
  ++c.running;
}

void threadEnded() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  --c.live;
  --c.running;
  c.cv.notify_all();
}

void markTracked() { tTracked = true; }

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
  c.virtualTime = false;
  for (Sleeper* s : c.sleepers) {
    if (!s->woken) {
      s->woken = true;
      if (s->tracked) ++c.running;
    }
  }
  c.cv.notify_all();
}

bool isVirtualTime() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  return c.virtualTime;
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
    for (Sleeper* s : c.sleepers) {
      if (!s->woken && s->deadline < next) next = s->deadline;
    }
    if (next > c.now) c.now = next;
    bool wokeAny = false;
    for (Sleeper* s : c.sleepers) {
      if (!s->woken && s->deadline <= c.now) {
        s->woken = true;
        wokeAny = true;
        // Untracked sleepers (test threads) are not waited for.
        if (s->tracked) ++c.running;
      }
    }
    c.cv.notify_all();
    waitQuiet(lk);
    if (onStep) {
      lk.unlock();
      onStep();
      lk.lock();
      waitQuiet(lk);
    }
    if (c.now >= target && !wokeAny) break;
    if (c.now >= target) {
      // Woken threads may have gone back to sleep with deadlines at target.
      bool due = false;
      for (Sleeper* s : c.sleepers) {
        if (!s->woken && s->deadline <= c.now) due = true;
      }
      if (!due) break;
    }
  }
}

int liveThreads() {
  Clock& c = clock();
  std::lock_guard<std::mutex> lk(c.mu);
  return c.live;
}

}  // namespace commlib
