// A fiber of the stand-in's cooperative threads (see useCooperativeThreads in
// clock_control.h): its own stack and machine context, entered and left only
// by an explicit switch on whatever OS thread runs the clock.
//
// Not thread-safe by itself: one thread at a time resumes a fiber, and the
// fiber gives control back only to the thread that resumed it. The clock's
// lock decides who that is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fiber_context.h"

namespace commlib {
namespace detail {

struct FiberJob {
  void (*fn)(void*) = nullptr;
  void* arg = nullptr;
  uint64_t order = 0;  // place in start order (ties between sleepers wake by it)
  uint64_t tag = 0;    // the starting thread's tag
};

class Fiber {
 public:
  // Makes the fiber's stack; it first runs when resumed. Null when no stack
  // could be mapped.
  static Fiber* make();
  Fiber(const Fiber&) = delete;
  Fiber& operator=(const Fiber&) = delete;

  // On the resuming thread: runs the fiber until it calls suspend() or its
  // job returns.
  void resume();
  // On the fiber: gives control back to the thread that resumed it.
  void suspend();
  // The fiber running on this thread, null on the thread's own stack.
  static Fiber* current();

  FiberJob job;
  // The job returned (set by the fiber before it suspends for good); a fiber
  // that ended runs a new job when it is resumed again.
  bool ended = false;

 private:
  Fiber() = default;
  static void entry();
  [[noreturn]] void loop();

  FiberContext own_;
  FiberContext back_;  // where suspend() returns to
  char* stack_ = nullptr;
  size_t stackSize_ = 0;
  // The address sanitizer's view of the two stacks a switch goes between.
  void* fakeStack_ = nullptr;
  const void* backBottom_ = nullptr;
  size_t backSize_ = 0;
};

// Hands the fiber's job over: called by the fiber's loop after each job, with
// the clock's accounting to do (see clock.cc).
void fiberJobEnded(Fiber* fiber);

}  // namespace detail
}  // namespace commlib
