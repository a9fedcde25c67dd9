// Keeps a fuzz world's threads on the core the process runs on.
//
// The world's threads never run at once: the virtual clock wakes one timer
// worker at a time and waits until it sleeps again, and the stand-in's thread
// start hands a parked thread its next worker. An input is a chain of such
// hand-offs. Spread over two cores, every hand-off woke a thread on the other
// core, and the wake-ups took more time than the plug-ins' own work; on one
// core a hand-off is a plain switch. Only the threads started after the call
// are bound (libFuzzer's own helpers stay free), and the order in which the
// world's threads run is the clock's, so the outputs do not change.
#pragma once

#include <sched.h>

namespace fuzzworld {

inline void keepOnOneCore() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return;  // no way to tell: the world runs as it is
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  sched_setaffinity(0, sizeof(one), &one);
}

}  // namespace fuzzworld
