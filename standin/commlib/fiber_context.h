// The machine context of a fiber and the switch between two contexts: the
// one piece of the cooperative threads that depends on the processor.
//
// On x86-64 a switch saves and restores only what the calling convention
// asks a callee to keep (six registers, the stack pointer, the SSE and x87
// control words). Elsewhere it is the C library's swapcontext(), which also
// saves and restores the signal mask: a system call at every switch, and a
// fuzz world's timer workers switch a few hundred times an input.
//
// Not thread-safe: a context is switched from and to by one thread at a time.
#pragma once

#include <cstddef>

#if defined(__x86_64__)
#define COMMLIB_FIBER_SWITCH_ASM 1
#else
#include <ucontext.h>
#endif

namespace commlib {
namespace detail {

struct FiberContext {
#ifdef COMMLIB_FIBER_SWITCH_ASM
  void* sp = nullptr;  // the stack pointer saved by the last switch away
#else
  ucontext_t uc{};
#endif
};

// Sets `context` up so that the first switch to it calls `entry` on the
// stack given. `entry` must never return.
void prepareContext(FiberContext& context, char* stack, size_t size, void (*entry)());

// Saves the running context into `save` and continues `to`; returns when
// something switches back to `save`.
void switchContext(FiberContext& save, FiberContext& to);

}  // namespace detail
}  // namespace commlib
