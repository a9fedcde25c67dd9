// Stand-in for the platform's thread facility: a detached std::thread that
// the clock accounts for (see clock_control.h).
#include "thread_start.h"

#include <system_error>
#include <thread>

#include "clock.h"

namespace commlib {
namespace detail {
void markTracked();
}  // namespace detail
}  // namespace commlib

namespace platform {

bool startThread(void (*fn)(void*), void* arg) {
  commlib::detail::threadStarting();
  try {
    std::thread([fn, arg] {
      commlib::detail::markTracked();
      fn(arg);
      commlib::detail::threadEnded();
    }).detach();
  } catch (const std::system_error&) {
    commlib::detail::threadEnded();
    return false;
  }
  return true;
}

}  // namespace platform
