// Internal clock of the commLib stand-in (see clock_control.h).
#pragma once

#include <cstdint>

namespace commlib {
namespace detail {

int64_t nowMs();
void sleepMs(int64_t ms);

// Thread accounting used by platform::startThread.
void threadStarting();
void threadEnded();

}  // namespace detail
}  // namespace commlib
