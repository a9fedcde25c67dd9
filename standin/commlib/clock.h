// Internal clock of the commLib stand-in (see clock_control.h).
#pragma once

#include <cstdint>

namespace commlib {
namespace detail {

int64_t nowMs();
void sleepMs(int64_t ms);

// Thread accounting used by platform::startThread. threadStarting() returns
// the new thread's place in start order; the thread hands it to markTracked()
// before it runs, and sleepers due in the same millisecond wake in that order.
// The tag is the starting thread's threadTag() (see setThreadTag).
uint64_t threadStarting();
void threadEnded();
void markTracked(uint64_t order, uint64_t tag);
uint64_t threadTag();

// Starts fn(arg) as a fiber when threads are cooperative (see
// useCooperativeThreads): returns false when they are not, else sets
// *started to whether a fiber could be made.
bool startFiber(void (*fn)(void*), void* arg, bool* started);

}  // namespace detail
}  // namespace commlib
