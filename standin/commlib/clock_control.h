// Control of the commLib stand-in's clock, for tests and the call simulator.
//
// In real time, tools::sleep sleeps and the clocks read the system clock. In
// virtual time, the clocks read a counter that only advance() moves, and
// tools::sleep returns only when virtual time has passed its deadline.
//
// Threads started through platform::startThread are tracked: advance() moves
// time from one sleeper's deadline to the next and, after each step, waits
// until every tracked thread is asleep again or has ended. A 98-second
// time-out therefore runs in milliseconds, deterministically.
#pragma once

#include <cstdint>
#include <functional>

namespace commlib {

// Switches to virtual time starting at startMs (milliseconds since the epoch).
void useVirtualTime(int64_t startMs);
void useRealTime();
bool isVirtualTime();

// Virtual time only: moves the clock forward by ms, step by step through the
// sleepers' deadlines. onStep, when given, runs after each settled step (the
// simulated network delivers its messages there).
void advance(int64_t ms, const std::function<void()>& onStep = {});
// Waits until every tracked thread sleeps or has ended.
void settle();

// Virtual time only: threads started from now on through
// platform::startThread run as fibers, on the thread that calls advance() or
// settle(), where it would wait for them: a started one before time moves, a
// due one when its deadline is reached, in the same order as threads. Each
// hand-over is then a context switch, not two thread switches. Their stacks
// are 256 KiB (512 KiB under the address sanitizer), reused after a fiber
// ends. Only for code that sleeps holding no lock: a fiber that blocks stops
// the thread that runs the clock. Fibers must have ended before real time is
// used again. Under the thread sanitizer this is a no-op: threads stay real.
void useCooperativeThreads(bool on);

// Tracked threads alive now, fibers included (virtual and real time).
int liveThreads();

// Virtual time only: a replay places the wake-ups of the threads it drives.
// A thread's tag is 0 unless set; threads started through
// platform::startThread take the tag of the thread that started them. A
// tracked thread with a tag that goes to sleep asks the adjuster, when one is
// set, for its deadline: called with the tag, the time now and the deadline
// asked for, without the clock's lock; a result before now counts as now.
using WakeAdjuster = std::function<int64_t(uint64_t tag, int64_t now, int64_t deadline)>;
void setWakeAdjuster(WakeAdjuster adjuster);
void setThreadTag(uint64_t tag);

}  // namespace commlib
