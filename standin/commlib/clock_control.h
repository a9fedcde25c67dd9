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

// Tracked threads alive now (virtual and real time).
int liveThreads();

}  // namespace commlib
