// Fibers: prepareContext() sets a fiber's stack up once, switchContext() goes
// in and out (fiber_context.h). The stacks are mapped, not allocated: the
// kernel gives a page only when the fiber first touches it, so two thousand
// fibers cost what their deepest calls touched, and a guard page under each
// turns an overflow into a fault at once instead of a write into a
// neighbour's stack.
#include "fiber.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define COMMLIB_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define COMMLIB_ASAN 1
#endif
#ifdef COMMLIB_ASAN
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace commlib {
namespace detail {
namespace {

// A timer worker's tick reaches the plug-in's handlers and, through them, the
// host: its deepest stack, measured over every scenario, chaos runs and the
// fuzz worlds, was about 10 KiB in Release, Debug and address-sanitizer
// builds alike. Far more is mapped, as untouched pages cost nothing; the
// sanitizer's red zones double the frames when it keeps them on the stack.
#ifdef COMMLIB_ASAN
constexpr size_t kStackBytes = 512 * 1024;
#else
constexpr size_t kStackBytes = 256 * 1024;
#endif

thread_local Fiber* tCurrent = nullptr;
// The fiber that entry() is about to start (entry takes no arguments).
thread_local Fiber* tStarting = nullptr;

// The address sanitizer keeps its own idea of the stack a thread is on; each
// switch tells it where control goes, or it reports the other stack's frames
// as overflows.
void startSwitch(void** fake, const void* bottom, size_t size) {
#ifdef COMMLIB_ASAN
  __sanitizer_start_switch_fiber(fake, bottom, size);
#else
  (void)fake;
  (void)bottom;
  (void)size;
#endif
}

void finishSwitch(void* fake, const void** bottom, size_t* size) {
#ifdef COMMLIB_ASAN
  __sanitizer_finish_switch_fiber(fake, bottom, size);
#else
  (void)fake;
  (void)bottom;
  (void)size;
#endif
}

// Odd while a fiber runs: bumped as control goes into a fiber and as it
// comes back.
std::atomic<uint64_t> gSwitches{0};

// A fiber that never gives control back (it loops, or blocks on a lock that
// a thread waiting for the clock holds) stops the thread that runs the clock
// with it, where a thread would have been waited for at most 30 s. This
// watch keeps that bound: it aborts when one fiber has run for 30 s.
void watch() {
  constexpr int kLimitSeconds = 30;
  uint64_t seen = 0;
  int stuck = 0;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const uint64_t now = gSwitches.load(std::memory_order_relaxed);
    stuck = (now == seen && now % 2 == 1) ? stuck + 1 : 0;
    seen = now;
    if (stuck >= kLimitSeconds) {
      std::fprintf(stderr, "commlib clock: a fiber did not sleep or end within %d s\n",
                   kLimitSeconds);
      std::abort();
    }
  }
}

void startWatch() {
  static std::once_flag once;
  std::call_once(once, [] {
    try {
      std::thread(watch).detach();
    } catch (const std::system_error&) {
      // Fibers still run; only a hang inside one is no longer bounded.
    }
  });
}

}  // namespace

Fiber* Fiber::make() {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* map = mmap(nullptr, kStackBytes + page, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  if (mprotect(map, page, PROT_NONE) != 0) {
    munmap(map, kStackBytes + page);
    return nullptr;
  }
  startWatch();
  auto* f = new Fiber;
  f->stack_ = static_cast<char*>(map) + page;
  f->stackSize_ = kStackBytes;
#ifdef COMMLIB_ASAN
  // The leak checker scans thread stacks, not mapped memory: what only a
  // sleeping fiber points to (a released plug-in's stop flag) would count
  // as leaked.
  __lsan_register_root_region(f->stack_, f->stackSize_);
#endif
  prepareContext(f->own_, f->stack_, f->stackSize_, &Fiber::entry);  // the loop never returns
  return f;
}

Fiber* Fiber::current() { return tCurrent; }

void Fiber::resume() {
  Fiber* outer = tCurrent;
  tCurrent = this;
  tStarting = this;
  void* fake = nullptr;
  gSwitches.fetch_add(1, std::memory_order_relaxed);
  startSwitch(&fake, stack_, stackSize_);
  switchContext(back_, own_);
  finishSwitch(fake, nullptr, nullptr);
  gSwitches.fetch_add(1, std::memory_order_relaxed);
  tCurrent = outer;
}

void Fiber::suspend() {
  startSwitch(&fakeStack_, backBottom_, backSize_);
  switchContext(own_, back_);
  // Resumed, perhaps from another thread than last time.
  finishSwitch(fakeStack_, &backBottom_, &backSize_);
}

void Fiber::entry() {
  Fiber* self = tStarting;
  finishSwitch(nullptr, &self->backBottom_, &self->backSize_);
  self->loop();
}

void Fiber::loop() {
  for (;;) {
    job.fn(job.arg);
    fiberJobEnded(this);
    ended = true;
    suspend();
  }
}

}  // namespace detail
}  // namespace commlib
