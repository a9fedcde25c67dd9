// Stand-in for the platform's thread facility: fn(arg) runs on a detached
// thread that the clock accounts for (see clock_control.h), or as a fiber
// when the clock's threads are cooperative.
//
// A thread whose function has returned is kept, parked, and runs the next
// function started: the plug-in starts its timer worker again for every talk,
// and creating an operating-system thread each time (more so under the
// sanitizers) cost more than the talk itself in the fuzzers and the
// simulator. To the clock and to the code it runs, a function started on a
// parked thread is a new thread: counted from its start to its return.
#include "thread_start.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "clock.h"

namespace {

struct Job {
  void (*fn)(void*);
  void* arg;
  uint64_t order;  // place in start order (the clock wakes ties by it)
  uint64_t tag;    // the starting thread's tag
};

struct Pool {
  std::mutex mu;
  std::condition_variable cv;
  std::deque<Job> jobs;  // started, not yet taken by a parked thread
  size_t parked = 0;
};

Pool& pool() {
  static Pool* p = new Pool;  // never destroyed: parked threads outlive main
  return *p;
}

void work(Job job) {
  Pool& p = pool();
  for (;;) {
    commlib::detail::markTracked(job.order, job.tag);
    job.fn(job.arg);
    commlib::detail::threadEnded();
    std::unique_lock<std::mutex> lk(p.mu);
    ++p.parked;
    p.cv.wait(lk, [&] { return !p.jobs.empty(); });
    --p.parked;
    job = p.jobs.front();
    p.jobs.pop_front();
  }
}

}  // namespace

namespace platform {

bool startThread(void (*fn)(void*), void* arg) {
  bool started = false;
  if (commlib::detail::startFiber(fn, arg, &started)) return started;
  const uint64_t order = commlib::detail::threadStarting();
  const uint64_t tag = commlib::detail::threadTag();
  Pool& p = pool();
  {
    std::lock_guard<std::mutex> lk(p.mu);
    if (p.parked > p.jobs.size()) {
      p.jobs.push_back({fn, arg, order, tag});
      p.cv.notify_one();
      return true;
    }
  }
  try {
    std::thread(work, Job{fn, arg, order, tag}).detach();
  } catch (const std::system_error&) {
    commlib::detail::threadEnded();
    return false;
  }
  return true;
}

}  // namespace platform
